#include "app/settings.h"

#include "scan_fixture.h"

namespace vx::test {
namespace {

using app::ReportSwitches;

const std::string kFile = "C:\\Users\\Usuario\\AppData\\Roaming\\varrex\\parametros.ini";

struct Settings : ::testing::Test {
    memory::Machine machine;
    platform::Platform os = machine.platform();
    Settings() { machine.addFolder("C:\\Users\\Usuario\\AppData\\Roaming\\varrex"); }

    ReportSwitches loadFrom(const std::string& bytes) {
        machine.addFile(kFile, bytes);
        return app::loadSettings(os);
    }
};

TEST_F(Settings, ALineIsOnOnlyWhenItIsExactlyOne) {
    struct Case {
        std::string bytes;
        bool first, second;
    } cases[] = {
        {"1\r\n1\r\n", true, true},     {"0\r\n1\r\n", false, true},  {"1\r\n", true, false},
        {"", false, false},             {"1\n0\n", true, false},      {"1\r1\r", true, true},
        {"1", true, false},             {" 1\r\n1 \r\n", false, false}, {"10\r\n11\r\n", false, false},
        {"1\r\n1\r\n0\r\n", true, true}, {"\r\n1\r\n", false, true},  {std::string("1\0\r\n1", 5), false, true},
        {"\xFF\xFE" "1\r\n1\r\n", false, true},
    };
    for (const Case& c : cases) {
        ReportSwitches s = loadFrom(c.bytes);
        EXPECT_EQ(s.afterChecks, c.first) << testing::PrintToString(c.bytes);
        EXPECT_EQ(s.afterDisinfections, c.second) << testing::PrintToString(c.bytes);
    }
}

TEST_F(Settings, HugeFileWithoutLineEndsIsReadCheaply) {
    ReportSwitches s = loadFrom("1" + std::string(20 * 1024 * 1024, '1'));
    EXPECT_FALSE(s.afterChecks);
    EXPECT_FALSE(s.afterDisinfections);
}

TEST_F(Settings, AMissingFileIsCreatedWithBothOn) {
    ReportSwitches s = app::loadSettings(os);
    EXPECT_TRUE(s.afterChecks && s.afterDisinfections);
    EXPECT_EQ(machine.content(kFile), "1\r\n1\r\n");
}

TEST_F(Settings, StartUpForgivesAFileItCannotReadOrCreate) {
    machine.addFile(kFile, "0\r\n0\r\n");
    machine.failPath(kFile);
    ReportSwitches s = app::loadSettings(os);
    EXPECT_TRUE(s.afterChecks && s.afterDisinfections);

    machine.clearFaults();
    machine.failSpecialFolder(26);  // the data folder is then "\varrex" on the current drive
    s = app::loadSettings(os);
    EXPECT_TRUE(s.afterChecks && s.afterDisinfections);
    EXPECT_TRUE(machine.transcript().empty()) << "start-up goes on without a box";
}

TEST_F(Settings, SaveWritesTheBoxesOrRecreatesAMissingFile) {
    machine.addFile(kFile, "1\r\n1\r\n");
    ReportSwitches s = app::saveSettings(os, {false, true});
    EXPECT_FALSE(s.afterChecks);
    EXPECT_TRUE(s.afterDisinfections);
    EXPECT_EQ(machine.content(kFile), "0\r\n1\r\n0\r\n");

    machine.fileSystem().deleteFile(kFile).ignore();
    s = app::saveSettings(os, {false, false, true});
    EXPECT_TRUE(s.afterChecks && s.afterDisinfections) << "both boxes are checked again";
    EXPECT_FALSE(s.checkOnInsertion) << "the insertion check is back to its default too";
    EXPECT_EQ(machine.content(kFile), "1\r\n1\r\n0\r\n");
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(Settings, TheThirdLineIsTheInsertionCheckAndTheFirstTwoStayTheReportOffers) {
    struct Case {
        std::string bytes;
        bool first, second, third;
    } cases[] = {
        {"1\r\n1\r\n", true, true, false},  // as older versions write it
        {"0\r\n0\r\n1\r\n", false, false, true}, {"1\r\n1\r\n1 \r\n", true, true, false},
        {"1\n0\n1", true, false, true},          {"1\r\n1\r\n1\r\n1\r\n", true, true, true},
    };
    for (const Case& c : cases) {
        ReportSwitches s = loadFrom(c.bytes);
        EXPECT_EQ(s.afterChecks, c.first) << testing::PrintToString(c.bytes);
        EXPECT_EQ(s.afterDisinfections, c.second) << testing::PrintToString(c.bytes);
        EXPECT_EQ(s.checkOnInsertion, c.third) << testing::PrintToString(c.bytes);
    }

    // Saved with the insertion check on, the file still opens with the two
    // report lines that older versions read, and nothing else in them.
    app::saveSettings(os, {false, true, true});
    EXPECT_EQ(machine.content(kFile), "0\r\n1\r\n1\r\n");
    auto firstTwo = machine.fileSystem().readTextLines(kFile, 2);
    ASSERT_TRUE(firstTwo);
    EXPECT_EQ(*firstTwo, (std::vector<std::string>{"0", "1"}));
}

TEST_F(Settings, SaveThatCannotWriteShowsTheErrorBoxAndKeepsTheBoxes) {
    machine.addFile(kFile, "1\r\n1\r\n");
    machine.lockFile(kFile);
    ReportSwitches s = app::saveSettings(os, {false, true});
    EXPECT_FALSE(s.afterChecks);
    EXPECT_TRUE(s.afterDisinfections);
    EXPECT_EQ(machine.content(kFile), "1\r\n1\r\n");
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].text.rfind("Cannot create file \"" + kFile + "\". ", 0), 0u);
}

}  // namespace
}  // namespace vx::test
