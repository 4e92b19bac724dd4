// The device disinfection: cleans the root of the removable drive chosen in
// the removal group.
#pragma once

#include <string>

#include "scan/run_context.h"
#include "scan/run_frame.h"

namespace vx::device {

// State the main window keeps for the removal group between runs.
struct DisinfectionTarget {
    std::string deviceRoot;    // "E:\" of the chosen drive, set by each run
    std::string recoveryPath;  // the last recovery folder made, with its final "\"
};

// Runs the whole disinfection on the drive whose list text is `driveListText`
// ("E:" or "E: [LABEL]"; empty when no drive is chosen). `saveOffer` is the
// switch that offers to save the log at the end.
void runDeviceDisinfection(scan::RunContext& ctx, const std::string& driveListText,
                           scan::SaveOffer saveOffer, scan::SaveDialogMemory& saveDialog,
                           DisinfectionTarget& target);

}  // namespace vx::device
