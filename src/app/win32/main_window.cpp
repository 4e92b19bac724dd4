#include "main_window.h"

#include <functional>
#include <commctrl.h>

#include <exception>
#include <type_traits>

#include "layout.h"
#include "platform/win32/win32_heartbeat.h"
#include "pump.h"
#include "paint.h"
#include "resource.h"
#include "text.h"
#include "view_ids.h"

namespace vx::view {

using app::ControlKind;
using app::TForm1;

namespace {

// Fixed border, system menu and minimise only.
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kMainExStyle = WS_EX_CONTROLPARENT;
constexpr UINT_PTR kSubclassId = 1;

COLORREF colorOf(app::Rgb c) { return RGB(c.r, c.g, c.b); }

// ---------------------------------------------------------------------------
// Which model handler each event reaches
// ---------------------------------------------------------------------------

using Handler = void (*)(TForm1&);

// A handler the model has.
#define VX_CALL(handler) [](TForm1& form) { form.handler(); }
// A handler of a feature the model does not have yet: the control is on
// screen and does nothing until the model gains the handler, which is then
// called without a change here.
#define VX_CALL_WHEN_PRESENT(handler)                               \
    [](auto& form) {                                                \
        if constexpr (requires { form.handler(); }) form.handler(); \
    }

struct NamedHandler {
    std::string_view control;
    Handler handler;
};

// Clicks on buttons, labels and panels.
constexpr NamedHandler kClickHandlers[] = {
    {"BitBtn1", VX_CALL_WHEN_PRESENT(BitBtn1Click)},    // device disinfection
    {"BitBtn2", VX_CALL_WHEN_PRESENT(BitBtn2Click)},    // computer disinfection
    {"BitBtn3", VX_CALL(BitBtn3Click)},                 // instructions
    {"BitBtn7", VX_CALL_WHEN_PRESENT(BitBtn7Click)},    // computer check
    {"BitBtn9", VX_CALL_WHEN_PRESENT(BitBtn9Click)},    // device check
    {"BitBtn10", VX_CALL_WHEN_PRESENT(BitBtn10Click)},  // list processes
    {"BitBtn11", VX_CALL_WHEN_PRESENT(BitBtn11Click)},  // end process
    {"BitBtn12", VX_CALL(BitBtn12Click)},               // copy to the desktop
    {"BitBtn13", VX_CALL(BitBtn13Click)},               // Português
    {"BitBtn14", VX_CALL(BitBtn14Click)},               // English
    {"BitBtn15", VX_CALL_WHEN_PRESENT(BitBtn15Click)},  // repair icons
    {"BitBtn16", VX_CALL(BitBtn16Click)},               // save the settings
    {"BitBtn17", VX_CALL_WHEN_PRESENT(BitBtn17Click)},  // system report
    {"Button4", VX_CALL_WHEN_PRESENT(Button4Click)},    // clean the temporary folders
    {"Button5", VX_CALL(Button5Click)},                 // restore the selected items
    {"Button6", VX_CALL(Button6Click)},                 // restore everything kept
    {"Button7", VX_CALL(Button7Click)},                 // delete a run for good
    {"SpeedButton1", VX_CALL(SpeedButton1Click)},       // detect drives, removal group
    {"SpeedButton3", VX_CALL(SpeedButton3Click)},       // detect drives, check group
    {"Label4", VX_CALL(Label4Click)},
    {"Label18", VX_CALL(Label18Click)},
    {"Label19", VX_CALL(Label19Click)},
    {"Label20", VX_CALL_WHEN_PRESENT(Label20Click)},  // user temporary folder
    {"Label21", VX_CALL_WHEN_PRESENT(Label21Click)},  // Windows temporary folder
    {"Panel3", VX_CALL(Panel3Click)},
};

constexpr NamedHandler kDoubleClickHandlers[] = {
    {"Label2", VX_CALL(Label2DblClick)},
};

// Shown when its tab page becomes the visible one.
constexpr NamedHandler kPageShowHandlers[] = {
    {"TabSheet1", VX_CALL_WHEN_PRESENT(TabSheet1Show)},
    {"TabSheet2", VX_CALL_WHEN_PRESENT(TabSheet2Show)},  // the tools tab refreshes its figures
    {"TabSheet3", VX_CALL(TabSheet3Show)},
    {"TabSheet4", VX_CALL(TabSheet4Show)},  // the quarantine tab reads the store again
};

struct HoverHandlers {
    std::string_view control;
    Handler enter, move, leave;
};

constexpr HoverHandlers kHoverHandlers[] = {
    {"Label2", VX_CALL(Label2MouseEnter), VX_CALL(Label2MouseMove), VX_CALL(Label2MouseLeave)},
    {"Label4", VX_CALL(Label4MouseEnter), VX_CALL(Label4MouseMove), VX_CALL(Label4MouseLeave)},
    {"Label18", VX_CALL(Label18MouseEnter), VX_CALL(Label18MouseMove), VX_CALL(Label18MouseLeave)},
    {"Label19", VX_CALL(Label19MouseEnter), VX_CALL(Label19MouseMove), VX_CALL(Label19MouseLeave)},
    {"Label20", VX_CALL_WHEN_PRESENT(Label20MouseEnter), VX_CALL_WHEN_PRESENT(Label20MouseMove),
     VX_CALL_WHEN_PRESENT(Label20MouseLeave)},
    {"Label21", VX_CALL_WHEN_PRESENT(Label21MouseEnter), VX_CALL_WHEN_PRESENT(Label21MouseMove),
     VX_CALL_WHEN_PRESENT(Label21MouseLeave)},
};

struct CheckHandler {
    std::string_view control;
    void (*handler)(TForm1&, bool);
};

constexpr CheckHandler kCheckHandlers[] = {
    {"CheckBox1", [](TForm1& form, bool checked) { form.CheckBox1Click(checked); }},
    {"CheckBox2", [](TForm1& form, bool checked) { form.CheckBox2Click(checked); }},
};

#undef VX_CALL
#undef VX_CALL_WHEN_PRESENT

template <typename Table>
auto find(const Table& table, std::string_view control) -> decltype(&table[0]) {
    for (const auto& entry : table)
        if (entry.control == control) return &entry;
    return nullptr;
}

// The controls the view subclasses: to follow the mouse (hover colours, hot
// buttons, the hand cursor) and to see the keys of the instructions button.
// Group boxes are subclassed too: they leave their inside unpainted.
bool subclassed(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::Button || kind == ControlKind::SpeedButton ||
           kind == ControlKind::GroupBox;
}

// The controls the view draws itself, which show whether the mouse is over
// them.
bool drawnByView(ControlKind kind, unsigned flags) {
    return kind == ControlKind::SpeedButton || (kind == ControlKind::Button && (flags & kDrawnButton));
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

MainWindow::MainWindow(win32::Win32Platform& os, TForm1& form) : os_(os), form_(form) {}

MainWindow::~MainWindow() {
    form_.Memo1.setAppendListener(nullptr);
    win32::setHeartbeat(nullptr);
    instructions_.reset();
    if (hwnd_) ::DestroyWindow(hwnd_);
    for (HFONT f : {uiFont_, boldFont_, memoFont_})
        if (f) ::DeleteObject(f);
}

bool MainWindow::registerClasses(HINSTANCE instance) {
    icon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARREX), IMAGE_ICON,
                                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARREX), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = icon_;
    wc.hIconSm = smallIcon_;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    if (!::RegisterClassExW(&wc)) return false;

