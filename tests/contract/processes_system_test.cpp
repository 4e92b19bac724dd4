// Processes (the snapshot the worm kills walk, termination) and the system
// facts the program reads: drives, the temporary folder, special folders and
// the clock.
#include <algorithm>
#include <chrono>
#include <thread>

#include "contract_fixture.h"

namespace vx::contract {
namespace {

using namespace vx::platform;

std::vector<ProcessEntry> named(const std::vector<ProcessEntry>& list, const std::string& exeName) {
    std::vector<ProcessEntry> out;
    std::copy_if(list.begin(), list.end(), std::back_inserter(out),
                 [&](const ProcessEntry& p) { return p.exeName == exeName; });
    return out;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(Contract, AStartedProcessIsListedByItsFileNameUntilTerminated) {
    uint32_t pid = world().startStandIn("wscript.exe");
    ASSERT_NE(pid, 0u);

    auto list = procs().snapshot();
    auto it = std::find_if(list.begin(), list.end(), [&](const ProcessEntry& p) { return p.pid == pid; });
    ASSERT_NE(it, list.end());
    EXPECT_EQ(it->exeName, "wscript.exe");
    EXPECT_TRUE(endsWith(procs().imagePath(pid), "\\wscript.exe")) << procs().imagePath(pid);
    EXPECT_FALSE(procs().isCritical(pid));

    EXPECT_TRUE(procs().terminate(pid, 0));
    EXPECT_TRUE(leavesSnapshot(pid));
    // (Its identifier may still be opened for a moment after that, on Windows
    // as under Wine, so a second termination is not tested here.)
}

TEST_F(Contract, TheSnapshotKeepsTheCaseOfTheFileName) {
    uint32_t pid = world().startStandIn("Xcv.EXE");
    ASSERT_NE(pid, 0u);
    auto mine = named(procs().snapshot(), "Xcv.EXE");
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].pid, pid);
    EXPECT_TRUE(procs().terminate(pid, 1));
    EXPECT_TRUE(leavesSnapshot(pid));
}

TEST_F(Contract, TwoProcessesOfTheSameNameAreBothListed) {
    uint32_t first = world().startStandIn("wscript.exe");
    uint32_t second = world().startStandIn("wscript.exe");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);

    auto mine = named(procs().snapshot(), "wscript.exe");
    std::vector<uint32_t> pids;
    for (auto& p : mine) pids.push_back(p.pid);
    EXPECT_NE(std::find(pids.begin(), pids.end(), first), pids.end());
    EXPECT_NE(std::find(pids.begin(), pids.end(), second), pids.end());

    EXPECT_TRUE(procs().terminate(first, 0));
    EXPECT_TRUE(leavesSnapshot(first));
    EXPECT_TRUE(inSnapshot(second));
    EXPECT_TRUE(procs().terminate(second, 0));
    EXPECT_TRUE(leavesSnapshot(second));
}

