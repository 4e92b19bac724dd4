// The activity log on screen: a read-only multi-line EDIT that follows the
// model's ActivityLog.
//
// The log only ever grows at its end or is cleared (its generation then
// changes). LogMemo remembers the generation and the number of lines it has
// put in the control: a new generation replaces the whole text once, and
// otherwise only the lines past the ones shown are added, all of them in one
// EM_REPLACESEL at the end of the text. During a long run the log's append
// listener calls lineAppended() for every line; it pushes the pending lines
// and repaints the control at most every kFlushIntervalMs, so a run of a
// million lines costs a few hundred control updates, not a million.
//
// A push into a control that already holds a huge text is slow in itself
// (the control walks its line list to place and paint the new lines), so the
// pause after a push is also at least kBackoffFactor times as long as the
// push took: pushes then never take more than a fixed share of a run, and the
// cost of a run stays linear in its lines however slow the control is.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/activity_log.h"

namespace vx::view {

// Creates the log control: read-only, multi-line with word wrap, vertical
// scroll bar, text limit raised to the largest the control takes.
HWND createLogMemo(HWND parent, int id, const RECT& bounds, HFONT font);

// The log's look: bold Arial of 8 points at `dpi`.
HFONT createLogMemoFont(int dpi);

// Answers WM_CTLCOLORSTATIC for the log control: navy text on silver.
HBRUSH logMemoColors(HDC dc);

class LogMemo {
public:
    static constexpr unsigned kFlushIntervalMs = 200;
    static constexpr unsigned kBackoffFactor = 4;

    LogMemo(HWND edit, const scan::ActivityLog& log);

    // Brings the control up to date with the log now.
    void flush();
    // The append listener: pushes the pending lines and repaints the control
    // when kFlushIntervalMs have passed since the last push.
    void lineAppended();

    HWND handle() const { return edit_; }
    size_t linesShown() const { return shown_; }
    // How many times the control was updated (whole-text replacements and
    // appends together).
    uint64_t updates() const { return updates_; }

private:
    HWND edit_;
    const scan::ActivityLog& log_;
    bool drawn_ = false;
    uint64_t generation_ = 0;
    size_t shown_ = 0;
    DWORD lastFlushEnd_ = 0;   // tick count when the last push ended
    DWORD lastFlushCost_ = 0;  // milliseconds the last push took, repaint included
    uint64_t updates_ = 0;
    std::wstring batch_;  // reused between pushes
};

}  // namespace vx::view