    WNDCLASSEXW container{};
    container.cbSize = sizeof container;
    container.lpfnWndProc = containerProc;
    container.hInstance = instance;
    container.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    container.lpszClassName = kContainerClass;
    if (!::RegisterClassExW(&container)) return false;

    return InstructionsWindow::registerClass(instance, icon_, smallIcon_);
}

void MainWindow::createFonts() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW ui{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        ui = metrics.lfMessageFont;
    } else {
        ui.lfHeight = -::MulDiv(8, dpi_, 72);
        ui.lfWeight = FW_NORMAL;
        ui.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(ui.lfFaceName, L"Tahoma", LF_FACESIZE);
    }
    uiFont_ = ::CreateFontIndirectW(&ui);
    LOGFONTW bold = ui;
    bold.lfWeight = FW_BOLD;
    boldFont_ = ::CreateFontIndirectW(&bold);
    memoFont_ = createLogMemoFont(dpi_);
}

bool MainWindow::create(HINSTANCE instance, int showCommand) {
    instance_ = instance;
    dpi_ = screenDpi();
    if (!registerClasses(instance)) return false;
    createFonts();

    const RECT frame = centredWindowRect(kClientWidth, kClientHeight, kMainStyle, kMainExStyle, dpi_);
    const std::wstring title = widen(form_.caption("TForm1"));
    if (!::CreateWindowExW(kMainExStyle, kMainWindowClass, title.c_str(), kMainStyle, frame.left, frame.top,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this))
        return false;
    // Message boxes and the save dialog belong to the main window.
    os_.setOwner(hwnd_);

    createControls();
    createTooltips();
    instructions_ = std::make_unique<InstructionsWindow>([this] {
        // The window closed (its button or close box, or the program ending).
        if (form_.form_instrucoes) forward([this] { form_.form_instrucoesClose(); });
    });
    showPage(0);
    render();

    // The model's start-up runs once the controls exist and before the
    // window shows, in the order the model gives.
    forward([this] { form_.FormCreate(); });
    forward(kPageShowHandlers[0].handler);

    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    if (HWND first = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE)) ::SetFocus(first);
    return true;
}

