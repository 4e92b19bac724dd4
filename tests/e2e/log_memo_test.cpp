// The log control under Wine: LogMemo keeps a real EDIT control equal to the
// activity log through appends, clears and the paced pushes of a long run,
// and the view's caption text turns the model's line breaks into ones the
// controls draw.
#include "log_memo.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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

    // --- the log control ---------------------------------------------------------
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VarrexLogMemoTest";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"log", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                                    wc.hInstance, nullptr);
    HFONT font = vx::view::createLogMemoFont(96);
    HWND edit = vx::view::createLogMemo(window, 1, RECT{0, 0, 560, 360}, font);
    check(edit != nullptr, "the log control is created");
    check(::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0) >= 0x7FFFFFFE, "its text limit is raised");
    const LONG style = ::GetWindowLongW(edit, GWL_STYLE);
    check((style & ES_READONLY) && (style & ES_MULTILINE) && (style & WS_VSCROLL), "read-only, multi-line, scrolls");

    vx::scan::ActivityLog log;
    log.append(">>> Dicas:");
    log.append("");
    log.append("- Clique no botão \"Instruções\" para saber mais.");
    LogMemo memo(edit, log);
    memo.flush();
    check(textOf(edit) == expected(log), "the first push shows the whole log");

    log.append("linha 4");
    log.append("linha 5");
    memo.flush();
    check(textOf(edit) == expected(log) && memo.updates() == 2, "new lines are added in one update");
    memo.flush();
    check(memo.updates() == 2, "nothing new, nothing sent");

    log.clear();
    memo.flush();
    check(textOf(edit).empty(), "a cleared log empties the control");
    log.append("");
    log.append("after an empty first line");
    memo.flush();
    check(textOf(edit) == L"\r\nafter an empty first line", "an empty first line keeps its place");

    // Cleared and written again between two pushes: same size as before, but
    // other lines; the control must start over, not append.
    log.clear();
    log.append("x");
    log.append("y");
    memo.flush();
    check(textOf(edit) == L"x\r\ny", "a clear between pushes replaces the text");

    // A run: the append listener pushes while lines come in, paced by time.
    log.setAppendListener([&memo] { memo.lineAppended(); });
    log.clear();
    const uint64_t before = memo.updates();
    for (int i = 0; i < 50; ++i) log.append(std::string("quick line ").append(std::to_string(i)));
    check(memo.updates() - before <= 1, "lines written in a burst are not pushed one by one");
    ::Sleep(LogMemo::kFlushIntervalMs + 50);
    log.append("after a pause");
    check(textOf(edit) == expected(log), "after the interval the next line pushes everything pending");
    for (int i = 0; i < 20000; ++i) {
        std::string line = "[VX] - E:\\pasta\\arquivo ";
        line += std::to_string(i);
        line += ".txt";
        log.append(std::move(line));
    }
    memo.flush();
    check(textOf(edit) == expected(log), "a long run ends with the control equal to the log");
    check(::SendMessageW(edit, EM_GETLINECOUNT, 0, 0) >= static_cast<LRESULT>(log.size()),
          "the control has every line");
    log.setAppendListener(nullptr);

    ::DestroyWindow(window);
    ::DeleteObject(font);
    std::printf("view log: %d check(s) failed\n", failures);
    return failures == 0 ? 0 : 1;
}
