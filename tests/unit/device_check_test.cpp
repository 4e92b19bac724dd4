#include "device/device_check.h"

#include <algorithm>

#include "device/device_texts.h"
#include "device/tree_listing.h"
#include "scan/check_routines.h"
#include "scan/scan_texts.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using scan::checkWormMask;
using scan::checkWormMaskAndRunValue;
using scan::ShortcutSeen;
using device::listTree;
using platform::Icon;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = memory::DialogRecord::Kind;

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr uint32_t kHiddenSystem = attr::Hidden | attr::System;
constexpr uint32_t kHiddenFolder = attr::Directory | attr::Hidden | attr::System;

namespace checks = scan::texts::check_routines;
const char* const kItemFound = checks::FileFound;
const char* const kUserValueFound = checks::UserValueFound;
const char* const kUserValueNotFound = checks::UserValueNotFound;
const char* const kMachineValueFound = checks::MachineValueFound;
const char* const kMachineValueNotFound = checks::MachineValueNotFound;
const std::string kExeFound = scan::fill(checks::MaskFound, {"*.exe"});
const std::string kExeNotFound = scan::fill(checks::MaskNotFound, {"*.exe"});
const char* const kA1 = checks::A1Found;
namespace texts = device::texts;
using scan::fill;

// The verdicts for drive E:.
const std::string kInfectedBox = fill(texts::check::InfectedBox, {"E:\\"});
const std::string kInfectedLine = fill(texts::check::InfectedLine, {kInfectedBox, texts::check::RemovalAdvice});
const std::string kCleanVerdict = fill(texts::check::VerdictLine, {fill(texts::NoVirusInDriveBox.pt, {"E:\\"})});

// A file as the tree listing writes it.
std::string listedLine(const std::string& path) { return texts::check::ListedFile + path; }

// ---------------------------------------------------------------------------
// Tree listing
// ---------------------------------------------------------------------------

struct DeviceTreeListing : ScanFixture {};

TEST_F(DeviceTreeListing, MarkedFoldersAreOneLinePlainFoldersShowTheirFiles) {
    machine.addFolder("E:\\Fotos", kHiddenFolder);
    machine.addFile("E:\\Fotos\\praia.jpg");
    machine.addFile("E:\\Musicas\\a.mp3");
    machine.addFile("E:\\Musicas\\Rock\\b.mp3");
    machine.addFolder("E:\\Musicas\\Somente leitura", attr::Directory | attr::ReadOnly);
    machine.addFile("E:\\Musicas\\Somente leitura\\c.mp3");
    machine.addFolder("E:\\Vazia");
    machine.addFile("E:\\z.txt", "", 0);  // no attribute bits: reported as "normal"

    EXPECT_TRUE(listTree(ctx, "E:\\"));
    EXPECT_THAT(lines(), ElementsAre(listedLine("E:\\Fotos"), listedLine("E:\\Musicas\\a.mp3"),
                                     listedLine("E:\\Musicas\\Rock\\b.mp3"), listedLine("E:\\Musicas\\Somente leitura"),
                                     listedLine("E:\\z.txt")));

    log.clear();
    EXPECT_TRUE(listTree(ctx, "E:\\Musicas")) << "a folder without its final backslash";
    EXPECT_EQ(lines().front(), listedLine("E:\\Musicas\\a.mp3"));
    log.clear();
    EXPECT_FALSE(listTree(ctx, "E:\\Nada"));
    EXPECT_FALSE(listTree(ctx, "E:\\z.txt"));
    EXPECT_THAT(lines(), IsEmpty());
}

TEST_F(DeviceTreeListing, AJunctionIsListedButNeverEntered) {
    machine.addFolder("C:\\Dados");
    machine.addFile("C:\\Dados\\tese.doc");
    machine.addLink("E:\\atalho", "C:\\Dados");
    machine.addLink("E:\\volta", "E:\\");  // a loop back to the root
    EXPECT_TRUE(listTree(ctx, "E:\\"));
    EXPECT_THAT(lines(), ElementsAre(listedLine("E:\\atalho"), listedLine("E:\\volta")));
    log.clear();
    EXPECT_TRUE(listTree(ctx, "E:\\atalho")) << "handed a link, it lists nothing behind it";
    EXPECT_THAT(lines(), IsEmpty());
}

// ---------------------------------------------------------------------------
// Worm mask and Run-value check
// ---------------------------------------------------------------------------

struct DeviceMaskAndRunValue : ScanFixture {};

