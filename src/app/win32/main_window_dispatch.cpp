// The events of the main window and its controls, handed to the model.
#include "main_window.h"

#include <commctrl.h>
#include <dbt.h>

#include <cstddef>
#include <exception>
#include <utility>

#include "layout.h"
#include "paint.h"
#include "platform/win32/win32_heartbeat.h"
#include "pump.h"
#include "view_ids.h"

namespace vx::view {

using app::ControlKind;
using app::Event;

namespace {

// The controls the view draws itself, which show whether the mouse is over
// them.
bool drawnByView(ControlKind kind, unsigned flags) {
    return kind == ControlKind::SpeedButton || (kind == ControlKind::Button && (flags & kDrawnButton));
}

}  // namespace

// ---------------------------------------------------------------------------
// One handler at a time
// ---------------------------------------------------------------------------

void MainWindow::forward(std::function<void()> handler) {
    if (running_) {
        pending_.push_back(std::move(handler));
        return;
    }
    runNow(handler);
}

void MainWindow::runNow(const std::function<void()>& handler) {
    if (running_) {
        // Inside another handler (the session-end question): the outer one
        // is not finished, so nothing is drawn or replayed here.
        run(handler);
        return;
    }
    // Drivers and tools outside the program read this property to know that
    // a run is still going: the window answers messages during it.
    struct RunningProperty {
        HWND hwnd;
        explicit RunningProperty(HWND h) : hwnd(h) {
            if (hwnd) ::SetPropW(hwnd, kRunningProperty, reinterpret_cast<HANDLE>(1));
        }
        ~RunningProperty() {
            if (hwnd && ::IsWindow(hwnd)) ::RemovePropW(hwnd, kRunningProperty);
        }
    } property(hwnd_);
    run(handler);
    // What arrived while it ran, in order; each may queue more. The outcome
    // is drawn once all of them have run: drawing in between could show a
    // state that a queued event has already undone (a closed instructions
    // window opened again).
    while (true) {
        while (!pending_.empty()) {
            if (!hwnd_) {
                // The window is gone (a queued close): nothing is left to do.
                pending_.clear();
                return;
            }
            std::function<void()> next = std::move(pending_.front());
            pending_.pop_front();
            run(next);
        }
        // Events that arrive while the outcome is drawn wait as well.
        running_ = true;
        render();
        running_ = false;
        if (pending_.empty()) return;
    }
}

void MainWindow::run(const std::function<void()>& handler) {
    const bool nested = running_;
    running_ = true;
    try {
        handler();
    } catch (const std::exception& e) {
        // A handler that fails ends there, as the toolkit's error box tells.
        os_.dialogs().ioError(e.what());
    }
    running_ = nested;
}

void MainWindow::forwardEvent(View& v, Event event, app::EventArgs args) {
    app::Control* control = v.control;
    if (!control->binds(event)) return;
    forward([this, control, event, args = std::move(args)] { form_.raise(*control, event, args); });
}

// ---------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------

void MainWindow::onCommand(int id, int code) {
    if (id == IDCANCEL) {
        onEscape();
        return;
    }
    View* v = viewById(id);
    if (!v) return;
    switch (v->kind) {
        case ControlKind::Button:
        case ControlKind::SpeedButton:
        case ControlKind::Label:
        case ControlKind::StaticText:
            if (code == BN_CLICKED || code == STN_CLICKED) {  // both are 0
                forwardEvent(*v, Event::Click);
            } else if (code == STN_DBLCLK && v->kind != ControlKind::Button) {
                forwardEvent(*v, Event::DoubleClick);
            }
            break;
        case ControlKind::CheckBox:
            if (code == BN_CLICKED) forwardEvent(*v, Event::Click);
            break;
        case ControlKind::ListBox: {
            if (code != LBN_SELCHANGE) break;
            const auto& list = static_cast<const app::ListBox&>(*v->control);
            std::vector<int> selected;
            if (list.multiSelect) {
                const LRESULT count = ::SendMessageW(v->hwnd, LB_GETSELCOUNT, 0, 0);
                selected.resize(count > 0 ? static_cast<size_t>(count) : 0);
                if (!selected.empty())
                    ::SendMessageW(v->hwnd, LB_GETSELITEMS, static_cast<WPARAM>(selected.size()),
                                   reinterpret_cast<LPARAM>(selected.data()));
                lists_[v->id].selected = selected;
            } else {
                const int chosen = static_cast<int>(::SendMessageW(v->hwnd, LB_GETCURSEL, 0, 0));
                selected = {chosen};
                lists_[v->id].selected = chosen >= 0 ? selected : std::vector<int>{};
            }
            forwardEvent(*v, Event::Select, {.selection = std::move(selected)});
            break;
        }
        case ControlKind::DriveComboBox:
            if (code == CBN_SELCHANGE) {
                const int selected = static_cast<int>(::SendMessageW(v->hwnd, CB_GETCURSEL, 0, 0));
                driveLists_[v->id].selected = selected;
                forwardEvent(*v, Event::Select, {.selection = {selected}});
            }
            break;
        default:
            break;
    }
}

void MainWindow::onEscape() {
    // Esc presses the cancel button while it is on screen (the options tab's
    // copy button, while that tab is shown).
    for (View& v : views_) {
        const auto* button = v.kind == ControlKind::Button ? static_cast<const app::Button*>(v.control) : nullptr;
        if (button && button->cancel && v.hwnd && ::IsWindowVisible(v.hwnd) && ::IsWindowEnabled(v.hwnd)) {
            forwardEvent(v, Event::Click);
            return;
        }
    }
}

void MainWindow::onPageChanged() {
    const int page = currentPage();
    showPage(page);
    onPageShown(page);
}

void MainWindow::onPageShown(int page) {
    for (View& v : views_)
        if (v.page == page && v.page >= 0) forwardEvent(v, Event::PageShow);
}

void MainWindow::onMouseMove(View& v) {
    if (!v.hot) {
        v.hot = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, v.hwnd, 0};
        ::TrackMouseEvent(&track);
        if (drawnByView(v.kind, v.flags)) ::InvalidateRect(v.hwnd, nullptr, FALSE);
        forwardEvent(v, Event::MouseEnter);
    }
    forwardEvent(v, Event::MouseMove);
}

