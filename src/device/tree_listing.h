// The tree listing that writes a device's files into the activity log.
#pragma once

#include <string>

#include "scan/run_context.h"

namespace vx::device {

// Writes the files of the tree under `folder` (with or without a final "\"),
// one line each ("[VX] - " + its path), in the order a depth-first walk in find order meets them.
// Only plain folders (attribute word exactly "directory") are entered and are
// not listed themselves; folders carrying any other bit (hidden, system,
// read-only, archive, reparse point) are listed as one line and not entered.
// The walk keeps an explicit stack of open enumerations, so the depth of the
// tree never grows the call stack. Returns false, writing nothing, when the
// folder does not exist.
bool listTree(scan::RunContext& ctx, const std::string& folder);

}  // namespace vx::device
