#include "tools/quarantine_tool.h"
#include "tools/temp_folders.h"
#include "tools/tool_texts.h"

#include "kept_run_builder.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using tools::restoreItems;

const std::string kDesk = "C:\\Users\\Usuario\\Desktop\\";
const std::string kRun1 = kQuarantineStore + "\\07-12-2026-09-15-42\\";
constexpr uint32_t kPenSerial = 0x1234ABCD;

namespace texts = tools::texts::quarantine;
using scan::fill;

// The Portuguese restore lines.
std::string restored(const std::string& place) { return fill(texts::Restored.pt, {place}); }
std::string notRestored(const std::string& place, const scan::Text& reason) {
    return fill(texts::NotRestored.pt, {place, reason.pt});
}

struct QuarantineTool : ScanFixture {
    KeptRunBuilder build(const std::string& name = "07-12-2026-09-15-42",
                         scan::KeptRunHeader header = KeptRunBuilder::computerRun()) {
        return KeptRunBuilder(machine, name, std::move(header));
    }
    std::vector<scan::KeptRun> runs() { return tools::listKeptRuns(ctx); }
    scan::KeptRun onlyRun() {
        auto all = runs();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? scan::KeptRun{} : all.front();
    }
    tools::RestoreCount restoreAll(const scan::KeptRun& run) {
        std::vector<size_t> every;
        for (size_t i = 0; i < run.items.size(); ++i) every.push_back(i);
        return restoreItems(ctx, run, every);
    }
};

TEST_F(QuarantineTool, AFileGoesBackWithItsAttributesAndAnEmptiedRunDisappears) {
    build().file(kDesk + "fotos\\praia.jpg", "JPEGDATA", attr::Hidden | attr::ReadOnly).write();
    const auto count = restoreAll(onlyRun());
    EXPECT_EQ(count.restored, 1);
    EXPECT_EQ(count.failed, 0);
    EXPECT_EQ(machine.content(kDesk + "fotos\\praia.jpg"), "JPEGDATA") << "the missing folder was made";
    EXPECT_EQ(machine.attributes(kDesk + "fotos\\praia.jpg"), attr::Hidden | attr::ReadOnly);
    EXPECT_THAT(lines(), ElementsAre(restored(kDesk + "fotos\\praia.jpg")));
    EXPECT_FALSE(machine.exists(kRun1)) << "nothing was left in the run";
    EXPECT_TRUE(runs().empty());
}

TEST_F(QuarantineTool, NothingIsOverwrittenTheCopyGoesBeside) {
    machine.addFile(kDesk + "nota.txt", "new text");
    machine.addFile(kDesk + "nota (restaurado).txt", "an earlier restore");
    machine.addFile(kDesk + "LEIAME", "there");
    build().file(kDesk + "nota.txt", "old text").file(kDesk + "LEIAME", "kept").write();
    EXPECT_EQ(restoreAll(onlyRun()).restored, 2);
    EXPECT_EQ(machine.content(kDesk + "nota.txt"), "new text");
    EXPECT_EQ(machine.content(kDesk + "nota (restaurado).txt"), "an earlier restore");
    EXPECT_EQ(machine.content(kDesk + "nota (restaurado 2).txt"), "old text");
    EXPECT_EQ(machine.content(kDesk + "LEIAME (restaurado)"), "kept") << "a name without extension";
    EXPECT_THAT(lines(),
                ElementsAre(restored(kDesk + "nota (restaurado 2).txt"), restored(kDesk + "LEIAME (restaurado)")));

    language = scan::kEnglish;
    build("08-12-2026-10-00-00").file(kDesk + "nota.txt", "older text").write();
    restoreAll(onlyRun());
    EXPECT_EQ(machine.content(kDesk + "nota (restored).txt"), "older text");
}

TEST_F(QuarantineTool, FoldersComeFirstAndNothingIsWrittenThroughAJunction) {
    machine.addFolder("C:\\Outro");
    machine.addLink("C:\\Dados\\Atalho", "C:\\Outro");
    build()
        .file("C:\\Dados\\Fotos\\a.txt", "A")
        .folderItem("C:\\Dados\\Fotos", attr::Directory | attr::Hidden)
        .file("C:\\Dados\\Atalho\\b.txt", "B")
        .write();
    EXPECT_EQ(restoreAll(onlyRun()).failed, 1);
    EXPECT_EQ(machine.attributes("C:\\Dados\\Fotos"), attr::Directory | attr::Hidden);
    EXPECT_EQ(machine.content("C:\\Dados\\Fotos\\a.txt"), "A");
    EXPECT_FALSE(machine.exists("C:\\Outro\\b.txt"));
    EXPECT_THAT(lines(), ElementsAre(restored("C:\\Dados\\Fotos"), restored("C:\\Dados\\Fotos\\a.txt"),
                                     notRestored("C:\\Dados\\Atalho\\b.txt", texts::ThroughJunction)));
}

