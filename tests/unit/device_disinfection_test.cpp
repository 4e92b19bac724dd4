#include "device/device_disinfection.h"

#include "device/device_texts.h"
#include "scan/scan_texts.h"
#include "scan/worm_removal.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using device::DisinfectionTarget;
using platform::Icon;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Kind = memory::DialogRecord::Kind;
using scan::fill;
namespace texts = device::texts;
namespace lines_ = device::texts::disinfection;
namespace removal = scan::texts::worm_removal;

struct DeviceDisinfection : ScanFixture {
    scan::SaveDialogMemory saveDialog;
    DisinfectionTarget target;

    void run(const std::string& driveText = "E:", scan::SaveOffer saveOffer = scan::SaveOffer::Skip) {
        device::runDeviceDisinfection(ctx, driveText, saveOffer, saveDialog, target);
    }
    bool logHas(const std::string& line) const {
        return std::find(lines().begin(), lines().end(), line) != lines().end();
    }
};

TEST_F(DeviceDisinfection, NoDriveChosenOnlyAsks) {
    log.append("tips");
    machine.addProcess("wscript.exe");
    run("");
    language = scan::kEnglish;
    run("", scan::SaveOffer::Make);
    EXPECT_THAT(lines(), ElementsAre("tips"));
    EXPECT_FALSE(machine.isRunning("wscript.exe"));
    ASSERT_EQ(machine.transcript().size(), 2u);
    EXPECT_EQ(machine.transcript()[0].text, lines_::ChooseDeviceBox.pt);
    EXPECT_EQ(machine.transcript()[0].caption, lines_::ChooseDeviceCaption.pt);
    EXPECT_EQ(machine.transcript()[1].text, lines_::ChooseDeviceBox.en);
    EXPECT_EQ(machine.transcript()[1].caption, lines_::ChooseDeviceCaption.en);
    EXPECT_EQ(machine.transcript()[1].icon, Icon::Information);
}

TEST_F(DeviceDisinfection, CleanDriveWritesTheNotFoundLinesAndItsCopies) {
    machine.addProcess("wscript.exe");
    machine.addProcess("xcv.exe");
    run("E: [PENDRIVE]");
    EXPECT_EQ(target.deviceRoot, "E:\\");
    EXPECT_EQ(lines().at(2), "[VX] - Verificando Mídia Externa E:\\");
    // wscript.exe is ended silently first, so its own line says it was not running.
    EXPECT_EQ(lines().at(3), fill(removal::ProcessNotRunning.pt, {"[vx001]"}));
    EXPECT_EQ(lines().at(4), fill(removal::ProcessFinished.pt, {"[vx002]"}));
    EXPECT_EQ(lines().at(5), fill(removal::ProcessNotRunningBlank.pt, {"[vx003]"}));
    EXPECT_EQ(lines().at(6), fill(lines_::DriveMadeVisible.pt, {"E:\\"}));
    for (const char* name : {"RECYCLE", "RECYCLE.BIN", "$RECYCLE.BIN", "RECYCLER", "RECYCLER.BIN", "$RECYCLER.BIN",
                             "System Volume Information"})
        EXPECT_TRUE(logHas(fill(scan::texts::primitives::FolderNotFound.pt, {std::string("E:\\") + name + "\\"})))
            << name;
    EXPECT_TRUE(logHas(fill(lines_::RootFileNotFound.pt, {"autorun.inf", "E:\\"})));
    EXPECT_EQ(lines().back(), "[VX] - Processo Concluído com Sucesso!");
    EXPECT_EQ(lines()[lines().size() - 2], fill(lines_::NoVirusFound.pt, {"E:\\"}));
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].text, fill(texts::NoVirusInDriveBox.pt, {"E:\\"}));
    EXPECT_EQ(machine.transcript()[0].caption, lines_::NoVirusFoundCaption);

    // Both copies end with the verdict line; the window's log has the closing line after it.
    std::vector<std::string> copied(lines().begin(), lines().end() - 1);
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\AppData\\Roaming\\varrex\\vx-pen-07-12-2026-09-15-42.txt"),
              ansiFile(copied));
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\AppData\\Local\\varrex\\vx-pen-07-12-2026-09-15-42.txt"),
              ansiFile(copied));
}

