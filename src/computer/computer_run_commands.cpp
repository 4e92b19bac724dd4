#include "computer/computer_run_commands.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "computer/computer_texts.h"
#include "platform/paths.h"
#include "scan/command_reader.h"
#include "scan/primitives.h"
#include "scan/quarantine.h"
#include "scan/run_frame.h"
#include "scan/shortcut_reader.h"
#include "scan/startup_entries.h"

namespace vx::computer {

using platform::RootKey;

namespace {

constexpr const char* kRunOnceKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

bool isDotOrDotDot(const std::string& name) { return name == "." || name == ".."; }

// A component as Windows reads it outside the "\\?\" form: trailing dots and
// blanks dropped ("Temp." opens "Temp").
std::string asWindowsReadsIt(std::string name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name.empty() ? std::string(".") : name;
}

// Replaces each existing component by the name the disk lists it under, so
// that an 8.3 short name ("USUARI~1", as TEMP often holds it) compares equal
// to the long name the shell gives.
void useListedNames(platform::FileSystem& fs, platform::PathParts& parts) {
    std::string path = parts.root + "\\";
    platform::FindEntry entry;
    for (std::string& name : parts.components) {
        if (name.find_first_of("*?<>\"") == std::string::npos) {
            auto finder = fs.find(path + name);
            if (finder && finder->next(entry) && !entry.name.empty() && !isDotOrDotDot(entry.name)) name = entry.name;
        }
        path += name + "\\";
    }
}

// `path` split into its parts with the names the disk lists; false for a
// path that is not absolute.
bool listedParts(platform::FileSystem& fs, const std::string& path, platform::PathParts& parts) {
    if (!platform::isAbsolutePath(path) || !platform::splitPath(path, "", parts)) return false;
    useListedNames(fs, parts);
    return true;
}

bool isSameOrInside(const platform::PathParts& path, const platform::PathParts& folder) {
    if (!platform::equalNoCase(path.root, folder.root) || path.components.size() < folder.components.size())
        return false;
    for (size_t i = 0; i < folder.components.size(); ++i)
        if (!platform::equalNoCase(asWindowsReadsIt(path.components[i]), asWindowsReadsIt(folder.components[i])))
            return false;
    return true;
}

// The places a worm keeps the code its start-up entries run: the temporary
// folder, the roaming and the local application data, and any removable
// drive.
class WormPlaces {
public:
    explicit WormPlaces(platform::Platform os) : fs_(os.fs) {
        std::string temp = os.fs.temporaryPath();
        while (temp.size() > 3 && temp.back() == '\\') temp.pop_back();
        for (const std::string& folder : {temp, scan::specialFolderPath(os.shell, scan::csidl::AppData),
                                          scan::specialFolderPath(os.shell, scan::csidl::LocalAppData)}) {
            platform::PathParts parts;
            if (listedParts(fs_, folder, parts)) folders_.push_back(std::move(parts));
        }
    }

