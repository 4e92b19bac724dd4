// Processes: Tool Help snapshot, executable paths, termination, the
// critical-process test and starting a command line.
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"  // <windows.h> first

#include <tlhelp32.h>

#include "platform/win32/win32_status.h"

namespace vx::win32 {

using platform::Status;

namespace {

// Windows 7 and later keep the module-path function in kernel32; older
// systems have it only in psapi.dll, which is then loaded from the system
// folder by full path.
using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);

GetModuleFileNameExFn moduleFileNameFunction() {
    if (auto fn = systemFunction<GetModuleFileNameExFn>(L"kernel32.dll", "K32GetModuleFileNameExW")) return fn;
    static HMODULE psapi = ::LoadLibraryW(systemDirectoryFile(L"psapi.dll").c_str());
    if (!psapi) return nullptr;
    FARPROC p = ::GetProcAddress(psapi, "GetModuleFileNameExW");
    return p ? reinterpret_cast<GetModuleFileNameExFn>(reinterpret_cast<void (*)()>(p)) : nullptr;
}

// Limited query access is enough on Vista and later and is granted for more
// processes; XP knows only the full query right.
KernelHandle openForQuery(uint32_t pid) {
    KernelHandle h(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!h) h.reset(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    return h;
}

// True for a process object whose process has ended (it outlives the process
// while handles to it are open).
bool hasEnded(HANDLE process) {
    DWORD code = 0;
    return ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
}

// The first word of a command line, without its quotes.
std::wstring programWord(const std::wstring& commandLine) {
    size_t i = 0;
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    if (i < commandLine.size() && commandLine[i] == L'"') {
        size_t end = commandLine.find(L'"', i + 1);
        return commandLine.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
    }
    size_t end = commandLine.find_first_of(L" \t", i);
    return commandLine.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i);
}

// A bare program name ("schtasks") is taken from the system folder when it
// is there. Left to the default search, the system would look first in the
// program's own folder and the current folder, which may be an infected pen
// drive carrying a planted copy.
std::wstring systemProgramFor(const std::wstring& commandLine) {
    std::wstring word = programWord(commandLine);
    if (word.empty() || word.find_first_of(L"\\/:") != std::wstring::npos) return {};
    if (word.find(L'.') == std::wstring::npos) word += L".exe";
    std::wstring candidate = systemDirectoryFile(word.c_str());
    if (candidate.empty()) return {};
    DWORD a = ::GetFileAttributesW(candidate.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return candidate;
}

}  // namespace

std::vector<platform::ProcessEntry> Win32Processes::snapshot() {
    std::vector<platform::ProcessEntry> out;
    FileHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return out;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Process32FirstW(snap.get(), &entry); ok; ok = ::Process32NextW(snap.get(), &entry)) {
        out.push_back({static_cast<uint32_t>(entry.th32ProcessID), narrowZ(entry.szExeFile)});
        entry.dwSize = sizeof(entry);
    }
    return out;
}

std::string Win32Processes::imagePath(uint32_t pid) {
    using QueryFullNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    if (auto query = systemFunction<QueryFullNameFn>(L"kernel32.dll", "QueryFullProcessImageNameW")) {
        if (KernelHandle h = openForQuery(pid)) {
            if (hasEnded(h.get())) return {};
            std::vector<wchar_t> buf(MAX_PATH + 1);
            for (;;) {
                DWORD size = static_cast<DWORD>(buf.size());
                if (query(h.get(), 0, buf.data(), &size)) return narrow(buf.data(), size);
                if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buf.size() >= 32768) break;
                buf.resize(buf.size() * 4);
            }
        }
    }
    // Older systems, or a process the limited query could not describe.
    auto moduleFileName = moduleFileNameFunction();
    if (!moduleFileName) return {};
    KernelHandle h(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!h || hasEnded(h.get())) return {};
    std::vector<wchar_t> buf(MAX_PATH + 1);
    for (;;) {
        DWORD n = moduleFileName(h.get(), nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size() - 1 || buf.size() >= 32768) return narrow(buf.data(), n);
        buf.resize(buf.size() * 4);  // the name filled the buffer: it may be cut
    }
}

Status Win32Processes::terminate(uint32_t pid, uint32_t exitCode) {
    // OpenProcess answers an invalid parameter for an id no process holds.
    const Status gone = failure(platform::Fault::Missing, ERROR_INVALID_PARAMETER);
    // A process that has ended can still be opened while someone holds a
    // handle to it; ending it "again" must not read as a termination.
    KernelHandle h(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (h) {
        if (::WaitForSingleObject(h.get(), 0) == WAIT_OBJECT_0) return gone;
    } else {
        h.reset(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        if (!h) {
            Status refused = lastError();
            return refused.code() == ERROR_INVALID_PARAMETER ? gone : refused;
        }
    }
    return ::TerminateProcess(h.get(), exitCode) ? Status() : lastError();
}

bool Win32Processes::isCritical(uint32_t pid) {
    // Windows 8.1 and later only; looked up so that the program still loads
    // on older systems, where the answer is "cannot tell".
    using IsProcessCriticalFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isProcessCritical = systemFunction<IsProcessCriticalFn>(L"kernel32.dll", "IsProcessCritical");
    if (!isProcessCritical) return false;
    KernelHandle h = openForQuery(pid);
    if (!h) return false;
    BOOL critical = FALSE;
    return isProcessCritical(h.get(), &critical) && critical;
}

uint32_t Win32Processes::currentProcessId() { return ::GetCurrentProcessId(); }

Status Win32Processes::startCommand(const std::string& commandLine) {
    std::wstring line = widen(commandLine);
    if (line.empty()) return failure(ERROR_INVALID_PARAMETER);
    std::wstring program = systemProgramFor(line);
    std::vector<wchar_t> mutableLine(line.begin(), line.end());  // CreateProcessW may write to it
    mutableLine.push_back(L'\0');

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    const std::wstring workingFolder = systemDirectory();
    if (!::CreateProcessW(program.empty() ? nullptr : program.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &si, &pi))
        return lastError();
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return {};
}

}  // namespace vx::win32
