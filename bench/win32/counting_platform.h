// A platform that counts and times every call it forwards to another one, for
// the benchmarks that must say where a run's time goes: each call of the
// file system, processes, registry, shell, clock, dialogs and cryptography,
// and of the objects they hand out (finders, readers, writers, held files,
// registry keys, hashes), adds its count and its time under one name such as
// "fs.holdFile" or "held.close". Closing a held file that was marked for
// deletion is what deletes it, so "held.close" is the deletion's cost.
//
// No wrapped call calls another wrapped one, so the times add up without
// counting anything twice: the run's time less their sum is the program's own
// work.
//
// With a WhatIf the platform also answers some calls as a program that made
// them less often would see them, to show what such a change would save:
// the facts of a volume (type, serial, file system, label) read once per
// drive root, and one process snapshot reused for a number of calls (a new
// one is taken after any termination).
#pragma once

#include "bench_clock.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace bench {

struct CallStat {
    long long count = 0;
    double seconds = 0;
};

class CallProfile {
public:
    void add(const char* name, double seconds) {
        CallStat& s = stats_[name];
        ++s.count;
        s.seconds += seconds;
    }
    void clear() { stats_.clear(); }
    double total() const {
        double sum = 0;
        for (const auto& [name, s] : stats_) sum += s.seconds;
        return sum;
    }
    // One line per call, the costliest first, and what the program itself
    // spent beside them out of `runSeconds`.
    void print(double runSeconds) const {
        std::vector<std::pair<std::string, CallStat>> rows(stats_.begin(), stats_.end());
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second.seconds > b.second.seconds; });
        std::printf("    %-28s %9s %10s %10s %7s\n", "call", "count", "total s", "each ms", "share");
        for (const auto& [name, s] : rows) {
            if (s.seconds < 0.0005 && s.count < 100) continue;
            std::printf("    %-28s %9lld %10.3f %10.4f %6.1f%%\n", name.c_str(), s.count, s.seconds,
                        1000 * s.seconds / static_cast<double>(s.count), 100 * s.seconds / runSeconds);
        }
        const double own = runSeconds - total();
        std::printf("    %-28s %9s %10.3f %10s %6.1f%%\n", "(outside the platform)", "", own, "", 100 * own / runSeconds);
    }

private:
    std::map<std::string, CallStat> stats_;
};

inline CallProfile& callProfile() {
    static CallProfile profile;
    return profile;
}

// Adds the time from its making to its end under `name`.
class Timed {
public:
    explicit Timed(const char* name) : name_(name), start_(now()) {}
    ~Timed() { callProfile().add(name_, now() - start_); }
    Timed(const Timed&) = delete;
    Timed& operator=(const Timed&) = delete;

private:
    const char* name_;
    double start_;
};

namespace p = vx::platform;

struct WhatIf {
    bool volumeFactsOncePerRoot = false;
    int callsPerSnapshot = 1;
};

class CountedFinder final : public p::Finder {
public:
    explicit CountedFinder(std::unique_ptr<p::Finder> inner) : inner_(std::move(inner)) {}
    ~CountedFinder() override {
        Timed t("finder.close");
        inner_.reset();
    }
    bool next(p::FindEntry& entry) override {
        Timed t("finder.next");
        return inner_->next(entry);
    }

private:
    std::unique_ptr<p::Finder> inner_;
};

class CountedTextWriter final : public p::TextWriter {
public:
    explicit CountedTextWriter(std::unique_ptr<p::TextWriter> inner) : inner_(std::move(inner)) {}
    ~CountedTextWriter() override {
        Timed t("text.close");
        inner_.reset();
    }
    p::Status writeLine(const std::string& line) override {
        Timed t("text.writeLine");
        return inner_->writeLine(line);
    }
    p::Status writeLines(const std::vector<std::string>& lines) override {
        Timed t("text.writeLines");
        return inner_->writeLines(lines);
    }
    p::Status close() override {
        Timed t("text.close");
        return inner_->close();
    }

private:
    std::unique_ptr<p::TextWriter> inner_;
};

class CountedReader final : public p::ByteReader {
public:
    explicit CountedReader(std::unique_ptr<p::ByteReader> inner) : inner_(std::move(inner)) {}
    ~CountedReader() override {
        Timed t("reader.close");
        inner_.reset();
    }
    p::Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        Timed t("reader.read");
        return inner_->read(buffer, capacity);
    }
    p::Status seek(uint64_t offset) override {
        Timed t("reader.seek");
        return inner_->seek(offset);
    }