    bool holds(const platform::PathParts& file) {
        for (const platform::PathParts& folder : folders_)
            if (isSameOrInside(file, folder)) return true;
        // A drive-letter path on a removable drive; a network path never is.
        if (file.root.size() != 2 || file.root[1] != ':') return false;
        return fs_.driveType(file.root + "\\") == platform::DriveType::Removable;
    }

private:
    platform::FileSystem& fs_;
    std::vector<platform::PathParts> folders_;
};

// The first token of a command line: a quoted text, or everything up to the
// first blank.
std::string programOf(const std::string& line) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    if (line[start] == '"') {
        const size_t end = line.find('"', start + 1);
        return line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    }
    const size_t end = line.find_first_of(" \t", start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The worm code among `files`: what is run as code, resolved as Windows
// resolves it (variables expanded; a relative path against `workingFolder`,
// when that is an absolute folder), present as a file and lying in one of
// the worm places. Each file once.
std::vector<std::string> wormCode(scan::RunContext& ctx, WormPlaces& places,
                                  const std::vector<scan::CommandFile>& files, const std::string& workingFolder) {
    std::vector<std::string> code;
    for (const scan::CommandFile& file : files) {
        if (file.role != scan::RunRole::Code || file.path.empty()) continue;
        const std::string expanded = expandFolderVariables(ctx.os, file.path);
        platform::PathParts parts;
        if (platform::isAbsolutePath(expanded)) {
            if (!platform::splitPath(expanded, "", parts)) continue;
        } else if (!platform::isAbsolutePath(workingFolder) || !platform::splitPath(expanded, workingFolder, parts)) {
            continue;  // relative, with no folder to resolve it against
        }
        for (std::string& name : parts.components) name = asWindowsReadsIt(name);
        useListedNames(ctx.os.fs, parts);
        const std::string path = platform::joinPath(parts);
        if (parts.components.empty() || !places.holds(parts) || !ctx.os.fs.fileExists(path)) continue;
        if (scan::isProgramFile(ctx, path)) continue;
        const bool known =
            std::any_of(code.begin(), code.end(), [&](const std::string& c) { return platform::equalNoCase(c, path); });
        if (!known) code.push_back(path);
    }
    return code;
}

// The bytes of a shortcut file, at most one byte past what the reader
// accepts (so that it refuses a larger file); nothing when unreadable.
std::optional<std::vector<uint8_t>> shortcutBytes(platform::FileSystem& fs, const std::string& path) {
    std::unique_ptr<platform::ByteReader> reader = fs.openBytes(path);
    if (!reader) return std::nullopt;
    std::vector<uint8_t> bytes;
    constexpr size_t kChunk = 64 * 1024;
    while (bytes.size() <= scan::kMaxShortcutBytes) {
        const size_t at = bytes.size();
        const size_t want = std::min(kChunk, scan::kMaxShortcutBytes + 1 - at);
        bytes.resize(at + want);
        const auto got = reader->read(bytes.data() + at, want);
        if (!got) return std::nullopt;
        bytes.resize(at + *got);
        if (*got == 0) break;
    }
    return bytes;
}

void readStartupFolder(scan::RunContext& ctx, WormPlaces& places, const std::string& folder,
                       std::vector<RunCommandEntry>& out) {
    if (!platform::isAbsolutePath(folder)) return;
    const std::string base = folder + "\\";
    auto finder = ctx.os.fs.find(base + "*.lnk");
    platform::FindEntry entry;
    while (finder && finder->next(entry)) {
        // A link standing in the folder leads elsewhere; only the shortcuts
        // that are files of their own are read and removed.
        if (entry.isDirectory() || (entry.attributes & platform::attr::ReparsePoint) != 0) continue;
        const std::string path = base + entry.name;
        auto bytes = shortcutBytes(ctx.os.fs, path);
        if (!bytes) continue;
        auto fields = scan::readShortcut(bytes->data(), bytes->size());
        if (!fields || !scan::isInterpreter(fields->target)) continue;
        const std::string working = expandFolderVariables(ctx.os, fields->workingFolder);
        RunCommandEntry found;
        found.shortcut = path;
        found.code = wormCode(ctx, places, scan::readCommand(fields->target, fields->arguments), working);
        if (!found.code.empty()) out.push_back(std::move(found));
    }
}

void readValues(scan::RunContext& ctx, WormPlaces& places, RootKey root, const char* keyPath,
                std::vector<RunCommandEntry>& out) {
    auto key = scan::openKeyFullAccess(ctx.os.registry, root, keyPath);
    if (!key) return;
    for (const std::string& name : key->valueNames()) {
        auto text = key->readText(name);
        if (!text || !scan::isInterpreter(programOf(*text))) continue;
        RunCommandEntry found;
        found.root = root;
        found.keyPath = keyPath;
        found.valueName = name;
        found.valueText = *text;
        // A Run value has no working folder: only absolute paths name a file.
        found.code = wormCode(ctx, places, scan::readCommandLine(*text), "");
        if (!found.code.empty()) out.push_back(std::move(found));
    }
}

// The folders whose files a disinfection never deletes for being run by a
// start-up entry: Windows' own, the program folders, and the program's data
// folders (its settings, log copies and quarantine stores).
std::vector<platform::PathParts> foldersNeverEmptied(scan::RunContext& ctx) {
    namespace csidl = scan::csidl;
    std::vector<std::string> folders;
    for (int number : {csidl::Windows, csidl::System, csidl::SystemX86, csidl::ProgramFiles, csidl::ProgramFilesX86,
                       csidl::ProgramFilesCommon, csidl::ProgramFilesCommonX86})
        folders.push_back(scan::specialFolderPath(ctx.os.shell, number));
    folders.push_back(scan::dataFolder(ctx.os.shell));
    folders.push_back(scan::localDataFolder(ctx.os.shell));
    folders.push_back(scan::machineQuarantineFolder(ctx.os.shell));
    std::vector<platform::PathParts> out;
    for (const std::string& folder : folders) {
        platform::PathParts parts;
        if (listedParts(ctx.os.fs, folder, parts) && !parts.components.empty()) out.push_back(std::move(parts));
    }
    return out;
}

void fileLine(scan::RunContext& ctx, const std::string& path, bool deleted) {
    if (deleted) {
        scan::write(ctx, texts::run_commands::FileDeleted, {path});
    } else {
        ctx.flags.removalFailed = true;
        scan::write(ctx, texts::run_commands::FileNotDeleted, {path});
    }
}

// Deletes a file that is still there, with its line.
void removePresentFile(scan::RunContext& ctx, const std::string& path) {
    if (!platform::isAbsolutePath(path) || !ctx.os.fs.fileExists(path)) return;
    const bool removed = scan::removeFile(ctx, path);
    fileLine(ctx, path, removed && !ctx.os.fs.fileExists(path));
}

// Deletes the value when it is still there with the command that was read:
// a value rewritten meanwhile is no longer the entry that was found.
void removePresentValue(scan::RunContext& ctx, const RunCommandEntry& entry) {
    auto key = scan::openKeyFullAccess(ctx.os.registry, entry.root, entry.keyPath);
    if (!key || !key->valueExists(entry.valueName) || key->readText(entry.valueName) != entry.valueText) return;
    scan::removeValue(ctx, entry.root, entry.keyPath, *key, entry.valueName);
    const std::string value = entry.runBy();
    if (!key->valueExists(entry.valueName)) {
        scan::write(ctx, texts::run_commands::ValueDeleted, {value});
    } else {
        ctx.flags.removalFailed = true;
        scan::write(ctx, texts::run_commands::ValueNotDeleted, {value});
    }
}

}  // namespace

std::string RunCommandEntry::runBy() const {
    if (!isValue()) return shortcut;
    return std::string(root == RootKey::CurrentUser ? "HKCU\\" : "HKLM\\") + keyPath + "\\" + valueName;
}

std::string expandFolderVariables(platform::Platform os, const std::string& path) {
    namespace csidl = scan::csidl;
    auto folderOf = [&](const std::string& name) -> std::string {
        auto is = [&](const char* variable) { return platform::equalNoCase(name, variable); };
        if (is("TEMP") || is("TMP")) {
            std::string temp = os.fs.temporaryPath();
            while (temp.size() > 3 && temp.back() == '\\') temp.pop_back();
            return temp;
        }
        if (is("APPDATA")) return scan::specialFolderPath(os.shell, csidl::AppData);
        if (is("LOCALAPPDATA")) return scan::specialFolderPath(os.shell, csidl::LocalAppData);
        if (is("USERPROFILE")) return scan::specialFolderPath(os.shell, csidl::Profile);
        if (is("windir") || is("SystemRoot")) return scan::specialFolderPath(os.shell, csidl::Windows);
        return {};
    };
    std::string out;
    size_t i = 0;
    while (i < path.size()) {
        const size_t open = path.find('%', i);
        const size_t close = open == std::string::npos ? std::string::npos : path.find('%', open + 1);
        if (close == std::string::npos) {
            out += path.substr(i);
            break;
        }
        out += path.substr(i, open - i);
        const std::string name = path.substr(open + 1, close - open - 1);
        const std::string folder = name.empty() ? std::string() : folderOf(name);
        out += folder.empty() ? path.substr(open, close - open + 1) : folder;
        i = close + 1;
    }
    return out;
}

bool isSameOrInsideFolder(platform::FileSystem& fs, const std::string& path, const std::string& folder) {
    platform::PathParts p, f;
    return listedParts(fs, path, p) && listedParts(fs, folder, f) && isSameOrInside(p, f);
}

std::vector<RunCommandEntry> readRunCommands(scan::RunContext& ctx) {
    std::vector<RunCommandEntry> entries;
    WormPlaces places(ctx.os);
    readStartupFolder(ctx, places, scan::specialFolderPath(ctx.os.shell, scan::csidl::Startup), entries);
    readStartupFolder(ctx, places, scan::specialFolderPath(ctx.os.shell, scan::csidl::CommonStartup), entries);
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine})
        for (const char* keyPath : {scan::kRunKeyPath, kRunOnceKeyPath})
            readValues(ctx, places, root, keyPath, entries);
    return entries;
}

