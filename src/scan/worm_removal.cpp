#include "scan/worm_removal.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "scan/primitives.h"
#include "scan/quarantine.h"
#include "scan/scan_texts.h"
#include "scan/startup_entries.h"

namespace vx::scan {

using platform::RootKey;

namespace {

// The stem whose start-up values go with a matched file: the name less its
// extension, three characters for a four-character mask such as "*.js", four
// otherwise. One worm names its value "SysinfY2X" after its file "SysinfY2".
std::string runValueStem(const std::string& name, const std::string& mask) {
    const size_t drop = mask.size() == 4 ? 3 : 4;
    std::string stem = name.size() > drop ? name.substr(0, name.size() - drop) : std::string();
    if (stem == "SysinfY2") stem = "SysinfY2X";
    return stem;
}

// Whether the start-up value `stem` exists under `root`\`path`; deletes it when
// it does (the deletion is asked for, not tested again). An empty stem is never
// looked up: it would name the key's unnamed default value, not a worm's entry.
bool deleteStartupValue(RunContext& ctx, RootKey root, const char* path, const std::string& stem) {
    if (stem.empty()) return false;
    auto key = openKeyFullAccess(ctx.os.registry, root, path);
    if (!key || !key->valueExists(stem)) return false;
    removeValue(ctx, root, path, *key, stem);
    return true;
}


// The shortcut worm's own program: the processes it hides behind are ended and
// the file goes with its start-up values.
void removeShortcutWormProgram(RunContext& ctx, const std::string& folder, const std::string& name,
                               const std::string& editionSuffix) {
    if (editionSuffix == "XP") killAndReport(ctx, "explorer.exe", "[explorer.exe]");
    killNotepadOrCalc(ctx);

    wormFileRemoval(ctx, folder, name);

    const std::string path = folder + name;
    if (ctx.os.fs.fileExists(path))
        ctx.write(fill(texts::worm_removal::ProgramNotDeleted, {path}));
    else
        ctx.write(fill(texts::worm_removal::ProgramDeleted, {path}));
}

void writeNothingFoundIn(RunContext& ctx, const std::string& folder) {
    write(ctx, texts::worm_removal::NothingFoundIn, {folder});
}

}  // namespace

std::string windowsEditionSuffix(platform::Registry& registry) {
    auto key = registry.open(RootKey::LocalMachine, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\",
                             platform::RegAccess::Read);
    if (!key) return {};
    std::string product = key->readText("ProductName").value_or(std::string());
    return product.size() > 2 ? product.substr(product.size() - 2) : product;
}

void writeProcessLines(RunContext& ctx, const std::string& tag, KillResult kill, NotRunningLine ending) {
    if (kill.ended)
        write(ctx, texts::worm_removal::ProcessFinished, {tag});
    else
        write(ctx,
              ending == NotRunningLine::TrailingBlank ? texts::worm_removal::ProcessNotRunningBlank
                                                      : texts::worm_removal::ProcessNotRunning,
              {tag});
}

KillResult killAndReport(RunContext& ctx, const std::string& process, const std::string& tag,
                         NotRunningLine ending) {
    const KillResult kill = killProcessByName(ctx.os.processes, process);
    writeProcessLines(ctx, tag, kill, ending);
    return kill;
}

KillResult killNotepadOrCalc(RunContext& ctx) {
    KillResult kill = killProcessByName(ctx.os.processes, "notepad.exe");
    if (!kill.ended) kill = killProcessByName(ctx.os.processes, "calc.exe");
    writeProcessLines(ctx, "[vx008]", kill);
    return kill;
}

MaskMatch wormMaskAndRunValueRemoval(RunContext& ctx, const std::string& folder, const std::string& mask) {
    auto& fs = ctx.os.fs;
    MaskMatch match;
    if (isLinkFolder(fs, folder)) {
        writeNothingFoundIn(ctx, folder);
        return match;
    }
    // The matches are taken first and kept in batches before any of them is
    // deleted; each is then handled in find order, as it was met.
    std::vector<std::string> names;
    forEachFileMatching(ctx, folder, mask, [&](const platform::FindEntry& entry) { names.push_back(entry.name); });
    std::unique_ptr<RemovalBatch> batch;
    size_t batchStart = 0;
    ProcessLookups lookups(ctx.os.processes, kKeepBatchFiles);
    for (size_t i = 0; i < names.size(); ++i) {
        if (i % kKeepBatchFiles == 0) {
            batch.reset();
            batchStart = i;
            std::vector<std::string> paths;
            for (size_t j = i; j < names.size() && j < i + kKeepBatchFiles; ++j) {
                paths.push_back(folder + names[j]);
                fs.setAttributes(paths.back(), 0).ignore();
            }
            batch = std::make_unique<RemovalBatch>(ctx, std::move(paths));
        }
        const std::string& name = names[i];
        const std::string path = folder + name;
        const std::string stem = runValueStem(name, mask);

        // The file name stays out of the log: a marker stands for it.
        const KillResult kill = lookups.kill(name);
        writeProcessLines(ctx, "[vx00x]", kill);
        if (kill.ended) ctx.flags.infectionFound = true;

        if (!batch->remove(i - batchStart)) {
            ctx.flags.removalFailed = true;
            if (mask == "*.lnk") match.shortcutMet = true;
            write(ctx, texts::worm_removal::FileNotDeleted, {path});
        } else {
            if (mask == "*.lnk") match.shortcutMet = true;
            write(ctx, texts::worm_removal::FileDeleted, {path});
            if (mask == "win32.exe") ctx.flags.restartNeeded = true;
        }

        auto notFound = [&] {
            write(ctx, texts::worm_removal::ValueNotFound, {stem});
        };
        for (auto [root, key] :
             {std::pair{RootKey::CurrentUser, kRunKeyPath}, std::pair{RootKey::LocalMachine, kPoliciesRunKeyPath}}) {
            if (deleteStartupValue(ctx, root, key, stem))
                write(ctx, texts::worm_removal::ValueDeleted, {stem});
            else
                notFound();
        }
        if (deleteStartupValue(ctx, RootKey::LocalMachine, kRunKeyPath, stem)) {
            write(ctx, texts::worm_removal::MachineValueDeleted, {stem});
            ctx.flags.infectionFound = true;
        } else {
            notFound();
        }

        match.matched = true;
        ctx.flags.infectionFound = true;
    }
    if (!match.matched) writeNothingFoundIn(ctx, folder);
    return match;
}

void wormMaskAndRunValueRemovalInEachEntry(RunContext& ctx, const std::string& base, const std::string& mask,
                                           std::initializer_list<const char*> passedOver) {
    if (!platform::isAbsolutePath(base) || isLinkFolder(ctx.os.fs, base)) return;
    auto finder = ctx.os.fs.find(base + "*.*");
    platform::FindEntry e;
    while (finder && finder->next(e)) {
        if (e.name == "." || e.name == "..") continue;
        bool skipped = false;
        for (const char* name : passedOver) skipped = skipped || e.name == name;
        if (skipped) continue;
        const std::string inner = base + e.name + "\\";
        if (e.attributes & platform::attr::ReparsePoint)
            writeNothingFoundIn(ctx, inner);
        else
            wormMaskAndRunValueRemoval(ctx, inner, mask);
    }
}

void wormMaskRemoval(RunContext& ctx, const std::string& folder, const std::string& mask, ShortcutSeen shortcuts) {
    auto& fs = ctx.os.fs;
    auto& processes = ctx.os.processes;
    const std::string editionSuffix = windowsEditionSuffix(ctx.os.registry);
    if (isLinkFolder(fs, folder)) {
        write(ctx, texts::worm_removal::NothingFound);
        return;
    }

    // The shortcut worm's program is 250001 to 250999 bytes long. The whole
    // 64-bit size is compared, so a file of 4 GiB and some is never taken for it.
    constexpr uint64_t kShortcutWormAbove = 250000;
    constexpr uint64_t kShortcutWormBelow = 251000;

    bool found = false;
    ProcessLookups lookups(processes, kKeepBatchFiles);
    forEachFileMatching(ctx, folder, mask, [&](const platform::FindEntry& entry) {
        const std::string& name = entry.name;
        const std::string path = folder + name;

        fs.setAttributes(path, 0).ignore();

        if (entry.size > kShortcutWormAbove && entry.size < kShortcutWormBelow && shortcuts == ShortcutSeen::Yes)
            removeShortcutWormProgram(ctx, folder, name, editionSuffix);

        // A file named like a running process; the program's own name is exempt
        // (the leading characters compared exactly, letter case included).
        if (lookups.isRunning(name) && !name.starts_with("Varrex")) {
            ctx.flags.infectionFound = true;
            found = true;
            if (lookups.kill(name).ended)
                write(ctx, texts::worm_removal::RunningFileEnded, {name});
        }

        // A file beside a folder of its own name less the extension. A name of
        // four characters or fewer has no such folder: the text left would be
        // the folder being searched itself.
        if (name.size() > 4 && fs.directoryExists(folder + name.substr(0, name.size() - 4))) {
            ctx.flags.infectionFound = true;
            found = true;
            if (!removeFile(ctx, path))
                write(ctx, texts::worm_removal::CompanionFileNotDeleted, {path});
            else
                write(ctx, texts::worm_removal::FileDeleted, {path});
        }
    });
    if (!found) write(ctx, texts::worm_removal::NothingFound);
}

}  // namespace vx::scan
