#include "log_memo.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/win32/win32_support.h"
#include "text.h"

namespace vx::view {

namespace {

constexpr wchar_t kLogClass[] = L"VarrexLog";

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kSilver = RGB(192, 192, 192);
// Blank space between the frame and the text, as an edit box leaves.
constexpr int kMargin = 2;
constexpr UINT kTextFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS;

enum MenuItem : UINT { kCopy = 1, kSelectAll = 2 };

bool registerLogClass(HINSTANCE instance) {
    static bool registered = false;
    if (registered) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = LogMemo::windowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kLogClass;
    registered = ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

// The height of one line of the log wrapped to `width`: at least one text
// line, so an empty line keeps its place.
int textHeight(HDC dc, const std::wstring& text, int width, int minimum) {
    RECT r{0, 0, width, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, kTextFormat | DT_CALCRECT);
    return std::max(static_cast<int>(r.bottom - r.top), minimum);
}

}  // namespace

HWND LogMemo::create(HWND parent, int id, const RECT& bounds, HFONT font) {
    if (hwnd_) return hwnd_;
    auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    if (!registerLogClass(instance)) return nullptr;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | WS_GROUP;
    HWND view = ::CreateWindowExW(WS_EX_CLIENTEDGE, kLogClass, L"", style, bounds.left, bounds.top,
                                  bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    if (view) ::SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return view;
}

HFONT createLogMemoFont(int dpi) {
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(8, dpi, 72);
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(lf.lfFaceName, L"Arial", LF_FACESIZE);
    return ::CreateFontIndirectW(&lf);
}

LogMemo::LogMemo(const scan::ActivityLog& log, std::function<bool()> portuguese)
    : log_(log), portuguese_(std::move(portuguese)) {}

// A window that outlives its object gets the default handling from here on.
LogMemo::~LogMemo() { detach(); }

void LogMemo::flush() {
    const size_t count = log_.size();
    if (drawn_ && generation_ == log_.generation() && shown_ == count) return;
    if (!drawn_ || generation_ != log_.generation()) {
        // A new log (a run clears it): the view starts over at its end.
        follow_ = true;
        top_ = 0;
        anchor_ = active_ = kNone;
        selecting_ = false;
    }
    drawn_ = true;
    generation_ = log_.generation();
    shown_ = count;
    textValid_ = false;
    if (!follow_) top_ = std::min(top_, lastTop());
    ++updates_;
    updateScrollBar();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

// ---------------------------------------------------------------------------
// Layout and painting
// ---------------------------------------------------------------------------

void LogMemo::paint(HDC target, const RECT& client) {
    // Drawn off screen first, so a view repainted many times a second during
    // a run does not flicker.
    const int width = client.right - client.left, height = client.bottom - client.top;
    const win32::MemoryDc memory(target);
    const win32::GdiObject<HBITMAP> bitmap(::CreateCompatibleBitmap(target, std::max(width, 1), std::max(height, 1)));
    if (!memory.get() || !bitmap) return;
    HDC dc = memory.get();
    const win32::SelectedObject bitmapIn(dc, bitmap.get());
    const win32::SelectedObject fontIn(dc, font_);
    {
        const win32::GdiObject<HBRUSH> background(::CreateSolidBrush(kSilver));
        ::FillRect(dc, &client, background.get());
    }
    ::SetBkMode(dc, TRANSPARENT);

    rows_.clear();
    const int textWidth = std::max(width - 2 * kMargin, 1);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    const int oneLine = std::max(1, static_cast<int>(tm.tmHeight));
    const size_t count = std::min(shown_, log_.size());
    if (count > 0) {
        // Following the log, the last line ends at the bottom edge; otherwise
        // the top line starts at the top edge.
        size_t first = std::min(top_, count - 1);
        int y = 0;
        if (follow_) {
            first = count;
            int used = 0;
            while (first > 0 && used < height) {
                --first;
                used += textHeight(dc, widen(log_.lines()[first]), textWidth, oneLine);
            }
            y = height - used;
            if (y > 0) y = 0;  // the whole log fits: it starts at the top
        }
        const size_t low = std::min(anchor_, active_), high = anchor_ == kNone ? kNone : std::max(anchor_, active_);
        for (size_t line = first; line < count && y < height; ++line) {
            std::wstring text = widen(log_.lines()[line]);
            const int h = textHeight(dc, text, textWidth, oneLine);
            RECT r{kMargin, y, kMargin + textWidth, y + h};
            const bool chosen = anchor_ != kNone && line >= low && line <= high;
            if (chosen) {
                RECT band{0, y, width, y + h};
                ::FillRect(dc, &band, ::GetSysColorBrush(COLOR_HIGHLIGHT));
            }
            ::SetTextColor(dc, chosen ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : kNavy);
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, kTextFormat);
            rows_.push_back(Row{line, y, y + h});
            y += h;
        }
    }

    ::BitBlt(target, client.left, client.top, width, height, dc, 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------
// Scrolling: the scroll bar counts lines of the log, wrapped or not
// ---------------------------------------------------------------------------

int LogMemo::pageLines() const {
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    const win32::WindowDc dc(hwnd_);
    const win32::SelectedObject fontIn(dc.get(), font_);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc.get(), &tm);
    return std::max(1, static_cast<int>(client.bottom / std::max(1L, tm.tmHeight)));
}

size_t LogMemo::lastTop() const {
    const size_t page = static_cast<size_t>(pageLines());
    return shown_ > page ? shown_ - page : 0;
}

void LogMemo::updateScrollBar() {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = shown_ > 0 ? static_cast<int>(std::min<size_t>(shown_ - 1, 0x7FFFFFFE)) : 0;
    si.nPage = static_cast<UINT>(pageLines());
    si.nPos = static_cast<int>(std::min<size_t>(follow_ ? lastTop() : top_, 0x7FFFFFFE));
    ::SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
}

void LogMemo::scrollTo(size_t top) {
    const size_t last = lastTop();
    follow_ = top >= last;
    top_ = std::min(top, last);
    updateScrollBar();
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogMemo::scrollBy(long long lines) {
    const long long from = static_cast<long long>(follow_ ? lastTop() : top_);
    scrollTo(static_cast<size_t>(std::max(0LL, from + lines)));
}

// ---------------------------------------------------------------------------
// Choosing and copying lines
// ---------------------------------------------------------------------------

size_t LogMemo::lineAt(int y) const {
    if (rows_.empty()) return kNone;
    if (y < rows_.front().top) return rows_.front().line;
    for (const Row& row : rows_)
        if (y < row.bottom) return row.line;
    return rows_.back().line;
}

void LogMemo::select(size_t line, bool extend) {
    if (line == kNone) return;
    if (!extend || anchor_ == kNone) anchor_ = line;
    active_ = line;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogMemo::selectAll() {
    if (shown_ == 0) return;
    anchor_ = 0;
    active_ = shown_ - 1;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void LogMemo::copySelection() const {
    if (anchor_ == kNone || shown_ == 0) return;
    const size_t low = std::min(anchor_, active_), high = std::min(std::max(anchor_, active_), shown_ - 1);
    std::wstring text;
    for (size_t line = low; line <= high; ++line) {
        if (line > low) text += L"\r\n";
        appendWide(text, log_.lines()[line]);
    }
    if (!::OpenClipboard(hwnd_)) return;
    ::EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = ::GlobalLock(memory)) {
            std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(p));
            ::GlobalUnlock(memory);
            if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
        } else {
            ::GlobalFree(memory);
        }
    }
    ::CloseClipboard();
}

void LogMemo::contextMenu(LPARAM at) {
    const bool pt = portuguese_ && portuguese_();
    HMENU menu = ::CreatePopupMenu();
    if (!menu) return;
    ::AppendMenuW(menu, MF_STRING | (anchor_ == kNone ? MF_GRAYED : 0), kCopy, pt ? L"&Copiar\tCtrl+C" : L"&Copy\tCtrl+C");
    ::AppendMenuW(menu, MF_STRING | (shown_ == 0 ? MF_GRAYED : 0), kSelectAll,
                  pt ? L"Selecionar &tudo\tCtrl+A" : L"Select &All\tCtrl+A");
    POINT p{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (p.x == -1 && p.y == -1) {  // from the keyboard: at the window's corner
        p = POINT{0, 0};
        ::ClientToScreen(hwnd_, &p);
    }
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, p.x, p.y, 0, hwnd_, nullptr));
    ::DestroyMenu(menu);
    if (chosen == kCopy) copySelection();
    if (chosen == kSelectAll) selectAll();
}

const std::wstring& LogMemo::wholeText() {
    if (!textValid_) {
        text_.clear();
        const size_t count = std::min(shown_, log_.size());
        for (size_t i = 0; i < count; ++i) {
            if (i > 0) text_ += L"\r\n";
            appendWide(text_, log_.lines()[i]);
        }
        textValid_ = true;
    }
    return text_;
}

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

LRESULT LogMemo::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(lParam)) ::InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_ERASEBKGND:
            return 1;  // the paint fills the whole view
        case WM_NCDESTROY: {
            HWND self = detach();
            return ::DefWindowProcW(self, message, wParam, lParam);
        }
        case WM_PAINT: {
            const win32::PaintDc dc(hwnd_);
            RECT client{};
            ::GetClientRect(hwnd_, &client);
            paint(dc.get(), client);
            return 0;
        }
        case WM_SIZE:
            updateScrollBar();
            ::InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(wholeText().size());
        case WM_GETTEXT: {
            if (wParam == 0 || lParam == 0) return 0;
            const std::wstring& text = wholeText();
            const size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
            auto* out = reinterpret_cast<wchar_t*>(lParam);
            std::copy_n(text.c_str(), n, out);
            out[n] = L'\0';
            return static_cast<LRESULT>(n);
        }
        case WM_SETTEXT:
            return FALSE;  // the view shows the log, nothing else
        case EM_GETLINECOUNT:
            return static_cast<LRESULT>(std::max<size_t>(shown_, 1));
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_VSCROLL: {
            const long long page = pageLines();
            switch (LOWORD(wParam)) {
                case SB_LINEUP: scrollBy(-1); break;
                case SB_LINEDOWN: scrollBy(1); break;
                case SB_PAGEUP: scrollBy(-page); break;
                case SB_PAGEDOWN: scrollBy(page); break;
                case SB_TOP: scrollTo(0); break;
                case SB_BOTTOM: scrollTo(lastTop()); break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: {
                    // The 32-bit position; the message carries 16 bits only.
                    SCROLLINFO si{};
                    si.cbSize = sizeof si;
                    si.fMask = SIF_TRACKPOS;
                    ::GetScrollInfo(hwnd_, SB_VERT, &si);
                    scrollTo(static_cast<size_t>(std::max(0, si.nTrackPos)));
                    break;
                }
                default: break;
            }
            return 0;
        }
        case WM_MOUSEWHEEL: {
            UINT perNotch = 3;
            ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &perNotch, 0);
            wheel_ += GET_WHEEL_DELTA_WPARAM(wParam);
            const int notches = wheel_ / WHEEL_DELTA;
            wheel_ -= notches * WHEEL_DELTA;
            if (notches != 0)
                scrollBy(perNotch == WHEEL_PAGESCROLL ? -notches * static_cast<long long>(pageLines())
                                                      : -notches * static_cast<long long>(perNotch));
            return 0;
        }
        case WM_KEYDOWN: {
            const bool control = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
            const long long page = pageLines();
            switch (wParam) {
                case VK_UP: scrollBy(-1); return 0;
                case VK_DOWN: scrollBy(1); return 0;
                case VK_PRIOR: scrollBy(-page); return 0;
                case VK_NEXT: scrollBy(page); return 0;
                case VK_HOME: scrollTo(0); return 0;
                case VK_END: scrollTo(lastTop()); return 0;
                case 'A':
                    if (control) selectAll();
                    return 0;
                case 'C':
                case VK_INSERT:
                    if (control) copySelection();
                    return 0;
                default: break;
            }
            break;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            ::SetFocus(hwnd_);
            ::SetCapture(hwnd_);
            selecting_ = true;
            select(lineAt(GET_Y_LPARAM(lParam)), (wParam & MK_SHIFT) != 0);
            return 0;
        case WM_MOUSEMOVE:
            if (selecting_) select(lineAt(GET_Y_LPARAM(lParam)), true);
            return 0;
        case WM_LBUTTONUP:
            if (selecting_) {
                selecting_ = false;
                ::ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            selecting_ = false;
            return 0;
        case WM_CONTEXTMENU:
            contextMenu(lParam);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace vx::view