private:
    std::unique_ptr<p::ByteReader> inner_;
};

class CountedWriter final : public p::ByteWriter {
public:
    explicit CountedWriter(std::unique_ptr<p::ByteWriter> inner) : inner_(std::move(inner)) {}
    ~CountedWriter() override {
        Timed t("writer.close");
        inner_.reset();
    }
    p::Status write(const uint8_t* data, size_t size) override {
        Timed t("writer.write");
        return inner_->write(data, size);
    }
    p::Status flush() override {
        Timed t("writer.flush");
        return inner_->flush();
    }
    p::Status close() override {
        Timed t("writer.close+flush");
        return inner_->close();
    }

private:
    std::unique_ptr<p::ByteWriter> inner_;
};

class CountedHeldFile final : public p::HeldFile {
public:
    explicit CountedHeldFile(std::unique_ptr<p::HeldFile> inner) : inner_(std::move(inner)) {}
    ~CountedHeldFile() override {
        Timed t(marked_ ? "held.close (deletes)" : "held.close");
        inner_.reset();
    }
    uint64_t size() override {
        Timed t("held.size");
        return inner_->size();
    }
    uint32_t attributes() override {
        Timed t("held.attributes");
        return inner_->attributes();
    }
    p::Result<p::FileIdentity> identity() override {
        Timed t("held.identity");
        return inner_->identity();
    }
    p::Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        Timed t("held.read");
        return inner_->read(buffer, capacity);
    }
    p::Status markForDeletion() override {
        Timed t("held.markForDeletion");
        p::Status marked = inner_->markForDeletion();
        marked_ = marked.ok();
        return marked;
    }

private:
    std::unique_ptr<p::HeldFile> inner_;
    bool marked_ = false;
};

template <typename Counted, typename T>
p::Result<std::unique_ptr<T>> counted(p::Result<std::unique_ptr<T>> inner) {
    if (!inner) return inner.status();
    return std::unique_ptr<T>(std::make_unique<Counted>(std::move(inner).value()));
}

class CountedFileSystem final : public p::FileSystem {
public:
    CountedFileSystem(p::FileSystem& inner, const WhatIf& whatIf) : in_(inner), whatIf_(whatIf) {}

