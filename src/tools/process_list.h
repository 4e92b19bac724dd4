// The running process list of the tools tab: the listing of every running
// process, the list model it fills (kept sorted like a sorted list box) and
// the termination of the process named by the selected line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/run_context.h"

namespace vx::tools {

// One line of the list: the text shown and the process ID attached to it
// (kept for reference; termination goes by name).
struct ProcessListItem {
    std::string text;
    uint32_t pid = 0;
    bool operator==(const ProcessListItem&) const = default;
};

// The model behind the process list box. Once sorted, it keeps its lines in
// case-insensitive order as a sorted list box does: a later line goes in
// after every line that sorts before it or equal to it, so identical texts
// stay in the order they arrived. The horizontal scroll extent needs the
// view's font, so the view measures `lines()` itself after a refresh.
struct ProcessListBox {
    std::vector<ProcessListItem> items;
    int selected = -1;  // index of the selected line; -1 when none
    bool sorted = false;

    // Removes every line and the selection.
    void clear();
    // Appends the line, or inserts it in order when the list is sorted.
    void add(ProcessListItem item);
    // Switches to sorted mode, ordering the current lines (stable).
    void sort();
    // The texts in displayed order.
    std::vector<std::string> lines() const;
    // The text of the selected line; std::nullopt when none is selected.
    std::optional<std::string> selectedText() const;
};

// Case-insensitive ordering of two list texts (true when `a` sorts before `b`).
bool listTextLess(const std::string& a, const std::string& b);

// True for the Windows versions whose processes are listed by full image
// path: NT 5.0, 5.1, 5.2, 6.0 and 6.1.
bool showsFullImagePaths(const platform::WindowsVersion& version);

// Appends one entry per running process, in snapshot order: "System Idle
// Process" for ID 0; the full image path on the versions above when it can
// be read, else the name the snapshot reports. False (nothing appended) when
// the snapshot is empty, as when it cannot be taken.
bool listRunningProcesses(platform::Processes& processes, platform::Shell& shell,
                          std::vector<ProcessListItem>& out);

// Clears the list, fills it with the running processes and leaves it sorted.
void refreshProcessList(platform::Platform os, ProcessListBox& box);

enum class TerminateOutcome {
    NothingSelected,  // the "choose a process first" box; nothing ended
    Terminated,       // the success box, then the list refreshed
    Failed,           // the warning box; the list left as it is
};

// Ends every process named by the selected line's file-name part (the text
// after the last "\" or ":"), shows the outcome in a box in the current
// language and, on success, refreshes the list after the box is closed.
TerminateOutcome terminateSelectedProcess(scan::RunContext& ctx, ProcessListBox& box);

}  // namespace vx::tools
