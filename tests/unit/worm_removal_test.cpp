#include "scan/worm_removal.h"

#include "scan/scan_texts.h"
#include "scan/startup_entries.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using scan::ShortcutSeen;
using ::testing::ElementsAre;

const std::string kRun = scan::kRunKeyPath;
const std::string kPolicies = scan::kPoliciesRunKeyPath;
const std::string kWindowsNt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
using scan::fill;
namespace texts = scan::texts::worm_removal;
namespace startup = scan::texts::startup_entries;

std::string pt(const scan::Text& text, const std::string& part) { return fill(text.pt, {part}); }
std::string en(const scan::Text& text, const std::string& part) { return fill(text.en, {part}); }
// The lines of one removed script and its start-up value under HKCU.
std::vector<std::string> scriptRemoved(const std::string& path, const std::string& stem) {
    return {pt(texts::ProcessNotRunning, "[vx00x]"), pt(texts::FileDeleted, path), pt(texts::ValueDeleted, stem),
            pt(texts::ValueNotFound, stem), pt(texts::ValueNotFound, stem)};
}

struct WormRemoval : ScanFixture {
    bool hasValue(RootKey root, const std::string& key, const std::string& name) const {
        return machine.value(root, key, name).has_value();
    }
};

TEST_F(WormRemoval, ScriptAndItsValueGoEvenWithoutAProcess) {
    machine.addFile("E:\\virus.js", "x", attr::Hidden | attr::System);
    machine.setText(RootKey::CurrentUser, kRun, "virus", "wscript E:\\virus.js");
    const scan::MaskMatch match = scan::wormMaskAndRunValueRemoval(ctx, "E:\\", "*.js");
    EXPECT_TRUE(match.matched);
    EXPECT_FALSE(match.shortcutMet);
    EXPECT_EQ(lines(), scriptRemoved("E:\\virus.js", "virus"));
    EXPECT_FALSE(machine.exists("E:\\virus.js"));
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, kRun, "virus"));
    EXPECT_TRUE(flags.infectionFound);
}

TEST_F(WormRemoval, EnglishLinesForARunningWormInAllThreeKeys) {
    language = scan::kEnglish;
    machine.addFile("E:\\USB.exe", "MZ");
    machine.addProcess("USB.exe", "E:\\USB.exe");
    machine.setText(RootKey::CurrentUser, kRun, "USB", "x");
    machine.setText(RootKey::LocalMachine, kPolicies, "USB", "x");
    machine.setText(RootKey::LocalMachine, kRun, "USB", "x");
    scan::wormMaskAndRunValueRemoval(ctx, "E:\\", "USB.exe");
    EXPECT_THAT(lines(), ElementsAre(en(texts::ProcessFinished, "[vx00x]"), en(texts::FileDeleted, "E:\\USB.exe"),
                                     en(texts::ValueDeleted, "USB"), en(texts::ValueDeleted, "USB"),
                                     en(texts::MachineValueDeleted, "USB")));
    EXPECT_FALSE(machine.exists("E:\\USB.exe"));
    EXPECT_TRUE(machine.valueNames(RootKey::LocalMachine, kPolicies).empty());
}

TEST_F(WormRemoval, StemDropsTheExtensionByMaskLength) {
    struct Case {
        const char* mask;
        const char* file;
        const char* stem;
    };
    for (auto c : {Case{"*.js", "a.js", "a"}, Case{"*.vbs", "b.vbs", "b"}, Case{"Manuel.doc", "Manuel.doc", "Manuel"},
                   Case{"*.exe", "SysinfY2.exe", "SysinfY2X"}}) {
        machine.addFile(std::string("E:\\") + c.file);
        machine.setText(RootKey::CurrentUser, kRun, c.stem, "x");
        scan::wormMaskAndRunValueRemoval(ctx, "E:\\", c.mask);
        EXPECT_FALSE(hasValue(RootKey::CurrentUser, kRun, c.stem)) << c.file;
    }
    machine.setText(RootKey::CurrentUser, kRun, "SysinfY2", "x");
    machine.addFile("E:\\SysinfY2.exe");
    scan::wormMaskAndRunValueRemoval(ctx, "E:\\", "*.exe");
    EXPECT_TRUE(hasValue(RootKey::CurrentUser, kRun, "SysinfY2"));
}

