// Drives Varrex.exe from outside, as a user would, and checks what its
// window shows. It runs under Wine next to a copy of Varrex.exe and of the
// stand-in program (as wscript.exe); run-e2e.sh prepares the prefix with a
// removable drive E: and a CD drive D: and takes the screenshots it asks for.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/view_ids.h"
#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
namespace view = vx::view;

using namespace vx::e2e;

// The text colour the view drew the control with; -1 when unknown.
int64_t colorOf(HWND hwnd) {
    return view::decodeTextColor(reinterpret_cast<uintptr_t>(::GetPropW(hwnd, view::kTextColorProperty)));
}

// Presses a button of a box without waiting for it to close (any button:
// the session-end question is answered Yes on purpose).
void answer(HWND box, int button) { ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0); }

void postKey(HWND target, UINT key) {
    ::PostMessageW(target, WM_KEYDOWN, key, 1);
    ::PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// WM_QUERYENDSESSION sent from a second thread (the program asks the user
// first), the box answered from this one. The program's answer.
LRESULT endSession(DWORD pid, HWND main, int button) {
    LRESULT result = -1;
    std::thread query([&] {
        DWORD_PTR r = 0;
        if (::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 30000, &r))
            result = static_cast<LRESULT>(r);
    });
    HWND box = waitForTopBox(pid, 15s, L"Confirm");
    check(box != nullptr, "the session end asks \"Confirm\"");
    if (box) {
        checkText(boxText(box), L"O Windows deseja desligar agora, Permitir ?", "the session end question");
        answer(box, button);
    }
    query.join();
    return result;
}

}  // namespace

