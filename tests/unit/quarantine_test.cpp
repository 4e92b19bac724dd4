#include "scan/quarantine.h"

#include "device/device_disinfection.h"
#include "scan/startup_entries.h"
#include "scan/worm_removal.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using ::testing::HasSubstr;

const std::string kStore = "C:\\Users\\Usuario\\AppData\\Local\\varrex\\quarantine";

struct Quarantine : ScanFixture {
    scan::SaveDialogMemory saveDialog;
    device::DisinfectionTarget target;

    void disinfect() { device::runDeviceDisinfection(ctx, "E:", scan::SaveOffer::Skip, saveDialog, target); }

    // The folders of the runs kept so far.
    std::vector<std::string> runFolders() const {
        std::vector<std::string> out;
        for (const auto& e : machine.listTree(kStore))
            if ((e.attributes & attr::Directory) && e.path.find('\\', kStore.size() + 1) == std::string::npos)
                out.push_back(e.path + "\\");
        return out;
    }
    scan::KeptRun onlyRun() {
        const auto folders = runFolders();
        EXPECT_EQ(folders.size(), 1u);
        return folders.empty() ? scan::KeptRun{} : scan::readKeptRun(machine.platform(), folders[0]);
    }
    const scan::KeptItem* itemAt(const scan::KeptRun& run, const std::string& path) const {
        for (const auto& item : run.items)
            if (item.path == path) return &item;
        return nullptr;
    }
};

TEST_F(Quarantine, ADisinfectionKeepsEveryFileItDeletesVerifiedAndDisguised) {
    machine.setVolumeSerial('E', 0x1234ABCD);
    machine.addFile("E:\\Fotos.lnk", "shortcut bytes", attr::Hidden);
    machine.addFile("E:\\x.vbs", "WScript.Echo 'worm'");
    machine.addFile("E:\\RECYCLER\\S-1\\foto apagada.jpg", "the user's deleted photo");
    machine.addFolder("E:\\RECYCLER", attr::Directory | attr::Hidden | attr::System);
    machine.setText(RootKey::CurrentUser, scan::kRunKeyPath, "x", "wscript.exe E:\\x.vbs");
    disinfect();

    const scan::KeptRun run = onlyRun();
    EXPECT_TRUE(run.header.device);
    EXPECT_EQ(run.header.deviceRoot, "E:\\");
    const auto* shortcut = itemAt(run, "E:\\Fotos.lnk");
    ASSERT_NE(shortcut, nullptr);
    EXPECT_FALSE(shortcut->damaged) << shortcut->damage;
    EXPECT_EQ(shortcut->size, 14u);
    EXPECT_EQ(shortcut->volumeSerial, 0x1234ABCDu);
    const auto* folder = itemAt(run, "E:\\RECYCLER");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->kind, scan::KeptKind::Folder);
    EXPECT_EQ(folder->attributes, attr::Directory) << "the root was made visible before";
    ASSERT_NE(itemAt(run, "E:\\RECYCLER\\S-1"), nullptr);
    ASSERT_NE(itemAt(run, "E:\\RECYCLER\\S-1\\foto apagada.jpg"), nullptr);
    bool valueKept = false;
    for (const auto& item : run.items)
        valueKept = valueKept || (item.kind == scan::KeptKind::Value && item.value.name == "x" &&
                                  item.value.value.asText() == "wscript.exe E:\\x.vbs");
    EXPECT_TRUE(valueKept);

    // The pack holds no original bytes and is named like no program.
    for (const auto& e : machine.listTree(run.folder)) {
        if (e.attributes & attr::Directory) continue;
        EXPECT_TRUE(e.path.ends_with("pack.vxp") || e.path.ends_with("manifest.txt")) << e.path;
        if (!e.path.ends_with(".vxp")) continue;
        const std::string bytes = machine.content(e.path).value_or("");
        for (const char* original : {"shortcut bytes", "WScript.Echo", "deleted photo"})
            EXPECT_THAT(bytes, ::testing::Not(HasSubstr(original))) << e.path;
    }
}

