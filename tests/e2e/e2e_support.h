// Helpers shared by the end-to-end drivers: checks that print one line each,
// waiting with a time limit, and reading the text of another process's windows.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vx::e2e {

using namespace std::chrono_literals;

// Checks that failed so far; the driver's exit code.
inline int failures = 0;

inline std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Shows control characters, so that a "\r\n" in a caption can be seen.
inline std::string printable(const std::wstring& w) {
    std::string out;
    for (char c : narrow(w)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

inline void check(bool ok, const std::string& what, const std::string& detail = {}) {
    std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", what.c_str(), detail.empty() ? "" : " -- ", detail.c_str());
    std::fflush(stdout);
    if (!ok) ++failures;
}

inline void checkText(const std::wstring& actual, const std::wstring& expected, const std::string& what) {
    check(actual == expected, what,
          actual == expected ? "" : "got \"" + printable(actual) + "\", expected \"" + printable(expected) + "\"");
}

inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The text of a window of another process (GetWindowText does not read a
// control's text across processes; WM_GETTEXT does).
inline std::wstring textOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                          &copied);
    text.resize(copied);
    return text;
}

inline std::vector<std::wstring> linesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (true) {
        size_t end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) break;
        start = end + 2;
    }
    return lines;
}

inline std::wstring className(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

inline BOOL CALLBACK collectWindow(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

// The top-level windows of a process.
inline std::vector<HWND> windowsOfProcess(DWORD pid) {
    std::vector<HWND> all, own;
    ::EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND hwnd : all) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid) own.push_back(hwnd);
    }
    return own;
}

// The (visible) top-level windows of a process with that class (and title).
inline std::vector<HWND> topWindows(DWORD pid, const wchar_t* cls, const wchar_t* title = nullptr,
                                    bool visibleOnly = true) {
    std::vector<HWND> found;
    for (HWND hwnd : windowsOfProcess(pid)) {
        if (className(hwnd) != cls) continue;
        if (visibleOnly && !::IsWindowVisible(hwnd)) continue;
        if (title) {
            wchar_t text[256] = {};
            ::GetWindowTextW(hwnd, text, 256);
            if (std::wstring(text) != title) continue;
        }
        found.push_back(hwnd);
    }
    return found;
}

inline bool fileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder that holds the driver itself.
inline std::wstring ownFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// Starts a program without waiting for it; its process handle, or null.
inline HANDLE start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder) {
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Asks the test script for a screenshot of the window's rectangle (a file
// "shot-request" in `folder`) and waits until it is taken ("shot-done").
inline void screenshot(const std::wstring& folder, HWND hwnd, const char* name) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    const std::wstring request = folder + L"\\shot-request";
    const std::wstring done = folder + L"\\shot-done";
    ::DeleteFileW(done.c_str());
    if (FILE* f = _wfopen((request + L".tmp").c_str(), L"wb")) {
        std::fprintf(f, "%s %ld %ld %ld %ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
        std::fclose(f);
        ::MoveFileExW((request + L".tmp").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    if (!waitFor([&] { return fileExists(done); }, 20s)) std::printf("note: no screenshot %s (nobody took it)\n", name);
    ::DeleteFileW(request.c_str());
    ::DeleteFileW(done.c_str());
}

}  // namespace vx::e2e
