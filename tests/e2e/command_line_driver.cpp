// Drives what Varrex.exe's command line shares with its window
// (run-command-line-e2e.sh runs the command lines themselves from cmd):
//
//   vx_e2e_command_line_driver LOG_FILE LINUX_FOLDER_OF_THE_NEW_DRIVE
//
//  1. a usage error started directly: exit 3, and no window of the program
//     ever shows while it runs;
//  2. the window disinfects the sample drive E:; while its verdict box is up
//     (the run holds the machine's run lock) a command line started from cmd
//     ends with exit 4 and changes nothing; the window's log is written to
//     LOG_FILE (UTF-8, CR LF) for the script to compare with the command
//     line's log of the same run;
//  3. with " Verificar dispositivo ao ser inserido " ticked, the removable
//     drive K: is mapped on the Linux folder (the technique of the drive-list
//     test) and announced twice: the device check of K: runs once and its
//     verdict box shows.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <dbt.h>

#include <winioctl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

constexpr wchar_t kNewDrive = L'K';

// Runs a command line to its end and gives its exit code (-1 when it could
// not start, -2 when it did not end within `limit`). While it runs, every
// top-level window of the process is counted into `windows`.
int runToEnd(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder,
             std::chrono::milliseconds limit, size_t* windows = nullptr) {
    HANDLE process = start(exe, arguments, folder);
    if (!process) return -1;
    const DWORD pid = ::GetProcessId(process);
    const auto until = std::chrono::steady_clock::now() + limit;
    while (::WaitForSingleObject(process, 5) == WAIT_TIMEOUT) {
        if (windows) *windows += windowsOfProcess(pid).size();
        if (std::chrono::steady_clock::now() > until) {
            ::TerminateProcess(process, 1);
            ::CloseHandle(process);
            return -2;
        }
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return static_cast<int>(code);
}

// Wine's mount manager maps and unmaps drive letters as pen drives come and
// go (see drives_driver.cpp).
constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRequest {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

bool mapNewDrive(const std::string& unixPath) {
    std::vector<char> buffer(sizeof(UnixDriveRequest) + unixPath.size() + 1, '\0');
    auto* request = reinterpret_cast<UnixDriveRequest*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->letter = static_cast<WCHAR>(kNewDrive - L'A' + L'a');
    request->type = unixPath.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_REMOVABLE;
    if (!unixPath.empty()) {
        request->mountPointOffset = static_cast<USHORT>(sizeof(UnixDriveRequest));
        std::copy(unixPath.begin(), unixPath.end(), buffer.begin() + sizeof(UnixDriveRequest));
    }
    HANDLE manager = ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    bool done = false;
    if (manager != INVALID_HANDLE_VALUE) {
        DWORD returned = 0;
        done = ::DeviceIoControl(manager, kDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                                 0, &returned, nullptr) != FALSE;
        ::CloseHandle(manager);
    }
    check(done, unixPath.empty() ? "the mount manager unmaps K:" : "the mount manager maps K: as a removable drive");
    return done;
}

// The volume news Windows sends every window.
void announce(HWND main, WPARAM event) {
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (kNewDrive - L'A');
    DWORD_PTR result = 0;
    const bool answered = ::SendMessageTimeoutW(main, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume),
                                                SMTO_ABORTIFHUNG, 10000, &result) != 0;
    check(answered && result == TRUE, "the volume news is answered at once");
}

bool writeUtf8Lines(const std::wstring& path, const std::vector<std::wstring>& lines) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    for (const std::wstring& line : lines) std::fprintf(f, "%s\r\n", narrow(line).c_str());
    return std::fclose(f) == 0;
}

