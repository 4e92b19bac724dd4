// Helpers shared by the end-to-end drivers: checks that print one line each,
// waiting with a time limit, reading the text of another process's windows,
// starting and closing Varrex.exe, and answering its message boxes.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/win32/view_ids.h"

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

inline double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Prints the driver's summary line and gives its exit code: 0 only when every
// check passed.
inline int finish(const char* what, std::chrono::steady_clock::time_point started) {
    std::printf("%s: %d check(s) failed, %.1f s\n", what, failures, secondsSince(started));
    return failures == 0 ? 0 : 1;
}

// --- processes ----------------------------------------------------------------------

inline std::wstring lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// The IDs of the running processes with the image name `exe`.
inline std::vector<DWORD> processesNamed(const std::wstring& exe) {
    std::vector<DWORD> ids;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = ::Process32FirstW(snap, &e); more; more = ::Process32NextW(snap, &e))
        if (lower(e.szExeFile) == lower(exe)) ids.push_back(e.th32ProcessID);
    ::CloseHandle(snap);
    return ids;
}

inline int running(const std::wstring& exe) { return static_cast<int>(processesNamed(exe).size()); }

inline bool ended(HANDLE process, DWORD ms) {
    return process && ::WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
}

// --- the program's main window ----------------------------------------------------------

// The program's top-level windows, as class "title" pairs, for a report.
inline std::string describeWindows(DWORD pid) {
    std::string out;
    for (HWND hwnd : windowsOfProcess(pid))
        out += printable(className(hwnd)) + (::IsWindowVisible(hwnd) ? "" : "(hidden)") + " \"" +
               printable(textOf(hwnd)) + "\" ";
    return out.empty() ? "no window" : out;
}

// A control of the main window, at any depth, by its model name.
inline HWND control(HWND main, std::string_view name) {
    std::vector<HWND> children;
    ::EnumChildWindows(main, collectWindow, reinterpret_cast<LPARAM>(&children));
    const int id = view::controlId(name);
    for (HWND child : children)
        if (::GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

inline bool isChecked(HWND button) { return ::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Chooses a tab as a click on it would.
inline void selectTab(HWND tabs, int page) { ::SendMessageW(tabs, TCM_SETCURFOCUS, static_cast<WPARAM>(page), 0); }

// Waits until the program has finished what it was doing: its handler has
// returned (the main window no longer carries the running property and
// answers a message sent to it) or it waits in a modal box of its own.
inline bool settled(HWND main, std::chrono::milliseconds limit = 60s) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(main, &pid);
    const auto start = std::chrono::steady_clock::now();
    const bool idle = waitFor(
        [&] { return !::GetPropW(main, view::kRunningProperty) || !topWindows(pid, L"#32770").empty(); }, limit);
    const auto left = limit - std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    DWORD_PTR ignored = 0;
    return idle && ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL,
                                         static_cast<UINT>(std::max<long long>(left.count(), 1000)), &ignored) != 0;
}

// The lines of a list box of another process, in its order.
inline std::vector<std::wstring> listLines(HWND list) {
    std::vector<std::wstring> lines;
    const LRESULT n = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        std::wstring text(static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        const LRESULT got = ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
        lines.push_back(text);
    }
    return lines;
}

// Ends every process of that file name; how many were ended.
inline int killAll(const std::wstring& exe) {
    int n = 0;
    for (DWORD id : processesNamed(exe))
        if (HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            if (::TerminateProcess(p, 0)) ++n;
            ::WaitForSingleObject(p, 5000);
            ::CloseHandle(p);
        }
    return n;
}

// Varrex.exe as the driver started it.
struct Program {
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND main = nullptr;  // null when the main window never showed
};

// Starts Varrex.exe (or the copy of it named `file`) from `folder` and waits
// until its main window shows (a minute at most) and the program reads input.
// When the window does not show, the checks say what the program showed
// instead, the program is ended and `main` is null.
inline Program startVarrex(const std::wstring& folder, const std::wstring& file = L"Varrex.exe") {
    // Wine starts its desktop (explorer.exe) for the first window and waits
    // ten seconds for it; on a busy machine the program's window could come
    // too early and the program end. The desktop is asked for first, and the
    // program starts once it reads input.
    ::GetDesktopWindow();
    bool desktop = waitFor([] { return running(L"explorer.exe") > 0; }, 60s);
    for (DWORD id : processesNamed(L"explorer.exe"))
        if (HANDLE d = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id)) {
            desktop = desktop && ::WaitForInputIdle(d, 60000) == 0;
            ::CloseHandle(d);
        }
    check(desktop, "the desktop runs");
    Program p;
    p.process = start(folder + L"\\" + file, L"", folder);
    check(p.process != nullptr, "Varrex.exe starts");
    if (!p.process) return p;
    p.pid = ::GetProcessId(p.process);
    waitFor(
        [&] {
            auto found = topWindows(p.pid, view::kMainWindowClass);
            p.main = found.empty() ? nullptr : found.front();
            return p.main != nullptr;
        },
        60s);
    check(p.main != nullptr, "the main window shows", p.main ? "" : "the program shows: " + describeWindows(p.pid));
    if (!p.main) {
        DWORD code = 0;
        if (::GetExitCodeProcess(p.process, &code) && code != STILL_ACTIVE)
            std::printf("Varrex.exe ended with exit code 0x%lx\n", code);
        ::TerminateProcess(p.process, 1);
        return p;
    }
    ::WaitForInputIdle(p.process, 30000);
    return p;
}