TEST_F(Contract, TheFileOfARunningProgramCannotBeDeletedUntilItEnds) {
    // Why the folder deletion kills a process of an entry's name first.
    uint32_t pid = world().startStandIn("svchost32.exe");
    ASSERT_NE(pid, 0u);
    std::string image = procs().imagePath(pid);
    ASSERT_TRUE(fs().fileExists(image)) << image;

    EXPECT_FALSE(fs().deleteFile(image));
    EXPECT_TRUE(fs().fileExists(image));

    ASSERT_TRUE(procs().terminate(pid, 0));
    ASSERT_TRUE(leavesSnapshot(pid));
    bool deleted = false;
    for (int i = 0; i < 100 && !deleted; ++i) {
        deleted = fs().deleteFile(image).ok();
        if (!deleted) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(fs().fileExists(image));
}

TEST_F(Contract, AProcessThatDoesNotExistCannotBeTerminated) {
    auto list = procs().snapshot();
    uint32_t missing = 0x7FFC;
    while (std::any_of(list.begin(), list.end(), [&](const ProcessEntry& p) { return p.pid == missing; }))
        missing -= 4;
    const Status ended = procs().terminate(missing, 0);
    EXPECT_EQ(ended.fault(), Fault::Missing) << ended.code() << " " << ended.message();
    EXPECT_EQ(procs().imagePath(missing), "");
    EXPECT_FALSE(procs().isCritical(missing));
}

TEST_F(Contract, TheRunningProgramIsInTheSnapshot) {
    uint32_t self = procs().currentProcessId();
    EXPECT_NE(self, 0u);
    EXPECT_TRUE(inSnapshot(self));
    EXPECT_FALSE(procs().isCritical(self));
    std::string image = procs().imagePath(self);
    EXPECT_FALSE(image.empty());
    EXPECT_TRUE(equalNoCase(image, shell().programPath())) << image << " / " << shell().programPath();
    EXPECT_TRUE(fs().fileExists(shell().programPath())) << shell().programPath();
}

TEST_F(Contract, AStartedCommandWorksInTheSystemFolder) {
    // A command interpreter looks for a tool in its working folder first: a
    // command started there never meets a copy planted beside the program.
    if (!world().runsStartedCommands()) GTEST_SKIP() << "this machine records commands without running them";
    const std::string out = scratch + "cwd.txt";
    ASSERT_TRUE(procs().startCommand("cmd /c cd > \"" + out + "\""));
    std::optional<std::string> text;
    for (int i = 0; i < 100 && !(text && !text->empty()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        text = world().readBytes(out);
    }
    ASSERT_TRUE(text.has_value()) << "the command did not run";
    std::string folder = text->substr(0, text->find_first_of("\r\n"));
    std::string system = shell().specialFolder(37);
    EXPECT_TRUE(equalNoCase(folder, system)) << folder << " / " << system;
}

TEST_F(Contract, DrivesAndTheTemporaryFolder) {
    uint32_t drives = fs().logicalDrives();
    EXPECT_NE(drives & (1u << ('C' - 'A')), 0u);
    EXPECT_EQ(fs().driveType("C:\\"), DriveType::Fixed);
    // A letter without a drive has no root folder.
    int letter = 25;
    while (letter > 2 && (drives & (1u << letter))) --letter;
    ASSERT_GT(letter, 2);
    std::string root = std::string(1, static_cast<char>('A' + letter)) + ":\\";
    EXPECT_EQ(fs().driveType(root), DriveType::NoRootDir) << root;
    EXPECT_FALSE(fs().directoryExists(root));

    std::string temp = fs().temporaryPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(fs().directoryExists(temp)) << temp;
}

TEST_F(Contract, SpecialFoldersExistAndLieInTheProfile) {
    std::string profile = shell().specialFolder(40);
    ASSERT_FALSE(profile.empty());
    EXPECT_TRUE(fs().directoryExists(profile)) << profile;
    EXPECT_TRUE(equalNoCase(profile.substr(0, 3), "C:\\")) << profile;
    for (int csidl : {26, 28}) {
        std::string folder = shell().specialFolder(csidl);
        SCOPED_TRACE(folder);
        ASSERT_GT(folder.size(), 3u) << csidl;
        EXPECT_NE(folder.back(), '\\');
        EXPECT_TRUE(fs().directoryExists(folder));
        EXPECT_TRUE(equalNoCase(folder.substr(0, profile.size() + 1), profile + "\\"));
    }
    std::string windows = shell().specialFolder(36);
    EXPECT_TRUE(fs().directoryExists(windows)) << windows;
    // A number Windows does not know gives an empty text.
    EXPECT_EQ(shell().specialFolder(0xFF), "");
}

TEST_F(Contract, TheClockGivesTheDateAndTimeInTheUsersFormats) {
    DateTime now = clock().now();
    EXPECT_GE(now.year, 2020);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
    EXPECT_TRUE(now.day >= 1 && now.day <= 31);
    EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);

    // The formats follow the user's locale; only their presence is shared.
    DateTime fixed{2026, 7, 12, 9, 15, 42, 0};
    std::string date = clock().shortDate(fixed);
    std::string time = clock().longTime(fixed);
    EXPECT_NE(date.find("12"), std::string::npos) << date;
    EXPECT_NE(date.find("7"), std::string::npos) << date;
    EXPECT_NE(time.find("15"), std::string::npos) << time;
    EXPECT_NE(time.find("42"), std::string::npos) << time;
    std::string number = clock().formatNumber(1024, 2);
    EXPECT_NE(number.find("024"), std::string::npos) << number;
    EXPECT_TRUE(endsWith(number, "00")) << number;
}

}  // namespace
}  // namespace vx::contract
