// Drives the quarantine of Varrex.exe, run with administrator rights, with
// two things in its way:
//  - a run planted in the per-user store before the program starts, in the
//    store's own format, naming a file of C:\windows\system32 and a Run value
//    of the machine: the Quarantine tab lists it as not restorable here, and
//    "Restore All" writes neither and leaves the run as it was;
//  - a file standing where the machine store's "Varrex" folder belongs
//    (run-quarantine-stores-e2e.sh puts it there): the device disinfection
//    moves it aside, says so in the log, and keeps in a new folder.
// The device run itself is restored with "Restore All" as usual; the script
// checks the drive, the system folder, the registry and the moved file from
// Linux afterwards.
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
#include "platform/win32/win32_platform.h"
#include "quarantine_support.h"
#include "scan/kept_records.h"
#include "scan/quarantine.h"
#include "scan/run_frame.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using namespace vx::e2e;
namespace scan = vx::scan;
namespace platform = vx::platform;

const wchar_t* const kPlantedFile = L"C:\\windows\\system32\\planted.dll";
const std::string kPlantedBytes = "MZ\x90\x00 planted into the system folder by a forged record\r\n"s;
const wchar_t* const kMachineRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kPlantedValue = L"Planted";
const std::wstring kKeptWithoutRights =
    L"guardado sem direitos de administrador; restaure-o iniciando o Varrex sem direitos de administrador";

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

bool writeNew(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    const bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
    return ::CloseHandle(h) && ok;
}

bool machineValueExists(const wchar_t* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool found = ::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return found;
}

// A computer run written into the per-user store the way the program writes
// one, naming places only administrators may write: the system folder's
// planted.dll and a Run value of the machine. Its folder (final "\"), or
// empty when it could not be written.
std::wstring plantUserRun() {
    vx::win32::Win32Crypto crypto;
    vx::win32::Win32Clock clock;
    const platform::DateTime now = clock.now();

    scan::KeptRunHeader header;
    header.device = false;
    header.date = clock.shortDate(now);
    header.time = clock.longTime(now);
    header.maskKey = scan::MaskKey{3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};

    scan::KeptItem file;
    file.kind = scan::KeptKind::File;
    file.id = 1;
    file.path = narrow(kPlantedFile);
    file.attributes = FILE_ATTRIBUTE_ARCHIVE;
    file.content = scan::kPackName;
    file.offset = 0;
    file.size = kPlantedBytes.size();
    auto sha = crypto.sha256();
    if (!sha) return {};
    sha->update(reinterpret_cast<const uint8_t*>(kPlantedBytes.data()), kPlantedBytes.size());
    file.sha256 = platform::hexDigest(sha->finish());
    std::string pack = kPlantedBytes;
    scan::transformContent(reinterpret_cast<uint8_t*>(pack.data()), pack.size(), 0, header.maskKey);

    scan::KeptItem value;
    value.kind = scan::KeptKind::Value;
    value.id = 2;
    value.root = platform::RootKey::LocalMachine;
    value.keyPath = narrow(kMachineRunKey);
    value.value = {narrow(kPlantedValue), platform::RegValue::text(narrow(kPlantedFile))};

    const std::string manifest = std::string(scan::kQuarantineVersionLine) + "\r\n" +
                                 scan::formatRunLine(crypto, header) + "\r\n" + scan::formatRecord(crypto, file) +
                                 "\r\n" + scan::formatRecord(crypto, value) + "\r\n";

    const std::wstring store = userStore();
    const std::wstring varrex = store.substr(0, store.size() - std::wstring(L"quarantine\\").size());
    ::CreateDirectoryW(varrex.c_str(), nullptr);
    ::CreateDirectoryW(store.c_str(), nullptr);
    const std::wstring run = store + widen(scan::dateTimeStamp(clock)) + L"\\";
    if (!::CreateDirectoryW(run.c_str(), nullptr)) return {};
    if (!writeNew(run + L"manifest.txt", manifest) || !writeNew(run + L"pack.vxp", pack)) return {};
    return run;
}

