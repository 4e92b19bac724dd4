// Drives Varrex.exe on one Windows version as Wine plays it and checks what
// that version changes:
//
//   vx_e2e_versions_driver.exe xp|win7|win10
//
// The device check and the device disinfection of the sample pen drive E:
// (with the shortcut worm's own program, A1.exe, at its root): on Windows XP
// the disinfection ends explorer.exe before it removes that program, on the
// later versions explorer.exe stays. Then the tools tab: on XP and 7 the
// process list shows each program's full path, on 10 bare file names. Last the
// system report, whose system line run-versions-e2e.sh checks from Linux
// together with the process lines this driver saw (process-list.txt).
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

struct Version {
    const wchar_t* name;
    DWORD major, minor;
    bool xp;         // the product name ends in "XP"
    bool fullPaths;  // NT 5.0 to 6.1 list full paths
};

constexpr Version kVersions[] = {
    {L"xp", 5, 2, true, true},
    {L"win7", 6, 1, false, true},
    {L"win10", 10, 0, false, false},
};

// The version the system tells (GetVersionEx stops at what the manifest names).
std::pair<DWORD, DWORD> systemVersion() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    auto get = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!get || get(&info) != 0) return {0, 0};
    return {info.dwMajorVersion, info.dwMinorVersion};
}

// The report offers after the runs off, as an earlier run saved them.
bool saveQuestionsOff() {
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData))) return false;
    const std::wstring folder = std::wstring(appData) + L"\\varrex";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    FILE* f = _wfopen((folder + L"\\parametros.ini").c_str(), L"wb");
    if (!f) return false;
    std::fputs("0\r\n0\r\n", f);
    return std::fclose(f) == 0;
}

// Presses a button; the run's result box is read and closed with OK.
Box pressAndClose(DWORD pid, HWND main, std::string_view button, const char* what) {
    ::PostMessageW(control(main, button), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 90s);
    check(box.hwnd != nullptr, std::string(what) + " ends with a result box");
    if (!box.hwnd) return box;
    check(closeBox(box.hwnd), std::string(what) + ": the box closes with OK");
    checkRunEnds(pid, main, what);
    return box;
}

void deviceRuns(DWORD pid, HWND main, const Version& v) {
    const Box checked = pressAndClose(pid, main, "BitBtn9", "the device check");
    checkText(checked.text, L"O Dispositivo (E:\\) está Infectado!\rPara remover use o botão \"Desinfectar Dispositivo\"",
              "device check box text");

    const int explorersBefore = running(L"explorer.exe");
    const Box disinfected = pressAndClose(pid, main, "BitBtn1", "the device disinfection");
    checkText(disinfected.text, L"Vírus Encontrados na Unidade E:\\! Verifique o relatório!",
              "disinfection box text");
    const std::vector<std::wstring> log = logOf(main);
    printLog(log, "log after the device disinfection");

    // The shortcut worm's program: on XP the shell goes first.
    std::vector<std::wstring> a1;
    if (v.xp) a1.push_back(L"[VX] > Processo [explorer.exe] finalizado!");
    a1.insert(a1.end(), {L"[VX] - Processo [vx008] não está em execução neste computador!",
                         L"[VX] > Arquivo E:\\A1.exe Deletado!", L"[VX] > Arquivo E:\\A1.exe deletado com sucesso!",
                         L"[VX] - Nenhum Código/Vírus Encontrado!"});
    checkLinesInOrder(log, a1, "disinfection log");
    const bool explorerLine = contains(log, L"[VX] > Processo [explorer.exe] finalizado!") ||
                              contains(log, L"[VX] - Processo [explorer.exe] não está em execução neste computador!");
    check(explorerLine == v.xp, v.xp ? "the log has the explorer.exe line" : "the log has no explorer.exe line");
    check(::GetFileAttributesW(L"E:\\A1.exe") == INVALID_FILE_ATTRIBUTES, "E:\\A1.exe is gone");

    const int explorersAfter = running(L"explorer.exe");
    std::printf("explorer.exe processes: %d before the disinfection, %d after\n", explorersBefore, explorersAfter);
    check(explorersBefore > 0, "explorer.exe ran before the disinfection");
    if (v.xp)
        check(explorersAfter == 0, "the disinfection ended explorer.exe");
    else
        check(explorersAfter == explorersBefore, "explorer.exe still runs");
}

void processList(HWND main, const std::wstring& folder, const Version& v) {
    selectTab(control(main, "PageControl1"), 1);
    HWND list = control(main, "ListBox1");
    check(waitFor([&] { return ::IsWindowVisible(list) != FALSE; }, 10s), "the tools tab shows the process list");
    settled(main);
    const std::vector<std::wstring> lines = listLines(list);
    std::printf("--- process list (%zu lines)\n", lines.size());
    for (const auto& l : lines) std::printf("    %s\n", printable(l).c_str());

    const std::wstring self = folder + L"\\vx_e2e_versions_driver.exe";
    int ownLines = 0, withFolder = 0;
    for (const auto& l : lines) {
        ownLines += lower(l) == lower(v.fullPaths ? folder + L"\\Varrex.exe" : L"Varrex.exe");
        ownLines += lower(l) == lower(v.fullPaths ? self : L"vx_e2e_versions_driver.exe");
        withFolder += l.find(L'\\') != std::wstring::npos;
    }
    check(ownLines == 2, v.fullPaths ? "Varrex.exe and the driver are listed with their full paths"
                                     : "Varrex.exe and the driver are listed by bare name");
    if (v.fullPaths)
        check(withFolder == static_cast<int>(lines.size()), "every line is a full path",
              std::to_string(lines.size() - static_cast<size_t>(withFolder)) + " without");
    else
        check(withFolder == 0, "no line holds a folder");

    if (FILE* f = _wfopen((folder + L"\\process-list.txt").c_str(), L"wb")) {
        for (const auto& l : lines) std::fprintf(f, "%s\n", narrow(l).c_str());
        std::fclose(f);
    }
}

void systemReport(DWORD pid, HWND main) {
    ::PostMessageW(control(main, "BitBtn17"), BM_CLICK, 0, 0);
    check(settled(main), "the report button returns");
    const auto boxes = topWindows(pid, L"#32770");
    check(boxes.empty(), "the report shows no box", boxes.empty() ? "" : printable(boxText(boxes.front())));
    for (HWND box : boxes) closeBox(box);
    // The report opens with the default program for text; Wine's is notepad.
    waitFor([] { return !processesNamed(L"notepad.exe").empty(); }, 5s);
    std::printf("notepad windows ended after the report: %d\n", killAll(L"notepad.exe"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    const Version* v = nullptr;
    for (const Version& known : kVersions)
        if (argc == 2 && std::wstring(argv[1]) == known.name) v = &known;
    if (!v) {
        std::fprintf(stderr, "usage: vx_e2e_versions_driver.exe xp|win7|win10\n");
        return 2;
    }
    const std::wstring folder = ownFolder();

    const auto [major, minor] = systemVersion();
    std::printf("Windows %lu.%lu\n", major, minor);
    check(major == v->major && minor == v->minor, "Wine plays the version asked for");
    check(::GetDriveTypeW(L"E:\\") == DRIVE_REMOVABLE, "E: is a removable drive");
    check(saveQuestionsOff(), "the report offers are switched off");

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    checkText(textOf(control(varrex.main, "StaticText1")), L"Versão 2.7.5", "the version box");

    deviceRuns(varrex.pid, varrex.main, *v);
    processList(varrex.main, folder, *v);
    systemReport(varrex.pid, varrex.main);

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    return finish("versions e2e", started);
}
