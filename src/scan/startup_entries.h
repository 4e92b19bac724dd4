// Start-up entry routines shared by the computer check and disinfection and by
// the worm removal routines: removal of one worm file with the Run values named
// after it, removal and check of Run values that launch files of a folder, and
// the test for a folder holding a small executable beside a small script.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "scan/run_context.h"

namespace vx::scan {

// The start-up key, relative to HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
inline constexpr const char* kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Opens `path` under `root` with full access, never creating it. A key that
// is missing or refuses full access (HKLM without administrator rights) gives
// null, which every caller treats as a key without values.
std::unique_ptr<platform::RegKey> openKeyFullAccess(platform::Registry& registry, platform::RootKey root,
                                                    const std::string& path);

// Whether the Run key of `root` (opened as above) holds a value named `name`.
bool runValueExists(RunContext& ctx, platform::RootKey root, const std::string& name);

// Terminates the processes named `name`, deletes folder + name and deletes the
// Run values (HKCU, then HKLM) named `name` or after its stem (the name less its
// last four characters). `folder` ends in "\".
void wormFileRemoval(RunContext& ctx, const std::string& folder, const std::string& name);

// For every entry of folder + `mask`, finds the Run values (HKLM, then HKCU)
// whose command is exactly the entry's full path (bare, or in double quotes)
// and removes value, process and file.
void runDataRemoval(RunContext& ctx, const std::string& folder, const std::string& mask);

// The same search as runDataRemoval, reporting only: one line at the end.
void runDataCheck(RunContext& ctx, const std::string& folder, const std::string& mask);

// True when `folder` (ending in "\") holds both an executable and a script,
// each below 180000 bytes (the infection found flag is then set); always
// false for the folders Windows gives the user (see isUsersOwnFolder).
bool exeAndScriptPairTest(RunContext& ctx, const std::string& folder);

// True when the last component of `folder` names one of the folders Windows
// itself creates for the user (Desktop, Documents, AppData, Temp, ...) or a
// folder a cloud service synchronises (OneDrive, "OneDrive - Org", Dropbox, ...).
bool isUsersOwnFolder(const std::string& folder);

}  // namespace vx::scan
