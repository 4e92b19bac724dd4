// The icon repair: moves the user's Explorer file-extension settings to a
// backup key so that Windows rebuilds them (and the file-type icons) at the
// next start.
#pragma once

#include <string>

#include "platform/platform.h"
#include "scan/run_context.h"

namespace vx::tools {

inline constexpr const char* kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
inline constexpr const char* kFileExtsKey = "FileExts";
inline constexpr const char* kFileExtsBackupKey = "FileExtsoldvx";

// What becomes of the old subkey once moveRegistryKey has copied it.
enum class OldKey { Delete, Keep };

// Copies the subkey `oldName` of `parent` to `newName` (values with their
// names, types and data, and every subkey recursively) and, when `oldKey` says
// so, deletes the old subkey. Does nothing when `oldName` is missing or `newName`
// already exists. The old subkey is deleted only when every part of it that
// could be read is present in the copy, so a failed copy never loses the
// settings. True when the old subkey was moved (copied and, if asked, deleted).
bool moveRegistryKey(platform::Registry& registry, platform::RootKey root, const std::string& parent,
                     const std::string& oldName, const std::string& newName, OldKey oldKey);

enum class IconRepairOutcome {
    Moved,            // FileExts moved to FileExtsoldvx; restart message shown
    NothingToRepair,  // no FileExts (or the parent key cannot be opened); "unable" message shown
    NotMoved,         // FileExts present but not moved (backup already there, or the copy
                      // failed); restart message shown all the same
};

// The icon repair button: always ends with exactly one information box.
IconRepairOutcome repairIcons(scan::RunContext& ctx);

}  // namespace vx::tools
