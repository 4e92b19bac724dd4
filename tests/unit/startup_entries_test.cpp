#include "scan/startup_entries.h"

#include "scan/scan_texts.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using platform::RegValue;
using ::testing::ElementsAre;

const std::string kRun = scan::kRunKeyPath;
const std::string kAppData = "C:\\Users\\Usuario\\AppData\\Roaming\\";

using scan::fill;
namespace texts = scan::texts::startup_entries;

std::string pt(const scan::Text& text, const std::string& part) { return fill(text.pt, {part}); }
std::string en(const scan::Text& text, const std::string& part) { return fill(text.en, {part}); }
std::string deleted(const std::string& path) { return fill(texts::FileDeleted, {path}); }
std::string notDeleted(const std::string& path) { return fill(texts::FileNotDeleted, {path}); }

struct StartupEntries : ScanFixture {
    bool hasValue(RootKey root, const std::string& name) const { return machine.value(root, kRun, name).has_value(); }
};

TEST_F(StartupEntries, WormFileRemovalEndsDeletesAndCleansValuesOfBothRoots) {
    machine.addFile("C:\\Windows\\svccscsvc.exe", "MZ", attr::Hidden | attr::System | attr::ReadOnly);
    machine.addProcess("svccscsvc.exe");
    machine.setText(RootKey::CurrentUser, kRun, "SVCCSCSVC.EXE", "x");  // the registry ignores letter case
    machine.setText(RootKey::CurrentUser, kRun, "svccscsvc", "x");
    machine.setText(RootKey::LocalMachine, kRun, "svccscsvc", "x");
    machine.setText(RootKey::CurrentUser, kRun, "", "C:\\legit.exe");  // the key's default value
    machine.setText(RootKey::CurrentUser, kRun, "Skype", "C:\\skype.exe");

    scan::wormFileRemoval(ctx, "C:\\Windows\\", "svccscsvc.exe");
    EXPECT_FALSE(machine.exists("C:\\Windows\\svccscsvc.exe"));
    EXPECT_FALSE(machine.isRunning("svccscsvc.exe"));
    EXPECT_THAT(machine.valueNames(RootKey::CurrentUser, kRun), ElementsAre("", "Skype"));
    EXPECT_TRUE(machine.valueNames(RootKey::LocalMachine, kRun).empty());
    EXPECT_THAT(lines(), ElementsAre(pt(texts::ProcessEnded, "svccscsvc.exe"), deleted("C:\\Windows\\svccscsvc.exe"),
                                     pt(texts::ValueDeleted, "svccscsvc.exe"), pt(texts::ValueDeleted, "svccscsvc"),
                                     pt(texts::ValueDeleted, "svccscsvc")));

    // A missing file still reads as deleted (the file lines exist in Portuguese
    // only), and a name too short for a stem never reaches the default value.
    log.clear();
    language = scan::kEnglish;
    machine.setText(RootKey::LocalMachine, kRun, "lulu.exe", "x");
    scan::wormFileRemoval(ctx, "C:\\Windows\\", "lulu.exe");
    scan::wormFileRemoval(ctx, "E:\\", ".exe");
    EXPECT_THAT(lines(), ElementsAre(deleted("C:\\Windows\\lulu.exe"), en(texts::ValueDeleted, "lulu.exe"),
                                     deleted("E:\\.exe")));
    EXPECT_TRUE(hasValue(RootKey::CurrentUser, ""));
    EXPECT_FALSE(flags.removalFailed);
}

TEST_F(StartupEntries, WormFileRemovalReportsASurvivorAndLeavesARefusedHklmAlone) {
    machine.addFile("E:\\lulu.exe", "MZ");
    machine.lockFile("E:\\lulu.exe");
    machine.addProcess("lulu.exe", "", /*terminable=*/false);
    machine.setText(RootKey::LocalMachine, kRun, "lulu", "x");
    machine.denyLocalMachineFullAccess(true);

    scan::wormFileRemoval(ctx, "E:\\", "lulu.exe");
    EXPECT_THAT(lines(), ElementsAre(notDeleted("E:\\lulu.exe")));
    EXPECT_TRUE(flags.removalFailed);
    EXPECT_TRUE(hasValue(RootKey::LocalMachine, "lulu"));
    EXPECT_TRUE(machine.isRunning("lulu.exe"));
}

