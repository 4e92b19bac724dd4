// Drives the tools tab of Varrex.exe as a user would: lists the running
// processes and ends one of two stand-ins, cleans the temporary folders and
// compares the sizes shown before and after, runs the icon repair and writes
// the system report. run-tools-e2e.sh seeds the prefix beforehand and checks
// the folders, the registry and the written files from Linux afterwards.
//
// With --profile-temp (TEMP and TMP name the profile) it checks that the tools
// tab shows the profile as the user's temporary folder and that the clean-up
// then ends at once: no box, no new sizes, no log opened.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
namespace view = vx::view;
using namespace vx::e2e;

// Presses a button and expects one information box with the given caption
// and text (Portuguese or English, whichever language the program runs in);
// closes it and waits until the handler has returned.
void pressExpectingBox(DWORD pid, HWND main, std::string_view button, const std::wstring& caption,
                       const std::wstring& text, const std::wstring& captionEn, const std::wstring& textEn,
                       const char* what) {
    ::PostMessageW(control(main, button), BM_CLICK, 0, 0);
    HWND box = waitForTopBox(pid, 120s);
    check(box != nullptr, std::string(what) + " shows a box");
    if (!box) return;
    const std::wstring c = textOf(box), t = boxText(box);
    const bool pt = c == caption && t == text, en = c == captionEn && t == textEn;
    check(pt || en, std::string(what) + " box: \"" + printable(c) + "\" / \"" + printable(t) + "\"",
          pt || en ? "" : "expected \"" + printable(caption) + "\" / \"" + printable(text) + "\"");
    check(closeBox(box), std::string(what) + ": the box closes with OK");
    checkRunEnds(pid, main, what);
}

// The index of the line whose file-name part is `exe`; -1 when none.
int lineOf(const std::vector<std::wstring>& lines, const std::wstring& exe) {
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::wstring l = lower(lines[i]);
        const size_t cut = l.find_last_of(L"\\:");
        if ((cut == std::wstring::npos ? l : l.substr(cut + 1)) == lower(exe)) return static_cast<int>(i);
    }
    return -1;
}

// The bytes a size caption such as "Espaço ocupado: 1,50 KB" stands for;
// -1 when it cannot be read.
double bytesOf(const std::wstring& caption) {
    const size_t colon = caption.find(L": ");
    if (colon == std::wstring::npos) return -1;
    std::wstring number, unit;
    for (wchar_t c : caption.substr(colon + 2)) {
        if (std::iswdigit(c))
            number += c;
        else if (c == L',' || c == L'.')
            number += L'.';
        else if (c != L' ')
            unit += c;
    }
    if (number.empty()) return -1;
    double value = std::wcstod(number.c_str(), nullptr);
    if (unit == L"B") return value;
    if (unit == L"KB") return value * 1024;
    if (unit == L"MB") return value * 1024 * 1024;
    if (unit == L"GB") return value * 1024 * 1024 * 1024;
    return -1;
}

bool exists(const std::wstring& path) { return fileExists(path); }