TEST_F(DeviceDisinfection, HiddenFolderAndItsShortcut) {
    machine.addFolder("E:\\Fotos", attr::Directory | attr::Hidden | attr::System);
    machine.addFile("E:\\Fotos\\praia.jpg", "JPEG");
    machine.addFile("E:\\Fotos.lnk", "L", attr::Hidden);
    machine.addFile("E:\\autorun.inf", "[AutoRun]");
    run();
    EXPECT_EQ(machine.attributes("E:\\Fotos"), attr::Directory);
    EXPECT_EQ(machine.content("E:\\Fotos\\praia.jpg"), "JPEG");
    EXPECT_FALSE(machine.exists("E:\\Fotos.lnk"));
    EXPECT_FALSE(machine.exists("E:\\autorun.inf"));
    EXPECT_TRUE(logHas(fill(removal::FileDeleted.pt, {"E:\\Fotos.lnk"})));
    EXPECT_TRUE(logHas(fill(lines_::RootFileDeleted.pt, {"autorun.inf", "E:\\"})));
    EXPECT_TRUE(logHas(fill(removal::NothingFoundIn.pt, {"E:\\Fotos\\"})));
    const std::string found = fill(lines_::VirusesFoundBox.pt, {"E:\\"});
    EXPECT_TRUE(logHas(fill(lines_::VirusesFoundLine, {found})));
    EXPECT_EQ(machine.transcript().at(0).text, found);
    EXPECT_EQ(machine.transcript().at(0).caption, lines_::VirusesFoundCaption);
    EXPECT_EQ(machine.transcript().at(0).icon, Icon::Warning);
}

TEST_F(DeviceDisinfection, WormFoldersBecomeRecoveryFoldersByLanguage) {
    machine.addFolder("E:\\.Trashes", attr::Directory | attr::Hidden);
    machine.addFile("E:\\.Trashes\\tese.docx", "tese", attr::Hidden);
    machine.addFile("E:\\.Trashes\\worm.js", "js");
    machine.addFolder("E:\\Drive");
    machine.addFile("E:\\Drive\\Drive\\notas.txt", "notas");
    machine.addFile("E:\\Drive.bat", "@echo off");
    machine.addFolder("E:\\Files");  // no Files.bat: left alone
    run();
    EXPECT_EQ(machine.content("E:\\RECUPERADOS\\tese.docx"), "tese");
    EXPECT_EQ(machine.attributes("E:\\RECUPERADOS\\tese.docx"), attr::Normal);
    EXPECT_FALSE(machine.exists("E:\\RECUPERADOS\\worm.js"));
    EXPECT_EQ(machine.content("E:\\RECUPERADOS2\\Drive\\notas.txt"), "notas");
    EXPECT_FALSE(machine.exists("E:\\Drive.bat"));
    EXPECT_TRUE(machine.exists("E:\\Files"));
    EXPECT_EQ(target.recoveryPath, "E:\\RECUPERADOS2\\");
    EXPECT_TRUE(logHas(fill(lines_::WormFolderFound.pt, {"E:\\", ".Trashes"})));
    EXPECT_TRUE(logHas(fill(lines_::WormFolderRenamed.pt, {"E:\\", ".Trashes", "E:\\", "RECUPERADOS"})));
    EXPECT_TRUE(logHas(fill(lines_::FolderMadeVisible.pt, {"E:\\RECUPERADOS\\"})));
    EXPECT_TRUE(logHas(fill(lines_::BatchDeleted.pt, {"Drive.bat", "E:\\"})));
    EXPECT_TRUE(logHas(fill(lines_::WormFolderRenamed.pt, {"E:\\", "Drive", "E:\\", "RECUPERADOS2"})));
    EXPECT_TRUE(flags.infectionFound);

    machine.addFolder("E:\\.Trashes");
    language = scan::kEnglish;
    run();
    EXPECT_TRUE(machine.exists("E:\\RECOVERED"));
    EXPECT_TRUE(logHas(fill(lines_::WormFolderFound.en, {"E:\\", ".Trashes"})));
    EXPECT_TRUE(logHas(fill(lines_::WormFolderRenamed.en, {"E:\\", ".Trashes", "E:\\", "RECOVERED"})));
    EXPECT_TRUE(logHas(fill(lines_::VirusesFoundLine, {fill(lines_::VirusesFoundBox.en, {"E:\\"})})));
}