TEST_F(WormRemoval, ShortcutsAreToldAndWin32ExeRaisesRestart) {
    machine.addFile("E:\\Fotos.lnk");
    machine.lockFile("E:\\Fotos.lnk");
    EXPECT_TRUE(scan::wormMaskAndRunValueRemoval(ctx, "E:\\", "*.lnk").shortcutMet)
        << "a shortcut that survives still counts";
    EXPECT_EQ(lines().at(1), pt(texts::FileNotDeleted, "E:\\Fotos.lnk"));
    EXPECT_TRUE(flags.removalFailed);

    const std::string install = "C:\\Windows\\SysWOW64\\install\\";
    machine.addFile(install + "win32.exe", "MZ");
    machine.lockFile(install + "win32.exe");
    scan::wormMaskAndRunValueRemoval(ctx, install, "win32.exe");
    EXPECT_FALSE(flags.restartNeeded);
    machine.lockFile(install + "win32.exe", false);
    scan::wormMaskAndRunValueRemoval(ctx, install, "win32.exe");
    EXPECT_TRUE(flags.restartNeeded);
}

TEST_F(WormRemoval, FoldersDoNotMatchAndNothingFoundNamesTheFolder) {
    machine.addFolder("E:\\Fotos.js");
    EXPECT_FALSE(scan::wormMaskAndRunValueRemoval(ctx, "E:\\", "*.js").matched);
    language = scan::kEnglish;
    scan::wormMaskAndRunValueRemoval(ctx, "E:\\Fotos.js\\", "*.js");
    EXPECT_THAT(lines(), ElementsAre(pt(texts::NothingFoundIn, "E:\\"), en(texts::NothingFoundIn, "E:\\Fotos.js\\")));
    EXPECT_FALSE(flags.infectionFound);
}

TEST_F(WormRemoval, RefusedHklmAndAnUnkillableProcessDoNotStopTheRemoval) {
    machine.addFile("E:\\worm.js");
    machine.addProcess("worm.js", "", /*terminable=*/false);
    machine.setText(RootKey::CurrentUser, kRun, "worm", "x");
    machine.setText(RootKey::LocalMachine, kPolicies, "worm", "x");
    machine.setText(RootKey::LocalMachine, kRun, "worm", "x");
    machine.denyLocalMachineFullAccess(true);
    scan::wormMaskAndRunValueRemoval(ctx, "E:\\", "*.js");
    EXPECT_EQ(lines(), scriptRemoved("E:\\worm.js", "worm"));
    EXPECT_TRUE(hasValue(RootKey::LocalMachine, kPolicies, "worm"));
    EXPECT_TRUE(hasValue(RootKey::LocalMachine, kRun, "worm"));
    EXPECT_TRUE(flags.infectionFound);
}

TEST_F(WormRemoval, ShortcutWormProgramIsTakenOnlyStrictlyInsideItsSizeRange) {
    machine.deleteKey(RootKey::LocalMachine, kWindowsNt);  // no edition to read
    const std::pair<const char*, uint64_t> files[] = {
        {"a.exe", 250000}, {"b.exe", 250001}, {"c.exe", 250999}, {"d.exe", 251000}, {"e.exe", (1ull << 32) + 250500}};
    for (auto [name, size] : files) machine.addFileOfSize(std::string("E:\\") + name, size);
    machine.lockFile("E:\\c.exe");
    scan::wormMaskRemoval(ctx, "E:\\", "*.exe", ShortcutSeen::Yes);
    EXPECT_THAT(lines(),
                ElementsAre(pt(texts::ProcessNotRunning, "[vx008]"), fill(startup::FileDeleted, {"E:\\b.exe"}),
                            fill(texts::ProgramDeleted, {"E:\\b.exe"}), pt(texts::ProcessNotRunning, "[vx008]"),
                            fill(startup::FileNotDeleted, {"E:\\c.exe"}), fill(texts::ProgramNotDeleted, {"E:\\c.exe"}),
                            texts::NothingFound.pt));
    EXPECT_FALSE(flags.infectionFound) << "the size alone is no finding";
    EXPECT_TRUE(flags.removalFailed);
    for (const char* kept : {"E:\\a.exe", "E:\\c.exe", "E:\\d.exe", "E:\\e.exe"})
        EXPECT_TRUE(machine.exists(kept)) << kept;

    machine.lockFile("E:\\c.exe", false);
    scan::wormMaskRemoval(ctx, "E:\\", "*.exe", ShortcutSeen::No);
    EXPECT_TRUE(machine.exists("E:\\c.exe")) << "without a shortcut met the size means nothing";
}

