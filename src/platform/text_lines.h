// Splits the bytes of a text file into lines as they arrive, for both
// platform implementations: a line ends at CR LF, LF or a lone CR; a line
// keeps at most `maxLineBytes` bytes; collection stops after `maxLines`.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vx::platform {

class LineSplitter {
public:
    LineSplitter(size_t maxLines, size_t maxLineBytes) : maxLines_(maxLines), maxLineBytes_(maxLineBytes) {}

    bool full() const { return lines_.size() >= maxLines_; }

    void feed(const char* data, size_t size) {
        for (size_t i = 0; i < size && !full(); ++i) {
            const char c = data[i];
            if (afterCR_) {
                afterCR_ = false;
                if (c == '\n') continue;  // the LF of a CR LF pair
            }
            if (c == '\r') {
                endLine();
                afterCR_ = true;
            } else if (c == '\n') {
                endLine();
            } else {
                if (current_.size() < maxLineBytes_) current_ += c;
                lineStarted_ = true;
            }
        }
    }

    // The lines read, the last one without a line end included; raw bytes.
    std::vector<std::string> finish() {
        if (lineStarted_ && !full()) endLine();
        return std::move(lines_);
    }

private:
    void endLine() {
        lines_.push_back(std::move(current_));
        current_.clear();
        lineStarted_ = false;
    }

    size_t maxLines_;
    size_t maxLineBytes_;
    std::vector<std::string> lines_;
    std::string current_;
    bool lineStarted_ = false;
    bool afterCR_ = false;
};

}  // namespace vx::platform
