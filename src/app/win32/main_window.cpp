#include "main_window.h"

#include <commctrl.h>

#include "layout.h"
#include "platform/win32/win32_heartbeat.h"
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

// The controls the view subclasses: to follow the mouse (hover colours, hot
// buttons, the hand cursor) and to see the keys of the instructions button.
// Group boxes are subclassed too: they leave their inside unpainted.
bool subclassed(ControlKind kind) {
    return kind == ControlKind::Label || kind == ControlKind::Button || kind == ControlKind::SpeedButton ||
           kind == ControlKind::GroupBox;
}

HICON loadIcon(HINSTANCE instance, int width, int height) {
    return static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARREX), IMAGE_ICON, width, height, 0));
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
    // The classes hold the icons: they go before the icons do.
    if (classesRegistered_) {
        ::UnregisterClassW(kMainWindowClass, instance_);
        ::UnregisterClassW(kContainerClass, instance_);
        ::UnregisterClassW(kInstructionsWindowClass, instance_);
    }
}

bool MainWindow::registerClasses(HINSTANCE instance) {
    icon_.reset(loadIcon(instance, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)));
    smallIcon_.reset(loadIcon(instance, ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)));
    classesRegistered_ = true;

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = icon_.get();
    wc.hIconSm = smallIcon_.get();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    if (!::RegisterClassExW(&wc)) return false;

    WNDCLASSEXW container{};
    container.cbSize = sizeof container;
    container.lpfnWndProc = Container::windowProc;
    container.hInstance = instance;
    container.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    container.lpszClassName = kContainerClass;
    if (!::RegisterClassExW(&container)) return false;

    return InstructionsWindow::registerClass(instance, icon_.get(), smallIcon_.get());
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
    uiFont_.reset(::CreateFontIndirectW(&ui));
    LOGFONTW bold = ui;
    bold.lfWeight = FW_BOLD;
    boldFont_.reset(::CreateFontIndirectW(&bold));
    memoFont_.reset(createLogMemoFont(dpi_));
}

bool MainWindow::create(HINSTANCE instance, int showCommand) {
    instance_ = instance;
    dpi_ = screenDpi();
    if (!registerClasses(instance)) return false;
    createFonts();

    const RECT frame = centredWindowRect(kClientWidth, kClientHeight, kMainStyle, kMainExStyle, dpi_);
    const std::wstring title = widen(form_.Form1.caption);
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
    onPageShown(0);

    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    if (HWND first = ::GetNextDlgTabItem(hwnd_, nullptr, FALSE)) ::SetFocus(first);
    return true;
}

HWND MainWindow::hostOf(const app::Control& control, POINT& offset) const {
    offset = POINT{0, 0};
    for (const app::Control* parent = control.parent; parent; parent = parent->parent) {
        const View* container = nullptr;
        for (const View& v : views_)
            if (v.control == parent) container = &v;
        if (!container) break;
        if (container->kind != ControlKind::GroupBox) return container->hwnd;
        // A group box is drawn behind its content; the content lives in the
        // group box's own host, shifted by the group box's position.
        if (const Placement* p = placementOf(container->name)) {
            offset.x += p->x;
            offset.y += p->y;
        }
    }
    return hwnd_;
}