int main() {
    const std::wstring folder = ownFolder();
    const std::wstring marker = folder + L"\\iphist.dat";
    const auto started = std::chrono::steady_clock::now();

    // A file the program deletes when it closes, and a worm process it ends
    // when it starts.
    if (FILE* f = _wfopen(marker.c_str(), L"wb")) std::fclose(f);
    HANDLE worm = start(folder + L"\\wscript.exe", L"--exit-after=300", folder);
    check(worm != nullptr, "a stand-in wscript.exe runs before the start");

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    HANDLE program = varrex.process;
    const DWORD pid = varrex.pid;
    HWND main = varrex.main;
    auto control = [&](std::string_view name) { return vx::e2e::control(main, name); };

    // --- start-up ---------------------------------------------------------------
    checkText(textOf(main), L" Varrex", "window title at start");
    RECT client{};
    ::GetClientRect(main, &client);
    check(client.right == 739 && client.bottom == 612, "client area 739 x 612",
          std::to_string(client.right) + " x " + std::to_string(client.bottom));
    const LONG style = ::GetWindowLongW(main, GWL_STYLE);
    check((style & WS_MINIMIZEBOX) && !(style & WS_MAXIMIZEBOX) && !(style & WS_THICKFRAME),
          "fixed border with the minimise button only");
    if (worm) check(ended(worm, 10000), "the running wscript.exe was ended at start");

    HWND memo = control("Memo1");
    std::vector<std::wstring> log = linesOf(textOf(memo));
    check(!log.empty() && log.front() == L">>> Dicas:", "the log starts with the tips", printable(log.front()));
    check(log.size() == 11, "the start-up tips are 11 lines", std::to_string(log.size()));
    checkText(log.back(),
              L">>> [Varrex - Versão 2.7.5] - Compatibilidade: Windows, XP, 7, 8, 10, 11 e Server - 32 ou 64 Bits",
              "the tips' version line");
    checkText(textOf(control("BitBtn7")), L" Verificar &Computador\r\n Unidade: C:\\", "computer check button");
    checkText(textOf(control("BitBtn2")), L" Desinfectar Com&putador\r\n Unidade: C:\\",
              "computer disinfection button");
    checkText(textOf(control("StaticText1")), L"Versão 2.7.5", "version box");
    checkText(textOf(control("GroupBox4")), L" Verifica a Existência de Vírus ", "check group caption");
    check(colorOf(control("GroupBox4")) == RGB(0, 128, 0), "check group caption in green");
    check(colorOf(control("BitBtn13")) == RGB(128, 128, 128), "\"Português\" is grey at start");
    check(colorOf(control("BitBtn14")) == RGB(0, 0, 0), "\"English\" is black at start");
    check(::SendMessageW(control("CheckBox1"), BM_GETCHECK, 0, 0) == BST_CHECKED &&
              ::SendMessageW(control("CheckBox2"), BM_GETCHECK, 0, 0) == BST_CHECKED,
          "both report switches on (new settings file)");
    // One tip per control with a hint: the two drive labels and lists, the
    // two detect-drives buttons, the device disinfection button, the two
    // temporary folder labels and the program path label.
    {
        LRESULT count = 0;
        for (HWND tip : topWindows(pid, TOOLTIPS_CLASSW, nullptr, false))
            count += ::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0);
        check(count == 10, "ten controls show a hint", std::to_string(count));
    }
    check(::IsWindowVisible(memo) && !::IsWindowVisible(control("ListBox1")) && !::IsWindowVisible(control("Label19")),
          "only the first tab's controls show");

    // Both drive lists: only the removable E: (C: holds Windows, D: is a CD drive).
    for (const char* name : {"DriveComboBox1", "DriveComboBox2"}) {
        HWND list = control(name);
        const LRESULT count = ::SendMessageW(list, CB_GETCOUNT, 0, 0);
        std::wstring first;
        if (count > 0) {
            first.resize(static_cast<size_t>(::SendMessageW(list, CB_GETLBTEXTLEN, 0, 0)) + 1);
            ::SendMessageW(list, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first.data()));
            first.resize(first.find(L'\0'));
        }
        check(count == 1 && first == L"E:", std::string(name) + " holds only E:",
              std::to_string(count) + " entries, first \"" + printable(first) + "\"");
        checkText(textOf(list), L"E:", std::string(name) + " shows E:");
    }
    // Tab goes through the first tab's controls as they are laid out, then
    // the tab strip, then the language buttons, and round again.
    {
        const char* order[] = {"BitBtn7",      "BitBtn3",        "DriveComboBox2", "SpeedButton3", "BitBtn9",
                               "BitBtn2",      "DriveComboBox1", "SpeedButton1",   "BitBtn1",      "Memo1",
                               "PageControl1", "BitBtn13",       "BitBtn14",       "BitBtn7"};
        std::string walked;
        bool inOrder = true;
        HWND at = control(order[0]);
        for (size_t i = 1; i < std::size(order); ++i) {
            at = ::GetNextDlgTabItem(main, at, FALSE);
            walked += std::to_string(::GetDlgCtrlID(at)) + " ";
            inOrder = inOrder && at == control(order[i]);
        }
        check(inOrder, "tab order on the first tab", walked);
    }
    screenshot(folder, main, "e2e-main-window");

    // --- language ------------------------------------------------------------------
    ::SendMessageW(control("BitBtn14"), BM_CLICK, 0, 0);
    checkText(textOf(main), L" Varrex - Remove Viruses and Other Shortcuts Creates", "English title");
    log = linesOf(textOf(memo));
    check(log.front() == L">>> Tips:" && log.size() == 10, "the log holds the English tips",
          printable(log.front()) + ", " + std::to_string(log.size()) + " lines");
    checkText(textOf(control("BitBtn7")), L" Check &Computer\r\n Unit: C:\\", "English computer check button");
    checkText(textOf(control("Label17")), L"Choose Device Unit", "English drive label");
    check(colorOf(control("BitBtn14")) == RGB(128, 128, 128) && colorOf(control("BitBtn13")) == RGB(0, 0, 0),
          "\"English\" is grey and \"Português\" black");
    screenshot(folder, main, "e2e-english");
    ::SendMessageW(control("BitBtn14"), BM_CLICK, 0, 0);
    checkText(textOf(main), L" Varrex - Remove Viruses and Other Shortcuts Creates",
              "pressing \"English\" again changes nothing");

    ::SendMessageW(control("BitBtn13"), BM_CLICK, 0, 0);
    checkText(textOf(main), L" Varrex - Remove Vírus que Cria Atalhos e Outros", "Portuguese title");
    log = linesOf(textOf(memo));
    check(log.front() == L">>> Dicas:" && log.size() == 10, "the log holds the Portuguese tips",
          printable(log.front()) + ", " + std::to_string(log.size()) + " lines");
    checkText(textOf(control("BitBtn7")), L" Verificar &Computador\r\n Unidade: C:\\",
              "Portuguese computer check button");
    check(colorOf(control("BitBtn13")) == RGB(128, 128, 128) && colorOf(control("BitBtn14")) == RGB(0, 0, 0),
          "\"Português\" is grey again");

    // --- instructions window ---------------------------------------------------------
    for (int i = 0; i < 3; ++i) ::SendMessageW(control("BitBtn3"), BM_CLICK, 0, 0);
    auto instructions = topWindows(pid, view::kInstructionsWindowClass);
    check(instructions.size() == 1, "three presses open one instructions window",
          std::to_string(instructions.size()) + " windows");
    if (!instructions.empty()) {
        HWND window = instructions.front();
        checkText(textOf(window), L"Instruções", "instructions title");
        ::GetClientRect(window, &client);
        check(client.right == 706 && client.bottom == 635, "instructions client area 706 x 635",
              std::to_string(client.right) + " x " + std::to_string(client.bottom));
        HWND text = ::GetDlgItem(window, view::kInstructionsMemoId);
        std::vector<std::wstring> lines = linesOf(textOf(text));
        check(
            lines.size() == 32 && lines.front() == L">>> Instruções:" && lines.back() == L">>> [Varrex - Versão 2.7.5]",
            "instructions text", std::to_string(lines.size()) + " lines");
        check(::SendMessageW(text, EM_GETFIRSTVISIBLELINE, 0, 0) == 0, "instructions shown from the first line");
        HWND close = ::GetDlgItem(window, view::kInstructionsCloseId);
        checkText(textOf(close), L" &Fechar", "close button");
        check(::GetWindow(window, GW_OWNER) == nullptr, "the instructions window is a top-level window of its own");
        screenshot(folder, window, "e2e-instructions");
        ::SendMessageW(close, BM_CLICK, 0, 0);
        check(waitFor([&] { return topWindows(pid, view::kInstructionsWindowClass).empty(); }, 5s),
              "\" &Fechar\" closes it");
        ::SendMessageW(control("BitBtn3"), BM_CLICK, 0, 0);
        instructions = topWindows(pid, view::kInstructionsWindowClass);
        check(instructions.size() == 1, "the next press opens a new one");
        if (!instructions.empty()) {
            ::SendMessageW(instructions.front(), WM_CLOSE, 0, 0);
            check(waitFor([&] { return topWindows(pid, view::kInstructionsWindowClass).empty(); }, 5s),
                  "its close box closes it");
        }
    }

    // Alt+I presses "&Instruções" (the accelerator in its caption).
    ::PostMessageW(control("BitBtn9"), WM_SYSCHAR, L'i', 1u << 29);
    check(waitFor([&] { return topWindows(pid, view::kInstructionsWindowClass).size() == 1; }, 5s),
          "Alt+I opens the instructions");
    for (HWND w : topWindows(pid, view::kInstructionsWindowClass)) ::SendMessageW(w, WM_CLOSE, 0, 0);

    // --- F11 on the instructions button -------------------------------------------------
    postKey(control("BitBtn3"), VK_F11);
    HWND box = waitForTopBox(pid, 10s, L"Desenvolvedor");
    check(box != nullptr, "F11 on the instructions button shows \"Desenvolvedor\"");
    if (box) {
        check(::GetWindow(box, GW_OWNER) == main, "the message box belongs to the main window");
        check(boxText(box).find(L"suporte@varrex.com.br") != std::wstring::npos, "it names the support address");
        answer(box, IDOK);
        check(waitFor([&] { return !::IsWindow(box); }, 5s), "the box closes");
    }
    postKey(control("BitBtn3"), VK_F12);
    std::this_thread::sleep_for(1s);
    check(topWindows(pid, L"#32770").empty(), "F12 shows nothing");

    // --- options tab --------------------------------------------------------------------
    HWND tabs = control("PageControl1");
    selectTab(tabs, 2);
    check(waitFor([&] { return ::IsWindowVisible(control("Label19")) != FALSE; }, 5s), "the options tab shows");
    check(!::IsWindowVisible(memo), "the first tab's controls are hidden");
    checkText(textOf(control("Label19")), folder, "Label19 shows the program's folder");
    check(colorOf(control("Label19")) == RGB(128, 0, 0), "Label19 is maroon");
    // The pointer really moves over the label and away again, so the
    // program's own mouse tracking reports the leaving.
    RECT label{};
    ::GetWindowRect(control("Label19"), &label);
    ::SetCursorPos(label.left + 5, (label.top + label.bottom) / 2);
    ::PostMessageW(control("Label19"), WM_MOUSEMOVE, 0, MAKELPARAM(5, (label.bottom - label.top) / 2));
    check(waitFor([&] { return colorOf(control("Label19")) == RGB(0, 0, 128); }, 5s),
          "the mouse over Label19 turns it navy");
    ::SetCursorPos(0, 0);
    check(waitFor([&] { return colorOf(control("Label19")) == RGB(128, 0, 0); }, 5s),
          "the mouse leaving turns it maroon again");

    ::SendMessageW(control("CheckBox1"), BM_CLICK, 0, 0);
    check(::SendMessageW(control("CheckBox1"), BM_GETCHECK, 0, 0) == BST_UNCHECKED, "a click clears CheckBox1");
    ::SendMessageW(control("CheckBox1"), BM_CLICK, 0, 0);
    check(::SendMessageW(control("CheckBox1"), BM_GETCHECK, 0, 0) == BST_CHECKED, "a second click checks it");
    screenshot(folder, main, "e2e-options");

    // Esc on the options tab copies the program to the desktop.
    wchar_t desktop[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    const std::wstring copy = std::wstring(desktop) + L"\\Varrex.exe";
    ::DeleteFileW(copy.c_str());
    postKey(control("BitBtn12"), VK_ESCAPE);
    box = waitForTopBox(pid, 10s, L"Aviso");
    check(box != nullptr && boxText(box) == L"Arquivo copiado com sucesso!",
          "Esc on the options tab copies the program");
    check(fileExists(copy), "the copy is on the desktop");
    if (box) answer(box, IDOK);
    waitFor([&] { return topWindows(pid, L"#32770").empty(); }, 5s);

    selectTab(tabs, 1);
    check(waitFor([&] { return ::IsWindowVisible(control("ListBox1")) != FALSE; }, 5s), "the tools tab shows");
    screenshot(folder, main, "e2e-tools");

    selectTab(tabs, 3);
    check(waitFor([&] { return ::IsWindowVisible(control("ListBox3")) != FALSE; }, 5s), "the quarantine tab shows");
    check(textOf(control("Label24")).rfind(L"Tamanho total: ", 0) == 0, "Label24 shows the store's size",
          printable(textOf(control("Label24"))));
    check(::SendMessageW(control("ListBox2"), LB_GETCOUNT, 0, 0) == 0, "an empty store lists no run");
    check((::GetWindowLongW(control("ListBox3"), GWL_STYLE) & LBS_EXTENDEDSEL) != 0,
          "several items may be chosen");
    screenshot(folder, main, "e2e-quarantine");

    selectTab(tabs, 0);
    check(waitFor([&] { return ::IsWindowVisible(memo) != FALSE; }, 5s), "back on the first tab");
    postKey(control("BitBtn9"), VK_ESCAPE);
    std::this_thread::sleep_for(1s);
    check(topWindows(pid, L"#32770").empty(), "Esc on the first tab does nothing");

    // --- session end ----------------------------------------------------------------------
    check(endSession(pid, main, IDNO) == 0, "answering No refuses the session end");
    check(!ended(program, 500), "the program keeps running");
    check(endSession(pid, main, IDYES) == 1, "answering Yes lets the session end");

    // --- closing ---------------------------------------------------------------------------
    closeVarrex(varrex);
    DWORD code = 1;
    ::GetExitCodeProcess(program, &code);
    check(code == 0, "exit code 0", std::to_string(code));
    check(!fileExists(marker), "iphist.dat next to the program is gone");
    ::CloseHandle(program);
    if (worm) ::CloseHandle(worm);
    return finish("e2e", started);
}
