// The main window on screen: creates a real control for every control of
// the model (TForm1), forwards every event to the model's handler and draws
// the model's state back after each one. The view holds no behaviour of its
// own: what a click does, which captions and colours show and what the log
// holds is all decided by the model.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/form1.h"
#include "instructions_window.h"
#include "log_memo.h"
#include "platform/win32/win32_platform.h"

namespace vx::view {

class MainWindow {
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

private:
    // One control of the model and what the view last drew of it.
    struct View {
        size_t model = 0;  // index in TForm1::controls()
        std::string name;
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
    // The lines and selection a list box of text lines shows.
    struct TextListView {
        bool drawn = false;
        std::vector<std::string> items;
        std::vector<int> selected;
    };
    struct DriveListView {
        std::vector<std::string> items;
        int selected = -2;  // nothing drawn yet
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK containerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
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
    // The real parent of a control and its position there, both taken from
    // the model's containers (a group box is drawn, not a parent).
    HWND hostOf(const app::Control& control, POINT& offset) const;

    // --- events -------------------------------------------------------------
    template <typename Handler>
    void forward(Handler&& handler);
    void onCommand(int id, int code);
    void onPageChanged();
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
    void renderProcessList(View& view);
    void renderTextList(View& view);
    void renderInstructions();
    void showPage(int page);

    View* viewById(int id);
    View* viewByHwnd(HWND hwnd);
    View* viewByName(std::string_view name);
    app::DriveList* driveListOf(std::string_view name);
    int currentPage() const;
    LRESULT controlColors(HDC dc, HWND control);

    win32::Win32Platform& os_;
    app::TForm1& form_;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND tabs_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND focusBeforeDeactivation_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HFONT uiFont_ = nullptr;
    HFONT boldFont_ = nullptr;
    HFONT memoFont_ = nullptr;
    int dpi_ = 96;

    std::vector<View> views_;
    std::unordered_map<int, size_t> byId_;
    std::unordered_map<HWND, size_t> byHwnd_;
    std::unordered_map<std::string, DriveListView> driveLists_;
    std::unordered_map<std::string, TextListView> textLists_;
    // The process lines and selection the list box shows.
    std::vector<std::string> processLinesShown_;
    int processSelectedShown_ = -2;
    std::vector<HWND> pages_;

    std::unique_ptr<LogMemo> memo_;
    std::unique_ptr<InstructionsWindow> instructions_;
    int instructionsShown_ = 0;  // the model's count when the view last showed it
    bool rendering_ = false;
    bool closed_ = false;  // the model's FormClose has run
};

}  // namespace vx::view