TEST_F(DeviceMaskAndRunValue, AScriptWithAUserRunValueOfItsStem) {
    machine.addFile("E:\\virus.js", "x", kHiddenSystem);
    machine.setText(RootKey::CurrentUser, kRun, "virus", "wscript.exe E:\\virus.js");
    const scan::MaskMatch match = checkWormMaskAndRunValue(ctx, "E:\\", "*.js");
    EXPECT_THAT(lines(), ElementsAre(kItemFound, kUserValueFound, kMachineValueNotFound));
    EXPECT_TRUE(flags.infectionFound);
    EXPECT_TRUE(match.matched);
    EXPECT_FALSE(match.shortcutMet);
}

TEST_F(DeviceMaskAndRunValue, AMachineRunValueAndKeysThatCannotBeOpened) {
    machine.addFile("E:\\USB.exe", "MZ");
    machine.setText(RootKey::LocalMachine, kRun, "USB", "E:\\USB.exe");
    machine.setText(RootKey::CurrentUser, kRun, "USB", "E:\\USB.exe");
    checkWormMaskAndRunValue(ctx, "E:\\", "USB.exe");
    EXPECT_THAT(lines(), ElementsAre(kItemFound, kUserValueFound, kMachineValueFound));

    // Without administrator rights HKLM does not open with full access, and a
    // missing key is not created: neither holds a value.
    log.clear();
    machine.denyLocalMachineFullAccess(true);
    machine.deleteKey(RootKey::CurrentUser, kRun);
    checkWormMaskAndRunValue(ctx, "E:\\", "USB.exe");
    EXPECT_THAT(lines(), ElementsAre(kItemFound, kUserValueNotFound, kMachineValueNotFound));
    EXPECT_FALSE(machine.keyExists(RootKey::CurrentUser, kRun));
}

TEST_F(DeviceMaskAndRunValue, OnlyTheExactShortcutMaskTellsAShortcutMet) {
    machine.addFile("E:\\Fotos.lnk");
    EXPECT_FALSE(checkWormMaskAndRunValue(ctx, "E:\\", "*.LNK").shortcutMet);
    EXPECT_TRUE(flags.infectionFound);
    EXPECT_TRUE(checkWormMaskAndRunValue(ctx, "E:\\", "*.lnk").shortcutMet);
}

TEST_F(DeviceMaskAndRunValue, FoldersAndMissesWriteNothing) {
    machine.addFolder("E:\\pasta.vbs", kHiddenFolder);
    EXPECT_FALSE(checkWormMaskAndRunValue(ctx, "E:\\", "*.vbs").matched);
    checkWormMaskAndRunValue(ctx, "E:\\", "Manuel.doc");
    checkWormMaskAndRunValue(ctx, "E:\\nao-existe\\", "*.js");
    EXPECT_THAT(lines(), IsEmpty());
    EXPECT_FALSE(flags.infectionFound);
}

// ---------------------------------------------------------------------------
// Worm mask check
// ---------------------------------------------------------------------------

struct DeviceWormMask : ScanFixture {};

TEST_F(DeviceWormMask, A1SizeWindowExcludesBothBoundsAndNeedsAShortcut) {
    machine.addFileOfSize("E:\\a.exe", 250000);
    machine.addFileOfSize("E:\\b.exe", 250001, kHiddenSystem | attr::ReadOnly);
    machine.addFileOfSize("E:\\c.exe", 250999);
    machine.addFileOfSize("E:\\d.exe", 251000);
    // Its low 32 bits fall in the window; the whole size does not.
    machine.addFileOfSize("E:\\e.exe", (uint64_t{1} << 32) + 250500);

    checkWormMask(ctx, "E:\\", "*.exe", ShortcutSeen::No);
    EXPECT_EQ(std::count(lines().begin(), lines().end(), kA1), 0) << "no shortcut seen";
    EXPECT_FALSE(flags.infectionFound);
    EXPECT_EQ(machine.attributes("E:\\b.exe"), attr::Normal) << "attributes are reset";

    log.clear();
    checkWormMask(ctx, "E:\\", "*.exe", ShortcutSeen::Yes);
    EXPECT_THAT(lines(), ElementsAre(kExeNotFound, kExeNotFound,                  // a.exe
                                     kA1, kExeNotFound, kExeNotFound,             // b.exe
                                     kA1, kExeNotFound, kExeNotFound,             // c.exe
                                     kExeNotFound, kExeNotFound,                  // d.exe
                                     kExeNotFound, kExeNotFound));                // e.exe
    EXPECT_TRUE(flags.infectionFound);
}

