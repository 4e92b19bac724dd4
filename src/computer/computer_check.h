// The computer check: reports the worm signs on the computer itself (running
// worm processes, worm files and folders in the special folders, worm
// start-up entries in the Run keys), ends with a verdict box and offers to
// save the log. Beyond the attributes of the executables the Run-data check
// meets, it changes nothing.
#pragma once

#include "scan/run_context.h"
#include "scan/run_frame.h"

namespace vx::computer {

// Runs the whole check; `saveOffer` is the check group's switch.
void runComputerCheck(scan::RunContext& ctx, scan::SaveOffer saveOffer,
                      scan::SaveDialogMemory& saveDialog);

}  // namespace vx::computer
