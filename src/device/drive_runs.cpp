#include "device/drive_runs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "device/device_texts.h"
#include "platform/paths.h"
#include "scan/autorun_reader.h"
#include "scan/command_reader.h"
#include "scan/primitives.h"
#include "scan/shortcut_reader.h"
#include "scan/shown_names.h"

namespace vx::device {

using platform::attr::Directory;
using platform::attr::Hidden;
using platform::attr::Invalid;
using platform::attr::ReparsePoint;
using platform::attr::System;
using scan::RunRole;

namespace {

constexpr uint32_t kRemovableDrive = 2;  // the LinkInfo's number for a removable drive

// Extensions of files Windows runs as programs or scripts.
constexpr std::array<const char*, 17> kCodeExtensions = {".EXE", ".COM", ".SCR", ".PIF", ".BAT", ".CMD",
                                                         ".VBS", ".VBE", ".JS",  ".JSE", ".WSF", ".WSH",
                                                         ".HTA", ".PS1", ".MSI", ".CPL", ".DLL"};
// What cmd tries after a name given without an extension, and ".dll", which
// rundll32 and regsvr32 add.
constexpr std::array<const char*, 11> kAddedExtensions = {".COM", ".EXE", ".BAT", ".CMD", ".VBS", ".VBE",
                                                          ".JS",  ".JSE", ".WSF", ".WSH", ".DLL"};

std::string extensionOf(const std::string& path) {
    const std::string name = platform::fileNamePart(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : platform::upperAscii(name.substr(dot));
}

bool hasCodeExtension(const std::string& path) {
    const std::string ext = extensionOf(path);
    return std::find(kCodeExtensions.begin(), kCodeExtensions.end(), ext) != kCodeExtensions.end();
}

bool sameText(const std::string& a, const std::string& b) { return platform::upperAscii(a) == platform::upperAscii(b); }

// The bytes of a file the worm wrote, at most `limit`; nothing when it
// cannot be read or is larger than `limit` and `whole` is asked.
std::optional<std::vector<uint8_t>> readBytes(platform::FileSystem& fs, const std::string& path, size_t limit,
                                              bool whole) {
    auto reader = fs.openBytes(path);
    if (!reader) return std::nullopt;
    std::vector<uint8_t> bytes(limit + 1);
    size_t have = 0;
    while (have < bytes.size()) {
        auto n = reader->read(bytes.data() + have, bytes.size() - have);
        if (!n) return std::nullopt;
        if (*n == 0) break;
        have += *n;
    }
    if (have > limit) {
        if (whole) return std::nullopt;
        have = limit;
    }
    bytes.resize(have);
    return bytes;
}

class Reader {
public:
    Reader(scan::RunContext& ctx, const std::string& root) : ctx_(ctx), fs_(ctx.os.fs), root_(root) {
        windows_ = scan::specialFolderPath(ctx.os.shell, scan::csidl::Windows);
        system_ = scan::specialFolderPath(ctx.os.shell, scan::csidl::System);
    }

    DriveRuns read() {
        runs_.root = root_;
        readShortcuts();
        readAutorunFile();
        readHidingFolders();
        return std::move(runs_);
    }

private:
    // `text` with the variables the interpreters' paths are written with
    // expanded; %cd% is the folder the command starts in.
    std::string expand(const std::string& text, const std::string& startFolder) const {
        std::string out;
        for (size_t i = 0; i < text.size();) {
            const size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
            if (close == std::string::npos) {
                out += text[i++];
                continue;
            }
            const std::string name = platform::upperAscii(text.substr(i + 1, close - i - 1));
            std::string value;
            if ((name == "WINDIR" || name == "SYSTEMROOT") && !windows_.empty()) value = windows_;
            else if (name == "COMSPEC" && !system_.empty()) value = system_ + "\\cmd.exe";
            else if (name == "CD" && !startFolder.empty()) value = startFolder.substr(0, startFolder.size() - 1);
            if (value.empty()) {
                out.append(text, i, close - i + 1);
            } else {
                out += value;
            }
            i = close + 1;
        }
        return out;
    }

    // `path` (absolute, "\"-rooted, drive-relative or relative to `base`, a
    // folder of the drive ending in "\") as a path of the drive with "." and
    // ".." resolved; nothing when it lies elsewhere or climbs above the root.
    std::optional<std::string> onDrive(std::string path, const std::string& base) const {
        std::replace(path.begin(), path.end(), '/', '\\');
        std::string rest;
        if (path.size() >= 2 && path[1] == ':') {
            if (!sameText(path.substr(0, 1), root_.substr(0, 1))) return std::nullopt;
            rest = path.size() >= 3 && path[2] == '\\' ? path.substr(3) : base.substr(3) + path.substr(2);
        } else if (path.starts_with("\\\\")) {
            return std::nullopt;  // another computer's share, or a device path
        } else if (path.starts_with("\\")) {
            rest = path.substr(1);
        } else {
            rest = base.substr(3) + path;
        }
        std::vector<std::string> parts;
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find('\\', start);
            if (end == std::string::npos) end = rest.size();
            const std::string part = rest.substr(start, end - start);
            if (part == "..") {
                if (parts.empty()) return std::nullopt;
                parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            start = end + 1;
        }
        if (parts.empty()) return std::nullopt;
        std::string out = root_;
        for (size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
        return out;
    }

    // Walks `path` from the root: true when every folder on the way is a
    // plain folder and the last entry a file, none of them a junction or
    // link; `hidden` tells whether it or a folder above it is hidden or system.
    bool reachableFile(const std::string& path, bool& hidden) const {
        hidden = false;
        size_t at = root_.size();
        while (true) {
            const size_t slash = path.find('\\', at);
            const std::string part = path.substr(0, slash);
            const uint32_t a = fs_.getAttributes(part);
            if (a == Invalid || (a & ReparsePoint) != 0) return false;
            if ((a & (Hidden | System)) != 0) hidden = true;
            if (slash == std::string::npos) return (a & Directory) == 0;
            if ((a & Directory) == 0) return false;
            at = slash + 1;
        }
    }

    // The file of the drive that `written` names, tried against each base
    // folder in turn (and, without an extension, with the ones Windows adds).
    std::optional<std::string> findFile(const std::string& written, const std::vector<std::string>& bases,
                                        const std::string& startFolder, bool& hidden) const {
        const std::string expanded = expand(written, startFolder);
        const bool bare = extensionOf(expanded).empty();
        for (const std::string& base : bases) {
            auto path = onDrive(expanded, base);
            if (!path) continue;
            if (reachableFile(*path, hidden)) return path;
            if (!bare) continue;
            for (const char* ext : kAddedExtensions)
                if (reachableFile(*path + ext, hidden)) return *path + ext;
        }
        return std::nullopt;
    }

    void addCode(const std::string& file, const std::string& runBy) {
        if (scan::isProgramFile(ctx_, file)) return;
        for (const auto& known : runs_.code)
            if (sameText(known.file, file)) return;
        runs_.code.push_back({file, runBy});
    }

    // The files of the drive that `found` (a command's files) runs as code.
    void addCodeOf(const std::vector<scan::CommandFile>& found, const std::vector<std::string>& bases,
                   const std::string& startFolder, const std::string& runBy) {
        for (const auto& f : found) {
            if (f.role != RunRole::Code) continue;
            bool hidden = false;
            if (auto file = findFile(f.path, bases, startFolder, hidden)) addCode(*file, runBy);
        }
    }

    void readShortcuts() {
        std::vector<std::string> names;
        scan::forEachFileMatching(ctx_, root_, "*.lnk", [&](const platform::FindEntry& e) {
            if ((e.attributes & ReparsePoint) == 0) names.push_back(e.name);
            else runs_.shortcuts.push_back({root_ + e.name, std::nullopt});
        });
        for (const std::string& name : names) {
            const std::string path = root_ + name;
            auto bytes = readBytes(fs_, path, scan::kMaxShortcutBytes, true);
            auto fields = bytes ? scan::readShortcut(bytes->data(), bytes->size()) : std::nullopt;
            if (!fields) {
                runs_.shortcuts.push_back({path, std::nullopt});
                continue;
            }
            std::string shown = fields->target;
            if (!fields->arguments.empty()) shown += " " + fields->arguments;
            runs_.shortcuts.push_back({path, shown});
            readShortcutTarget(path, *fields);
        }
    }

    void readShortcutTarget(const std::string& shortcut, const scan::ShortcutFields& f) {
        // The folder the command starts in, when it is one of the drive.
        std::string startFolder = root_;
        if (!f.workingFolder.empty()) {
            auto folder = onDrive(expand(f.workingFolder, root_), root_);
            const uint32_t a = folder ? fs_.getAttributes(*folder) : Invalid;
            if (folder && a != Invalid && (a & Directory) != 0 && (a & ReparsePoint) == 0) startFolder = *folder + "\\";
        }
        std::vector<std::string> bases = {root_};
        if (startFolder != root_) bases.push_back(startFolder);

        // A target on this drive under another letter (the drive had another
        // when the worm wrote the shortcut) is taken at this letter when the
        // shortcut names the same removable volume.
        std::string target = expand(f.target, startFolder);
        if (target.size() >= 3 && target[1] == ':' && !sameText(target.substr(0, 1), root_.substr(0, 1)) &&
            f.driveType == kRemovableDrive && f.volumeSerial && fs_.volumeSerial(root_) == *f.volumeSerial)
            target = root_ + target.substr(3);

        bool hidden = false;
        std::optional<std::string> program = target.empty() ? std::nullopt : findFile(target, {root_}, startFolder, hidden);
        if (!program && !f.relativePath.empty()) program = findFile(f.relativePath, {root_}, startFolder, hidden);
        if (program) {
            // A program of the drive run directly: the worm's when it hid it.
            if (hidden && hasCodeExtension(*program)) addCode(*program, shortcut);
            return;
        }
        if (scan::isInterpreter(target)) addCodeOf(scan::readCommand(target, f.arguments), bases, startFolder, shortcut);
    }

    void readAutorunFile() {
        const std::string path = root_ + "autorun.inf";
        const uint32_t a = fs_.getAttributes(path);
        if (a == Invalid || (a & (Directory | ReparsePoint)) != 0) return;
        auto bytes = readBytes(fs_, path, scan::kMaxAutorunBytes, false);
        if (!bytes) return;
        for (const auto& command : scan::readAutorun(bytes->data(), bytes->size())) {
            const auto found = scan::readCommandLine(command.command);
            for (const auto& f : found) {
                bool hidden = false;
                auto file = f.role == RunRole::Opened ? std::nullopt : findFile(f.path, {root_}, root_, hidden);
                if (!file) continue;
                // The program it names is the worm's when it is one; a
                // document it would open is the user's.
                if (f.role == RunRole::Code || hasCodeExtension(*file) || hidden) addCode(*file, path);
            }
        }
    }

    void readHidingFolders() {
        auto finder = fs_.find(root_ + "*.*");
        platform::FindEntry e;
        while (finder && finder->next(e)) {
            if (e.name == "." || e.name == ".." || !e.isDirectory()) continue;
            if ((e.attributes & ReparsePoint) != 0 || (e.attributes & (Hidden | System)) == 0) continue;
            if (!scan::hasLetterOrDigit(e.name)) runs_.hidingFolders.push_back(e.name);
        }
    }

    scan::RunContext& ctx_;
    platform::FileSystem& fs_;
    std::string root_, windows_, system_;
    DriveRuns runs_;
};

}  // namespace

DriveRuns readDriveRuns(scan::RunContext& ctx, const std::string& root) { return Reader(ctx, root).read(); }

void writeDriveRunsFindings(scan::RunContext& ctx, const DriveRuns& runs) {
    scan::write(ctx, texts::drive_runs::Checking);
    for (const auto& s : runs.shortcuts) {
        if (s.runs)
            scan::write(ctx, texts::drive_runs::ShortcutRuns, {s.shortcut, *s.runs});
        else
            scan::write(ctx, texts::drive_runs::ShortcutUnreadable, {s.shortcut});
    }
    for (const auto& c : runs.code) {
        ctx.flags.infectionFound = true;
        scan::write(ctx, texts::drive_runs::WormCodeFound, {c.file, c.runBy});
    }
    for (const auto& name : runs.hidingFolders) {
        ctx.flags.infectionFound = true;
        const std::string folder = runs.root + scan::shownName(name);
        scan::write(ctx, texts::drive_runs::HidingFolderFound, {folder});
    }
    if (runs.code.empty() && runs.hidingFolders.empty())
        scan::write(ctx, texts::drive_runs::NothingRun);
}

}  // namespace vx::device