TEST_F(DeviceWormMask, ARunningProcessOfTheSameNameUnlessItIsTheProgram) {
    machine.addFile("E:\\lulu.exe");
    machine.addProcess("LULU.EXE");
    machine.addFile("E:\\Varrex.exe");
    machine.addProcess("Varrex.exe");
    checkWormMask(ctx, "E:\\", "*.exe", ShortcutSeen::No);
    EXPECT_THAT(lines(), ElementsAre(kExeFound, kExeNotFound, kExeNotFound, kExeNotFound));
    EXPECT_TRUE(machine.isRunning("lulu.exe")) << "the check terminates nothing";
    EXPECT_TRUE(flags.infectionFound);
}

TEST_F(DeviceWormMask, TheFolderAnExecutableStandsInFor) {
    machine.addFile("E:\\Fotos.exe", "MZ");
    machine.addFolder("E:\\Fotos", kHiddenFolder);
    // A name that is only the extension has no companion: the folder searched
    // is not one.
    machine.addFile("E:\\.exe", "MZ");
    checkWormMask(ctx, "E:\\", "*.exe", ShortcutSeen::No);
    EXPECT_THAT(lines(), ElementsAre(kExeNotFound, kExeNotFound,  // .exe
                                     kExeNotFound, kExeFound));   // Fotos.exe
    EXPECT_TRUE(flags.infectionFound);
}

// ---------------------------------------------------------------------------
// The whole device check
// ---------------------------------------------------------------------------

struct DeviceCheck : ScanFixture {
    scan::SaveDialogMemory saveDialog;
    std::string deviceRoot;

    void run(const std::string& listText = "E: [PENDRIVE]", scan::SaveOffer saveOffer = scan::SaveOffer::Skip) {
        device::runDeviceCheck(ctx, listText, saveOffer, saveDialog, deviceRoot);
    }
    size_t count(const std::string& line) const { return std::count(lines().begin(), lines().end(), line); }
    std::vector<memory::DialogRecord> boxes() const { return machine.transcript(); }
};

TEST_F(DeviceCheck, TheUsersOwnShortcutCountsAsAWorm) {
    machine.addFile("E:\\Fotos.lnk", "L");
    machine.addProcess("wscript.exe");
    run();
    EXPECT_EQ(deviceRoot, "E:\\");
    EXPECT_EQ(count(kItemFound), 1u);
    EXPECT_TRUE(flags.infectionFound);
    EXPECT_EQ(lines().back(), kInfectedLine);
    EXPECT_FALSE(machine.isRunning("wscript.exe")) << "the script host is stopped before the verdict";
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, fill(texts::check::InfectedBoxText, {kInfectedBox, texts::check::RemovalAdvice}));
    EXPECT_EQ(boxes()[0].caption, texts::HeadsUpCaption.pt);
    EXPECT_EQ(boxes()[0].icon, Icon::Warning);
}

TEST_F(DeviceCheck, TheProgramAtTheRootAndScriptsBehindAJunctionAreNoWorm) {
    // The program runs from the pen drive under a lower-case name, beside a
    // folder of its name; a junction leads to a folder of the computer.
    machine.addFile("E:\\varrex.exe", "MZ program");
    machine.addFolder("E:\\varrex");
    machine.addProcess("varrex.exe", "E:\\varrex.exe");
    machine.setProgramPath("E:\\varrex.exe");
    machine.addFile("C:\\Dados\\app.js", "meu script");
    machine.addLink("E:\\atalho", "C:\\Dados");
    run();
    EXPECT_FALSE(flags.infectionFound);
    EXPECT_EQ(count(kExeNotFound) + count(kExeFound), 0u) << "the program's file is not looked at";
    EXPECT_EQ(lines().back(), kCleanVerdict);
}

