// The log view under Wine: LogMemo keeps the view equal to the activity log
// through appends, clears and long runs at a constant cost per push; the
// pump answers sent messages during a handler and leaves posted ones queued;
// and the view's caption text turns the model's line breaks into ones the
// controls draw.
#include "log_memo.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_heartbeat.h"
#include "pump.h"
#include "scan/activity_log.h"
#include "text.h"

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok) ++failures;
}

std::wstring textOf(HWND edit) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

// What the control must hold for the log: its lines joined by CR LF.
std::wstring expected(const vx::scan::ActivityLog& log) {
    std::wstring text;
    for (size_t i = 0; i < log.size(); ++i) {
        if (i > 0) text += L"\r\n";
        text += vx::view::widen(log.lines()[i]);
    }
    return text;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int main() {
    using vx::view::LogMemo;

    // --- caption text ----------------------------------------------------------
    check(
        vx::view::controlText(" Verificar &Computador\r Unidade: C:\\") == L" Verificar &Computador\r\n Unidade: C:\\",
        "a lone carriage return becomes CR LF");
    check(vx::view::controlText("a\r\nb") == L"a\r\nb" && vx::view::controlText("a\r") == L"a\r\n" &&
              vx::view::controlText("a\r\rb") == L"a\r\n\r\nb",
          "CR LF stays, a final CR and two CRs in a row each get their LF");
    check(vx::view::controlText("Português") == L"Portugu\u00EAs", "UTF-8 reaches the control as UTF-16");

    // --- the log view --------------------------------------------------------------
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VarrexLogMemoTest";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"log", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 400,
                                    nullptr, nullptr, wc.hInstance, nullptr);
    HFONT font = vx::view::createLogMemoFont(96);
    vx::scan::ActivityLog log;
    LogMemo memo(log, [] { return true; });
    HWND view = memo.create(window, 1, RECT{0, 0, 560, 360}, font);
    check(view != nullptr && (::GetWindowLongW(view, GWL_STYLE) & WS_VSCROLL) &&
              reinterpret_cast<HFONT>(::SendMessageW(view, WM_GETFONT, 0, 0)) == font,
          "the log view is created with its scroll bar and font");

    log.append(">>> Dicas:");
    log.append("");
    log.append("- Clique no botão \"Instruções\" para saber mais.");
    memo.flush();
    check(textOf(view) == expected(log), "the first push shows the whole log, read back as text");

    log.append("linha 4");
    log.append("linha 5");
    memo.flush();
    check(textOf(view) == expected(log) && memo.updates() == 2, "new lines are taken in one update");
    memo.flush();
    check(memo.updates() == 2, "nothing new, no update");

    log.clear();
    memo.flush();
    check(textOf(view).empty(), "a cleared log empties the view");
    log.append("");
    log.append("after an empty first line");
    memo.flush();
    check(textOf(view) == L"\r\nafter an empty first line", "an empty first line keeps its place");

    // Cleared and written again between two pushes: same size as before, but
    // other lines; the view must start over.
    log.clear();
    log.append("x");
    log.append("y");
    memo.flush();
    check(textOf(view) == L"x\r\ny", "a clear between pushes replaces the text");

    // A long run: each push costs the same however long the log is, and the
    // newest lines stay in sight.
    log.clear();
    for (int i = 0; i < 200000; ++i) {
        std::string line = "[VX] - E:\\pasta\\arquivo ";
        line += std::to_string(i);
        line += ".txt";
        log.append(std::move(line));
        if (i % 1000 == 999) {
            memo.flush();
            ::UpdateWindow(view);
        }
    }
    const DWORD pushStart = ::GetTickCount();
    log.append("one more");
    memo.flush();
    ::UpdateWindow(view);
    const DWORD pushCost = ::GetTickCount() - pushStart;
    std::printf("     one push and paint at 200,001 lines: %lu ms\n", static_cast<unsigned long>(pushCost));
    {
        const DWORD t0 = ::GetTickCount();
        for (int i = 0; i < 50; ++i) {
            ::InvalidateRect(view, nullptr, FALSE);
            ::UpdateWindow(view);
        }
        std::printf("     50 paints: %lu ms\n", static_cast<unsigned long>(::GetTickCount() - t0));
    }
    check(pushCost < 100, "a push into a 200,000-line log and its paint take less than 100 ms");
    check(textOf(view) == expected(log), "a long run ends with the view equal to the log");
    check(::SendMessageW(view, EM_GETLINECOUNT, 0, 0) == static_cast<LRESULT>(log.size()), "every line is counted");
    auto scroll = [&] {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        ::GetScrollInfo(view, SB_VERT, &si);
        return si;
    };
    SCROLLINFO si = scroll();
    check(si.nMax == static_cast<int>(log.size()) - 1 && si.nPos == si.nMax - static_cast<int>(si.nPage) + 1,
          "the scroll bar counts the lines and stands at the end");

    // Scrolled back by the user, the view stays where it is while lines come.
    ::SendMessageW(view, WM_VSCROLL, SB_TOP, 0);
    log.append("while reading the top");
    memo.flush();
    check(scroll().nPos == 0, "a user who scrolled back is not pulled to the end");
    ::SendMessageW(view, WM_KEYDOWN, VK_END, 0);
    si = scroll();
    check(si.nPos == si.nMax - static_cast<int>(si.nPage) + 1, "End goes back to the newest lines");

    // Lines chosen and copied: Ctrl+A and Ctrl+C put the whole log on the
    // clipboard as text.
    log.clear();
    log.append("primeira");
    log.append("segunda linha, com acentuação");
    memo.flush();
    ::SetFocus(view);
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SendMessageW(view, WM_KEYDOWN, 'A', 0);
    ::SendMessageW(view, WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    std::wstring copied;
    if (::OpenClipboard(window)) {
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
                copied = p;
                ::GlobalUnlock(data);
            }
        }
        ::CloseClipboard();
    }
    check(copied == expected(log), "Ctrl+A, Ctrl+C copies every line");

    // --- the pump and the heartbeat -------------------------------------------------
    // A handler that runs long: another thread's sent message is answered at
    // the heartbeat, a posted message waits for the message loop.
    int beats = 0;
    vx::win32::setHeartbeat([&] {
        ++beats;
        vx::view::answerPending();
    });
    for (int i = 0; i < 10000; ++i) vx::win32::heartbeat();
    check(beats == 0, "no beat before the interval has passed");
    ::PostMessageW(window, WM_APP + 1, 0, 0);
    // Another thread asks the window whether it is alive, as the system does.
    std::atomic<bool> answered{false};
    std::thread prober([&] {
        DWORD_PTR result = 0;
        answered = ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
    });
    const DWORD busyStart = ::GetTickCount();
    while (::GetTickCount() - busyStart < 1500) vx::win32::heartbeat();  // busy, beating as it goes
    const bool answeredInTime = answered;
    prober.join();
    check(answeredInTime, "a message sent by another thread is answered while the handler still runs");
    check(beats >= 10 && beats <= 40, "the heartbeat beats every 50 ms or so");
    MSG waiting;
    check(::PeekMessageW(&waiting, window, WM_APP + 1, WM_APP + 1, PM_REMOVE) != 0,
          "a posted message is left in the queue for after the handler");
    vx::win32::setHeartbeat(nullptr);

    ::DestroyWindow(window);
    ::DeleteObject(font);
    std::printf("view log: %d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}