    p::Result<std::unique_ptr<p::Finder>> find(const std::string& pattern) override {
        Timed t("fs.find");
        return counted<CountedFinder>(in_.find(pattern));
    }
    uint32_t getAttributes(const std::string& path) override {
        Timed t("fs.getAttributes");
        return in_.getAttributes(path);
    }
    p::Status setAttributes(const std::string& path, uint32_t attributes) override {
        Timed t("fs.setAttributes");
        return in_.setAttributes(path, attributes);
    }
    p::Status deleteFile(const std::string& path) override {
        Timed t("fs.deleteFile");
        return in_.deleteFile(path);
    }
    p::Status createDirectory(const std::string& path) override {
        Timed t("fs.createDirectory");
        return in_.createDirectory(path);
    }
    p::Status removeDirectory(const std::string& path) override {
        Timed t("fs.removeDirectory");
        return in_.removeDirectory(path);
    }
    p::Status move(const std::string& from, const std::string& to) override {
        Timed t("fs.move");
        return in_.move(from, to);
    }
    p::Status copyFile(const std::string& from, const std::string& to, bool failIfExists) override {
        Timed t("fs.copyFile");
        return in_.copyFile(from, to, failIfExists);
    }
    bool fileExists(const std::string& path) override {
        Timed t("fs.fileExists");
        return in_.fileExists(path);
    }
    bool directoryExists(const std::string& path) override {
        Timed t("fs.directoryExists");
        return in_.directoryExists(path);
    }
    uint32_t logicalDrives() override {
        Timed t("fs.logicalDrives");
        return in_.logicalDrives();
    }
    p::DriveType driveType(const std::string& root) override {
        Timed t("fs.driveType");
        if (!whatIf_.volumeFactsOncePerRoot) return in_.driveType(root);
        Facts& f = facts(root);
        if (!f.type) f.type = in_.driveType(root);
        return *f.type;
    }
    std::string volumeLabel(const std::string& root) override {
        Timed t("fs.volumeLabel");
        if (!whatIf_.volumeFactsOncePerRoot) return in_.volumeLabel(root);
        Facts& f = facts(root);
        if (!f.label) f.label = in_.volumeLabel(root);
        return *f.label;
    }
    std::string temporaryPath() override {
        Timed t("fs.temporaryPath");
        return in_.temporaryPath();
    }
    p::Status writeTextFile(const std::string& path, const std::vector<std::string>& lines) override {
        Timed t("fs.writeTextFile");
        return in_.writeTextFile(path, lines);
    }
    p::Result<std::unique_ptr<p::TextWriter>> createTextFile(const std::string& path) override {
        Timed t("fs.createTextFile");
        return counted<CountedTextWriter>(in_.createTextFile(path));
    }
    p::Result<std::vector<std::string>> readTextLines(const std::string& path, size_t maxLines,
                                                      size_t maxLineBytes) override {
        Timed t("fs.readTextLines");
        return in_.readTextLines(path, maxLines, maxLineBytes);
    }
    p::Result<std::unique_ptr<p::ByteReader>> openBytes(const std::string& path) override {
        Timed t("fs.openBytes");
        return counted<CountedReader>(in_.openBytes(path));
    }
    p::Result<std::unique_ptr<p::ByteWriter>> createBytes(const std::string& path) override {
        Timed t("fs.createBytes");
        return counted<CountedWriter>(in_.createBytes(path));
    }
    p::Result<std::unique_ptr<p::TextWriter>> appendUtf8TextFile(const std::string& path) override {
        Timed t("fs.appendUtf8TextFile");
        return counted<CountedTextWriter>(in_.appendUtf8TextFile(path));
    }
    p::Result<std::vector<std::string>> readUtf8TextLines(const std::string& path, size_t maxLines,
                                                          size_t maxLineBytes) override {
        Timed t("fs.readUtf8TextLines");
        return in_.readUtf8TextLines(path, maxLines, maxLineBytes);
    }
    p::Result<uint32_t> volumeSerial(const std::string& root) override {
        Timed t("fs.volumeSerial");
        if (!whatIf_.volumeFactsOncePerRoot) return in_.volumeSerial(root);
        Facts& f = facts(root);
        if (!f.serial) f.serial = in_.volumeSerial(root);
        return *f.serial;
    }
    p::Result<uint64_t> freeBytes(const std::string& path) override {
        Timed t("fs.freeBytes");
        return in_.freeBytes(path);
    }
    std::string fileSystemName(const std::string& root) override {
        Timed t("fs.fileSystemName");
        if (!whatIf_.volumeFactsOncePerRoot) return in_.fileSystemName(root);
        Facts& f = facts(root);
        if (!f.fileSystem) f.fileSystem = in_.fileSystemName(root);
        return *f.fileSystem;
    }
    p::Result<p::FileIdentity> identity(const std::string& path) override {
        Timed t("fs.identity");
        return in_.identity(path);
    }
    p::Result<std::unique_ptr<p::HeldFile>> holdFile(const std::string& path) override {
        Timed t("fs.holdFile");
        return counted<CountedHeldFile>(in_.holdFile(path));
    }
    // The folder handles are used by restores, not by the runs timed here:
    // only their opening is counted.
    p::Result<std::unique_ptr<p::FolderHandle>> openFolder(const std::string& path) override {
        Timed t("fs.openFolder");
        return in_.openFolder(path);
    }
    p::Result<std::unique_ptr<p::ByteReader>> openBytesExclusive(const std::string& path) override {
        Timed t("fs.openBytesExclusive");
        return counted<CountedReader>(in_.openBytesExclusive(path));
    }
    p::FolderTrust folderTrust(const std::string& path) override {
        Timed t("fs.folderTrust");
        return in_.folderTrust(path);
    }
    p::Status createProtectedDirectory(const std::string& path) override {
        Timed t("fs.createProtectedDirectory");
        return in_.createProtectedDirectory(path);
    }

private:
    struct Facts {
        std::optional<p::DriveType> type;
        std::optional<p::Result<uint32_t>> serial;
        std::optional<std::string> fileSystem, label;
    };
    Facts& facts(const std::string& root) { return facts_[p::upperAscii(root)]; }

