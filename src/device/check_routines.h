// The routines that look for worm signs in one folder without changing what
// they find (beyond resetting the attributes of matched executables), and the
// tree listing that writes a device's files into the activity log. They know
// nothing of devices: the computer check runs the two check routines on its
// own folders as well.
#pragma once

#include <cstddef>
#include <string>

#include "scan/run_context.h"

namespace vx::device {

// Writes "[VX] - " + path for every match of `path` (a path or a pattern);
// the text written is `path` as given, not the matched name.
void listFile(scan::RunContext& ctx, const std::string& path);

// Writes the files of the tree under `folder` (with or without a final "\"),
// one line each, in the order a depth-first walk in find order meets them.
// Only plain folders (attribute word exactly "directory") are entered and are
// not listed themselves; folders carrying any other bit (hidden, system,
// read-only, archive, reparse point) are listed as one line and not entered.
// The walk keeps an explicit stack of open enumerations, so the depth of the
// tree never grows the call stack. Returns false, writing nothing, when the
// folder does not exist.
bool listTree(scan::RunContext& ctx, const std::string& folder);

// For every file matching folder + mask: the file itself ("Item <Infecções
// 10>"), then a Run value named after the file's stem under HKEY_CURRENT_USER
// ("10.1") and HKEY_LOCAL_MACHINE ("10.2"). The mask "*.lnk" exactly also sets
// the shortcut found flag when a shortcut is met. Every finding sets the
// infection found flag. `folder` ends in "\". A mask matching nothing writes
// nothing.
void checkWormMaskAndRunValue(scan::RunContext& ctx, const std::string& folder, const std::string& mask);

// For every file matching folder + mask: resets its attributes to normal,
// runs the A1 size test (only while the shortcut found flag is set), the
// running-process test and the companion-folder test, each finding setting
// the infection found flag. `folder` ends in "\".
void checkWormMask(scan::RunContext& ctx, const std::string& folder, const std::string& mask);

// `text` without its last `count` characters (UTF-8 code points); empty when
// it has no more than `count`.
std::string dropLastCharacters(const std::string& text, size_t count);

}  // namespace vx::device
