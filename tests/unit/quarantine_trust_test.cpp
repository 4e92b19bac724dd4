// What a program running as the user can do to the quarantine, and what it
// gains: planted records, a swapped junction, a writer racing the keep,
// obstacles where the store should be, and the two stores.
#include "device/device_disinfection.h"
#include "scan/quarantine.h"
#include "scan/startup_entries.h"
#include "tools/quarantine_tool.h"

#include "kept_run_builder.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using memory::FolderAccess;

const std::string kMachineStore = "C:\\ProgramData\\Varrex\\Quarantine";
const std::string kDesk = "C:\\Users\\Usuario\\Desktop\\";

struct QuarantineTrust : ScanFixture {
    scan::SaveDialogMemory saveDialog;
    device::DisinfectionTarget target;

    void disinfect() { device::runDeviceDisinfection(ctx, "E:", scan::SaveOffer::Skip, saveDialog, target); }

    std::vector<std::string> runFolders(const std::string& store) const {
        std::vector<std::string> out;
        for (const auto& e : machine.listTree(store))
            if ((e.attributes & attr::Directory) && e.path.find('\\', store.size() + 1) == std::string::npos)
                out.push_back(e.path + "\\");
        return out;
    }
    tools::RestoreCount restoreEverything() {
        tools::RestoreCount total;
        for (const auto& run : tools::listKeptRuns(ctx)) {
            std::vector<size_t> every;
            for (size_t i = 0; i < run.items.size(); ++i) every.push_back(i);
            const auto count = tools::restoreItems(ctx, run, every);
            total.restored += count.restored;
            total.failed += count.failed;
        }
        return total;
    }
    // A line sealed as the program seals its records: anyone can do it.
    std::string sealed(const std::string& text) {
        auto sha = machine.crypto().sha256();
        sha->update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        return text + "\t" + platform::hexDigest(sha->finish()).substr(0, 16);
    }
    void appendToManifest(const std::string& runFolder, const std::vector<std::string>& lines) {
        std::string text = machine.content(runFolder + scan::kManifestName).value();
        for (const auto& l : lines) text += l + "\r\n";
        machine.addFile(runFolder + scan::kManifestName, text);
    }
};

