#include "scan/primitives.h"

#include <array>
#include <memory>
#include <vector>

#include "platform/paths.h"
#include "scan/quarantine.h"
#include "scan/scan_texts.h"

namespace vx::scan {

using platform::attr::Directory;
using platform::attr::ReparsePoint;

namespace {

// Processes whose termination halts or breaks Windows.
constexpr std::array<const char*, 12> kCriticalNames = {
    "SYSTEM",       "SMSS.EXE",     "CSRSS.EXE", "WININIT.EXE", "WINLOGON.EXE", "LOGONUI.EXE",
    "SERVICES.EXE", "LSASS.EXE",    "LSM.EXE",   "SVCHOST.EXE", "DWM.EXE",      "CONHOST.EXE"};

bool matchesName(const platform::ProcessEntry& p, const std::string& upperName) {
    std::string whole = platform::upperAscii(p.exeName);
    return whole == upperName || platform::upperAscii(platform::fileNamePart(p.exeName)) == upperName;
}

}  // namespace

bool isProtectedProcess(platform::Processes& processes, const platform::ProcessEntry& entry) {
    if (entry.pid == 0 || entry.pid == 4) return true;  // idle and kernel pseudo-processes
    if (entry.pid == processes.currentProcessId()) return true;
    std::string base = platform::upperAscii(platform::fileNamePart(entry.exeName));
    for (const char* name : kCriticalNames)
        if (base == name) return true;
    return processes.isCritical(entry.pid);
}

namespace {

// What killProcessByName does, over the list `list`; `terminated` tells
// whether any process was terminated.
KillResult killIn(platform::Processes& processes, const std::vector<platform::ProcessEntry>& list,
                  const std::string& name, bool& terminated) {
    const std::string wanted = platform::upperAscii(name);
    KillResult last;
    for (const auto& p : list) {
        if (!matchesName(p, wanted)) continue;
        if (isProtectedProcess(processes, p)) {
            last.ended = false;
            continue;
        }
        last.ended = processes.terminate(p.pid, 0).ok();
        terminated = terminated || last.ended;
    }
    return last;
}

bool runningIn(const std::vector<platform::ProcessEntry>& list, const std::string& name) {
    const std::string wanted = platform::upperAscii(name);
    for (const auto& p : list)
        if (matchesName(p, wanted)) return true;
    return false;
}

}  // namespace

KillResult killProcessByName(platform::Processes& processes, const std::string& name) {
    bool terminated = false;
    return killIn(processes, processes.snapshot(), name, terminated);
}

bool isProcessRunning(platform::Processes& processes, const std::string& name) {
    return runningIn(processes.snapshot(), name);
}

ProcessLookups::ProcessLookups(platform::Processes& processes, size_t reuse)
    : processes_(processes), reuse_(reuse == 0 ? 1 : reuse) {}

const std::vector<platform::ProcessEntry>& ProcessLookups::list() {
    if (!list_ || uses_ >= reuse_) renew();
    ++uses_;
    return *list_;
}

void ProcessLookups::renew() {
    list_ = processes_.snapshot();
    uses_ = 0;
}

// A name the list holds is looked up again in a list taken now, so a process
// that ended since (its number possibly given to another) is never acted on.
KillResult ProcessLookups::kill(const std::string& name) {
    if (!runningIn(list(), name)) return {};
    renew();
    bool terminated = false;
    const KillResult result = killIn(processes_, *list_, name, terminated);
    if (terminated) list_.reset();
    return result;
}

bool ProcessLookups::isRunning(const std::string& name) {
    if (!runningIn(list(), name)) return false;
    renew();
    return runningIn(*list_, name);
}

FolderRemoval deleteFolderTree(RunContext& ctx, const std::string& folder, CountsAsInfection counts) {
    auto& fs = ctx.os.fs;

    // One frame per folder being emptied; the open enumeration is kept so the
    // walk visits entries in exactly the order a recursive walk would, without
    // using the call stack for depth that comes from the drive.
    struct Frame {
        std::string folder;
        std::unique_ptr<platform::Finder> finder;
        bool isLink = false;
        // Files met but not yet deleted: kept and deleted as one batch,
        // before the folder itself goes.
        std::vector<std::string> pending;
    };
    auto removePending = [&](std::vector<std::string>& pending) {
        if (pending.empty()) return;
        const size_t count = pending.size();
        RemovalBatch batch(ctx, std::move(pending));
        pending.clear();
        for (size_t i = 0; i < count; ++i) batch.remove(i);
    };
    std::vector<Frame> stack;
    ProcessLookups lookups(ctx.os.processes, kKeepBatchFiles);
    FolderRemoval result;

    auto enter = [&](std::string path, CountsAsInfection countsFound, uint32_t attributes) {
        if (path.empty() || path.back() != '\\') path += '\\';
        if (!platform::isAbsolutePath(path) || !fs.directoryExists(path)) {
            write(ctx, texts::primitives::FolderNotFound, {path});
            result.found = false;
            return false;
        }
        if (countsFound == CountsAsInfection::Yes) ctx.flags.infectionFound = true;
        result.found = true;
        Frame frame;
        frame.folder = std::move(path);
        // A folder that is itself a junction or symbolic link is never listed:
        // its content lives elsewhere, possibly on the computer's own disk.
        // Removing it then removes only the link.
        uint32_t a = fs.getAttributes(frame.folder);
        frame.isLink = a != platform::attr::Invalid && (a & ReparsePoint) != 0;
        // The folder is kept (its place and attributes) before anything in it
        // goes, so that a restore rebuilds the tree around its files.
        if (!frame.isLink && ctx.quarantine)
            ctx.quarantine->keepFolder(frame.folder, attributes == platform::attr::Invalid ? a : attributes);
        if (!frame.isLink) frame.finder = fs.find(frame.folder + "*.*");
        stack.push_back(std::move(frame));
        return true;
    };

    if (!enter(folder, counts, platform::attr::Invalid)) return result;

    while (!stack.empty()) {
        platform::FindEntry entry;
        Frame& top = stack.back();
        if (top.finder && top.finder->next(entry)) {
            if (entry.name == "." || entry.name == "..") continue;
            std::string path = top.folder + entry.name;
            if (entry.attributes == Directory) {
                fs.setAttributes(path, 0).ignore();
                enter(std::move(path), CountsAsInfection::Yes, entry.attributes);  // `top` may dangle from here on
                continue;
            }
            if (entry.attributes != 0) fs.setAttributes(path, 0).ignore();
            if (lookups.kill(entry.name).ended)
                write(ctx, texts::primitives::ProcessFinished, {entry.name});
            top.pending.push_back(std::move(path));
            if (top.pending.size() >= kKeepBatchFiles) removePending(top.pending);
            continue;
        }
        top.finder.reset();
        removePending(top.pending);
        result.removed = fs.removeDirectory(top.folder).ok();
        stack.pop_back();
    }
    return result;
}

namespace {

// `path` as one canonical text (separators, "." and ".." resolved), or empty
// when it is not absolute.
std::string canonicalPath(const std::string& path) {
    platform::PathParts parts;
    if (!platform::splitPath(path, std::string(), parts)) return {};
    return platform::joinPath(parts);
}

}  // namespace

bool isProgramFile(RunContext& ctx, const std::string& path) {
    // The names first: both paths are put in canonical form only for a file
    // that bears the program's name.
    const std::string program = ctx.os.shell.programPath();
    if (program.empty() || !platform::equalNoCase(platform::fileNamePart(path), platform::fileNamePart(program)))
        return false;
    const std::string canonical = canonicalPath(path);
    return !canonical.empty() && platform::equalNoCase(canonical, canonicalPath(program));
}

bool isLinkFolder(platform::FileSystem& fs, const std::string& folder) {
    // A drive root ("E:\") is never a link; "E:" alone would name the current
    // folder of drive E.
    const size_t end = folder.find_last_not_of('\\');
    if (end == std::string::npos || end < 2 || !platform::isAbsolutePath(folder)) return false;
    const uint32_t a = fs.getAttributes(folder.substr(0, end + 1));
    return a != platform::attr::Invalid && (a & ReparsePoint) != 0;
}

RemovalBatch::RemovalBatch(RunContext& ctx, std::vector<std::string> paths)
    : ctx_(ctx), paths_(std::move(paths)), keeping_(ctx.quarantine != nullptr) {
    if (!keeping_) return;
    std::vector<std::string> keep(paths_.size());
    for (size_t i = 0; i < paths_.size(); ++i)
        if (platform::isAbsolutePath(paths_[i]) && !isProgramFile(ctx_, paths_[i])) keep[i] = paths_[i];
    held_ = ctx_.quarantine->keepFiles(keep);
}

RemovalBatch::~RemovalBatch() = default;

bool RemovalBatch::remove(size_t index) {
    if (index >= paths_.size()) return false;
    const std::string& path = paths_[index];
    if (!platform::isAbsolutePath(path) || isProgramFile(ctx_, path)) return false;
    if (!keeping_) return ctx_.os.fs.deleteFile(path).ok();
    std::unique_ptr<platform::HeldFile> held = std::move(held_[index]);
    if (!held) return false;
    // The deletion goes through the handle the copy was read from; the file
    // leaves its folder when the handle closes, here.
    const bool marked = held->markForDeletion().ok();
    held.reset();
    return marked;
}

bool removeFile(RunContext& ctx, const std::string& path) {
    RemovalBatch batch(ctx, {path});
    return batch.remove(0);
}

bool removeValue(RunContext& ctx, platform::RootKey root, const std::string& keyPath, platform::RegKey& key,
                 const std::string& name) {
    if (ctx.quarantine && !ctx.quarantine->keepValue(root, keyPath, name)) return false;
    return key.deleteValue(name).ok();
}

std::string specialFolderPath(platform::Shell& shell, int csidlNumber) { return shell.specialFolder(csidlNumber); }

void openInExplorer(platform::Shell& shell, const std::string& folder) { shell.explore(folder); }

void restartWindows(platform::Shell& shell, unsigned exitFlags) { shell.restartWindows(exitFlags); }

}  // namespace vx::scan
