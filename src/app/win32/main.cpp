// Program entry: prepares the process; with arguments runs the command line
// without a window, otherwise creates the main window over the model and
// runs the message loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/command_line.h"
#include "app/form1.h"
#include "main_window.h"
#include "platform/win32/win32_platform.h"

namespace {

// The program is often started from a pen drive that may carry planted
// DLLs. Libraries loaded after start-up (by the shell, the common dialogs)
// are then taken from the system folders only, never from the program's
// folder or the current folder.
void restrictLibrarySearch() {
    ::SetDllDirectoryW(L"");
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (FARPROC p = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")) {
        auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(p));
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // An empty floppy or card reader answers with an error, not a system box.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    restrictLibrarySearch();
    // The shell calls (Explorer, default actions, the save dialog) expect a
    // single-threaded apartment on the user-interface thread.
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    int exitCode = 1;
    {
        vx::win32::Win32Platform os;
        const std::vector<std::string> arguments = os.shell().commandLineArguments();
        if (!arguments.empty()) {
            exitCode = vx::app::runCommandLine(os.platform(), arguments);
        } else {
            INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
            ::InitCommonControlsEx(&icc);

            vx::app::TForm1 form(os.platform());
            // A run of the window never goes beside a command line's.
            form.guardRunsWithLock(true);
            vx::view::MainWindow window(os, form);
            if (window.create(instance, showCommand)) {
                MSG msg{};
                BOOL got;
                while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
                    if (window.preTranslate(msg)) continue;
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
                exitCode = got == 0 ? static_cast<int>(msg.wParam) : 1;
            }
        }
    }

    if (SUCCEEDED(com)) ::CoUninitialize();
    return exitCode;
}
