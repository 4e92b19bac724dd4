#include "scan/startup_entries.h"

#include <array>
#include <cstdint>

#include "platform/paths.h"
#include "scan/primitives.h"
#include "scan/scan_texts.h"

namespace vx::scan {

using platform::RootKey;

namespace {

// The name less its last four characters (a dot and a three-letter
// extension). Empty for a name of four characters or fewer: the Run key's
// unnamed default value is never taken for a value named after a file.
std::string stemOf(const std::string& name) {
    return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

// The text a Run value is compared with: a command in double quotes loses its
// first and last characters, whatever the last one is, so a quoted path with
// arguments never equals a bare path.
std::string commandPath(const std::string& command) {
    if (command.empty() || command.front() != '"') return command;
    return command.size() >= 2 ? command.substr(1, command.size() - 2) : std::string();
}

// Deletes the Run values named `name` and named after its stem under one root.
// The line is written once the deletion has been asked for. Both roots write
// the same "- CurrentUser" ending, as saved logs show it.
void deleteValuesNamedAfter(RunContext& ctx, RootKey root, const std::string& name) {
    auto key = openKeyFullAccess(ctx.os.registry, root, kRunKeyPath);
    if (!key) return;
    auto deleteOne = [&](const std::string& valueName) {
        if (valueName.empty() || !key->valueExists(valueName)) return;
        removeValue(ctx, root, kRunKeyPath, *key, valueName);
        write(ctx, texts::startup_entries::ValueDeleted, {valueName});
    };
    deleteOne(name);
    deleteOne(stemOf(name));
}

// Walks every entry of folder + mask (attributes reset to normal on the way)
// and, for each, the Run values of HKLM and then HKCU whose text names the
// entry's full path exactly, letter case significant. `onMatch` receives the
// root, the open key, the value name and the entry name. The value names are taken once
// per key, so values deleted meanwhile are passed over when their turn comes.
// Values that are not text (numbers, binary, multi-string) never match.
template <typename OnMatch>
void forEachRunValueNamingAnEntry(RunContext& ctx, const std::string& folder, const std::string& mask,
                                  OnMatch&& onMatch) {
    auto& fs = ctx.os.fs;
    if (!platform::isAbsolutePath(folder)) return;
    auto finder = fs.find(folder + mask);
    if (!finder) return;
    platform::FindEntry entry;
    while (finder->next(entry)) {
        if (entry.name == "." || entry.name == "..") continue;
        const std::string fullPath = folder + entry.name;
        if (isProgramFile(ctx, fullPath)) continue;
        fs.setAttributes(fullPath, 0).ignore();
        for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser}) {
            auto key = openKeyFullAccess(ctx.os.registry, root, kRunKeyPath);
            if (!key) continue;
            for (const std::string& valueName : key->valueNames()) {
                auto text = key->readText(valueName);
                if (!text || commandPath(*text) != fullPath) continue;
                onMatch(root, *key, valueName, entry.name);
            }
        }
    }
}

// The folders Windows creates for the user in the profile and in the roaming
// application data, and the folders the cloud services keep in step with a
// copy elsewhere. Their content belongs to the user: an installer beside a
// script in Downloads or Documents is not a worm's folder, and the pair rule
// would otherwise delete the whole folder (and, in a synchronised folder, the
// cloud would then delete every other copy of it).
constexpr std::array<const char*, 19> kUsersOwnFolders = {
    "AppData",  "Contacts",     "Desktop",     "Documents",    "Downloads",           "Favorites", "Links",
    "Music",    "OneDrive",     "Pictures",    "Saved Games",  "Searches",            "Temp",      "Videos",
    "Microsoft", "Dropbox",     "Google Drive", "iCloudDrive", "Creative Cloud Files"};

// A business OneDrive folder is named after its organisation: "OneDrive - Acme".
constexpr const char* kOneDriveOrganisationPrefix = "OneDrive - ";

// Whether folder + mask holds a file (not a folder) below 180000 bytes. The
// whole 64-bit size is compared: a file of several gigabytes is never small,
// whatever its low 32 bits read as.
// The program's own file is never one of the pair.
bool holdsSmallFile(RunContext& ctx, const std::string& folder, const std::string& mask) {
    constexpr uint64_t kSmallFileLimit = 180000;
    bool counted = false;
    forEachFileMatching(ctx, folder, mask, [&](const platform::FindEntry& entry) {
        if (ctx.os.fs.fileExists(folder + entry.name) && entry.size < kSmallFileLimit) counted = true;
    });
    return counted;
}

}  // namespace

