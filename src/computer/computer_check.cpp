#include "computer/computer_check.h"

#include <string>

#include "computer/computer_places.h"
#include "computer/computer_run_commands.h"
#include "computer/computer_texts.h"
#include "scan/check_routines.h"
#include "scan/primitives.h"
#include "scan/startup_entries.h"

namespace vx::computer {

using platform::Buttons;
using platform::Icon;
using platform::RootKey;

namespace {

// The lines of one step. The label is "Tipo " + the step's id, or a family
// name that stands alone ("DriverAudio"). These lines are Portuguese in
// both languages.
class StepLines {
public:
    explicit StepLines(scan::RunContext& ctx) : ctx_(ctx) {}

    static std::string tipo(const std::string& id) { return scan::fill(texts::check::StepType, {id}); }

    void heading(const std::string& label) { ctx_.write(scan::fill(texts::check::StepHeading, {label})); }
    void found(const std::string& label) {
        ctx_.flags.infectionFound = true;
        ctx_.write(scan::fill(texts::check::StepFound, {label}));
    }
    void notFound(const std::string& label) {
        ctx_.write(scan::fill(texts::check::StepNotFound, {label}));
    }
    void result(const std::string& label, bool present) { present ? found(label) : notFound(label); }

private:
    scan::RunContext& ctx_;
};

class ComputerCheck {
public:
    explicit ComputerCheck(scan::RunContext& ctx)
        : ctx_(ctx),
          fs_(ctx.os.fs),
          lines_(ctx),
          f_(ComputerFolders::read(ctx.os)),
          runCommands_(readRunCommands(ctx)) {}

    void run() {
        processes();
        scan::write(ctx_, texts::check::CheckingExeType2);
        scan::checkWormMaskAndRunValue(ctx_, f_.commonAppData + "\\", "*.exe");
        nefcbFamily();
        liveFamily();
        pairs("1", f_.profile + "\\");
        pairs("2", f_.appData + "\\");
        tableSteps();
        imageCommands(RootKey::LocalMachine, "53");
        imageCommands(RootKey::CurrentUser, "54");
        reportRunCommands(ctx_, runCommands_);
    }

private:
    void processes() {
        ctx_.write(texts::check::CheckingProcesses);
        struct Row {
            const char* name;
            const char* k;
            bool infection;
        };
        // rundll32.exe runs on every Windows: it is reported, never a sign by itself.
        static constexpr Row rows[] = {{"wscript.exe", "1", true},  {"xcv.exe", "2", true},
                                       {"rundll32.exe", "3", false}, {"lulu.exe", "4", true},
                                       {"svccscsvc.exe", "4", true}, {"yotsleks.exe", "5", true},
                                       {"breakini.exe", "6", true}};
        for (const Row& row : rows) {
            if (scan::isProcessRunning(ctx_.os.processes, row.name)) {
                if (row.infection) ctx_.flags.infectionFound = true;
                ctx_.write(scan::fill(texts::check::ProcessFound, {row.k}));
            } else {
                ctx_.write(scan::fill(texts::check::ProcessNotFound, {row.k}));
            }
        }
    }

    void nefcbFamily() {
        bool seen = false;
        const std::string label = StepLines::tipo("A1.1");
        lines_.heading(label);
        if (folderAt(fs_, f_.localAppData + "\\nefcb\\")) {
            lines_.found(label);
            seen = true;
        }
        RunKey run(ctx_, RootKey::CurrentUser);
        for (const std::string& name : run.names()) {
            auto text = run.text(name);
            if (!text || text->find("nefcb") == std::string::npos) continue;
            ctx_.write(texts::check::NefcbValueFound);
            ctx_.flags.infectionFound = true;
            seen = true;
        }
        if (!seen) lines_.notFound(label);
    }

    void liveFamily() {
        bool seen = false;
        const std::string label = StepLines::tipo("A1");
        lines_.heading(label);
        // Without the roaming folder there is no path to compare with.
        const std::string live = f_.appData + "\\WindowsUpdate\\Live.exe";
        RunKey run(ctx_, RootKey::CurrentUser);
        for (const std::string& name : run.names()) {
            auto text = run.text(name);
            if (!text || f_.appData.empty() || *text != live) continue;
            lines_.found(label);
            seen = true;
        }
        if (!seen) lines_.notFound(label);
    }

    // One line per entry of `base`, files included: a folder holding a small
    // executable beside a small script is a worm's folder.
    void pairs(const std::string& id, const std::string& base) {
        const std::string label = StepLines::tipo(id);
        lines_.heading(label);
        for (const FolderEntry& entry : entriesOf(fs_, base))
            lines_.result(label, !entry.isLink && scan::exeAndScriptPairTest(ctx_, base + entry.name + "\\"));
    }

