#include "tools/process_list.h"

#include <algorithm>

#include "scan_fixture.h"
#include "tools/tool_texts.h"

namespace vx::test {
namespace {

using memory::DialogRecord;
using platform::Icon;
using tools::ProcessListBox;
using tools::TerminateOutcome;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
namespace texts = tools::texts;

struct ProcessListTest : ScanFixture {
    ProcessListBox box;

    void refresh() { tools::refreshProcessList(machine.platform(), box); }
    void select(const std::string& text) {
        for (size_t i = 0; i < box.items.size(); ++i)
            if (box.items[i].text == text) {
                box.selected = static_cast<int>(i);
                return;
            }
        FAIL() << "no line " << text;
    }
    const DialogRecord& onlyBox() {
        EXPECT_EQ(machine.transcript().size(), 1u);
        return machine.transcript().back();
    }
    static bool isSorted(const std::vector<std::string>& lines) {
        for (size_t i = 1; i < lines.size(); ++i)
            if (tools::listTextLess(lines[i], lines[i - 1])) return false;
        return true;
    }
};

TEST_F(ProcessListTest, Windows7ShowsFullPathsSortedWithTheIdleLine) {
    refresh();
    const std::string sys = "C:\\Windows\\System32\\";
    EXPECT_THAT(box.lines(),
                ElementsAre(machine.shell().programPath(), "C:\\Windows\\explorer.exe", sys + "csrss.exe",
                            sys + "lsass.exe", sys + "services.exe", sys + "smss.exe", sys + "svchost.exe",
                            sys + "svchost.exe", sys + "wininit.exe", sys + "winlogon.exe", "System",
                            "System Idle Process"));
    EXPECT_EQ(box.items.back().pid, 0u);
    EXPECT_EQ(box.items[1].pid, 1476u);
    EXPECT_TRUE(box.sorted);
    EXPECT_EQ(box.selected, -1);
}

TEST_F(ProcessListTest, UnreadableImagePathFallsBackToTheSnapshotName) {
    machine.addProcess("Hidden.exe", "");
    refresh();
    EXPECT_THAT(box.lines(), ::testing::Contains("Hidden.exe"));
}

TEST_F(ProcessListTest, LaterWindowsShowBareNamesInCaseInsensitiveOrder) {
    machine.setWindowsVersion({10, 0, 19045});
    machine.addProcess("zeta.exe", "C:\\Apps\\zeta.exe");
    machine.addProcess("Alpha.EXE", "C:\\Apps\\Alpha.EXE");
    machine.addProcess("beta.exe", "C:\\Apps\\beta.exe");
    refresh();
    EXPECT_THAT(box.lines(), ElementsAre("Alpha.EXE", "beta.exe", "csrss.exe", "explorer.exe", "lsass.exe",
                                         "services.exe", "smss.exe", "svchost.exe", "svchost.exe", "System",
                                         "System Idle Process", "Varrex.exe", "wininit.exe", "winlogon.exe",
                                         "zeta.exe"));
}

TEST_F(ProcessListTest, FullPathsOnlyOnTheNt5AndNt6UpTo61Versions) {
    for (platform::WindowsVersion v : {platform::WindowsVersion{5, 0, 2195}, {5, 1, 2600}, {5, 2, 3790},
                                       {6, 0, 6002}, {6, 1, 7601}})
        EXPECT_TRUE(tools::showsFullImagePaths(v)) << v.major << "." << v.minor;
    for (platform::WindowsVersion v :
         {platform::WindowsVersion{4, 0, 1381}, {6, 2, 9200}, {6, 3, 9600}, {10, 0, 19045}, {5, 3, 0}})
        EXPECT_FALSE(tools::showsFullImagePaths(v)) << v.major << "." << v.minor;

    machine.setWindowsVersion({6, 2, 9200});
    refresh();
    EXPECT_THAT(box.lines(), ::testing::Contains("explorer.exe"));
    EXPECT_THAT(box.lines(), ::testing::Not(::testing::Contains("C:\\Windows\\explorer.exe")));
}

TEST_F(ProcessListTest, RefreshingTwiceNeverDoublesAndAFailedSnapshotEmptiesTheList) {
    refresh();
    const auto first = box.lines();
    box.selected = 3;
    refresh();
    EXPECT_EQ(box.lines(), first);
    EXPECT_EQ(box.selected, -1);

    machine.setSnapshotFails(true);
    std::vector<tools::ProcessListItem> out;
    EXPECT_FALSE(tools::listRunningProcesses(machine.processes(), machine.shell(), out));
    refresh();
    EXPECT_TRUE(box.items.empty());
}

TEST_F(ProcessListTest, SortedModelInsertsInOrderAndKeepsEqualTextsInArrivalOrder) {
    box.add({"b", 1});
    box.add({"A", 2});
    box.add({"a", 3});
    box.sort();
    EXPECT_THAT(box.items, ElementsAre(tools::ProcessListItem{"A", 2}, tools::ProcessListItem{"a", 3},
                                       tools::ProcessListItem{"b", 1}));
    box.selected = 2;  // "b"
    box.add({"a", 4});
    box.add({"C", 5});
    EXPECT_THAT(box.lines(), ElementsAre("A", "a", "a", "b", "C"));
    EXPECT_EQ(box.items[2].pid, 4u);
    EXPECT_EQ(*box.selectedText(), "b");
}

TEST_F(ProcessListTest, EndingOneOfThreeInstancesEndsAllAndRefreshes) {
    for (int i = 0; i < 3; ++i) machine.addProcess("notepad.exe", "C:\\Windows\\System32\\notepad.exe");
    refresh();
    const auto before = box.lines();
    EXPECT_EQ(std::count(before.begin(), before.end(), "C:\\Windows\\System32\\notepad.exe"), 3);
    select("C:\\Windows\\System32\\notepad.exe");

    EXPECT_EQ(tools::terminateSelectedProcess(ctx, box), TerminateOutcome::Terminated);
    EXPECT_EQ(machine.countProcesses("notepad.exe"), 0u);
    EXPECT_EQ(machine.terminations().size(), 3u);
    const DialogRecord& b = onlyBox();
    EXPECT_EQ(b.text, texts::process_list::TerminatedBox.pt);
    EXPECT_EQ(b.caption, texts::WarningCaption.pt);
    EXPECT_EQ(b.icon, Icon::Information);
    const auto after = box.lines();
    EXPECT_THAT(after, ::testing::Not(::testing::Contains("C:\\Windows\\System32\\notepad.exe")));
    EXPECT_EQ(after.size(), 12u);
    EXPECT_TRUE(isSorted(after));
}

TEST_F(ProcessListTest, FullPathAndBareNameLinesEndTheSameProcesses) {
    machine.addProcess("Tool.exe", "D:\\Tool.exe");
    machine.addProcess("TOOL.EXE", "");
    language = scan::kEnglish;
    refresh();
    select("D:\\Tool.exe");
    EXPECT_EQ(tools::terminateSelectedProcess(ctx, box), TerminateOutcome::Terminated);
    EXPECT_EQ(machine.countProcesses("tool.exe"), 0u);
    EXPECT_EQ(onlyBox().text, texts::process_list::TerminatedBox.en);
    EXPECT_EQ(onlyBox().caption, texts::WarningCaption.en);

    machine.clearTranscript();
    machine.addProcess("tool.exe", "D:\\Tool.exe");
    machine.addProcess("tool.exe", "D:\\Tool.exe");
    machine.setWindowsVersion({10, 0, 19045});
    refresh();
    select("tool.exe");
    EXPECT_EQ(tools::terminateSelectedProcess(ctx, box), TerminateOutcome::Terminated);
    EXPECT_EQ(machine.countProcesses("tool.exe"), 0u);
}

TEST_F(ProcessListTest, IdleLineAndProtectedProcessesGiveTheWarningInBothLanguages) {
    refresh();
    const auto before = box.items;
    for (scan::Language lang : {scan::kPortuguese, scan::kEnglish}) {
        language = lang;
        machine.clearTranscript();
        select("System Idle Process");
        EXPECT_EQ(tools::terminateSelectedProcess(ctx, box), TerminateOutcome::Failed);
        const DialogRecord& b = onlyBox();
        EXPECT_EQ(b.icon, Icon::Warning);
        if (lang == scan::kPortuguese) {
            EXPECT_EQ(b.text, texts::process_list::NotTerminatedBox.pt);
            EXPECT_EQ(b.caption, texts::HeadsUpCaption.pt);
        } else {
            EXPECT_EQ(b.text, texts::process_list::NotTerminatedBox.en);
            EXPECT_EQ(b.caption, texts::HeadsUpCaption.en);
        }
    }
    select("C:\\Windows\\System32\\csrss.exe");
    EXPECT_EQ(tools::terminateSelectedProcess(ctx, box), TerminateOutcome::Failed);
    EXPECT_TRUE(machine.terminations().empty());
    EXPECT_FALSE(machine.systemHalted());
    EXPECT_EQ(box.items, before);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ProcessListTest, NoSelectionAsksForAChoiceAndEndsNothing) {
    refresh();
    const auto before = box.items;
    for (scan::Language lang : {scan::kPortuguese, scan::kEnglish}) {
        for (int index : {-1, static_cast<int>(box.items.size())}) {
            language = lang;
            machine.clearTranscript();
            box.selected = index;
            EXPECT_EQ(tools::terminateSelectedProcess(ctx, box), TerminateOutcome::NothingSelected);
            const DialogRecord& b = onlyBox();
            EXPECT_EQ(b.kind, DialogRecord::Kind::Message);
            EXPECT_EQ(b.icon, Icon::Information);
            EXPECT_EQ(b.text, scan::say(ctx, texts::process_list::NothingSelectedBox));
            EXPECT_EQ(b.caption, scan::say(ctx, texts::WarningCaption));
        }
    }
    EXPECT_TRUE(machine.terminations().empty());
    EXPECT_EQ(box.items, before);
}

}  // namespace
}  // namespace vx::test