// Writes a line for run-tools-e2e.sh (facts only Windows can tell it).
void note(const std::wstring& folder, const std::string& line) {
    if (FILE* f = _wfopen((folder + L"\\driver-facts.txt").c_str(), L"ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

// The clean-up with TEMP and TMP naming the profile folder.
int profileAsTemporaryFolder(const std::wstring& folder, std::chrono::steady_clock::time_point started) {
    wchar_t buffer[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"USERPROFILE", buffer, MAX_PATH);
    std::wstring profile = buffer;
    if (!profile.empty() && profile.back() != L'\\') profile += L'\\';

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    HWND main = varrex.main;
    selectTab(control(main, "PageControl1"), 1);
    HWND button = control(main, "Button4");
    check(waitFor([&] { return ::IsWindowVisible(button) != FALSE; }, 10s), "the tools tab shows the clean-up button");
    settled(main);

    const std::wstring label20 = textOf(control(main, "Label20")), sizeBefore = textOf(control(main, "Label22"));
    std::printf("USERPROFILE \"%s\", Label20 \"%s\", Label22 \"%s\"\n", printable(profile).c_str(),
                printable(label20).c_str(), printable(sizeBefore).c_str());
    check(profile.size() > 3 && lower(label20) == lower(profile), "Label20 shows the profile folder",
          "expected \"" + printable(profile) + "\"");
    note(folder, "label20=" + narrow(label20));

    // Sent, not posted: the call returns when the handler has, and a box
    // would keep it waiting until the time-out.
    DWORD_PTR ignored = 0;
    const bool returned = ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &ignored) != 0;
    check(returned, "the clean-up returns without waiting for the user");
    checkRunEnds(varrex.pid, main, "the clean-up of the profile");
    check(textOf(control(main, "Label22")) == sizeBefore, "the size shown for the profile stays",
          printable(textOf(control(main, "Label22"))));
    const bool opened = waitFor([] { return !processesNamed(L"notepad.exe").empty(); }, 3s);
    check(!opened, "no clean-up log is opened");
    killAll(L"notepad.exe");

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    return finish("tools e2e, profile as temporary folder", started);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring folder = ownFolder();
    ::DeleteFileW((folder + L"\\driver-facts.txt").c_str());
    if (argc > 1 && std::wstring(argv[1]) == L"--profile-temp") return profileAsTemporaryFolder(folder, started);

    wchar_t tempBuffer[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, tempBuffer);
    wchar_t longTemp[MAX_PATH] = {};
    if (!::GetLongPathNameW(tempBuffer, longTemp, MAX_PATH)) wcscpy(longTemp, tempBuffer);
    const std::wstring temp = longTemp;

    // Two stand-ins under names the program does not end by itself; lulu.exe
    // runs from the user's temporary folder, so its image is in use there
    // during the clean-up. They end by themselves should the driver die.
    const std::wstring wscript2 = folder + L"\\wscript2.exe";
    check(::CopyFileW((folder + L"\\standin.exe").c_str(), wscript2.c_str(), FALSE) != 0, "wscript2.exe copied");
    check(exists(temp + L"lulu.exe"), "lulu.exe is in the user's temporary folder", printable(temp));
    HANDLE standinA = start(wscript2, L"--exit-after=600", folder);
    HANDLE standinB = start(temp + L"lulu.exe", L"--exit-after=600", temp);
    check(standinA && standinB, "the two stand-ins start");

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    const DWORD pid = varrex.pid;
    HWND main = varrex.main;

    // The tools tab, as a click on it would choose it.
    selectTab(control(main, "PageControl1"), 1);
    HWND list = control(main, "ListBox1");
    check(waitFor([&] { return ::IsWindowVisible(list) != FALSE; }, 10s), "the tools tab shows the process list");
    settled(main);

    const std::wstring label20 = textOf(control(main, "Label20")), label21 = textOf(control(main, "Label21"));
    std::printf("Label20 \"%s\", Label21 \"%s\"\n", printable(label20).c_str(), printable(label21).c_str());
    check(lower(label20) == lower(temp), "Label20 shows the user's temporary folder",
          "expected \"" + printable(temp) + "\"");
    check(label21.size() > 3 && lower(label21).ends_with(L"\\windows\\temp\\"), "Label21 shows the Windows temp folder");
    note(folder, "label20=" + narrow(label20));
    note(folder, "label21=" + narrow(label21));

    std::vector<std::wstring> lines = listLines(list);
    std::printf("--- process list (%zu lines)\n", lines.size());
    for (const auto& l : lines) std::printf("    %s\n", printable(l).c_str());
    for (const wchar_t* exe : {L"wscript2.exe", L"lulu.exe", L"Varrex.exe"})
        check(lineOf(lines, exe) >= 0, "the list shows " + narrow(exe));
    bool sortedOk = true;
    for (size_t i = 1; i < lines.size(); ++i)
        sortedOk = sortedOk && ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, lines[i - 1].c_str(), -1,
                                                lines[i].c_str(), -1) != CSTR_GREATER_THAN;
    check(sortedOk, "the list is sorted");

    // Ending wscript2.exe: select it as a click would, then press the button.
    const int at = lineOf(lines, L"wscript2.exe");
    if (at >= 0) {
        ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
        ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(view::controlId("ListBox1"), LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(list));
        settled(main);
        pressExpectingBox(pid, main, "BitBtn11", L"Aviso", L"Processo finalizado com sucesso!", L"Warning",
                          L"Process completed successfully!", "ending wscript2.exe");
        check(standinA && ::WaitForSingleObject(standinA, 10000) == WAIT_OBJECT_0, "wscript2.exe has ended");
        check(processesNamed(L"wscript2.exe").empty(), "no wscript2.exe runs any more");
        const std::vector<std::wstring> after = listLines(list);
        check(lineOf(after, L"wscript2.exe") < 0, "the refreshed list no longer shows wscript2.exe");
        check(lineOf(after, L"lulu.exe") >= 0, "the refreshed list still shows lulu.exe");
        check(standinB && ::WaitForSingleObject(standinB, 0) == WAIT_TIMEOUT, "lulu.exe still runs");
    }

    // The clean-up, with the sizes shown before and after.
    const std::wstring userBefore = textOf(control(main, "Label22")), winBefore = textOf(control(main, "Label23"));
    pressExpectingBox(pid, main, "Button4", L"Aviso", L"Processo concluído com sucesso!", L"Warning",
                      L"Process completed successfully!", "the clean-up");
    const std::wstring userAfter = textOf(control(main, "Label22")), winAfter = textOf(control(main, "Label23"));
    std::printf("sizes: user \"%s\" -> \"%s\", windows \"%s\" -> \"%s\"\n", printable(userBefore).c_str(),
                printable(userAfter).c_str(), printable(winBefore).c_str(), printable(winAfter).c_str());
    note(folder, "sizes=" + narrow(userBefore) + "|" + narrow(userAfter) + "|" + narrow(winBefore) + "|" +
                     narrow(winAfter));
    const double ub = bytesOf(userBefore), ua = bytesOf(userAfter), wb = bytesOf(winBefore), wa = bytesOf(winAfter);
    check(ub > 0 && ua >= 0 && ua < ub, "the user's temporary folder shows a smaller size after the clean-up");
    check(wb > 0 && wa >= 0 && wa < wb, "the Windows temporary folder shows a smaller size after the clean-up");
    note(folder, std::string("lulu-exists=") + (exists(temp + L"lulu.exe") ? "1" : "0"));
    check(standinB && ::WaitForSingleObject(standinB, 0) == WAIT_TIMEOUT, "lulu.exe still runs after the clean-up");
    // The log opens with its default program; Wine's is notepad.
    waitFor([] { return !processesNamed(L"notepad.exe").empty(); }, 5s);
    std::printf("notepad windows ended after the clean-up: %d\n", killAll(L"notepad.exe"));

    pressExpectingBox(pid, main, "BitBtn15", L"Aviso",
                      L"Para concluir procedimento é necessário reiniciar o computador!", L"Warning",
                      L"To complete procedure is to restart the computer!", "the icon repair");

    // The report opens without a box; an input/output error would show one.
    ::PostMessageW(control(main, "BitBtn17"), BM_CLICK, 0, 0);
    check(settled(main), "the report button returns");
    waitFor([] { return !processesNamed(L"notepad.exe").empty(); }, 5s);
    const auto boxes = topWindows(pid, L"#32770");
    check(boxes.empty(), "the report shows no box", boxes.empty() ? "" : printable(boxText(boxes.front())));
    for (HWND box : boxes) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    std::printf("notepad windows ended after the report: %d\n", killAll(L"notepad.exe"));

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    for (HANDLE h : {standinA, standinB})
        if (h) {
            ::TerminateProcess(h, 0);
            ::WaitForSingleObject(h, 5000);
            ::CloseHandle(h);
        }
    ::DeleteFileW(wscript2.c_str());
    return finish("tools e2e", started);
}
