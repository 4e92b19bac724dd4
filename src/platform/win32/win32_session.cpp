// The run lock, the program's arguments and the console of the program that
// started it.
#include <atomic>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"  // <windows.h> first

#include <sddl.h>
#include <shellapi.h>

#include "platform/win32/win32_status.h"

namespace vx::win32 {

namespace {

// One name for every session: a scheduled task or start-up script runs as
// SYSTEM in session 0 while the user's window runs in theirs, and the two
// must still never run beside each other.
constexpr wchar_t kRunLockName[] = L"Global\\VarrexRunLock";

// SYSTEM and Administrators get full access; everyone else may wait on the
// lock and release it (SYNCHRONIZE | MUTEX_MODIFY_STATE), so that a lock made
// by a task running as SYSTEM still answers a user's window, and the other
// way round.
constexpr wchar_t kRunLockSecurity[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";

// A second holder in this program would otherwise succeed: a mutex belongs to
// a thread, and its owner may take it again.
std::atomic<bool> heldByThisProgram{false};

class Win32RunLock final : public platform::RunLock {
public:
    explicit Win32RunLock(HANDLE mutex) : mutex_(mutex) {}
    ~Win32RunLock() override {
        ::ReleaseMutex(mutex_);
        ::CloseHandle(mutex_);
        heldByThisProgram = false;
    }
    Win32RunLock(const Win32RunLock&) = delete;
    Win32RunLock& operator=(const Win32RunLock&) = delete;

private:
    HANDLE mutex_;
};

HANDLE createRunMutex() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kRunLockSecurity, SDDL_REVISION_1, &descriptor, nullptr))
        attributes.lpSecurityDescriptor = descriptor;
    HANDLE mutex = ::CreateMutexW(&attributes, FALSE, kRunLockName);
    if (!mutex && ::GetLastError() == ERROR_ACCESS_DENIED)
        mutex = ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kRunLockName);
    if (descriptor) ::LocalFree(descriptor);
    return mutex;
}

}  // namespace

Win32Shell::~Win32Shell() {
    if (ownsConsoleOut_ && consoleOut_) ::CloseHandle(static_cast<HANDLE>(consoleOut_));
}

std::unique_ptr<platform::RunLock> Win32Shell::tryLockRuns() {
    if (heldByThisProgram.exchange(true)) return nullptr;
    HANDLE mutex = createRunMutex();
    if (mutex) {
        // An abandoned lock (a run that crashed) is taken over: its run is over.
        const DWORD waited = ::WaitForSingleObject(mutex, 0);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return std::make_unique<Win32RunLock>(mutex);
        ::CloseHandle(mutex);
    }
    // A lock that cannot even be opened is one somebody else holds: it
    // exists only while its maker runs.
    heldByThisProgram = false;
    return nullptr;
}

std::vector<std::string> Win32Shell::commandLineArguments() {
    std::vector<std::string> out;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv) return out;
    for (int i = 1; i < count; ++i) out.push_back(narrowZ(argv[i]));
    ::LocalFree(argv);
    return out;
}

platform::Status Win32Shell::attachParentConsole() {
    if (consoleOut_) return {};
    // An output handed down (redirected to a file or a pipe, as PsExec and
    // the task runners do) is used as it is.
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN) {
        DWORD mode = 0;
        consoleOut_ = out;
        consoleIsScreen_ = ::GetConsoleMode(out, &mode) != FALSE;
        return {};
    }
    // A windows program gets no console of its own; it joins the one of
    // the program that started it, when there is one (access denied: it
    // has joined one already).
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) {
        platform::Status refused = lastError();
        if (refused.code() != ERROR_ACCESS_DENIED) return refused;
    }
    out = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return lastError();
    consoleOut_ = out;
    consoleIsScreen_ = true;
    ownsConsoleOut_ = true;
    return {};
}

platform::Status Win32Shell::writeConsole(const std::string& line) {
    if (!consoleOut_) return failure(ERROR_INVALID_HANDLE);
    HANDLE out = static_cast<HANDLE>(consoleOut_);
    if (consoleIsScreen_) {
        // The screen takes the characters themselves, whatever its code page.
        const std::wstring text = widen(line) + L"\r\n";
        DWORD written = 0;
        if (!::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return lastError();
        return {};
    }
    // A file or pipe gets the ANSI code page, as the saved logs.
    const std::wstring wide = widen(line);
    std::string bytes;
    if (!wide.empty()) {
        const DWORD flags = ::GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
        const int n = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                            nullptr, nullptr);
        if (n > 0) {
            bytes.resize(static_cast<size_t>(n));
            ::WideCharToMultiByte(CP_ACP, flags, wide.data(), static_cast<int>(wide.size()), bytes.data(), n, nullptr,
                                  nullptr);
        }
    }
    bytes += "\r\n";
    DWORD written = 0;
    if (!::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return lastError();
    return written == bytes.size() ? platform::Status() : failure(ERROR_WRITE_FAULT);
}

}  // namespace vx::win32
