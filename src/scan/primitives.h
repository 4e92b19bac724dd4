// Process and file primitives shared by the checks, the disinfections and the tools.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/platform.h"
#include "scan/run_context.h"

namespace vx::scan {

// CSIDL numbers of the special folders the program uses.
namespace csidl {
inline constexpr int Desktop = 0;
inline constexpr int Programs = 2;
inline constexpr int Personal = 5;
inline constexpr int Favorites = 6;
inline constexpr int Startup = 7;
inline constexpr int StartMenu = 11;
inline constexpr int MyMusic = 13;
inline constexpr int MyVideo = 14;
inline constexpr int DesktopDirectory = 16;
inline constexpr int Fonts = 20;
inline constexpr int CommonStartMenu = 22;
inline constexpr int CommonPrograms = 23;
inline constexpr int CommonStartup = 24;
inline constexpr int CommonDesktopDirectory = 25;
inline constexpr int AppData = 26;
inline constexpr int LocalAppData = 28;
inline constexpr int AltStartup = 29;
inline constexpr int CommonAltStartup = 30;
inline constexpr int CommonFavorites = 31;
inline constexpr int CommonAppData = 35;
inline constexpr int Windows = 36;
inline constexpr int System = 37;
inline constexpr int ProgramFiles = 38;
inline constexpr int MyPictures = 39;
inline constexpr int Profile = 40;
inline constexpr int SystemX86 = 41;
inline constexpr int ProgramFilesX86 = 42;
inline constexpr int ProgramFilesCommon = 43;
inline constexpr int ProgramFilesCommonX86 = 44;
inline constexpr int CommonDocuments = 46;
inline constexpr int CommonMusic = 53;
inline constexpr int CommonPictures = 54;
inline constexpr int CommonVideo = 55;
}  // namespace csidl

// True for a process that must never be terminated whatever a file is named:
// the processes whose loss halts or breaks Windows, the ones the system marks
// critical, and the program itself.
bool isProtectedProcess(platform::Processes& processes, const platform::ProcessEntry& entry);

// What ending the processes of one name came to: the result of the last
// termination attempted. `ended` is false when it failed or nothing matched.
struct KillResult {
    bool ended = false;
};

// Terminates every running process whose executable is `name` (letters a-z
// compared in upper case; the bare file name or the whole text the process
// list reports). A protected process is never terminated and its skipped
// attempt counts as a failure.
KillResult killProcessByName(platform::Processes& processes, const std::string& name);

// True when at least one running process matches `name` (same rule).
bool isProcessRunning(platform::Processes& processes, const std::string& name);

// The same two look-ups for a run of files handled one after another: the
// process list is taken at the first look-up and used again until a process
// is terminated (the list has changed) or `reuse` look-ups have passed (a
// process started meanwhile is seen within that many files). A name found in
// that list is confirmed in a list taken at once before anything is done.
class ProcessLookups {
public:
    explicit ProcessLookups(platform::Processes& processes, size_t reuse);
    KillResult kill(const std::string& name);
    bool isRunning(const std::string& name);

private:
    const std::vector<platform::ProcessEntry>& list();
    void renew();
    platform::Processes& processes_;
    size_t reuse_, uses_ = 0;
    std::optional<std::vector<platform::ProcessEntry>> list_;
};

// Whether finding a folder is a sign of infection (a worm's folder) or not
// (a system folder that is cleared all the same).
enum class CountsAsInfection { Yes, No };

// What deleteFolderTree did. `found` tells whether the last folder the walk
// tried to enter was there: the folder itself, unless a nested folder it met
// could not be entered after all.
struct FolderRemoval {
    bool found = false;
    bool removed = false;  // the folder itself was removed
};

// Empties and removes `folder` (with or without a final "\"), terminating any
// process named like a file inside it and logging the way the disinfections
// do; a folder found raises the infection found flag when it counts as one
// (nested folders always do). Plain sub-folders (attribute word exactly
// "directory") are emptied the same way; anything else, reparse points
// included, is treated as a file and never entered.
FolderRemoval deleteFolderTree(RunContext& ctx, const std::string& folder, CountsAsInfection counts);

// True when `path` names the running program's own file, whatever it is
// called: the program is never taken for a worm, never counted in a folder's
// worm signs and never deleted by a run.
bool isProgramFile(RunContext& ctx, const std::string& path);

// True when `folder` (with or without a final "\") is itself a junction or a
// symbolic link: what it shows lives elsewhere, possibly on the computer's own
// disk, so no worm routine works through it.
bool isLinkFolder(platform::FileSystem& fs, const std::string& folder);

// Deletes the file `path` for a run, once the run's quarantine (when it has
// one) holds a verified copy. Refuses, answering false as when Windows
// refuses, a path that is not absolute, the program's own file and a file
// that cannot be kept.
bool removeFile(RunContext& ctx, const std::string& path);

// Files a routine is about to delete, kept together: when the run keeps what
// it deletes, every original of the batch is copied, verified and recorded
// at once (one flush of the store for the batch, not two per file) and held
// open until it is deleted through that same handle, so nothing can change
// or replace it in between. A run that keeps nothing deletes by path.
class RemovalBatch {
public:
    RemovalBatch(RunContext& ctx, std::vector<std::string> paths);
    ~RemovalBatch();
    RemovalBatch(const RemovalBatch&) = delete;
    RemovalBatch& operator=(const RemovalBatch&) = delete;

    // Deletes the file at `index` (into the paths given): false, as when
    // Windows refuses, when it was not kept or could not be deleted, or is
    // the program's own file.
    bool remove(size_t index);

private:
    RunContext& ctx_;
    std::vector<std::string> paths_;
    std::vector<std::unique_ptr<platform::HeldFile>> held_;
    bool keeping_ = false;
};

// Deletes the value `name` of the open `key` (`root`\`keyPath`) for a run,
// once the run's quarantine (when it has one) has kept it. False, the value
// left in place, when it cannot be kept or deleted.
bool removeValue(RunContext& ctx, platform::RootKey root, const std::string& keyPath, platform::RegKey& key,
                 const std::string& name);

// Calls `visit(entry)` for every file (not folder) matching folder + `mask`,
// in find order, passing over the program's own file. A folder text that is
// not absolute is never searched (it comes from a folder Windows could not
// give). `folder` ends in "\".
template <typename Visit>
void forEachFileMatching(RunContext& ctx, const std::string& folder, const std::string& mask, Visit&& visit) {
    if (!platform::isAbsolutePath(folder)) return;
    std::unique_ptr<platform::Finder> finder = ctx.os.fs.find(folder + mask);
    platform::FindEntry entry;
    while (finder && finder->next(entry))
        if (!entry.isDirectory() && !isProgramFile(ctx, folder + entry.name))
            visit(static_cast<const platform::FindEntry&>(entry));
}

// The path of a special folder by CSIDL number; empty when Windows cannot give it.
std::string specialFolderPath(platform::Shell& shell, int csidlNumber);

// Shows a folder in an Explorer window.
void openInExplorer(platform::Shell& shell, const std::string& folder);

// Enables the shutdown privilege and asks Windows to end with `exitFlags`
// (2 restarts the machine).
void restartWindows(platform::Shell& shell, unsigned exitFlags);

}  // namespace vx::scan