TEST_F(Quarantine, AFileThatCannotBeKeptIsNotDeleted) {
    machine.addFile("E:\\Fotos.lnk", "L");
    machine.addFile("E:\\bat.bat", "@echo");
    machine.failPath(kStore);
    disinfect();
    EXPECT_EQ(machine.content("E:\\Fotos.lnk"), "L");
    EXPECT_TRUE(machine.exists("E:\\bat.bat"));
    EXPECT_THAT(lines(), ::testing::Contains("[VX] > Não foi possível Excluir o Arquivo E:\\Fotos.lnk"));
    EXPECT_EQ(flags.removalFailed, 1);

    // A store whose drive would keep less than 1 GB free takes nothing either.
    machine.clearFaults();
    machine.setFreeBytes('C', scan::kQuarantineFreeSpaceFloor + 10);
    log.clear();
    disinfect();
    EXPECT_EQ(machine.content("E:\\Fotos.lnk"), "L");
    machine.setFreeBytes('C', uint64_t{1} << 40);
    log.clear();
    disinfect();
    EXPECT_FALSE(machine.exists("E:\\Fotos.lnk"));
}

TEST_F(Quarantine, EachKeepCallTellsWhyItKeptNothing) {
    using scan::KeepRefusal;
    machine.addFile("E:\\Fotos.lnk", "L");
    machine.addFolder("E:\\Fotos", attr::Directory);
    {
        scan::KeepingScope keeping(ctx, scan::KeptFrom::Device, "E:\\");
        scan::QuarantineRun& run = keeping.run();
        EXPECT_EQ(run.keepFile("Fotos.lnk").refusal(), KeepRefusal::NotAbsolute);
        EXPECT_EQ(run.keepFile("\\\\server\\share\\a.lnk").refusal(), KeepRefusal::Unkeepable);
        EXPECT_EQ(run.keepFile("E:\\missing.lnk").refusal(), KeepRefusal::NotHeld);
        EXPECT_EQ(run.keepFile("E:\\Fotos").refusal(), KeepRefusal::NotHeld);
        EXPECT_EQ(run.keepFolder("Fotos", attr::Directory).refusal(), KeepRefusal::NotAbsolute);
        EXPECT_TRUE(run.keepValue(RootKey::CurrentUser, scan::kRunKeyPath, "none")) << "nothing there to lose";
        EXPECT_TRUE(run.keepFile("E:\\Fotos.lnk"));
        EXPECT_EQ(run.refusal(), KeepRefusal::None) << "no refusal of one item stops the run";
    }
    // A refusal of the whole run is the reason of every call that follows it.
    machine.setFreeBytes('C', scan::kQuarantineFreeSpaceFloor + 10);
    scan::KeepingScope keeping(ctx, scan::KeptFrom::Device, "E:\\");
    EXPECT_EQ(keeping.run().keepFile("E:\\Fotos.lnk").refusal(), KeepRefusal::DiskFloor);
    EXPECT_EQ(keeping.run().keepFolder("E:\\Fotos", attr::Directory).refusal(), KeepRefusal::DiskFloor);
    EXPECT_EQ(keeping.run().refusal(), KeepRefusal::DiskFloor);
}

TEST_F(Quarantine, AValueThatCannotBeKeptStaysWhileTheLineIsWrittenAsBefore) {
    machine.addFile("E:\\virus.js", "w");
    machine.setText(RootKey::CurrentUser, scan::kRunKeyPath, "virus", "wscript E:\\virus.js");
    // The file is kept; the store refuses the record of the value that follows.
    int records = 0;
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        return op == "writeLine" && path.ends_with("manifest.txt") && ++records > 3;
    });
    scan::KeepingScope keeping(ctx, scan::KeptFrom::Device, "E:\\");
    scan::wormMaskAndRunValueRemoval(ctx, "E:\\", "*.js");
    EXPECT_FALSE(machine.exists("E:\\virus.js"));
    EXPECT_TRUE(machine.text(RootKey::CurrentUser, scan::kRunKeyPath, "virus").has_value());
    EXPECT_THAT(lines(), ::testing::Contains("[VX] > Chave de Registro virus Deletada!"));
}

