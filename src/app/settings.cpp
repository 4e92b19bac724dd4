#include "app/settings.h"

#include "scan/run_frame.h"

namespace vx::app {

namespace {
constexpr const char* kFileName = "parametros.ini";

// Only the first character matters for a line to be "1"; a few more bytes
// are read so that "1 " or "10" count as off.
constexpr size_t kLineBytes = 8;

const char* onOff(bool on) { return on ? "1" : "0"; }
}  // namespace

std::string settingsFilePath(platform::Shell& shell) { return scan::dataFolder(shell) + "\\" + kFileName; }

ReportSwitches loadSettings(platform::Platform& os) {
    const std::string path = settingsFilePath(os.shell);
    if (!os.fs.fileExists(path)) {
        os.fs.writeTextFile(path, {"1", "1"});
        return {true, true};
    }
    auto lines = os.fs.readTextLines(path, 2, kLineBytes);
    if (!lines) return {true, true};
    ReportSwitches s;
    s.afterChecks = lines->size() > 0 && (*lines)[0] == "1";
    s.afterDisinfections = lines->size() > 1 && (*lines)[1] == "1";
    return s;
}

ReportSwitches saveSettings(platform::Platform& os, ReportSwitches current) {
    const std::string path = settingsFilePath(os.shell);
    const bool existed = os.fs.fileExists(path);
    ReportSwitches next = existed ? current : ReportSwitches{true, true};
    platform::IoResult r = os.fs.writeTextFile(path, {onOff(next.afterChecks), onOff(next.afterDisinfections)});
    if (!r) {
        os.dialogs.ioError("Cannot create file \"" + path + "\". " + r.reason);
        return current;
    }
    return next;
}

}  // namespace vx::app
