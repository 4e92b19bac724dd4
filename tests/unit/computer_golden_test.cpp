// Whole computer-check and computer-disinfection runs on a few representative
// computers, compared with the expected logs in tests/golden/computer_check/
// and tests/golden/computer_disinfection/: the log lines, then the boxes the
// run showed, the commands it started and the restarts it asked for.
#include <functional>

#include "computer/computer_check.h"
#include "computer/computer_disinfection.h"
#include "golden.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kProfile = "C:\\Users\\Usuario";
const std::string kRoaming = kProfile + "\\AppData\\Roaming";
const std::string kLocal = kProfile + "\\AppData\\Local";
const std::string kStartup = kRoaming + "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
const std::string kCommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
const std::string kTemp = kLocal + "\\Temp";
constexpr uint32_t kHidden = attr::Hidden | attr::System;

struct ComputerCase {
    std::string name;  // file name without ".txt"
    scan::Language language;
    std::function<void(memory::Machine&)> build;
};

void PrintTo(const ComputerCase& c, std::ostream* os) { *os << c.name; }

// A computer without worms, with what every Windows runs and keeps.
void cleanComputer(memory::Machine& m) {
    m.addProcess("rundll32.exe", "C:\\Windows\\System32\\rundll32.exe");
    m.addFile(kProfile + "\\Documents\\carta.doc", "doc");
    m.addFile(kRoaming + "\\Mozilla\\Firefox\\profiles.ini", "[General]");
    m.addFile("C:\\Program Files\\Internet Explorer\\iexplore.exe", "MZ");
    m.setText(RootKey::LocalMachine, kRun, "VMware User Process", "\"C:\\Program Files\\VMware\\vmtoolsd.exe\" -n");
    m.setValue(RootKey::CurrentUser, kRun, "Numero", platform::RegValue::dword(7));
    m.setValue(RootKey::CurrentUser, kRun, "Binario", platform::RegValue::binary({0x6e, 0x65, 0x66, 0x63, 0x62}));
}