int headerCount(const std::vector<std::wstring>& log) { return count(log, L"[VX] - Varrex - Versão: 2.7.5 - "); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    if (argc != 3) {
        std::printf(
            "usage: vx_e2e_command_line_driver LOG_FILE "
            "LINUX_FOLDER_OF_THE_NEW_DRIVE\n");
        return 2;
    }
    const std::wstring logFile = argv[1];
    const std::string stick = narrow(argv[2]);
    const std::wstring folder = ownFolder();
    const std::wstring varrex = folder + L"\\Varrex.exe";

    // --- 1. a usage error never makes a window
    // ------------------------------------------
    size_t windows = 0;
    const int usage = runToEnd(varrex, L"/check-device Q: /nonsense", folder, 60s, &windows);
    check(usage == 3, "a usage error ends with exit code 3", "exit code " + std::to_string(usage));
    check(windows == 0, "no window is ever made for it", std::to_string(windows) + " seen");

    // --- 2. the window's disinfection, and a command line beside it
    // ---------------------
    Program program = startVarrex(folder);
    if (!program.main) return finish("command line", started);
    HWND main = program.main;
    ::PostMessageW(control(main, "BitBtn1"), BM_CLICK, 0, 0);
    Box verdict = waitForBox(program.pid, main, 120s);
    check(verdict.text == L"Vírus Encontrados na Unidade E:\\! Verifique o relatório!",
          "the window's disinfection shows its verdict", printable(verdict.text));
    if (verdict.hwnd) {
        const std::wstring cmd = L"C:\\windows\\system32\\cmd.exe";
        const int beside = runToEnd(cmd, L"/c Varrex.exe /disinfect-device E: /log:beside.txt", folder, 60s);
        check(beside == 4, "a command line beside the window's run ends with exit code 4",
              "exit code " + std::to_string(beside));
        closeBox(verdict.hwnd);
        // Both report offers start on: the save question follows.
        if (HWND question = waitForTopBox(program.pid, 30s)) closeBox(question, IDNO);
        checkRunEnds(program.pid, main, "the window's disinfection");
    }
    const std::vector<std::wstring> windowLog = logOf(main);
    check(writeUtf8Lines(logFile, windowLog), "the window's log is written for the script");

    // --- 3. the check on insertion
    // ------------------------------------------------------
    selectTab(control(main, "PageControl1"), 2);
    HWND box3 = control(main, "CheckBox3");
    check(box3 != nullptr, "the options tab has the insertion check box");
    checkText(textOf(box3), L" Verificar dispositivo ao ser inserido ", "its caption");
    check(!isChecked(box3), "it starts unticked");
    ::SendMessageW(box3, BM_CLICK, 0, 0);
    check(waitFor([&] { return isChecked(box3); }, 10s), "a click ticks it");
    settled(main);

    if (mapNewDrive(stick)) {
        announce(main, DBT_DEVICEARRIVAL);
        announce(main,
                 DBT_DEVICEARRIVAL);  // news that repeats itself starts no second check
        Box checked = waitForBox(program.pid, main, 120s);
        check(checked.hwnd != nullptr, "the inserted drive's verdict box shows");
        checkText(checked.text,
                  L"O Dispositivo (K:\\) está Infectado!\rPara remover use o botão "
                  L"\"Desinfectar Dispositivo\"",
                  "the verdict is that of K:");
        const std::vector<std::wstring> log = logOf(main);
        check(log.size() > 2 && log[2] == L"[VX] - Verificando Dispositivo Externo - Unidade: K:\\",
              "the device check ran on K:", log.size() > 2 ? printable(log[2]) : "a short log");
        closeBox(checked.hwnd);
        if (HWND question = waitForTopBox(program.pid, 30s)) closeBox(question, IDNO);
        checkRunEnds(program.pid, main, "the insertion check", 10s);
        std::this_thread::sleep_for(3s);
        check(topWindows(program.pid, L"#32770").empty(), "no second check follows");
        check(headerCount(logOf(main)) == 1, "the log holds one run");
        screenshot(folder, main, "e2e-command-line-insertion");
        mapNewDrive({});
        announce(main, DBT_DEVICEREMOVECOMPLETE);
        settled(main);
    }

    closeVarrex(program);
    return finish("command line", started);
}
