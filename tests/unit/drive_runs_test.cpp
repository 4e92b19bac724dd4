#include "device/drive_runs.h"

#include "device/device_check.h"
#include "device/device_disinfection.h"
#include "device/device_texts.h"
#include "scan/quarantine.h"
#include "scan/shown_names.h"
#include "scan_fixture.h"
#include "shortcut_builder.h"

namespace vx::test {
namespace {

using scan::fill;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
namespace found = device::texts::drive_runs;
namespace removed = device::texts::disinfection;

const std::string kCmd = "%windir%\\system32\\cmd.exe";
const std::string kStore = "C:\\Users\\Usuario\\AppData\\Local\\varrex\\quarantine";

struct DriveRuns : ScanFixture {
    scan::SaveDialogMemory saveDialog;
    device::DisinfectionTarget target;
    std::string deviceRoot;

    void shortcut(const std::string& path, const std::string& program, const std::string& arguments,
                  uint32_t attributes = attr::Archive, const std::string& workingFolder = "") {
        ShortcutRecipe recipe;
        recipe.envTarget = program;
        recipe.arguments = arguments;
        recipe.workingFolder = workingFolder;
        machine.addFile(path, shortcutBytes(recipe), attributes);
    }
    void check() { device::runDeviceCheck(ctx, "E:", scan::SaveOffer::Skip, saveDialog, deviceRoot); }
    void disinfect() { device::runDeviceDisinfection(ctx, "E:", scan::SaveOffer::Skip, saveDialog, target); }
    bool kept(const std::string& path) {
        for (const auto& e : machine.listTree(kStore)) {
            if ((e.attributes & attr::Directory) == 0 || e.path.find('\\', kStore.size() + 1) != std::string::npos)
                continue;
            for (const auto& item : scan::readKeptRun(machine.platform(), e.path + "\\").items)
                if (item.path == path) return true;
        }
        return false;
    }
};

TEST_F(DriveRuns, ACmdChainIntoANamelessFolderIsFoundAndItsProgramRemoved) {
    machine.addFolder("E:\\_", attr::Directory | attr::Hidden | attr::System);
    machine.addFile("E:\\_\\Fotos\\praia.jpg", "JPEG");
    machine.addFile("E:\\_\\DeviceManager.exe", "MZ worm", attr::Hidden);
    shortcut("E:\\PENDRIVE.lnk", kCmd, "/c start _ & _\\DeviceManager.exe & exit");

    check();
    EXPECT_THAT(lines(), Contains(found::Checking.pt));
    EXPECT_THAT(lines(), Contains(fill(found::ShortcutRuns.pt,
                                       {"E:\\PENDRIVE.lnk", kCmd + " /c start _ & _\\DeviceManager.exe & exit"})));
    EXPECT_THAT(lines(), Contains(fill(found::WormCodeFound.pt, {"E:\\_\\DeviceManager.exe", "E:\\PENDRIVE.lnk"})));
    EXPECT_THAT(lines(), Contains(fill(found::HidingFolderFound.pt, {"E:\\_"})));
    EXPECT_TRUE(flags.infectionFound);

    disinfect();
    EXPECT_THAT(lines(), Contains(fill(removed::WormFolderRenamed.pt, {"E:\\", "_", "E:\\", "RECUPERADOS"})));
    EXPECT_THAT(lines(), Contains(fill(removed::WormCodeDeleted.pt, {"E:\\RECUPERADOS\\DeviceManager.exe"})));
    EXPECT_FALSE(machine.exists("E:\\RECUPERADOS\\DeviceManager.exe"));
    EXPECT_TRUE(kept("E:\\RECUPERADOS\\DeviceManager.exe"));
    EXPECT_EQ(machine.content("E:\\RECUPERADOS\\Fotos\\praia.jpg"), "JPEG");
    EXPECT_FALSE(flags.removalFailed);

    check();
    EXPECT_THAT(lines(), Contains(found::NothingRun.pt));
}

TEST_F(DriveRuns, RundllAndAutorunAtTheRootInEnglishWithTheFolderNameShownByCode) {
    language = scan::kEnglish;
    machine.addFolder("E:\\\xC2\xA0", attr::Directory | attr::Hidden | attr::System);
    machine.addFile("E:\\\xC2\xA0\\tese.docx", "tese");
    machine.addFile("E:\\~$WQQAS.FAT32", "MZ dll", attr::Hidden | attr::System);
    machine.addFile("E:\\x.dat", "MZ second");
    shortcut("E:\\PENDRIVE.lnk", "%windir%\\system32\\rundll32.exe", "~$WQQAS.FAT32,_ldr@16 desktop.ini RET TLB");
    machine.addFile("E:\\autorun.inf", "\x01\x02junk\r\n[AutoRun]\r\nOpen=rundll32.exe x.dat,Start\r\n");

    check();
    EXPECT_THAT(lines(), Contains(fill(found::WormCodeFound.en, {"E:\\~$WQQAS.FAT32", "E:\\PENDRIVE.lnk"})));
    EXPECT_THAT(lines(), Contains(fill(found::WormCodeFound.en, {"E:\\x.dat", "E:\\autorun.inf"})));
    EXPECT_THAT(lines(), Contains(fill(found::HidingFolderFound.en, {"E:\\[U+00A0]"})));

    machine.addFolder("E:\\RECOVERED");  // left by an earlier disinfection
    disinfect();
    EXPECT_THAT(lines(), Contains(fill(removed::WormFolderRenamed.en, {"E:\\", "[U+00A0]", "E:\\", "RECOVERED (2)"})));
    EXPECT_THAT(lines(), Contains(fill(removed::WormCodeDeleted.en, {"E:\\~$WQQAS.FAT32"})));
    EXPECT_FALSE(machine.exists("E:\\~$WQQAS.FAT32"));
    EXPECT_FALSE(machine.exists("E:\\x.dat"));
    EXPECT_EQ(machine.content("E:\\RECOVERED (2)\\tese.docx"), "tese");
}

TEST_F(DriveRuns, TheFileCmdReadsItsCommandsFromIsCodeWhatStartOpensIsNot) {
    machine.addFile("E:\\Uo.ICO", "start explorer Fotos", attr::Hidden);
    machine.addFolder("E:\\Fotos");
    machine.addFile("E:\\Fotos\\a.jpg", "a");
    machine.addFile("E:\\budget.xls", "xls");
    shortcut("E:\\Fotos.lnk", kCmd, "/RCmD<Uo.ICO");
    shortcut("E:\\budget.lnk", kCmd, "/c start budget.xls & start explorer Fotos");

    disinfect();
    EXPECT_THAT(lines(), Contains(fill(removed::WormCodeDeleted.pt, {"E:\\Uo.ICO"})));
    EXPECT_FALSE(machine.exists("E:\\Uo.ICO"));
    EXPECT_EQ(machine.content("E:\\budget.xls"), "xls");
    EXPECT_EQ(machine.content("E:\\Fotos\\a.jpg"), "a");
}

TEST_F(DriveRuns, AProgramTargetedDirectlyIsTheWormsOnlyWhenHidden) {
    machine.addFile("E:\\PortableApps\\editor.exe", "MZ editor");
    machine.addFolder("E:\\sys", attr::Directory | attr::Hidden);
    machine.addFile("E:\\sys\\svchost.exe", "MZ worm");
    machine.addFile("E:\\hidden.pdf", "pdf", attr::Hidden);
    machine.addFolder("C:\\Windows\\System32");
    machine.addFile("C:\\Windows\\System32\\notepad.exe", "MZ notepad");
    shortcut("E:\\Editor.lnk", "E:\\PortableApps\\editor.exe", "");
    shortcut("E:\\Docs.lnk", "E:\\sys\\svchost.exe", "");
    shortcut("E:\\Pdf.lnk", "E:\\hidden.pdf", "");
    shortcut("E:\\Notes.lnk", "C:\\Windows\\System32\\notepad.exe", "");
    machine.addLink("E:\\link", "C:\\Windows\\System32");
    shortcut("E:\\Through.lnk", kCmd, "/c link\\notepad.exe");
    machine.addFile("E:\\bad.lnk", std::string(200, 'x'));

    check();
    EXPECT_THAT(lines(), Contains(fill(found::WormCodeFound.pt, {"E:\\sys\\svchost.exe", "E:\\Docs.lnk"})));
    EXPECT_THAT(lines(), Contains(fill(found::ShortcutUnreadable.pt, {"E:\\bad.lnk"})));
    for (const auto& line : lines()) {
        EXPECT_THAT(line, Not(HasSubstr("encontrado: E:\\PortableApps"))) << "a visible portable program";
        EXPECT_THAT(line, Not(HasSubstr("hidden.pdf ("))) << "a document";
        EXPECT_THAT(line, Not(HasSubstr("encontrado: C:\\"))) << "outside the drive";
        EXPECT_THAT(line, Not(HasSubstr("encontrado: E:\\link"))) << "behind a link";
    }
    disinfect();
    EXPECT_TRUE(machine.exists("E:\\PortableApps\\editor.exe"));
    EXPECT_TRUE(machine.exists("E:\\hidden.pdf"));
    EXPECT_TRUE(machine.exists("C:\\Windows\\System32\\notepad.exe"));
    EXPECT_FALSE(machine.exists("E:\\sys\\svchost.exe"));
}

TEST(ShownNames, CharactersThatShowNothingAreWrittenAsTheirCodes) {
    EXPECT_EQ(scan::shownName("\xC2\xA0"), "[U+00A0]");
    EXPECT_EQ(scan::shownName("  "), "[U+0020][U+0020]");
    EXPECT_EQ(scan::shownName("_"), "_");
    EXPECT_EQ(scan::shownName("Trabalho escolar"), "Trabalho escolar");
    EXPECT_EQ(scan::markInvisible("E:\\a\xE2\x80\x8B" "b"), "E:\\a[U+200B]b");
    EXPECT_EQ(scan::markInvisible("Vírus\tção"), "Vírus\tção");
    EXPECT_EQ(scan::markInvisible("\xFF\xC2"), "\xFF\xC2") << "bytes that are not UTF-8 kept";
    for (const char* nameless : {"_", "__", " ", "\xC2\xA0", "\xE2\x80\x8B", "-.-", "\xE3\x80\x80"})
        EXPECT_FALSE(scan::hasLetterOrDigit(nameless)) << nameless;
    for (const char* named : {"a", "_1", "ção", "\xE6\x96\x87", "º"}) EXPECT_TRUE(scan::hasLetterOrDigit(named)) << named;
}

}  // namespace
}  // namespace vx::test