TEST_F(WormRemoval, ShortcutWormOnXpEndsExplorerAndNotepadBeforeCalc) {
    language = scan::kEnglish;
    machine.addFileOfSize("E:\\a.exe", 250500);
    machine.setText(RootKey::CurrentUser, kRun, "a", "x");
    machine.setText(RootKey::LocalMachine, kRun, "a.exe", "x");
    machine.denyLocalMachineFullAccess(true);  // the edition is still read
    scan::wormMaskRemoval(ctx, "E:\\", "*.exe", ShortcutSeen::Yes);  // Windows 7: explorer stays
    EXPECT_TRUE(machine.isRunning("explorer.exe"));

    log.clear();
    machine.setText(RootKey::LocalMachine, kWindowsNt, "ProductName", "Microsoft Windows XP");
    machine.addFileOfSize("E:\\b.exe", 250500);
    machine.addProcess("notepad.exe");
    machine.addProcess("calc.exe");
    scan::wormMaskRemoval(ctx, "E:\\", "*.exe", ShortcutSeen::Yes);
    EXPECT_THAT(lines(), ElementsAre(en(texts::ProcessFinished, "[explorer.exe]"),
                                     en(texts::ProcessFinished, "[vx008]"), fill(startup::FileDeleted, {"E:\\b.exe"}),
                                     fill(texts::ProgramDeleted, {"E:\\b.exe"}), texts::NothingFound.en));
    EXPECT_FALSE(machine.isRunning("explorer.exe"));
    EXPECT_TRUE(machine.isRunning("calc.exe")) << "calc is ended only when no notepad was";
    EXPECT_FALSE(hasValue(RootKey::CurrentUser, kRun, "a"));
    EXPECT_TRUE(hasValue(RootKey::LocalMachine, kRun, "a.exe"));
}

TEST_F(WormRemoval, RunningProcessStepSparesTheProgramItself) {
    language = scan::kEnglish;
    for (const char* name : {"lulu.exe", "Varrex 2.7.5.exe", "varrex.exe", "worm.exe"})
        machine.addFile(std::string("E:\\") + name);
    machine.addProcess("lulu.exe");
    machine.addProcess("Varrex 2.7.5.exe");
    machine.addProcess("worm.exe", "", /*terminable=*/false);
    scan::wormMaskRemoval(ctx, "E:\\", "*.exe", ShortcutSeen::No);
    EXPECT_THAT(lines(), ElementsAre(en(texts::RunningFileEnded, "lulu.exe")));
    EXPECT_TRUE(machine.isRunning("Varrex 2.7.5.exe"));
    EXPECT_TRUE(machine.isRunning("worm.exe"));
    EXPECT_FALSE(machine.selfTerminated());
    EXPECT_TRUE(flags.infectionFound);
}

TEST_F(WormRemoval, FileBesideAFolderOfItsNameIsDeleted) {
    machine.addFolder("E:\\Fotos", attr::Directory | attr::Hidden);
    machine.addFile("E:\\Fotos.exe", "MZ");
    machine.addFolder("E:\\Docs");
    machine.addFile("E:\\Docs.exe", "MZ");
    machine.lockFile("E:\\Docs.exe");
    machine.addFile("E:\\.exe", "keep");  // no name left: its "folder" would be the root itself
    scan::wormMaskRemoval(ctx, "E:\\", "*.exe", ShortcutSeen::No);
    EXPECT_THAT(lines(), ElementsAre(pt(texts::CompanionFileNotDeleted, "E:\\Docs.exe"),
                                     pt(texts::FileDeleted, "E:\\Fotos.exe")));
    EXPECT_EQ(machine.content("E:\\.exe"), "keep");
    EXPECT_TRUE(machine.exists("E:\\Fotos"));
    EXPECT_TRUE(flags.infectionFound);
}

}  // namespace
}  // namespace vx::test
