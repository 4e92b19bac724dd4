// Drives the computer check and the computer disinfection of Varrex.exe as a
// user would, on a Wine prefix that run-computer-e2e.sh has seeded with worm
// files, folders and start-up entries among the user's own files.
//
//   vx_e2e_computer_driver.exe --folders   writes folders.txt beside itself:
//                                          the special folders as the shell
//                                          gives them, for the script's seeding
//   vx_e2e_computer_driver.exe             the end-to-end run (below)
//   vx_e2e_computer_driver.exe --bench     times a check and a disinfection on
//                                          a large ordinary profile and
//                                          writes bench-results.txt
//
// The end-to-end run starts stand-ins under worm process names once the main
// window shows (start-up ends wscript.exe by itself), presses the computer
// check, reads its verdict box and log, answers No to the save question, then
// presses the computer disinfection, answers its verdict box, says No to the
// restart question and to the save question, reads the log, looks at the
// processes and finally checks the computer again, which must now be clean.
// run-computer-e2e.sh checks the files and the registry from Linux afterwards.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <psapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

// --- the special folders ------------------------------------------------------------

struct SpecialFolder {
    const char* key;
    int csidl;  // -1: the temporary folder
};

constexpr SpecialFolder kFolders[] = {
    {"STARTUP", 7},        {"COMMON_STARTUP", 24}, {"APPDATA", 26},       {"LOCAL_APPDATA", 28},
    {"ALTSTARTUP", 29},    {"COMMON_ALTSTARTUP", 30}, {"COMMON_APPDATA", 35}, {"WINDOWS", 36},
    {"PROGRAM_FILES", 38}, {"PROFILE", 40},        {"SYSTEMX86", 41},     {"TEMP", -1},
};

// The folder as the program asks for it: the shell's answer, or empty when
// it has none. The temporary folder ends in a backslash.
std::wstring folderOf(int csidl, HRESULT* result = nullptr) {
    wchar_t path[MAX_PATH + 1] = {};
    if (csidl < 0) {
        const DWORD n = ::GetTempPathW(MAX_PATH, path);
        if (result) *result = n ? S_OK : E_FAIL;
        return n ? path : L"";
    }
    const HRESULT hr = ::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    if (result) *result = hr;
    return SUCCEEDED(hr) ? path : L"";
}

int writeFolders(const std::wstring& own) {
    FILE* f = _wfopen((own + L"\\folders.txt").c_str(), L"wb");
    if (!f) return 1;
    for (const SpecialFolder& sf : kFolders) {
        HRESULT hr = S_OK;
        const std::wstring path = folderOf(sf.csidl, &hr);
        std::fprintf(f, "%s %d 0x%08lx %s\n", sf.key, sf.csidl, static_cast<unsigned long>(hr), narrow(path).c_str());
    }
    std::fclose(f);
    return 0;
}

// --- the program's window -----------------------------------------------------------

// A computer run on a large profile may keep the program busy for long.
constexpr auto kSettleLimit = 120s;

std::string describe(const Box& box) {
    if (!box.hwnd) return "no box";
    std::string out = "\"";
    out += printable(box.caption);
    out += "\": \"";
    out += printable(box.text);
    out += "\"";
    return out;
}

// Expects the next box to be a given one and closes it with `button`.
Box expectBox(DWORD pid, HWND main, const std::wstring& caption, const std::wstring& text, int button,
              const std::string& what, std::chrono::milliseconds limit = 30s) {
    Box box = waitForBox(pid, main, limit);
    const bool ok = box.hwnd && box.caption == caption && box.text == text;
    check(ok, what,
          ok ? "" : "got " + describe(box) + ", expected \"" + printable(caption) + "\": \"" + printable(text) + "\"");
    if (box.hwnd) closeBox(box.hwnd, button);
    return box;
}

bool mentions(const std::vector<std::wstring>& lines, const std::wstring& part) {
    for (const auto& l : lines)
        if (l.find(part) != std::wstring::npos) return true;
    return false;
}