std::unique_ptr<platform::RegKey> openKeyFullAccess(platform::Registry& registry, RootKey root,
                                                    const std::string& path) {
    return registry.open(root, path, platform::RegAccess::Full);
}

bool runValueExists(RunContext& ctx, RootKey root, const std::string& name) {
    auto key = openKeyFullAccess(ctx.os.registry, root, kRunKeyPath);
    return key && key->valueExists(name);
}

void wormFileRemoval(RunContext& ctx, const std::string& folder, const std::string& name) {
    auto& fs = ctx.os.fs;
    const std::string path = folder + name;

    if (killProcessByName(ctx.os.processes, name).ended)
        write(ctx, texts::startup_entries::ProcessEnded, {name});

    fs.setAttributes(path, 0).ignore();
    removeFile(ctx, path);
    if (fs.fileExists(path)) {
        ctx.write(fill(texts::startup_entries::FileNotDeleted, {path}));
        ctx.flags.removalFailed = true;
    } else {
        ctx.write(fill(texts::startup_entries::FileDeleted, {path}));
    }

    deleteValuesNamedAfter(ctx, RootKey::CurrentUser, name);
    deleteValuesNamedAfter(ctx, RootKey::LocalMachine, name);
}

void runDataRemoval(RunContext& ctx, const std::string& folder, const std::string& mask) {
    bool matched = false;
    forEachRunValueNamingAnEntry(
        ctx, folder, mask,
        [&](RootKey root, platform::RegKey& key, const std::string& valueName, const std::string& entry) {
            if (killProcessByName(ctx.os.processes, entry).ended) {
                ctx.flags.infectionFound = true;
                write(ctx, texts::startup_entries::ProcessFinished, {entry});
            } else {
                write(ctx, texts::startup_entries::ProcessNotRunning, {entry});
            }
            ctx.flags.infectionFound = true;
            matched = true;

            removeValue(ctx, root, kRunKeyPath, key, valueName);
            if (key.valueExists(valueName)) {
                write(ctx, texts::startup_entries::RunValueNotDeleted);
                ctx.flags.removalFailed = true;
            } else {
                wormFileRemoval(ctx, folder, entry);
                write(ctx, texts::startup_entries::RunValueDeleted);
            }
        });
    if (!matched) write(ctx, texts::startup_entries::NothingRemoved);
}

void runDataCheck(RunContext& ctx, const std::string& folder, const std::string& mask) {
    bool found = false;
    forEachRunValueNamingAnEntry(ctx, folder, mask,
                                 [&](RootKey, platform::RegKey&, const std::string&, const std::string&) {
        ctx.flags.infectionFound = true;
        found = true;
    });
    if (found)
        write(ctx, texts::startup_entries::VirusFound);
    else
        write(ctx, texts::startup_entries::NothingFound);
}

bool isUsersOwnFolder(const std::string& folder) {
    size_t end = folder.find_last_not_of("\\/");
    if (end == std::string::npos) return false;
    const std::string last = platform::fileNamePart(folder.substr(0, end + 1));
    for (const char* name : kUsersOwnFolders)
        if (platform::equalNoCase(last, name)) return true;
    const std::string prefix = kOneDriveOrganisationPrefix;
    return last.size() >= prefix.size() && platform::equalNoCase(last.substr(0, prefix.size()), prefix);
}

bool exeAndScriptPairTest(RunContext& ctx, const std::string& folder) {
    // Protection of the user's own folders: whatever they hold, they are never
    // reported as a worm's folder, so nothing deletes them as a whole.
    if (isUsersOwnFolder(folder) || !platform::isAbsolutePath(folder)) return false;
    bool executable = holdsSmallFile(ctx, folder, "*.exe");
    bool script = holdsSmallFile(ctx, folder, "*.js");
    if (executable && script) {
        ctx.flags.infectionFound = true;
        return true;
    }
    return false;
}

}  // namespace vx::scan