void MainWindow::onMouseLeave(View& v) {
    v.hot = false;
    if (drawnByView(v.kind, v.flags)) ::InvalidateRect(v.hwnd, nullptr, FALSE);
    forwardEvent(v, Event::MouseLeave);
}

void MainWindow::followDrives(uint32_t arrivedMask, uint32_t removedMask) {
    const bool wasDue = form_.insertionCheckDue();
    form_.WMDeviceChange(arrivedMask, removedMask);
    // One message per check due: a check still waiting takes the new drive.
    if (form_.insertionCheckDue() && !wasDue && hwnd_) ::PostMessageW(hwnd_, kInsertionCheckMessage, 0, 0);
}

void MainWindow::onDeviceChange(uint32_t arrivedMask, uint32_t removedMask) {
    if (!running_) {
        forward([this, arrivedMask, removedMask] { followDrives(arrivedMask, removedMask); });
        return;
    }
    // Never during a run: the drives announced meanwhile are followed once,
    // after it.
    arrivedWhileBusy_ |= arrivedMask;
    removedWhileBusy_ |= removedMask;
    if (deviceChangeQueued_) return;
    deviceChangeQueued_ = true;
    pending_.push_back([this] {
        deviceChangeQueued_ = false;
        const uint32_t arrived = std::exchange(arrivedWhileBusy_, 0);
        const uint32_t removed = std::exchange(removedWhileBusy_, 0);
        followDrives(arrived, removed);
    });
}

void MainWindow::keepAnswering() {
    if (!hwnd_) return;
    if (memo_) {
        memo_->flush();
        ::UpdateWindow(memo_->handle());
    }
    answerPending();
}

void MainWindow::onClose() {
    // A close that arrives during a run waits for it, as any other event.
    forward([this] {
        if (!closed_) {
            closed_ = true;
            try {
                form_.FormClose();
            } catch (const std::exception& e) {
                os_.dialogs().ioError(e.what());
            }
        }
        // Destroyed, not hidden: closing the main window ends the program.
        ::DestroyWindow(hwnd_);
    });
}

void MainWindow::finish() {
    if (!closed_) {
        closed_ = true;
        try {
            form_.FormClose();
        } catch (const std::exception&) {
            // The program is ending; nothing is left to report it to.
        }
    }
    form_.Memo1.setAppendListener(nullptr);
    win32::setHeartbeat(nullptr);
    if (instructions_) instructions_->close();
}

bool MainWindow::preTranslate(MSG& msg) {
    if (instructions_ && instructions_->preTranslate(msg)) return true;
    if (!hwnd_ || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
    // Ctrl+Tab and Ctrl+Shift+Tab (and Ctrl+Page Down / Up) step through
    // the tabs, as in any tabbed window.
    if (msg.message == WM_KEYDOWN && (::GetKeyState(VK_CONTROL) & 0x8000) &&
        (msg.wParam == VK_TAB || msg.wParam == VK_NEXT || msg.wParam == VK_PRIOR) && !pages_.empty()) {
        const bool back = msg.wParam == VK_PRIOR || (msg.wParam == VK_TAB && (::GetKeyState(VK_SHIFT) & 0x8000));
        const int count = static_cast<int>(pages_.size());
        const int next = (currentPage() + (back ? count - 1 : 1)) % count;
        ::SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(next), 0);
        onPageChanged();
        return true;
    }
    return ::IsDialogMessageW(hwnd_, &msg) != FALSE;
}

