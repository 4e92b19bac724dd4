// What the quarantine costs on a real disk: deletes N small worm files (2 KB
// each) twice over, once as Windows alone would and once through the
// disinfections' keep-before-delete path (copy into the store, flush, read
// back and verify, append and flush the record, delete), and prints both
// times and the share keeping adds. The store run it makes is removed at the
// end.
//
//   bench_quarantine.exe [N]     (N = 10000 by default)
#include <windows.h>

#include "bench_clock.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/win32_platform.h"
#include "scan/primitives.h"
#include "scan/quarantine.h"

namespace {

bool makeFiles(vx::platform::FileSystem& fs, const std::string& folder, int count) {
    const std::string body(2048, 'w');
    for (int i = 0; i < count; ++i) {
        auto writer = fs.createBytes(folder + "worm" + std::to_string(i) + ".lnk");
        const std::string bytes = body + std::to_string(i);
        if (!writer || !writer->write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) return false;
    }
    return true;
}

// Empties and removes a folder of files.
void removeFolder(vx::platform::FileSystem& fs, const std::string& folder) {
    if (auto finder = fs.find(folder + "*.*")) {
        vx::platform::FindEntry e;
        while (finder->next(e))
            if (!e.isDirectory()) fs.deleteFile(folder + e.name).ignore();
    }
    fs.removeDirectory(folder).ignore();
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    vx::win32::Win32Platform system;
    auto os = system.platform();
    auto& fs = os.fs;
    const std::string work = fs.temporaryPath() + "vxqbench-" + std::to_string(::GetCurrentProcessId()) + "\\";
    if (count < 1 || !fs.createDirectory(work)) {
        std::fprintf(stderr, "bench_quarantine: cannot make %s\n", work.c_str());
        return 2;
    }

    vx::scan::ActivityLog log;
    vx::scan::RunFlags flags;
    vx::scan::Language language = vx::scan::kPortuguese;
    vx::scan::RunContext ctx{os, log, flags, language};

    // Windows alone.
    if (!makeFiles(fs, work, count)) return 2;
    double start = now();
    int deleted = 0;
    for (int i = 0; i < count; ++i) deleted += vx::scan::removeFile(ctx, work + "worm" + std::to_string(i) + ".lnk");
    const double plain = now() - start;

    // Through the quarantine.
    if (!makeFiles(fs, work, count)) return 2;
    std::string store;
    int keptAndDeleted = 0;
    start = now();
    {
        vx::scan::KeepingScope keeping(ctx, vx::scan::KeptFrom::Computer);
        for (int i = 0; i < count; ++i)
            keptAndDeleted += vx::scan::removeFile(ctx, work + "worm" + std::to_string(i) + ".lnk");
        store = keeping.run().folder();
    }
    const double kept = now() - start;

    if (!store.empty()) removeFolder(fs, store);
    removeFolder(fs, work);
    if (deleted != count || keptAndDeleted != count) {
        std::printf("FAILED: %d and %d of %d files deleted\n", deleted, keptAndDeleted, count);
        return 1;
    }
    std::printf("%d worm files of 2 KB: deleted alone %.2f s (%.2f ms each); kept then deleted %.2f s (%.2f ms "
                "each); keeping adds %.0f%%\n",
                count, plain, 1000 * plain / count, kept, 1000 * kept / count, 100 * (kept - plain) / plain);
    return 0;
}
