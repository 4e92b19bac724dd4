// The start-up entries through which today's shortcut worms run their code
// on the computer: a shortcut in a Startup folder, or a Run / RunOnce value,
// whose command hands an interpreter (cmd, wscript, mshta, rundll32, ...) a
// script or DLL kept in the temporary folder, the roaming or local
// application data, or on a removable drive.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/run_context.h"

namespace vx::computer {

// One start-up entry that runs worm code, as read at the start of a run.
struct RunCommandEntry {
    // The shortcut's full path; empty for a registry value.
    std::string shortcut;
    // A registry value: its root, key path, name and text as read.
    platform::RootKey root = platform::RootKey::CurrentUser;
    std::string keyPath;
    std::string valueName;
    std::string valueText;
    // The files the entry runs as code that lie in those places and were
    // present when the entry was read, as Windows opens them (variables
    // expanded, relative paths resolved), each once, in command order.
    std::vector<std::string> code;

    bool isValue() const { return shortcut.empty(); }
    // What the log names the entry by: the shortcut's path, or the value as
    // "HKCU\Software\Microsoft\Windows\CurrentVersion\Run\name".
    std::string runBy() const;
};

// Reads the shortcuts of the user's and the common Startup folder and the
// values of the Run and RunOnce keys of HKCU and HKLM (opened with full
// access, as the other start-up steps open them), in that order, and keeps
// the entries that run worm code. Changes nothing; writes nothing.
std::vector<RunCommandEntry> readRunCommands(scan::RunContext& ctx);

// The check's block: its heading, one line per code file and entry (each
// sets the infection found flag), or its nothing-found line.
void reportRunCommands(scan::RunContext& ctx, const std::vector<RunCommandEntry>& entries);

// The disinfection's block: its heading, then per entry the shortcut or the
// value and its code files, each kept in the run's quarantine and deleted,
// with one line each. What an earlier step already removed gets no line; a
// code file inside the Windows, system or program-files folders or the
// program's own data folders is left in place.
void removeRunCommands(scan::RunContext& ctx, const std::vector<RunCommandEntry>& entries);

// `path` with %TEMP%, %TMP%, %APPDATA%, %LOCALAPPDATA%, %USERPROFILE%,
// %windir% and %SystemRoot% (any letter case) replaced by the folders the
// system gives; any other variable, or one whose folder the system cannot
// give, stays as written.
std::string expandFolderVariables(platform::Platform os, const std::string& path);

// True when `path` is `folder` or lies inside it, compared by whole
// components without regard to letter case (after 8.3 short names are
// replaced by the names the disk lists). False when either is not absolute.
bool isSameOrInsideFolder(platform::FileSystem& fs, const std::string& path, const std::string& folder);

}  // namespace vx::computer