TEST_F(QuarantineTrust, PlantedRecordsWriteNothingAndTheGenuineItemsComeBack) {
    // A standard user: HKLM and the Windows folder are not theirs to change.
    machine.denyLocalMachineFullAccess(true);
    machine.setFolderAccess("C:\\Windows", FolderAccess::AdminsWrite);
    machine.addFile("E:\\Fotos.lnk", "shortcut");
    machine.addFile("E:\\x.vbs", "WScript.Echo 1");
    disinfect();
    const auto folders = runFolders(kQuarantineStore);
    ASSERT_EQ(folders.size(), 1u);

    // What a worm running as the user appends, sealed as the program seals.
    auto record = [&](scan::KeptItem item, int id) {
        item.id = id;
        return scan::formatRecord(machine.crypto(), item);
    };
    scan::KeptItem dll = KeptRunBuilder::entry(scan::KeptKind::File, "C:\\Windows\\System32\\planted.dll", 0x20, {});
    dll.content = scan::kPackName;
    dll.offset = 1000;
    dll.size = 8;
    dll.sha256 = std::string(64, 'a');
    scan::KeptItem run;
    run.kind = scan::KeptKind::Value;
    run.root = RootKey::LocalMachine;
    run.keyPath = scan::kRunKeyPath;
    run.value = {"planted", platform::RegValue::text("C:\\planted.exe")};
    scan::KeptItem service;
    service.kind = scan::KeptKind::Key;
    service.root = RootKey::LocalMachine;
    service.keyPath = "SYSTEM\\CurrentControlSet\\Services\\planted";
    service.keyValues = {{"ImagePath", platform::RegValue::text("C:\\planted.exe")}};
    const std::string sum = std::string(64, 'b');
    auto fileLine = [&](int id, const std::string& path) {
        return sealed("file\t" + std::to_string(id) + "\tpack.vxp\t0\t" + path + "\t-\t\t\t00000020\t1\t" + sum);
    };
    appendToManifest(folders[0], {
        record(dll, 100), record(run, 101), record(service, 102),
        sealed("key\t103\tHKLM\tSoftware\\x\t6148914691236517206\ta\t1\t00"),  // a count that wraps
        fileLine(104, "E:\xC1\x9C" "planted.txt"),                              // an overlong backslash
        fileLine(105, "\\\\server\\share\\planted.txt"), fileLine(106, "E:\\planted.txt:stream"),
        fileLine(107, "E:\\CON"), fileLine(108, "E:\\J\\..\\..\\Windows\\planted.txt"),
    });

    restoreEverything();
    EXPECT_EQ(machine.content("E:\\Fotos.lnk"), "shortcut");
    EXPECT_EQ(machine.content("E:\\x.vbs"), "WScript.Echo 1");
    EXPECT_FALSE(machine.exists("C:\\Windows\\System32\\planted.dll"));
    EXPECT_FALSE(machine.value(RootKey::LocalMachine, scan::kRunKeyPath, "planted"));
    EXPECT_FALSE(machine.keyExists(RootKey::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\planted"));
    for (const auto& e : machine.listTree("E:\\")) EXPECT_THAT(e.path, ::testing::Not(HasSubstr("planted"))) << e.path;
    EXPECT_FALSE(machine.exists("C:\\Windows\\planted.txt"));
}

TEST_F(QuarantineTrust, WithAdministratorRightsTheMachineStoreKeepsAndThePerUserStoreIsOnlyShown) {
    // A run kept earlier without administrator rights, and one planted there.
    KeptRunBuilder(machine, "06-12-2026-10-00-00", KeptRunBuilder::computerRun("06/12/2026", "10:00:00"))
        .file(kDesk + "old.txt", "kept by the user")
        .file("C:\\Windows\\System32\\planted.dll", "MZ")
        .write();
    machine.setAdministratorRights(true);
    machine.addFile("E:\\Fotos.lnk", "shortcut");
    disinfect();
    EXPECT_FALSE(machine.exists("E:\\Fotos.lnk"));
    ASSERT_EQ(runFolders(kMachineStore).size(), 1u);
    EXPECT_EQ(machine.folderAccess(kMachineStore), FolderAccess::AdminsOnly);
    EXPECT_EQ(machine.folderAccess("C:\\ProgramData\\Varrex"), FolderAccess::AdminsOnly);

    const auto runs = tools::listKeptRuns(ctx);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].restorableHere);
    EXPECT_FALSE(runs[1].restorableHere);
    EXPECT_THAT(tools::itemListLine(ctx, runs[1], runs[1].items[0]),
                HasSubstr("guardado sem direitos de administrador; restaure-o iniciando o Varrex sem direitos de "
                          "administrador"));
    log.clear();
    const auto count = restoreEverything();
    EXPECT_EQ(count.restored, 1);
    EXPECT_EQ(count.failed, 2);
    EXPECT_EQ(machine.content("E:\\Fotos.lnk"), "shortcut");
    EXPECT_FALSE(machine.exists(kDesk + "old.txt"));
    EXPECT_FALSE(machine.exists("C:\\Windows\\System32\\planted.dll"));
    EXPECT_THAT(lines(), Contains("[VX] - Não foi possível restaurar C:\\Windows\\System32\\planted.dll: guardado sem "
                                  "direitos de administrador; restaure-o iniciando o Varrex sem direitos de "
                                  "administrador"));

    // Without the rights again: the user's own run comes back, and the
    // machine store stands as one line it cannot read.
    machine.setAdministratorRights(false);
    EXPECT_TRUE(tools::machineStoreHidden(ctx));
    language = scan::kEnglish;
    EXPECT_THAT(tools::machineStoreNote(ctx), HasSubstr("start Varrex as administrator"));
    language = scan::kPortuguese;
    const auto mine = tools::listKeptRuns(ctx);
    ASSERT_EQ(mine.size(), 1u);
    std::vector<size_t> first{0};
    EXPECT_EQ(tools::restoreItems(ctx, mine[0], first).restored, 1);
    EXPECT_EQ(machine.content(kDesk + "old.txt"), "kept by the user");
}

