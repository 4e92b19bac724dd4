#include "computer/computer_disinfection.h"

#include <vector>

#include "computer/computer_places.h"
#include "computer/computer_run_commands.h"
#include "computer/computer_texts.h"
#include "platform/paths.h"
#include "scan/primitives.h"
#include "scan/quarantine.h"
#include "scan/startup_entries.h"
#include "scan/worm_removal.h"

namespace vx::computer {

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using platform::RootKey;

namespace {

// Exit flag that restarts Windows.
constexpr unsigned kRestart = 2;

// Deletes the scheduled task one worm registers to start itself again.
constexpr const char* kDeleteWormTask = "cmd /c schtasks /delete /tn \"Google Security\" /f";

const char* const kPassedOverPrograms[] = {"AVG Secure Search", "Logmein"};

class ComputerDisinfection {
public:
    explicit ComputerDisinfection(scan::RunContext& ctx)
        : ctx_(ctx), fs_(ctx.os.fs), f_(ComputerFolders::read(ctx.os)), runCommands_(readRunCommands(ctx)) {}

    void run() {
        processes();
        commonAppDataExecutables();
        nefcbFamily();
        liveFamily();
        singleFiles();
        companionFolders();
        imageCommands(RootKey::LocalMachine);
        imageCommands(RootKey::CurrentUser);
        pairFolders(f_.profile + "\\");
        pairFolders(f_.appData + "\\");
        startupShortcuts();
        wsfScripts();
        jsScripts();
        vbsScripts();
        vbeScripts();
        win32Family();
        lnzyzjFamily();
        scan::runDataRemoval(ctx_, f_.appData + "\\", "*.exe");
        scan::runDataRemoval(ctx_, f_.localAppData + "\\", "*.exe");
        salityFamily();
        xcvFamily();
        dwDllFamily();
        systemFunctions();
        removeRunCommands(ctx_, runCommands_);
    }

    const ComputerFolders& folders() const { return f_; }

private:
    void processes() {
        struct Row {
            const char* name;
            const char* tag;
        };
        static constexpr Row worms[] = {{"wscript.exe", "[vx001]"}, {"xcv.exe", "[vx002]"}};
        for (const Row& row : worms)
            if (scan::killAndReport(ctx_, row.name, row.tag).ended) ctx_.flags.infectionFound = true;
        // rundll32.exe runs on every Windows: ending it is no sign of a worm.
        scan::killAndReport(ctx_, "rundll32.exe", "[vx003]", scan::NotRunningLine::TrailingBlank);
        static constexpr Row more[] = {{"lulu.exe", "[vx004]"},
                                       {"svccscsvc.exe", "[vx005]"},
                                       {"yotsleks.exe", "[vx006]"},
                                       {"breakini.exe", "[vx007]"}};
        for (const Row& row : more)
            if (scan::killAndReport(ctx_, row.name, row.tag).ended) ctx_.flags.infectionFound = true;
        if (scan::killNotepadOrCalc(ctx_).ended) ctx_.flags.infectionFound = true;
        if (scan::killAndReport(ctx_, "DriverAudio.exe", "[DriverAudio.exe]").ended) ctx_.flags.infectionFound = true;
    }

    void commonAppDataExecutables() {
        scan::write(ctx_, texts::disinfection::LookingForExeType2);
        if (scan::killAndReport(ctx_, "msiexec.exe", "[vx009]").ended) ctx_.flags.infectionFound = true;
        scan::wormMaskAndRunValueRemoval(ctx_, f_.commonAppData + "\\", "*.exe");
    }

    // The lines after a folder was deleted: `folder` as the step built it.
    void folderResult(const std::string& folder) {
        if (folderAt(fs_, folder))
            scan::write(ctx_, texts::disinfection::FolderNotDeleted, {folder});
        else
            scan::write(ctx_, texts::disinfection::FolderDeleted, {folder});
    }

    // Deletes a folder that exists, with its result lines.
    void deleteFolderWhenPresent(const std::string& folder) {
        if (!folderAt(fs_, folder)) return;
        if (scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes).found) folderResult(folder);
    }

