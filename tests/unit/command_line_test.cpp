// Varrex.exe started with switches: the arguments, the runs without a window
// and their exit codes.
#include "app/command_line.h"

#include "app/form1.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using app::CommandAction;
using app::CommandLine;
using ::testing::HasSubstr;
namespace exitcode = app::exitcode;

const std::string kRoaming = "C:\\Users\\Usuario\\AppData\\Roaming\\varrex\\";
const std::string kLocal = "C:\\Users\\Usuario\\AppData\\Local\\varrex\\";
const std::string kLogFile = "C:\\Logs\\varrex.txt";

TEST(CommandLineArguments, EverySwitchUnknownOnesAndMissingDrives) {
    constexpr scan::Language kPt = scan::Language::Portuguese, kEn = scan::Language::English;
    struct Case {
        std::vector<std::string> args;
        CommandAction action;
        char drive;
        scan::Language language;
        std::string error;  // a part of the error; empty when the arguments are fine
    } cases[] = {
        {{"/check-device", "E:"}, CommandAction::CheckDevice, 'E', kPt, ""},
        {{"/DISINFECT-DEVICE", "f:\\"}, CommandAction::DisinfectDevice, 'F', kPt, ""},
        {{"-check-computer", "/lang:en"}, CommandAction::CheckComputer, 0, kEn, ""},
        {{"/lang:EN", "/disinfect-computer", "/restart"}, CommandAction::DisinfectComputer, 0, kEn, ""},
        {{"/check-device"}, CommandAction::CheckDevice, 0, kPt, "Falta a unidade depois de /check-device"},
        {{"/check-device", "/lang:en"}, CommandAction::CheckDevice, 0, kEn, "A drive must follow /check-device"},
        {{"/check-device", "E"}, CommandAction::CheckDevice, 0, kPt, "Unidade inválida: E"},
        {{"/check-device", "E:\\Fotos"}, CommandAction::CheckDevice, 0, kPt, "Unidade inválida"},
        {{"/scan"}, CommandAction::None, 0, kPt, "Opção desconhecida: /scan"},
        {{"/scan", "/lang:en"}, CommandAction::None, 0, kEn, "Unknown switch: /scan"},
        {{"E:"}, CommandAction::None, 0, kPt, "Argumento desconhecido: E:"},
        {{""}, CommandAction::None, 0, kPt, "Argumento desconhecido"},
        {{"/lang:en"}, CommandAction::None, 0, kEn, "No check or disinfection was asked for."},
        {{"/lang:es", "/check-computer"}, CommandAction::None, 0, kPt, "Idioma desconhecido: /lang:es"},
        {{"/check-computer", "/lang:pt", "/lang:en"}, CommandAction::CheckComputer, 0, kEn, "Switch given twice"},
        {{"/check-computer", "/disinfect-computer"}, CommandAction::CheckComputer, 0, kPt, "Só uma verificação"},
        {{"/check-computer", "/log:"}, CommandAction::CheckComputer, 0, kPt, "Falta o nome do arquivo"},
        {{"/check-device", "E:", "/restart"}, CommandAction::CheckDevice, 'E', kPt, "/restart vale só com"},
        {{"/?", "/scan"}, CommandAction::Help, 0, kPt, ""},
        {{"/lang:en", "/HELP"}, CommandAction::Help, 0, kEn, ""},
    };
    for (const Case& c : cases) {
        const CommandLine got = app::parseCommandLine(c.args);
        const std::string what = testing::PrintToString(c.args);
        EXPECT_EQ(got.action, c.action) << what;
        EXPECT_EQ(got.language, c.language) << what;
        if (c.error.empty()) {
            EXPECT_EQ(got.error, "") << what;
            EXPECT_EQ(got.drive, c.drive) << what;
        } else {
            EXPECT_THAT(got.error, HasSubstr(c.error)) << what;
        }
    }
    const CommandLine logged = app::parseCommandLine({"/log:D:\\Relatórios\\Pen Drive.txt", "/check-computer"});
    EXPECT_EQ(logged.logFile, "D:\\Relatórios\\Pen Drive.txt") << "the name keeps its case and blanks";
    EXPECT_TRUE(app::parseCommandLine({"/disinfect-computer", "/restart"}).restart);
    EXPECT_FALSE(app::parseCommandLine({"/disinfect-computer"}).restart);
}

struct CommandLineRun : ScanFixture {
    CommandLineRun() {
        machine.addDrive('D', DriveType::CdRom, "DVD");
        machine.addFolder("C:\\Logs");
        machine.setParentConsole(true);
    }
    int run(std::vector<std::string> args) { return app::runCommandLine(machine.platform(), args); }
    const std::vector<std::string>& console() { return machine.consoleLines(); }
    // The lines of the log file as the program wrote them (ANSI, CR LF).
    std::string logFile() { return machine.content(kLogFile).value_or("<no log file>"); }