// Every family the two runs know, at once.
void everyFamily(memory::Machine& m) {
    cleanComputer(m);
    for (const char* p : {"wscript.exe", "xcv.exe", "lulu.exe", "svccscsvc.exe", "yotsleks.exe", "breakini.exe",
                          "notepad.exe", "calc.exe", "DriverAudio.exe", "msiexec.exe"})
        m.addProcess(p);
    // Executable at the root of the program data, with its start-up value.
    m.addFile("C:\\ProgramData\\svchosts.exe", "MZ", kHidden);
    m.setText(RootKey::CurrentUser, kRun, "svchosts", "C:\\ProgramData\\svchosts.exe");
    // nefcb and Live.exe.
    m.addFile(kLocal + "\\nefcb\\nefcb.exe", "MZ");
    m.setText(RootKey::CurrentUser, kRun, "Atualizador", kLocal + "\\nefcb\\nefcb.exe");
    m.addFile(kRoaming + "\\WindowsUpdate\\Live.exe", "MZ");
    m.setText(RootKey::CurrentUser, kRun, "Windows Live", kRoaming + "\\WindowsUpdate\\Live.exe");
    m.setText(RootKey::CurrentUser, kRun, "Live", "Live.exe /s");
    // Folders holding a small executable beside a small script.
    m.addFile(kProfile + "\\Jogos\\setup.exe", "MZ");
    m.addFile(kProfile + "\\Jogos\\run.js", "x");
    m.addFile(kProfile + "\\Jogos\\save.dat", "d");
    m.addFile(kRoaming + "\\Updater\\u.exe", "MZ");
    m.addFile(kRoaming + "\\Updater\\u.js", "x");
    // Start-up shortcuts and programs.
    for (const std::string& folder : {kStartup, kCommonStartup})
        for (const char* name : {"windows explorer.lnk", "atajo.lnk", "start.lnk"}) m.addFile(folder + "\\" + name, "L");
    m.addFile(kCommonStartup + "\\empezar.lnk", "L");
    m.addFile(kStartup + "\\Image.lnk", "L");
    m.addFile(kStartup + "\\pccai.lnk", "L");
    m.addFile(kStartup + "\\lulu.exe", "MZ");
    m.addFile(kStartup + "\\desktop.exe", "MZ");
    m.addFile("C:\\Win\\lsass.exe", "MZ", kHidden);
    m.addFile("C:\\Windows\\svccscsvc.exe", "MZ");
    // Values named after worms.
    m.setText(RootKey::LocalMachine, kRun, "System", "C:\\Windows\\system.exe");
    m.setText(RootKey::CurrentUser, kRun, "System", "C:\\Windows\\system.exe");
    m.addFile("C:\\ProgramData\\ASX\\xcv.cpl", "MZ");
    m.setText(RootKey::LocalMachine, kRun, "xcv.exe", "C:\\ProgramData\\ASX\\xcv.exe");
    m.addFile(kRoaming + "\\Microsoft Office\\Microsoft Excel.WsF", "<job>");
    m.setText(RootKey::LocalMachine, kRun, "Microsoft Excel", "wscript.exe Microsoft Excel.WsF");
    m.setText(RootKey::CurrentUser, kRun, "Microsoft Excel", "wscript.exe Microsoft Excel.WsF");
    // Scripts in the folders the sweeps visit.
    m.addFile(kStartup + "\\boot.js", "x");
    m.addFile(kRoaming + "\\roam.js", "x");
    m.addFile(kLocal + "\\loc.vbe", "x");
    m.addFile("C:\\ProgramData\\dados.js", "x");
    m.addFile("C:\\Program Files\\prog.js", "x");
    m.addFile("C:\\Program Files\\Jogo\\jogo.js", "x");
    m.addFile("C:\\Program Files\\Logmein\\lm.js", "x");
    m.addFile(kRoaming + "\\Sub\\sub.js", "x");
    m.addFile(kTemp + "\\tmp.js", "x");
    m.addFile(kTemp + "\\tmp.vbs", "x");
    m.addFile(kTemp + "\\SysinfY2X.db", "x");
    m.setText(RootKey::CurrentUser, kRun, "SysinfY2X", "wscript.exe SysinfY2X.db");
    m.addFile(kTemp + "\\dw.dll", "MZ");
    m.addFile("C:\\Windows\\Temp\\win.vbs", "x");
    m.addFile("C:\\Windows\\Temp\\dw.dll", "MZ");
    // Start-up values that name executables of the application data.
    m.addFile(kRoaming + "\\runme.exe", "MZ");
    m.setText(RootKey::CurrentUser, kRun, "runme", kRoaming + "\\runme.exe");
    m.addFile(kLocal + "\\svc.exe", "MZ");
    m.setText(RootKey::LocalMachine, kRun, "Servico", "\"" + kLocal + "\\svc.exe\"");
    // win32.exe.
    m.addFile("C:\\Windows\\SysWOW64\\install\\win32.exe", "MZ");
    m.setText(RootKey::CurrentUser, kRun, "HKCU", "C:\\Windows\\SysWOW64\\install\\win32.exe");
    m.setText(RootKey::LocalMachine, kRun, "HKLM", "C:\\Windows\\SysWOW64\\install\\win32.exe");
    // Single files and companion folders.
    for (const std::string& folder : {kRoaming, kLocal})
        for (const char* name : {"Meu_pc.zip", "breakini.exe", "yotsleks.exe"}) m.addFile(folder + "\\" + name, "PK");
    for (const std::string& folder : {kRoaming, kLocal})
        for (const char* name : {"google_i9", "google_pdf"}) m.addFile(folder + "\\" + name + "\\g.exe", "MZ");
    m.addFile(kLocal + "\\DriverAudio.exe", "MZ");
    // Image commands and Lnzyzj.
    m.setText(RootKey::LocalMachine, kRun, "Foto", "C:\\Users\\Public\\foto.jpg");
    m.setText(RootKey::CurrentUser, kRun, "Imagem", "\"C:\\Users\\Public\\imagem.jpg\"");
    m.setText(RootKey::CurrentUser, kRun, "Lnzyzj", kRoaming + "\\Lnzyzj.exe");
    m.addFile(kRoaming + "\\Lnzyzj.exe", "MZ", kHidden);
    // Policy values.
    m.setValue(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
               "NofolderOptions", platform::RegValue::dword(1));
    m.setValue(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
               "NoControlPanel", platform::RegValue::dword(1));
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine})
        m.setValue(root, "Software\\Policies\\Microsoft\\Internet Explorer\\control panel", "HomePage",
                   platform::RegValue::dword(1));
    m.setValue(RootKey::LocalMachine, "Software\\Policies\\Microsoft\\Windows NT\\SystemRestore", "DisableConfig",
               platform::RegValue::dword(1));
}

// Worm values under both keys, run by a user without administrator rights:
// the machine's key refuses full access and keeps its values.
void userWithoutAdministratorRights(memory::Machine& m) {
    cleanComputer(m);
    m.setText(RootKey::LocalMachine, kRun, "System", "C:\\Windows\\system.exe");
    m.setText(RootKey::LocalMachine, kRun, "HKLM", "C:\\Windows\\SysWOW64\\install\\win32.exe");
    m.setText(RootKey::LocalMachine, kRun, "Foto", "C:\\Users\\Public\\foto.jpg");
    m.setText(RootKey::CurrentUser, kRun, "Microsoft Excel", "wscript.exe Microsoft Excel.WsF");
    m.addFile(kRoaming + "\\roam.js", "x");
    m.denyLocalMachineFullAccess(true);
}