TEST_F(QuarantineTool, ARegistryValueComesBackUnlessOneOfThatNameExists) {
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    machine.setText(RootKey::CurrentUser, run, "Taken", "C:\\novo.exe");
    build()
        .value(RootKey::CurrentUser, run, "Agenda", platform::RegValue::text("C:\\agenda.exe", platform::regtype::ExpandSz))
        .value(RootKey::CurrentUser, run, "Taken", platform::RegValue::dword(7))
        .value(RootKey::CurrentUser, "Software\\Nova\\Chave", "Numero", platform::RegValue::dword(42))
        .write();
    const auto count = restoreAll(onlyRun());
    EXPECT_EQ(count.restored, 1);
    EXPECT_EQ(count.failed, 2);
    const auto agenda = machine.value(RootKey::CurrentUser, run, "Agenda");
    ASSERT_TRUE(agenda);
    EXPECT_EQ(agenda->type, platform::regtype::ExpandSz);
    EXPECT_EQ(agenda->asText(), "C:\\agenda.exe");
    EXPECT_EQ(machine.text(RootKey::CurrentUser, run, "Taken"), "C:\\novo.exe") << "left as it is";
    EXPECT_FALSE(machine.keyExists(RootKey::CurrentUser, "Software\\Nova\\Chave"))
        << "no value goes back to a key the disinfections never delete from";
    EXPECT_THAT(lines(),
                ElementsAre(restored("HKEY_CURRENT_USER\\" + run + "\\Agenda"),
                            notRestored("HKEY_CURRENT_USER\\" + run + "\\Taken", texts::ValueExists),
                            notRestored("HKEY_CURRENT_USER\\Software\\Nova\\Chave\\Numero", texts::NotAPlaceKept)));
    const auto left = onlyRun();
    ASSERT_EQ(left.items.size(), 2u) << "the refused values stay in the store";
    EXPECT_EQ(left.items[0].value.name, "Taken");
}

TEST_F(QuarantineTool, ADeviceItemGoesToTheDriveWithItsSerialWhateverItsLetter) {
    machine.removeDrive('E');
    machine.addDrive('G', DriveType::Removable, "OUTRO");
    machine.addDrive('F', DriveType::Removable, "PENDRIVE");
    machine.setVolumeSerial('G', 0x11112222);
    machine.setVolumeSerial('F', kPenSerial);
    build("07-12-2026-09-15-42", KeptRunBuilder::deviceRun("E:\\"))
        .folderItem("E:\\Fotos", attr::Directory | attr::Hidden, kPenSerial)
        .file("E:\\Fotos\\a.jpg", "A", attr::Archive, kPenSerial)
        .write();
    EXPECT_EQ(restoreAll(onlyRun()).restored, 2);
    EXPECT_EQ(machine.content("F:\\Fotos\\a.jpg"), "A");
    EXPECT_EQ(machine.attributes("F:\\Fotos"), attr::Directory | attr::Hidden);
    EXPECT_FALSE(machine.exists("G:\\Fotos"));
    EXPECT_THAT(lines(), ElementsAre(restored("F:\\Fotos"), restored("F:\\Fotos\\a.jpg")));
    EXPECT_TRUE(machine.transcript().empty()) << "the drive was there: no box";
}

TEST_F(QuarantineTool, AnAbsentDriveIsAskedForOnceThenItsItemsFail) {
    machine.setVolumeSerial('E', 0x99998888);
    build("07-12-2026-09-15-42", KeptRunBuilder::computerRun())
        .file("E:\\a.doc", "A", attr::Archive, kPenSerial)
        .file("E:\\b.doc", "B", attr::Archive, kPenSerial)
        .file(kDesk + "c.doc", "C")
        .write();
    const auto count = restoreAll(onlyRun());
    EXPECT_EQ(count.restored, 1);
    EXPECT_EQ(count.failed, 2);
    ASSERT_EQ(machine.transcript().size(), 1u) << "one box for the two items of the drive";
    const auto& box = machine.transcript()[0];
    EXPECT_EQ(box.text, fill(texts::InsertDeviceBox.pt, {"1234-ABCD"}));
    EXPECT_EQ(box.caption, tools::texts::HeadsUpCaption.pt);
    EXPECT_EQ(box.icon, platform::Icon::Information);
    EXPECT_FALSE(machine.exists("E:\\a.doc")) << "another volume on the same letter gets nothing";
    EXPECT_THAT(lines(), ElementsAre(notRestored("E:\\a.doc", texts::DeviceAbsent),
                                     notRestored("E:\\b.doc", texts::DeviceAbsent), restored(kDesk + "c.doc")));
    EXPECT_EQ(onlyRun().items.size(), 2u);
}