TEST_F(DeviceDisinfection, AReinfectedDriveGetsTheNextFreeRecoveryFolder) {
    machine.addDrive('F', DriveType::Removable, "PEN2");
    for (scan::Language lang : {scan::kPortuguese, scan::kEnglish}) {
        const bool pt = lang == scan::kPortuguese;
        const std::string r = pt ? "E:\\" : "F:\\";
        machine.addFile(r + "RECUPERADOS\\antigo.txt", "antigo", attr::Hidden);
        machine.addFolder(r + "RECOVERED");
        machine.addFolder(r + "RECOVERED2");
        machine.addFolder(r + "RECOVERED2 (2)");
        machine.addFolder(r + ".Trashes", attr::Directory | attr::Hidden);
        machine.addFile(r + ".Trashes\\novo.txt", "novo", attr::Hidden | attr::System);
        machine.addFile(r + ".Trashes\\virus.js", "w");
        machine.addFolder(r + "Drive", attr::Directory | attr::Hidden);
        machine.addFile(r + "Drive\\fotos.jpg", "jpg", attr::Hidden);
        machine.addFile(r + "Drive.bat", "@echo");
        language = lang;
        log.clear();
        run(r.substr(0, 2));
        const std::string first = r + (pt ? "RECUPERADOS (2)" : "RECOVERED (2)");
        const std::string second = r + (pt ? "RECUPERADOS2" : "RECOVERED2 (3)");
        EXPECT_EQ(machine.content(first + "\\novo.txt"), "novo");
        EXPECT_EQ(machine.attributes(first + "\\novo.txt"), attr::Normal);
        EXPECT_FALSE(machine.exists(first + "\\virus.js"));
        EXPECT_EQ(machine.content(second + "\\fotos.jpg"), "jpg");
        EXPECT_FALSE(machine.exists(r + ".Trashes"));
        EXPECT_EQ(machine.attributes(r + "RECUPERADOS\\antigo.txt"), attr::Hidden) << "the earlier one untouched";
        EXPECT_TRUE(logHas(scan::say(ctx, lines_::WormFolderRenamed, {r, ".Trashes", first, ""})));
        EXPECT_TRUE(logHas(scan::say(ctx, lines_::WormFolderRenamed, {r, "Drive", second, ""})));
        EXPECT_EQ(target.recoveryPath, second + "\\");
        EXPECT_TRUE(logHas(scan::say(ctx, removal::FileDeleted, {first + "\\virus.js"})));
    }
}

TEST_F(DeviceDisinfection, AWormFolderThatCannotBeRenamedIsMadeVisibleWhereItIs) {
    machine.addFolder("E:\\.Trashes", attr::Directory | attr::Hidden);
    machine.addFile("E:\\.Trashes\\novo.txt", "novo", attr::Hidden | attr::System);
    machine.setFaultHook([](std::string_view op, const std::string& path) {
        return op == "move" && path.starts_with("E:\\.Trashes");
    });
    run();
    EXPECT_TRUE(logHas(fill(lines_::WormFolderFound.pt, {"E:\\", ".Trashes"})));
    EXPECT_TRUE(logHas(fill(lines_::WormFolderNotRenamed.pt, {"E:\\", ".Trashes"})));
    EXPECT_FALSE(logHas(fill(lines_::WormFolderRenamed.pt, {"E:\\", ".Trashes", "E:\\", "RECUPERADOS"})));
    EXPECT_TRUE(logHas(fill(lines_::FolderMadeVisible.pt, {"E:\\.Trashes\\"})));
    EXPECT_EQ(machine.attributes("E:\\.Trashes\\novo.txt"), attr::Normal);
    EXPECT_EQ(target.recoveryPath, "E:\\");
    language = scan::kEnglish;
    log.clear();
    run();
    EXPECT_TRUE(logHas(fill(lines_::WormFolderNotRenamed.en, {"E:\\", ".Trashes"})));
}

TEST_F(DeviceDisinfection, AJunctionedWormFolderIsRenamedButNothingBehindItChanges) {
    machine.addFile("C:\\Dados\\app.js", "meu script", attr::Hidden);
    machine.addLink("E:\\.Trashes", "C:\\Dados");
    machine.addFolder("E:\\Drive");
    machine.addFile("E:\\Drive.bat", "@echo");
    machine.addLink("E:\\RECUPERADOS2", "C:\\Dados");
    run();
    EXPECT_EQ(machine.content("C:\\Dados\\app.js"), "meu script");
    EXPECT_EQ(machine.attributes("C:\\Dados\\app.js"), attr::Hidden);
    EXPECT_TRUE(logHas(fill(lines_::WormFolderRenamed.pt, {"E:\\", ".Trashes", "E:\\", "RECUPERADOS"})));
    EXPECT_FALSE(logHas(fill(lines_::FolderMadeVisible.pt, {"E:\\RECUPERADOS\\"})));
    EXPECT_TRUE(logHas(fill(removal::NothingFoundIn.pt, {"E:\\RECUPERADOS\\"})));
    EXPECT_TRUE(logHas(fill(lines_::WormFolderRenamed.pt, {"E:\\", "Drive", "E:\\", "RECUPERADOS2 (2)"})));
    scan::wormMaskAndRunValueRemoval(ctx, "E:\\RECUPERADOS2\\", "*.js");
    scan::wormMaskRemoval(ctx, "E:\\RECUPERADOS2\\", "*.js", scan::ShortcutSeen::No);
    EXPECT_EQ(machine.content("C:\\Dados\\app.js"), "meu script");
    EXPECT_EQ(lines().back(), removal::NothingFound.pt);
}