TEST_F(QuarantineTrust, AnUnsafeMachineStoreIsMovedAsideWithOneLineAndNeverRead) {
    machine.setAdministratorRights(true);
    // A store folder anyone may change, holding a planted run, and a link
    // where "Varrex" should be on a second try.
    KeptRunBuilder(machine, "06-12-2026-10-00-00", KeptRunBuilder::computerRun(), kMachineStore)
        .file("C:\\Windows\\System32\\planted.dll", "MZ")
        .write();
    machine.setFolderAccess("C:\\ProgramData\\Varrex", FolderAccess::Everyone);
    EXPECT_TRUE(tools::listKeptRuns(ctx).empty());
    EXPECT_THAT(lines(), ::testing::ElementsAre("[VX] - Quarentena: C:\\ProgramData\\Varrex não era segura e foi movida "
                                                "para C:\\ProgramData\\Varrex.moved-07-12-2026-09-15-42"));
    EXPECT_EQ(machine.folderAccess("C:\\ProgramData\\Varrex"), FolderAccess::AdminsOnly);
    EXPECT_TRUE(machine.exists("C:\\ProgramData\\Varrex.moved-07-12-2026-09-15-42\\Quarantine"));

    machine.addDrive('D', DriveType::Fixed);
    machine.addFolder("D:\\elsewhere");
    log.clear();
    machine.fileSystem().removeDirectory(kMachineStore).ignore();
    machine.fileSystem().removeDirectory("C:\\ProgramData\\Varrex").ignore();
    machine.addLink("C:\\ProgramData\\Varrex", "D:\\elsewhere");
    machine.addFile("E:\\Fotos.lnk", "shortcut");
    disinfect();
    EXPECT_FALSE(machine.exists("E:\\Fotos.lnk"));
    EXPECT_TRUE(machine.listTree("D:\\elsewhere").empty()) << "nothing was kept through the link";
    EXPECT_EQ(runFolders(kMachineStore).size(), 1u);
    EXPECT_THAT(lines(), Contains(HasSubstr("[VX] - Quarentena: C:\\ProgramData\\Varrex não era segura")));
}

TEST_F(QuarantineTrust, AJunctionSwappedInDuringTheRestoreLeadsNothingThroughIt) {
    KeptRunBuilder(machine, "07-12-2026-09-15-42", KeptRunBuilder::computerRun())
        .file(kDesk + "Fotos\\praia.jpg", "JPEG")
        .write();
    machine.addFolder(kDesk + "Fotos");
    machine.addFolder("C:\\Windows\\System32");
    bool swapped = false;
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        if (op == "readBytes" && path.ends_with(scan::kPackName) && !swapped) {
            swapped = true;
            // The folder on the way is replaced by a junction into the system.
            if (machine.fileSystem().move(kDesk + "Fotos", kDesk + "Fotos.old"))
                machine.addLink(kDesk + "Fotos", "C:\\Windows\\System32");
        }
        return false;
    });
    restoreEverything();
    EXPECT_TRUE(swapped);
    EXPECT_FALSE(machine.exists("C:\\Windows\\System32\\praia.jpg"));
}

TEST_F(QuarantineTrust, AWriterCannotAppendToAnOriginalBetweenItsCopyAndItsDeletion) {
    machine.addFile("E:\\x.vbs", "WScript.Echo 1");
    bool tried = false, appended = false;
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        if (op == "writeLine" && path.ends_with(scan::kManifestName) && !tried) {
            tried = true;
            if (auto w = machine.fileSystem().appendUtf8TextFile("E:\\x.vbs")) appended = w->writeLine("more").ok();
        }
        return false;
    });
    disinfect();
    EXPECT_TRUE(tried);
    EXPECT_FALSE(appended) << "the held original shares no writing";
    EXPECT_FALSE(machine.exists("E:\\x.vbs"));
    const auto runs = tools::listKeptRuns(ctx);
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].items.size(), 1u);
    EXPECT_EQ(runs[0].items[0].size, 14u);
}

