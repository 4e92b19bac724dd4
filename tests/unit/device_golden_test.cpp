// Whole device-check and device-disinfection runs on a few representative
// drives, compared line by line with the expected logs in
// tests/golden/device_check/ and tests/golden/device_disinfection/. Run with
// VX_UPDATE_GOLDEN=1 to rewrite the files from the current output; review
// every rewritten file before keeping it.
#include <functional>

#include "device/device_check.h"
#include "device/device_disinfection.h"
#include "golden.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr uint32_t kHiddenSystem = attr::Hidden | attr::System;
constexpr uint32_t kHiddenFolder = attr::Directory | attr::Hidden | attr::System;

struct GoldenCase {
    std::string name;  // file name without ".txt"
    scan::Language language;
    std::function<void(memory::Machine&)> build;
};

// A pen drive with the user's own folders and files and the system folder
// Windows makes.
void cleanDrive(memory::Machine& m) {
    m.addFile("E:\\leiame.txt", "ola");
    m.addFile("E:\\Fotos\\praia.jpg", "jpg");
    m.addFile("E:\\Fotos\\2025\\natal.jpg", "jpg");
    m.addFile("E:\\Documentos\\tese.doc", "doc");
    m.addFolder("E:\\System Volume Information", kHiddenFolder);
    m.addFile("E:\\System Volume Information\\IndexerVolumeGuid", "{}", kHiddenSystem);
    // An installer of the A1 size is no worm while no shortcut sits beside it.
    m.addFileOfSize("E:\\instalador.exe", 250500);
}

// What a shortcut worm leaves: the user's folders hidden behind shortcuts of
// the same name, its script with a start-up value, its executable, the folder
// it hides in and an autorun file.
void infectedDrive(memory::Machine& m) {
    m.addFolder("E:\\Fotos", kHiddenFolder);
    m.addFile("E:\\Fotos\\praia.jpg", "jpg");
    m.addFolder("E:\\Documentos", kHiddenFolder);
    m.addFile("E:\\Documentos\\tese.doc", "doc");
    m.addFile("E:\\Fotos.lnk", "L");
    m.addFile("E:\\Documentos.lnk", "L");
    m.addFile("E:\\x.vbs", "WScript.Echo", kHiddenSystem);
    m.setText(platform::RootKey::CurrentUser, kRun, "x", "wscript.exe //B E:\\x.vbs");
    m.addFileOfSize("E:\\USB.exe", 250500, kHiddenSystem);
    m.addFolder("E:\\RECYCLER", kHiddenFolder);
    m.addFile("E:\\RECYCLER\\S-1-5-21-1004\\Desktop.ini", "[.ShellClassInfo]", kHiddenSystem);
    m.addFile("E:\\RECYCLER\\S-1-5-21-1004\\lulu.exe", "MZ", kHiddenSystem);
    m.addFile("E:\\autorun.inf", "[autorun]", kHiddenSystem | attr::ReadOnly);
    m.addFolder("E:\\.Trashes", attr::Directory | attr::Hidden);
    m.addFile("E:\\Trabalho\\planilha.xls", "xls");
    m.addProcess("wscript.exe");
}

void autorunOnly(memory::Machine& m) { m.addFile("E:\\autorun.inf", "[autorun]", kHiddenSystem); }

void everyRootSign(memory::Machine& m) {
    m.addFolder("E:\\.Trashes", attr::Directory | attr::Hidden);
    m.addFile("E:\\Drive\\leia.txt", "x");
    m.addFile("E:\\Drive.bat", "@echo off");
    m.addFolder("E:\\Files", kHiddenFolder);
    m.addFile("E:\\Files.bat", "@echo off", kHiddenSystem);
    for (const char* name : {"RECYCLE", "RECYCLE.BIN", "$RECYCLE.BIN", "RECYCLER", "RECYCLER.BIN", "$RECYCLER.BIN",
                             "System Volume Information"})
        m.addFolder(std::string("E:\\") + name, kHiddenFolder);
    m.addFile("E:\\dw.dll", "MZ", kHiddenSystem);
}

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

const std::vector<GoldenCase>& goldenCases() {
    static const std::vector<GoldenCase> cases = {
        {"clean_drive", scan::kPortuguese, cleanDrive},
        {"infected_drive", scan::kPortuguese, infectedDrive},
        {"infected_drive_english", scan::kEnglish, infectedDrive},
        {"autorun_only", scan::kPortuguese, autorunOnly},
        {"every_root_sign", scan::kPortuguese, everyRootSign},
    };
    return cases;
}

struct DeviceGolden : ScanFixture, ::testing::WithParamInterface<GoldenCase> {
    scan::SaveDialogMemory saveDialog;

    DeviceGolden() {
        language = GetParam().language;
        GetParam().build(machine);
    }
};

TEST_P(DeviceGolden, CheckMatchesTheExpectedLog) {
    std::string deviceRoot;
    device::runDeviceCheck(ctx, "E: [PENDRIVE]", scan::SaveOffer::Skip, saveDialog, deviceRoot);
    expectGolden(goldenFolder("device_check") / (GetParam().name + ".txt"), log.lines());
}

TEST_P(DeviceGolden, DisinfectionMatchesTheExpectedLog) {
    device::DisinfectionTarget target;
    device::runDeviceDisinfection(ctx, "E: [PENDRIVE]", scan::SaveOffer::Skip, saveDialog, target);
    expectGolden(goldenFolder("device_disinfection") / (GetParam().name + ".txt"), log.lines());
}

INSTANTIATE_TEST_SUITE_P(Device, DeviceGolden, ::testing::ValuesIn(goldenCases()),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vx::test
