// The drive lists following the drives Windows announces.
#include "app/form1.h"

#include "scan_fixture.h"

namespace vx::test {
namespace {

using ::testing::ElementsAre;

constexpr uint32_t bit(char letter) { return 1u << (letter - 'A'); }

struct DeviceChange : ::testing::Test {
    memory::Machine machine;
    app::TForm1 form{machine.platform()};

    DeviceChange() {
        machine.addDrive('D', DriveType::CdRom, "DVD");
        machine.addDrive('G', DriveType::Fixed, "Dados");
        form.FormCreate();  // both lists: G:, chosen
    }
};

TEST_F(DeviceChange, ArrivedPenDriveChosenInBothListsThenListsFollowItsRemoval) {
    machine.addDrive('K', DriveType::Removable, "");
    machine.addDrive('F', DriveType::CdRom, "");
    form.WMDeviceChange(bit('K') | bit('F'), 0);
    for (const app::DriveList* list : {&form.DriveComboBox1, &form.DriveComboBox2}) {
        EXPECT_THAT(list->items, ElementsAre("G: [DADOS]", "K:")) << "pruned as the detect buttons prune";
        EXPECT_EQ(list->text(), "K:");
    }
    EXPECT_EQ(form.deviceRoot1, "K:\\");
    EXPECT_EQ(form.deviceRoot2, "K:\\");

    // A fixed disk arriving is listed but leaves each list's choice alone.
    machine.addDrive('L', DriveType::Fixed, "");
    form.DriveComboBox1.selected = 0;
    form.WMDeviceChange(bit('L'), 0);
    EXPECT_EQ(form.DriveComboBox1.text(), "G: [DADOS]");
    EXPECT_EQ(form.DriveComboBox2.text(), "K:");

    // The pen drive pulled out: the list that showed it starts again from its
    // first entry, as a detect button leaves it; the device root is kept.
    machine.removeDrive('K');
    form.DriveComboBox1.selected = 2;  // L:
    form.WMDeviceChange(0, bit('K'));
    EXPECT_THAT(form.DriveComboBox2.items, ElementsAre("G: [DADOS]", "L:"));
    EXPECT_EQ(form.DriveComboBox2.selected, 0);
    EXPECT_EQ(form.DriveComboBox1.text(), "L:") << "a drive still there stays chosen";
    EXPECT_EQ(form.deviceRoot2, "K:\\");
}

TEST_F(DeviceChange, AnnouncedDriveThatIsAlreadyGoneIsNotChosen) {
    form.WMDeviceChange(bit('K'), 0);
    EXPECT_THAT(form.DriveComboBox2.items, ElementsAre("G: [DADOS]"));
    EXPECT_EQ(form.deviceRoot2, "G:\\");
    EXPECT_TRUE(machine.transcript().empty()) << "no box";
}

}  // namespace
}  // namespace vx::test
