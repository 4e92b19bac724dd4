#include "log_memo.h"

#include "platform/win32/win32_support.h"
#include "text.h"

namespace vx::view {

namespace {

// The largest text an EDIT control accepts (EM_SETLIMITTEXT's maximum for a
// multi-line control).
constexpr WPARAM kLargestText = 0x7FFFFFFE;

constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kSilver = RGB(192, 192, 192);

}  // namespace

HWND createLogMemo(HWND parent, int id, const RECT& bounds, HFONT font) {
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | WS_GROUP | ES_MULTILINE | ES_READONLY |
                        ES_AUTOVSCROLL | ES_NOHIDESEL;
    HWND edit =
        ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, bounds.left, bounds.top, bounds.right - bounds.left,
                          bounds.bottom - bounds.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (!edit) return nullptr;
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(edit, EM_SETLIMITTEXT, kLargestText, 0);
    return edit;
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

HBRUSH logMemoColors(HDC dc) {
    static const win32::GdiObject<HBRUSH> silver(::CreateSolidBrush(kSilver));
    ::SetTextColor(dc, kNavy);
    ::SetBkColor(dc, kSilver);
    return silver.get();
}

LogMemo::LogMemo(HWND edit, const scan::ActivityLog& log) : edit_(edit), log_(log), lastFlushEnd_(::GetTickCount()) {}

void LogMemo::flush() {
    const auto& lines = log_.lines();
    if (!drawn_ || generation_ != log_.generation()) {
        // The log was cleared since the last push: the text starts over.
        batch_.clear();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) batch_ += L"\r\n";
            appendWide(batch_, lines[i]);
        }
        ::SendMessageW(edit_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(batch_.c_str()));
        // Show the newest lines, as appending does.
        const LRESULT end = ::SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0);
        ::SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(end), end);
        ::SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
        drawn_ = true;
        generation_ = log_.generation();
        shown_ = lines.size();
        ++updates_;
    } else if (shown_ < lines.size()) {
        // Every line but the very first of the text starts with a line break.
        batch_.clear();
        for (size_t i = shown_; i < lines.size(); ++i) {
            if (i > 0) batch_ += L"\r\n";
            appendWide(batch_, lines[i]);
        }
        const LRESULT end = ::SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0);
        ::SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(end), end);
        // No undo record: the log is never edited, and an undo copy of a big
        // run would double its memory.
        ::SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(batch_.c_str()));
        shown_ = lines.size();
        ++updates_;
    }
    // A big run's batch would otherwise keep its memory until the next run.
    if (batch_.capacity() > (1u << 20)) std::wstring().swap(batch_);
}

void LogMemo::lineAppended() {
    // Unsigned differences: correct across the tick counter's wrap.
    const DWORD start = ::GetTickCount();
    const DWORD pause = lastFlushCost_ * kBackoffFactor;
    if (start - lastFlushEnd_ < (pause > kFlushIntervalMs ? pause : kFlushIntervalMs)) return;
    flush();
    // The handler that writes the log runs without returning to the message
    // loop; the control paints its new lines now so the run shows progress.
    ::UpdateWindow(edit_);
    lastFlushEnd_ = ::GetTickCount();
    lastFlushCost_ = lastFlushEnd_ - start;
}

}  // namespace vx::view
