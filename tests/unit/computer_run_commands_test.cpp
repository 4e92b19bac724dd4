// Start-up shortcuts and Run / RunOnce values that hand an interpreter a
// worm's script or DLL: what the computer check reports and what the
// computer disinfection removes, keeps and leaves alone.
#include "computer/computer_run_commands.h"

#include <algorithm>

#include "computer/computer_check.h"
#include "computer/computer_disinfection.h"
#include "computer/computer_texts.h"
#include "scan_fixture.h"
#include "shortcut_builder.h"
#include "tools/quarantine_tool.h"

namespace vx::test {
namespace {

using scan::fill;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
namespace texts = computer::texts::run_commands;

const std::string kProfile = "C:\\Users\\Usuario";
const std::string kRoaming = kProfile + "\\AppData\\Roaming";
const std::string kLocal = kProfile + "\\AppData\\Local";
const std::string kTemp = kLocal + "\\Temp";
const std::string kStartup = kRoaming + "\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
const std::string kCommonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::string kHkcuRunOnce = "HKCU\\" + kRunOnceKey + "\\";

const char* const kCheckHeading = texts::Checking.pt;
const char* const kCheckNone = texts::NothingRun.pt;
const char* const kRemoveHeading = texts::Removing.pt;

struct RunCommands : ScanFixture {
    scan::SaveDialogMemory saveDialog;

