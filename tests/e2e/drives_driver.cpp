// Plugs a pen drive into Varrex.exe's machine and pulls it out again, as
// Windows announces it: run-drives-e2e.sh maps the removable drive D: before
// the program starts; this driver has Wine's mount manager map the removable
// drive K: on a Linux folder (its argument) and unmap it again while the
// program runs, sends the main window the volume news (WM_DEVICECHANGE with
// a DEV_BROADCAST_VOLUME) and reads both drive lists.
// Last, the news comes while a run shows its result box: the lists must stay
// as they are until the run has returned, and follow then.
//
// Every check prints one line; the exit code is 0 only when all passed.
#include <windows.h>

#include <dbt.h>

#include <winioctl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using namespace std::chrono_literals;
using namespace vx::e2e;

constexpr wchar_t kNewDrive = L'K';

struct DriveListShown {
    std::vector<std::wstring> items;
    std::wstring selected;
    bool operator==(const DriveListShown&) const = default;
};

DriveListShown shown(HWND list) {
    DriveListShown out;
    const LRESULT count = ::SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<size_t>(::SendMessageW(list, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        ::SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(text.find(L'\0'));
        out.items.push_back(text);
    }
    const LRESULT selected = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected >= 0 && selected < count) out.selected = out.items[static_cast<size_t>(selected)];
    return out;
}

std::string describe(const DriveListShown& list) {
    std::wstring all;
    for (const auto& item : list.items) {
        if (!all.empty()) all += L", ";
        all += item;
    }
    std::string out = narrow(all);
    out.insert(out.begin(), '[');
    out.append("] chosen \"").append(narrow(list.selected)).append("\"");
    return out;
}

// Both lists show `expected` (within a few seconds, when `wait`).
void checkLists(HWND main, const DriveListShown& expected, const std::string& what, bool wait = true) {
    for (const char* name : {"DriveComboBox1", "DriveComboBox2"}) {
        HWND list = control(main, name);
        if (wait) waitFor([&] { return shown(list) == expected; }, 10s);
        const DriveListShown got = shown(list);
        check(got == expected, what + " (" + name + ")",
              got == expected ? "" : "got " + describe(got) + ", expected " + describe(expected));
    }
}

// Wine's mount manager, which maps and unmaps drive letters as pen drives
// come and go (winecfg uses the same request): the letters the system lists
// and their drive types follow at once.
constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6D /* 'm' */, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

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

// Maps the new drive as a removable drive on the Linux folder `unixPath`, or
// unmaps it when `unixPath` is empty.
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
    check(done, unixPath.empty() ? "the mount manager unmaps K:" : "the mount manager maps K: as a removable drive",
          done ? "" : "error " + std::to_string(::GetLastError()));
    return done;
}

// Tells the main window what Windows tells every window when a volume comes
// or goes. The message is sent, as Windows sends it: it reaches the window
// procedure even while a handler shows a box.
bool announce(HWND main, WPARAM event) {
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (kNewDrive - L'A');
    DWORD_PTR result = 0;
    const bool answered = ::SendMessageTimeoutW(main, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume),
                                                SMTO_ABORTIFHUNG, 10000, &result) != 0;
    check(answered && result == TRUE, event == DBT_DEVICEARRIVAL ? "the arrival is answered" : "the removal is answered");
    return answered;
}

const std::wstring kNewRoot = std::wstring(1, kNewDrive) + L":\\";

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const auto started = std::chrono::steady_clock::now();
    const std::wstring folder = ownFolder();
    if (argc != 2) {
        std::printf("usage: vx_e2e_drives_driver LINUX_FOLDER_OF_THE_NEW_DRIVE\n");
        return 2;
    }
    const std::string stick = narrow(argv[1]);

    check(::GetDriveTypeW(L"D:\\") == DRIVE_REMOVABLE, "D: is a removable drive");
    check(::GetDriveTypeW(kNewRoot.c_str()) == DRIVE_NO_ROOT_DIR, "K: is not there yet");

    Program program = startVarrex(folder);
    if (!program.main) return finish("drives", started);
    HWND main = program.main;
    const DriveListShown before{{L"D:"}, L"D:"};
    const DriveListShown plugged{{L"D:", L"K:"}, L"K:"};
    checkLists(main, before, "at start the lists hold the removable D: alone", false);

    // --- a pen drive plugged in ---------------------------------------------------
    if (mapNewDrive(stick)) {
        const UINT type = ::GetDriveTypeW(kNewRoot.c_str());
        check(type == DRIVE_REMOVABLE, "K: is a removable drive", "type " + std::to_string(type));
        announce(main, DBT_DEVICEARRIVAL);
        checkLists(main, plugged, "the new pen drive is listed and chosen");
    }

    // --- pulled out -------------------------------------------------------------------
    if (mapNewDrive({})) {
        announce(main, DBT_DEVICEREMOVECOMPLETE);
        checkLists(main, before, "the pulled-out drive leaves both lists");
    }

    // --- plugged in while a run shows its result box ---------------------------------
    ::PostMessageW(control(main, "BitBtn9"), BM_CLICK, 0, 0);
    Box box = waitForBox(program.pid, main, 60s);
    check(box.hwnd != nullptr, "the device check of D: shows its result box");
    if (box.hwnd && mapNewDrive(stick)) {
        announce(main, DBT_DEVICEARRIVAL);
        std::this_thread::sleep_for(500ms);
        checkLists(main, before, "the lists wait while the run's box is up", false);
        closeBox(box.hwnd);
        // The save offer follows the verdict (both switches start on).
        if (HWND question = waitForTopBox(program.pid, 20s)) closeBox(question, IDNO);
        check(settled(main), "the run returns");
        checkLists(main, plugged, "after the run the lists follow the pen drive");
    }

    screenshot(folder, main, "e2e-drives");
    closeVarrex(program);
    mapNewDrive({});
    return finish("drives", started);
}
