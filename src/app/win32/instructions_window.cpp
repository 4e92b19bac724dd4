#include "instructions_window.h"

#include "layout.h"
#include "text.h"
#include "view_ids.h"

namespace vx::view {

namespace {

// Dialog-style frame: caption and close box, no resizing, no minimise or
// maximise.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
constexpr COLORREF kNavy = RGB(0, 0, 128);

HWND createChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y, int w,
                 int h, int id, HFONT font, int dpi) {
    HWND child =
        ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, scaled(x, dpi), scaled(y, dpi),
                          scaled(w, dpi), scaled(h, dpi), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

}  // namespace

InstructionsWindow::InstructionsWindow(std::function<void()> closed) : closed_(std::move(closed)) {}

InstructionsWindow::~InstructionsWindow() {
    closed_ = nullptr;
    close();
}

bool InstructionsWindow::registerClass(HINSTANCE instance, HICON icon, HICON smallIcon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kInstructionsWindowClass;
    return ::RegisterClassExW(&wc) != 0;
}

bool InstructionsWindow::open(HINSTANCE instance, const std::wstring& title, const std::wstring& closeCaption,
                              const std::vector<std::string>& lines, HFONT uiFont, HFONT textFont) {
    if (hwnd_) return true;
    const int dpi = screenDpi();
    const RECT frame = centredWindowRect(kInstructionsWidth, kInstructionsHeight, kStyle, kExStyle, dpi);
    hwnd_ = ::CreateWindowExW(kExStyle, kInstructionsWindowClass, title.c_str(), kStyle, frame.left, frame.top,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (!hwnd_) return false;

    const InstructionsLayout& l = kInstructionsLayout;
    memo_ =
        createChild(hwnd_, L"EDIT", L"", WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                    WS_EX_CLIENTEDGE, l.memoX, l.memoY, l.memoWidth, l.memoHeight, kInstructionsMemoId, textFont, dpi);
    closeButton_ = createChild(hwnd_, L"BUTTON", closeCaption.c_str(), WS_TABSTOP | BS_PUSHBUTTON, 0, l.closeX,
                               l.closeY, l.closeWidth, l.closeHeight, kInstructionsCloseId, uiFont, dpi);

    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += L"\r\n";
        appendWide(text, lines[i]);
    }
    ::SendMessageW(memo_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    // From the first line, with nothing selected.
    ::SendMessageW(memo_, EM_SETSEL, 0, 0);
    ::SendMessageW(memo_, EM_SCROLLCARET, 0, 0);

    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetFocus(closeButton_);
    bringToFront();
    return true;
}

void InstructionsWindow::bringToFront() {
    if (!hwnd_) return;
    if (::IsIconic(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
    ::SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(hwnd_);
}

void InstructionsWindow::close() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

bool InstructionsWindow::preTranslate(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
    return ::IsDialogMessageW(hwnd_, &msg) != FALSE;
}

LRESULT InstructionsWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kInstructionsCloseId && HIWORD(wParam) == BN_CLICKED) {
                close();
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == memo_) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, kNavy);
                ::SetBkColor(dc, ::GetSysColor(COLOR_SCROLLBAR));
                return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_SCROLLBAR));
            }
            break;
        case WM_CLOSE:
            close();
            return 0;
        case WM_DESTROY:
            detach();
            memo_ = closeButton_ = nullptr;
            if (closed_) closed_();
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace vx::view
