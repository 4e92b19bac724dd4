// What the routines that work on every file matching a mask met, and how a
// caller hands it to the routine that follows.
#pragma once

namespace vx::scan {

// What a mask check or removal met among the files it matched.
struct MaskMatch {
    bool matched = false;      // at least one file matched the mask
    bool shortcutMet = false;  // the mask was "*.lnk" exactly and a shortcut was met
};

// Whether shortcuts were met at the same root just before: only then is an
// executable of the shortcut worm's size taken for its program.
enum class ShortcutSeen { No, Yes };

inline ShortcutSeen shortcutSeen(const MaskMatch& match) {
    return match.shortcutMet ? ShortcutSeen::Yes : ShortcutSeen::No;
}

}  // namespace vx::scan