TEST_F(DeviceCheck, AutorunAloneMayBeAnInfectionInBothLanguages) {
    machine.addFile("E:\\autorun.inf", "[autorun]", kHiddenSystem);
    machine.addProcess("wscript.exe");
    run();
    EXPECT_FALSE(flags.infectionFound);
    // The block on what shortcuts and autorun.inf run follows the autorun.inf line.
    const std::string mayBeInfected = fill(texts::check::MayBeInfectedBox.pt, {"E:\\"});
    EXPECT_EQ(lines().end()[-4], texts::check::AutorunFound);
    EXPECT_EQ(lines().end()[-3], texts::drive_runs::Checking.pt);
    EXPECT_EQ(lines().end()[-2], texts::drive_runs::NothingRun.pt);
    EXPECT_EQ(lines().back(), fill(texts::check::VerdictLine, {mayBeInfected}));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, mayBeInfected);
    EXPECT_EQ(boxes()[0].caption, texts::HeadsUpCaption.pt);
    EXPECT_EQ(boxes()[0].icon, Icon::Warning);
    EXPECT_TRUE(machine.isRunning("wscript.exe")) << "only a found infection stops the script host";

    machine.clearTranscript();
    language = scan::kEnglish;
    run();
    EXPECT_EQ(lines().end()[-3], texts::check::AutorunFound);
    EXPECT_EQ(lines().back(), texts::drive_runs::NothingRun.en) << "no verdict line in English";
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, fill(texts::check::MayBeInfectedBox.en, {"E:\\"}));
    EXPECT_EQ(boxes()[0].caption, texts::HeadsUpCaption.en);
    EXPECT_EQ(boxes()[0].icon, Icon::Warning);
}

TEST_F(DeviceCheck, CleanVerdictsAndTheEnglishInfectedBox) {
    flags.infectionFound = true;  // left over from an earlier run
    machine.answerNext(Answer::No);
    run("E:", scan::SaveOffer::Make);
    EXPECT_FALSE(flags.infectionFound);
    EXPECT_EQ(lines().back(), kCleanVerdict);
    ASSERT_EQ(boxes().size(), 2u) << "the verdict, then the save offer";
    EXPECT_EQ(boxes()[0].text, fill(texts::NoVirusInDriveBox.pt, {"E:\\"}));
    EXPECT_EQ(boxes()[0].caption, texts::OutcomeCaption.pt);
    EXPECT_EQ(boxes()[0].icon, Icon::Information);
    EXPECT_EQ(boxes()[1].text, "Deseja salvar o Relatório de Verificação de Mídia Externa?");

    machine.clearTranscript();
    language = scan::kEnglish;
    machine.addDrive('F', DriveType::Removable);
    run("F: [PEN]");
    EXPECT_EQ(deviceRoot, "F:\\");
    EXPECT_EQ(lines().at(2), "[VX] - Checking External Device - Drive: F:\\");
    EXPECT_EQ(lines().back(), texts::drive_runs::NothingRun.en) << "no verdict line in English";
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, fill(texts::NoVirusInDriveBox.en, {"F:\\"}));
    EXPECT_EQ(boxes()[0].caption, texts::OutcomeCaption.en);
    EXPECT_EQ(boxes()[0].icon, Icon::Information);

    machine.clearTranscript();
    machine.addFile("F:\\dw.dll");
    machine.addProcess("wscript.exe");
    run("F:");
    EXPECT_TRUE(flags.infectionFound);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, fill(texts::check::MayBeInfectedBox.en, {"F:\\"}));
    EXPECT_EQ(boxes()[0].caption, texts::HeadsUpCaption.en);
}

TEST_F(DeviceCheck, HalfSignsSystemFoldersAndAnAutorunFolderAreNoInfection) {
    machine.addFolder("E:\\Drive");         // without Drive.bat
    machine.addFile("E:\\Files.bat", "x");  // without the folder Files
    machine.addFolder("E:\\autorun.inf");   // as protection tools make it: no autorun file
    machine.addFolder("E:\\RECYCLER", kHiddenFolder);
    machine.addFolder("E:\\$RECYCLE.BIN", kHiddenFolder);
    run();
    EXPECT_EQ(count("[VX] - Vírus Drive não encontrado!"), 1u);
    EXPECT_EQ(count("[VX] - Vírus Files não encontrado!"), 1u);
    EXPECT_EQ(count("[VX] > Pasta Recycler encontrada! (Pasta de Sistema)"), 1u);
    EXPECT_EQ(count("[VX] > Pasta $Recycle.bin encontrada! (Pasta de Sistema)"), 1u);
    EXPECT_FALSE(flags.infectionFound);
    EXPECT_EQ(lines().back(), kCleanVerdict);
}

TEST_F(DeviceCheck, ScriptsOneLevelDownAreFoundUnderEveryRootEntry) {
    machine.addFolder("E:\\Fotos", kHiddenFolder);
    machine.addFile("E:\\Fotos\\virus.js", "x");
    machine.setText(RootKey::CurrentUser, kRun, "virus", "wscript.exe E:\\Fotos\\virus.js");
    machine.addFile("E:\\leiame.txt");  // a file is tried too, and simply finds nothing
    run();
    const auto js1 = std::find(lines().begin(), lines().end(), texts::check::CheckingJsOneLevelDown);
    ASSERT_NE(js1, lines().end());
    EXPECT_THAT(std::vector<std::string>(js1 + 1, lines().end() - 4),
                ElementsAre(kItemFound, kUserValueFound, kMachineValueNotFound));
    EXPECT_EQ(lines().back(), kInfectedLine);
}

