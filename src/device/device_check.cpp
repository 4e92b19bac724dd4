#include "device/device_check.h"

#include <array>
#include <memory>

#include "device/device_texts.h"
#include "device/drive_runs.h"
#include "device/tree_listing.h"
#include "scan/check_routines.h"
#include "scan/primitives.h"

namespace vx::device {

using platform::Buttons;
using platform::Icon;

namespace {

// One sign tested at the device root; each writes exactly one line.
struct RootSign {
    enum class Test { Folder, File, FolderAndBatch };
    Test test;
    const char* name;  // the folder or file at the root; FolderAndBatch adds name + ".bat"
    bool infection;    // the system folders are reported but are no infection
    const char* foundLine;
    const char* notFoundLine;
};

using T = RootSign::Test;
constexpr std::array<RootSign, 11> kRootSigns = {{
    {T::Folder, ".Trashes", true, "[VX] > Vírus Trashes encontrado!", "[VX] - Vírus Trashes não encontrado!"},
    {T::FolderAndBatch, "Drive", true, "[VX] > Vírus Drive encontrado!", "[VX] - Vírus Drive não encontrado!"},
    {T::FolderAndBatch, "Files", true, "[VX] > Vírus Files encontrado!", "[VX] - Vírus Files não encontrado!"},
    {T::Folder, "RECYCLE", false, "[VX] > Pasta Recycle encontrada! (Pasta de Sistema)",
     "[VX] - Pasta Recycle não encontrada!"},
    {T::Folder, "RECYCLE.BIN", false, "[VX] > Pasta Recycle.bin encontrada! (Pasta de Sistema)",
     "[VX] - Pasta Recycle.bin não encontrada!"},
    {T::Folder, "$RECYCLE.BIN", false, "[VX] > Pasta $Recycle.bin encontrada! (Pasta de Sistema)",
     "[VX] - Pasta $Recycle.bin não encontrada!"},
    {T::Folder, "RECYCLER", false, "[VX] > Pasta Recycler encontrada! (Pasta de Sistema)",
     "[VX] - Pasta Recycler não encontrada!"},
    {T::Folder, "RECYCLER.BIN", false, "[VX] > Pasta Recycler.bin encontrada! (Pasta de Sistema)",
     "[VX] - Pasta Recycler.bin não encontrada!"},
    {T::Folder, "$RECYCLER.BIN", false, "[VX] > Pasta $Recycler.bin encontrada! (Pasta de Sistema)",
     "[VX] - Pasta $Recycler.bin não encontrada!"},
    {T::Folder, "System Volume Information", false,
     "[VX] > Pasta System Volume Information encontrada! (Pasta de Sistema)",
     "[VX] - Pasta System Volume Information não encontrada!"},
    {T::File, "dw.dll", true, "[VX] > Vírus dw.dll encontrado!", "[VX] - Vírus dw.dll não encontrado!"},
}};

bool signPresent(platform::FileSystem& fs, const std::string& root, const RootSign& sign) {
    const std::string path = root + sign.name;
    switch (sign.test) {
        case T::Folder:
            return fs.directoryExists(path);
        case T::File:
            return fs.fileExists(path);
        case T::FolderAndBatch:
            return fs.directoryExists(path) && fs.fileExists(path + ".bat");
    }
    return false;
}

void checkRootSigns(scan::RunContext& ctx, const std::string& root) {
    for (const RootSign& sign : kRootSigns) {
        if (signPresent(ctx.os.fs, root, sign)) {
            if (sign.infection) ctx.flags.infectionFound = true;
            ctx.write(sign.foundLine);
        } else {
            ctx.write(sign.notFoundLine);
        }
    }
}

void checkWormFamilies(scan::RunContext& ctx, const std::string& root) {
    ctx.write(texts::check::CheckingVbs);
    scan::checkWormMaskAndRunValue(ctx, root, "*.vbs");
    ctx.write(texts::check::CheckingWsf);
    scan::checkWormMaskAndRunValue(ctx, root, "Microsoft Excel.wsf");
    ctx.write(texts::check::CheckingWsf);
    scan::checkWormMaskAndRunValue(ctx, root, "USB.exe");
    ctx.write(texts::check::CheckingManuelDoc);
    scan::checkWormMaskAndRunValue(ctx, root, "Manuel.doc");
    ctx.write(texts::check::CheckingVbe);
    scan::checkWormMaskAndRunValue(ctx, root, "*.vbe");

    // Shortcuts at the root enable the A1 size test of the executables that
    // follow, and only of them.
    ctx.write(texts::check::CheckingShortcuts);
    const scan::MaskMatch shortcuts = scan::checkWormMaskAndRunValue(ctx, root, "*.lnk");
    scan::checkWormMask(ctx, root, "*.exe", scan::shortcutSeen(shortcuts));

    ctx.write(texts::check::CheckingJs);
    scan::checkWormMaskAndRunValue(ctx, root, "*.js");

    // Scripts one level down: every root entry is tried as a folder, files
    // included (their enumeration simply finds nothing). A junction or link
    // is passed over, as the disinfection passes over it: what it shows lives
    // elsewhere, and a finding there is one no disinfection would clear.
    ctx.write(texts::check::CheckingJsOneLevelDown);
    std::unique_ptr<platform::Finder> finder = ctx.os.fs.find(root + "*.*");
    if (!finder) return;
    platform::FindEntry entry;
    while (finder->next(entry)) {
        if (entry.name == "." || entry.name == "..") continue;
        if ((entry.attributes & platform::attr::ReparsePoint) != 0) continue;
        scan::checkWormMaskAndRunValue(ctx, root + entry.name + "\\", "*.js");
    }
}

void showVerdict(scan::RunContext& ctx, const std::string& root, bool autorunFound) {
    auto& dialogs = ctx.os.dialogs;
    const bool infected = ctx.flags.infectionFound;
    if (!infected && !autorunFound) {
        if (ctx.portuguese()) {
            const std::string text = scan::fill(texts::NoVirusInDriveBox.pt, {root});
            dialogs.messageBox(text, texts::OutcomeCaption.pt, Icon::Information, Buttons::Ok);
            ctx.write(scan::fill(texts::check::VerdictLine, {text}));
        } else {
            dialogs.messageBox(scan::fill(texts::NoVirusInDriveBox.en, {root}), texts::OutcomeCaption.en,
                               Icon::Information, Buttons::Ok);
        }
        return;
    }
    if (!ctx.portuguese()) {
        dialogs.messageBox(scan::fill(texts::check::MayBeInfectedBox.en, {root}), texts::HeadsUpCaption.en,
                           Icon::Warning, Buttons::Ok);
        return;
    }
    if (!infected) {
        const std::string text = scan::fill(texts::check::MayBeInfectedBox.pt, {root});
        ctx.write(scan::fill(texts::check::VerdictLine, {text}));
        dialogs.messageBox(text, texts::HeadsUpCaption.pt, Icon::Warning, Buttons::Ok);
        return;
    }
    // The worm scripts run under the script host: stop them before the user
    // reads the verdict.
    scan::killProcessByName(ctx.os.processes, "wscript.exe");
    const std::string device = scan::fill(texts::check::InfectedBox, {root});
    const std::string advice = texts::check::RemovalAdvice;
    ctx.write(scan::fill(texts::check::InfectedLine, {device, advice}));
    dialogs.messageBox(scan::fill(texts::check::InfectedBoxText, {device, advice}), texts::HeadsUpCaption.pt,
                       Icon::Warning, Buttons::Ok);
}

}  // namespace

void runDeviceCheck(scan::RunContext& ctx, const std::string& driveListText, scan::SaveOffer saveOffer,
                    scan::SaveDialogMemory& saveDialog, std::string& deviceRoot) {
    ctx.flags.infectionFound = false;
    bool autorunFound = false;

    if (!driveListText.empty()) {
        deviceRoot = driveListText.substr(0, 1) + ":\\";
        const std::string root = deviceRoot;
        scan::writeLogHeader(ctx, scan::RunKind::DeviceCheck, root);
        // Read before anything else, as the disinfection reads it.
        const DriveRuns runs = readDriveRuns(ctx, root);

        ctx.write(texts::check::ListingTree);
        listTree(ctx, root);
        ctx.write(texts::check::ListingTreeEnd);

        ctx.write(texts::check::CheckingViruses);
        checkRootSigns(ctx, root);

        ctx.write(texts::check::CheckingOtherViruses);
        checkWormFamilies(ctx, root);

        if (ctx.os.fs.fileExists(root + "autorun.inf")) {
            autorunFound = true;
            ctx.write(texts::check::AutorunFound);
        } else {
            ctx.write(texts::check::AutorunNotFound);
        }
        writeDriveRunsFindings(ctx, runs);

        showVerdict(ctx, root, autorunFound);
    }

    scan::makeSaveOffer(ctx, scan::RunKind::DeviceCheck, saveOffer, saveDialog);
}

}  // namespace vx::device