    // The infected pen drive: a hidden folder and the worm's shortcut to it.
    void infect(memory::Machine& m) {
        m.addFolder("E:\\Fotos", attr::Directory | attr::Hidden | attr::System);
        m.addFile("E:\\Fotos\\praia.jpg", "JPEG");
        m.addFile("E:\\Fotos.lnk", "L", attr::Hidden);
    }
    // The same run pressed in the window of a copy of this machine: its log.
    std::vector<std::string> windowLog(memory::Machine copy, void (app::TForm1::*click)(), bool english = false) {
        app::TForm1 form(copy.platform());
        form.FormCreate();
        if (english) form.BitBtn14Click();
        (form.*click)();
        return form.Memo1.lines();
    }
};

TEST_F(CommandLineRun, DeviceRunsAreTheWindowsRunsLineForLine) {
    infect(machine);
    const memory::Machine before = machine;

    EXPECT_EQ(run({"/check-device", "E:", "/log:" + kLogFile}), exitcode::Found);
    const std::vector<std::string> checked = windowLog(before, &app::TForm1::BitBtn9Click);
    EXPECT_EQ(logFile(), ansiFile(checked));
    EXPECT_TRUE(machine.transcript().empty()) << "no box is shown";
    EXPECT_FALSE(machine.exists(kRoaming + "vx-pen-07-12-2026-09-15-42.txt")) << "a check writes no copy";

    const memory::Machine checkedMachine = machine;
    EXPECT_EQ(run({"/disinfect-device", "e:", "/lang:en", "/log:" + kLogFile}), exitcode::Found);
    const std::vector<std::string> disinfected = windowLog(checkedMachine, &app::TForm1::BitBtn1Click, true);
    EXPECT_EQ(logFile(), ansiFile(disinfected));
    EXPECT_EQ(disinfected.front(), "[VX] - Varrex - Version: 2.7.5 - ");
    EXPECT_TRUE(machine.exists(kRoaming + "vx-pen-07-12-2026-09-15-42.txt"));
    EXPECT_TRUE(machine.exists(kLocal + "vx-pen-07-12-2026-09-15-42.txt"));
    EXPECT_FALSE(machine.exists("E:\\Fotos.lnk"));
    EXPECT_EQ(machine.content("E:\\Fotos\\praia.jpg"), "JPEG");
    EXPECT_FALSE(machine.listTree(kLocal + "quarantine").empty()) << "the shortcut was kept before it went";
    EXPECT_TRUE(machine.transcript().empty());
    EXPECT_TRUE(machine.fileSystem().fileExists(kRoaming + "parametros.ini"));

    // The log reaches the console as it is written; the boxes follow there too.
    std::vector<std::string> logLines;
    for (const std::string& line : console())
        if (line.rfind("[VX]", 0) == 0) logLines.push_back(line);
    std::vector<std::string> expected = checked;
    expected.insert(expected.end(), disinfected.begin(), disinfected.end());
    EXPECT_EQ(logLines, expected);
    EXPECT_THAT(console(), testing::Contains("[Heads up] Virus Found and Deleted Drive E:\\!"));

    EXPECT_EQ(run({"/check-device", "E:"}), exitcode::NothingFound) << "clean after the disinfection";
}