    p::FileSystem& in_;
    const WhatIf& whatIf_;
    std::map<std::string, Facts> facts_;
};

class CountedProcesses final : public p::Processes {
public:
    CountedProcesses(p::Processes& inner, const WhatIf& whatIf) : in_(inner), whatIf_(whatIf) {}
    std::vector<p::ProcessEntry> snapshot() override {
        Timed t("processes.snapshot");
        if (whatIf_.callsPerSnapshot <= 1) return in_.snapshot();
        if (callsLeft_ <= 0) {
            last_ = in_.snapshot();
            callsLeft_ = whatIf_.callsPerSnapshot;
        }
        --callsLeft_;
        return last_;
    }
    std::string imagePath(uint32_t pid) override {
        Timed t("processes.imagePath");
        return in_.imagePath(pid);
    }
    p::Status terminate(uint32_t pid, uint32_t exitCode) override {
        Timed t("processes.terminate");
        callsLeft_ = 0;
        return in_.terminate(pid, exitCode);
    }
    bool isCritical(uint32_t pid) override {
        Timed t("processes.isCritical");
        return in_.isCritical(pid);
    }
    uint32_t currentProcessId() override {
        Timed t("processes.currentProcessId");
        return in_.currentProcessId();
    }
    p::Status startCommand(const std::string& commandLine) override {
        Timed t("processes.startCommand");
        return in_.startCommand(commandLine);
    }

private:
    p::Processes& in_;
    const WhatIf& whatIf_;
    std::vector<p::ProcessEntry> last_;
    int callsLeft_ = 0;
};

class CountedRegKey final : public p::RegKey {
public:
    explicit CountedRegKey(std::unique_ptr<p::RegKey> inner) : inner_(std::move(inner)) {}
    ~CountedRegKey() override {
        Timed t("regkey.close");
        inner_.reset();
    }
    std::vector<std::string> valueNames() override {
        Timed t("regkey.valueNames");
        return inner_->valueNames();
    }
    std::vector<std::string> subkeyNames() override {
        Timed t("regkey.subkeyNames");
        return inner_->subkeyNames();
    }
    bool valueExists(const std::string& name) override {
        Timed t("regkey.valueExists");
        return inner_->valueExists(name);
    }
    p::Result<p::RegValue> readValue(const std::string& name) override {
        Timed t("regkey.readValue");
        return inner_->readValue(name);
    }
    p::Status writeValue(const std::string& name, const p::RegValue& value) override {
        Timed t("regkey.writeValue");
        return inner_->writeValue(name, value);
    }
    p::Status deleteValue(const std::string& name) override {
        Timed t("regkey.deleteValue");
        return inner_->deleteValue(name);
    }
    bool subkeyExists(const std::string& name) override {
        Timed t("regkey.subkeyExists");
        return inner_->subkeyExists(name);
    }

private:
    std::unique_ptr<p::RegKey> inner_;
};

class CountedRegistry final : public p::Registry {
public:
    explicit CountedRegistry(p::Registry& inner) : in_(inner) {}
    p::Result<std::unique_ptr<p::RegKey>> open(p::RootKey root, const std::string& path,
                                               p::RegAccess access) override {
        Timed t("registry.open");
        return counted<CountedRegKey>(in_.open(root, path, access));
    }
    p::Result<std::unique_ptr<p::RegKey>> create(p::RootKey root, const std::string& path) override {
        Timed t("registry.create");
        return counted<CountedRegKey>(in_.create(root, path));
    }
    p::Status deleteTree(p::RootKey root, const std::string& path) override {
        Timed t("registry.deleteTree");
        return in_.deleteTree(root, path);
    }

private:
    p::Registry& in_;
};

