// The settings file "parametros.ini" in the data folder: two lines, "1" or
// "0", for the two report-offer switches.
#pragma once

#include <string>

#include "platform/platform.h"

namespace vx::app {

struct ReportSwitches {
    bool afterChecks = true;          // offer to save the log after the two checks
    bool afterDisinfections = true;   // ... after the two disinfections
};

std::string settingsFilePath(platform::Shell& shell);

// Reads the switches at start-up; a line counts as on only when it is exactly
// "1". A missing file is created with both switches on. A file that cannot be
// read or created does not stop the start-up: both switches are then on.
ReportSwitches loadSettings(platform::Platform& os);

// Stores the switches. When the file no longer exists it is created with both
// switches on, and so are the returned switches. When the file cannot be
// written the input/output error box is shown and `current` comes back as it
// was.
ReportSwitches saveSettings(platform::Platform& os, ReportSwitches current);

}  // namespace vx::app