// DriverAudio.exe in use by a process that cannot be ended.
void driverAudioSurvives(memory::Machine& m) {
    cleanComputer(m);
    m.addFile(kLocal + "\\DriverAudio.exe", "MZ");
    m.lockFile(kLocal + "\\DriverAudio.exe");
    m.addProcess("DriverAudio.exe", "", false);
}

// Windows XP with the nefcb and Live.exe entries: the Safe Mode message and
// the shell ended once per matching value.
void windowsXp(memory::Machine& m) {
    cleanComputer(m);
    m.setText(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName",
              "Microsoft Windows XP");
    m.addProcess("explorer.exe", "C:\\Windows\\explorer.exe");
    m.addFile(kLocal + "\\nefcb\\nefcb.exe", "MZ");
    m.setText(RootKey::CurrentUser, kRun, "nefcb1", kLocal + "\\nefcb\\nefcb.exe");
    m.setText(RootKey::CurrentUser, kRun, "nefcb2", kLocal + "\\nefcb\\nefcb.exe /r");
    m.setText(RootKey::CurrentUser, kRun, "Updater", kRoaming + "\\WindowsUpdate\\Live.exe");
    m.addFile(kRoaming + "\\WindowsUpdate\\Live.exe", "MZ");
}

void windows7(memory::Machine& m) {
    windowsXp(m);
    m.setText(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName",
              "Windows 7 Professional");
}

const std::vector<ComputerCase>& computerCases() {
    static const std::vector<ComputerCase> cases = {
        {"clean_computer", scan::kPortuguese, cleanComputer},
        {"clean_computer_english", scan::kEnglish, cleanComputer},
        {"every_family", scan::kPortuguese, everyFamily},
        {"every_family_english", scan::kEnglish, everyFamily},
        {"without_administrator_rights", scan::kPortuguese, userWithoutAdministratorRights},
        {"driveraudio_survives", scan::kPortuguese, driverAudioSurvives},
        {"windows_xp", scan::kPortuguese, windowsXp},
        {"windows_7", scan::kPortuguese, windows7},
    };
    return cases;
}

std::string shown(std::string text) {
    std::string out;
    for (char c : text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

const char* iconName(platform::Icon icon) {
    switch (icon) {
        case platform::Icon::Information:
            return "information";
        case platform::Icon::Warning:
            return "warning";
        case platform::Icon::Question:
            return "question";
        case platform::Icon::Error:
            return "error";
        case platform::Icon::None:
            break;
    }
    return "no icon";
}

struct ComputerGolden : ScanFixture, ::testing::WithParamInterface<ComputerCase> {
    scan::SaveDialogMemory saveDialog;

    ComputerGolden() {
        language = GetParam().language;
        GetParam().build(machine);
    }

    // The log, then what the run showed and asked of Windows.
    std::vector<std::string> record() const {
        std::vector<std::string> out = log.lines();
        out.push_back("=== boxes ===");
        for (const memory::DialogRecord& d : machine.transcript()) {
            if (d.kind == memory::DialogRecord::Kind::Save)
                out.push_back("save dialog \"" + d.save.title + "\" -> cancelled");
            else
                out.push_back(d.caption + " | " + iconName(d.icon) + " | " + shown(d.text) + " -> " +
                              (d.answer == Answer::Yes ? "Yes" : d.answer == Answer::No ? "No" : "Ok"));
        }
        for (const std::string& command : machine.startedCommands()) out.push_back("started: " + command);
        for (unsigned flags : machine.restarts()) out.push_back("restart asked, flags " + std::to_string(flags));
        return out;
    }
};

TEST_P(ComputerGolden, CheckMatchesTheExpectedLog) {
    // Yes to the save question, then the dialog is cancelled.
    machine.answerNext(Answer::Yes);
    computer::runComputerCheck(ctx, scan::SaveOffer::Make, saveDialog);
    expectGolden(goldenFolder("computer_check") / (GetParam().name + ".txt"), record());
}

// Every question is answered No: no restart, no save.
TEST_P(ComputerGolden, DisinfectionMatchesTheExpectedLog) {
    computer::runComputerDisinfection(ctx, scan::SaveOffer::Make, saveDialog);
    expectGolden(goldenFolder("computer_disinfection") / (GetParam().name + ".txt"), record());
}

INSTANTIATE_TEST_SUITE_P(Computer, ComputerGolden, ::testing::ValuesIn(computerCases()),
                         [](const ::testing::TestParamInfo<ComputerCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vx::test