HWND MainWindow::hostOf(const app::Control& control, POINT& offset) const {
    offset = POINT{0, 0};
    std::string_view parent = control.parent;
    while (!parent.empty()) {
        const View* container = nullptr;
        for (const View& v : views_)
            if (v.name == parent) container = &v;
        if (!container) break;
        if (container->kind != ControlKind::GroupBox) return container->hwnd;
        // A group box is drawn behind its content; the content lives in the
        // group box's own host, shifted by the group box's position.
        if (const Placement* p = placementOf(container->name)) {
            offset.x += p->x;
            offset.y += p->y;
        }
        parent = form_.control(container->name).parent;
    }
    return hwnd_;
}

void MainWindow::createControls() {
    const auto& controls = form_.controls();
    int nextUnlisted = kFirstUnlistedId;
    for (size_t i = 0; i < controls.size(); ++i) {
        const app::Control& c = controls[i];
        View v;
        v.model = i;
        v.name = c.name;
        v.kind = c.kind;
        if (c.kind == ControlKind::Form) {
            v.hwnd = hwnd_;
        } else {
            v.id = controlId(c.name);
            if (v.id == 0) v.id = nextUnlisted++;
        }
        if (const Placement* p = placementOf(c.name)) v.flags = p->flags;
        views_.push_back(std::move(v));
    }
    for (size_t i = 0; i < views_.size(); ++i)
        if (views_[i].id) byId_[views_[i].id] = i;

    // The tab control first: the pages take its display area.
    for (View& v : views_)
        if (v.kind == ControlKind::PageControl) createTabControl(v);

    // The rest in the table's order, which is the tab order.
    for (const Placement& p : placements()) {
        View* v = viewByName(p.name);
        if (!v || v->hwnd || v->kind == ControlKind::TabSheet) continue;
        POINT offset;
        HWND host = hostOf(form_.control(v->name), offset);
        RECT bounds{scaled(offset.x + p.x, dpi_), scaled(offset.y + p.y, dpi_), scaled(offset.x + p.x + p.width, dpi_),
                    scaled(offset.y + p.y + p.height, dpi_)};
        createControl(*v, host, bounds);
    }
    // A control the table does not place yet still exists, out of sight.
    for (View& v : views_) {
        if (v.hwnd || v.kind == ControlKind::TabSheet) continue;
        POINT offset;
        HWND host = hostOf(form_.control(v.name), offset);
        if (HWND hwnd = createControl(v, host, RECT{0, 0, 0, 0})) ::ShowWindow(hwnd, SW_HIDE);
    }

    for (size_t i = 0; i < views_.size(); ++i)
        if (views_[i].hwnd) byHwnd_[views_[i].hwnd] = i;

    // Group boxes go behind the controls drawn on them.
    for (View& v : views_)
        if (v.kind == ControlKind::GroupBox && v.hwnd)
            ::SetWindowPos(v.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    if (View* memo = viewByName("Memo1"); memo && memo->hwnd) {
        memo_ = std::make_unique<LogMemo>(memo->hwnd, form_.Memo1,
                                          [this] { return form_.language == scan::kPortuguese; });
        // While a handler runs, the log is shown growing and the window keeps
        // answering the system, at every heartbeat of the platform and at the
        // log's own pushes.
        win32::setHeartbeat([this] { keepAnswering(); });
        form_.Memo1.setAppendListener([] { win32::heartbeat(); });
        // A result box comes up while its handler still runs: the log behind
        // it must already show every line up to the verdict.
        os_.setBeforeDialog([this] { memo_->flush(); });
    }
}

void MainWindow::createTabControl(View& tabs) {
    const Placement* p = placementOf(tabs.name);
    if (!p) return;
    tabs_ = ::CreateWindowExW(0, WC_TABCONTROLW, L"",
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_GROUP | TCS_MULTILINE,
                              scaled(p->x, dpi_), scaled(p->y, dpi_), scaled(p->width, dpi_), scaled(p->height, dpi_),
                              hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(tabs.id)), instance_, nullptr);
    tabs.hwnd = tabs_;
    ::SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), FALSE);

    // One tab per tab sheet, in the model's order.
    int index = 0;
    for (View& sheet : views_) {
        if (sheet.kind != ControlKind::TabSheet || sheet.name.empty()) continue;
        if (form_.control(sheet.name).parent != tabs.name) continue;
        std::wstring caption = widen(form_.caption(sheet.name));
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        ::SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        sheet.page = index++;
    }

    // The pages cover the display area and sit above the tab control, which
    // clips them out of its painting.
    RECT area{};
    ::GetWindowRect(tabs_, &area);
    ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&area), 2);
    ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    HWND previous = HWND_TOP;
    for (View& sheet : views_) {
        if (sheet.page < 0) continue;
        sheet.hwnd = ::CreateWindowExW(WS_EX_CONTROLPARENT, kContainerClass, L"", WS_CHILD | WS_CLIPCHILDREN, area.left,
                                       area.top, area.right - area.left, area.bottom - area.top, hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(sheet.id)), instance_, nullptr);
        ::SetWindowPos(sheet.hwnd, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = sheet.hwnd;
        pages_.push_back(sheet.hwnd);
    }
    ::SetWindowPos(tabs_, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND MainWindow::createControl(View& v, HWND host, RECT b) {
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    HFONT font = uiFont_;
    const std::wstring caption = controlText(form_.caption(v.name));
    switch (v.kind) {
        case ControlKind::Panel:
            cls = kContainerClass;
            style |= WS_CLIPCHILDREN;
            exStyle = WS_EX_CONTROLPARENT | ((v.flags & kSunkenPanel) ? WS_EX_STATICEDGE : 0);
            break;
        case ControlKind::GroupBox:
            cls = L"BUTTON";
            style |= BS_GROUPBOX | WS_CLIPSIBLINGS;
            break;
        case ControlKind::Button:
            cls = L"BUTTON";
            style |= WS_TABSTOP | WS_GROUP |
                     ((v.flags & kDrawnButton) ? BS_OWNERDRAW : BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER);
            break;
        case ControlKind::SpeedButton:
            cls = L"BUTTON";
            style |= WS_TABSTOP | WS_GROUP | BS_OWNERDRAW;
            break;
        case ControlKind::CheckBox:
            cls = L"BUTTON";
            // The model decides the state; the view only shows it.
            style |= WS_TABSTOP | WS_GROUP | BS_CHECKBOX;
            break;
        case ControlKind::Label:
            style |= SS_LEFT | SS_NOTIFY | SS_NOPREFIX | (v.name == "Label19" ? SS_PATHELLIPSIS : SS_ENDELLIPSIS);
            break;
        case ControlKind::StaticText:
            style |= SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | ((v.flags & kBoxedText) ? SS_SUNKEN : 0);
            font = boldFont_;
            break;
        case ControlKind::Memo:
            v.hwnd = createLogMemo(host, v.id, b, memoFont_);
            return v.hwnd;
        case ControlKind::ListBox:
            cls = L"LISTBOX";
            // The model keeps the lines sorted; the control shows them in its
            // order so that a line's index is the model's index.
            style |= WS_TABSTOP | WS_GROUP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
            // The items of a kept run: several may be chosen for a restore.
            if (v.name == "ListBox3") style |= LBS_EXTENDEDSEL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::DriveComboBox:
            cls = L"COMBOBOX";
            style |= WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST;
            break;
        case ControlKind::Form:
        case ControlKind::PageControl:
        case ControlKind::TabSheet:
            return nullptr;
    }
    v.hwnd = ::CreateWindowExW(exStyle, cls, v.kind == ControlKind::Panel ? L"" : caption.c_str(), style, b.left, b.top,
                               b.right - b.left, b.bottom - b.top, host,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(v.id)), instance_, nullptr);
    if (!v.hwnd) return nullptr;
    ::SendMessageW(v.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (subclassed(v.kind)) ::SetWindowSubclass(v.hwnd, controlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    return v.hwnd;
}

void MainWindow::createTooltips() {
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                                 nullptr);
    if (tooltip_) ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, scaled(480, dpi_));
}