    // On Windows XP these worms hold the shell; the user is told that only
    // Safe Mode removes them for sure.
    void safeModeMessage() {
        ctx_.os.dialogs.messageBox(texts::disinfection::SafeModeBox, texts::disinfection::SafeModeCaption, Icon::None,
                                   Buttons::Ok);
    }

    void deleteValueWithLine(RunKey& run, const std::string& name) {
        if (!run.exists(name)) return;
        run.remove(name);
        ctx_.write(scan::fill(texts::disinfection::StartupValueDeleted, {name}));
    }

    void nefcbFamily() {
        const bool xp = scan::windowsEditionSuffix(ctx_.os.registry) == "XP";
        const std::string folder = f_.localAppData + "\\nefcb\\";
        RunKey run(ctx_, RootKey::CurrentUser);
        for (const std::string& name : run.names()) {
            auto text = run.text(name);
            if (text && text->find("nefcb") != std::string::npos) {
                // The start-up entry alone is a sign: the verdict must not
                // say nothing was found after it was deleted.
                ctx_.flags.infectionFound = true;
                if (xp) safeModeMessage();
                deleteValueWithLine(run, name);
                if (xp) scan::killAndReport(ctx_, "explorer.exe", "[explorer.exe]");
            }
            deleteFolderWhenPresent(folder);
            deleteFolderWhenPresent(folder);
        }
        // Once more after the walk, so that the folder goes even when the
        // key holds no value at all.
        deleteFolderWhenPresent(folder);
    }

    void liveFamily() {
        const bool xp = scan::windowsEditionSuffix(ctx_.os.registry) == "XP";
        if (f_.appData.empty()) return;  // no path to compare the values with
        const std::string live = f_.appData + "\\WindowsUpdate\\Live.exe";
        RunKey run(ctx_, RootKey::CurrentUser);
        for (const std::string& name : run.names()) {
            auto text = run.text(name);
            if (!text || *text != live) continue;
            ctx_.flags.infectionFound = true;
            if (xp) safeModeMessage();
            deleteValueWithLine(run, name);
            deleteValueWithLine(run, "Windows Live");
            deleteValueWithLine(run, "Live");
            if (xp) scan::killAndReport(ctx_, "explorer.exe", "[explorer.exe]");
            deleteFolderWhenPresent(f_.appData + "\\WindowsUpdate");
            deleteFolderWhenPresent(f_.appData + "\\Windows Live");
        }
    }

    // Deletes folder + "\" + name with its processes and start-up values when
    // it is there; nothing is written when it is not.
    void removeFile(const std::string& folder, const char* name) {
        if (!fileAt(fs_, folder + "\\" + name)) return;
        ctx_.flags.infectionFound = true;
        scan::wormFileRemoval(ctx_, folder + "\\", name);
    }

    void singleFiles() {
        removeFile(f_.altStartup, "pccai.lnk");
        removeFile(f_.altStartup, "lulu.exe");
        removeFile(f_.windows, "svccscsvc.exe");
        for (const std::string* folder : {&f_.appData, &f_.localAppData})
            for (const char* name : {"Meu_pc.zip", "breakini.exe", "yotsleks.exe"}) removeFile(*folder, name);
        removeFile(f_.localAppData, "DriverAudio.exe");
    }

    void companionFolders() {
        for (const std::string* base : {&f_.localAppData, &f_.appData}) {
            for (const char* name : {"google_i9\\", "google_pdf\\"}) {
                const std::string folder = *base + "\\" + name;
                if (!scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes).found) continue;
                if (folderAt(fs_, folder)) {
                    ctx_.flags.removalFailed = true;
                    scan::write(ctx_, texts::disinfection::CompanionFolderNotDeleted, {folder});
                } else {
                    scan::write(ctx_, texts::disinfection::CompanionFolderDeleted, {folder});
                }
            }
        }
    }