TEST_F(DeviceDisinfection, TheProgramOnTheDriveIsNoWorm) {
    // Whatever it is called: a lower-case name, or a worm's name.
    machine.addDrive('F', DriveType::Removable, "PEN2");
    for (const std::string program : {"E:\\varrex.exe", "F:\\USB.exe"}) {
        machine.addFile(program, "MZ program");
        machine.addFolder(program.substr(0, program.size() - 4));  // a folder of its name
        machine.setCurrentProcess(machine.addProcess(program.substr(3), program));
        machine.setProgramPath(program);
        log.clear();
        run(program.substr(0, 2));
        EXPECT_EQ(machine.content(program), "MZ program") << program;
        EXPECT_FALSE(flags.infectionFound) << program;
        EXPECT_TRUE(logHas(fill(lines_::NoVirusFound.pt, {program.substr(0, 3)}))) << program;
    }
}

TEST_F(DeviceDisinfection, SystemFoldersAreEmptiedAndRemoved) {
    machine.addFolder("E:\\RECYCLER", attr::Directory | attr::Hidden | attr::System);
    machine.addFile("E:\\RECYCLER\\S-1-5\\lulu.exe", "MZ");
    machine.addFolder("E:\\System Volume Information");
    machine.addFolder("E:\\System Volume Information\\preso", attr::Directory | attr::Hidden);
    run();
    EXPECT_FALSE(machine.exists("E:\\RECYCLER"));
    EXPECT_TRUE(logHas(fill(lines_::SystemFolderDeleted.pt, {"E:\\RECYCLER"})));
    EXPECT_TRUE(logHas(fill(lines_::SystemFolderNotDeleted.pt, {"E:\\System Volume Information"})));
    EXPECT_TRUE(flags.infectionFound) << "RECYCLER held a plain sub-folder";
}

TEST_F(DeviceDisinfection, NothingOffTheDriveIsTouched) {
    machine.addFile("C:\\Dados\\app.js", "meu script");
    machine.addFile("C:\\Dados\\foto.lnk", "L");
    machine.addFolder("E:\\.Trashes");
    machine.addLink("E:\\.Trashes\\fuga", "C:\\Dados");
    machine.addLink("E:\\Atalho", "C:\\Dados");
    machine.addFolder("E:\\RECYCLER");
    machine.addLink("E:\\RECYCLER\\fuga", "C:\\Dados");
    machine.addLink("E:\\RECYCLE.BIN", "C:\\Dados");
    run();
    EXPECT_EQ(machine.content("C:\\Dados\\app.js"), "meu script");
    EXPECT_EQ(machine.content("C:\\Dados\\foto.lnk"), "L");
    EXPECT_TRUE(logHas(fill(removal::NothingFoundIn.pt, {"E:\\Atalho\\"})));
}

TEST_F(DeviceDisinfection, FilesNamedLikeSystemProcessesEndNoCriticalProcess) {
    for (const char* name : {"csrss.exe", "lsass.exe", "svchost.exe", "varrex.exe"}) {
        machine.addFile(std::string("E:\\") + name, "MZ");
        machine.addFile(std::string("E:\\RECYCLER\\") + name, "MZ");
    }
    run();
    EXPECT_FALSE(machine.systemHalted());
    EXPECT_FALSE(machine.selfTerminated());
    EXPECT_TRUE(machine.isRunning("csrss.exe"));
    EXPECT_TRUE(machine.isRunning("varrex.exe"));
    EXPECT_FALSE(machine.exists("E:\\RECYCLER"));
}

TEST_F(DeviceDisinfection, ACopyThatCannotBeWrittenEndsTheRun) {
    machine.failPath("C:\\Users\\Usuario\\AppData\\Roaming\\varrex");
    run("E:", scan::SaveOffer::Make);
    ASSERT_EQ(machine.transcript().size(), 2u);
    EXPECT_EQ(machine.transcript()[1].kind, Kind::IoError);
    EXPECT_EQ(lines().back(), fill(lines_::NoVirusFound.pt, {"E:\\"})) << "no closing line, no save offer";
}