TEST_F(CommandLineRun, ExitCodesOfTheOutcomes) {
    // An autorun.inf alone: the check warns, the disinfection deletes it and
    // finds no virus.
    machine.addFile("E:\\autorun.inf", "[AutoRun]");
    EXPECT_EQ(run({"/check-device", "E:"}), exitcode::Found);
    EXPECT_EQ(run({"/disinfect-device", "E:"}), exitcode::NothingFound);

    // A worm file that cannot be deleted.
    machine.addFile("E:\\x.vbs", "worm");
    machine.lockFile("E:\\x.vbs");
    EXPECT_EQ(run({"/disinfect-device", "E:"}), exitcode::NotAllRemoved);
    machine.lockFile("E:\\x.vbs", false);

    // What the quarantine cannot keep is not deleted, and that is told too.
    machine.setFreeBytes('C', 0);
    EXPECT_EQ(run({"/disinfect-device", "E:"}), exitcode::NotAllRemoved);
    EXPECT_TRUE(machine.exists("E:\\x.vbs"));
    machine.setFreeBytes('C', 500ull << 30);

    EXPECT_EQ(run({"/check-computer"}), exitcode::NothingFound);
    EXPECT_EQ(run({"/disinfect-computer"}), exitcode::NothingFound);
    machine.setText(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Microsoft Excel",
                    "C:\\a.WsF");
    EXPECT_EQ(run({"/check-computer"}), exitcode::Found);
    EXPECT_EQ(run({"/disinfect-computer"}), exitcode::Found);
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(CommandLineRun, WindowsRestartsOnlyWithTheRestartSwitch) {
    const std::string worm = "C:\\Windows\\SysWOW64\\install\\win32.exe";
    machine.addFile(worm, "MZ");
    EXPECT_EQ(run({"/disinfect-computer", "/log:" + kLogFile}), exitcode::Found);
    EXPECT_TRUE(machine.restarts().empty());
    EXPECT_THAT(console(), testing::Contains("[Opções] É necessário reiniciar o Computador! Reiniciar agora?"));
    EXPECT_THAT(logFile(), HasSubstr("Processo Conclu\xED"
                                     "do com Sucesso!\r\n"))
        << "the closing line is saved too";

    machine.addFile(worm, "MZ");
    EXPECT_EQ(run({"/disinfect-computer", "/restart", "/lang:en"}), exitcode::Found);
    EXPECT_EQ(machine.restarts().size(), 1u);
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(CommandLineRun, UsageErrorsAndRefusedDrivesRunNothing) {
    machine.addProcess("wscript.exe");
    struct Case {
        std::vector<std::string> args;
        std::string why;
    } cases[] = {
        {{"/scan", "/log:" + kLogFile}, "Opção desconhecida: /scan"},
        {{"/check-device", "C:", "/log:" + kLogFile}, "A unidade C: é a unidade do Windows!"},
        {{"/disinfect-device", "D:", "/log:" + kLogFile}, "A unidade D: é de CD/DVD!"},
        {{"/lang:en", "/check-device", "Z:", "/log:" + kLogFile}, "Drive Z: is not there!"},
    };
    for (const Case& c : cases) {
        machine.fileSystem().deleteFile(kLogFile).ignore();
        const size_t shown = console().size();
        EXPECT_EQ(run(c.args), exitcode::Usage) << c.why;
        ASSERT_GT(console().size(), shown + 1);
        EXPECT_EQ(console()[shown], c.why);
        EXPECT_THAT(console()[shown + 1], HasSubstr("Varrex 2.7.5 - ")) << "the usage text follows";
        const std::string why = platform::utf8ToCp1252(c.why);
        EXPECT_EQ(logFile().substr(0, why.size() + 2), why + "\r\n") << "the log file tells it first";
        EXPECT_THAT(logFile(), HasSubstr("/check-device E:"));
    }
    EXPECT_TRUE(machine.isRunning("wscript.exe")) << "start-up never ran";
    EXPECT_FALSE(machine.exists(kRoaming + "parametros.ini"));

    // A log file that cannot be made is known before anything runs.
    EXPECT_EQ(run({"/check-computer", "/log:C:\\Missing\\log.txt"}), exitcode::Usage);
    EXPECT_THAT(console()[console().size() - 17], HasSubstr("Cannot create file \"C:\\Missing\\log.txt\""));
    EXPECT_TRUE(machine.isRunning("wscript.exe"));

    // Help in the chosen language: exit 0, nothing runs.
    EXPECT_EQ(run({"/?", "/lang:en"}), exitcode::NothingFound);
    EXPECT_EQ(console()[console().size() - 16], "Varrex 2.7.5 - command line use:");
    EXPECT_TRUE(machine.isRunning("wscript.exe"));
}

TEST_F(CommandLineRun, AnotherRunInProgressIsExitFourAndRunsNothing) {
    infect(machine);
    machine.holdRunLockElsewhere(true);
    EXPECT_EQ(run({"/disinfect-device", "E:", "/log:" + kLogFile}), exitcode::AnotherRun);
    EXPECT_TRUE(machine.exists("E:\\Fotos.lnk"));
    EXPECT_EQ(logFile(), ansiFile({"Outra execução do Varrex está em andamento! "
                                   "Tente novamente quando ela terminar."}));

    machine.holdRunLockElsewhere(false);
    EXPECT_EQ(run({"/disinfect-device", "E:"}), exitcode::Found);
    EXPECT_FALSE(machine.runLockHeld()) << "let go at the end of the run";

    // Without a console to write to, the run is the same.
    memory::Machine quiet;
    quiet.addDrive('E', DriveType::Removable);
    infect(quiet);
    EXPECT_EQ(app::runCommandLine(quiet.platform(), {"/disinfect-device", "E:"}), exitcode::Found);
    EXPECT_FALSE(quiet.exists("E:\\Fotos.lnk"));
}

}  // namespace
}  // namespace vx::test