    void fileStep(const std::string& headingId, const std::string& path, const std::string& resultId) {
        lines_.heading(StepLines::tipo(headingId));
        lines_.result(StepLines::tipo(resultId), fileAt(fs_, path));
    }
    void fileStep(const std::string& id, const std::string& path) { fileStep(id, path, id); }

    void folderStep(const std::string& id, const std::string& path) {
        lines_.heading(StepLines::tipo(id));
        lines_.result(StepLines::tipo(id), folderAt(fs_, path));
    }

    void valueStep(const std::string& headingId, RootKey root, const std::string& value, const std::string& resultId) {
        if (!headingId.empty()) lines_.heading(StepLines::tipo(headingId));
        lines_.result(StepLines::tipo(resultId), scan::runValueExists(ctx_, root, value));
    }

    void maskStep(const std::string& id, const std::string& folder, const std::string& mask) {
        lines_.heading(StepLines::tipo(id));
        scan::checkWormMaskAndRunValue(ctx_, folder, mask);
    }

    // Whether the sub-folders of the programs the sweep knows are searched.
    enum class KnownPrograms { Searched, PassedOver };

    // The scripts one level down: every entry of `base` is tried as a folder
    // (a file simply holds nothing). Links are passed over: their content is
    // elsewhere.
    void perSubFolderStep(const std::string& id, const std::string& base, KnownPrograms known) {
        lines_.heading(StepLines::tipo(id));
        for (const FolderEntry& entry : entriesOf(fs_, base)) {
            if (entry.isLink) continue;
            if (known == KnownPrograms::PassedOver &&
                (entry.name == "AVG Secure Search" || entry.name == "Logmein"))
                continue;
            scan::checkWormMaskAndRunValue(ctx_, base + entry.name + "\\", "*.js");
        }
    }

    void runDataStep(const std::string& id, const std::string& folder) {
        lines_.heading(StepLines::tipo(id));
        scan::runDataCheck(ctx_, folder, "*.exe");
    }

    void tableSteps() {
        const std::string alt = f_.altStartup + "\\";
        const std::string commonAlt = f_.commonAltStartup + "\\";
        const std::string startup = f_.startup + "\\";
        const std::string commonStartup = f_.commonStartup + "\\";
        const std::string appData = f_.appData + "\\";
        const std::string local = f_.localAppData + "\\";
        const std::string common = f_.commonAppData + "\\";
        const std::string programs = f_.programFiles + "\\";
        const std::string winTemp = f_.windows + "\\temp\\";
        const std::string& temp = f_.temp;
        const std::string appDataRoot = driveRootOf(f_.appData + "\\");

        fileStep("3", alt + "windows explorer.lnk");
        fileStep("4", commonAlt + "windows explorer.lnk");
        fileStep("3.1", alt + "atajo.lnk");
        fileStep("4.1", commonAlt + "atajo.lnk");
        fileStep("3.1", alt + "start.lnk", "3.1.1");
        fileStep("4.1.1", commonAlt + "start.lnk");
        // The Sality folder at the root of the user's drive; without a drive
        // letter there is no root to look at.
        fileStep("5", appDataRoot.empty() ? std::string() : appDataRoot + "Win\\lsass.exe");
        fileStep("6", alt + "desktop.exe");
        valueStep("7", RootKey::LocalMachine, "System", "7");
        valueStep("8", RootKey::CurrentUser, "System", "8");
        folderStep("9", f_.commonAppData + "\\ASX");

        scan::write(ctx_, texts::check::LookingForWsf);
        scan::checkWormMaskAndRunValue(ctx_, f_.appData + "\\Microsoft Office\\", "*.WsF");
        valueStep("WsF", RootKey::LocalMachine, "Microsoft Excel", "WsF");
        valueStep("WsF", RootKey::CurrentUser, "Microsoft Excel", "WsF");

        maskStep("10", startup, "*.js");
        maskStep("11", commonStartup, "*.js");
        maskStep("12", appData, "*.js");
        maskStep("13", local, "*.js");
        maskStep("14", common, "*.js");
        maskStep("15", programs, "*.js");
        maskStep("16", temp, "*.js");
        maskStep("17", winTemp, "*.js");
        perSubFolderStep("18", appData, KnownPrograms::Searched);
        perSubFolderStep("19", programs, KnownPrograms::PassedOver);
        perSubFolderStep("20", nativeProgramFilesOf(f_.programFiles), KnownPrograms::PassedOver);
        maskStep("21", startup, "*.vbs");
        maskStep("22", commonStartup, "*.vbs");
        maskStep("23", appData, "*.vbs");
        maskStep("24", local, "*.vbs");
        maskStep("25", common, "*.vbs");
        maskStep("26", programs, "*.vbs");
        runDataStep("27", appData);
        runDataStep("28", local);
        maskStep("29", temp, "*.vbs");
        maskStep("29.1", temp, "SysinfY2X.db");
        maskStep("30", winTemp, "*.vbs");
        maskStep("31", startup, "*.vbe");
        maskStep("32", commonStartup, "*.vbe");
        maskStep("33", appData, "*.vbe");
        maskStep("34", local, "*.vbe");
        maskStep("35", common, "*.vbe");
        maskStep("36", programs, "*.vbe");
        maskStep("37", temp, "*.vbe");
        maskStep("38", winTemp, "*.vbe");
        maskStep("39", f_.systemX86 + "\\install\\", "win32.exe");
        valueStep("40", RootKey::CurrentUser, "HKCU", "40.1");
        valueStep("", RootKey::LocalMachine, "HKLM", "40.2");
        fileStep("41", alt + "pccai.lnk");
        fileStep("41", alt + "lulu.exe");
        fileStep("42", f_.windows + "\\svccscsvc.exe");
        fileStep("43", appData + "Meu_pc.zip");
        fileStep("44", appData + "breakini.exe");
        fileStep("45", appData + "yotsleks.exe");
        fileStep("46", local + "Meu_pc.zip");
        fileStep("47", local + "breakini.exe");
        fileStep("48", local + "yotsleks.exe");
        folderStep("49", local + "google_i9\\");
        folderStep("50", local + "google_pdf\\");
        lines_.heading("DriverAudio");
        lines_.result("DriverAudio", fileAt(fs_, local + "DriverAudio.exe"));
        folderStep("51", appData + "google_i9\\");
        folderStep("52", appData + "google_pdf\\");
    }

