// The activity log: the ordered lines that every check, disinfection and tool
// writes. Lines are only appended or all cleared, never edited one by one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx::scan {

class ActivityLog {
public:
    void append(std::string line) { lines_.push_back(std::move(line)); }
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

private:
    std::vector<std::string> lines_;
    uint64_t generation_ = 0;
};

}  // namespace vx::scan
