// Drives a device check and a device disinfection of Varrex.exe on the
// removable drive E:, as a user would: presses the two buttons, reads the
// result boxes and the activity log, and looks at the drive through Windows
// between the runs. run-device-e2e.sh prepares the prefix, fills E: with a
// sample infected pen drive, takes the screenshots asked for and checks the
// drive's files from Linux afterwards.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

// The entry a drive list shows as selected; empty when none is.
std::wstring selectedDrive(HWND list) {
    const LRESULT index = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(::SendMessageW(list, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.find(L'\0'));
    return text;
}

// Presses a button of the main window and returns the box the run ends with.
// The click is posted: the run happens inside the program's handler, which
// only returns once its result box is closed.
Box press(DWORD pid, HWND main, std::string_view button, const char* what) {
    ::PostMessageW(control(main, button), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 90s);
    check(box.hwnd != nullptr, std::string(what) + " ends with a result box");
    if (box.hwnd) check(box.owner == main, std::string(what) + ": the box belongs to the main window");
    return box;
}

DWORD attributesOf(const wchar_t* path) { return ::GetFileAttributesW(path); }

bool exists(const wchar_t* path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool hiddenOrSystem(const wchar_t* path) {
    const DWORD a = attributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

// The user's folders and the worm's files on the sample drive.
constexpr const wchar_t* kUserFolders[] = {L"E:\\Fotos", L"E:\\Documentos", L"E:\\Trabalho escolar"};
constexpr const wchar_t* kShortcuts[] = {L"E:\\Fotos.lnk", L"E:\\Documentos.lnk", L"E:\\Trabalho escolar.lnk"};

void deviceCheck(DWORD pid, HWND main, const std::wstring& folder) {
    Box box = press(pid, main, "BitBtn9", "the device check");
    if (!box.hwnd) return;
    checkText(box.caption, L"Atenção", "device check box caption");
    checkText(box.text, L"O Dispositivo (E:\\) está Infectado!\rPara remover use o botão \"Desinfectar Dispositivo\"",
              "device check box text");
    // The verdict line is written before the box shows, so the user reads
    // both together.
    checkText(box.lastLogLine,
              L"[VX] *** O Dispositivo (E:\\) está Infectado! Para remover use o botão \"Desinfectar Dispositivo\"",
              "the log shows the verdict line behind the device check box");
    screenshot(folder, main, "e2e-device-check");
    check(closeBox(box.hwnd), "the device check box closes with OK");
    checkRunEnds(pid, main, "the device check");

    const std::vector<std::wstring> log = logOf(main);
    printLog(log, "log after the device check");
    check(log.size() > 1 && log[1].starts_with(L"[VX] - Início da Verificação - "), "check log: start line second");
    checkLinesInOrder(log,
                      {
                          L"[VX] - Varrex - Versão: 2.7.5 - ",
                          L"[VX] - Verificando Dispositivo Externo - Unidade: E:\\",
                          L"[VX] - Listando estrutura de Diretórios...",
                          L"[VX] - Fim da listagem da estrutura de Diretórios...",
                          L"[VX] - >>> Verificando Vírus ...",
                          L"[VX] - Vírus Trashes não encontrado!",
                          L"[VX] > Vírus Drive encontrado!",
                          L"[VX] - Vírus Files não encontrado!",
                          L"[VX] - Pasta Recycle não encontrada!",
                          L"[VX] > Pasta Recycler encontrada! (Pasta de Sistema)",
                          L"[VX] - Pasta System Volume Information não encontrada!",
                          L"[VX] - Vírus dw.dll não encontrado!",
                          L"[VX] - >>> Verificando outros Vírus ...",
                          L"[VX] - Verificando Tipo VBS...",
                          L"[VX] > Item <Infecções 10> encontrado!",
                          L"[VX] - Item <Infecções 10.1> não encontrado!",
                          L"[VX] - Item <Infecções 10.2> não encontrado!",
                          L"[VX] - Verificando Atalhos...",
                          L"[VX] > Item <Infecções 10> encontrado!",
                          L"[VX] - Vírus tipo <*.exe> não encontrado!",
                          L"[VX] - Verificando Tipo JS...",
                          L"[VX] - Verificando Tipo JS1...",
                          L"[VX] > Item <Infecções 10> encontrado!",  // E:\Drive\update.js
                          L"[VX] > Arquivo Autorun.inf encontrado!",
                          L"[VX] *** O Dispositivo (E:\\) está Infectado! Para remover use o botão "
                          L"\"Desinfectar Dispositivo\"",
                      },
                      "check log");
    // x.vbs, USB.exe, the three shortcuts and the script in the folder Drive.
    const int items = count(log, L"[VX] > Item <Infecções 10> encontrado!");
    check(items == 6, "check log: six worm items found", std::to_string(items));
    check(!log.empty() && log.back().starts_with(L"[VX] *** "), "check log: the verdict is the last line");
    // The tree listing: a hidden folder is one line and is not entered.
    check(contains(log, L"[VX] - E:\\Fotos") && contains(log, L"[VX] - E:\\Fotos.lnk") &&
              contains(log, L"[VX] - E:\\autorun.inf"),
          "check log: the root entries are listed");
    check(!contains(log, L"[VX] - E:\\Fotos\\praia.jpg"), "check log: the hidden folder Fotos is not entered");

    // The check removes nothing; it only makes the root's executables normal.
    bool allThere = exists(L"E:\\x.vbs") && exists(L"E:\\Drive.bat") && exists(L"E:\\autorun.inf");
    for (const wchar_t* s : kShortcuts) allThere = allThere && exists(s);
    check(allThere, "the device check leaves the worm's files in place");
    check(hiddenOrSystem(L"E:\\x.vbs") && hiddenOrSystem(L"E:\\Fotos"), "the device check leaves x.vbs and Fotos hidden");
    check(exists(L"E:\\USB.exe") && !hiddenOrSystem(L"E:\\USB.exe"), "the device check made E:\\USB.exe visible");
}

void deviceDisinfection(DWORD pid, HWND main, const std::wstring& folder) {
    Box box = press(pid, main, "BitBtn1", "the device disinfection");
    if (!box.hwnd) return;
    checkText(box.caption, L"Heads up", "disinfection box caption");
    checkText(box.text, L"Vírus Encontrados na Unidade E:\\! Verifique o relatório!", "disinfection box text");
    checkText(box.lastLogLine, L"[VX] > Vírus Encontrados na Unidade E:\\! Verifique o relatório!",
              "the log shows the verdict line behind the disinfection box");
    check(closeBox(box.hwnd), "the disinfection box closes with OK");
    checkRunEnds(pid, main, "the device disinfection");
    screenshot(folder, main, "e2e-device");

    const std::vector<std::wstring> log = logOf(main);
    printLog(log, "log after the device disinfection");
    check(log.size() > 1 && log[1].starts_with(L"[VX] - Início da Verificação - "), "disinfection log: start line");
    checkLinesInOrder(log,
                      {
                          L"[VX] - Varrex - Versão: 2.7.5 - ",
                          L"[VX] - Verificando Mídia Externa E:\\",
                          L"[VX] - Processo [vx001] não está em execução neste computador!",
                          L"[VX] - Processo [vx002] não está em execução neste computador!",
                          L"[VX] - Pastas e arquivos do Drive E:\\ colocados em modo visível",
                          L"[VX] - Arquivo \"Drive.bat\" deletado do Drive E:\\",
                          L"[VX] > Pasta E:\\\\Drive encontrada.",
                          L"[VX] > Pasta E:\\\\Drive renomeada para E:\\RECUPERADOS2.",
                          L"[VX] > Pastas e arquivos do Diretório E:\\RECUPERADOS2\\ colocados em modo visível",
                          L"[VX] > Arquivo E:\\RECUPERADOS2\\update.js Deletado com Sucesso!",
                          L"[VX] - Pasta E:\\RECYCLE\\ não Encontrada!",
                          L"[VX] > Pasta E:\\RECYCLER Deletada com Sucesso!",
                          L"[VX] - Pasta E:\\System Volume Information\\ não Encontrada!",
                          L"[VX] > Arquivo E:\\USB.exe Deletado com Sucesso!",
                          L"[VX] > Arquivo E:\\x.vbs Deletado com Sucesso!",
                          L"[VX] - Nenhum Código/Vírus Encontrado em E:\\Fotos\\",
                          L"[VX] > Arquivo \"autorun.inf\" deletado do Drive E:\\",
                          L"[VX] - Arquivo \"bat.bat\" não encontrado no Drive E:\\",
                          L"[VX] - Processo Concluído com Sucesso!",
                          L"[VX] > Vírus Encontrados na Unidade E:\\! Verifique o relatório!",
                          L"[VX] - Processo Concluído com Sucesso!",
                      },
                      "disinfection log");
    // The shortcuts go in the order the file system lists them.
    for (const wchar_t* s : kShortcuts)
        check(contains(log, L"[VX] > Arquivo " + std::wstring(s) + L" Deletado com Sucesso!"),
              "disinfection log: " + narrow(s) + " deleted");
    check(!log.empty() && log.back() == L"[VX] - Processo Concluído com Sucesso!",
          "disinfection log: the last line is the completion line",
          log.empty() ? "" : printable(log.back()));
    for (const wchar_t* f : kUserFolders)
        check(exists(f) && !hiddenOrSystem(f), narrow(f) + " is visible again");
    check(exists(L"E:\\RECUPERADOS2") && !hiddenOrSystem(L"E:\\RECUPERADOS2"), "E:\\RECUPERADOS2 is visible");
}

// The quarantine tab lists the disinfection just done, with what it kept.
void quarantineTab(HWND main, const std::wstring& folder) {
    HWND tabs = control(main, "PageControl1");
    selectTab(tabs, 3);
    HWND runs = control(main, "ListBox2");
    check(waitFor([&] { return ::IsWindowVisible(runs) != FALSE; }, 5s), "the quarantine tab shows");
    check(::SendMessageW(runs, LB_GETCOUNT, 0, 0) == 1, "the quarantine lists the one disinfection run");
    std::wstring line(static_cast<size_t>(std::max<LRESULT>(::SendMessageW(runs, LB_GETTEXTLEN, 0, 0), 0)), L'\0');
    ::SendMessageW(runs, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line.data()));
    check(line.find(L" - Dispositivo E:\\ - ") != std::wstring::npos, "the run names the device", printable(line));
    check(::SendMessageW(control(main, "ListBox3"), LB_GETCOUNT, 0, 0) > 0, "the chosen run's items are listed");
    screenshot(folder, main, "e2e-device-quarantine");
    selectTab(tabs, 0);
    check(waitFor([&] { return ::IsWindowVisible(control(main, "BitBtn9")) != FALSE; }, 5s), "back on the first tab");
}

// No save question after the runs: both report switches off, on the options
// tab as a user would.
void turnSaveQuestionsOff(HWND main) {
    HWND tabs = control(main, "PageControl1");
    selectTab(tabs, 2);
    waitFor([&] { return ::IsWindowVisible(control(main, "CheckBox1")) != FALSE; }, 5s);
    for (const char* name : {"CheckBox1", "CheckBox2"}) {
        HWND box = control(main, name);
        if (isChecked(box)) ::SendMessageW(box, BM_CLICK, 0, 0);
        check(!isChecked(box), std::string(name) + " is cleared");
    }
    selectTab(tabs, 0);
    check(waitFor([&] { return ::IsWindowVisible(control(main, "BitBtn9")) != FALSE; }, 5s), "back on the first tab");
}

bool writeFile(const wchar_t* path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    HANDLE h = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    ::CloseHandle(h);
    return ok && ::SetFileAttributesW(path, attributes);
}

bool makeFolder(const wchar_t* path, DWORD attributes = FILE_ATTRIBUTE_DIRECTORY) {
    return ::CreateDirectoryW(path, nullptr) && ::SetFileAttributesW(path, attributes);
}

// The worm comes back to the drive disinfected a moment ago: it hides the
// user's new files in ".Trashes" and "Drive" again, and an earlier run's
// "RECUPERADOS" is there too. run-device-e2e.sh checks these bytes from Linux.
void reinfect() {
    constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    bool ok = makeFolder(L"E:\\RECUPERADOS") && writeFile(L"E:\\RECUPERADOS\\antigo.txt", "de uma limpeza antiga\n");
    ok = ok && makeFolder(L"E:\\.Trashes", FILE_ATTRIBUTE_DIRECTORY | kHidden) &&
         writeFile(L"E:\\.Trashes\\carta.docx", "carta para a vovo\n", kHidden) &&
         makeFolder(L"E:\\.Trashes\\Viagem", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN) &&
         writeFile(L"E:\\.Trashes\\Viagem\\mapa.jpg", "mapa da viagem\n") &&
         writeFile(L"E:\\.Trashes\\run.js", "WScript.Echo(1)\n", kHidden);
    ok = ok && makeFolder(L"E:\\Drive", FILE_ATTRIBUTE_DIRECTORY | kHidden) &&
         writeFile(L"E:\\Drive\\notas.xlsx", "notas do semestre\n", FILE_ATTRIBUTE_HIDDEN) &&
         writeFile(L"E:\\Drive.bat", "@echo off\n", kHidden) && writeFile(L"E:\\Fotos.lnk", "L", kHidden);
    check(ok, "the drive is infected again, with an earlier RECUPERADOS and RECUPERADOS2 on it");
}

void secondDisinfection(DWORD pid, HWND main) {
    const DWORD earlier = attributesOf(L"E:\\RECUPERADOS\\antigo.txt");
    Box box = press(pid, main, "BitBtn1", "the second device disinfection");
    if (!box.hwnd) return;
    checkText(box.text, L"Vírus Encontrados na Unidade E:\\! Verifique o relatório!", "second disinfection box text");
    check(closeBox(box.hwnd), "the second disinfection box closes with OK");
    checkRunEnds(pid, main, "the second device disinfection");

    const std::vector<std::wstring> log = logOf(main);
    printLog(log, "log after the second device disinfection");
    checkLinesInOrder(log,
                      {
                          L"[VX] > Pasta E:\\\\.Trashes encontrada.",
                          L"[VX] > Pasta E:\\\\.Trashes renomeada para E:\\RECUPERADOS (2).",
                          L"[VX] > Pastas e arquivos do Diretório E:\\RECUPERADOS (2)\\ colocados em modo visível",
                          L"[VX] > Arquivo E:\\RECUPERADOS (2)\\run.js Deletado com Sucesso!",
                          L"[VX] - Arquivo \"Drive.bat\" deletado do Drive E:\\",
                          L"[VX] > Pasta E:\\\\Drive encontrada.",
                          L"[VX] > Pasta E:\\\\Drive renomeada para E:\\RECUPERADOS2 (2).",
                          L"[VX] > Pastas e arquivos do Diretório E:\\RECUPERADOS2 (2)\\ colocados em modo visível",
                          L"[VX] > Arquivo E:\\Fotos.lnk Deletado com Sucesso!",
                      },
                      "second disinfection log");
    check(!exists(L"E:\\.Trashes") && !exists(L"E:\\Drive"), "the worm folders are gone");
    for (const wchar_t* f : {L"E:\\RECUPERADOS (2)", L"E:\\RECUPERADOS (2)\\carta.docx", L"E:\\RECUPERADOS (2)\\Viagem",
                             L"E:\\RECUPERADOS2 (2)", L"E:\\RECUPERADOS2 (2)\\notas.xlsx"})
        check(exists(f) && !hiddenOrSystem(f), narrow(f) + " is visible");
    check(earlier != INVALID_FILE_ATTRIBUTES && attributesOf(L"E:\\RECUPERADOS\\antigo.txt") == earlier,
          "the earlier RECUPERADOS is untouched");
}

// The program carried on the pen drive and started from its root, under a
// name of its own: the check of the now clean drive says it is clean.
void checkFromTheDrive(const std::wstring& folder) {
    check(::CopyFileW((folder + L"\\Varrex.exe").c_str(), L"E:\\varrex.exe", TRUE) != FALSE,
          "the program is copied to E:\\varrex.exe");
    const Program fromDrive = startVarrex(L"E:", L"varrex.exe");
    if (!fromDrive.main) return;
    turnSaveQuestionsOff(fromDrive.main);
    Box box = press(fromDrive.pid, fromDrive.main, "BitBtn9", "the device check from E:");
    if (box.hwnd) {
        checkText(box.caption, L"Resultado", "clean check box caption");
        checkText(box.text, L"Não foram Encontrados Vírus no Drive E:\\!", "clean check box text");
        check(closeBox(box.hwnd), "the clean check box closes with OK");
        checkRunEnds(fromDrive.pid, fromDrive.main, "the device check from E:");
        const std::vector<std::wstring> log = logOf(fromDrive.main);
        printLog(log, "log of the check started from E:");
        check(!log.empty() && log.back() == L"[VX] *** Não foram Encontrados Vírus no Drive E:\\!",
              "the check from E: ends with the clean verdict");
        check(contains(log, L"[VX] - E:\\varrex.exe"), "the program's file is listed like any other file");
    }
    closeVarrex(fromDrive);
    ::CloseHandle(fromDrive.process);
}

}  // namespace

int wmain() {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring folder = ownFolder();

    // The drive as run-device-e2e.sh made it.
    check(::GetDriveTypeW(L"E:\\") == DRIVE_REMOVABLE, "E: is a removable drive");
    check(hiddenOrSystem(L"E:\\Fotos") && exists(L"E:\\Fotos.lnk"), "E: holds the hidden Fotos and Fotos.lnk");

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    const DWORD pid = varrex.pid;
    HWND main = varrex.main;

    for (const char* name : {"DriveComboBox2", "DriveComboBox1"}) {
        const std::wstring drive = selectedDrive(control(main, name));
        check(drive.starts_with(L"E:"), std::string(name) + " has E: selected", printable(L"\"" + drive + L"\""));
    }

    turnSaveQuestionsOff(main);
    checkText(textOf(control(main, "BitBtn9")), L" Verificar &Dispositivo", "the device check button");
    checkText(textOf(control(main, "BitBtn1")), L" Desin&fectar Dispositivo", "the device disinfection button");

    deviceCheck(pid, main, folder);
    deviceDisinfection(pid, main, folder);
    quarantineTab(main, folder);
    // The copies of the two disinfections are named by the second they were
    // written in.
    ::Sleep(1100);
    reinfect();
    secondDisinfection(pid, main);

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    checkFromTheDrive(folder);
    return finish("device e2e", started);
}