    // A Startup shortcut whose target is given through the environment
    // block, as the shell writes one for "%windir%\system32\wscript.exe".
    void startupShortcut(const std::string& path, const std::string& target, const std::string& arguments,
                         const std::string& workingFolder = "") {
        ShortcutRecipe recipe;
        recipe.envTarget = target;
        recipe.arguments = arguments;
        recipe.workingFolder = workingFolder;
        machine.addFile(path, shortcutBytes(recipe));
    }
    void check() { computer::runComputerCheck(ctx, scan::SaveOffer::Skip, saveDialog); }
    void disinfect() { computer::runComputerDisinfection(ctx, scan::SaveOffer::Skip, saveDialog); }
    // The lines of the new block: from its heading to the next heading or
    // verdict line.
    std::vector<std::string> block(const std::string& heading) const {
        auto it = std::find(lines().begin(), lines().end(), heading);
        std::vector<std::string> out;
        if (it == lines().end()) return out;
        for (++it; it != lines().end() && it->rfind("[VX] - >>> ", 0) != 0 && it->rfind("[VX] *** ", 0) != 0 &&
                   it->find("Vírus DriverAudio") == std::string::npos;
             ++it)
            out.push_back(*it);
        return out;
    }
    bool logHas(const std::string& line) const {
        return std::find(lines().begin(), lines().end(), line) != lines().end();
    }
    std::vector<std::string> keptPlaces() {
        std::vector<std::string> out;
        for (const scan::KeptRun& run : tools::listKeptRuns(ctx))
            for (const scan::KeptItem& item : run.items)
                out.push_back(item.kind == scan::KeptKind::Value ? item.keyPath + "\\" + item.value.name : item.path);
        return out;
    }
};

std::string found(const std::string& file, const std::string& by) {
    return fill(texts::WormCodeFound.pt, {file, by});
}

TEST_F(RunCommands, ScriptAndDllOfTheStartupAreFoundRemovedAndKept) {
    const std::string lnk = kStartup + "\\Atualizar.lnk";
    startupShortcut(lnk, "%windir%\\system32\\wscript.exe", "//B \"%APPDATA%\\x.vbs\"");
    machine.addFile(kRoaming + "\\x.vbs", "WScript.Echo 1");
    machine.setText(RootKey::CurrentUser, kRunOnceKey, "Atualiza", "rundll32 %TEMP%\\a.dat,Start");
    machine.addFile(kTemp + "\\a.dat", "MZ dll");

    check();
    EXPECT_THAT(block(kCheckHeading),
                ElementsAre(found(kRoaming + "\\x.vbs", lnk), found(kTemp + "\\a.dat", kHkcuRunOnce + "Atualiza")));
    EXPECT_TRUE(flags.infectionFound);
    language = scan::kEnglish;
    check();
    EXPECT_THAT(block(texts::Checking.en),
                ElementsAre(fill(texts::WormCodeFound.en, {kRoaming + "\\x.vbs", lnk}),
                            fill(texts::WormCodeFound.en, {kTemp + "\\a.dat", kHkcuRunOnce + "Atualiza"})));

    language = scan::kPortuguese;
    disinfect();
    // x.vbs went with the *.vbs sweep of the roaming folder before the block:
    // it gets no second line, but its shortcut still goes.
    EXPECT_THAT(block(kRemoveHeading), ElementsAre(fill(texts::FileDeleted.pt, {lnk}),
                                                   fill(texts::ValueDeleted.pt, {kHkcuRunOnce + "Atualiza"}),
                                                   fill(texts::FileDeleted.pt, {kTemp + "\\a.dat"})));
    EXPECT_FALSE(machine.exists(lnk));
    EXPECT_FALSE(machine.exists(kRoaming + "\\x.vbs"));
    EXPECT_FALSE(machine.exists(kTemp + "\\a.dat"));
    EXPECT_FALSE(machine.text(RootKey::CurrentUser, kRunOnceKey, "Atualiza").has_value());
    EXPECT_FALSE(flags.removalFailed);
    EXPECT_THAT(keptPlaces(),
                UnorderedElementsAre(lnk, kRoaming + "\\x.vbs", kTemp + "\\a.dat", kRunOnceKey + "\\Atualiza"));
}

TEST_F(RunCommands, OnlyInterpretersRunningFilesOfTheWormPlacesAreSigns) {
    machine.addDrive('F', platform::DriveType::Fixed, "DADOS");
    for (const std::string& file : std::vector<std::string>{
             kLocal + "\\w\\run.vbs", "E:\\_\\u.js", "F:\\u.js", "C:\\Windows\\sys.vbs",
             kProfile + "\\AppData\\Roaming2\\y.vbs", "C:\\Program Files\\App\\app.exe", kTemp + "\\t.ps1"})
        machine.addFile(file, "x");
    const std::string relative = kStartup + "\\relativo.lnk";
    startupShortcut(relative, "C:\\Windows\\System32\\wscript.exe", "run.vbs", "%LOCALAPPDATA%\\w");
    startupShortcut(kCommonStartup + "\\pen.lnk", "%ComSpec%", "/c start E:\\_\\u.js");
    // A program that is no interpreter, whatever its argument names.
    startupShortcut(kStartup + "\\app.lnk", "C:\\Program Files\\App\\app.exe", "%TEMP%\\t.ps1");
    auto value = [&](RootKey root, const std::string& key, const std::string& name, const std::string& text) {
        machine.setText(root, key, name, text);
    };
    value(RootKey::CurrentUser, kRunKey, "fixo", "wscript F:\\u.js");
    value(RootKey::CurrentUser, kRunKey, "windows", "wscript \"C:\\Windows\\sys.vbs\"");
    value(RootKey::CurrentUser, kRunKey, "vizinho", "wscript " + kProfile + "\\AppData\\Roaming2\\y.vbs");
    value(RootKey::CurrentUser, kRunKey, "ausente", "cmd /c %APPDATA%\\gone.bat");
    value(RootKey::CurrentUser, kRunKey, "relativo", "wscript run.vbs");
    value(RootKey::LocalMachine, kRunKey, "App", "\"C:\\Program Files\\App\\app.exe\" -q");
    value(RootKey::LocalMachine, kRunOnceKey, "ps", "powershell -File \"%tmp%\\..\\Temp\\t.ps1\"");
    machine.setValue(RootKey::CurrentUser, kRunOnceKey, "numero", platform::RegValue::dword(1));

    check();
    EXPECT_THAT(block(kCheckHeading), ElementsAre(found(kLocal + "\\w\\run.vbs", relative),
                                                  found("E:\\_\\u.js", kCommonStartup + "\\pen.lnk"),
                                                  found(kTemp + "\\t.ps1", "HKLM\\" + kRunOnceKey + "\\ps")));

    // Nothing of the kind: the nothing-found line, and a clean verdict.
    machine.deleteKey(RootKey::LocalMachine, kRunOnceKey);
    for (const char* name : {"relativo.lnk", "app.lnk"}) machine.fileSystem().deleteFile(kStartup + "\\" + name).ignore();
    machine.fileSystem().deleteFile(kCommonStartup + "\\pen.lnk").ignore();
    check();
    EXPECT_THAT(block(kCheckHeading), ElementsAre(kCheckNone));
    EXPECT_FALSE(flags.infectionFound);
}

TEST_F(RunCommands, FilesInWindowsOrTheProgramsDataFoldersStayWhenTheirEntryGoes) {
    // TEMP pointed at the Windows folder's own, as some set-ups do.
    machine.setTemporaryPath("C:\\Windows\\Temp\\");
    machine.addFile("C:\\Windows\\Temp\\p.hta", "<hta>");
    machine.addFile(kRoaming + "\\varrex\\s.vbs", "x");
    machine.setText(RootKey::CurrentUser, kRunKey, "hta", "mshta %TEMP%\\p.hta");
    machine.setText(RootKey::CurrentUser, kRunOnceKey, "dados", "wscript %APPDATA%\\varrex\\s.vbs");
    language = scan::kEnglish;
    disinfect();
    EXPECT_THAT(block(texts::Removing.en), ElementsAre(fill(texts::ValueDeleted.en, {"HKCU\\" + kRunKey + "\\hta"}),
                                                       fill(texts::ValueDeleted.en, {kHkcuRunOnce + "dados"})));
    EXPECT_TRUE(machine.exists("C:\\Windows\\Temp\\p.hta"));
    EXPECT_TRUE(machine.exists(kRoaming + "\\varrex\\s.vbs"));
    EXPECT_TRUE(logHas(fill(computer::texts::disinfection::VirusesRemovedLine,
                            {computer::texts::disinfection::VirusesRemovedBox.en})));
}

TEST_F(RunCommands, AFileThatCannotBeKeptIsNotDeletedAndTheRunSaysSo) {
    machine.setText(RootKey::CurrentUser, kRunKey, "js", "rundll32.exe \"%LOCALAPPDATA%\\k.dll\",Run");
    machine.addFile(kLocal + "\\k.dll", "MZ");
    machine.lockFile(kLocal + "\\k.dll");
    disinfect();
    EXPECT_THAT(block(kRemoveHeading), ElementsAre(fill(texts::ValueDeleted.pt, {"HKCU\\" + kRunKey + "\\js"}),
                                                   fill(texts::FileNotDeleted.pt, {kLocal + "\\k.dll"})));
    EXPECT_TRUE(machine.exists(kLocal + "\\k.dll"));
    EXPECT_TRUE(flags.removalFailed);
    EXPECT_TRUE(logHas(computer::texts::disinfection::RunAsAdministrator.pt));
}

TEST(RunCommandPaths, VariablesAndWholeComponents) {
    memory::Machine machine;
    const platform::Platform os = machine.platform();
    EXPECT_EQ(computer::expandFolderVariables(os, "%Temp%\\a;%TMP%;%appdata%;%LocalAppData%;%USERPROFILE%"),
              kTemp + "\\a;" + kTemp + ";" + kRoaming + ";" + kLocal + ";" + kProfile);
    EXPECT_EQ(computer::expandFolderVariables(os, "%windir%\\x %SystemRoot% %ProgramFiles%\\y %% 50%"),
              "C:\\Windows\\x C:\\Windows %ProgramFiles%\\y %% 50%");
    machine.failSpecialFolder(scan::csidl::AppData);
    EXPECT_EQ(computer::expandFolderVariables(os, "%APPDATA%\\x.vbs"), "%APPDATA%\\x.vbs");

    auto& fs = machine.fileSystem();
    EXPECT_TRUE(computer::isSameOrInsideFolder(fs, "c:\\users\\USUARIO\\appdata\\roaming\\x.vbs", kRoaming));
    EXPECT_FALSE(computer::isSameOrInsideFolder(fs, kProfile + "\\AppData\\Roaming2\\x.vbs", kRoaming));
    EXPECT_FALSE(computer::isSameOrInsideFolder(fs, kRoaming + "\\..\\x.vbs", kRoaming));
    EXPECT_FALSE(computer::isSameOrInsideFolder(fs, "x.vbs", kRoaming));
}

}  // namespace
}  // namespace vx::test