    void imageCommands(RootKey root) {
        RunKey run(ctx_, root);
        for (const std::string& name : run.names()) {
            auto text = run.text(name);
            if (!text || !isImageCommand(*text)) continue;
            ctx_.flags.infectionFound = true;
            // The task goes with its Run value; should the command not start,
            // the task is left, and the value still goes.
            ctx_.os.processes.startCommand(kDeleteWormTask).ignore();
            if (run.remove(name)) {
                scan::write(ctx_, texts::disinfection::ImageCommandDeleted, {name});
            } else {
                ctx_.flags.removalFailed = true;
                scan::write(ctx_, texts::disinfection::ImageCommandNotDeleted, {name});
            }
        }
    }

    // Sub-folders holding a small executable beside a small script go as a
    // whole. Links are passed over: removing one would remove only the link.
    void pairFolders(const std::string& base) {
        for (const FolderEntry& entry : entriesOf(fs_, base)) {
            if (entry.isLink) continue;
            const std::string folder = base + entry.name;
            if (!scan::exeAndScriptPairTest(ctx_, folder + "\\")) continue;
            scan::write(ctx_, texts::disinfection::PairFolderInfected, {folder});
            scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes);
            if (folderAt(fs_, folder)) {
                scan::write(ctx_, texts::disinfection::PairFolderNotDeleted, {folder});
                scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes);
            } else {
                scan::write(ctx_, texts::disinfection::PairFolderDeleted, {folder});
            }
        }
    }

    void startupShortcuts() {
        removeFile(f_.startup, "atajo.lnk");
        removeFile(f_.commonStartup, "atajo.lnk");
        removeFile(f_.startup, "start.lnk");
        removeFile(f_.commonStartup, "start.lnk");
        removeFile(f_.startup, "windows explorer.lnk");
        removeFile(f_.commonStartup, "windows explorer.lnk");
        removeFile(f_.commonStartup, "empezar.lnk");
        removeFile(f_.altStartup, "windows explorer.lnk");
        removeFile(f_.altStartup, "empezar.lnk");
        removeFile(f_.commonAltStartup, "windows explorer.lnk");
        removeFile(f_.commonAltStartup, "empezar.lnk");
    }

    // Deletes a Run value that is a worm's start-up entry, with its line.
    // Returns true when the value was there.
    bool deleteWormValue(RootKey root, const std::string& name, const std::string& pt, const std::string& en) {
        RunKey run(ctx_, root);
        if (!run.exists(name)) return false;
        ctx_.flags.infectionFound = true;
        run.remove(name);
        ctx_.write(pt, en);
        return true;
    }

    void wsfScripts() {
        scan::write(ctx_, texts::disinfection::LookingForWsf);
        scan::wormMaskAndRunValueRemoval(ctx_, f_.appData + "\\Microsoft Office\\", "*.WsF");
        for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine})
            if (deleteWormValue(root, "Microsoft Excel", texts::disinfection::ExcelValueDeleted.pt,
                                texts::disinfection::ExcelValueDeleted.en))
                ctx_.flags.restartNeeded = true;
    }

    // The eight folders the script sweeps visit, in their order.
    std::vector<std::string> scriptFolders() const {
        return {f_.startup + "\\",      f_.commonStartup + "\\", f_.appData + "\\", f_.localAppData + "\\",
                f_.commonAppData + "\\", f_.programFiles + "\\",  f_.temp,           f_.windows + "\\temp\\"};
    }

    void jsScripts() {
        scan::write(ctx_, texts::disinfection::LookingForJs);
        std::vector<std::string> folders = scriptFolders();
        const std::string windowsTemp = folders.back();
        folders.pop_back();
        for (const std::string& folder : folders) scan::wormMaskAndRunValueRemoval(ctx_, folder, "*.js");
        scan::wormMaskAndRunValueRemoval(ctx_, f_.temp, "SysinfY2X.db");
        scan::wormMaskAndRunValueRemoval(ctx_, windowsTemp, "*.js");
        scan::wormMaskAndRunValueRemovalInEachEntry(ctx_, f_.appData + "\\", "*.js");
        const std::string programs = f_.programFiles + "\\";
        const std::string nativePrograms = nativeProgramFilesOf(f_.programFiles);
        for (const std::string* base : {&programs, &nativePrograms})
            scan::wormMaskAndRunValueRemovalInEachEntry(ctx_, *base, "*.js",
                                                        {kPassedOverPrograms[0], kPassedOverPrograms[1]});
    }

    void vbsScripts() {
        scan::write(ctx_, texts::disinfection::LookingForVbs);
        removeFile(f_.startup, "Image.lnk");
        for (const std::string& folder : scriptFolders()) scan::wormMaskAndRunValueRemoval(ctx_, folder, "*.vbs");
    }

    void vbeScripts() {
        scan::write(ctx_, texts::disinfection::LookingForVbe);
        for (const std::string& folder : scriptFolders()) scan::wormMaskAndRunValueRemoval(ctx_, folder, "*.vbe");
    }

    void win32Family() {
        const std::string folder = f_.systemX86 + "\\install\\";
        scan::write(ctx_, texts::disinfection::LookingForExeIn, {folder});
        scan::wormMaskAndRunValueRemoval(ctx_, folder, "win32.exe");
        if (deleteWormValue(RootKey::CurrentUser, "HKCU", texts::disinfection::HkcuValueDeleted.pt,
                            texts::disinfection::HkcuValueDeleted.en))
            ctx_.flags.restartNeeded = true;
        if (deleteWormValue(RootKey::LocalMachine, "HKLM", texts::disinfection::HklmValueDeleted.pt,
                            texts::disinfection::HklmValueDeleted.en))
            ctx_.flags.restartNeeded = true;
    }

    bool deleteFileAt(const std::string& path) { return scan::removeFile(ctx_, path); }

    void lnzyzjFamily() {
        scan::write(ctx_, texts::disinfection::LookingForExe);
        for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
            RunKey run(ctx_, root);
            if (!run.exists("Lnzyzj")) {
                scan::write(ctx_, texts::disinfection::LnzyzjValueNotFound);
                continue;
            }
            run.remove("Lnzyzj");
            const bool machine = root == RootKey::LocalMachine;
            for (const std::string* folder : {&f_.appData, &f_.localAppData})
                if (platform::isAbsolutePath(*folder)) fs_.setAttributes(*folder + "\\Lnzyzj.exe", 0).ignore();
            scan::write(ctx_, texts::disinfection::LnzyzjValueDeleted);
            ctx_.flags.infectionFound = true;
            bool first = true;
            for (const std::string* folder : {&f_.appData, &f_.localAppData}) {
                const std::string& d = *folder;
                if (deleteFileAt(d + "\\Lnzyzj.exe")) {
                    scan::write(ctx_, texts::disinfection::LnzyzjFileDeleted, {d});
                } else {
                    const scan::Text& notDeleted = !machine ? texts::disinfection::LnzyzjUserFileNotDeleted
                                                   : first  ? texts::disinfection::LnzyzjMachineFileNotDeleted
                                                            : texts::disinfection::LnzyzjMachineLaterFileNotDeleted;
                    scan::write(ctx_, notDeleted, {d});
                }
                first = false;
            }
        }
    }

    void salityFamily() {
        scan::write(ctx_, texts::disinfection::LookingForSality);
        const std::string root = driveRootOf(f_.localAppData + "\\");
        if (!root.empty() && fileAt(fs_, root + "Win\\lsass.exe")) {
            const std::string folder = root + "Win";
            ctx_.flags.infectionFound = true;
            fs_.setAttributes(folder, 0).ignore();
            scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes);
            if (folderAt(fs_, folder))
                scan::write(ctx_, texts::disinfection::SalityFolderNotDeleted, {folder});
            else
                scan::write(ctx_, texts::disinfection::SalityFolderDeleted, {folder});
        }
        const std::string program = f_.altStartup + "\\desktop.exe";
        if (fileAt(fs_, program)) {
            ctx_.flags.infectionFound = true;
            scan::removeFile(ctx_, program);
            if (fs_.fileExists(program))
                scan::write(ctx_, texts::disinfection::SalityProgramNotDeleted, {program});
            else
                scan::write(ctx_, texts::disinfection::SalityProgramDeleted, {program});
        }
    }

    void xcvFamily() {
        ctx_.write(texts::disinfection::LookingForXcv);
        const std::string folder = f_.commonAppData + "\\ASX";
        if (scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes).found) {
            if (folderAt(fs_, folder))
                scan::write(ctx_, texts::disinfection::XcvFolderNotDeleted, {folder});
            else
                scan::write(ctx_, texts::disinfection::XcvFolderDeleted, {folder});
        }
        for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser})
            deleteWormValue(root, "xcv.exe", texts::disinfection::XcvValueDeleted.pt,
                            texts::disinfection::XcvValueDeleted.en);
    }

    void dwDllFamily() {
        scan::write(ctx_, texts::disinfection::LookingForDwDll);
        scan::wormMaskAndRunValueRemoval(ctx_, f_.temp, "dw.dll");
        scan::wormMaskAndRunValueRemoval(ctx_, f_.windows + "\\temp\\", "dw.dll");
        for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser})
            deleteWormValue(root, "System", texts::disinfection::SystemValueDeleted.pt,
                            texts::disinfection::SystemValueDeleted.en);
    }

    // The policy values the worms set to keep the user from Folder Options,
    // the Control Panel, the home page and System Restore.
    void systemFunctions() {
        ctx_.write(texts::disinfection::RepairingSystemFunctions);
        struct Row {
            RootKey root;
            const char* key;
            const char* value;
            const char* deletedPt;
            const char* deletedEn;
            const char* notFoundPt;
            const char* notFoundEn;
        };
        const char* explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
        const char* controlPanel = "Software\\Policies\\Microsoft\\Internet Explorer\\control panel";
        const Row rows[] = {
            {RootKey::CurrentUser, explorer, "NofolderOptions", "[VX] - Chave de Registro NofolderOptions Deletada!",
             "[VX] - Registry key NofolderOptions Deleted!", "[VX] - Chave de Registro NofolderOptions não Encontrada!",
             "[VX] - Registry key NofolderOptions not found!"},
            {RootKey::CurrentUser, explorer, "NoControlPanel", "[VX] - Chave de Registro NoControlPanel Deletada!",
             "[VX] - Registry Key NoControlPanel Deleted!", "[VX] - Chave de Registro NoControlPanel não Encontrada",
             "[VX] - Registry Key NoControlPanel not found"},
            {RootKey::CurrentUser, controlPanel, "HomePage", "[VX] - Chave de Registro HomePage Deletada!",
             "[VX] - Registry Key HomePage Deleted!", "[VX] - Chave de Registro HomePage não Enontrada!",
             "[VX] - Registry Key HomePage not found!"},
            {RootKey::LocalMachine, controlPanel, "HomePage", "[VX] - Chave de Registro HomePage Deletada!",
             "[VX] - Registry Key HomePage Deleted!", "[VX] - Chave de Registro HomePage não Encontrada",
             "[VX] - Registry Key HomePage not found"},
            {RootKey::LocalMachine, "Software\\Policies\\Microsoft\\Windows NT\\SystemRestore", "DisableConfig",
             "[VX] - Chave de Registro DisableConfig Deletada!", "[VX] - Registry Key DisableConfig Deleted!",
             "[VX] - Chave de Registro DisableConfig não Encontrada!", "[VX] - Registry Key DisableConfig not found!"},
        };
        for (const Row& row : rows) {
            auto key = scan::openKeyFullAccess(ctx_.os.registry, row.root, row.key);
            if (key && key->valueExists(row.value)) {
                scan::removeValue(ctx_, row.root, row.key, *key, row.value);
                ctx_.write(row.deletedPt, row.deletedEn);
            } else {
                ctx_.write(row.notFoundPt, row.notFoundEn);
            }
        }
    }

    scan::RunContext& ctx_;
    platform::FileSystem& fs_;
    ComputerFolders f_;
    // The start-up entries that run worm code, read before the first step
    // deletes anything: a script an earlier sweep removes still leads to the
    // shortcut or value that ran it.
    std::vector<RunCommandEntry> runCommands_;
};

