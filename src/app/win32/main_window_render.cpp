// The model's state drawn onto the controls, touching only what changed.
#include "main_window.h"

#include <commctrl.h>

#include <functional>

#include "paint.h"
#include "text.h"
#include "view_ids.h"

namespace vx::view {

using app::ControlKind;

namespace {

COLORREF colorOf(app::Rgb c) { return RGB(c.r, c.g, c.b); }

// Replaces the lines of a list box without flicker and sets its horizontal
// extent: the widest line in the list box's font, plus 5. `added` is told the
// index each line got.
void refillListBox(HWND list, const std::vector<std::wstring>& texts,
                   const std::function<void(LRESULT, size_t)>& added = {}) {
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    LONG widest = 0;
    {
        win32::WindowDc dc(list);
        win32::SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
        for (size_t i = 0; i < texts.size(); ++i) {
            const std::wstring& text = texts[i];
            const LRESULT at = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            if (added) added(at, i);
            SIZE size{};
            if (::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size) &&
                size.cx > widest)
                widest = size.cx;
        }
    }
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 5), 0);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

}  // namespace

// ---------------------------------------------------------------------------
// Rendering: the model's state onto the controls, touching only what changed
// ---------------------------------------------------------------------------

void MainWindow::render() {
    if (rendering_ || !hwnd_) return;
    rendering_ = true;
    for (View& v : views_) {
        renderControl(v);
        if (v.kind == ControlKind::DriveComboBox) renderDriveList(v);
        if (v.kind == ControlKind::ListBox) renderList(v);
    }
    if (memo_) memo_->flush();
    renderInstructions();
    rendering_ = false;
}

void MainWindow::renderControl(View& v) {
    if (!v.hwnd) return;
    const app::Control& c = *v.control;
    const bool first = !v.drawn;
    v.drawn = true;

    if (first || c.caption != v.caption) {
        v.caption = c.caption;
        v.shownCaption = controlText(c.caption);
        switch (v.kind) {
            case ControlKind::TabSheet: {
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = v.shownCaption.data();
                ::SendMessageW(tabs_, TCM_SETITEMW, static_cast<WPARAM>(v.page), reinterpret_cast<LPARAM>(&item));
                // A shorter caption leaves the end of the old one behind
                // unless the whole strip is drawn again.
                ::InvalidateRect(tabs_, nullptr, TRUE);
                break;
            }
            case ControlKind::Form:
            case ControlKind::Button:
            case ControlKind::GroupBox:
            case ControlKind::Label:
            case ControlKind::StaticText:
            case ControlKind::CheckBox:
                ::SetWindowTextW(v.hwnd, v.shownCaption.c_str());
                break;
            default:
                break;
        }
    }

    const COLORREF color = colorOf(c.font);
    if (first || color != v.color) {
        v.color = color;
        // Kept beside the control, so the colour on screen can be read from
        // outside the program.
        ::SetPropW(v.hwnd, kTextColorProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(encodeTextColor(color))));
        if (!first) ::InvalidateRect(v.hwnd, nullptr, TRUE);
    }

    if (v.kind == ControlKind::CheckBox) {
        const bool checked = static_cast<const app::CheckBox&>(c).checked;
        if (first || checked != v.checked) {
            v.checked = checked;
            ::SendMessageW(v.hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }

    if (tooltip_ && (first || c.hint != v.hint) && v.kind != ControlKind::Form && v.kind != ControlKind::TabSheet) {
        v.hint = c.hint;
        std::wstring tip = widen(c.hint);
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = ::GetParent(v.hwnd);
        info.uId = reinterpret_cast<UINT_PTR>(v.hwnd);
        info.lpszText = tip.data();
        if (tip.empty()) {
            if (v.hasTip) ::SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
            v.hasTip = false;
        } else if (v.hasTip) {
            ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
        } else {
            v.hasTip = ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
        }
    }
}

void MainWindow::renderDriveList(View& v) {
    if (!v.hwnd) return;
    const auto& list = static_cast<const app::DriveComboBox&>(*v.control);
    DriveListView& shown = driveLists_[v.id];
    if (shown.items != list.items) {
        ::SendMessageW(v.hwnd, CB_RESETCONTENT, 0, 0);
        for (const std::string& item : list.items)
            ::SendMessageW(v.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
        shown.items = list.items;
        shown.selected = -2;
    }
    if (shown.selected != list.selected) {
        ::SendMessageW(v.hwnd, CB_SETCURSEL, static_cast<WPARAM>(list.selected), 0);
        shown.selected = list.selected;
    }
}

void MainWindow::renderList(View& v) {
    if (!v.hwnd) return;
    const auto& list = static_cast<const app::ListBox&>(*v.control);
    std::vector<std::string> items = list.texts();
    std::vector<int> selected = list.chosen();
    ListView& shown = lists_[v.id];
    if (!shown.drawn || shown.items != items) {
        std::vector<std::wstring> texts;
        for (const std::string& item : items) texts.push_back(widen(item));
        refillListBox(v.hwnd, texts, [&](LRESULT at, size_t i) {
            if (const uint32_t data = list.itemData(i))
                ::SendMessageW(v.hwnd, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(data));
        });
        shown.items = std::move(items);
        shown.drawn = true;
        shown.selected.clear();  // a refilled list shows nothing chosen
    }
    if (shown.selected != selected) {
        if (list.multiSelect) {
            ::SendMessageW(v.hwnd, LB_SETSEL, FALSE, -1);
            for (int i : selected) ::SendMessageW(v.hwnd, LB_SETSEL, TRUE, i);
        } else {
            ::SendMessageW(v.hwnd, LB_SETCURSEL, static_cast<WPARAM>(selected.empty() ? -1 : selected.front()), 0);
        }
        shown.selected = std::move(selected);
    }
}

void MainWindow::renderInstructions() {
    if (!instructions_) return;
    const app::Tform_instrucoes* model = form_.form_instrucoes.get();
    if (!model) {
        if (instructions_->isOpen()) instructions_->close();
        return;
    }
    if (!instructions_->isOpen()) {
        instructions_->open(instance_, widen(app::Tform_instrucoes::caption),
                            widen(app::Tform_instrucoes::closeCaption), app::Tform_instrucoes::text(), uiFont_.get(),
                            memoFont_.get());
        instructionsShown_ = model->timesShown;
    } else if (model->timesShown != instructionsShown_) {
        instructionsShown_ = model->timesShown;
        instructions_->bringToFront();
    }
}

void MainWindow::showPage(int page) {
    HWND focus = ::GetFocus();
    for (size_t i = 0; i < pages_.size(); ++i) {
        const bool visible = static_cast<int>(i) == page;
        if (!visible && focus && ::IsChild(pages_[i], focus)) ::SetFocus(tabs_);
        ::ShowWindow(pages_[i], visible ? SW_SHOW : SW_HIDE);
    }
}


LRESULT MainWindow::controlColors(HDC dc, HWND control) {
    View* v = viewByHwnd(control);
    if (!v || !v->drawn)
        return ::DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                reinterpret_cast<LPARAM>(control));
    ::SetTextColor(dc, v->color);
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    if (v->kind != ControlKind::GroupBox) ::SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}


}  // namespace vx::view