TEST_F(StartupEntries, RunDataMatchesTheWholePathBareOrQuotedOnly) {
    for (const char* f : {"a.exe", "b.exe", "c.exe"}) machine.addFile(kAppData + f, "MZ", attr::Hidden);
    machine.setText(RootKey::CurrentUser, kRun, "bare", kAppData + "a.exe");
    machine.setText(RootKey::CurrentUser, kRun, "quoted", "\"" + kAppData + "b.exe\"");
    machine.setText(RootKey::CurrentUser, kRun, "case", "C:\\USERS\\Usuario\\AppData\\Roaming\\c.exe");
    machine.setText(RootKey::CurrentUser, kRun, "quotedArg", "\"" + kAppData + "c.exe\" /s");
    machine.setText(RootKey::CurrentUser, kRun, "bareArg", kAppData + "c.exe /s");
    machine.setText(RootKey::CurrentUser, kRun, "lonely quote", "\"");
    machine.setValue(RootKey::CurrentUser, kRun, "number", RegValue::dword(7));
    machine.setValue(RootKey::CurrentUser, kRun, "bytes",
                     RegValue::text(kAppData + "c.exe", platform::regtype::Binary));
    machine.setValue(RootKey::CurrentUser, kRun, "multi",
                     RegValue::text(kAppData + "c.exe", platform::regtype::MultiSz));
    machine.setText(RootKey::CurrentUser, kRun, "long", std::string(200000, 'x'));

    scan::runDataCheck(ctx, kAppData, "*.exe");
    EXPECT_THAT(lines(), ElementsAre(texts::VirusFound.pt));
    EXPECT_EQ(machine.valueNames(RootKey::CurrentUser, kRun).size(), 10u) << "a check deletes nothing";
    EXPECT_EQ(machine.attributes(kAppData + "a.exe"), attr::Normal);
    EXPECT_TRUE(flags.infectionFound);

    log.clear();
    scan::runDataRemoval(ctx, kAppData, "*.exe");
    EXPECT_THAT(lines(), ElementsAre(pt(texts::ProcessNotRunning, "a.exe"), deleted(kAppData + "a.exe"),
                                     texts::RunValueDeleted.pt, pt(texts::ProcessNotRunning, "b.exe"),
                                     deleted(kAppData + "b.exe"), texts::RunValueDeleted.pt));
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, "bare"));
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, "quoted"));
    EXPECT_EQ(machine.valueNames(RootKey::CurrentUser, kRun).size(), 8u);
    EXPECT_TRUE(machine.exists(kAppData + "c.exe"));
}

TEST_F(StartupEntries, RunDataRemovalHandlesHklmThenHkcuForTheSameFile) {
    const std::string worm = kAppData + "x.exe";
    machine.addFile(worm, "MZ");
    machine.addProcess("x.exe", worm);
    machine.setText(RootKey::LocalMachine, kRun, "Updater", worm);
    machine.setText(RootKey::CurrentUser, kRun, "x.exe", "\"" + worm + "\"");
    machine.setText(RootKey::CurrentUser, kRun, "Helper", "\"" + worm + "\"");
    language = scan::kEnglish;

    scan::runDataRemoval(ctx, kAppData, "*.exe");
    EXPECT_THAT(lines(), ElementsAre(en(texts::ProcessFinished, "x.exe"), deleted(worm),
                                     en(texts::ValueDeleted, "x.exe"), texts::RunValueDeleted.en,
                                     en(texts::ProcessNotRunning, "x.exe"), deleted(worm), texts::RunValueDeleted.en));
    EXPECT_TRUE(machine.valueNames(RootKey::CurrentUser, kRun).empty());
    EXPECT_TRUE(machine.valueNames(RootKey::LocalMachine, kRun).empty());
    EXPECT_FALSE(machine.exists(worm));
    EXPECT_TRUE(flags.infectionFound);
}

