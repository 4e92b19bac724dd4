#include "computer/computer_disinfection.h"

#include <vector>

#include "computer/computer_places.h"
#include "computer/computer_run_commands.h"
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
        ctx_.write("[VX] - Procurando Vírus com extensão EXE Tipo 2...",
                   "[VX] - Looking Virus with EXE extension Type 2...");
        if (scan::killAndReport(ctx_, "msiexec.exe", "[vx009]").ended) ctx_.flags.infectionFound = true;
        scan::wormMaskAndRunValueRemoval(ctx_, f_.commonAppData + "\\", "*.exe");
    }

    // The lines after a folder was deleted: `folder` as the step built it.
    void folderResult(const std::string& folder) {
        if (folderAt(fs_, folder))
            ctx_.write("[VX] > Pasta " + folder + " não pôde ser Deletada!",
                       "[VX] > Folder " + folder + " could not be deleted!");
        else
            ctx_.write("[VX] > Pasta " + folder + " Deletada com Sucesso!",
                       "[VX] > Folder " + folder + " Successfully Deleted!");
    }

    // Deletes a folder that exists, with its result lines.
    void deleteFolderWhenPresent(const std::string& folder) {
        if (!folderAt(fs_, folder)) return;
        if (scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes).found) folderResult(folder);
    }

    // On Windows XP these worms hold the shell; the user is told that only
    // Safe Mode removes them for sure.
    void safeModeMessage() {
        ctx_.os.dialogs.messageBox("Para remover este vírus é necessário executar o Varrex em Modo de Segurança!",
                                   "Varrex", Icon::None, Buttons::Ok);
    }

    void deleteValueWithLine(RunKey& run, const std::string& name) {
        if (!run.exists(name)) return;
        run.remove(name);
        ctx_.write("[VX] > Chave de Registro " + name + " foi deletada!");
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
                    ctx_.write("[VX] > Pasta " + folder + " não pôde ser Deletada!",
                               "[VX] > " + folder + " folder can not be Deleted!");
                } else {
                    ctx_.write("[VX] > Pasta " + folder + " Deletada com Sucesso!",
                               "[VX] > " + folder + " folder Successfully Deleted!");
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
            ctx_.os.processes.startCommand(kDeleteWormTask);
            if (run.remove(name)) {
                ctx_.write("[VX] > Chave " + name + " Deletada com Sucesso!",
                           "[VX] > key " + name + " Successfully Deleted!");
            } else {
                ctx_.flags.removalFailed = true;
                ctx_.write("[VX] > Chave " + name + " não pôde ser Deletada!",
                           "[VX] > Key " + name + " It could not be deleted!");
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
            ctx_.write("[VX] > Pasta " + folder + " está infectada!", "[VX] > Folder " + folder + " is infected!");
            scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes);
            if (folderAt(fs_, folder)) {
                ctx_.write("[VX] > Pasta " + folder + " não pôde ser Deletada!",
                           "[VX] > Folder " + folder + " could not be Deleted!");
                scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes);
            } else {
                ctx_.write("[VX] > Pasta " + folder + " Deletada com Sucesso!",
                           "[VX] > Folder " + folder + " Successfully Deleted!");
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
        ctx_.write("[VX] - Procurando Vírus com extensão WSF...", "[VX] - Looking Virus with WSF extension...");
        scan::wormMaskAndRunValueRemoval(ctx_, f_.appData + "\\Microsoft Office\\", "*.WsF");
        for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine})
            if (deleteWormValue(root, "Microsoft Excel", "[VX] > Chave de Registro Microsoft Excel foi deletada!",
                                "[VX] > Microsoft Excel registry key has been deleted!"))
                ctx_.flags.restartNeeded = true;
    }

    // The eight folders the script sweeps visit, in their order.
    std::vector<std::string> scriptFolders() const {
        return {f_.startup + "\\",      f_.commonStartup + "\\", f_.appData + "\\", f_.localAppData + "\\",
                f_.commonAppData + "\\", f_.programFiles + "\\",  f_.temp,           f_.windows + "\\temp\\"};
    }

    void jsScripts() {
        ctx_.write("[VX] - Procurando Vírus com extensão JS...", "[VX] - Looking Virus with JS extension...");
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
        ctx_.write("[VX] - Procurando Vírus com extensão VBS...", "[VX] - Looking Virus VBS extension with...");
        removeFile(f_.startup, "Image.lnk");
        for (const std::string& folder : scriptFolders()) scan::wormMaskAndRunValueRemoval(ctx_, folder, "*.vbs");
    }

    void vbeScripts() {
        ctx_.write("[VX] - Procurando Vírus com extensão VBE...", "[VX] - Looking Virus with VBE extension...");
        for (const std::string& folder : scriptFolders()) scan::wormMaskAndRunValueRemoval(ctx_, folder, "*.vbe");
    }

    void win32Family() {
        const std::string folder = f_.systemX86 + "\\install\\";
        ctx_.write("[VX] - Procurando Vírus com extensão EXE na pasta " + folder,
                   "[VX] - Looking Virus with EXE extension in folder " + folder);
        scan::wormMaskAndRunValueRemoval(ctx_, folder, "win32.exe");
        if (deleteWormValue(RootKey::CurrentUser, "HKCU", "[VX] > Chave de Registro HKCU foi deletada!",
                            "[VX] > HKCU registry key has been deleted!"))
            ctx_.flags.restartNeeded = true;
        if (deleteWormValue(RootKey::LocalMachine, "HKLM", "[VX] > Chave de Registro HKLM foi deletada!",
                            "[VX] > HKLM registry key has been deleted!"))
            ctx_.flags.restartNeeded = true;
    }

    bool deleteFileAt(const std::string& path) { return scan::removeFile(ctx_, path); }

    void lnzyzjFamily() {
        ctx_.write("[VX] - Procurando Vírus com extensão EXE...", "[VX] - Looking Virus with EXE extension...");
        for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
            RunKey run(ctx_, root);
            if (!run.exists("Lnzyzj")) {
                ctx_.write("[VX] - Chave de Registro Lnzyzj não Encontrada!", "[VX] - Key Lnzyzj Record not Found!");
                continue;
            }
            run.remove("Lnzyzj");
            const bool machine = root == RootKey::LocalMachine;
            for (const std::string* folder : {&f_.appData, &f_.localAppData})
                if (platform::isAbsolutePath(*folder)) fs_.setAttributes(*folder + "\\Lnzyzj.exe", 0);
            ctx_.write("[VX] > Chave de Registro Lnzyzj Deletada!", "[VX] > Lnzyzj deleted registry key!");
            ctx_.flags.infectionFound = true;
            bool first = true;
            for (const std::string* folder : {&f_.appData, &f_.localAppData}) {
                const std::string& d = *folder;
                if (deleteFileAt(d + "\\Lnzyzj.exe")) {
                    ctx_.write("[VX] > Arquivo " + d + "\\Lnzyzj.exe Deletado com Sucesso!",
                               "[VX] > File " + d + "\\Lnzyzj.exe Successfully Deleted!");
                } else {
                    const char* arquivo = machine && !first ? "Arquivo " : "arquivo ";
                    const char* ending = machine ? "Lnzyzj.exe, or it does not exists!" : "Lnzyzj.exe, or not he exists!";
                    ctx_.write("[VX] - Não foi possível excluír o " + std::string(arquivo) + d + "\\" +
                                   "Lnzyzj.exe, ou ele não Existe!",
                               "[VX] - Could not delete file " + d + "\\" + ending);
                }
                first = false;
            }
        }
    }

    void salityFamily() {
        ctx_.write("[VX] - Procurando desktop.exe (Sality)...", "[VX] - Looking Desktop.exe (Sality)...");
        const std::string root = driveRootOf(f_.localAppData + "\\");
        if (!root.empty() && fileAt(fs_, root + "Win\\lsass.exe")) {
            const std::string folder = root + "Win";
            ctx_.flags.infectionFound = true;
            fs_.setAttributes(folder, 0);
            scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes);
            if (folderAt(fs_, folder))
                ctx_.write("[VX] > Pasta " + folder + " não pode ser deletada!",
                           "[VX] > Folder " + folder + " can not be deleted!");
            else
                ctx_.write("[VX] > Pasta " + folder + " deletada com sucesso!",
                           "[VX] > Folder " + folder + " Successfully Deleted!");
        }
        const std::string program = f_.altStartup + "\\desktop.exe";
        if (fileAt(fs_, program)) {
            ctx_.flags.infectionFound = true;
            scan::removeFile(ctx_, program);
            if (fs_.fileExists(program))
                ctx_.write("[VX] > Arquivo " + program + " não pode ser deletado!",
                           "[VX] > File " + program + " can not be deleted!");
            else
                ctx_.write("[VX] > Arquivo " + program + " deletado com sucesso!",
                           "[VX] > File " + program + " Sucessfully Deleted!");
        }
    }

    void xcvFamily() {
        ctx_.write("[VX] - Procurando Vírus xcv.exe - Prolifera pela extensão .cpl (Painel de Controle)...");
        const std::string folder = f_.commonAppData + "\\ASX";
        if (scan::deleteFolderTree(ctx_, folder, scan::CountsAsInfection::Yes).found) {
            if (folderAt(fs_, folder))
                ctx_.write("[VX] - Pasta " + folder + " não pôde ser Deletada ou não Existe!",
                           "[VX] - Folder " + folder + " could not be deleted or not exists!");
            else
                ctx_.write("[VX] > Pasta " + folder + " Deletada com Sucesso!",
                           "[VX] > Folder " + folder + " Successfully Deleted!");
        }
        for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser})
            deleteWormValue(root, "xcv.exe", "[VX] > Chave de Registro xcv.exe Deletada!",
                            "[VX] > Xcv.exe deleted registry key!");
    }

    void dwDllFamily() {
        ctx_.write("[VX] - Procurando Vírus dw.dll...", "[VX] - Looking dw.dll Virus...");
        scan::wormMaskAndRunValueRemoval(ctx_, f_.temp, "dw.dll");
        scan::wormMaskAndRunValueRemoval(ctx_, f_.windows + "\\temp\\", "dw.dll");
        for (RootKey root : {RootKey::LocalMachine, RootKey::CurrentUser})
            deleteWormValue(root, "System", "[VX] > Chave de Registro System Deletada!",
                            "[VX] > System deleted registry key!");
    }

    // The policy values the worms set to keep the user from Folder Options,
    // the Control Panel, the home page and System Restore.
    void systemFunctions() {
        ctx_.write("[VX] - Reparando Funções de Sistema...");
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
        ctx.write("[VX] - Procurando: Vírus DriverAudio não encontrado!");
        return;
    }
    ctx.flags.infectionFound = true;
    ctx.flags.driverAudio = true;
    ctx.write("[VX] > Vírus DriverAudio encontrado!");
    const std::string script = scan::programFolder(ctx.os.shell) + kDriverAudioScriptName;
    if (!writeDriverAudioScript(ctx, script))
        ctx.write("[VX] > Não foi possível gravar o arquivo " + script + "! Execute o Varrex de uma pasta gravável.",
                  "[VX] > Could not write the file " + script + "! Run Varrex from a writable folder.");
}

