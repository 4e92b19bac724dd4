// Pushes big runs of the activity log into the real log control, through the
// same LogMemo the main window uses, and prints how fast the lines reach the
// screen. The run writes its lines the way a check does: clear, then append
// one line at a time, with the append listener pushing batches while the run
// goes on and a final push when it returns.
#include <windows.h>

#include "bench_clock.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "log_memo.h"
#include "scan/activity_log.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VarrexMemoBench";

struct Result {
    double seconds = 0;       // the whole run, from the first line to the last on screen
    double modelSeconds = 0;  // the same lines written into a log that nothing shows
    size_t lines = 0;
    uint64_t updates = 0;
    bool correct = false;
};

// One device-check-like line per file.
void writeRun(vx::scan::ActivityLog& log, size_t lineCount) {
    log.clear();
    log.append(">>> [Varrex - Versão: 2.7.5 - ]");
    log.append("[VX] - Início da Verificação - 07/12/2026 - 09:15:42");
    log.append("[VX] - Verificando Dispositivo Externo - Unidade: E:\\");
    std::string line;
    for (size_t i = 3; i < lineCount; ++i) {
        line = "[VX] - E:\\Fotos\\Viagem\\Pasta ";
        line += std::to_string(i / 100);
        line += "\\arquivo_";
        line += std::to_string(i);
        line += ".jpg";
        log.append(line);
    }
}

// Dispatches what is waiting, as the message loop does between events.
void pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

Result run(size_t lineCount, HFONT font) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND window = ::CreateWindowExW(0, kWindowClass, L"memo bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 760, 560,
                                    nullptr, nullptr, instance, nullptr);
    RECT bounds{8, 8, 728, 508};
    vx::scan::ActivityLog log;
    vx::view::LogMemo memo(log);
    HWND edit = memo.create(window, 1, bounds, font);

    for (int i = 0; i < 11; ++i) log.append("start-up tip line " + std::to_string(i));
    // The program's pushes: at most every 50 ms, with a paint.
    DWORD lastPush = ::GetTickCount();
    log.setAppendListener([&memo, &lastPush, edit] {
        if (::GetTickCount() - lastPush < 50) return;
        memo.flush();
        ::UpdateWindow(edit);
        lastPush = ::GetTickCount();
    });
    memo.flush();
    pump();

    Result r;
    {
        vx::scan::ActivityLog unseen;
        const double start = now();
        writeRun(unseen, lineCount);
        r.modelSeconds = now() - start;
    }
    const double start = now();
    // One run, as a button handler writes it: no message loop until it ends.
    writeRun(log, lineCount);
    memo.flush();  // the render after the handler returns
    pump();
    r.seconds = now() - start;
    r.lines = log.size();
    r.updates = memo.updates();

    // The control holds exactly the log's lines.
    const LRESULT controlLines = ::SendMessageW(edit, EM_GETLINECOUNT, 0, 0);
    size_t expectedLength = 0;
    for (const std::string& l : log.lines())
        expectedLength +=
            static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, l.data(), static_cast<int>(l.size()), nullptr, 0));
    expectedLength += 2 * (log.size() - 1);  // "\r\n" between lines
    const LRESULT length = ::SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    r.correct = controlLines >= static_cast<LRESULT>(log.size()) && static_cast<size_t>(length) == expectedLength &&
                memo.linesShown() == log.size();

    log.setAppendListener(nullptr);
    ::DestroyWindow(window);
    pump();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> sizes = {10'000, 100'000, 1'000'000};
    if (argc > 1) {
        sizes.clear();
        for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::strtoull(argv[i], nullptr, 10)));
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassExW(&wc);
    HFONT font = vx::view::createLogMemoFont(96);

    bool allCorrect = true;
    for (size_t lines : sizes) {
        Result r = run(lines, font);
        std::printf(
            "bench_memo: %8zu lines in %8.3f s = %8.0f lines/s (%6.2f us/line), %3llu control updates;"
            " the log alone %.3f s%s\n",
            r.lines, r.seconds, static_cast<double>(r.lines) / r.seconds,
            1e6 * r.seconds / static_cast<double>(r.lines), static_cast<unsigned long long>(r.updates), r.modelSeconds,
            r.correct ? "" : "  [TEXT MISMATCH]");
        std::fflush(stdout);
        allCorrect = allCorrect && r.correct;
    }
    ::DeleteObject(font);
    return allCorrect ? 0 : 1;
}
