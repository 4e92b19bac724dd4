// The temporary folders tool: the size of a folder, its text, and the
// clean-up of the user's and the Windows temporary folders with its two-copy
// clean-up log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/platform.h"
#include "scan/run_context.h"
#include "scan/run_frame.h"

namespace vx::tools {

// True for a path that names a place on its own: a drive letter followed by
// ":\", or a UNC path ("\\server\share\..."), with no "." or ".." component.
// Label captions are the only store of the two folder paths; a caption that is
// not such a path (a language switch writes plain words there) must never be
// resolved against the current directory and acted on.
bool isAbsoluteFolderPath(const std::string& path);

// False for a folder the clean-up must never empty, whatever the temporary
// path says: a drive or share root, and any folder that is, or holds, the
// profile, the Windows, system or program-files folders, the data folders or
// a folder Windows keeps for the user (Desktop, Documents, Downloads, ...).
// Old set-ups point TEMP at the profile or a drive root, and GetTempPath falls
// back to the profile or the Windows folder when TMP and TEMP are unset.
// Paths compare by whole components, letter case, short names and a final
// "\" aside. A special folder Windows cannot give protects nothing.
bool mayCleanTemporaryFolder(platform::FileSystem& fs, platform::Shell& shell, const std::string& folder);

// Bytes held by every entry under `folder` (with or without a final "\"), in
// 64 bits. Subfolders whose names begin with "." are counted as entries but
// not entered; reparse points (junctions, folder links) are never followed,
// so the walk always ends. A folder that cannot be listed, or a text that is
// not an absolute path, adds nothing.
uint64_t folderSize(platform::FileSystem& fs, const std::string& folder);

// "512B" below 1024; then KB, MB and GB with two decimals and the user's
// separators ("1,50 KB" in Brazil). GB carries on for any larger size.
std::string sizeText(platform::Clock& clock, uint64_t bytes);

// "Espaço ocupado: " / "Occupied space: " followed by the size text of the
// folder named by `folderCaption`.
std::string occupiedSpaceText(scan::RunContext& ctx, const std::string& folderCaption);

// The Windows temporary folder as shown: the Windows folder + "\temp\".
std::string windowsTemporaryFolder(platform::Shell& shell);

// The four captions of the temporary-folder group when the tools tab is shown:
// the user's temporary path (the old caption stays when the system gives
// none), the Windows temporary folder and the two size texts.
struct TemporaryFolderLabels {
    std::string label20, label21, label22, label23;
};
TemporaryFolderLabels refreshTemporaryFolderLabels(scan::RunContext& ctx, const std::string& label20Caption);

// Deletes the whole content of `folder` and then the folder itself. Only plain
// folders (attribute word exactly "directory") are entered; anything else,
// reparse points included, is deleted as a file (a link is never followed).
// Returns true when the folder itself was removed. Logs nothing.
bool emptyAndRemoveFolder(platform::FileSystem& fs, const std::string& folder);

// The name of the clean-up log: "vx-temp" + date + time + ".txt", made
// file-name safe, with nothing between date and time.
std::string cleanupLogName(const scan::DateTimeTexts& when);

struct CleanupOutcome {
    enum class End {
        Completed,      // both folders cleaned, box shown, sizes refreshed, log opened
        FolderMissing,  // a folder was not found: the log ends with its line, nothing else
        IoError,        // a log file could not be created or written: error box shown
    };
    End end = End::Completed;
    std::string logPath;       // the copy in the data folder
    std::string localLogPath;  // the copy in the local data folder
    bool messageShown = false;
    bool sizesRefreshed = false;
    bool logOpened = false;
};

// The clean-up. Writes the clean-up log in both data folders, empties the
// folder of `userTempCaption` and then the folder of `windowsTempCaption`
// (the folders themselves stay), shows the completion box, calls
// `refreshSizes` (the caller recomputes the two size captions) and opens the
// data-folder copy of the log with its default program. A missing folder, a
// caption that is not an absolute path, or a folder that may not be cleaned
// (mayCleanTemporaryFolder) ends the clean-up after its not-found line. A log
// file that cannot be created or written shows the input/output error box
// and ends the clean-up there.
CleanupOutcome cleanTemporaryFolders(scan::RunContext& ctx, const std::string& userTempCaption,
                                     const std::string& windowsTempCaption,
                                     const std::function<void()>& refreshSizes = {});

}  // namespace vx::tools
