// The main window on screen: creates a real control for every control of
// the model (TForm1), forwards every event to the model's handler and draws
// the model's state back after each one. The view holds no behaviour of its
// own: what a click does, which captions and colours show and what the log
// holds is all decided by the model.
//
// Creation is in main_window.cpp, the events that reach the model in
// main_window_dispatch.cpp, the model's state drawn back in
// main_window_render.cpp.
//
// One handler runs at a time. While it runs, messages sent to the window
// (by another program, by a message box's modal loop, by the pump that keeps
// the window painted) may still reach it: the events they carry are queued
// and replayed in order once the handler has returned.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/form1.h"
#include "instructions_window.h"
#include "log_memo.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"
#include "window_base.h"

namespace vx::view {

class MainWindow : public WindowBase<MainWindow> {
public:
    MainWindow(win32::Win32Platform& os, app::TForm1& form);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and its controls, runs the model's start-up, then
    // shows the window. False when the window cannot be created.
    bool create(HINSTANCE instance, int showCommand);

    // The keyboard handling of the message loop (tab order, accelerators,
    // Esc, Ctrl+Tab between the tabs) for both windows; true when the
    // message was taken.
    bool preTranslate(MSG& msg);

    HWND handle() const { return hwnd_; }

    // A handler of the model is running (events that arrive now wait).
    bool busy() const { return running_; }

private:
    // A tab page or panel: a plain window that holds controls and passes
    // their notifications to the main window.
    class Container : public WindowBase<Container> {
    public:
        explicit Container(MainWindow& owner) : owner_(owner) {}

    private:
        friend class WindowBase<Container>;
        LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
        MainWindow& owner_;
    };

    // One control of the model and what the view last drew of it.
    struct View {
        app::Control* control = nullptr;
        std::string_view name;  // the control's, which the view's tables use
        app::ControlKind kind = app::ControlKind::Label;
        int id = 0;
        HWND hwnd = nullptr;  // a tab page's container for a tab sheet
        int page = -1;        // tab index of a tab sheet
        unsigned flags = 0;   // PlacementFlag
        bool hot = false;     // the mouse is over it
        bool drawn = false;   // the fields below hold what is on screen
        std::string caption;
        std::wstring shownCaption;
        COLORREF color = 0;
        bool checked = false;
        std::string hint;
        bool hasTip = false;
    };
    // The lines and selection a list box shows.
    struct ListView {
        bool drawn = false;
        std::vector<std::string> items;
        std::vector<int> selected;
    };
    struct DriveListView {
        std::vector<std::string> items;
        int selected = -2;  // nothing drawn yet
    };

    friend class WindowBase<MainWindow>;
    static constexpr UINT_PTR kSubclassId = 1;
    static LRESULT CALLBACK controlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT controlMessage(View& view, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    bool registerClasses(HINSTANCE instance);
    void createFonts();
    void createControls();
    void createTabControl(View& tabs);
    HWND createControl(View& view, HWND host, RECT bounds);
    void createTooltips();
    // A tab page or panel window, with its Container; null on failure.
    HWND createContainer(DWORD exStyle, DWORD style, RECT bounds, HWND parent, int id);
    // The real parent of a control and its position there, both taken from
    // the model's containers (a group box is drawn, not a parent).
    HWND hostOf(const app::Control& control, POINT& offset) const;

    // --- events -------------------------------------------------------------
    // Runs a handler of the model and draws the outcome, or queues it while
    // another handler runs. The handler holds copies of what it needs.
    void forward(std::function<void()> handler);
    // The event to the slot its control binds it to.
    void forwardEvent(View& view, app::Event event, app::EventArgs args = {});
    // Runs a handler now, even inside a running one (only the session-end
    // question, which Windows waits for, does that). An outer one is
    // followed by the events that arrived meanwhile, then the outcome is
    // drawn.
    void runNow(const std::function<void()>& handler);
    // Runs one handler; an exception ends it in the error box.
    void run(const std::function<void()>& handler);
    void onDeviceChange(uint32_t arrivedMask, uint32_t removedMask);
    // The model follows the drive news; an insertion check it finds due is
    // posted, so that it runs from the message loop, after the handler
    // that runs now and after whatever waits before it, never inside the
    // sent news (whose sender waits for the answer).
    void followDrives(uint32_t arrivedMask, uint32_t removedMask);
    static constexpr UINT kInsertionCheckMessage = WM_APP + 1;
    void onCommand(int id, int code);
    void onPageChanged();
    // The show handler of the tab sheet on that page.
    void onPageShown(int page);
    void onEscape();
    void onMouseMove(View& view);
    void onMouseLeave(View& view);
    void onClose();
    // Shows the log's new lines and answers what is pending while a handler
    // runs (the platform's heartbeat).
    void keepAnswering();
    void finish();

    // --- rendering ----------------------------------------------------------
    void render();
    void renderControl(View& view);
    void renderDriveList(View& view);
    void renderList(View& view);
    void renderInstructions();
    void showPage(int page);

    View* viewById(int id);
    View* viewByHwnd(HWND hwnd);
    View* viewByName(std::string_view name);
    int currentPage() const;
    LRESULT controlColors(HDC dc, HWND control);

    win32::Win32Platform& os_;
    app::TForm1& form_;
    HINSTANCE instance_ = nullptr;
    HWND tabs_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    win32::IconHandle icon_;
    win32::IconHandle smallIcon_;
    win32::GdiObject<HFONT> uiFont_;
    win32::GdiObject<HFONT> boldFont_;
    win32::GdiObject<HFONT> memoFont_;
    int dpi_ = 96;
    std::vector<std::unique_ptr<Container>> containers_;
    bool classesRegistered_ = false;

    std::vector<View> views_;
    std::unordered_map<int, size_t> byId_;
    std::unordered_map<HWND, size_t> byHwnd_;
    std::unordered_map<int, DriveListView> driveLists_;  // by control identifier
    std::unordered_map<int, ListView> lists_;             // by control identifier
    std::vector<HWND> pages_;

    std::unique_ptr<LogMemo> memo_;
    std::unique_ptr<InstructionsWindow> instructions_;
    int instructionsShown_ = 0;  // the model's count when the view last showed it
    bool rendering_ = false;
    bool closed_ = false;  // the model's FormClose has run

    // A handler is running; events wait in `pending_` until it returns.
    bool running_ = false;
    std::deque<std::function<void()>> pending_;
    // Drives announced while a handler ran, followed once after it.
    bool deviceChangeQueued_ = false;
    uint32_t arrivedWhileBusy_ = 0;
    uint32_t removedWhileBusy_ = 0;
};

}  // namespace vx::view