void showVerdict(scan::RunContext& ctx) {
    auto& dialogs = ctx.os.dialogs;
    if (ctx.flags.driverAudio) {
        dialogs.messageBox(
            "ATENÇÃO! Vírus DriverAudio encontrado.\r\nFeche o Varrex\r\nExecute o arquivo: <Varrex - "
            "DriverAudio.reg> gerado.\r\nReinicie o computador.\r\nExecute novamente o Varrex e faça as Desinfecções.",
            "Heads up", Icon::Warning, Buttons::Ok);
        return;
    }
    if (ctx.flags.infectionFound && ctx.flags.removalFailed) {
        ctx.write("[VX] > Alguns arquivos não puderam ser Desinfectados! Verifique o relatório!",
                  "[VX] > Some files could not be Disinfected! Check the report!");
        ctx.write("[VX] > Tente executar o programa como Administrador!", "[VX] > Run the program as Administrator!");
        dialogs.messageBox(ctx.say("Alguns arquivos não puderam ser Desinfectados! Verifique o relatório!\rTente "
                                   "executar o programa como Administrador!",
                                   "Some files could not be Disinfected! Check report!\rRun the program as "
                                   "Administrator!"),
                           ctx.say("Atenção", "Heads up"), Icon::Warning, Buttons::Ok);
    } else if (ctx.flags.infectionFound) {
        const std::string pt = "Vírus Encontrados e eliminados do Computador! Verifique o relatório!";
        const std::string en = "Virus Found and Deleted this computer!";
        ctx.write("[VX] > " + pt, "[VX] > " + en);
        dialogs.messageBox(ctx.say(pt, en), ctx.say("Atenção", "Heads up"), Icon::Warning, Buttons::Ok);
    } else {
        ctx.write("[VX] - Nenhum Vírus Encontrado!", "[VX] - No Viruses Found!");
        dialogs.messageBox(ctx.say("Nenhum Vírus Encontrado neste Computador!", "No Virus Found this computer!"),
                           ctx.say("Aviso", "Warning"), Icon::Information, Buttons::Ok);
    }
}

void askForRestart(scan::RunContext& ctx) {
    if (!ctx.flags.restartNeeded) return;
    const Answer answer = ctx.os.dialogs.messageBox(
        ctx.say("É necessário reiniciar o Computador! Reiniciar agora?", "You must restart your computer! Restart now?"),
        ctx.say("Opções", "Options"), Icon::Warning, Buttons::YesNo);
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
        scan::KeepingScope keeping(ctx, false, "");
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
