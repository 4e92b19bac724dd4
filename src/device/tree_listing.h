// The tree listing that writes a device's files into the activity log.
#pragma once

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

}  // namespace vx::device
