#include "device/device_disinfection.h"

#include <array>

#include "device/device_texts.h"
#include "device/drive_runs.h"
#include "scan/primitives.h"
#include "scan/quarantine.h"
#include "scan/shown_names.h"
#include "scan/worm_removal.h"

namespace vx::device {

using platform::Buttons;
using platform::Icon;

namespace {

// Clears the attributes of every entry of `folder` (one level).
void makeVisible(scan::RunContext& ctx, const std::string& folder) {
    auto finder = ctx.os.fs.find(folder + "*.*");
    platform::FindEntry e;
    while (finder && finder->next(e))
        if (e.name != "." && e.name != "..") ctx.os.fs.setAttributes(folder + e.name, 0).ignore();
}

// The "*.js" sweep over `folder` itself and then over every entry of it.
void scriptSweep(scan::RunContext& ctx, const std::string& folder) {
    scan::wormMaskAndRunValueRemoval(ctx, folder, "*.js");
    scan::wormMaskAndRunValueRemovalInEachEntry(ctx, folder, "*.js");
}

struct WormFolder {
    std::string name;
    std::string shown;  // the name as the lines show it
    scan::Text recovery;
};

// A worm folder recovered: where it was, and its new name.
struct Renamed {
    std::string from, to;  // root + name, no final "\"
};

// The first name that nothing at the root bears yet: `name`, else `name` +
// " (2)", " (3)", ... A drive disinfected before keeps its recovery folder,
// and the worm may have hidden the user's files again since.
std::string freeRecoveryName(platform::FileSystem& fs, const std::string& root, const std::string& name) {
    constexpr int kLastSuffix = 9999;
    if (fs.getAttributes(root + name) == platform::attr::Invalid) return name;
    for (int n = 2; n <= kLastSuffix; ++n) {
        const std::string candidate = name + " (" + std::to_string(n) + ")";
        if (fs.getAttributes(root + candidate) == platform::attr::Invalid) return candidate;
    }
    return name;  // every name taken: the rename fails and says so
}

void recoverFolder(scan::RunContext& ctx, const std::string& root, const WormFolder& w, DisinfectionTarget& target,
                   std::vector<Renamed>& renamed) {
    auto& fs = ctx.os.fs;
    ctx.flags.infectionFound = true;
    scan::write(ctx, texts::disinfection::WormFolderFound, {root, w.shown});

    // The user's files are where the rename put them, or still in the worm
    // folder when it could not be renamed; either way they are made visible
    // there. An earlier recovery folder is never touched.
    std::string folder;
    const std::string recovery = freeRecoveryName(fs, root, scan::say(ctx, w.recovery));
    if (fs.move(root + w.name, root + recovery)) {
        scan::write(ctx, texts::disinfection::WormFolderRenamed, {root, w.shown, root, recovery});
        target.recoveryPath = root + recovery + "\\";
        folder = target.recoveryPath;
        renamed.push_back({root + w.name, root + recovery});
    } else {
        scan::write(ctx, texts::disinfection::WormFolderNotRenamed, {root, scan::shownName(w.name)});
        folder = root + w.name + "\\";
    }

    // A folder that is a junction or link shows what lives elsewhere, maybe on
    // the computer's own disk: nothing behind it is changed, and the sweep
    // writes its nothing-found line for it.
    if (!scan::isLinkFolder(fs, folder)) {
        makeVisible(ctx, folder);
        scan::write(ctx, texts::disinfection::FolderMadeVisible, {folder});
    }
    scriptSweep(ctx, folder);
}

// The worm folders that come with a batch file of their own name.
void recoverFolderWithBatch(scan::RunContext& ctx, const std::string& root, const WormFolder& w,
                            DisinfectionTarget& target, std::vector<Renamed>& renamed) {
    auto& fs = ctx.os.fs;
    const std::string batch = w.name + ".bat";
    if (!fs.directoryExists(root + w.name) || !fs.fileExists(root + batch)) return;
    if (fs.fileExists(root + batch)) {
        scan::removeFile(ctx, root + batch);
        scan::write(ctx, texts::disinfection::BatchDeleted, {batch, root});
    } else {
        scan::write(ctx, texts::disinfection::BatchNotFound, {batch, root});
    }
    recoverFolder(ctx, root, w, target, renamed);
}

void deleteRootFile(scan::RunContext& ctx, const std::string& root, const std::string& name,
                    scan::CountsAsInfection counts) {
    auto& fs = ctx.os.fs;
    if (fs.fileExists(root + name)) {
        scan::removeFile(ctx, root + name);
        if (counts == scan::CountsAsInfection::Yes) ctx.flags.infectionFound = true;
        scan::write(ctx, texts::disinfection::RootFileDeleted, {name, root});
    } else {
        scan::write(ctx, texts::disinfection::RootFileNotFound, {name, root});
    }
}

// A worm's hiding folder, recovered as ".Trashes" is, its name shown.
WormFolder hidingFolder(const std::string& name) {
    return {name, scan::shownName(name), texts::disinfection::Recovered};
}

// Deletes the files the drive's shortcuts and autorun.inf ran, each where
// it is now (inside its folder's new name after a recovery). What the
// earlier steps removed already gets no line.
void removeWormCode(scan::RunContext& ctx, const DriveRuns& runs, const std::vector<Renamed>& renamed) {
    auto& fs = ctx.os.fs;
    scan::write(ctx, texts::disinfection::RemovingWormCode);
    for (const auto& code : runs.code) {
        std::string path = code.file;
        for (const auto& r : renamed)
            if (platform::upperAscii(path).starts_with(platform::upperAscii(r.from + "\\")))
                path = r.to + path.substr(r.from.size());
        const uint32_t a = fs.getAttributes(path);
        if (a == platform::attr::Invalid || (a & platform::attr::Directory) != 0) continue;
        ctx.flags.infectionFound = true;
        if (a != 0 && (a & platform::attr::ReparsePoint) == 0) fs.setAttributes(path, 0).ignore();
        if (scan::removeFile(ctx, path)) {
            scan::write(ctx, texts::disinfection::WormCodeDeleted, {path});
        } else {
            ctx.flags.removalFailed = true;
            scan::write(ctx, texts::disinfection::WormCodeNotDeleted, {path});
        }
    }
}

}  // namespace

void runDeviceDisinfection(scan::RunContext& ctx, const std::string& driveListText,
                           scan::SaveOffer saveOffer, scan::SaveDialogMemory& saveDialog,
                           DisinfectionTarget& target) {
    auto& fs = ctx.os.fs;
    scan::killProcessByName(ctx.os.processes, "wscript.exe");
    ctx.flags.infectionFound = false;

    if (driveListText.empty()) {
        ctx.os.dialogs.messageBox(scan::say(ctx, texts::disinfection::ChooseDeviceBox),
                                  scan::say(ctx, texts::disinfection::ChooseDeviceCaption), Icon::Information,
                                  Buttons::Ok);
        return;
    }

    const std::string root = driveListText.substr(0, 1) + ":\\";
    target.deviceRoot = root;
    target.recoveryPath = root;
    scan::KeepingScope keeping(ctx, scan::KeptFrom::Device, root);
    scan::writeLogHeader(ctx, scan::RunKind::DeviceDisinfection, root);
    // What the shortcuts run is read before anything of the drive changes.
    const DriveRuns runs = readDriveRuns(ctx, root);
    std::vector<Renamed> renamed;

    scan::killAndReport(ctx, "wscript.exe", "[vx001]");
    scan::killAndReport(ctx, "xcv.exe", "[vx002]");
    scan::killAndReport(ctx, "rundll32.exe", "[vx003]", scan::NotRunningLine::TrailingBlank);

    makeVisible(ctx, root);
    scan::write(ctx, texts::disinfection::DriveMadeVisible, {root});

    const WormFolder trashes{".Trashes", ".Trashes", texts::disinfection::Recovered};
    const WormFolder drive{"Drive", "Drive", texts::disinfection::Recovered2};
    const WormFolder files{"Files", "Files", texts::disinfection::Recovered3};
    if (fs.directoryExists(root + trashes.name)) recoverFolder(ctx, root, trashes, target, renamed);
    recoverFolderWithBatch(ctx, root, drive, target, renamed);
    recoverFolderWithBatch(ctx, root, files, target, renamed);
    for (const std::string& name : runs.hidingFolders)
        if (fs.directoryExists(root + name)) recoverFolder(ctx, root, hidingFolder(name), target, renamed);

    constexpr std::array<const char*, 7> systemFolders = {
        "RECYCLE", "RECYCLE.BIN", "$RECYCLE.BIN", "RECYCLER", "RECYCLER.BIN", "$RECYCLER.BIN",
        "System Volume Information"};
    for (const char* name : systemFolders) {
        const std::string folder = root + name;
        if (!scan::deleteFolderTree(ctx, folder, scan::CountsAsInfection::No).found) continue;
        if (fs.directoryExists(folder))
            scan::write(ctx, texts::disinfection::SystemFolderNotDeleted, {folder});
        else
            scan::write(ctx, texts::disinfection::SystemFolderDeleted, {folder});
    }

    for (const char* mask : {"Microsoft Excel.WsF", "Manuel.doc", "dw.dll", "USB.exe", "*.vbs", "*.vbe"})
        scan::wormMaskAndRunValueRemoval(ctx, root, mask);
    const scan::MaskMatch shortcuts = scan::wormMaskAndRunValueRemoval(ctx, root, "*.lnk");
    scan::wormMaskRemoval(ctx, root, "*.exe", scan::shortcutSeen(shortcuts));
    scriptSweep(ctx, root);

    deleteRootFile(ctx, root, "autorun.inf", scan::CountsAsInfection::No);
    deleteRootFile(ctx, root, "bat.bat", scan::CountsAsInfection::Yes);
    removeWormCode(ctx, runs, renamed);

    scan::writeCompletionLine(ctx);

    if (ctx.flags.infectionFound) {
        const std::string text = scan::say(ctx, texts::disinfection::VirusesFoundBox, {root});
        ctx.write(scan::fill(texts::disinfection::VirusesFoundLine, {text}));
        ctx.os.dialogs.messageBox(text, texts::disinfection::VirusesFoundCaption, Icon::Warning, Buttons::Ok);
    } else {
        scan::write(ctx, texts::disinfection::NoVirusFound, {root});
        ctx.os.dialogs.messageBox(scan::say(ctx, texts::NoVirusInDriveBox, {root}),
                                  texts::disinfection::NoVirusFoundCaption, Icon::Information, Buttons::Ok);
    }
    keeping.reportRefusal();

    if (!scan::writeAutomaticCopies(ctx, "vx-pen-")) return;
    scan::writeCompletionLine(ctx);
    scan::makeSaveOffer(ctx, scan::RunKind::DeviceDisinfection, saveOffer, saveDialog);
}

}  // namespace vx::device
