#include "tools/temp_folders.h"

#include <memory>
#include <vector>

#include "platform/paths.h"
#include "scan/primitives.h"
#include "tools/tool_texts.h"

namespace vx::tools {

namespace attr = platform::attr;

namespace {

std::string withBackslash(std::string path) {
    if (path.empty() || path.back() != '\\') path += '\\';
    return path;
}

bool isDotOrDotDot(const std::string& name) { return name == "." || name == ".."; }

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One folder being walked: its path (with a final "\") and its enumeration.
struct Frame {
    std::string path;
    std::unique_ptr<platform::Finder> finder;
};

}  // namespace

bool isAbsoluteFolderPath(const std::string& path) {
    size_t rest = 0;
    if (path.size() >= 3 && isAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\') {
        rest = 3;
    } else if (path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\') {
        rest = 2;
    } else {
        return false;
    }
    // No component may step back or stand for "here": the path must name the
    // folder by itself.
    size_t start = rest;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

namespace {

// The folders Windows gives by number that a temporary folder may neither be
// nor hold.
constexpr int kProtectedSpecialFolders[] = {
    // the user's own
    scan::csidl::Profile, scan::csidl::Desktop, scan::csidl::DesktopDirectory, scan::csidl::Personal,
    scan::csidl::MyMusic, scan::csidl::MyVideo, scan::csidl::MyPictures, scan::csidl::Favorites,
    scan::csidl::AppData, scan::csidl::LocalAppData, scan::csidl::StartMenu, scan::csidl::Programs,
    scan::csidl::Startup, scan::csidl::AltStartup,
    // shared by every user
    scan::csidl::CommonAppData, scan::csidl::CommonDocuments, scan::csidl::CommonMusic,
    scan::csidl::CommonPictures, scan::csidl::CommonVideo, scan::csidl::CommonDesktopDirectory,
    scan::csidl::CommonFavorites, scan::csidl::CommonStartMenu, scan::csidl::CommonPrograms,
    scan::csidl::CommonStartup, scan::csidl::CommonAltStartup,
    // Windows and the programs
    scan::csidl::Windows, scan::csidl::System, scan::csidl::SystemX86, scan::csidl::Fonts,
    scan::csidl::ProgramFiles, scan::csidl::ProgramFilesX86, scan::csidl::ProgramFilesCommon,
    scan::csidl::ProgramFilesCommonX86,
};

// Folders of the profile that Windows makes for the user but has no number for
// in the shell's oldest interface.
constexpr const char* kProtectedProfileFolders[] = {"Contacts", "Downloads", "Links",
                                                    "OneDrive", "Saved Games", "Searches"};

// Windows drops the dots and blanks that end a path component.
std::string componentAsWindowsReadsIt(std::string name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// True when `folder` is `outer` or lies inside it, compared component by
// component without regard to letter case.
bool isSameOrInside(const platform::PathParts& folder, const platform::PathParts& outer) {
    if (!platform::equalNoCase(folder.root, outer.root) || folder.components.size() < outer.components.size())
        return false;
    for (size_t i = 0; i < outer.components.size(); ++i)
        if (!platform::equalNoCase(componentAsWindowsReadsIt(folder.components[i]),
                                   componentAsWindowsReadsIt(outer.components[i])))
            return false;
    return true;
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
            if (finder && finder->next(entry) && !entry.name.empty() && !isDotOrDotDot(entry.name))
                name = entry.name;
        }
        path += name + "\\";
    }
}

}  // namespace

bool mayCleanTemporaryFolder(platform::FileSystem& fs, platform::Shell& shell, const std::string& folder) {
    platform::PathParts target;
    if (!isAbsoluteFolderPath(folder) || !platform::splitPath(folder, "", target)) return false;
    // A drive root, or a share root ("\\server\share"), holds everything on it.
    if (target.components.empty()) return false;
    useListedNames(fs, target);

    std::vector<std::string> kept{scan::dataFolder(shell), scan::localDataFolder(shell)};
    for (int number : kProtectedSpecialFolders) kept.push_back(scan::specialFolderPath(shell, number));
    const std::string profile = scan::specialFolderPath(shell, scan::csidl::Profile);
    if (!profile.empty())
        for (const char* name : kProtectedProfileFolders) kept.push_back(profile + "\\" + name);

    for (const std::string& path : kept) {
        platform::PathParts parts;
        // An empty or relative text (a folder Windows could not give) names nothing.
        if (!platform::isAbsolutePath(path) || !platform::splitPath(path, "", parts)) continue;
        if (isSameOrInside(parts, target)) return false;
    }
    return true;
}

uint64_t folderSize(platform::FileSystem& fs, const std::string& folder) {
    if (!isAbsoluteFolderPath(folder)) return 0;
    uint64_t total = 0;
    std::vector<Frame> stack;
    const std::string root = withBackslash(folder);
    stack.push_back({root, fs.find(root + "*.*")});
    platform::FindEntry entry;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (!top.finder || !top.finder->next(entry)) {
            stack.pop_back();
            continue;
        }
        total += entry.size;
        if (!entry.isDirectory() || entry.name.empty() || entry.name[0] == '.') continue;
        // A junction or folder link may lead back into an enclosing folder or
        // onto another disk: it is counted as an entry and never entered.
        if ((entry.attributes & attr::ReparsePoint) != 0) continue;
        std::string sub = top.path + entry.name + "\\";
        auto finder = fs.find(sub + "*.*");
        stack.push_back({std::move(sub), std::move(finder)});
    }
    return total;
}

std::string sizeText(platform::Clock& clock, uint64_t bytes) {
    constexpr uint64_t KB = 1024, MB = KB * 1024, GB = MB * 1024;
    const double n = static_cast<double>(bytes);
    if (bytes < KB) return std::to_string(bytes) + "B";
    if (bytes < MB) return clock.formatNumber(n / KB, 2) + " KB";
    if (bytes < GB) return clock.formatNumber(n / MB, 2) + " MB";
    return clock.formatNumber(n / GB, 2) + " GB";
}

std::string occupiedSpaceText(scan::RunContext& ctx, const std::string& folderCaption) {
    return scan::say(ctx, texts::temp_folders::OccupiedSpace,
                     {sizeText(ctx.os.clock, folderSize(ctx.os.fs, folderCaption))});
}

std::string windowsTemporaryFolder(platform::Shell& shell) {
    return scan::specialFolderPath(shell, scan::csidl::Windows) + "\\temp\\";
}

TemporaryFolderLabels refreshTemporaryFolderLabels(scan::RunContext& ctx, const std::string& label20Caption) {
    TemporaryFolderLabels labels;
    const std::string userTemp = ctx.os.fs.temporaryPath();
    labels.label20 = userTemp.empty() ? label20Caption : userTemp;
    labels.label21 = windowsTemporaryFolder(ctx.os.shell);
    labels.label22 = occupiedSpaceText(ctx, labels.label20);
    labels.label23 = occupiedSpaceText(ctx, labels.label21);
    return labels;
}

bool emptyAndRemoveFolder(platform::FileSystem& fs, const std::string& folder) {
    const std::string root = withBackslash(folder);
    if (!fs.directoryExists(root)) return false;
    // Explicit stack in the order a recursive walk gives: each plain subfolder
    // is emptied and removed before the next entry of its parent is handled.
    std::vector<Frame> stack;
    stack.push_back({root, fs.find(root + "*.*")});
    bool rootRemoved = false;
    platform::FindEntry entry;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (!top.finder || !top.finder->next(entry)) {
            top.finder.reset();  // release the enumeration before removing the folder
            const bool removed = fs.removeDirectory(top.path).ok();
            if (stack.size() == 1) rootRemoved = removed;
            stack.pop_back();
            continue;
        }
        if (isDotOrDotDot(entry.name)) continue;
        const std::string path = top.path + entry.name;
        fs.setAttributes(path, 0).ignore();
        if (entry.attributes == attr::Directory) {
            std::string sub = path + "\\";
            if (!fs.directoryExists(sub)) continue;
            auto finder = fs.find(sub + "*.*");
            stack.push_back({std::move(sub), std::move(finder)});
        } else {
            fs.deleteFile(path).ignore();
        }
    }
    return rootRemoved;
}

