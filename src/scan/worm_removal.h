// Worm removal routines that work on every file matching a mask in one folder:
// the file, the process of the same name and the start-up values named after it.
#pragma once

#include <initializer_list>
#include <string>

#include "scan/mask_match.h"
#include "scan/primitives.h"
#include "scan/run_context.h"

namespace vx::scan {

// The start-up key of the machine's policies, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kPoliciesRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Run";

// For every file (not folder) of folder + `mask`: ends the process of its name,
// deletes it and deletes the values named after its stem from the HKCU Run,
// HKLM Policies Run and HKLM Run keys. With the mask "*.lnk" exactly, a
// shortcut met (deleted or not) is told in the result; deleting a "win32.exe"
// raises the restart needed flag. A folder that is itself a junction or link
// is refused: only its nothing-found line is written. `folder` ends in "\".
MaskMatch wormMaskAndRunValueRemoval(RunContext& ctx, const std::string& folder, const std::string& mask);

// The same removal in base + entry + "\" for every entry of `base` (files
// included: they hold nothing), except the entries named exactly as one of
// `passedOver`. A `base` that is itself a junction or link is not listed. An entry that is a junction or link is not entered: what it
// holds lives elsewhere, possibly on another disk; it gets the line of a
// folder where nothing was found.
void wormMaskAndRunValueRemovalInEachEntry(RunContext& ctx, const std::string& base, const std::string& mask,
                                           std::initializer_list<const char*> passedOver = {});

// For every file (not folder) of folder + `mask` (a device root and "*.exe"):
// the shortcut worm's program (a file between 250000 and 251000 bytes, when
// `shortcuts` were seen) is removed with its processes and start-up values; a
// file whose name is a running process is ended; a file beside a folder of its
// own name less the extension is deleted. A folder that is itself a junction
// or link is refused: only its nothing-found line is written. `folder` ends in "\".
void wormMaskRemoval(RunContext& ctx, const std::string& folder, const std::string& mask, ShortcutSeen shortcuts);

// The last two characters of the Windows product name ("XP" on Windows XP),
// read afresh; empty when it cannot be read.
std::string windowsEditionSuffix(platform::Registry& registry);

// How the English not-running line of a process ends: some callers end it
// with a blank, as saved logs show it.
enum class NotRunningLine { Plain, TrailingBlank };

// The two lines of a process ended by tag: "[VX] > Processo [tag] finalizado!"
// when the kill ended it, else the not-running line.
void writeProcessLines(RunContext& ctx, const std::string& tag, KillResult kill,
                       NotRunningLine ending = NotRunningLine::Plain);

// Ends every process named `process` and writes its lines under `tag`.
// Returns what killProcessByName returned.
KillResult killAndReport(RunContext& ctx, const std::string& process, const std::string& tag,
                         NotRunningLine ending = NotRunningLine::Plain);

// Ends notepad.exe, or calc.exe when no notepad.exe was ended, with one pair
// of "[vx008]" lines for both. Returns the result of the last kill.
KillResult killNotepadOrCalc(RunContext& ctx);

}  // namespace vx::scan
