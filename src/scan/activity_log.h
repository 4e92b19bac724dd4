// The activity log: the ordered lines that every check, disinfection and tool
// writes. Lines are only appended or all cleared, never edited one by one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan/shown_names.h"

namespace vx::scan {

class ActivityLog {
public:
    // A character that shows nothing is written as its code (markInvisible).
    void append(std::string line) {
        lines_.push_back(markInvisible(std::move(line)));
        if (listener_) listener_();
    }
    void clear() {
        lines_.clear();
        ++generation_;
    }
    const std::vector<std::string>& lines() const { return lines_; }
    size_t size() const { return lines_.size(); }
    // Grows by one at every clear: a view that shows the log compares it with
    // the generation it has drawn to know whether to redraw from the start or
    // only append the lines past the ones it already shows.
    uint64_t generation() const { return generation_; }

    // Called after every append, so that a view can push new lines to the
    // screen in batches while a long run is still writing.
    void setAppendListener(std::function<void()> listener) { listener_ = std::move(listener); }

private:
    std::vector<std::string> lines_;
    uint64_t generation_ = 0;
    std::function<void()> listener_;
};

}  // namespace vx::scan