TEST_F(StartupEntries, RunDataWithNothingToMatchWritesItsNotFoundLines) {
    machine.addFile(kAppData + "x.exe", "MZ");
    machine.setText(RootKey::LocalMachine, kRun, "Worm", kAppData + "x.exe");
    machine.denyLocalMachineFullAccess(true);  // a refused key holds no values
    scan::runDataRemoval(ctx, kAppData, "*.exe");
    scan::runDataCheck(ctx, kAppData, "*.exe");
    language = scan::kEnglish;
    scan::runDataRemoval(ctx, "C:\\Nowhere\\", "*.exe");
    scan::runDataCheck(ctx, "C:\\Nowhere\\", "*.exe");
    EXPECT_THAT(lines(), ElementsAre(texts::NothingRemoved.pt, texts::NothingFound.pt, texts::NothingRemoved.en,
                                     texts::NothingFound.en));
    EXPECT_TRUE(machine.exists(kAppData + "x.exe"));
    EXPECT_TRUE(hasValue(RootKey::LocalMachine, "Worm"));
    EXPECT_FALSE(flags.infectionFound);
}

TEST_F(StartupEntries, PairTestNeedsASmallExecutableFileAndAScript) {
    const std::string folder = kAppData + "WinUpdate\\";
    machine.addFileOfSize(folder + "svc.exe", 179999, attr::Hidden);
    machine.addFile(folder + "run.js", "0123456789");
    EXPECT_TRUE(scan::exeAndScriptPairTest(ctx, folder));
    EXPECT_TRUE(flags.infectionFound);

    flags = {};
    machine.addFileOfSize(folder + "svc.exe", 180000);
    machine.addFolder(folder + "x.exe");
    machine.addFileOfSize(folder + "huge.exe", (uint64_t{1} << 32) + 100);  // low 32 bits read as 100
    EXPECT_FALSE(scan::exeAndScriptPairTest(ctx, folder));
    EXPECT_FALSE(scan::exeAndScriptPairTest(ctx, kAppData + "Nowhere\\"));
    EXPECT_FALSE(flags.infectionFound);
}

TEST_F(StartupEntries, PairTestLeavesTheUsersOwnFoldersAlone) {
    for (std::string name : {"AppData", "Contacts", "DESKTOP", "Documents", "Downloads", "Favorites", "Links", "Music",
                             "OneDrive", "Pictures", "saved games", "Searches", "Temp", "Videos",
                             "OneDrive - Acme Ltda", "Dropbox", "Google Drive", "iCloudDrive",
                             "Creative Cloud Files"}) {
        const std::string folder = "C:\\Users\\Usuario\\" + name + "\\";
        machine.addFile(folder + "setup.exe", "MZ");
        machine.addFile(folder + "x.js", "x");
        EXPECT_FALSE(scan::exeAndScriptPairTest(ctx, folder)) << name;
    }
    machine.addFile(kAppData + "Microsoft\\a.exe", "MZ");
    machine.addFile(kAppData + "Microsoft\\a.js", "x");
    EXPECT_FALSE(scan::exeAndScriptPairTest(ctx, kAppData + "Microsoft\\"));
    EXPECT_FALSE(flags.infectionFound);
    machine.addFile("C:\\Users\\Usuario\\Desktopx\\a.exe", "MZ");
    machine.addFile("C:\\Users\\Usuario\\Desktopx\\a.js", "x");
    EXPECT_TRUE(scan::exeAndScriptPairTest(ctx, "C:\\Users\\Usuario\\Desktopx\\")) << "a worm's own folder";
}

TEST_F(StartupEntries, TheProgramsOwnFileIsNeverAWormFile) {
    // The user keeps the program in a folder of the roaming data, beside a
    // script, and starts it at logon under a worm's name.
    const std::string folder = kAppData + "Ferramentas\\";
    const std::string program = folder + "svchost32.exe";
    machine.addFile(program, "MZ program");
    machine.addFile(folder + "ajuda.js", "x");
    machine.setProgramPath(program);
    machine.setText(RootKey::CurrentUser, kRun, "Ferramenta", program);

    EXPECT_FALSE(scan::exeAndScriptPairTest(ctx, folder));
    scan::runDataRemoval(ctx, folder, "*.exe");
    EXPECT_EQ(lines().back(), texts::NothingRemoved.pt);
    scan::wormFileRemoval(ctx, folder, "svchost32.exe");
    EXPECT_EQ(lines().back(), notDeleted(program));
    EXPECT_EQ(machine.content(program), "MZ program");
    EXPECT_TRUE(hasValue(RootKey::CurrentUser, "Ferramenta"));
    EXPECT_FALSE(flags.infectionFound);
}

}  // namespace
}  // namespace vx::test
