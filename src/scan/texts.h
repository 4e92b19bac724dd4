// The texts of the runs: each line (or line pattern) of a run is one named
// entry of that run's table, in Portuguese and English. A "{}" in a pattern
// stands for a variable part (a path, a name) given where the line is written.
// Saved logs carry these lines as they are, so an entry keeps every byte.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "scan/run_context.h"

namespace vx::scan {

struct Text {
    const char* pt;
    const char* en;
};

// `pattern` with each "{}" replaced, left to right, by the next of `parts`.
// The parts are inserted as they are: a "{}" inside a part is no hole. A hole
// left without a part stays as written.
inline std::string fill(std::string_view pattern, std::initializer_list<std::string_view> parts) {
    std::string out;
    out.reserve(pattern.size() + 64);
    const std::string_view* part = parts.begin();
    size_t at = 0;
    while (at < pattern.size()) {
        const size_t hole = part == parts.end() ? std::string_view::npos : pattern.find("{}", at);
        if (hole == std::string_view::npos) {
            out.append(pattern.substr(at));
            break;
        }
        out.append(pattern.substr(at, hole - at));
        out.append(*part++);
        at = hole + 2;
    }
    return out;
}

// The entry in the language of the run.
inline const char* say(const RunContext& ctx, const Text& text) { return ctx.portuguese() ? text.pt : text.en; }
inline std::string say(const RunContext& ctx, const Text& text, std::initializer_list<std::string_view> parts) {
    return fill(say(ctx, text), parts);
}

// Appends the entry, in the language of the run, to the log.
inline void write(RunContext& ctx, const Text& text) { ctx.write(say(ctx, text)); }
inline void write(RunContext& ctx, const Text& text, std::initializer_list<std::string_view> parts) {
    ctx.write(say(ctx, text, parts));
}

}  // namespace vx::scan
