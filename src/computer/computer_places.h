// The places of the computer that the computer check and disinfection look
// at: the special folders the steps build their paths on, and the values of
// the two Run keys.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scan/run_context.h"

namespace vx::computer {

// The folders of one run, read once at its start. A folder Windows cannot
// give is an empty text; the paths built on it ("\google_i9\", "*.js") are
// not absolute, and the routines never search or change such a path, so the
// step reports it absent instead of working on the current drive or folder.
struct ComputerFolders {
    std::string startup, commonStartup, appData, localAppData, altStartup, commonAltStartup, commonAppData,
        windows, programFiles, profile, systemX86;
    std::string temp;  // the Windows temporary folder, ending in "\" (empty when unknown)

    static ComputerFolders read(platform::Platform& os);
};

// The drive root ("C:\") of a folder text: its first three characters when
// they are a drive letter, ":" and "\"; empty otherwise (a network folder's
// first three characters would name another server).
std::string driveRootOf(const std::string& folder);

// The program folder of a 64-bit system on the drive of `programFiles`:
// "C:\Program Files\"; empty when the folder has no drive letter.
std::string nativeProgramFilesOf(const std::string& programFiles);

// A present file or folder at an absolute path; a path that is not absolute
// is never looked at (see ComputerFolders).
bool fileAt(platform::FileSystem& fs, const std::string& path);
bool folderAt(platform::FileSystem& fs, const std::string& path);

// The names of the entries of `folder` ("\"-terminated), "." and ".." left
// out, taken before anything is changed in it. Entries that are junctions or
// symbolic links are marked: what they hold lives elsewhere and is looked at
// under its own folder.
struct FolderEntry {
    std::string name;
    bool isLink = false;
};
std::vector<FolderEntry> entriesOf(platform::FileSystem& fs, const std::string& folder);

// The Run key of one root, opened with full access and never created; a key
// that is missing or refuses full access has no values.
class RunKey {
public:
    RunKey(scan::RunContext& ctx, platform::RootKey root);
    bool usable() const { return key_ != nullptr; }
    // The value names at this moment, in the registry's order.
    std::vector<std::string> names();
    // The value's text; nothing for a missing value or one that is not text
    // (numbers, binary, multi-string are never a worm's command).
    std::optional<std::string> text(const std::string& name);
    bool exists(const std::string& name);
    // Deletes the value once the run's quarantine has kept it; true when it
    // is gone afterwards.
    bool remove(const std::string& name);

private:
    scan::RunContext& ctx_;
    platform::RootKey root_;
    std::unique_ptr<platform::RegKey> key_;
};

// A command that opens an image: its last four characters are "jpg" and a
// double quote, or ".jpg" (letter case significant).
bool isImageCommand(const std::string& text);

}  // namespace vx::computer