// ---------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------

template <typename Handler>
void MainWindow::forward(Handler&& handler) {
    const bool outer = hwnd_ && !::GetPropW(hwnd_, kRunningProperty);
    if (outer) ::SetPropW(hwnd_, kRunningProperty, reinterpret_cast<HANDLE>(1));
    struct Running {
        HWND hwnd;
        ~Running() {
            if (hwnd) ::RemovePropW(hwnd, kRunningProperty);
        }
    } running{outer ? hwnd_ : nullptr};
    try {
        if constexpr (std::is_invocable_v<Handler&, TForm1&>)
            handler(form_);
        else
            handler();
    } catch (const std::exception& e) {
        // A handler that fails ends there, as the toolkit's error box tells.
        os_.dialogs().ioError(e.what());
    }
    render();
}

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
                if (auto* h = find(kClickHandlers, v->name)) forward(h->handler);
            } else if (code == STN_DBLCLK && v->kind != ControlKind::Button) {
                if (auto* h = find(kDoubleClickHandlers, v->name)) forward(h->handler);
            }
            break;
        case ControlKind::CheckBox:
            if (code == BN_CLICKED) {
                if (auto* h = find(kCheckHandlers, v->name)) {
                    const bool next = !form_.controls()[v->model].checked;
                    forward([&] { h->handler(form_, next); });
                }
            }
            break;
        case ControlKind::ListBox:
            if (code != LBN_SELCHANGE) break;
            if (v->name == "ListBox1") {
                const int selected = static_cast<int>(::SendMessageW(v->hwnd, LB_GETCURSEL, 0, 0));
                processSelectedShown_ = selected;
                forward([&] { form_.ListBox1Select(selected); });
            } else if (v->name == "ListBox2") {
                const int selected = static_cast<int>(::SendMessageW(v->hwnd, LB_GETCURSEL, 0, 0));
                textLists_[v->name].selected = {selected};
                forward([&] {
                    form_.ListBox2Select(selected);
                    form_.ListBox2Click();
                });
            } else if (v->name == "ListBox3") {
                const LRESULT count = ::SendMessageW(v->hwnd, LB_GETSELCOUNT, 0, 0);
                std::vector<int> selected(count > 0 ? static_cast<size_t>(count) : 0);
                if (!selected.empty())
                    ::SendMessageW(v->hwnd, LB_GETSELITEMS, static_cast<WPARAM>(selected.size()),
                                   reinterpret_cast<LPARAM>(selected.data()));
                textLists_[v->name].selected = selected;
                forward([&] { form_.ListBox3Select(selected); });
            }
            break;
        case ControlKind::DriveComboBox:
            if (code == CBN_SELCHANGE) {
                if (app::DriveList* list = driveListOf(v->name)) {
                    const int selected = static_cast<int>(::SendMessageW(v->hwnd, CB_GETCURSEL, 0, 0));
                    driveLists_[v->name].selected = selected;
                    forward([&] { list->selected = selected; });
                }
            }
            break;
        default:
            break;
    }
}

