#include "tools/system_report.h"

#include <memory>
#include <optional>

#include "scan/run_frame.h"
#include "tools/tool_texts.h"

namespace vx::tools {

using platform::RootKey;
using platform::Wow64;

namespace {

constexpr const char* kWindowsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kProcessorKey = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

// Reads the named string values of one key for reading only; what is missing stays empty.
std::vector<std::string> readTexts(platform::Registry& registry, const std::string& key,
                                   const std::vector<std::string>& names) {
    std::vector<std::string> out(names.size());
    auto k = registry.open(RootKey::LocalMachine, key, platform::RegAccess::Read);
    if (!k) return out;
    for (size_t i = 0; i < names.size(); ++i) out[i] = k->readText(names[i]).value_or("");
    return out;
}

// One report file being written; the first failure is reported once and
// ends the report.
class ReportFile {
public:
    ReportFile(platform::Platform& os, std::string path) : os_(os), path_(std::move(path)) {}

    bool create() {
        auto made = os_.fs.createTextFile(path_);
        writer_ = std::move(made);
        if (writer_) return true;
        os_.dialogs.ioError(scan::fill(texts::CannotCreateFile, {path_, made.status().message()}));
        return false;
    }
    bool write(const std::string& line) { return check(writer_->writeLine(line)); }
    bool close() { return check(writer_->close()); }
    const std::string& path() const { return path_; }

private:
    bool check(const platform::Status& r) {
        if (r) return true;
        os_.dialogs.ioError(scan::fill(texts::CannotWriteFile, {path_, r.message()}));
        return false;
    }

    platform::Platform& os_;
    std::string path_;
    std::unique_ptr<platform::TextWriter> writer_;
};

bool ensureReportFolder(platform::Platform& os, const std::string& folder) {
    if (os.fs.directoryExists(folder) || os.fs.createDirectory(folder)) return true;
    os.dialogs.ioError(scan::fill(texts::CannotCreateFolder, {folder}));
    return false;
}

std::string reportName(const scan::DateTimeTexts& t) {
    return "vx-relatorio-" + scan::fileNameSafe(t.date) + "-" + scan::fileNameSafe(t.time) + ".txt";
}

}  // namespace

std::string systemReportFileName(platform::Clock& clock) { return reportName(scan::currentDateTimeTexts(clock)); }

std::string bitsText(platform::Shell& shell, Wow64 answer) {
    // A 64-bit process runs only on 64-bit Windows, where the emulation query
    // answers "no" although the system is 64-bit.
    if (shell.is64BitProcess()) return "64 Bits";
    switch (answer) {
        case Wow64::Yes:
            return "64 Bits";
        case Wow64::No:
            return "32 Bits";
        case Wow64::QueryFailed:
        case Wow64::Unavailable:
            break;
    }
    return "";
}

ReportOutcome writeSystemReport(platform::Platform os, const std::vector<std::string>& processLines) {
    // One clock reading for the file name and the first line.
    const scan::DateTimeTexts now = scan::currentDateTimeTexts(os.clock);
    const std::string name = reportName(now);

    const std::string dataFolder = scan::dataFolder(os.shell);
    const std::string localFolder = scan::localDataFolder(os.shell);
    if (!ensureReportFolder(os, dataFolder) || !ensureReportFolder(os, localFolder)) return ReportOutcome::IoError;

    ReportFile full(os, dataFolder + "\\" + name);
    ReportFile local(os, localFolder + "\\" + name);
    if (!full.create() || !local.create()) return ReportOutcome::IoError;

    const std::string firstLine = scan::fill(texts::system_report::FirstLine, {now.date, now.time});
    if (!full.write(firstLine) || !local.write(firstLine)) return ReportOutcome::IoError;

    const Wow64 wow64 = os.shell.isWow64Process();
    if (wow64 == Wow64::Unavailable) {
        if (!full.close() || !local.close()) return ReportOutcome::IoError;
        return ReportOutcome::FirstLineOnly;
    }
    const std::string bits = bitsText(os.shell, wow64);

    const auto windows = readTexts(os.registry, kWindowsKey, {"ProductName", "CurrentVersion", "CurrentBuild"});
    const auto processor = readTexts(os.registry, kProcessorKey, {"ProcessorNameString", "Identifier"});

    std::vector<std::string> body = {
        "", scan::fill(texts::system_report::WindowsLine, {windows[0], windows[1], windows[2], bits}),
        "", scan::fill(texts::system_report::ProcessorLine, {processor[0], processor[1]}),
        "", texts::system_report::ProcessesHeading,
        "",
    };
    body.insert(body.end(), processLines.begin(), processLines.end());
    body.push_back("");
    for (const auto& line : body)
        if (!full.write(line)) return ReportOutcome::IoError;

    if (!full.close() || !local.close()) return ReportOutcome::IoError;
    os.shell.openDefault(full.path());
    return ReportOutcome::Opened;
}

}  // namespace vx::tools