    // Start-up commands that open an image: the worm's picture shown while
    // its script runs. No heading and no line when none is found.
    void imageCommands(RootKey root, const std::string& id) {
        RunKey run(ctx_, root);
        for (const std::string& name : run.names()) {
            auto text = run.text(name);
            if (!text || !isImageCommand(*text)) continue;
            ctx_.flags.infectionFound = true;
            ctx_.write(scan::fill(texts::check::ImageCommandFound, {id}));
        }
    }

    scan::RunContext& ctx_;
    platform::FileSystem& fs_;
    StepLines lines_;
    ComputerFolders f_;
    // The start-up entries that run worm code, read before any step runs.
    std::vector<RunCommandEntry> runCommands_;
};

void showVerdict(scan::RunContext& ctx) {
    auto& dialogs = ctx.os.dialogs;
    if (!ctx.flags.infectionFound) {
        if (ctx.portuguese()) {
            dialogs.messageBox(texts::check::NoVirusBox.pt, texts::check::NoVirusCaption.pt, Icon::Information,
                               Buttons::Ok);
            ctx.write(scan::fill(texts::check::VerdictLine, {texts::check::NoVirusBox.pt}));
        } else {
            dialogs.messageBox(texts::check::NoVirusBox.en, texts::check::NoVirusCaption.en, Icon::Information,
                               Buttons::Ok);
        }
        return;
    }
    if (!ctx.portuguese()) {
        dialogs.messageBox(texts::check::VirusesFoundBox.en, texts::check::VirusesFoundCaption.en, Icon::Warning,
                           Buttons::Ok);
        return;
    }
    // The worm scripts run under the script host: stop them before the user
    // reads the verdict.
    scan::killProcessByName(ctx.os.processes, "wscript.exe");
    const std::string found = texts::check::VirusesFoundBox.pt;
    const std::string advice = texts::check::RemovalAdvice;
    dialogs.messageBox(scan::fill(texts::check::InfectedBoxText, {found, advice}), texts::check::VirusesFoundCaption.pt,
                       Icon::Warning, Buttons::Ok);
    ctx.write(scan::fill(texts::check::InfectedLine, {found, advice}));
}

}  // namespace

void runComputerCheck(scan::RunContext& ctx, scan::SaveOffer saveOffer,
                      scan::SaveDialogMemory& saveDialog) {
    ctx.flags.infectionFound = false;
    ctx.flags.restartNeeded = false;
    ctx.flags.driverAudio = false;
    scan::writeLogHeader(ctx, scan::RunKind::ComputerCheck, "");
    ComputerCheck(ctx).run();
    showVerdict(ctx);
    scan::makeSaveOffer(ctx, scan::RunKind::ComputerCheck, saveOffer, saveDialog);
}

}  // namespace vx::computer