void MainWindow::onEscape() {
    // Esc presses the cancel button (BitBtn12) while it is on screen, that is
    // while the options tab is shown.
    View* cancel = viewByName("BitBtn12");
    if (cancel && cancel->hwnd && ::IsWindowVisible(cancel->hwnd) && ::IsWindowEnabled(cancel->hwnd))
        forward(find(kClickHandlers, "BitBtn12")->handler);
}

void MainWindow::onPageChanged() {
    const int page = currentPage();
    showPage(page);
    for (const View& v : views_)
        if (v.page == page && v.page >= 0)
            if (auto* h = find(kPageShowHandlers, v.name)) forward(h->handler);
}

void MainWindow::showPage(int page) {
    HWND focus = ::GetFocus();
    for (size_t i = 0; i < pages_.size(); ++i) {
        const bool visible = static_cast<int>(i) == page;
        if (!visible && focus && ::IsChild(pages_[i], focus)) ::SetFocus(tabs_);
        ::ShowWindow(pages_[i], visible ? SW_SHOW : SW_HIDE);
    }
}

void MainWindow::onMouseMove(View& v) {
    if (!v.hot) {
        v.hot = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, v.hwnd, 0};
        ::TrackMouseEvent(&track);
        if (drawnByView(v.kind, v.flags)) ::InvalidateRect(v.hwnd, nullptr, FALSE);
        if (auto* h = find(kHoverHandlers, v.name)) forward(h->enter);
    }
    if (auto* h = find(kHoverHandlers, v.name)) forward(h->move);
}