void MainWindow::createControls() {
    int nextUnlisted = kFirstUnlistedId;
    for (app::Control* c : form_.controls()) {
        View v;
        v.control = c;
        v.name = c->name;
        v.kind = c->kind;
        if (c->kind == ControlKind::Form) {
            v.hwnd = hwnd_;
        } else {
            v.id = controlId(c->name);
            if (v.id == 0) v.id = nextUnlisted++;
        }
        if (const Placement* p = placementOf(c->name)) v.flags = p->flags;
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
        HWND host = hostOf(*v->control, offset);
        RECT bounds{scaled(offset.x + p.x, dpi_), scaled(offset.y + p.y, dpi_), scaled(offset.x + p.x + p.width, dpi_),
                    scaled(offset.y + p.y + p.height, dpi_)};
        createControl(*v, host, bounds);
    }
    // A control the table does not place yet still exists, out of sight.
    for (View& v : views_) {
        if (v.hwnd || v.kind == ControlKind::TabSheet) continue;
        POINT offset;
        HWND host = hostOf(*v.control, offset);
        if (HWND hwnd = createControl(v, host, RECT{0, 0, 0, 0})) ::ShowWindow(hwnd, SW_HIDE);
    }

    for (size_t i = 0; i < views_.size(); ++i)
        if (views_[i].hwnd) byHwnd_[views_[i].hwnd] = i;

    // Group boxes go behind the controls drawn on them.
    for (View& v : views_)
        if (v.kind == ControlKind::GroupBox && v.hwnd)
            ::SetWindowPos(v.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    if (memo_ && memo_->handle()) {
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
    ::SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_.get()), FALSE);

    // One tab per tab sheet, in the model's order.
    int index = 0;
    for (View& sheet : views_) {
        if (sheet.kind != ControlKind::TabSheet || sheet.name.empty()) continue;
        if (sheet.control->parent != tabs.control) continue;
        std::wstring caption = widen(sheet.control->caption);
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
        sheet.hwnd = createContainer(WS_EX_CONTROLPARENT, WS_CHILD | WS_CLIPCHILDREN, area, hwnd_, sheet.id);
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
    HFONT font = uiFont_.get();
    const std::wstring caption = controlText(v.control->caption);
    switch (v.kind) {
        case ControlKind::Panel:
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
        case ControlKind::Label: {
            const bool path = static_cast<const app::Label*>(v.control)->ellipsis == app::Ellipsis::Path;
            style |= SS_LEFT | SS_NOTIFY | SS_NOPREFIX | (path ? SS_PATHELLIPSIS : SS_ENDELLIPSIS);
            break;
        }
        case ControlKind::StaticText:
            style |= SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX | ((v.flags & kBoxedText) ? SS_SUNKEN : 0);
            font = boldFont_.get();
            break;
        case ControlKind::Memo: {
            // The log view shows the activity log the control is.
            auto memo = std::make_unique<LogMemo>(static_cast<const app::Memo&>(*v.control), [this] {
                return form_.language == scan::Language::Portuguese;
            });
            v.hwnd = memo->create(host, v.id, b, memoFont_.get());
            if (v.hwnd) memo_ = std::move(memo);
            return v.hwnd;
        }
        case ControlKind::ListBox:
            cls = L"LISTBOX";
            // The model keeps the lines sorted; the control shows them in its
            // order so that a line's index is the model's index.
            style |= WS_TABSTOP | WS_GROUP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
            if (static_cast<const app::ListBox*>(v.control)->multiSelect) style |= LBS_EXTENDEDSEL;
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
    if (v.kind == ControlKind::Panel)
        v.hwnd = createContainer(exStyle, style, b, host, v.id);
    else
        v.hwnd = ::CreateWindowExW(exStyle, cls, caption.c_str(), style, b.left, b.top, b.right - b.left,
                                   b.bottom - b.top, host, reinterpret_cast<HMENU>(static_cast<INT_PTR>(v.id)),
                                   instance_, nullptr);
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


HWND MainWindow::createContainer(DWORD exStyle, DWORD style, RECT b, HWND parent, int id) {
    containers_.push_back(std::make_unique<Container>(*this));
    HWND hwnd = ::CreateWindowExW(exStyle, kContainerClass, L"", style, b.left, b.top, b.right - b.left,
                                  b.bottom - b.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  instance_, containers_.back().get());
    if (!hwnd) containers_.pop_back();
    return hwnd;
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


int MainWindow::currentPage() const {
    const LRESULT page = tabs_ ? ::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0) : -1;
    return page < 0 ? 0 : static_cast<int>(page);
}

}  // namespace vx::view
