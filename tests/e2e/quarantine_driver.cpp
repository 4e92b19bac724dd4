// Drives the quarantine of Varrex.exe as a user would: disinfects the sample
// pen drive E: and the seeded computer, then on the Quarantine tab restores
// one shortcut, one Run value, and then everything. Reads every file of E:
// before the runs, checks that no file the store keeps holds the bytes of any
// of them, and that after "Restore All" every file is back byte for byte (the
// folder "Drive" is back under the name the disinfection gave it) and the
// store is empty. run-quarantine-e2e.sh seeds the prefix and checks the drive
// and the registry from Linux afterwards.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "quarantine_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::optional<std::wstring> runValue(const wchar_t* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t), type = 0;
    const LONG r = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (r != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(data);
}

}  // namespace

int wmain() {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring folder = ownFolder();

    std::map<std::wstring, std::string> before;
    filesUnder(L"E:\\", before);
    check(before.count(L"E:\\Fotos.lnk") && before.count(L"E:\\x.vbs"), "E: holds the sample drive",
          std::to_string(before.size()) + " files");
    check(runValue(L"Microsoft Excel").has_value(), "the Run value \"Microsoft Excel\" is seeded");

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    const DWORD pid = varrex.pid;
    HWND main = varrex.main;

    HWND tabs = control(main, "PageControl1");
    turnReportsOff(main);

    press(pid, main, "BitBtn1", "the device disinfection");
    check(!fileExists(L"E:\\Fotos.lnk") && !fileExists(L"E:\\x.vbs"), "the worm files of E: are gone");
    ::Sleep(1100);  // the two runs' store folders are named by their second
    press(pid, main, "BitBtn2", "the computer disinfection");
    check(!runValue(L"Microsoft Excel"), "the Run value is gone");

    // One run folder each, in the store's format, in folders only
    // administrators may change.
    check(checkRunFolders(machineStore(), "the machine store") == 2, "the machine store holds the two runs");
    checkStoreProtection(machineStoreParent(), "the store's Varrex folder");
    checkStoreProtection(machineStore(), "the store folder");

    // The store holds disguised copies only.
    std::map<std::wstring, std::string> store;
    filesUnder(machineStore(), store);
    int contents = 0;
    bool disguised = true;
    for (const auto& [path, bytes] : store) {
        if (path.size() < 4 || path.substr(path.size() - 4) != L".vxp") continue;
        ++contents;
        for (const auto& [original, originalBytes] : before)
            if (originalBytes.size() >= 8 && bytes.find(originalBytes) != std::string::npos) {
                disguised = false;
                std::printf("    %s holds the bytes of %s\n", narrow(path).c_str(), narrow(original).c_str());
            }
    }
    check(contents > 0, "the store holds pack files", std::to_string(contents));
    check(disguised, "no pack holds the bytes of a file it keeps");

    // The Quarantine tab: two runs, the computer's first.
    selectTab(tabs, 3);
    HWND runs = control(main, "ListBox2");
    HWND items = control(main, "ListBox3");
    check(waitFor([&] { return ::IsWindowVisible(runs) != FALSE; }, 5s), "the Quarantine tab shows");
    checkText(textOf(control(main, "Button6")), L" Restaurar Tudo ", "the restore-all button");
    auto runLines = listLines(runs);
    for (const auto& l : runLines) std::printf("    run: %s\n", printable(l).c_str());
    check(runLines.size() == 2 && runLines[0].find(L"Computador") != std::wstring::npos &&
              runLines[1].find(L"Dispositivo E:\\") != std::wstring::npos,
          "two runs listed, the newest (the computer's) first");
    screenshot(folder, main, "e2e-quarantine");

    // One shortcut of the drive.
    choose(runs, {indexOf(runLines, L"Dispositivo E:\\")}, false);
    auto itemLines = listLines(items);
    const int shortcut = indexOf(itemLines, L"E:\\Fotos.lnk");
    check(shortcut >= 0, "the device run lists E:\\Fotos.lnk", std::to_string(itemLines.size()) + " items");
    choose(items, {shortcut}, true);
    Box box = press(pid, main, "Button5", "restoring the shortcut");
    checkText(box.text, L"Itens restaurados: 1", "one item restored");
    check(readAll(L"E:\\Fotos.lnk") == before[L"E:\\Fotos.lnk"], "E:\\Fotos.lnk is back with its bytes");
    check(contains(logOf(main), L"[VX] > Restaurado: E:\\Fotos.lnk"), "the log names the restored shortcut");

    // One Run value of the computer.
    runLines = listLines(runs);
    choose(runs, {indexOf(runLines, L"Computador")}, false);
    itemLines = listLines(items);
    for (const auto& l : itemLines) std::printf("    item: %s\n", printable(l).c_str());
    int value = -1;  // the value, not the script "Microsoft Excel.WsF"
    for (size_t i = 0; i < itemLines.size(); ++i)
        if (itemLines[i].find(L"Microsoft Excel") != std::wstring::npos &&
            itemLines[i].find(L".WsF") == std::wstring::npos)
            value = static_cast<int>(i);
    check(value >= 0, "the computer run lists the value \"Microsoft Excel\"");
    choose(items, {value}, true);
    box = press(pid, main, "Button5", "restoring the value");
    checkText(box.text, L"Itens restaurados: 1", "one value restored");
    check(runValue(L"Microsoft Excel") == std::optional<std::wstring>(L"wscript.exe Microsoft Excel.WsF"),
          "the Run value is back with its data");

    // Everything else.
    box = press(pid, main, "Button6", "restoring everything");
    std::printf("    box: %s\n", printable(box.text).c_str());
    check(box.text.starts_with(L"Itens restaurados: ") && box.text.find(L"Não restaurados") == std::wstring::npos,
          "everything is restored");
    std::map<std::wstring, std::string> after;
    filesUnder(L"E:\\", after);
    int back = 0;
    for (const auto& [path, bytes] : before) {
        std::wstring now = path;
        if (now.rfind(L"E:\\Drive\\", 0) == 0) now = L"E:\\RECUPERADOS2\\" + now.substr(9);
        const auto it = after.find(now);
        const bool same = it != after.end() && it->second == bytes;
        back += same;
        if (!same) std::printf("    not back: %s\n", narrow(path).c_str());
    }
    check(back == static_cast<int>(before.size()), "every file of E: is back byte for byte",
          std::to_string(back) + " of " + std::to_string(before.size()));
    check(listLines(runs).empty(), "the Quarantine tab lists no run any more");
    std::map<std::wstring, std::string> left;
    filesUnder(machineStore(), left);
    check(left.empty(), "the store is empty", std::to_string(left.size()) + " files left");

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    return finish("quarantine e2e", started);
}
