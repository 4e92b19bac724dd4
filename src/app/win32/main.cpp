// Program entry: prepares the process, creates the main window and runs the
// message loop.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "platform/win32/win32_platform.h"
#include "resource.h"

namespace {

constexpr wchar_t kMainWindowClass[] = L"VarrexMainWindow";
constexpr wchar_t kMainWindowTitle[] = L" Varrex";
// Client area at 96 dots per inch.
constexpr int kClientWidth = 739;
constexpr int kClientHeight = 612;
// Fixed border, system menu and minimise only.
constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kMainWindowExStyle = 0;

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

LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = mainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARREX), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARREX), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    return ::RegisterClassExW(&wc) != 0;
}

// The main window, sized for its client area at the screen's resolution and
// centred on the primary screen's work area.
HWND createMainWindow(HINSTANCE instance) {
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    if (dpi <= 0) dpi = 96;

    RECT frame{0, 0, ::MulDiv(kClientWidth, dpi, 96), ::MulDiv(kClientHeight, dpi, 96)};
    ::AdjustWindowRectEx(&frame, kMainWindowStyle, FALSE, kMainWindowExStyle);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;

    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + ((work.right - work.left) - width) / 2;
    int y = work.top + ((work.bottom - work.top) - height) / 2;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;

    return ::CreateWindowExW(kMainWindowExStyle, kMainWindowClass, kMainWindowTitle, kMainWindowStyle, x, y, width,
                             height, nullptr, nullptr, instance, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // An empty floppy or card reader answers with an error, not a system box.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    restrictLibrarySearch();
    // The shell calls (Explorer, default actions, the save dialog) expect a
    // single-threaded apartment on the user-interface thread.
    HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    vx::win32::Win32Platform os;

    int exitCode = 1;
    if (registerMainWindowClass(instance)) {
        if (HWND window = createMainWindow(instance)) {
            os.setOwner(window);
            ::ShowWindow(window, showCommand);
            ::UpdateWindow(window);
            MSG msg{};
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            exitCode = static_cast<int>(msg.wParam);
        }
    }

    if (SUCCEEDED(com)) ::CoUninitialize();
    return exitCode;
}