// ---------------------------------------------------------------------------
// Window procedures
// ---------------------------------------------------------------------------

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) onPageChanged();
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            return controlColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            View* v = viewByHwnd(item->hwndItem);
            if (!v) break;
            if (v->kind == ControlKind::SpeedButton)
                drawDriveButton(*item, v->hot);
            else
                drawColoredButton(*item, v->shownCaption, v->color, v->hot);
            return TRUE;
        }
        case kInsertionCheckMessage:
            forward([this] { form_.DeviceInsertedCheck(); });
            return 0;
        case WM_DEVICECHANGE:
            // A volume (a pen drive, a card) arrived or left: the drive lists
            // follow. Other device news is not the program's business.
            if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && lParam) {
                const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
                constexpr size_t kUnitsEnd = offsetof(DEV_BROADCAST_VOLUME, dbcv_unitmask) + sizeof(DWORD);
                if (header->dbch_devicetype == DBT_DEVTYP_VOLUME && header->dbch_size >= kUnitsEnd) {
                    const DWORD units = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam)->dbcv_unitmask;
                    if (wParam == DBT_DEVICEARRIVAL)
                        onDeviceChange(units, 0);
                    else
                        onDeviceChange(0, units);
                    return TRUE;
                }
            }
            break;
        case WM_ACTIVATE:
            // The focus comes back to the control that had it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(hwnd_, focus)) focusBeforeDeactivation_ = focus;
            }
            break;
        case WM_SETFOCUS:
            if (focusBeforeDeactivation_ && ::IsWindow(focusBeforeDeactivation_) &&
                ::IsWindowVisible(focusBeforeDeactivation_))
                ::SetFocus(focusBeforeDeactivation_);
            else if (HWND first = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE))
                ::SetFocus(first);
            return 0;
        case WM_CLOSE:
            onClose();
            return 0;
        case WM_QUERYENDSESSION: {
            // Windows waits for the answer: the question is asked at once,
            // even while a handler runs.
            bool mayEnd = true;
            runNow([&] { mayEnd = form_.WMQueryEndSession(); });
            return mayEnd ? TRUE : FALSE;
        }
        case WM_ENDSESSION:
            // The session ends and the program with it: the closing steps run.
            if (wParam) finish();
            return 0;
        case WM_DESTROY:
            finish();
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            HWND self = detach();
            // Boxes shown after this (there should be none) belong to no window.
            os_.setOwner(nullptr);
            os_.setBeforeDialog(nullptr);
            return ::DefWindowProcW(self, message, wParam, lParam);
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT MainWindow::Container::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        // What the controls tell their parent goes to the main window.
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (owner_.hwnd_) return ::SendMessageW(owner_.hwnd_, message, wParam, lParam);
            break;
        case WM_ERASEBKGND: {
            RECT r;
            ::GetClientRect(hwnd_, &r);
            ::FillRect(reinterpret_cast<HDC>(wParam), &r, ::GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            win32::PaintDc paint(hwnd_);
            const View* v = owner_.viewByHwnd(hwnd_);
            if (v && (v->flags & kRaisedPanel)) {
                RECT r;
                ::GetClientRect(hwnd_, &r);
                ::DrawEdge(paint.get(), &r, BDR_RAISEDINNER, BF_RECT);
            }
            return 0;
        }
        case WM_LBUTTONUP:
            if (View* v = owner_.viewByHwnd(hwnd_)) owner_.forwardEvent(*v, Event::Click);
            return 0;
        case WM_NCDESTROY: {
            HWND self = detach();
            return ::DefWindowProcW(self, message, wParam, lParam);
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::controlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR ref) {
    auto* self = reinterpret_cast<MainWindow*>(ref);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, controlProc, kSubclassId);
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    if (View* v = self->viewByHwnd(hwnd)) return self->controlMessage(*v, hwnd, message, wParam, lParam);
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::controlMessage(View& v, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (v.kind == ControlKind::GroupBox) {
        // The group box sits behind the controls drawn on it and clips them
        // out, so filling it paints only the gaps between them.
        if (message == WM_ERASEBKGND) {
            RECT r;
            ::GetClientRect(hwnd, &r);
            ::FillRect(reinterpret_cast<HDC>(wParam), &r, ::GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        // Drawn here rather than by the control: a themed group box ignores
        // the caption colour the model gives.
        if (message == WM_PAINT) {
            win32::PaintDc paint(hwnd);
            drawGroupBox(paint.get(), hwnd, v.shownCaption, v.color, uiFont_.get());
            return 0;
        }
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    switch (message) {
        case WM_MOUSEMOVE:
            onMouseMove(v);
            break;
        case WM_MOUSELEAVE:
            onMouseLeave(v);
            break;
        case WM_SETCURSOR:
            if (v.kind == ControlKind::Label && static_cast<const app::Label*>(v.control)->link) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // A button with a key handler (the instructions button's F11)
            // sees the keys first; a key it does not take goes on to the
            // button unchanged.
            if (v.kind == ControlKind::Button && static_cast<const app::Button*>(v.control)->onKeyDown) {
                const app::EventArgs key{.key = static_cast<int>(wParam)};
                if (running_) {
                    // It waits for the running handler; the key goes on.
                    forwardEvent(v, Event::KeyDown, key);
                    break;
                }
                bool handled = false;
                runNow([&] { handled = form_.raise(*v.control, Event::KeyDown, key); });
                if (handled) return 0;
            }
            break;
        default:
            break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace vx::view
