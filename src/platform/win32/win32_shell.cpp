// Shell folders, Explorer and default actions, restart, and facts about the
// running system and program.
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"  // <windows.h> first

#include <shellapi.h>
#include <shlobj.h>

namespace vx::win32 {

std::string Win32Shell::specialFolder(int csidl) {
    wchar_t buf[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return {};
    buf[MAX_PATH] = L'\0';
    return narrowZ(buf);
}

// The shell takes paths as the user writes them, never in the prefixed form.
// What it starts works in the system folder, never in the program's own
// (which may be the pen drive being disinfected).
void Win32Shell::explore(const std::string& folder) {
    const std::wstring workingFolder = systemDirectory();
    ::ShellExecuteW(static_cast<HWND>(owner_), L"explore", widen(folder).c_str(), nullptr,
                    workingFolder.empty() ? nullptr : workingFolder.c_str(), SW_SHOWNORMAL);
}

void Win32Shell::openDefault(const std::string& target) {
    const std::wstring workingFolder = systemDirectory();
    ::ShellExecuteW(static_cast<HWND>(owner_), nullptr, widen(target).c_str(), nullptr,
                    workingFolder.empty() ? nullptr : workingFolder.c_str(), SW_SHOWNORMAL);
}

void Win32Shell::restartWindows(unsigned flags) {
    // The privilege is asked for on a best-effort basis: ExitWindowsEx itself
    // reports nothing the program acts upon.
    KernelHandle token;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out())) {
        TOKEN_PRIVILEGES tp{};
        if (::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid)) {
            tp.PrivilegeCount = 1;
            tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            ::AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr);
        }
        token.reset();
    }
    ::ExitWindowsEx(flags, 0);
}

platform::Wow64 Win32Shell::isWow64Process() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = systemFunction<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
    if (!isWow64) return platform::Wow64::Unavailable;
    BOOL result = FALSE;
    if (!isWow64(::GetCurrentProcess(), &result)) return platform::Wow64::QueryFailed;
    return result ? platform::Wow64::Yes : platform::Wow64::No;
}

bool Win32Shell::is64BitProcess() { return sizeof(void*) == 8; }

platform::WindowsVersion Win32Shell::windowsVersion() {
    // GetVersionEx answers with the version named in the program's manifest
    // at most; RtlGetVersion tells the truth.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    platform::WindowsVersion v;
    if (auto rtlGetVersion = systemFunction<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion")) {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof(info);
        if (rtlGetVersion(&info) == 0) {
            v.major = info.dwMajorVersion;
            v.minor = info.dwMinorVersion;
            v.build = info.dwBuildNumber;
        }
    }
    return v;
}

// An enabled Administrators membership: CheckTokenMembership counts only
// enabled groups, so the filtered token of an administrator that UAC has not
// elevated (where the group is deny-only) does not count. From Vista on the
// token must also say it is elevated.
bool Win32Shell::hasAdministratorRights() {
    if (windowsVersion().major >= 6) {
        KernelHandle token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.out())) return false;
        TOKEN_ELEVATION elevation{};
        DWORD length = 0;
        if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &length) ||
            !elevation.TokenIsElevated)
            return false;
    }
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) return false;
    BOOL member = FALSE;
    return ::CheckTokenMembership(nullptr, sid, &member) && member;
}

bool Win32Shell::separatesAccounts() { return !runsUnderWine(); }

std::string Win32Shell::programPath() {
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return narrow(buf.data(), n);
        if (buf.size() >= 65536) return {};
        buf.resize(buf.size() * 2);  // the path was cut to the buffer
    }
}

}  // namespace vx::win32