TEST_F(DeviceDisinfection, SaveOfferFollowsItsSwitch) {
    language = scan::kEnglish;
    machine.answerNext(Answer::Yes);
    machine.answerSaveDialog("C:\\log.txt");
    run("E:", scan::SaveOffer::Make);
    ASSERT_EQ(machine.transcript().size(), 3u);
    EXPECT_EQ(machine.transcript()[1].text, "Want to save the report?");
    EXPECT_EQ(machine.transcript()[2].save.title, "Save Log Scan Computer");
    EXPECT_EQ(machine.content("C:\\log.txt"), ansiFile(lines()));
}

TEST_F(DeviceDisinfection, HostileDrivesReachTheirVerdict) {
    std::string deep = "E:\\Fundo";
    for (int i = 0; i < 10000; ++i) deep += "\\d";
    machine.addFile(deep + "\\fim.txt", "fim");
    std::string deepRecycler = "E:\\RECYCLER";
    for (int i = 0; i < 10000; ++i) deepRecycler += "\\r";
    machine.addFile(deepRecycler + "\\x.exe", "MZ");
    for (int i = 0; i < 100000; ++i) machine.addFile("E:\\Muitos\\f" + std::to_string(i) + ".txt", "");
    const std::string longName(255, 'a');
    machine.addFile("E:\\" + longName, "longo");
    machine.addFile("E:\\\xE6\x97\xA5\xE6\x9C\xAC.js", "js");                 // outside the ANSI code page
    machine.addFile("E:\\ponto.", "ponto");
    machine.addFile("E:\\branco ", "branco");
    machine.addFile("E:\\fixo.txt", "fixo", attr::ReadOnly | attr::Hidden);
    machine.addFile("E:\\aberto.vbs", "vbs");
    machine.lockFile("E:\\aberto.vbs");

    run();
    EXPECT_EQ(machine.content(deep + "\\fim.txt"), "fim");
    EXPECT_FALSE(machine.exists("E:\\RECYCLER"));
    EXPECT_EQ(machine.content("E:\\" + longName), "longo");
    EXPECT_FALSE(machine.exists("E:\\\xE6\x97\xA5\xE6\x9C\xAC.js"));
    EXPECT_EQ(machine.content("E:\\ponto."), "ponto");
    EXPECT_EQ(machine.content("E:\\branco "), "branco");
    EXPECT_EQ(machine.attributes("E:\\fixo.txt"), attr::Normal);
    EXPECT_TRUE(machine.exists("E:\\aberto.vbs"));
    EXPECT_TRUE(logHas(fill(removal::FileNotDeleted.pt, {"E:\\aberto.vbs"})));
    EXPECT_TRUE(logHas(fill(lines_::VirusesFoundLine, {fill(lines_::VirusesFoundBox.pt, {"E:\\"})})));
}

TEST_F(DeviceDisinfection, ADriveThatVanishesAtAnyPointStillGivesAVerdict) {
    machine.addFolder("E:\\.Trashes", attr::Directory | attr::Hidden);
    machine.addFile("E:\\.Trashes\\a.js", "js");
    machine.addFile("E:\\Drive.bat", "x");
    machine.addFolder("E:\\Drive");
    machine.addFile("E:\\RECYCLER\\x\\y.exe", "MZ");
    machine.addFile("E:\\Fotos.lnk", "L");
    machine.addFile("E:\\x.vbs", "v");
    machine.addFile("E:\\autorun.inf", "a");
    const memory::Machine original = machine;
    for (uint64_t k = 0; k < 400; k += 3) {
        memory::Machine copy = original;
        scan::ActivityLog copyLog;
        scan::RunFlags copyFlags;
        scan::RunContext copyCtx{copy.platform(), copyLog, copyFlags, language};
        copy.vanishDriveAfter(k, 'E');
        device::runDeviceDisinfection(copyCtx, "E:", scan::SaveOffer::Skip, saveDialog, target);
        ASSERT_FALSE(copyLog.lines().empty()) << k;
        EXPECT_THAT(copyLog.lines().back(), HasSubstr("Processo Concluído com Sucesso!")) << "vanished after " << k;
        EXPECT_EQ(copy.transcript().size(), 1u) << k;
    }
}

}  // namespace
}  // namespace vx::test