// DriverAudio.exe that survived its deletion is restarted by a scheduled
// task; the script written beside the program removes that task when the
// user imports it. False when the file cannot be written.
bool writeDriverAudioScript(scan::RunContext& ctx, const std::string& path) {
    if (!platform::isAbsolutePath(path)) return false;
    const std::vector<std::string> lines = {
        "Windows Registry Editor Version 5.00", "",
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree\\DriverAudio]"};
    return static_cast<bool>(ctx.os.fs.writeTextFile(path, lines));
}

void driverAudioCase(scan::RunContext& ctx, const ComputerFolders& folders) {
    if (!fileAt(ctx.os.fs, folders.localAppData + "\\DriverAudio.exe")) {
        ctx.write(texts::disinfection::DriverAudioNotFound);
        return;
    }
    ctx.flags.infectionFound = true;
    ctx.flags.driverAudio = true;
    ctx.write(texts::disinfection::DriverAudioFound);
    const std::string script = scan::programFolder(ctx.os.shell) + kDriverAudioScriptName;
    if (!writeDriverAudioScript(ctx, script))
        scan::write(ctx, texts::disinfection::DriverAudioScriptNotWritten, {script});
}

void showVerdict(scan::RunContext& ctx) {
    auto& dialogs = ctx.os.dialogs;
    if (ctx.flags.driverAudio) {
        dialogs.messageBox(texts::disinfection::DriverAudioBox, texts::disinfection::DriverAudioCaption, Icon::Warning,
                           Buttons::Ok);
        return;
    }
    if (ctx.flags.infectionFound && ctx.flags.removalFailed) {
        scan::write(ctx, texts::disinfection::SomeNotDisinfected);
        scan::write(ctx, texts::disinfection::RunAsAdministrator);
        dialogs.messageBox(scan::say(ctx, texts::disinfection::SomeNotDisinfectedBox),
                           scan::say(ctx, texts::disinfection::HeadsUpCaption), Icon::Warning, Buttons::Ok);
    } else if (ctx.flags.infectionFound) {
        const std::string text = scan::say(ctx, texts::disinfection::VirusesRemovedBox);
        ctx.write(scan::fill(texts::disinfection::VirusesRemovedLine, {text}));
        dialogs.messageBox(text, scan::say(ctx, texts::disinfection::HeadsUpCaption), Icon::Warning, Buttons::Ok);
    } else {
        scan::write(ctx, texts::disinfection::NoVirusFound);
        dialogs.messageBox(scan::say(ctx, texts::disinfection::NoVirusBox),
                           scan::say(ctx, texts::disinfection::NoVirusCaption), Icon::Information, Buttons::Ok);
    }
}