// Closes the main window as the user would; the program must end within 20
// seconds, or it is ended. The process handle stays open for its exit code.
inline bool closeVarrex(const Program& p) {
    ::PostMessageW(p.main, WM_CLOSE, 0, 0);
    const bool closed = ended(p.process, 20000);
    check(closed, "closing the window ends the program");
    if (!closed) ::TerminateProcess(p.process, 1);
    return closed;
}

// --- message boxes ------------------------------------------------------------------

// The message text of a message box: the text of its static controls (the
// icon is a static without text).
inline std::wstring boxText(HWND box) {
    std::wstring all;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (className(child) == L"Static") all += textOf(child);
    return all;
}

// The first visible message box of the process (with that caption); null
// when none shows within `limit`.
inline HWND waitForTopBox(DWORD pid, std::chrono::milliseconds limit, const wchar_t* caption = nullptr) {
    HWND box = nullptr;
    waitFor(
        [&] {
            auto boxes = topWindows(pid, L"#32770", caption);
            box = boxes.empty() ? nullptr : boxes.front();
            return box != nullptr;
        },
        limit);
    return box;
}

struct Box {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    std::wstring caption, text;
    std::wstring lastLogLine;  // the log's last line while the box was up
};

// What a message box shows, and what the log showed last behind it.
inline Box readBox(HWND hwnd, HWND main) {
    Box box;
    box.hwnd = hwnd;
    if (!hwnd) return box;
    box.owner = ::GetWindow(hwnd, GW_OWNER);
    box.caption = textOf(hwnd);
    box.text = boxText(hwnd);
    const std::vector<std::wstring> log = linesOf(textOf(control(main, "Memo1")));
    box.lastLogLine = log.empty() ? L"" : log.back();
    return box;
}

inline Box waitForBox(DWORD pid, HWND main, std::chrono::milliseconds limit) {
    return readBox(waitForTopBox(pid, limit), main);
}

// Closes a box with the given button and waits until it is gone. A question
// is only ever answered No here: a Yes to the program's restart question
// would restart the machine the tests run on.
inline bool closeBox(HWND box, int button = IDOK) {
    if (button == IDYES) button = IDNO;
    ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    return waitFor([&] { return !::IsWindow(box); }, 10s);
}

// After its last box a handler returns without showing anything more; any
// further box is reported and answered No.
inline void checkRunEnds(DWORD pid, HWND main, const std::string& what, std::chrono::milliseconds limit = 60s) {
    const bool answered = settled(main, limit);
    const auto boxes = topWindows(pid, L"#32770");
    std::string detail;
    for (HWND box : boxes) {
        detail += printable(L"\"" + textOf(box) + L"\": \"" + boxText(box) + L"\" ");
        closeBox(box, IDNO);
    }
    check(answered && boxes.empty(), what + " ends without a further box", detail);
}

// --- the activity log ---------------------------------------------------------------

inline std::vector<std::wstring> logOf(HWND main) { return linesOf(textOf(control(main, "Memo1"))); }

inline int count(const std::vector<std::wstring>& lines, const std::wstring& line) {
    int n = 0;
    for (const auto& l : lines) n += l == line;
    return n;
}

inline bool contains(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return count(lines, line) > 0;
}

// Each expected line is in the log, after the one before it.
inline void checkLinesInOrder(const std::vector<std::wstring>& log, const std::vector<std::wstring>& expected,
                              const char* what) {
    size_t at = 0;
    for (const std::wstring& line : expected) {
        size_t found = at;
        while (found < log.size() && log[found] != line) ++found;
        if (found < log.size()) {
            check(true, std::string(what) + ": " + printable(line));
            at = found + 1;
        } else {
            check(false, std::string(what) + ": " + printable(line),
                  contains(log, line) ? "present, but out of order" : "missing");
        }
    }
}

inline void printLog(const std::vector<std::wstring>& log, const char* what) {
    std::printf("--- %s (%zu lines)\n", what, log.size());
    for (const auto& line : log) std::printf("    %s\n", printable(line).c_str());
}

}  // namespace vx::e2e