void reportRunCommands(scan::RunContext& ctx, const std::vector<RunCommandEntry>& entries) {
    scan::write(ctx, texts::run_commands::Checking);
    for (const RunCommandEntry& entry : entries) {
        for (const std::string& file : entry.code) {
            ctx.flags.infectionFound = true;
            scan::write(ctx, texts::run_commands::WormCodeFound, {file, entry.runBy()});
        }
    }
    if (entries.empty())
        scan::write(ctx, texts::run_commands::NothingRun);
}

void removeRunCommands(scan::RunContext& ctx, const std::vector<RunCommandEntry>& entries) {
    scan::write(ctx, texts::run_commands::Removing);
    const std::vector<platform::PathParts> neverEmptied = foldersNeverEmptied(ctx);
    for (const RunCommandEntry& entry : entries) {
        // The entry was a worm sign when the run started, whatever the
        // earlier steps removed of it since.
        ctx.flags.infectionFound = true;
        if (entry.isValue())
            removePresentValue(ctx, entry);
        else
            removePresentFile(ctx, entry.shortcut);
        for (const std::string& file : entry.code) {
            platform::PathParts parts;
            if (!listedParts(ctx.os.fs, file, parts)) continue;
            const bool protectedFolder =
                std::any_of(neverEmptied.begin(), neverEmptied.end(),
                            [&](const platform::PathParts& f) { return isSameOrInside(parts, f); });
            if (!protectedFolder) removePresentFile(ctx, file);
        }
    }
}

}  // namespace vx::computer