void askForRestart(scan::RunContext& ctx) {
    if (!ctx.flags.restartNeeded) return;
    const Answer answer = ctx.os.dialogs.messageBox(
        scan::say(ctx, texts::disinfection::RestartQuestion), scan::say(ctx, texts::disinfection::RestartCaption),
        Icon::Warning, Buttons::YesNo);
    if (answer == Answer::Yes) scan::restartWindows(ctx.os.shell, kRestart);
}

}  // namespace

void runComputerDisinfection(scan::RunContext& ctx, scan::SaveOffer saveOffer,
                             scan::SaveDialogMemory& saveDialog) {
    scan::killProcessByName(ctx.os.processes, "wscript.exe");
    ctx.flags.removalFailed = false;
    ctx.flags.infectionFound = false;
    ctx.flags.restartNeeded = false;
    ctx.flags.driverAudio = false;
    scan::writeLogHeader(ctx, scan::RunKind::ComputerDisinfection, "");

    ComputerDisinfection steps(ctx);
    scan::KeepRefusal refusal = scan::KeepRefusal::None;
    {
        scan::KeepingScope keeping(ctx, scan::KeptFrom::Computer);
        steps.run();
        refusal = keeping.run().refusal();
    }

    driverAudioCase(ctx, steps.folders());
    showVerdict(ctx);
    scan::reportKeepRefusal(ctx, refusal);
    if (!scan::writeAutomaticCopies(ctx, "vx-pc-")) return;
    scan::writeCompletionLine(ctx);
    askForRestart(ctx);
    scan::makeSaveOffer(ctx, scan::RunKind::ComputerDisinfection, saveOffer, saveDialog);
}

}  // namespace vx::computer
