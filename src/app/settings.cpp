#include "app/settings.h"

#include "scan/run_frame.h"

namespace vx::app {

namespace {
constexpr const char* kFileName = "parametros.ini";

// Only the first character matters for a line to be "1"; a few more bytes
// are read so that "1 " or "10" count as off.
constexpr size_t kLineBytes = 8;

const char* onOff(bool on) { return on ? "1" : "0"; }

std::vector<std::string> linesOf(const ReportSwitches& s) {
    return {onOff(s.afterChecks), onOff(s.afterDisinfections), onOff(s.checkOnInsertion)};
}
}  // namespace

std::string settingsFilePath(platform::Shell& shell) { return scan::dataFolder(shell) + "\\" + kFileName; }

ReportSwitches loadSettings(platform::Platform& os) {
    const std::string path = settingsFilePath(os.shell);
    const ReportSwitches defaults;
    if (!os.fs.fileExists(path)) {
        // The file older versions create: it reads as the defaults here too.
        os.fs.writeTextFile(path, {"1", "1"}).ignore();
        return defaults;
    }
    auto lines = os.fs.readTextLines(path, 3, kLineBytes);
    if (!lines) return defaults;
    auto on = [&](size_t i) { return lines->size() > i && (*lines)[i] == "1"; };
    return {on(0), on(1), on(2)};
}

ReportSwitches saveSettings(platform::Platform& os, ReportSwitches current) {
    const std::string path = settingsFilePath(os.shell);
    const bool existed = os.fs.fileExists(path);
    ReportSwitches next = existed ? current : ReportSwitches{};
    platform::Status r = os.fs.writeTextFile(path, linesOf(next));
    if (!r) {
        os.dialogs.ioError("Cannot create file \"" + path + "\". " + r.message());
        return current;
    }
    return next;
}

}  // namespace vx::app