TEST_F(DeviceCheck, NoDriveChosenLeavesOnlyTheSaveOffer) {
    log.append("[VX] - linha anterior");
    deviceRoot = "G:\\";
    flags.infectionFound = true;
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("C:\\Users\\Usuario\\Documents\\log.txt");
    run("", scan::SaveOffer::Make);
    EXPECT_THAT(lines(), ElementsAre("[VX] - linha anterior"));
    EXPECT_EQ(deviceRoot, "G:\\");
    EXPECT_FALSE(flags.infectionFound);
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0].text, "Deseja salvar o Relatório de Verificação de Mídia Externa?");
    EXPECT_EQ(boxes()[1].kind, Kind::Save);
    EXPECT_EQ(boxes()[1].save.title, "Salvar Log de Verificação de Mídia Externa");
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\Documents\\log.txt"), ansiFile({"[VX] - linha anterior"}));

    machine.clearTranscript();
    run("", scan::SaveOffer::Skip);
    EXPECT_THAT(boxes(), IsEmpty());
}

TEST_F(DeviceCheck, ATenThousandLevelChainEndsWithItsVerdict) {
    std::string path = "E:\\a";
    for (int i = 0; i < 10000; ++i) path += "\\d";
    machine.addFile(path + "\\fundo.txt", "x");
    run();
    EXPECT_EQ(count(listedLine(path + "\\fundo.txt")), 1u);
    EXPECT_EQ(lines().back(), kCleanVerdict);
}

TEST_F(DeviceCheck, AHundredThousandFilesInOneFolderEndWithTheirVerdict) {
    machine.addFolder("E:\\Fotos");
    for (int i = 0; i < 100000; ++i) machine.addFile("E:\\Fotos\\f" + std::to_string(i) + ".jpg");
    machine.addFile("E:\\Fotos.lnk");
    run();
    size_t listed = 0;
    for (const auto& line : lines())
        if (line.rfind(listedLine("E:\\Fotos\\f"), 0) == 0) ++listed;
    EXPECT_EQ(listed, 100000u);
    EXPECT_EQ(lines().back(), kInfectedLine);
}

TEST_F(DeviceCheck, ADriveThatVanishesMidRunStillReachesAVerdict) {
    machine.addFolder("E:\\Fotos", kHiddenFolder);
    machine.addFile("E:\\Fotos\\praia.jpg");
    machine.addFile("E:\\Fotos.lnk");
    machine.addFile("E:\\x.vbs");
    machine.addFileOfSize("E:\\USB.exe", 250500);
    machine.addFile("E:\\Trabalho\\planilha.xls");
    machine.addFile("E:\\autorun.inf");
    machine.addFolder("E:\\RECYCLER", kHiddenFolder);

    // Every moment of a whole run, from before its first file-system call to after its last.
    memory::Machine probe = machine;
    scan::ActivityLog probeLog;
    scan::RunFlags probeFlags;
    scan::RunContext probeCtx{probe.platform(), probeLog, probeFlags, language};
    std::string probeRoot;
    device::runDeviceCheck(probeCtx, "E:", scan::SaveOffer::Skip, saveDialog, probeRoot);
    const uint64_t total = probe.fileSystemCalls() - machine.fileSystemCalls();
    ASSERT_GT(total, 20u);
    for (uint64_t k = 0; k <= total; ++k) {
        memory::Machine copy = machine;
        scan::ActivityLog copyLog;
        scan::RunFlags copyFlags;
        scan::RunContext copyCtx{copy.platform(), copyLog, copyFlags, language};
        std::string root;
        copy.vanishDriveAfter(k, 'E');
        device::runDeviceCheck(copyCtx, "E:", scan::SaveOffer::Skip, saveDialog, root);
        ASSERT_FALSE(copyLog.lines().empty()) << "vanished after " << k << " calls";
        EXPECT_EQ(copyLog.lines().back().rfind("[VX] *** ", 0), 0u) << "vanished after " << k << " calls";
        EXPECT_EQ(copy.transcript().size(), 1u) << "vanished after " << k << " calls";
    }
}

}  // namespace
}  // namespace vx::test
