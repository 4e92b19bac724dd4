// The contract suite's world on the real system (run under Wine): the Win32
// platform, a scratch folder under the temporary folder, and stand-in worm
// processes started from copies of standin.exe.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "contract_fixture.h"
#include "platform/win32/win32_platform.h"

namespace vx::contract {
namespace {

std::wstring widen(const std::string& s) {
    if (s.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::string narrow(const std::wstring& s) {
    if (s.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The tests' own paths are absolute and clean; the prefix lets them be long
// and end in dots or blanks.
std::wstring longPath(const std::string& path) { return L"\\\\?\\" + widen(path); }

std::string lastError(const char* what) {
    DWORD code = ::GetLastError();
    return std::string(what) + " failed with error " + std::to_string(code);
}

bool listsProcess(DWORD pid) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    bool found = false;
    for (BOOL ok = ::Process32FirstW(snap, &pe); ok && !found; ok = ::Process32NextW(snap, &pe))
        found = pe.th32ProcessID == pid;
    ::CloseHandle(snap);
    return found;
}

// Deletes a folder and everything in it, without following links: a
// reparse point is removed as an entry, never entered.
void deleteTree(const std::wstring& root) {
    std::vector<std::wstring> stack{root}, folders;
    while (!stack.empty()) {
        std::wstring folder = stack.back();
        stack.pop_back();
        folders.push_back(folder);
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) continue;
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            bool dir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            bool link = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (dir && !link)
                stack.push_back(path);
            else if (dir)
                ::RemoveDirectoryW(path.c_str());
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) ::RemoveDirectoryW(it->c_str());
}

// The mount-point form of a reparse buffer (the one a junction carries).
struct MountPointReparseBuffer {
    DWORD ReparseTag;
    WORD ReparseDataLength;
    WORD Reserved;
    WORD SubstituteNameOffset;
    WORD SubstituteNameLength;
    WORD PrintNameOffset;
    WORD PrintNameLength;
    WCHAR PathBuffer[1];
};

bool runsUnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

class Win32World final : public ContractWorld {
public:
    Win32World() {
        static int counter = 0;
        wchar_t temp[MAX_PATH + 1];
        DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        if (n == 0 || n > MAX_PATH) {
            ADD_FAILURE() << lastError("GetTempPathW");
            return;
        }
        base_ = narrow(temp) + "vxcontract-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++counter) + "\\";
        deleteTree(longPath(base_.substr(0, base_.size() - 1)));  // left over from an aborted run
        if (!::CreateDirectoryW(longPath(base_).c_str(), nullptr) ||
            !::CreateDirectoryW(longPath(base_ + "work\\").c_str(), nullptr)) {
            ADD_FAILURE() << lastError("CreateDirectoryW") << " for " << base_;
            base_.clear();
        }
    }

    ~Win32World() override {
        // Only stand-ins a test left running: a process of that identifier
        // whose image is still one of ours.
        for (DWORD pid : processes_) {
            HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
            if (!p) continue;
            wchar_t image[MAX_PATH + 1];
            DWORD size = MAX_PATH + 1;
            if (::QueryFullProcessImageNameW(p, 0, image, &size) &&
                narrow(std::wstring(image, size)).rfind(base_ + "bin\\", 0) == 0) {
                ::TerminateProcess(p, 0);
                ::WaitForSingleObject(p, 5000);
            }
            ::CloseHandle(p);
        }
        if (!base_.empty()) deleteTree(longPath(base_.substr(0, base_.size() - 1)));
    }

    platform::Platform platform() override { return system_.platform(); }

    std::string scratchRoot() override { return base_.empty() ? std::string() : base_ + "work\\"; }

    bool writeBytes(const std::string& path, const std::string& bytes) override {
        HANDLE h = ::CreateFileW(longPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        bool ok = bytes.empty() ||
                  (::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                   written == bytes.size());
        return ::CloseHandle(h) && ok;
    }

    std::optional<std::string> readBytes(const std::string& path) override {
        HANDLE h = ::CreateFileW(longPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return std::nullopt;
        std::string out;
        char buffer[65536];
        DWORD got = 0;
        bool ok = true;
        while ((ok = ::ReadFile(h, buffer, sizeof buffer, &got, nullptr)) && got > 0) out.append(buffer, got);
        ::CloseHandle(h);
        if (!ok) return std::nullopt;
        return out;
    }

    uint32_t startStandIn(const std::string& exeName) override {
        wchar_t self[MAX_PATH + 1];
        DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH) {
            ADD_FAILURE() << lastError("GetModuleFileNameW");
            return 0;
        }
        std::wstring standin(self, n);
        standin = standin.substr(0, standin.find_last_of(L'\\') + 1) + L"standin.exe";

        // One copy per name; two processes of one name run the same file, as
        // two copies of a worm would.
        std::string binFolder = base_ + "bin\\";
        ::CreateDirectoryW(longPath(binFolder).c_str(), nullptr);
        std::wstring exe = widen(binFolder + exeName);
        if (::GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES &&
            !::CopyFileW(standin.c_str(), exe.c_str(), TRUE)) {
            ADD_FAILURE() << lastError("CopyFileW") << ": standin.exe must sit next to the test program ("
                          << narrow(standin) << ")";
            return 0;
        }

        // The stand-in ends by itself should a test leave it running.
        std::wstring commandLine = L"\"" + exe + L"\" --exit-after=300";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                              &pi)) {
            ADD_FAILURE() << lastError("CreateProcessW") << " for " << narrow(exe);
            return 0;
        }
        // No handle is kept: it would keep the process object, and with it
        // the identifier, alive after the tests terminate the process.
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        processes_.push_back(pi.dwProcessId);

        for (int i = 0; i < 200; ++i) {
            if (listsProcess(pi.dwProcessId)) return pi.dwProcessId;
            ::Sleep(25);
        }
        ADD_FAILURE() << "the process started from " << narrow(exe) << " never showed in the snapshot";
        return 0;
    }

    bool denyLocalMachineFullAccess() override { return false; }
    bool runsStartedCommands() override { return true; }

    // A folder carrying a mount-point reparse point, as "mklink /J" makes it.
    bool makeJunction(const std::string& path, const std::string& target) override {
        std::wstring link = longPath(path);
        std::wstring substitute = L"\\??\\" + widen(target), print = widen(target);
        const size_t names = (substitute.size() + 1 + print.size() + 1) * sizeof(WCHAR);
        std::vector<BYTE> buffer(offsetof(MountPointReparseBuffer, PathBuffer) + names);
        auto* b = reinterpret_cast<MountPointReparseBuffer*>(buffer.data());
        b->ReparseTag = IO_REPARSE_TAG_MOUNT_POINT;
        b->ReparseDataLength =
            static_cast<WORD>(buffer.size() - offsetof(MountPointReparseBuffer, SubstituteNameOffset));
        b->SubstituteNameOffset = 0;
        b->SubstituteNameLength = static_cast<WORD>(substitute.size() * sizeof(WCHAR));
        b->PrintNameOffset = static_cast<WORD>((substitute.size() + 1) * sizeof(WCHAR));
        b->PrintNameLength = static_cast<WORD>(print.size() * sizeof(WCHAR));
        std::copy(substitute.begin(), substitute.end(), b->PathBuffer);
        std::copy(print.begin(), print.end(), b->PathBuffer + substitute.size() + 1);

        if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
        HANDLE h = ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        DWORD returned = 0;
        bool ok = h != INVALID_HANDLE_VALUE &&
                  ::DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    nullptr, 0, &returned, nullptr);
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
        if (!ok) ::RemoveDirectoryW(link.c_str());
        return ok;
    }

    bool runAsAdministrator() override { return system_.shell().hasAdministratorRights(); }

    bool keepsAccessLists() override { return !runsUnderWine(); }

    std::optional<std::string> securityText(const std::string& path) override {
        HANDLE h = ::CreateFileW(longPath(path).c_str(), READ_CONTROL,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) return std::nullopt;
        PSECURITY_DESCRIPTOR sd = nullptr;
        const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        DWORD r = ::GetSecurityInfo(h, SE_FILE_OBJECT, what, nullptr, nullptr, nullptr, nullptr, &sd);
        ::CloseHandle(h);
        if (r != ERROR_SUCCESS) return std::nullopt;
        LPWSTR text = nullptr;
        std::optional<std::string> out;
        if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, what, &text, nullptr))
            out = narrow(text);
        ::LocalFree(text);
        ::LocalFree(sd);
        return out;
    }

private:
    win32::Win32Platform system_;
    std::string base_;  // "...\Temp\vxcontract-<pid>-<n>\", empty when it could not be made
    std::vector<DWORD> processes_;  // stand-ins started, by identifier
};

}  // namespace

std::unique_ptr<ContractWorld> makeWorld() { return std::make_unique<Win32World>(); }

}  // namespace vx::contract