std::string cleanupLogName(const scan::DateTimeTexts& when) {
    return "vx-temp" + scan::fileNameSafe(when.date) + scan::fileNameSafe(when.time) + ".txt";
}

namespace {

// The two copies of the clean-up log, written line by line, the data-folder
// copy first. The first failure shows the error box; every later call then
// answers false without writing, so the clean-up stops there.
class CleanupLog {
public:
    explicit CleanupLog(scan::RunContext& ctx) : ctx_(ctx) {}

    bool create(const std::string& path) {
        auto writer = ctx_.os.fs.createTextFile(path);
        if (!writer) return fail(scan::fill(texts::CannotCreateFile, {path, writer.status().message()}));
        files_.push_back({path, std::move(writer).value()});
        return true;
    }

    bool write(const std::string& line) {
        if (failed_) return false;
        for (auto& f : files_) {
            platform::Status r = f.writer->writeLine(line);
            if (!r) return fail(scan::fill(texts::CannotWriteToFile, {f.path, r.message()}));
        }
        return true;
    }

    bool close() {
        if (failed_) return false;
        for (auto& f : files_) {
            platform::Status r = f.writer->close();
            if (!r) return fail(scan::fill(texts::CannotWriteToFile, {f.path, r.message()}));
        }
        return true;
    }

private:
    bool fail(const std::string& text) {
        failed_ = true;
        files_.clear();  // closes whatever was opened
        ctx_.os.dialogs.ioError(text);
        return false;
    }