void MainWindow::onMouseLeave(View& v) {
    v.hot = false;
    if (drawnByView(v.kind, v.flags)) ::InvalidateRect(v.hwnd, nullptr, FALSE);
    if (auto* h = find(kHoverHandlers, v.name)) forward(h->leave);
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
    if (!closed_) {
        closed_ = true;
        forward([this] { form_.FormClose(); });
    }
    // Destroyed, not hidden: closing the main window ends the program.
    ::DestroyWindow(hwnd_);
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

LRESULT CALLBACK MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

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
            bool mayEnd = true;
            forward([&] { mayEnd = form_.WMQueryEndSession(); });
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
            HWND self = hwnd_;
            ::SetWindowLongPtrW(self, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
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

LRESULT CALLBACK MainWindow::containerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND root = ::GetAncestor(hwnd, GA_ROOT);
    auto* self = root ? reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(root, GWLP_USERDATA)) : nullptr;
    switch (message) {
        // What the controls tell their parent goes to the main window.
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            if (self) return ::SendMessageW(root, message, wParam, lParam);
            break;
        case WM_ERASEBKGND: {
            RECT r;
            ::GetClientRect(hwnd, &r);
            ::FillRect(reinterpret_cast<HDC>(wParam), &r, ::GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            View* v = self ? self->viewByHwnd(hwnd) : nullptr;
            if (v && (v->flags & kRaisedPanel)) {
                RECT r;
                ::GetClientRect(hwnd, &r);
                ::DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
            }
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONUP:
            if (self)
                if (View* v = self->viewByHwnd(hwnd))
                    if (auto* h = find(kClickHandlers, v->name)) self->forward(h->handler);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
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
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            drawGroupBox(dc, hwnd, v.shownCaption, v.color, uiFont_);
            ::EndPaint(hwnd, &ps);
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
            if (form_.controls()[v.model].handCursor) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // The instructions button has its own key handler (F11); every
            // other key goes on to the button unchanged.
            if (v.name == "BitBtn3") {
                bool handled = false;
                forward([&] { handled = form_.BitBtn3KeyDown(static_cast<int>(wParam)); });
                if (handled) return 0;
            }
            break;
        default:
            break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Rendering: the model's state onto the controls, touching only what changed
// ---------------------------------------------------------------------------

void MainWindow::render() {
    if (rendering_ || !hwnd_) return;
    rendering_ = true;
    for (View& v : views_) {
        renderControl(v);
        if (v.kind == ControlKind::DriveComboBox) renderDriveList(v);
        if (v.kind == ControlKind::ListBox) {
            if (v.name == "ListBox1")
                renderProcessList(v);
            else
                renderTextList(v);
        }
    }
    if (memo_) memo_->flush();
    renderInstructions();
    rendering_ = false;
}

void MainWindow::renderControl(View& v) {
    if (!v.hwnd) return;
    const app::Control& c = form_.controls()[v.model];
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

    if (v.kind == ControlKind::CheckBox && (first || c.checked != v.checked)) {
        v.checked = c.checked;
        ::SendMessageW(v.hwnd, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
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
    app::DriveList* list = driveListOf(v.name);
    if (!list || !v.hwnd) return;
    DriveListView& shown = driveLists_[v.name];
    if (shown.items != list->items) {
        ::SendMessageW(v.hwnd, CB_RESETCONTENT, 0, 0);
        for (const std::string& item : list->items)
            ::SendMessageW(v.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
        shown.items = list->items;
        shown.selected = -2;
    }
    if (shown.selected != list->selected) {
        ::SendMessageW(v.hwnd, CB_SETCURSEL, static_cast<WPARAM>(list->selected), 0);
        shown.selected = list->selected;
    }
}

// Replaces the lines of a list box without flicker and sets its horizontal
// extent: the widest line in the list box's font, plus 5. `added` is told the
// index each line got.
static void refillListBox(HWND list, const std::vector<std::wstring>& texts,
                          const std::function<void(LRESULT, size_t)>& added = {}) {
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    HDC dc = ::GetDC(list);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::wstring& text = texts[i];
        const LRESULT at = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (added) added(at, i);
        SIZE size{};
        if (::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size) && size.cx > widest)
            widest = size.cx;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 5), 0);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void MainWindow::renderProcessList(View& v) {
    if (!v.hwnd) return;
    const auto& box = form_.ListBox1;
    std::vector<std::string> lines = box.lines();
    if (lines != processLinesShown_) {
        std::vector<std::wstring> texts;
        for (const auto& item : box.items) texts.push_back(widen(item.text));
        refillListBox(v.hwnd, texts, [&](LRESULT at, size_t i) {
            ::SendMessageW(v.hwnd, LB_SETITEMDATA, static_cast<WPARAM>(at), box.items[i].pid);
        });
        processLinesShown_ = std::move(lines);
        processSelectedShown_ = -2;
    }
    if (processSelectedShown_ != box.selected) {
        ::SendMessageW(v.hwnd, LB_SETCURSEL, static_cast<WPARAM>(box.selected), 0);
        processSelectedShown_ = box.selected;
    }
}

void MainWindow::renderTextList(View& v) {
    if (!v.hwnd) return;
    std::vector<std::string> items;
    std::vector<int> selected;
    if (v.name == "ListBox2") {
        items = form_.ListBox2.items;
        if (form_.ListBox2.selected >= 0) selected.push_back(form_.ListBox2.selected);
    } else if (v.name == "ListBox3") {
        items = form_.ListBox3.items;
        selected = form_.ListBox3.selected;
    } else {
        return;
    }
    const bool multiple = (::GetWindowLongW(v.hwnd, GWL_STYLE) & LBS_EXTENDEDSEL) != 0;
    TextListView& shown = textLists_[v.name];
    if (!shown.drawn || shown.items != items) {
        std::vector<std::wstring> texts;
        for (const std::string& item : items) texts.push_back(widen(item));
        refillListBox(v.hwnd, texts);
        shown.items = std::move(items);
        shown.drawn = true;
        shown.selected.clear();  // a refilled list shows nothing chosen
    }
    if (shown.selected != selected) {
        if (multiple) {
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
                            widen(app::Tform_instrucoes::closeCaption), app::Tform_instrucoes::text(), uiFont_,
                            memoFont_);
        instructionsShown_ = model->timesShown;
    } else if (model->timesShown != instructionsShown_) {
        instructionsShown_ = model->timesShown;
        instructions_->bringToFront();
    }
}

// ---------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------

MainWindow::View* MainWindow::viewById(int id) {
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : &views_[it->second];
}

MainWindow::View* MainWindow::viewByHwnd(HWND hwnd) {
    auto it = byHwnd_.find(hwnd);
    return it == byHwnd_.end() ? nullptr : &views_[it->second];
}

MainWindow::View* MainWindow::viewByName(std::string_view name) {
    for (View& v : views_)
        if (v.name == name) return &v;
    return nullptr;
}

app::DriveList* MainWindow::driveListOf(std::string_view name) {
    if (name == "DriveComboBox1") return &form_.DriveComboBox1;
    if (name == "DriveComboBox2") return &form_.DriveComboBox2;
    return nullptr;
}

int MainWindow::currentPage() const {
    const LRESULT page = tabs_ ? ::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) : -1;
    return page < 0 ? 0 : static_cast<int>(page);
}

}  // namespace vx::view
