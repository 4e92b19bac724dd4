// The computer disinfection: ends the worm processes, deletes the worm files,
// folders, shortcuts and scripts in the special folders, the worm start-up
// values and the policy values the worms use to lock the system; then the
// verdict, the automatic log copies, the restart question and the save offer.
#pragma once

#include <string>

#include "scan/run_context.h"
#include "scan/run_frame.h"

namespace vx::computer {

// The registry script written beside the program when DriverAudio.exe
// survives its deletion; importing it removes the task that restarts it.
inline constexpr const char* kDriverAudioScriptName = "Varrex - DriverAudio.reg";

// Runs the whole disinfection; `saveOffer` is the removal group's switch.
void runComputerDisinfection(scan::RunContext& ctx, scan::SaveOffer saveOffer,
                             scan::SaveDialogMemory& saveDialog);

}  // namespace vx::computer