bool isFolder(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool isFile(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool endsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int wmain() {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring folder = ownFolder();
    std::wstring varrexFolder = machineStoreParent();
    varrexFolder.pop_back();

    check(isFile(varrexFolder), "a file stands where the machine store's folder belongs", narrow(varrexFolder));
    check(!fileExists(kPlantedFile) && !machineValueExists(kPlantedValue),
          "neither planted.dll nor the machine's Run value \"Planted\" is there");
    const std::wstring planted = plantUserRun();
    check(!planted.empty(), "a run is planted in the per-user store", narrow(planted));
    std::map<std::wstring, std::string> plantedFiles;
    filesUnder(planted, plantedFiles);

    const Program varrex = startVarrex(folder);
    if (!varrex.main) return 1;
    const DWORD pid = varrex.pid;
    HWND main = varrex.main;
    HWND tabs = control(main, "PageControl1");
    turnReportsOff(main);

    // The device run keeps in a new store folder; the file is moved aside.
    press(pid, main, "BitBtn1", "the device disinfection");
    check(!fileExists(L"E:\\Fotos.lnk") && !fileExists(L"E:\\x.vbs"), "the worm files of E: are gone");
    const std::vector<std::wstring> log = logOf(main);
    const std::wstring moveLine = L"[VX] - Quarentena: " + varrexFolder +
                                  L" não era segura e foi movida para " + varrexFolder + L".moved-";
    std::wstring aside;
    int moveLines = 0;
    for (const std::wstring& line : log)
        if (line.starts_with(L"[VX] - Quarentena: ")) {
            std::printf("    log: %s\n", printable(line).c_str());
            ++moveLines;
            if (line.starts_with(moveLine)) aside = line.substr(line.find(L" foi movida para ") + 17);
        }
    check(moveLines == 1 && !aside.empty(), "one log line tells the file was moved aside");
    check(isFile(aside), "the moved file is where the log says", narrow(aside));
    check(isFolder(varrexFolder) && isFolder(machineStore()), "the machine store's folders are made anew");
    check(checkRunFolders(machineStore(), "the machine store") == 1, "the machine store holds the device run");
    checkStoreProtection(machineStoreParent(), "the store's Varrex folder");
    checkStoreProtection(machineStore(), "the store folder");

    // The Quarantine tab lists the planted run, not restorable here.
    selectTab(tabs, 3);
    HWND runs = control(main, "ListBox2");
    HWND items = control(main, "ListBox3");
    check(waitFor([&] { return ::IsWindowVisible(runs) != FALSE; }, 5s), "the Quarantine tab shows");
    auto runLines = listLines(runs);
    for (const auto& l : runLines) std::printf("    run: %s\n", printable(l).c_str());
    const int deviceRun = indexOf(runLines, L" - Dispositivo E:\\ - ");
    const int plantedRun = indexOf(runLines, L" - Computador - 2 itens - ");
    check(runLines.size() == 2 && deviceRun >= 0 && plantedRun >= 0, "the device run and the planted run are listed");
    screenshot(folder, main, "e2e-quarantine-stores");

    choose(runs, {plantedRun}, false);
    auto itemLines = listLines(items);
    for (const auto& l : itemLines) std::printf("    item: %s\n", printable(l).c_str());
    const std::wstring valuePlace = L"HKEY_LOCAL_MACHINE\\" + std::wstring(kMachineRunKey) + L"\\" + kPlantedValue;
    check(itemLines.size() == 2 && indexOf(itemLines, L"Arquivo - " + std::wstring(kPlantedFile) + L" - ") == 0 &&
              indexOf(itemLines, L"Valor - " + valuePlace + L" - ") == 1,
          "the planted run lists its file and its value");
    bool allMarked = !itemLines.empty();
    for (const auto& l : itemLines) allMarked = allMarked && endsWith(l, L" - " + kKeptWithoutRights);
    check(allMarked, "each planted item says it was kept without administrator rights");

    choose(runs, {deviceRun}, false);
    itemLines = listLines(items);
    const int deviceItems = static_cast<int>(itemLines.size());
    check(deviceItems > 0 && indexOf(itemLines, L"guardado sem direitos") < 0,
          "the device run's items are restorable", std::to_string(deviceItems) + " items");

    // "Restore All": the device run comes back, the planted one is refused.
    Box box = press(pid, main, "Button6", "restoring everything");
    std::printf("    box: %s\n", printable(box.text).c_str());
    check(box.text.starts_with(L"Itens restaurados: " + std::to_wstring(deviceItems)) &&
              endsWith(box.text, L"Não restaurados: 2"),
          "the device run is restored and both planted items are not");
    check(!fileExists(kPlantedFile), "planted.dll was not written");
    check(!machineValueExists(kPlantedValue), "the machine's Run value \"Planted\" was not written");
    const std::vector<std::wstring> after = logOf(main);
    for (const std::wstring& place : {std::wstring(kPlantedFile), valuePlace}) {
        const std::wstring refusal = L"[VX] - Não foi possível restaurar " + place + L": " + kKeptWithoutRights;
        check(contains(after, refusal), "the log tells the restore of " + narrow(place) + " was refused");
    }
    for (const std::wstring& line : after)
        if (line.starts_with(L"[VX] > Restaurado: ") && line.find(L"E:\\") == std::wstring::npos)
            check(false, "only the drive's items are restored", printable(line));

    runLines = listLines(runs);
    for (const auto& l : runLines) std::printf("    run left: %s\n", printable(l).c_str());
    check(runLines.size() == 1 && indexOf(runLines, L" - Computador - 2 itens - ") == 0,
          "only the planted run is listed any more");
    check(checkRunFolders(machineStore(), "the machine store") == 0, "the machine store holds no run any more");
    std::map<std::wstring, std::string> plantedAfter;
    filesUnder(planted, plantedAfter);
    check(plantedAfter == plantedFiles, "the planted run's files are as they were written");

    closeVarrex(varrex);
    ::CloseHandle(varrex.process);
    return finish("quarantine stores e2e", started);
}
