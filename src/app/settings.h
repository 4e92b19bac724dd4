// The settings file "parametros.ini" in the data folder: one line, "1" or
// "0", per switch: the two report offers, then the check on insertion.
// Older versions read the first two lines only and write only those, so a
// two-line file reads with the insertion check off.
#pragma once

#include <string>

#include "platform/platform.h"

namespace vx::app {

struct ReportSwitches {
    bool afterChecks = true;          // offer to save the log after the two checks
    bool afterDisinfections = true;   // ... after the two disinfections
    bool checkOnInsertion = false;    // check a removable drive as soon as it arrives
};

std::string settingsFilePath(platform::Shell& shell);

// Reads the switches at start-up; a line counts as on only when it is exactly
// "1", and a missing line is off. A missing file is created with the two report-offer
// lines "1" and "1" (the insertion check reads off). A file that cannot be
// read or created does not stop the start-up: both switches are then on.
ReportSwitches loadSettings(platform::Platform& os);

// Stores the switches. When the file no longer exists it is created with the
// defaults (report offers on, insertion check off), and so are the returned
// switches. When the file cannot be
// written the input/output error box is shown and `current` comes back as it
// was.
ReportSwitches saveSettings(platform::Platform& os, ReportSwitches current);

}  // namespace vx::app
