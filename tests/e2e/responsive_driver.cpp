// Drives a device check of Varrex.exe on a large removable drive E: and
// watches how the window answers while the check runs:
//
//   vx_e2e_responsive_driver.exe           the end-to-end test: the window
//                                          answers throughout, a click made
//                                          during the run is handled after the
//                                          run's result box; the log goes into
//                                          log.txt for run-responsive-e2e.sh
//   vx_e2e_responsive_driver.exe --bench   times one device check and appends
//                                          its figures to bench-results.txt
//                                          (bench/win32/device-check-bench.sh)
//
// While the check runs a thread of the driver sends WM_NULL to the main
// window every 100 ms and waits for the answer; the longest wait is the
// longest time the window did not answer. The run lasts from the click on the
// device check button to its result box.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;
using Clock = std::chrono::steady_clock;

const std::wstring kCheckCaption = L" Verificar &Dispositivo";
const std::wstring kCheckCaptionEnglish = L" Check &Device";

// Sends WM_NULL to a window every 100 ms from a thread of its own and keeps
// the longest time an answer took; a message still unanswered when the watch
// stops counts with the time it has waited so far.
class AnswerWatch {
public:
    explicit AnswerWatch(HWND window) : window_(window), thread_([this] { run(); }) {}
    ~AnswerWatch() { stop(); }

    // Seconds of the longest wait for an answer.
    double stop() {
        if (!stopped_.exchange(true)) {
            const long long since = sentAt_.load();
            if (since != 0) longest_ = std::max(longest_.load(), ticks() - since);
            thread_.join();
        }
        return static_cast<double>(longest_.load()) / 1e6;
    }
    int sent() const { return sent_; }

private:
    static long long ticks() {
        return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
    }

    void run() {
        while (!stopped_) {
            const long long sent = ticks();
            sentAt_ = sent;
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &ignored);
            const long long waited = ticks() - sent;
            sentAt_ = 0;
            ++sent_;
            if (waited > longest_) longest_ = waited;
            const long long next = sent + 100000 - ticks();
            if (next > 0) std::this_thread::sleep_for(std::chrono::microseconds(next));
        }
    }

    HWND window_;
    std::atomic<bool> stopped_{false};
    std::atomic<long long> sentAt_{0};
    std::atomic<long long> longest_{0};
    std::atomic<int> sent_{0};
    std::thread thread_;
};

struct Run {
    HWND box = nullptr;
    double seconds = 0;         // from the click to the result box
    double longestSilence = 0;  // the longest wait for an answer, in seconds
    int messages = 0;           // WM_NULL messages sent
    bool clickedDuringRun = false;
};

// Presses the device check button and waits for the run's result box, the
// window watched throughout. With `englishAfter` the English button is
// pressed that long into the run, unless the run is already over.
Run deviceCheck(DWORD pid, HWND main, Clock::duration englishAfter = {}) {
    Run run;
    AnswerWatch watch(main);
    std::this_thread::sleep_for(300ms);  // a few answers of the idle window first
    const auto clicked = Clock::now();
    ::PostMessageW(control(main, "BitBtn9"), BM_CLICK, 0, 0);
    if (englishAfter > Clock::duration::zero()) {
        run.box = waitForTopBox(pid, std::chrono::duration_cast<std::chrono::milliseconds>(englishAfter));
        if (!run.box) {
            ::PostMessageW(control(main, "BitBtn14"), BM_CLICK, 0, 0);
            run.clickedDuringRun = true;
        }
    }
    if (!run.box) run.box = waitForTopBox(pid, 300s);
    run.seconds = secondsSince(clicked);
    run.longestSilence = watch.stop();
    run.messages = watch.sent();
    check(run.box != nullptr, "the device check ends with a result box");
    if (run.box) check(::GetWindow(run.box, GW_OWNER) == main, "the result box belongs to the main window");
    std::printf("run: %.2f s from the click to the result box; longest wait for an answer %.2f s (%d WM_NULL sent)\n",
                run.seconds, run.longestSilence, run.messages);
    return run;
}

