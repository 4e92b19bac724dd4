// The system report of the tools tab: Windows product, version, build and
// bits, the processor, and the process list as shown, written to the data
// folder (with a one-line copy in the local data folder) and opened.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vx::tools {

// "vx-relatorio-" + stamp + ".txt".
std::string systemReportFileName(platform::Clock& clock);

// "64 Bits" for a program running on 64-bit Windows (a 64-bit process, or a
// 32-bit one under emulation), "32 Bits" for a 32-bit process on 32-bit
// Windows, "" when the emulation query fails.
std::string bitsText(platform::Shell& shell, platform::Wow64 answer);

enum class ReportOutcome {
    Opened,         // both copies written, the full one handed to the shell
    FirstLineOnly,  // the emulation query is missing: both files hold the first line, nothing opened
    IoError,        // a folder or file could not be made or written: error box shown, nothing opened
};

// Writes the report (always in Portuguese) with `processLines` as its process
// part, in the order given, and opens the full copy with its default action.
ReportOutcome writeSystemReport(platform::Platform os, const std::vector<std::string>& processLines);

}  // namespace vx::tools
