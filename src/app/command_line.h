// The command line: Varrex.exe started with switches runs one check or
// disinfection without a window and without any box, and tells its outcome
// by its exit code, for scheduled tasks, start-up scripts and remote runs.
//
//   Varrex.exe /check-device E:      /disinfect-device E:
//   Varrex.exe /check-computer       /disinfect-computer
//   options: /lang:pt | /lang:en, /log:FILE, /restart; /? or /help
//
// Each run is the window's run: the same start-up, the same handler, the
// same log, automatic copies and quarantine; only the questions are answered
// as a script needs them answered (no save offer, no restart unless asked).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/run_context.h"

namespace vx::app {

enum class CommandAction { None, CheckDevice, DisinfectDevice, CheckComputer, DisinfectComputer, Help };

// What the arguments ask for.
struct CommandLine {
    CommandAction action = CommandAction::None;
    char drive = 0;        // the device runs' drive letter, upper case
    scan::Language language = scan::Language::Portuguese;  // Portuguese unless /lang:en
    std::string logFile;   // where the whole log goes; empty for none
    bool restart = false;  // a computer disinfection may restart Windows
    // Why the arguments are refused, in the chosen language; empty when
    // they are fine.
    std::string error;
};

// Switches are taken without regard to letter case, with "/" or "-" in
// front. The language is chosen before anything else, so that an error is
// told in the language the arguments ask for wherever /lang: stands.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The help text, one line each.
std::vector<std::string> usageText(scan::Language language);

// The exit codes.
namespace exitcode {
inline constexpr int NothingFound = 0;
inline constexpr int Found = 1;          // a check found something; a disinfection removed all it found
inline constexpr int NotAllRemoved = 2;  // something found could not be removed
inline constexpr int Usage = 3;          // a usage error or a drive that cannot be run on
inline constexpr int AnotherRun = 4;     // another Varrex run is in progress
}  // namespace exitcode

// Runs what the arguments ask for (they must not be empty) and answers the
// exit code. Every line goes to the console of the program that started
// this one, when there is one; no box is ever shown.
int runCommandLine(platform::Platform os, const std::vector<std::string>& arguments);

}  // namespace vx::app
