// Worm removal routines that work on every file matching a mask in one folder:
// the file, the process of the same name and the start-up values named after it.
#pragma once

#include <string>

#include "scan/run_context.h"

namespace vx::scan {

// The start-up key of the machine's policies, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kPoliciesRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Run";

// For every file (not folder) of folder + `mask`: ends the process of its name,
// deletes it and deletes the values named after its stem from the HKCU Run,
// HKLM Policies Run and HKLM Run keys. Deleting "*.lnk" files raises the
// shortcut found flag; deleting a "win32.exe" raises the restart needed flag.
// `folder` ends in "\".
void wormMaskAndRunValueRemoval(RunContext& ctx, const std::string& folder, const std::string& mask);

// For every file (not folder) of folder + `mask` (a device root and "*.exe"):
// the shortcut worm's program (a file between 250000 and 251000 bytes, once a
// shortcut was met) is removed with its processes and start-up values; a file
// whose name is a running process is ended; a file beside a folder of its own
// name less the extension is deleted. `folder` ends in "\".
void wormMaskRemoval(RunContext& ctx, const std::string& folder, const std::string& mask);

}  // namespace vx::scan