TEST_F(QuarantineTrust, ObstaclesInTheStoreDoNotStopTheDisinfection) {
    // A file where the store should be, run folders made for the coming
    // seconds, and a pack name taken the moment the run's folder is made.
    machine.addFile(kQuarantineStore, "not a folder");
    machine.addFile("E:\\Fotos.lnk", "shortcut");
    bool taken = false;
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        if (op == "createBytes" && path.ends_with("\\pack.vxp") && !taken) {
            taken = true;
            machine.addFile(path, "worm");
        }
        return false;
    });
    disinfect();
    EXPECT_FALSE(machine.exists("E:\\Fotos.lnk"));
    EXPECT_TRUE(machine.exists(kQuarantineStore + ".moved-07-12-2026-09-15-42"));
    EXPECT_THAT(lines(), Contains("[VX] - Quarentena: " + kQuarantineStore + " não era segura e foi movida para " +
                                  kQuarantineStore + ".moved-07-12-2026-09-15-42"));
    const auto runs = tools::listKeptRuns(ctx);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].items.at(0).content, "pack-2.vxp");
    EXPECT_FALSE(runs[0].items[0].damaged);

    machine.clearFaults();
    for (const char* suffix : {"", " (2)", " (3)"}) machine.addFolder(kQuarantineStore + "\\07-12-2026-09-15-42" + suffix);
    machine.addFile("E:\\Outro.lnk", "shortcut 2");
    disinfect();
    EXPECT_FALSE(machine.exists("E:\\Outro.lnk"));
    EXPECT_TRUE(machine.exists(kQuarantineStore + "\\07-12-2026-09-15-42 (4)\\manifest.txt"));
}

TEST_F(QuarantineTrust, WhenNothingCanBeKeptOneBoxSaysWhyAfterTheVerdict) {
    machine.addFile("E:\\Fotos.lnk", "shortcut");
    machine.setFreeBytes('C', scan::kQuarantineFreeSpaceFloor + 4);
    disinfect();
    EXPECT_TRUE(machine.exists("E:\\Fotos.lnk"));
    const auto& boxes = machine.transcript();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Heads up") << "the verdict first";
    EXPECT_EQ(boxes[1].text, "O que a quarentena não pôde guardar não foi excluído: o disco ficaria com menos de 1 GB "
                             "livre.");
    EXPECT_EQ(boxes[1].caption, "Aviso");
    EXPECT_EQ(boxes[1].icon, platform::Icon::Warning);
}

TEST_F(QuarantineTrust, ARemovableItemGoesOnlyToTheSameVolumeNeverToAFixedDrive) {
    machine.setVolumeSerial('E', 0x1234ABCD);
    machine.addFile("E:\\Fotos.lnk", "shortcut");
    disinfect();
    // The same serial on a fixed drive and on a pen drive of another label.
    machine.removeDrive('E');
    machine.addDrive('F', DriveType::Fixed, "PENDRIVE");
    machine.setVolumeSerial('F', 0x1234ABCD);
    machine.addDrive('G', DriveType::Removable, "OUTRO");
    machine.setVolumeSerial('G', 0x1234ABCD);
    restoreEverything();
    EXPECT_FALSE(machine.exists("F:\\Fotos.lnk"));
    EXPECT_FALSE(machine.exists("G:\\Fotos.lnk"));
    EXPECT_THAT(lines(), Contains("[VX] - Não foi possível restaurar E:\\Fotos.lnk: dispositivo ausente"));

    machine.addDrive('H', DriveType::Removable, "PENDRIVE");
    machine.setVolumeSerial('H', 0x1234ABCD);
    log.clear();
    restoreEverything();
    EXPECT_EQ(machine.content("H:\\Fotos.lnk"), "shortcut");
    EXPECT_THAT(lines(), Contains("[VX] > Restaurado: H:\\Fotos.lnk")) << "the line names the final path";
}

TEST_F(QuarantineTrust, ListingAStoreNeverReadsWhatItKept) {
    for (int i = 0; i < 20; ++i) machine.addFile("E:\\w" + std::to_string(i) + ".lnk", std::string(5000, 'x'));
    disinfect();
    bool read = false;
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        read = read || ((op == "readBytes" || op == "openBytes") && path.ends_with(".vxp"));
        return false;
    });
    const auto runs = tools::listKeptRuns(ctx);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].items.size(), 20u);
    EXPECT_FALSE(read);
}

}  // namespace
}  // namespace vx::test
