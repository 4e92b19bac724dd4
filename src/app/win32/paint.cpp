#include "paint.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>

#include "platform/win32/win32_support.h"

namespace vx::view {

namespace {

void drawFocus(HDC dc, const DRAWITEMSTRUCT& item, RECT r) {
    if (!(item.itemState & ODS_FOCUS) || (item.itemState & ODS_NOFOCUSRECT)) return;
    ::InflateRect(&r, -3, -3);
    ::DrawFocusRect(dc, &r);
}

}  // namespace

void drawColoredButton(const DRAWITEMSTRUCT& item, const std::wstring& text, COLORREF textColor, bool hot) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;

    if (HTHEME theme = ::OpenThemeData(item.hwndItem, L"BUTTON")) {
        int state = PBS_NORMAL;
        if (disabled)
            state = PBS_DISABLED;
        else if (pressed)
            state = PBS_PRESSED;
        else if (hot)
            state = PBS_HOT;
        else if (item.itemState & ODS_FOCUS)
            state = PBS_DEFAULTED;
        if (::IsThemeBackgroundPartiallyTransparent(theme, BP_PUSHBUTTON, state))
            ::DrawThemeParentBackground(item.hwndItem, dc, &r);
        ::DrawThemeBackground(theme, dc, BP_PUSHBUTTON, state, &r, nullptr);
        ::CloseThemeData(theme);
    } else {
        ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    }

    RECT textRect = r;
    if (pressed) ::OffsetRect(&textRect, 1, 1);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, disabled ? ::GetSysColor(COLOR_GRAYTEXT) : textColor);
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (item.itemState & ODS_NOACCEL) format |= DT_HIDEPREFIX;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, format);
    drawFocus(dc, item, r);
}

void drawGroupBox(HDC dc, HWND groupBox, const std::wstring& caption, COLORREF textColor, HFONT font) {
    RECT r;
    ::GetClientRect(groupBox, &r);
    win32::SelectedObject selectedFont(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);

    RECT frame = r;
    frame.top += metrics.tmHeight / 2;
    ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);

    if (!caption.empty()) {
        const UINT format = DT_SINGLELINE | DT_LEFT | DT_TOP | DT_HIDEPREFIX;
        RECT text{r.left + 8, r.top, r.right - 8, r.top + metrics.tmHeight};
        ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, format | DT_CALCRECT);
        // The frame line stops on either side of the caption.
        RECT gap = text;
        gap.left -= 1;
        gap.right = std::min<LONG>(gap.right + 1, r.right - 8);
        ::FillRect(dc, &gap, ::GetSysColorBrush(COLOR_BTNFACE));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::IsWindowEnabled(groupBox) ? textColor : ::GetSysColor(COLOR_GRAYTEXT));
        ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, format);
    }
}

void drawDriveButton(const DRAWITEMSTRUCT& item, bool hot) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;

    ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    if (pressed)
        ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (hot)
        ::DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);

    // The picture is drawn on a 16 x 16 grid scaled to the button.
    const int side = std::min(r.right - r.left, r.bottom - r.top);
    const int unit = std::max(1, (side - 6) / 16);
    const int originX = (r.left + r.right - 16 * unit) / 2 + (pressed ? 1 : 0);
    const int originY = (r.top + r.bottom - 16 * unit) / 2 + (pressed ? 1 : 0);
    auto x = [&](int v) { return originX + v * unit; };
    auto y = [&](int v) { return originY + v * unit; };

    // The pens and brushes are made first, so that they outlive the
    // selections below, which give the context its own objects back.
    const win32::GdiObject<HPEN> outline(::CreatePen(PS_SOLID, 1, RGB(80, 80, 80)));
    const win32::GdiObject<HBRUSH> body(::CreateSolidBrush(RGB(208, 208, 208)));
    const win32::GdiObject<HBRUSH> green(::CreateSolidBrush(RGB(0, 176, 0)));
    const win32::GdiObject<HPEN> arrow(::CreatePen(PS_SOLID, std::max(1, unit + unit / 2), RGB(0, 90, 200)));
    const win32::GdiObject<HBRUSH> blue(::CreateSolidBrush(RGB(0, 90, 200)));
    const win32::SelectedObject pen(dc, outline.get());
    const win32::SelectedObject brush(dc, body.get());

    // The drive: a grey box with a green light.
    ::RoundRect(dc, x(1), y(10), x(15) + 1, y(16), 2 * unit, 2 * unit);
    RECT light{x(11), y(12), x(13), y(14)};
    ::FillRect(dc, &light, green.get());

    // The arrow: a blue circle open on its right, drawn from its upper end
    // round to its lower end, where the head points up into the gap.
    ::SelectObject(dc, arrow.get());
    ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Arc(dc, x(3), y(0), x(12), y(9), x(12), y(1), x(12), y(8));
    ::SelectObject(dc, blue.get());
    ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    const POINT head[3] = {{x(12), y(2)}, {x(9), y(7)}, {x(15), y(7)}};
    ::Polygon(dc, head, 3);
    drawFocus(dc, item, r);
}

}  // namespace vx::view