// --- processes and the registry -----------------------------------------------------

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool valueExists(HKEY root, const wchar_t* key, const wchar_t* name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    const bool there = ::RegQueryValueExW(k, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    ::RegCloseKey(k);
    return there;
}

// The automatic log copies "vx-pc-*.txt" in a folder.
std::vector<std::wstring> copiesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW d{};
    HANDLE h = ::FindFirstFileW((folder + L"\\vx-pc-*.txt").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(d.cFileName);
    while (::FindNextFileW(h, &d));
    ::FindClose(h);
    return names;
}

// --- the stand-ins ------------------------------------------------------------------

struct Standin {
    std::wstring name;  // the process name
    HANDLE process = nullptr;
};

// Starts the stand-in copy at `path` and waits until the process list shows it.
Standin startStandin(const std::wstring& path) {
    Standin s;
    s.name = path.substr(path.find_last_of(L'\\') + 1);
    const std::wstring dir = path.substr(0, path.find_last_of(L'\\'));
    s.process = start(path, L"--exit-after=600", dir);
    check(s.process && waitFor([&] { return running(s.name) > 0; }, 20s), narrow(s.name) + " runs", narrow(path));
    return s;
}

void stopStandin(Standin& s) {
    if (!s.process) return;
    if (!ended(s.process, 0)) ::TerminateProcess(s.process, 0);
    ::WaitForSingleObject(s.process, 5000);
    ::CloseHandle(s.process);
    s.process = nullptr;
}

// --- the runs -----------------------------------------------------------------------

struct Folders {
    std::wstring startup, commonStartup, appdata, local, alt, commonAlt, commonAppdata, windows, programFiles,
        profile, systemx86, temp;
};

Folders specialFolders() {
    return {folderOf(7),  folderOf(24), folderOf(26), folderOf(28), folderOf(29), folderOf(30),
            folderOf(35), folderOf(36), folderOf(38), folderOf(40), folderOf(41), folderOf(-1)};
}

const std::wstring kCheckVerdictLine =
    L"[VX] *** Vírus Encontrados neste Computador! Para remover use o botão \"Desinfectar Computador\"";
const std::wstring kCheckVerdictText =
    L"Vírus Encontrados neste Computador!\rPara remover use o botão \"Desinfectar Computador\"";
const std::wstring kCleanedText = L"Vírus Encontrados e eliminados do Computador! Verifique o relatório!";
const std::wstring kDone = L"[VX] - Processo Concluído com Sucesso!";

std::wstring heading(const std::wstring& id) { return L"[VX] - >>> Verificando Vírus Tipo " + id + L" ..."; }
std::wstring found(const std::wstring& id) { return L"[VX] > Vírus Tipo " + id + L" encontrado!"; }
std::wstring notFound(const std::wstring& id) { return L"[VX] - Procurando: Vírus Tipo " + id + L" não encontrado!"; }

const std::wstring kItem = L"[VX] > Item <Infecções 10> encontrado!";
const std::wstring kItemCu = L"[VX] > Item <Infecções 10.1> encontrado!";
const std::wstring kNoItemCu = L"[VX] - Item <Infecções 10.1> não encontrado!";
const std::wstring kItemLm = L"[VX] > Item <Infecções 10.2> encontrado!";
const std::wstring kNoItemLm = L"[VX] - Item <Infecções 10.2> não encontrado!";

void computerCheck(DWORD pid, HWND main, const Folders& f, const std::wstring& own, Standin& wscript,
                   const std::vector<Standin>& others) {
    ::PostMessageW(control(main, "BitBtn7"), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 120s);
    check(box.hwnd != nullptr, "the computer check ends with a result box");
    if (!box.hwnd) return;
    check(box.owner == main, "the check's box belongs to the main window");
    checkText(box.caption, L"Atenção", "check box caption");
    checkText(box.text, kCheckVerdictText, "check box text");
    // The verdict line follows once the box is closed. Last before it: the
    // block on what the Run values run, whose last finding is the machine's
    // value that has the script host run a script of the roaming data.
    checkText(box.lastLogLine,
              L"[VX] > Código do vírus encontrado: " + f.appdata +
                  L"\\Microsoft Office\\macro.WsF (executado por HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Microsoft Excel)",
              "the log shows the last Run value finding behind the check box");
    // A found verdict in Portuguese ends the running scripts first.
    check(ended(wscript.process, 10000) && running(L"wscript.exe") == 0, "wscript.exe was ended before the box");
    bool othersRun = true;
    for (const Standin& s : others) othersRun = othersRun && !ended(s.process, 0);
    check(othersRun, "the check ends no other process");
    screenshot(own, main, "e2e-computer-check");
    check(closeBox(box.hwnd, IDOK), "the check box closes with OK");
    expectBox(pid, main, L"Aviso", L"Deseja salvar o Relatório de Verificação?", IDNO,
              "the check asks whether to save its report");
    checkRunEnds(pid, main, "the computer check", kSettleLimit);

    const auto log = logOf(main);
    printLog(log, "log after the computer check");
    check(log.size() > 1 && log[1].starts_with(L"[VX] - Início da Verificação - "), "check log: start line second");
    checkLinesInOrder(
        log,
        {
            L"[VX] - Varrex - Versão: 2.7.5 - ",
            L"[VX] - Verificando Computador",
            L"[VX] - >>> Verificando Processos ...",
            L"[VX] > Processo 1 encontrado!",
            L"[VX] - Processo 2 não encontrado!",
            L"[VX] > Processo 3 encontrado!",
            L"[VX] > Processo 4 encontrado!",  // lulu.exe
            L"[VX] > Processo 4 encontrado!",  // svccscsvc.exe
            L"[VX] - Processo 5 não encontrado!",
            L"[VX] > Processo 6 encontrado!",
            L"[VX] - >>> Verificando Vírus EXE Tipo 2 ...",
            kItem,  // ProgramData\msupd.exe
            kNoItemCu,
            kItemLm,
            heading(L"A1.1"),
            found(L"A1.1"),
            L"[VX] > Vírus Tipo A1.1 encontrado no registro!",
            L"[VX] > Vírus Tipo A1.1 encontrado no registro!",
            heading(L"A1"),
            found(L"A1"),
            heading(L"1"),
            found(L"1"),  // the profile's MediaSync
            heading(L"2"),
            found(L"2"),  // Roaming\Updater
            heading(L"3"),
            notFound(L"3"),
            heading(L"4"),
            notFound(L"4"),
            heading(L"3.1"),
            notFound(L"3.1"),
            heading(L"4.1"),
            notFound(L"4.1"),
            heading(L"3.1"),
            notFound(L"3.1.1"),
            heading(L"4.1.1"),
            notFound(L"4.1.1"),
            heading(L"5"),
            found(L"5"),
            heading(L"6"),
            notFound(L"6"),
            heading(L"7"),
            found(L"7"),
            heading(L"8"),
            found(L"8"),
            heading(L"9"),
            found(L"9"),
            L"[VX] - Procurando Vírus com extensão WSF...",
            kItem,
            heading(L"WsF"),
            found(L"WsF"),
            heading(L"WsF"),
            found(L"WsF"),
            heading(L"10"),
            kItem,  // Startup\a.js
            heading(L"11"),
            heading(L"12"),
            kItem,  // Roaming\autoplay.js and its HKCU value
            kItemCu,
            kNoItemLm,
            heading(L"13"),
            kItem,
            heading(L"14"),
            kItem,  // ProgramData\pd.js
            heading(L"15"),
            kItem,
            heading(L"16"),
            kItem,
            heading(L"17"),
            kItem,
            heading(L"18"),
            kItem,
            kItem,  // Roaming\Plugins\loader.js and Roaming\Updater\upd.js
            heading(L"19"),
            kItem,  // Program Files\AppX\loader.js
            heading(L"20"),
            kItem,
            heading(L"21"),
            kItem,
            heading(L"22"),
            heading(L"23"),
            kItem,
            heading(L"24"),
            heading(L"25"),
            kItem,
            heading(L"26"),
            kItem,
            heading(L"27"),
            L"[VX] > Vírus Encontrado!",
            heading(L"28"),
            L"[VX] > Vírus Encontrado!",
            heading(L"29"),
            kItem,
            heading(L"29.1"),
            kItem,  // Temp\SysinfY2X.db: its stem SysinfY2 names no value (the
            kNoItemCu,  // disinfection looks up SysinfY2X instead)
            heading(L"30"),
            heading(L"31"),
            heading(L"32"),
            kItem,
            heading(L"33"),
            kItem,
            heading(L"34"),
            heading(L"35"),
            heading(L"36"),
            heading(L"37"),
            heading(L"38"),
            kItem,
            heading(L"39"),
            kItem,
            heading(L"40"),
            found(L"40.1"),
            found(L"40.2"),
            heading(L"41"),
            notFound(L"41"),
            heading(L"41"),
            notFound(L"41"),
            heading(L"42"),
            found(L"42"),
            heading(L"43"),
            found(L"43"),
            heading(L"44"),
            found(L"44"),
            heading(L"45"),
            found(L"45"),
            heading(L"46"),
            found(L"46"),
            heading(L"47"),
            notFound(L"47"),
            heading(L"48"),
            notFound(L"48"),
            heading(L"49"),
            notFound(L"49"),
            heading(L"50"),
            found(L"50"),
            L"[VX] - >>> Verificando Vírus DriverAudio ...",
            L"[VX] > Vírus DriverAudio encontrado!",
            heading(L"51"),
            found(L"51"),
            heading(L"52"),
            notFound(L"52"),
            found(L"53"),
            found(L"54"),
            kCheckVerdictLine,
        },
        "check log");
    check(!log.empty() && log.back() == kCheckVerdictLine, "check log: the verdict is the last line");
    check(count(log, found(L"53")) == 1 && count(log, found(L"54")) == 1,
          "check log: one image command under each root (the upper-case .JPG is no sign)");
    // One line per entry of the profile and of the roaming folder; only the
    // folders holding a small program and a script are found.
    check(count(log, found(L"1")) == 1 && count(log, found(L"2")) == 1,
          "check log: one infected folder in the profile and one in the roaming folder",
          std::to_string(count(log, found(L"1"))) + " / " + std::to_string(count(log, found(L"2"))));
    check(count(log, notFound(L"1")) >= 10, "check log: a not-found line for each other profile entry",
          std::to_string(count(log, notFound(L"1"))));
    // Program Files\Logmein and AVG Secure Search are passed over.
    check(count(log, kItem) == 23, "check log: 23 worm items", std::to_string(count(log, kItem)));
    check(!mentions(log, L"C:\\desktop.exe") && !mentions(log, L"C:\\pccai.lnk"),
          "check log: nothing at the drive root stands in for the missing start-up folders");

    // The check changes nothing.
    check(fileExists(f.appdata + L"\\breakini.exe") && fileExists(f.local + L"\\nefcb") &&
              fileExists(f.commonAppdata + L"\\ASX") && fileExists(f.startup + L"\\atajo.lnk") &&
              fileExists(f.profile + L"\\MediaSync\\wupdate.exe"),
          "the check leaves the worm files in place");
    check(valueExists(HKEY_CURRENT_USER, kRun, L"System") && valueExists(HKEY_LOCAL_MACHINE, kRun, L"HKLM") &&
              valueExists(HKEY_CURRENT_USER, kRun, L"nefcbsvc"),
          "the check leaves the Run values in place");
    check(copiesIn(f.appdata + L"\\varrex").empty(), "the check writes no automatic log copy");
}

void computerDisinfection(DWORD pid, HWND main, const Folders& f, const std::wstring& own) {
    ::PostMessageW(control(main, "BitBtn2"), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 180s);
    check(box.hwnd != nullptr, "the computer disinfection ends with a result box");
    if (!box.hwnd) return;
    check(box.owner == main, "the disinfection's box belongs to the main window");
    checkText(box.caption, L"Atenção", "disinfection box caption");
    checkText(box.text, kCleanedText, "disinfection box text");
    checkText(box.lastLogLine, L"[VX] > " + kCleanedText, "the log shows the verdict line behind the box");
    screenshot(own, main, "e2e-computer");
    check(closeBox(box.hwnd, IDOK), "the disinfection box closes with OK");

    // The restart question. It is answered No.
    Box restart = waitForBox(pid, main, 30s);
    check(restart.hwnd && restart.caption == L"Opções" &&
              restart.text == L"É necessário reiniciar o Computador! Reiniciar agora?",
          "the disinfection asks whether to restart", describe(restart));
    if (restart.hwnd) {
        // Owned by the window, so no second run starts from behind it.
        check(restart.owner == main, "the restart question is modal to the main window");
        checkText(restart.lastLogLine, kDone, "the completion line is written before the restart question");
        const auto roaming = copiesIn(f.appdata + L"\\varrex"), local = copiesIn(f.local + L"\\varrex");
        check(roaming.size() == 1 && local.size() == 1 && roaming == local,
              "both automatic copies are written before the restart question",
              std::to_string(roaming.size()) + " / " + std::to_string(local.size()));
        check(closeBox(restart.hwnd, IDNO), "the restart question closes with No");
    }
    expectBox(pid, main, L"Aviso", L"Deseja salvar o Relatório?", IDNO,
              "the disinfection asks whether to save its report");
    checkRunEnds(pid, main, "the computer disinfection", kSettleLimit);

    const auto log = logOf(main);
    printLog(log, "log after the computer disinfection");
    const std::wstring a = f.appdata, l = f.local, pd = f.commonAppdata, t = f.temp, w = f.windows;
    const std::wstring notRunning = L" não está em execução neste computador!";
    // wscript.exe is ended silently first, so its own line may find it gone
    // (or still dying).
    check(contains(log, L"[VX] > Processo [vx001] finalizado!") != contains(log, L"[VX] - Processo [vx001]" + notRunning),
          "disinfection log: one line for wscript.exe");
    checkLinesInOrder(
        log,
        {
            L"[VX] - Varrex - Versão: 2.7.5 - ",
            L"[VX] - Verificando Computador",
            L"[VX] - Processo [vx002]" + notRunning,
            L"[VX] > Processo [vx003] finalizado!",
            L"[VX] > Processo [vx004] finalizado!",
            L"[VX] > Processo [vx005] finalizado!",
            L"[VX] - Processo [vx006]" + notRunning,
            L"[VX] > Processo [vx007] finalizado!",
            L"[VX] > Processo [vx008] finalizado!",
            L"[VX] - Processo [DriverAudio.exe]" + notRunning,
            L"[VX] - Procurando Vírus com extensão EXE Tipo 2...",
            L"[VX] - Processo [vx009]" + notRunning,
            L"[VX] > Arquivo " + pd + L"\\msupd.exe Deletado com Sucesso!",
            L"[VX] - Chave de Registro msupd não Encontrada!",
            L"[VX] - Chave de Registro msupd Deletada!",
            L"[VX] > Chave de Registro LiveUpdate foi deletada!",
            L"[VX] > Chave de Registro Windows Live foi deletada!",
            L"[VX] > Chave de Registro Live foi deletada!",
            L"[VX] > Pasta " + a + L"\\WindowsUpdate Deletada com Sucesso!",
            L"[VX] > Pasta " + a + L"\\Windows Live Deletada com Sucesso!",
            L"[VX] > Arquivo " + w + L"\\svccscsvc.exe Deletado!",
            L"[VX] > Arquivo " + a + L"\\Meu_pc.zip Deletado!",
            L"[VX] > Arquivo " + a + L"\\breakini.exe Deletado!",
            L"[VX] > Arquivo " + a + L"\\yotsleks.exe Deletado!",
            L"[VX] > Arquivo " + l + L"\\Meu_pc.zip Deletado!",
            L"[VX] > Arquivo " + l + L"\\DriverAudio.exe Deletado!",
            L"[VX] - Pasta " + l + L"\\google_i9\\ não Encontrada!",
            L"[VX] > Pasta " + l + L"\\google_pdf\\ Deletada com Sucesso!",
            L"[VX] > Pasta " + a + L"\\google_i9\\ Deletada com Sucesso!",
            L"[VX] - Pasta " + a + L"\\google_pdf\\ não Encontrada!",
            L"[VX] > Chave Wallpaper Deletada com Sucesso!",
            L"[VX] > Chave Fundo Deletada com Sucesso!",
            L"[VX] > Pasta " + f.profile + L"\\MediaSync está infectada!",
            L"[VX] > Pasta " + f.profile + L"\\MediaSync Deletada com Sucesso!",
            L"[VX] > Pasta " + a + L"\\Updater está infectada!",
            L"[VX] > Pasta " + a + L"\\Updater Deletada com Sucesso!",
            L"[VX] > Arquivo " + f.startup + L"\\atajo.lnk Deletado!",
            L"[VX] > Arquivo " + f.startup + L"\\start.lnk Deletado!",
            L"[VX] > Arquivo " + f.commonStartup + L"\\windows explorer.lnk Deletado!",
            L"[VX] > Arquivo " + f.commonStartup + L"\\empezar.lnk Deletado!",
            L"[VX] - Procurando Vírus com extensão WSF...",
            L"[VX] > Arquivo " + a + L"\\Microsoft Office\\macro.WsF Deletado com Sucesso!",
            L"[VX] > Chave de Registro Microsoft Excel foi deletada!",
            L"[VX] > Chave de Registro Microsoft Excel foi deletada!",
            L"[VX] - Procurando Vírus com extensão JS...",
            L"[VX] > Arquivo " + f.startup + L"\\a.js Deletado com Sucesso!",
            L"[VX] - Nenhum Código/Vírus Encontrado em " + f.commonStartup + L"\\",
            L"[VX] > Arquivo " + a + L"\\autoplay.js Deletado com Sucesso!",
            L"[VX] > Chave de Registro autoplay Deletada!",
            L"[VX] > Arquivo " + l + L"\\cache.js Deletado com Sucesso!",
            L"[VX] > Arquivo " + pd + L"\\pd.js Deletado com Sucesso!",
            L"[VX] > Chave de Registro pd Deletada!",  // the HKLM Policies Run value
            L"[VX] > Arquivo " + f.programFiles + L"\\pf.js Deletado com Sucesso!",
            L"[VX] > Arquivo " + t + L"t.js Deletado com Sucesso!",
            L"[VX] > Arquivo " + t + L"SysinfY2X.db Deletado com Sucesso!",
            L"[VX] > Chave de Registro SysinfY2X Deletada!",
            L"[VX] > Arquivo " + w + L"\\temp\\wt.js Deletado com Sucesso!",
            L"[VX] > Arquivo " + a + L"\\Plugins\\loader.js Deletado com Sucesso!",
            L"[VX] > Arquivo " + f.programFiles + L"\\AppX\\loader.js Deletado com Sucesso!",
            L"[VX] - Procurando Vírus com extensão VBS...",
            L"[VX] > Arquivo " + f.startup + L"\\Image.lnk Deletado!",
            L"[VX] > Arquivo " + f.startup + L"\\b.vbs Deletado com Sucesso!",
            L"[VX] > Arquivo " + a + L"\\x.vbs Deletado com Sucesso!",
            L"[VX] > Arquivo " + pd + L"\\pd.vbs Deletado com Sucesso!",
            L"[VX] > Arquivo " + f.programFiles + L"\\pf.vbs Deletado com Sucesso!",
            L"[VX] > Arquivo " + t + L"t.vbs Deletado com Sucesso!",
            L"[VX] - Procurando Vírus com extensão VBE...",
            L"[VX] > Arquivo " + f.commonStartup + L"\\c.vbe Deletado com Sucesso!",
            L"[VX] > Arquivo " + a + L"\\y.vbe Deletado com Sucesso!",
            L"[VX] > Arquivo " + w + L"\\temp\\wt.vbe Deletado com Sucesso!",
            L"[VX] - Procurando Vírus com extensão EXE na pasta " + f.systemx86 + L"\\install\\",
            L"[VX] > Arquivo " + f.systemx86 + L"\\install\\win32.exe Deletado com Sucesso!",
            L"[VX] > Chave de Registro HKCU foi deletada!",
            L"[VX] > Chave de Registro HKLM foi deletada!",
            L"[VX] - Procurando Vírus com extensão EXE...",
            L"[VX] > Chave de Registro Lnzyzj Deletada!",
            L"[VX] > Arquivo " + a + L"\\Lnzyzj.exe Deletado com Sucesso!",
            L"[VX] > Arquivo " + l + L"\\Lnzyzj.exe Deletado com Sucesso!",
            L"[VX] - Chave de Registro Lnzyzj não Encontrada!",
            L"[VX] - Processo sysguard.exe" + notRunning,
            L"[VX] > Arquivo " + a + L"\\sysguard.exe Deletado!",
            L"[VX] > Chave de Registro Deletada com Sucesso!",
            L"[VX] - Processo lcl.exe" + notRunning,
            L"[VX] > Arquivo " + l + L"\\lcl.exe Deletado!",
            L"[VX] > Chave de Registro Deletada com Sucesso!",
            L"[VX] - Procurando desktop.exe (Sality)...",
            L"[VX] > Pasta " + l.substr(0, 3) + L"Win deletada com sucesso!",
            L"[VX] - Procurando Vírus xcv.exe - Prolifera pela extensão .cpl (Painel de Controle)...",
            L"[VX] > Pasta " + pd + L"\\ASX Deletada com Sucesso!",
            L"[VX] > Chave de Registro xcv.exe Deletada!",
            L"[VX] > Chave de Registro xcv.exe Deletada!",
            L"[VX] - Procurando Vírus dw.dll...",
            L"[VX] > Arquivo " + t + L"dw.dll Deletado com Sucesso!",
            L"[VX] > Arquivo " + w + L"\\temp\\dw.dll Deletado com Sucesso!",
            L"[VX] > Chave de Registro System Deletada!",
            L"[VX] > Chave de Registro System Deletada!",
            L"[VX] - Reparando Funções de Sistema...",
            L"[VX] - Chave de Registro NofolderOptions Deletada!",
            L"[VX] - Chave de Registro NoControlPanel Deletada!",
            L"[VX] - Chave de Registro HomePage Deletada!",
            L"[VX] - Chave de Registro HomePage Deletada!",
            L"[VX] - Chave de Registro DisableConfig Deletada!",
            L"[VX] - Procurando: Vírus DriverAudio não encontrado!",
            L"[VX] > " + kCleanedText,
            kDone,
        },
        "disinfection log");
    // The nefcb values go in the order the registry lists them, the folder
    // after the first value of the walk, once.
    check(count(log, L"[VX] > Chave de Registro nefcbsvc foi deletada!") == 1 &&
              count(log, L"[VX] > Chave de Registro Helper foi deletada!") == 1,
          "disinfection log: both values naming nefcb are deleted");
    check(count(log, L"[VX] > Pasta " + l + L"\\nefcb\\ Deletada com Sucesso!") == 1,
          "disinfection log: the nefcb folder is deleted once");
    check(!log.empty() && log.back() == kDone, "disinfection log: the completion line is the last line",
          log.empty() ? "" : printable(log.back()));
    check(!mentions(log, L"não pôde ser") && !mentions(log, L"Não foi possível") && !mentions(log, L"não pode ser"),
          "disinfection log: nothing failed to go");
    check(!mentions(log, L"C:\\desktop.exe") && !mentions(log, L"C:\\pccai.lnk") && !mentions(log, L"C:\\empezar.lnk"),
          "disinfection log: nothing at the drive root stands in for the missing start-up folders");
}

// The same computer checked again: every sign is gone.
void checkAgain(DWORD pid, HWND main) {
    ::PostMessageW(control(main, "BitBtn7"), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 120s);
    check(box.hwnd && box.caption == L"Resultado" && box.text == L"Nenhum Vírus Encontrado neste Computador!",
          "a second check finds the computer clean", describe(box));
    if (!box.hwnd) return;
    closeBox(box.hwnd, IDOK);
    expectBox(pid, main, L"Aviso", L"Deseja salvar o Relatório de Verificação?", IDNO,
              "the second check asks whether to save its report");
    checkRunEnds(pid, main, "the second check", kSettleLimit);
    const auto log = logOf(main);
    std::vector<std::wstring> foundLines;
    for (const auto& line : log)
        if (line.starts_with(L"[VX] > ")) foundLines.push_back(line);
    std::string detail;
    for (const auto& line : foundLines) detail += printable(line) + " | ";
    check(foundLines.empty(), "the second check's log has no finding", detail);
    check(!log.empty() && log.back() == L"[VX] *** Nenhum Vírus Encontrado neste Computador!",
          "the second check ends with the clean verdict line", log.empty() ? "" : printable(log.back()));
}

// --- the benchmark ------------------------------------------------------------------

// Presses a button, measures the time until the first box, then closes every
// box with No (OK on a box without it) until the handler has returned.
double timedRun(DWORD pid, HWND main, std::string_view button, const char* what, size_t* lines) {
    const auto t0 = std::chrono::steady_clock::now();
    ::PostMessageW(control(main, button), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 600s);
    const double seconds = secondsSince(t0);
    check(box.hwnd != nullptr, std::string(what) + " shows its verdict", describe(box));
    std::printf("%s verdict: %s\n", what, describe(box).c_str());
    if (lines) *lines = logOf(main).size();
    while (box.hwnd) {
        closeBox(box.hwnd, IDNO);
        settled(main, kSettleLimit);
        auto more = topWindows(pid, L"#32770");
        box = readBox(more.empty() ? nullptr : more.front(), main);
        if (box.hwnd) {
            std::printf("%s then asks: %s (answered No)\n", what, describe(box).c_str());
        }
    }
    return seconds;
}

void bench(DWORD pid, HANDLE program, HWND main, const std::wstring& own) {
    size_t checkLines = 0, disinfectionLines = 0;
    const double check = timedRun(pid, main, "BitBtn7", "check", &checkLines);
    const double disinfection = timedRun(pid, main, "BitBtn2", "disinfection", &disinfectionLines);
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    const BOOL memory = ::GetProcessMemoryInfo(program, &pmc, sizeof pmc);
    std::printf("bench: check %.2f s (%zu log lines), disinfection %.2f s (%zu log lines)\n", check, checkLines,
                disinfection, disinfectionLines);
    std::printf("bench: PeakWorkingSetSize %.1f MiB, PeakPagefileUsage %.1f MiB\n",
                memory ? pmc.PeakWorkingSetSize / 1048576.0 : -1.0,
                memory ? pmc.PeakPagefileUsage / 1048576.0 : -1.0);
    if (FILE* f = _wfopen((own + L"\\bench-results.txt").c_str(), L"wb")) {
        std::fprintf(f, "check_seconds=%.3f\ncheck_lines=%zu\ndisinfection_seconds=%.3f\ndisinfection_lines=%zu\n",
                     check, checkLines, disinfection, disinfectionLines);
        std::fprintf(f, "peak_working_set_mib=%.1f\npeak_pagefile_mib=%.1f\n",
                     memory ? pmc.PeakWorkingSetSize / 1048576.0 : -1.0,
                     memory ? pmc.PeakPagefileUsage / 1048576.0 : -1.0);
        std::fclose(f);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring own = ownFolder();
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--folders") return writeFolders(own);
    const bool benchMode = mode == L"--bench";
    const Folders f = specialFolders();

    if (!benchMode) {
        // The seeding as run-computer-e2e.sh left it, seen from Windows.
        check(fileExists(f.appdata + L"\\breakini.exe") && fileExists(f.local + L"\\nefcb\\nefcb.exe") &&
                  fileExists(f.windows + L"\\svccscsvc.exe") && fileExists(f.temp + L"SysinfY2X.db"),
              "the seeded worm files are there");
        check(valueExists(HKEY_CURRENT_USER, kRun, L"Lnzyzj") && valueExists(HKEY_LOCAL_MACHINE, kRun, L"Wallpaper"),
              "the seeded Run values are there");
        const DWORD hidden = ::GetFileAttributesW((f.appdata + L"\\x.vbs").c_str());
        const DWORD both = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
        check(hidden != INVALID_FILE_ATTRIBUTES && (hidden & both) == both, "x.vbs is read-only and hidden");
        const DWORD readOnly = ::GetFileAttributesW((f.profile + L"\\MediaSync\\wupdate.js").c_str());
        check(readOnly != INVALID_FILE_ATTRIBUTES && (readOnly & FILE_ATTRIBUTE_READONLY),
              "MediaSync\\wupdate.js is read-only");
        check(f.alt.empty() && f.commonAlt.empty(), "the shell gives no alternate start-up folders here",
              narrow(f.alt + L" | " + f.commonAlt));
    }

    const Program varrex = startVarrex(own);
    if (!varrex.main) return 1;
    HANDLE program = varrex.process;
    const DWORD pid = varrex.pid;
    HWND main = varrex.main;
    settled(main, kSettleLimit);

    if (benchMode) {
        bench(pid, program, main, own);
    } else {
        checkText(textOf(control(main, "BitBtn7")), L" Verificar &Computador\r\n Unidade: " + f.profile.substr(0, 3),
                  "the computer check button");
        checkText(textOf(control(main, "BitBtn2")),
                  L" Desinfectar Com&putador\r\n Unidade: " + f.profile.substr(0, 3),
                  "the computer disinfection button");
        check(isChecked(control(main, "CheckBox1")) && isChecked(control(main, "CheckBox2")),
              "both report switches are on");

        // The worms run once the program is up: its start-up ends wscript.exe.
        Standin wscript = startStandin(own + L"\\wscript.exe");
        std::vector<Standin> others = {
            startStandin(own + L"\\rundll32.exe"),      startStandin(own + L"\\lulu.exe"),
            startStandin(f.windows + L"\\svccscsvc.exe"), startStandin(f.appdata + L"\\breakini.exe"),
            startStandin(own + L"\\notepad.exe"),       startStandin(own + L"\\calc.exe"),
        };

        computerCheck(pid, main, f, own, wscript, others);

        // The worm's script host is back before the disinfection.
        stopStandin(wscript);
        wscript = startStandin(own + L"\\wscript.exe");
        computerDisinfection(pid, main, f, own);

        check(ended(wscript.process, 10000), "wscript.exe has ended");
        for (Standin& s : others) {
            if (s.name == L"calc.exe")
                check(!ended(s.process, 0), "calc.exe is left running while notepad.exe was ended");
            else
                check(ended(s.process, 10000), narrow(s.name) + " has ended");
        }
        for (const wchar_t* name : {L"wscript.exe", L"rundll32.exe", L"lulu.exe", L"svccscsvc.exe", L"breakini.exe",
                                    L"notepad.exe"})
            check(running(name) == 0, std::string("no ") + narrow(name) + " runs any more");
        for (Standin& s : others) stopStandin(s);
        stopStandin(wscript);

        checkAgain(pid, main);
    }

    closeVarrex(varrex);
    ::CloseHandle(program);
    return finish(benchMode ? "computer bench" : "computer e2e", started);
}
