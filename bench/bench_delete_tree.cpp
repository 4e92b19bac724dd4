// Deletes a generated 100,000-entry tree on the memory machine with the
// folder-tree deletion the disinfections use, and reports entries per second
// and the process's peak memory. A benchmark, not a test: it prints figures and
// checks only that the tree is gone.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/memory/memory_machine.h"
#include "scan/primitives.h"

namespace {
long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}
}  // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::stoi(argv[1]) : 100000;
    const int perFolder = 100;  // 1 folder + 99 files per branch, two levels deep
    vx::memory::Machine machine;
    machine.addDrive('E', vx::platform::DriveType::Removable, "PEN");
    machine.addFolder("E:\\RECYCLER");
    int made = 0;
    for (int f = 0; made < entries; ++f) {
        std::string folder = "E:\\RECYCLER\\S-1-5-21-" + std::to_string(f);
        if (f % 10 != 0) folder = "E:\\RECYCLER\\S-1-5-21-" + std::to_string(f - f % 10) + "\\sub" + std::to_string(f);
        machine.addFolder(folder);
        ++made;
        for (int i = 1; i < perFolder && made < entries; ++i, ++made)
            machine.addFile(folder + "\\arquivo" + std::to_string(i) + ".dat", "conteudo");
    }
    long before = peakKiB();

    vx::scan::ActivityLog log;
    vx::scan::RunFlags flags;
    vx::scan::Language language = vx::scan::kPortuguese;
    vx::scan::RunContext ctx{machine.platform(), log, flags, language};
    auto start = std::chrono::steady_clock::now();
    bool removed = vx::scan::deleteFolderTree(ctx, "E:\\RECYCLER", vx::scan::CountsAsInfection::Yes).removed;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long after = peakKiB();

    if (!removed || machine.exists("E:\\RECYCLER")) {
        std::printf("FAILED: the tree was not removed\n");
        return 1;
    }
    std::printf("delete folder tree: %d entries in %.3f s = %.0f entries/s; peak memory %ld KiB "
                "(%ld KiB after building the tree)\n",
                made, seconds, made / seconds, after, before);
    return 0;
}
