// Measures the folder-size walk of the temporary-folders tool over a real
// folder: prints the bytes it counts and the seconds it takes, for comparison
// with another tool's count of the same folder.
//
//   bench_folder_size.exe FOLDER [RUNS]
//
// FOLDER must be an absolute path ("C:\..."). The first run reads a cold
// folder; with RUNS > 1 the later runs show the walk with a warm cache.
#include <windows.h>

#include "bench_clock.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/win32_platform.h"
#include "tools/temp_folders.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_folder_size FOLDER [RUNS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int runs = argc == 3 ? std::atoi(argv[2]) : 1;
    if (!vx::tools::isAbsoluteFolderPath(folder) || runs < 1) {
        std::fprintf(stderr, "bench_folder_size: FOLDER must be an absolute path, RUNS at least 1\n");
        return 2;
    }
    vx::win32::Win32FileSystem fs;
    if (!fs.directoryExists(folder)) {
        std::fprintf(stderr, "bench_folder_size: no folder %s\n", folder.c_str());
        return 1;
    }
    for (int run = 1; run <= runs; ++run) {
        const double start = now();
        const uint64_t bytes = vx::tools::folderSize(fs, folder);
        const double seconds = now() - start;
        std::printf("run %d: bytes %llu seconds %.3f\n", run, static_cast<unsigned long long>(bytes), seconds);
        std::fflush(stdout);
    }
    return 0;
}
