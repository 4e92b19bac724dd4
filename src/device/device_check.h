// The device check: reports every worm sign it knows at the root of one
// removable device, ends with a verdict line and box, then offers to save the
// log. It changes nothing on the device except the attributes of the
// executables at its root.
#pragma once

#include <string>

#include "scan/run_context.h"
#include "scan/run_frame.h"

namespace vx::device {

// Runs the whole device check on the drive whose list shows `driveListText`
// ("E:" or "E: [PENDRIVE]"): the device root is its first character followed
// by ":\", stored in `deviceRoot` for the window. An empty text skips the
// check and leaves the log and `deviceRoot` as they are; the save offer
// (`saveOffer`, the check group's switch) follows in every case.
void runDeviceCheck(scan::RunContext& ctx, const std::string& driveListText, scan::SaveOffer saveOffer,
                    scan::SaveDialogMemory& saveDialog, std::string& deviceRoot);

}  // namespace vx::device
