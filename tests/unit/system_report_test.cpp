#include "tools/system_report.h"

#include "scan_fixture.h"
#include "tools/tool_texts.h"

namespace vx::test {
namespace {

using memory::DialogRecord;
using platform::Wow64;
using scan::fill;
using tools::ReportOutcome;
namespace texts = tools::texts::system_report;

struct SystemReportTest : ScanFixture {
    const std::string dataDir = "C:\\Users\\Usuario\\AppData\\Roaming\\varrex";
    const std::string localDir = "C:\\Users\\Usuario\\AppData\\Local\\varrex";
    const std::string name = "vx-relatorio-07-12-2026-09-15-42.txt";
    const std::string firstLine = fill(texts::FirstLine, {"07/12/2026", "09:15:42"});
    const std::vector<std::string> processes = {"C:\\Windows\\explorer.exe", "System", "System Idle Process"};

    ReportOutcome run(const std::vector<std::string>& lines) {
        return tools::writeSystemReport(machine.platform(), lines);
    }
    std::vector<std::string> fullReport(const std::string& osLine, const std::vector<std::string>& procs) {
        std::vector<std::string> out = {firstLine,
                                        "",
                                        osLine,
                                        "",
                                        fill(texts::ProcessorLine, {"Intel(R) Core(TM) i5-3470 CPU @ 3.20GHz",
                                                                    "Intel64 Family 6 Model 58 Stepping 9"}),
                                        "",
                                        texts::ProcessesHeading,
                                        ""};
        out.insert(out.end(), procs.begin(), procs.end());
        out.push_back("");
        return out;
    }
    std::string osLine(const std::string& bits) {
        return fill(texts::WindowsLine, {"Windows 7 Professional", "6.1", "7601", bits});
    }
    bool onlyIoError() {
        const auto& t = machine.transcript();
        return t.size() == 1 && t[0].kind == DialogRecord::Kind::IoError;
    }
};

TEST_F(SystemReportTest, WritesTheFullReportAndAOneLineLocalCopyThenOpensIt) {
    language = scan::kEnglish;  // the report ignores the window's language
    EXPECT_EQ(tools::systemReportFileName(machine.clock()), name);
    EXPECT_EQ(run(processes), ReportOutcome::Opened);
    EXPECT_EQ(machine.content(dataDir + "\\" + name), ansiFile(fullReport(osLine("64 Bits"), processes)));
    EXPECT_EQ(machine.content(localDir + "\\" + name), ansiFile({firstLine}));
    EXPECT_THAT(machine.opened(), ::testing::ElementsAre(dataDir + "\\" + name));
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(SystemReportTest, EmptyListMissingRegistryValuesAndMissingFolders) {
    machine.deleteKey(RootKey::LocalMachine, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0");
    machine.deleteKey(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    machine.setText(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuild",
                    "7601");
    machine.denyLocalMachineFullAccess(true);
    ASSERT_TRUE(machine.fileSystem().removeDirectory(dataDir));
    ASSERT_TRUE(machine.fileSystem().removeDirectory(localDir));

    EXPECT_EQ(run({}), ReportOutcome::Opened);
    EXPECT_EQ(machine.content(dataDir + "\\" + name),
              ansiFile({firstLine, "", fill(texts::WindowsLine, {"", "", "7601", "64 Bits"}), "",
                        fill(texts::ProcessorLine, {"", ""}), "", texts::ProcessesHeading, "", ""}));
    EXPECT_EQ(machine.content(localDir + "\\" + name), ansiFile({firstLine}));
}

TEST_F(SystemReportTest, BitsFollowTheProcessWidthAndTheEmulationQuery) {
    machine.set64BitProcess(true);
    for (Wow64 w : {Wow64::No, Wow64::Yes, Wow64::QueryFailed})
        EXPECT_EQ(tools::bitsText(machine.shell(), w), "64 Bits");
    machine.set64BitProcess(false);
    EXPECT_EQ(tools::bitsText(machine.shell(), Wow64::Yes), "64 Bits");
    EXPECT_EQ(tools::bitsText(machine.shell(), Wow64::No), "32 Bits");
    EXPECT_EQ(tools::bitsText(machine.shell(), Wow64::QueryFailed), "");

    machine.setWow64(Wow64::No);
    EXPECT_EQ(run(processes), ReportOutcome::Opened);
    EXPECT_EQ(machine.content(dataDir + "\\" + name), ansiFile(fullReport(osLine("32 Bits"), processes)));
    machine.setWow64(Wow64::QueryFailed);
    EXPECT_EQ(run(processes), ReportOutcome::Opened);
    EXPECT_EQ(machine.content(dataDir + "\\" + name), ansiFile(fullReport(osLine(""), processes)));
}

TEST_F(SystemReportTest, WithoutTheEmulationQueryBothFilesHoldTheFirstLineAndNothingOpens) {
    machine.setWow64(Wow64::Unavailable);
    EXPECT_EQ(run(processes), ReportOutcome::FirstLineOnly);
    EXPECT_EQ(machine.content(dataDir + "\\" + name), ansiFile({firstLine}));
    EXPECT_EQ(machine.content(localDir + "\\" + name), ansiFile({firstLine}));
    EXPECT_TRUE(machine.opened().empty());
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(SystemReportTest, ASecondReportInTheSameSecondReplacesTheFirst) {
    EXPECT_EQ(run({"old.exe"}), ReportOutcome::Opened);
    EXPECT_EQ(run(processes), ReportOutcome::Opened);
    EXPECT_EQ(machine.content(dataDir + "\\" + name), ansiFile(fullReport(osLine("64 Bits"), processes)));
    EXPECT_EQ(machine.content(localDir + "\\" + name), ansiFile({firstLine}));
    EXPECT_EQ(machine.opened().size(), 2u);
}

TEST_F(SystemReportTest, InputOutputErrorsShowTheErrorBoxAndOpenNothing) {
    // The local copy cannot be created.
    machine.failPath(localDir + "\\");
    EXPECT_EQ(run(processes), ReportOutcome::IoError);
    EXPECT_TRUE(onlyIoError());
    EXPECT_NE(machine.transcript()[0].text.find(name), std::string::npos);
    EXPECT_TRUE(machine.opened().empty());

    // A line of the full copy cannot be written.
    machine.clearFaults();
    machine.clearTranscript();
    int writes = 0;
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        return op == "writeLine" && path.rfind(dataDir, 0) == 0 && ++writes == 4;
    });
    EXPECT_EQ(run(processes), ReportOutcome::IoError);
    EXPECT_TRUE(onlyIoError());
    EXPECT_TRUE(machine.opened().empty());

    // The data folder is missing and cannot be created: no file anywhere.
    machine.clearFaults();
    machine.clearTranscript();
    ASSERT_TRUE(machine.fileSystem().deleteFile(dataDir + "\\" + name));
    ASSERT_TRUE(machine.fileSystem().deleteFile(localDir + "\\" + name));
    ASSERT_TRUE(machine.fileSystem().removeDirectory(dataDir));
    machine.failPath(dataDir);
    EXPECT_EQ(run(processes), ReportOutcome::IoError);
    EXPECT_TRUE(onlyIoError());
    EXPECT_FALSE(machine.exists(localDir + "\\" + name));
    EXPECT_TRUE(machine.opened().empty());
}

}  // namespace
}  // namespace vx::test
