// The interface implementations of the memory machine, each bound to one state.
#pragma once

#include "platform/memory/memory_state.h"

namespace vx::memory {

class MemoryFileSystem final : public platform::FileSystem {
public:
    explicit MemoryFileSystem(Machine::State& state) : s_(state) {}
    platform::Result<std::unique_ptr<platform::Finder>> find(const std::string& pattern) override;
    uint32_t getAttributes(const std::string& path) override;
    platform::Status setAttributes(const std::string& path, uint32_t attributes) override;
    platform::Status deleteFile(const std::string& path) override;
    platform::Status createDirectory(const std::string& path) override;
    platform::Status removeDirectory(const std::string& path) override;
    platform::Status move(const std::string& from, const std::string& to) override;
    platform::Status copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    bool fileExists(const std::string& path) override;
    bool directoryExists(const std::string& path) override;
    uint32_t logicalDrives() override;
    platform::DriveType driveType(const std::string& root) override;
    std::string volumeLabel(const std::string& root) override;
    std::string temporaryPath() override;
    platform::Status writeTextFile(const std::string& path, const std::vector<std::string>& lines) override;
    platform::Result<std::unique_ptr<platform::TextWriter>> createTextFile(const std::string& path) override;
    platform::Result<std::vector<std::string>> readTextLines(const std::string& path, size_t maxLines,
                                                             size_t maxLineBytes = 4096) override;
    platform::Result<std::unique_ptr<platform::ByteReader>> openBytes(const std::string& path) override;
    platform::Result<std::unique_ptr<platform::ByteWriter>> createBytes(const std::string& path) override;
    platform::Result<std::unique_ptr<platform::TextWriter>> appendUtf8TextFile(const std::string& path) override;
    platform::Result<std::vector<std::string>> readUtf8TextLines(const std::string& path, size_t maxLines,
                                                                 size_t maxLineBytes = 65536) override;
    platform::Result<uint32_t> volumeSerial(const std::string& root) override;
    platform::Result<uint64_t> freeBytes(const std::string& path) override;

    // Handles, identities and trust.
    std::string fileSystemName(const std::string& root) override;
    platform::Result<platform::FileIdentity> identity(const std::string& path) override;
    platform::Result<std::unique_ptr<platform::HeldFile>> holdFile(const std::string& path) override;
    platform::Result<std::unique_ptr<platform::FolderHandle>> openFolder(const std::string& path) override;
    platform::Result<std::unique_ptr<platform::ByteReader>> openBytesExclusive(const std::string& path) override;
    platform::FolderTrust folderTrust(const std::string& path) override;
    platform::Status createProtectedDirectory(const std::string& path) override;

private:
    Machine::State& s_;
};

class MemoryProcesses final : public platform::Processes {
public:
    explicit MemoryProcesses(Machine::State& state) : s_(state) {}
    std::vector<platform::ProcessEntry> snapshot() override;
    std::string imagePath(uint32_t pid) override;
    platform::Status terminate(uint32_t pid, uint32_t exitCode) override;
    bool isCritical(uint32_t pid) override;
    uint32_t currentProcessId() override;
    platform::Status startCommand(const std::string& commandLine) override;

private:
    Machine::State& s_;
};

class MemoryRegistry final : public platform::Registry {
public:
    explicit MemoryRegistry(Machine::State& state) : s_(state) {}
    platform::Result<std::unique_ptr<platform::RegKey>> open(platform::RootKey root, const std::string& path,
                                                             platform::RegAccess access) override;
    platform::Result<std::unique_ptr<platform::RegKey>> create(platform::RootKey root,
                                                               const std::string& path) override;
    platform::Status deleteTree(platform::RootKey root, const std::string& path) override;

private:
    Machine::State& s_;
};

class MemoryShell final : public platform::Shell {
public:
    explicit MemoryShell(Machine::State& state) : s_(state) {}
    std::string specialFolder(int csidl) override;
    void explore(const std::string& folder) override;
    void openDefault(const std::string& target) override;
    void restartWindows(unsigned flags) override;
    platform::Wow64 isWow64Process() override;
    bool is64BitProcess() override;
    platform::WindowsVersion windowsVersion() override;
    std::string programPath() override;
    bool hasAdministratorRights() override;
    bool separatesAccounts() override;
    std::unique_ptr<platform::RunLock> tryLockRuns() override;
    std::vector<std::string> commandLineArguments() override;
    platform::Status attachParentConsole() override;
    platform::Status writeConsole(const std::string& line) override;

private:
    Machine::State& s_;
};

class MemoryClock final : public platform::Clock {
public:
    explicit MemoryClock(Machine::State& state) : s_(state) {}
    platform::DateTime now() override;
    std::string shortDate(const platform::DateTime& t) override;
    std::string longTime(const platform::DateTime& t) override;
    std::string formatNumber(double value, int decimals) override;

private:
    Machine::State& s_;
};

class MemoryDialogs final : public platform::Dialogs {
public:
    explicit MemoryDialogs(Machine::State& state) : s_(state) {}
    platform::Answer messageBox(const std::string& text, const std::string& caption, platform::Icon icon,
                                platform::Buttons buttons) override;
    std::optional<std::string> saveFile(const platform::SaveDialogOptions& options) override;
    void ioError(const std::string& text) override;

private:
    Machine::State& s_;
};

// SHA-256 computed in software (FIPS 180-4); random bytes from the
// machine's seeded generator.
class MemoryCrypto final : public platform::Crypto {
public:
    explicit MemoryCrypto(Machine::State& state) : s_(state) {}
    platform::Result<std::unique_ptr<platform::Sha256>> sha256() override;
    platform::Status randomBytes(uint8_t* buffer, size_t size) override;

private:
    Machine::State& s_;
};

namespace detail {

// Registry key paths: split on "\" with leading and trailing separators
// ignored; false for an empty component inside the path.
bool splitKeyPath(const std::string& path, std::vector<std::string>& out);

// The drive letter of a root text ("E:", "E:\" or "E:/"), upper case; 0 for
// anything else.
char rootLetter(const std::string& root);

}  // namespace detail

}  // namespace vx::memory