TEST_F(Quarantine, BadRecordsAreDamagedAndTheRestStaysWhole) {
    machine.addFile("E:\\a.lnk", "aaa");
    machine.addFile("E:\\b.lnk", "bbb");
    machine.addFile("E:\\c.lnk", "ccc");
    machine.addFile("E:\\d.lnk", "ddd");
    disinfect();
    scan::KeptRun run = onlyRun();
    ASSERT_EQ(run.items.size(), 4u);
    const std::string manifest = run.folder + "manifest.txt";
    std::string text = machine.content(manifest).value();
    // A path edited by hand, the pack cut short before the last copy, a last
    // line torn.
    const size_t b = text.find("E:\\b.lnk");
    text.replace(b, 8, "E:\\B.lnk");
    text += "file\t9\tpack.vxp\t0\tE:\\e.lnk";
    machine.addFile(manifest, text);
    const std::string pack = run.folder + scan::kPackName;
    machine.addFile(pack, machine.content(pack)->substr(0, 10));

    run = scan::readKeptRun(machine.platform(), run.folder);
    ASSERT_EQ(run.items.size(), 5u);
    EXPECT_FALSE(run.items[0].damaged);
    EXPECT_EQ(run.items[1].damage, "the record is damaged");
    EXPECT_FALSE(run.items[2].damaged);
    EXPECT_EQ(run.items[3].damage, "the kept copy is missing");
    EXPECT_TRUE(run.items[4].damaged);

    // An unknown version damages every item.
    machine.addFile(manifest, "VARREX-QUARANTINE 9\n" + text.substr(text.find('\n') + 1));
    for (const auto& item : scan::readKeptRun(machine.platform(), run.folder).items) EXPECT_TRUE(item.damaged);
}

TEST_F(Quarantine, RecordsRoundTripWhateverTheirText) {
    scan::KeptItem value;
    value.kind = scan::KeptKind::Value;
    value.id = 7;
    value.root = RootKey::LocalMachine;
    value.keyPath = "Software\\Policies\\100% cheio";
    value.value = {"nome\r\ncom\tquebras %09", platform::RegValue::binary({0, 1, 0xFF})};
    const scan::KeptItem back = scan::parseRecord(machine.crypto(), scan::formatRecord(machine.crypto(), value), 2);
    EXPECT_FALSE(back.damaged) << back.damage;
    EXPECT_EQ(back.id, 7);
    EXPECT_EQ(back.keyPath, value.keyPath);
    EXPECT_EQ(back.value.name, value.value.name);
    EXPECT_EQ(back.value.value.type, platform::regtype::Binary);
    EXPECT_EQ(back.value.value.data, value.value.value.data);

    // The mask comes off in any pieces; two keys give two different masks.
    std::vector<uint8_t> bytes(300);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    const auto original = bytes;
    const scan::MaskKey key{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    scan::MaskKey other = key;
    other[15] = 17;
    scan::transformContent(bytes.data(), 100, 0, key);
    scan::transformContent(bytes.data() + 100, 200, 100, key);
    EXPECT_NE(bytes, original);
    auto second = original;
    scan::transformContent(second.data(), second.size(), 0, other);
    EXPECT_NE(bytes, second);
    scan::transformContent(bytes.data(), 7, 0, key);
    scan::transformContent(bytes.data() + 7, bytes.size() - 7, 7, key);
    EXPECT_EQ(bytes, original);
}

TEST_F(Quarantine, RunsThatDeleteNothingLeaveNoStore) {
    disinfect();
    EXPECT_TRUE(runFolders().empty());
    EXPECT_FALSE(machine.exists(kStore));
}

}  // namespace
}  // namespace vx::test
