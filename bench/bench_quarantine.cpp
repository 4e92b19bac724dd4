// The device disinfection of a generated pen drive holding 10,000 worm files
// (shortcuts, scripts and small executables at the root, beside the user's
// hidden folders), on the memory machine: the whole run's time, and the time
// keeping the same files in the quarantine takes on its own, so the share the
// quarantine adds can be read. A benchmark, not a test: it prints figures and
// checks only that every worm file is gone and kept.
#include <chrono>
#include <cstdio>
#include <string>

#include "device/device_disinfection.h"
#include "platform/memory/memory_machine.h"
#include "scan/quarantine.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kExtensions[] = {".lnk", ".vbs", ".js", ".vbe"};

void seed(vx::memory::Machine& m, int worms) {
    m.addDrive('E', vx::platform::DriveType::Removable, "PEN");
    m.addFolder("C:\\Users\\Usuario\\AppData\\Roaming\\varrex");
    m.addFolder("C:\\Users\\Usuario\\AppData\\Local\\varrex");
    const std::string body(2048, 'w');
    for (int i = 0; i < worms; ++i)
        m.addFile("E:\\worm" + std::to_string(i) + kExtensions[i % 4], body + std::to_string(i),
                  vx::platform::attr::Hidden);
    for (int f = 0; f < 20; ++f)
        m.addFile("E:\\Pasta" + std::to_string(f) + "\\foto.jpg", "jpg");
}

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv) {
    const int worms = argc > 1 ? std::stoi(argv[1]) : 10000;

    // The whole disinfection, keeping included.
    vx::memory::Machine machine;
    seed(machine, worms);
    vx::scan::ActivityLog log;
    vx::scan::RunFlags flags;
    vx::scan::Language language = vx::scan::kPortuguese;
    vx::scan::RunContext ctx{machine.platform(), log, flags, language};
    vx::scan::SaveDialogMemory dialog;
    vx::device::DisinfectionTarget target;
    auto start = Clock::now();
    vx::device::runDeviceDisinfection(ctx, "E:", vx::scan::SaveOffer::Skip, dialog, target);
    const double whole = seconds(start);
    for (int i = 0; i < worms; ++i)
        if (machine.exists("E:\\worm" + std::to_string(i) + kExtensions[i % 4])) {
            std::printf("FAILED: worm %d is still there\n", i);
            return 1;
        }

    // Keeping the same files alone, on a machine of their own.
    vx::memory::Machine other;
    seed(other, worms);
    vx::scan::ActivityLog log2;
    vx::scan::RunContext ctx2{other.platform(), log2, flags, language};
    int kept = 0;
    start = Clock::now();
    {
        vx::scan::KeepingScope keeping(ctx2, vx::scan::KeptFrom::Device, "E:\\");
        for (int i = 0; i < worms; ++i)
            kept += keeping.run().keepFile("E:\\worm" + std::to_string(i) + kExtensions[i % 4]) ? 1 : 0;
    }
    const double keeping = seconds(start);
    if (kept != worms) {
        std::printf("FAILED: %d of %d files kept\n", kept, worms);
        return 1;
    }
    std::printf("device disinfection of %d worm files: %.3f s; keeping them alone: %.3f s (%.0f%% of the run)\n",
                worms, whole, keeping, 100.0 * keeping / whole);
    return 0;
}