class CountedShell final : public p::Shell {
public:
    explicit CountedShell(p::Shell& inner) : in_(inner) {}
    std::string specialFolder(int csidl) override {
        Timed t("shell.specialFolder");
        return in_.specialFolder(csidl);
    }
    void explore(const std::string& folder) override {
        Timed t("shell.explore");
        in_.explore(folder);
    }
    void openDefault(const std::string& target) override {
        Timed t("shell.openDefault");
        in_.openDefault(target);
    }
    void restartWindows(unsigned flags) override {
        Timed t("shell.restartWindows");
        in_.restartWindows(flags);
    }
    p::Wow64 isWow64Process() override {
        Timed t("shell.isWow64Process");
        return in_.isWow64Process();
    }
    bool is64BitProcess() override {
        Timed t("shell.is64BitProcess");
        return in_.is64BitProcess();
    }
    p::WindowsVersion windowsVersion() override {
        Timed t("shell.windowsVersion");
        return in_.windowsVersion();
    }
    std::string programPath() override {
        Timed t("shell.programPath");
        return in_.programPath();
    }
    bool hasAdministratorRights() override {
        Timed t("shell.hasAdministratorRights");
        return in_.hasAdministratorRights();
    }
    bool separatesAccounts() override {
        Timed t("shell.separatesAccounts");
        return in_.separatesAccounts();
    }
    std::unique_ptr<p::RunLock> tryLockRuns() override { return in_.tryLockRuns(); }
    std::vector<std::string> commandLineArguments() override { return in_.commandLineArguments(); }
    p::Status attachParentConsole() override { return in_.attachParentConsole(); }
    p::Status writeConsole(const std::string& line) override { return in_.writeConsole(line); }

private:
    p::Shell& in_;
};

class CountedClock final : public p::Clock {
public:
    explicit CountedClock(p::Clock& inner) : in_(inner) {}
    p::DateTime now() override {
        Timed t("clock.now");
        return in_.now();
    }
    std::string shortDate(const p::DateTime& d) override {
        Timed t("clock.shortDate");
        return in_.shortDate(d);
    }
    std::string longTime(const p::DateTime& d) override {
        Timed t("clock.longTime");
        return in_.longTime(d);
    }
    std::string formatNumber(double value, int decimals) override {
        Timed t("clock.formatNumber");
        return in_.formatNumber(value, decimals);
    }

private:
    p::Clock& in_;
};

class CountedSha256 final : public p::Sha256 {
public:
    explicit CountedSha256(std::unique_ptr<p::Sha256> inner) : inner_(std::move(inner)) {}
    void update(const uint8_t* data, size_t size) override {
        Timed t("sha256.update");
        inner_->update(data, size);
    }
    p::Sha256Digest finish() override {
        Timed t("sha256.finish");
        return inner_->finish();
    }

private:
    std::unique_ptr<p::Sha256> inner_;
};

class CountedCrypto final : public p::Crypto {
public:
    explicit CountedCrypto(p::Crypto& inner) : in_(inner) {}
    p::Result<std::unique_ptr<p::Sha256>> sha256() override {
        Timed t("crypto.sha256");
        return counted<CountedSha256>(in_.sha256());
    }
    p::Status randomBytes(uint8_t* buffer, size_t size) override {
        Timed t("crypto.randomBytes");
        return in_.randomBytes(buffer, size);
    }

private:
    p::Crypto& in_;
};

class CountedDialogs final : public p::Dialogs {
public:
    explicit CountedDialogs(p::Dialogs& inner) : in_(inner) {}
    p::Answer messageBox(const std::string& text, const std::string& caption, p::Icon icon,
                         p::Buttons buttons) override {
        Timed t("dialogs.messageBox");
        return in_.messageBox(text, caption, icon, buttons);
    }
    std::optional<std::string> saveFile(const p::SaveDialogOptions& options) override {
        Timed t("dialogs.saveFile");
        return in_.saveFile(options);
    }
    void ioError(const std::string& text) override {
        Timed t("dialogs.ioError");
        in_.ioError(text);
    }

private:
    p::Dialogs& in_;
};

// Every part of `inner` behind a counting one.
class CountingPlatform {
public:
    explicit CountingPlatform(p::Platform inner, WhatIf whatIf = {})
        : whatIf_(whatIf), fs_(inner.fs, whatIf_), processes_(inner.processes, whatIf_), registry_(inner.registry),
          shell_(inner.shell), clock_(inner.clock), dialogs_(inner.dialogs), crypto_(inner.crypto) {}
    p::Platform platform() { return {fs_, processes_, registry_, shell_, clock_, dialogs_, crypto_}; }

private:
    WhatIf whatIf_;
    CountedFileSystem fs_;
    CountedProcesses processes_;
    CountedRegistry registry_;
    CountedShell shell_;
    CountedClock clock_;
    CountedDialogs dialogs_;
    CountedCrypto crypto_;
};

}  // namespace bench