    struct File {
        std::string path;
        std::unique_ptr<platform::TextWriter> writer;
    };
    scan::RunContext& ctx_;
    std::vector<File> files_;
    bool failed_ = false;
};

enum class FolderResult { Cleaned, Missing, IoError };

FolderResult cleanOneFolder(scan::RunContext& ctx, CleanupLog& log, const std::string& caption) {
    platform::FileSystem& fs = ctx.os.fs;
    const std::string p = withBackslash(caption);
    // Only an absolute path is taken as a folder: a caption of plain words
    // would otherwise resolve against the current directory. A folder that
    // holds the user's or the system's own folders reads as not found, so a
    // TEMP that points at the profile or a drive root empties nothing.
    if (!isAbsoluteFolderPath(p) || !fs.directoryExists(p) || !mayCleanTemporaryFolder(fs, ctx.os.shell, p)) {
        if (!log.write(scan::say(ctx, texts::temp_folders::FolderNotFound, {p})))
            return FolderResult::IoError;
        return FolderResult::Missing;
    }
    if (!log.write(scan::say(ctx, texts::temp_folders::FolderFound, {p}))) return FolderResult::IoError;

    auto finder = fs.find(p + "*.*");
    platform::FindEntry entry;
    while (finder && finder->next(entry)) {
        if (isDotOrDotDot(entry.name)) continue;
        const std::string path = p + entry.name;
        std::string line;
        if (entry.attributes == attr::Directory) {
            fs.setAttributes(path, 0).ignore();
            line = emptyAndRemoveFolder(fs, path)
                       ? scan::say(ctx, texts::temp_folders::SubfolderDeleted, {path})
                       : scan::say(ctx, texts::temp_folders::SubfolderNotDeleted, {path});
        } else {
            fs.setAttributes(path, 0).ignore();
            line = fs.deleteFile(path)
                       ? scan::say(ctx, texts::temp_folders::FileDeleted, {path})
                       : scan::say(ctx, texts::temp_folders::FileNotDeleted, {path});
        }
        if (!log.write(line)) return FolderResult::IoError;
    }
    return FolderResult::Cleaned;
}

}  // namespace

CleanupOutcome cleanTemporaryFolders(scan::RunContext& ctx, const std::string& userTempCaption,
                                     const std::string& windowsTempCaption,
                                     const std::function<void()>& refreshSizes) {
    CleanupOutcome out;
    const std::string name = cleanupLogName(scan::currentDateTimeTexts(ctx.os.clock));
    const std::string data = scan::dataFolder(ctx.os.shell);
    const std::string local = scan::localDataFolder(ctx.os.shell);
    scan::ensureFolder(ctx.os.fs, data);
    scan::ensureFolder(ctx.os.fs, local);
    out.logPath = data + "\\" + name;
    out.localLogPath = local + "\\" + name;

    CleanupLog log(ctx);
    out.end = CleanupOutcome::End::IoError;
    if (!log.create(out.logPath) || !log.create(out.localLogPath)) return out;
    if (!log.write(texts::temp_folders::InUseNote)) return out;
    if (!log.write(texts::temp_folders::Starting)) return out;

    for (const std::string* caption : {&userTempCaption, &windowsTempCaption}) {
        switch (cleanOneFolder(ctx, log, *caption)) {
            case FolderResult::Cleaned:
                break;
            case FolderResult::Missing:
                if (!log.close()) return out;
                out.end = CleanupOutcome::End::FolderMissing;
                return out;
            case FolderResult::IoError:
                return out;
        }
    }
    if (!log.write(scan::say(ctx, texts::temp_folders::Completed))) return out;
    if (!log.close()) return out;
    out.end = CleanupOutcome::End::Completed;

    ctx.os.dialogs.messageBox(scan::say(ctx, texts::temp_folders::Completed), scan::say(ctx, texts::WarningCaption),
                              platform::Icon::Information, platform::Buttons::Ok);
    out.messageShown = true;
    if (refreshSizes) refreshSizes();
    out.sizesRefreshed = true;
    ctx.os.shell.openDefault(out.logPath);
    out.logOpened = true;
    return out;
}

}  // namespace vx::tools
