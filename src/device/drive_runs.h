// What a drive's root shortcuts and autorun.inf run. Today's shortcut worms
// keep their code on the drive: the shortcut only starts it, through cmd, a
// script host or rundll32, or runs it directly from the hidden folder that
// now holds the user's files. Everything here is read before a run changes
// anything, so the check and the disinfection see the drive as the worm
// left it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scan/run_context.h"

namespace vx::device {

struct ShortcutRun {
    std::string shortcut;             // the shortcut's path
    std::optional<std::string> runs;  // target and arguments; nothing when unreadable
};

struct WormCode {
    std::string file;   // the worm's file, where it was when the run began
    std::string runBy;  // the root shortcut or autorun.inf that runs it
};

struct DriveRuns {
    std::string root;
    std::vector<ShortcutRun> shortcuts;
    std::vector<WormCode> code;           // each file once, in the order met
    std::vector<std::string> hidingFolders;  // names of root folders
};

// Reads the root shortcuts, the autorun.inf and the root folders of `root`
// ("E:\"). A file counts as the worm's code when it lies on the drive (never
// behind a junction or link, never the program's own file) and:
//  - an interpreter of Windows (cmd, the script hosts, mshta, rundll32,
//    regsvr32, msiexec, powershell) is given it to run, or a cmd chain or
//    start runs it;
//  - a shortcut runs it directly and it, or a folder above it, was hidden or
//    system (a visible portable program the user keeps there is left alone);
//  - the autorun.inf names it as the program to run.
// A document or folder that start or explorer merely opens never counts.
// A hiding folder is a root folder, hidden or system, whose name holds no
// letter or digit.
DriveRuns readDriveRuns(scan::RunContext& ctx, const std::string& root);

// The device check's block: the heading, one line per shortcut, per worm
// file and per hiding folder (each finding sets the infection found flag),
// or the nothing-found line.
void writeDriveRunsFindings(scan::RunContext& ctx, const DriveRuns& runs);

}  // namespace vx::device
