// The routines that look for worm signs among the files of one folder
// without changing what they find (beyond resetting the attributes of matched
// executables). The device check runs them on a drive's root, the computer
// check on its own folders.
#pragma once

#include <cstddef>
#include <string>

#include "scan/mask_match.h"
#include "scan/run_context.h"

namespace vx::scan {

// For every file matching folder + mask: the file itself ("Item <Infecções
// 10>"), then a Run value named after the file's stem under HKEY_CURRENT_USER
// ("10.1") and HKEY_LOCAL_MACHINE ("10.2"). With the mask "*.lnk" exactly, a
// shortcut met is told in the result. Every finding sets the infection found
// flag. `folder` ends in "\". A mask matching nothing writes nothing.
MaskMatch checkWormMaskAndRunValue(RunContext& ctx, const std::string& folder, const std::string& mask);

// For every file matching folder + mask: resets its attributes to normal,
// runs the A1 size test (only when `shortcuts` were seen), the
// running-process test and the companion-folder test, each finding setting
// the infection found flag. `folder` ends in "\".
void checkWormMask(RunContext& ctx, const std::string& folder, const std::string& mask, ShortcutSeen shortcuts);

// `text` without its last `count` characters (UTF-8 code points); empty when
// it has no more than `count`.
std::string dropLastCharacters(const std::string& text, size_t count);

}  // namespace vx::scan
