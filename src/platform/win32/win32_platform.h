// The real platform: the interfaces of platform.h implemented on Win32.
//
// Text crosses the boundary as UTF-8 and is handed to the W functions as
// UTF-16. This header does not include <windows.h>; window handles travel as
// void*.
#pragma once

#include <functional>

#include "platform/platform.h"

namespace vx::win32 {

class Win32FileSystem final : public platform::FileSystem {
public:
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
};

class Win32Processes final : public platform::Processes {
public:
    std::vector<platform::ProcessEntry> snapshot() override;
    std::string imagePath(uint32_t pid) override;
    platform::Status terminate(uint32_t pid, uint32_t exitCode) override;
    bool isCritical(uint32_t pid) override;
    uint32_t currentProcessId() override;
    platform::Status startCommand(const std::string& commandLine) override;
};

class Win32Registry final : public platform::Registry {
public:
    platform::Result<std::unique_ptr<platform::RegKey>> open(platform::RootKey root, const std::string& path,
                                                             platform::RegAccess access) override;
    platform::Result<std::unique_ptr<platform::RegKey>> create(platform::RootKey root,
                                                               const std::string& path) override;
    platform::Status deleteTree(platform::RootKey root, const std::string& path) override;
};

class Win32Shell final : public platform::Shell {
public:
    // The window that owns the Explorer and default-action requests (HWND).
    void setOwner(void* hwnd) { owner_ = hwnd; }

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

    Win32Shell() = default;
    ~Win32Shell() override;
    Win32Shell(const Win32Shell&) = delete;
    Win32Shell& operator=(const Win32Shell&) = delete;

private:
    void prepare() {
        if (beforeShow_) beforeShow_();
    }

    void* owner_ = nullptr;
    std::function<void()> beforeShow_;
    // Where writeConsole writes (HANDLE); null until attached.
    void* consoleOut_ = nullptr;
    bool consoleIsScreen_ = false;  // a console screen (WriteConsoleW), not a file or pipe
    bool ownsConsoleOut_ = false;   // opened here ("CONOUT$"), closed by the destructor
};

class Win32Clock final : public platform::Clock {
public:
    platform::DateTime now() override;
    std::string shortDate(const platform::DateTime& t) override;
    std::string longTime(const platform::DateTime& t) override;
    std::string formatNumber(double value, int decimals) override;
};

class Win32Dialogs final : public platform::Dialogs {
public:
    // The window that owns the message boxes and the save dialog (HWND); with
    // none they are owned by no window.
    void setOwner(void* hwnd) { owner_ = hwnd; }
    // Runs before any box or dialog comes up, so that the window behind it can
    // first show what the running handler has done (the log up to the verdict).
    void setBeforeShow(std::function<void()> hook) { beforeShow_ = std::move(hook); }

    platform::Answer messageBox(const std::string& text, const std::string& caption, platform::Icon icon,
                                platform::Buttons buttons) override;
    std::optional<std::string> saveFile(const platform::SaveDialogOptions& options) override;
    void ioError(const std::string& text) override;

private:
    void prepare() {
        if (beforeShow_) beforeShow_();
    }

    void* owner_ = nullptr;
    std::function<void()> beforeShow_;
};

// SHA-256 through the system's CryptoAPI provider (PROV_RSA_AES, present from
// Windows XP SP3), acquired on first use and kept until destruction.
class Win32Crypto final : public platform::Crypto {
public:
    Win32Crypto() = default;
    ~Win32Crypto() override;
    Win32Crypto(const Win32Crypto&) = delete;
    Win32Crypto& operator=(const Win32Crypto&) = delete;

    platform::Result<std::unique_ptr<platform::Sha256>> sha256() override;
    platform::Status randomBytes(uint8_t* buffer, size_t size) override;

private:
    uintptr_t provider_ = 0;  // HCRYPTPROV, 0 until acquired
};

// One of each, handed to the program as a platform::Platform.
class Win32Platform {
public:
    platform::Platform platform() { return {fs_, processes_, registry_, shell_, clock_, dialogs_, crypto_}; }

    // Makes `hwnd` the owner of every window the platform opens (dialogs,
    // message boxes, Explorer requests). Call it once the main window exists.
    void setOwner(void* hwnd) {
        shell_.setOwner(hwnd);
        dialogs_.setOwner(hwnd);
    }
    void setBeforeDialog(std::function<void()> hook) { dialogs_.setBeforeShow(std::move(hook)); }

    Win32FileSystem& fileSystem() { return fs_; }
    Win32Processes& processes() { return processes_; }
    Win32Registry& registry() { return registry_; }
    Win32Shell& shell() { return shell_; }
    Win32Clock& clock() { return clock_; }
    Win32Dialogs& dialogs() { return dialogs_; }
    Win32Crypto& crypto() { return crypto_; }

private:
    Win32FileSystem fs_;
    Win32Processes processes_;
    Win32Registry registry_;
    Win32Shell shell_;
    Win32Clock clock_;
    Win32Dialogs dialogs_;
    Win32Crypto crypto_;
};

}  // namespace vx::win32
