// Drives Varrex.exe on a computer whose start-up runs a worm's code through
// interpreters: a shortcut in the user's Startup folder (made here with
// IShellLinkW) that runs a script of the roaming application data through
// wscript, and an HKCU RunOnce value that runs a DLL of the temporary folder
// through rundll32. The driver seeds both, presses the computer check and
// reads what it reports, presses the computer disinfection (its restart
// question answered No) and checks that shortcut, value and both files are
// gone, then restores everything from the Quarantine tab and checks that
// they are back with their bytes and data. run-computer-runs-e2e.sh gives it
// a sanitised prefix and checks the result from Linux afterwards.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "quarantine_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

const wchar_t* const kRunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t* const kValueName = L"lpsvc";
const wchar_t* const kValueData = L"rundll32.exe \"%LOCALAPPDATA%\\Temp\\lp.dat\",DllRegisterServer";
const char kScript[] = "Set s = CreateObject(\"WScript.Shell\")\r\n";
const char kDll[] = "MZ\x90\0 not a real library";

std::wstring specialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? path : L"";
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && written == bytes.size();
}

// A shortcut as Explorer would make it: the target with its variable kept,
// the arguments as given.
bool makeShortcut(const std::wstring& path, const wchar_t* target, const wchar_t* arguments) {
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->SetPath(target)) && SUCCEEDED(link->SetArguments(arguments)) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Save(path.c_str(), TRUE));
    if (file) file->Release();
    link->Release();
    return ok;
}

std::optional<std::wstring> runOnceValue() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunOnceKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t), type = 0;
    const LONG r = ::RegQueryValueExW(key, kValueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (r != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(data);
}

bool seedRunOnce() {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunOnceKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const DWORD size = static_cast<DWORD>((wcslen(kValueData) + 1) * sizeof(wchar_t));
    const LONG r = ::RegSetValueExW(key, kValueName, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(kValueData), size);
    ::RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

// The log line that starts with `start` (letter case ignored: the program
// names the files as the disk lists them).
std::wstring lineStarting(const std::vector<std::wstring>& log, const std::wstring& start) {
    for (const std::wstring& line : log)
        if (lower(line).rfind(lower(start), 0) == 0) return line;
    return L"";
}

void expectLine(const std::vector<std::wstring>& log, const std::wstring& line, const char* what) {
    const std::wstring found = lineStarting(log, line);
    check(!found.empty() && lower(found) == lower(line), what, printable(found.empty() ? line : found));
}

}  // namespace

int wmain() {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring folder = ownFolder();
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // --- the seeding -------------------------------------------------------------------
    const std::wstring startup = specialFolder(CSIDL_STARTUP);
    const std::wstring roaming = specialFolder(CSIDL_APPDATA);
    const std::wstring local = specialFolder(CSIDL_LOCAL_APPDATA);
    check(!startup.empty() && !roaming.empty() && !local.empty(), "the shell gives the three folders",
          narrow(startup + L" | " + roaming + L" | " + local));
    const std::wstring lnk = startup + L"\\Atualizador.lnk";
    const std::wstring script = roaming + L"\\Microsoft\\xk.vbs";
    const std::wstring dll = local + L"\\Temp\\lp.dat";
    ::CreateDirectoryW((roaming + L"\\Microsoft").c_str(), nullptr);
    ::CreateDirectoryW((local + L"\\Temp").c_str(), nullptr);
    const std::string scriptBytes(kScript, sizeof kScript - 1), dllBytes(kDll, sizeof kDll - 1);
    check(writeFile(script, scriptBytes) && writeFile(dll, dllBytes), "the script and the DLL are written");
    check(makeShortcut(lnk, L"%windir%\\system32\\wscript.exe", L"//B \"%APPDATA%\\Microsoft\\xk.vbs\""),
          "the Startup shortcut is made");
    const std::string lnkBytes = readAll(lnk);
    check(!lnkBytes.empty(), "the shortcut reads back", std::to_string(lnkBytes.size()) + " bytes");
    check(seedRunOnce() && runOnceValue() == std::optional<std::wstring>(kValueData), "the RunOnce value is set");
    if (failures) return finish("computer runs e2e", started);

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    const DWORD pid = varrex.pid;
    HWND main = varrex.main;
    turnReportsOff(main);
    const std::wstring byValue = std::wstring(L"HKCU\\") + kRunOnceKey + L"\\" + kValueName;

    // --- the check -----------------------------------------------------------------------
    Box box = press(pid, main, "BitBtn7", "the computer check");
    check(box.text.find(L"Vírus Encontrados neste Computador!") == 0, "the check finds a virus", printable(box.text));
    auto log = logOf(main);
    expectLine(log, L"[VX] > Código do vírus encontrado: " + script + L" (executado por " + lnk + L")",
               "check: the shortcut's script");
    expectLine(log, L"[VX] > Código do vírus encontrado: " + dll + L" (executado por " + byValue + L")",
               "check: the RunOnce value's DLL");
    check(fileExists(lnk) && fileExists(script) && fileExists(dll) && runOnceValue(), "the check changed nothing");

    // --- the disinfection ------------------------------------------------------------------
    box = press(pid, main, "BitBtn2", "the computer disinfection");
    log = logOf(main);
    for (const std::wstring& file : {lnk, script, dll})
        expectLine(log, L"[VX] > Arquivo " + file + L" deletado com sucesso!", "disinfection: a file line");
    expectLine(log, L"[VX] > Valor " + byValue + L" deletado com sucesso!", "disinfection: the value line");
    check(!fileExists(lnk) && !fileExists(script) && !fileExists(dll), "shortcut, script and DLL are gone");
    check(!runOnceValue(), "the RunOnce value is gone");
    screenshot(folder, main, "e2e-computer-runs");

    // --- the restore ---------------------------------------------------------------------
    HWND tabs = control(main, "PageControl1");
    selectTab(tabs, 3);
    HWND runs = control(main, "ListBox2");
    check(waitFor([&] { return ::IsWindowVisible(runs) != FALSE; }, 5s), "the Quarantine tab shows");
    const auto runLines = listLines(runs);
    for (const auto& l : runLines) std::printf("    run: %s\n", printable(l).c_str());
    check(indexOf(runLines, L"Computador") >= 0, "the computer's run is listed");
    box = press(pid, main, "Button6", "restoring everything");
    std::printf("    box: %s\n", printable(box.text).c_str());
    check(box.text.starts_with(L"Itens restaurados: ") && box.text.find(L"Não restaurados") == std::wstring::npos,
          "everything is restored");
    check(readAll(lnk) == lnkBytes, "the shortcut is back with its bytes");
    check(readAll(script) == scriptBytes, "the script is back with its bytes");
    check(readAll(dll) == dllBytes, "the DLL is back with its bytes");
    check(runOnceValue() == std::optional<std::wstring>(kValueData), "the RunOnce value is back with its data");

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    ::CoUninitialize();
    return finish("computer runs e2e", started);
}
