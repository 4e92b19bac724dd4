// The activity log on screen: a read-only view of the model's ActivityLog
// that draws only the lines in sight.
//
// A standard EDIT control lays out every line it is given as it receives it
// (about 0.1 ms a line under Wine, whether it wraps or not), so a run that
// writes a hundred thousand lines spent longer in the control than on the
// disk, and every push froze the window for seconds. This view keeps no text
// of its own: it reads the lines from the log when it paints, wraps only the
// ones on screen, and a push of new lines only moves the scroll range. It
// behaves as the read-only multi-line box it replaces: vertical scroll bar,
// word wrap, navy bold text on silver, the newest lines in sight while the
// log grows (unless the user has scrolled back), lines chosen with the mouse
// or Ctrl+A and copied with Ctrl+C or the context menu, and WM_GETTEXT /
// WM_GETTEXTLENGTH answering the whole text, lines joined by CR LF, for
// programs that read the window (screen readers, the end-to-end drivers).
//
// The log only ever grows at its end or is cleared (its generation then
// changes). LogMemo remembers the generation and the number of lines it
// shows; flush() catches up with the log in constant time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan/activity_log.h"
#include "window_base.h"

namespace vx::view {

// The log's look: bold Arial of 8 points at `dpi`.
HFONT createLogMemoFont(int dpi);

class LogMemo : public WindowBase<LogMemo> {
public:
    // `portuguese` tells the language of the context menu's items; without
    // it they are in English.
    explicit LogMemo(const scan::ActivityLog& log, std::function<bool()> portuguese = {});
    ~LogMemo();
    LogMemo(const LogMemo&) = delete;
    LogMemo& operator=(const LogMemo&) = delete;

    // Creates the log window: a child with a vertical scroll bar and a
    // sunken edge that takes the focus with Tab. Null on failure.
    HWND create(HWND parent, int id, const RECT& bounds, HFONT font);

    // Brings the view up to date with the log; the new lines are painted at
    // the next WM_PAINT (UpdateWindow paints them at once).
    void flush();

    HWND handle() const { return hwnd_; }
    size_t linesShown() const { return shown_; }
    // How many times the view took new lines or a new log.
    uint64_t updates() const { return updates_; }

private:
    friend class WindowBase<LogMemo>;

    // Where a line of the log was drawn at the last paint.
    struct Row {
        size_t line;
        int top, bottom;
    };

    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc, const RECT& client);
    int pageLines() const;
    size_t lastTop() const;
    void scrollTo(size_t top);
    void scrollBy(long long lines);
    void updateScrollBar();
    size_t lineAt(int y) const;
    void select(size_t line, bool extend);
    void selectAll();
    void copySelection() const;
    void contextMenu(LPARAM at);
    const std::wstring& wholeText();

    const scan::ActivityLog& log_;
    HFONT font_ = nullptr;
    std::function<bool()> portuguese_;
    bool drawn_ = false;
    uint64_t generation_ = 0;
    size_t shown_ = 0;
    uint64_t updates_ = 0;

    bool follow_ = true;  // the newest lines are in sight and stay so
    size_t top_ = 0;      // first line at the top when not following
    static constexpr size_t kNone = static_cast<size_t>(-1);
    size_t anchor_ = kNone, active_ = kNone;  // the chosen lines, both ends included
    bool selecting_ = false;
    int wheel_ = 0;
    std::vector<Row> rows_;

    // The whole text for WM_GETTEXT, built once per state of the log.
    std::wstring text_;
    bool textValid_ = false;
};

}  // namespace vx::view