// The device check runs on E: without a save question afterwards.
void prepare(HWND main) {
    HWND ask = control(main, "CheckBox1");
    if (isChecked(ask)) ::SendMessageW(ask, BM_CLICK, 0, 0);
    check(!isChecked(ask), "no save question after the check (CheckBox1 cleared)");
    HWND drives = control(main, "DriveComboBox2");
    if (!textOf(drives).starts_with(L"E:")) {
        ::SendMessageW(drives, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"E:"));
        ::SendMessageW(::GetParent(drives), WM_COMMAND,
                       MAKEWPARAM(::GetDlgCtrlID(drives), CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
    }
    check(textOf(drives).starts_with(L"E:"), "the check's drive list has E: selected", printable(textOf(drives)));
}

void writeText(const std::wstring& path, const std::wstring& text) {
    if (FILE* f = _wfopen(path.c_str(), L"wb")) {
        const std::string bytes = narrow(text);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

int listed(const std::vector<std::wstring>& log) {
    return static_cast<int>(
        std::count_if(log.begin(), log.end(), [](const std::wstring& l) { return l.starts_with(L"[VX] - E:\\"); }));
}

// The window answers throughout the run, and a click made during the run
// waits until the run is over: the result box shows with the captions still
// Portuguese, and the click takes effect once the box is answered.
void responsiveCheck(DWORD pid, HWND main, const std::wstring& folder) {
    HWND button = control(main, "BitBtn9");
    checkText(textOf(button), kCheckCaption, "the device check button is in Portuguese");
    const Run run = deviceCheck(pid, main, 1s);
    check(run.clickedDuringRun, "the English button was pressed one second into the run",
          run.clickedDuringRun ? "" : "the run was over first");
    check(run.longestSilence <= 2.0, "the window answers during the run within 2 s",
          "it did not answer for " + std::to_string(run.longestSilence) + " s of the " +
              std::to_string(run.seconds) + " s run");
    if (!run.box) return;
    // The log behind the box, for run-responsive-e2e.sh to compare with the
    // drive's files.
    const std::wstring log = textOf(control(main, "Memo1"));
    writeText(folder + L"\\log.txt", log);
    const std::vector<std::wstring> lines = linesOf(log);
    std::printf("the log holds %zu lines, %d of them listing a file of E:; it begins \"%s\"\n", lines.size(),
                listed(lines), printable(lines.front()).c_str());
    checkText(textOf(run.box), L"Resultado", "the result box's caption");
    checkText(boxText(run.box), L"Não foram Encontrados Vírus no Drive E:\\!", "the result box's text");
    // The click waits behind the box: still Portuguese while it is up (the
    // language switch would also replace the log by the language's tips).
    std::this_thread::sleep_for(500ms);
    checkText(textOf(button), kCheckCaption, "while the result box is up the English click has not taken effect");

    check(closeBox(run.box), "the result box closes with OK");
    const bool english = waitFor([&] { return textOf(button) == kCheckCaptionEnglish; }, 10s);
    check(english, "after the result box the English click takes effect", printable(textOf(button)));
    checkRunEnds(pid, main, "the device check");
}

// One timed device check; its figures go to bench-results.txt.
void bench(DWORD pid, HWND main, const std::wstring& folder) {
    const Run run = deviceCheck(pid, main);
    if (!run.box) return;
    const int lines = listed(logOf(main));
    check(closeBox(run.box), "the result box closes with OK");
    checkRunEnds(pid, main, "the device check");
    if (FILE* f = _wfopen((folder + L"\\bench-results.txt").c_str(), L"ab")) {
        std::fprintf(f, "check_seconds=%.3f\nlongest_silence_seconds=%.3f\nlisted_files=%d\n", run.seconds,
                     run.longestSilence, lines);
        std::fclose(f);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = Clock::now();
    const std::wstring folder = ownFolder();
    const bool benchMode = argc > 1 && std::wstring(argv[1]) == L"--bench";

    check(::GetDriveTypeW(L"E:\\") == DRIVE_REMOVABLE, "E: is a removable drive");
    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    prepare(varrex.main);
    if (benchMode)
        bench(varrex.pid, varrex.main, folder);
    else
        responsiveCheck(varrex.pid, varrex.main, folder);
    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    return finish(benchMode ? "responsive bench" : "responsive e2e", started);
}