TEST_F(QuarantineTool, ADamagedItemIsListedAsSuchAndNeverRestoredTheRestIs) {
    build().file(kDesk + "bom.txt", "good").file(kDesk + "ruim.txt", "bad").file(kDesk + "feio.txt", "ugly").write();
    // The third copy is cut off the pack; the second no longer gives its
    // recorded bytes, which only a restore, reading them, can tell.
    std::string pack = machine.content(kRun1 + scan::kPackName).value();
    pack[5] ^= 0x55;
    machine.addFile(kRun1 + scan::kPackName, pack.substr(0, 7));
    auto run = onlyRun();
    ASSERT_EQ(run.items.size(), 3u);
    EXPECT_EQ(tools::itemListLine(ctx, run, run.items[0]), "Arquivo - " + kDesk + "bom.txt - 4B");
    EXPECT_EQ(tools::itemListLine(ctx, run, run.items[1]), "Arquivo - " + kDesk + "ruim.txt - 3B");
    EXPECT_EQ(tools::itemListLine(ctx, run, run.items[2]), "Arquivo - " + kDesk + "feio.txt - 4B - danificado");
    const auto count = restoreAll(run);
    EXPECT_EQ(count.restored, 1);
    EXPECT_EQ(count.failed, 2);
    EXPECT_EQ(machine.content(kDesk + "bom.txt"), "good");
    EXPECT_FALSE(machine.exists(kDesk + "ruim.txt")) << "a copy that does not verify is removed";
    EXPECT_FALSE(machine.exists(kDesk + "feio.txt"));
    EXPECT_THAT(lines(), ElementsAre(restored(kDesk + "bom.txt"), notRestored(kDesk + "ruim.txt", texts::CopyMismatch),
                                     notRestored(kDesk + "feio.txt", texts::Damaged)));
    EXPECT_EQ(onlyRun().items.size(), 2u) << "the damaged items stay, the run with them";
}

TEST_F(QuarantineTool, ACopyThatCannotBeWrittenOrVerifiedLeavesNothingBehind) {
    build().file(kDesk + "a.txt", "A").file(kDesk + "b.txt", "B").write();
    machine.failPath(kDesk + "a.txt");
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        return op == "newFileRead" && path == kDesk + "b.txt";
    });
    const auto count = restoreAll(onlyRun());
    EXPECT_EQ(count.failed, 2);
    EXPECT_FALSE(machine.exists(kDesk + "b.txt")) << "the copy that could not be read back is removed";
    EXPECT_THAT(lines(), ElementsAre(notRestored(kDesk + "a.txt", texts::CouldNotWrite),
                                     notRestored(kDesk + "b.txt", texts::CopyMismatch)));
    machine.clearFaults();
    EXPECT_EQ(onlyRun().items.size(), 2u);
}

TEST_F(QuarantineTool, ListsNewestFirstAndSkipsAnUnreadableRunWithOneLine) {
    build("01-01-2027-08-00-00", KeptRunBuilder::deviceRun("E:\\", "01/01/2027", "08:00:00"))
        .file("E:\\a.lnk", std::string(1536, 'x'))
        .file("E:\\b.lnk", "b")
        .write();
    build().file(kDesk + "c.vbs", "c").write();
    build("07-12-2026-09-15-42 (2)").file(kDesk + "d.vbs", "d").write();
    build("05-12-2026-10-00-00").file(kDesk + "e.vbs", "e").write();
    machine.failPath(kQuarantineStore + "\\05-12-2026-10-00-00");
    const auto all = runs();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].folder, kQuarantineStore + "\\01-01-2027-08-00-00\\") << "by date, not by the name's text";
    EXPECT_EQ(all[1].folder, kQuarantineStore + "\\07-12-2026-09-15-42 (2)\\");
    EXPECT_EQ(all[2].folder, kRun1);
    EXPECT_EQ(tools::runListLine(ctx, all[0]), "01/01/2027 08:00:00 - Dispositivo E:\\ - 2 itens - " +
                                                   tools::sizeText(machine.clock(), all[0].bytes));
    EXPECT_THAT(tools::runListLine(ctx, all[2]), HasSubstr("07/12/2026 09:15:42 - Computador - 1 item - "));
    EXPECT_THAT(lines(), ElementsAre(fill(texts::RunUnreadable.pt, {kQuarantineStore + "\\05-12-2026-10-00-00\\"})));
    language = scan::kEnglish;
    EXPECT_THAT(tools::runListLine(ctx, all[0]), HasSubstr(" - Device E:\\ - 2 items - "));
}

TEST_F(QuarantineTool, TwelveHourStampsSortByTheirAfternoonMark) {
    machine.setLocale(memory::Locale::unitedStates());
    build("12-7-2026-10-00-00 AM").file(kDesk + "a.vbs", "a").write();
    build("12-7-2026-9-15-42 PM").file(kDesk + "b.vbs", "b").write();
    build("12-6-2026-11-59-59 PM").file(kDesk + "c.vbs", "c").write();
    const auto all = runs();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].folder, kQuarantineStore + "\\12-7-2026-9-15-42 PM\\");
    EXPECT_EQ(all[1].folder, kQuarantineStore + "\\12-7-2026-10-00-00 AM\\");
    EXPECT_EQ(all[2].folder, kQuarantineStore + "\\12-6-2026-11-59-59 PM\\");
}

}  // namespace
}  // namespace vx::test
