#include "scan/primitives.h"

#include "scan/scan_texts.h"
#include "scan_fixture.h"

namespace vx::test {
namespace {

using scan::CountsAsInfection;
using scan::deleteFolderTree;
using scan::fill;
using scan::isProcessRunning;
using scan::killProcessByName;
using ::testing::ElementsAre;
namespace texts = scan::texts::primitives;

struct KillProcess : ScanFixture {};

TEST_F(KillProcess, EndsEveryMatchWhateverTheLetterCase) {
    machine.addProcess("wscript.exe");
    machine.addProcess("WScript.EXE");
    machine.addProcess("notepad.exe");
    EXPECT_TRUE(killProcessByName(machine.processes(), "WSCRIPT.EXE").ended);
    EXPECT_EQ(machine.countProcesses("wscript.exe"), 0u);
    EXPECT_TRUE(machine.isRunning("notepad.exe"));
    EXPECT_FALSE(killProcessByName(machine.processes(), "wscript.exe").ended) << "nothing left to match";
}

TEST_F(KillProcess, MatchesTheWholeTextTheProcessListReports) {
    machine.addProcess("C:\\Temp\\xcv.exe");
    EXPECT_TRUE(isProcessRunning(machine.processes(), "xcv.exe"));
    EXPECT_TRUE(isProcessRunning(machine.processes(), "c:\\temp\\XCV.EXE"));
    EXPECT_TRUE(killProcessByName(machine.processes(), "xcv.exe").ended);
    EXPECT_FALSE(isProcessRunning(machine.processes(), "xcv.exe"));
}

TEST_F(KillProcess, ReturnsTheResultOfTheLastAttempt) {
    machine.addProcess("lulu.exe");
    machine.addProcess("lulu.exe", "", /*terminable=*/false);
    EXPECT_FALSE(killProcessByName(machine.processes(), "lulu.exe").ended);
    EXPECT_EQ(machine.countProcesses("lulu.exe"), 1u) << "the first one was still ended";
}

TEST_F(KillProcess, NeverEndsWindowsOwnProcessesNorItself) {
    // Files on a worm's drive may carry these names; ending them would halt Windows
    // or the program.
    for (const char* name : {"csrss.exe", "LSASS.EXE", "svchost.exe", "winlogon.exe", "smss.exe", "System",
                             "varrex.exe", "[System Process]"}) {
        EXPECT_FALSE(killProcessByName(machine.processes(), name).ended) << name;
        EXPECT_TRUE(machine.isRunning(name)) << name;
    }
    EXPECT_FALSE(machine.systemHalted());
    EXPECT_FALSE(machine.selfTerminated());
    EXPECT_TRUE(machine.terminations().empty());
}

TEST_F(KillProcess, SkipsAProcessTheSystemMarksCritical) {
    machine.setWindowsVersion({10, 0, 19045});
    machine.addProcess("worm.exe", "", true, /*critical=*/true);
    EXPECT_FALSE(killProcessByName(machine.processes(), "worm.exe").ended);
    EXPECT_TRUE(machine.isRunning("worm.exe"));
}

TEST_F(KillProcess, AnEmptySnapshotMatchesNothing) {
    machine.addProcess("wscript.exe");
    machine.setSnapshotFails(true);
    EXPECT_FALSE(killProcessByName(machine.processes(), "wscript.exe").ended);
    EXPECT_FALSE(isProcessRunning(machine.processes(), "wscript.exe"));
}

// Counts the process lists taken, passing every call through.
struct CountingProcesses : platform::Processes {
    explicit CountingProcesses(platform::Processes& inner) : in(inner) {}
    std::vector<platform::ProcessEntry> snapshot() override {
        ++snapshots;
        return in.snapshot();
    }
    std::string imagePath(uint32_t pid) override { return in.imagePath(pid); }
    platform::Status terminate(uint32_t pid, uint32_t code) override { return in.terminate(pid, code); }
    bool isCritical(uint32_t pid) override { return in.isCritical(pid); }
    uint32_t currentProcessId() override { return in.currentProcessId(); }
    platform::Status startCommand(const std::string& line) override { return in.startCommand(line); }
    platform::Processes& in;
    int snapshots = 0;
};

TEST_F(KillProcess, LookupsShareOneListAndActOnlyOnAFreshOne) {
    CountingProcesses counted(machine.processes());
    scan::ProcessLookups lookups(counted, 3);
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(lookups.kill("file" + std::to_string(i) + ".lnk").ended);
    EXPECT_EQ(counted.snapshots, 2) << "one list per three look-ups";

    // A process that ended after the list was taken is not acted on: the
    // name is looked up again in a list taken at once.
    const uint32_t pid = machine.addProcess("worm.exe");
    EXPECT_TRUE(lookups.isRunning("worm.exe"));
    machine.removeProcess(pid);
    EXPECT_FALSE(lookups.isRunning("worm.exe"));
    EXPECT_FALSE(lookups.kill("worm.exe").ended);

    machine.addProcess("worm.exe");
    EXPECT_FALSE(lookups.kill("worm.exe").ended) << "started after the last list: seen at the next one";
    for (int i = 0; i < 3; ++i) lookups.isRunning("other.exe");
    EXPECT_TRUE(lookups.kill("worm.exe").ended);
    EXPECT_FALSE(lookups.isRunning("worm.exe")) << "the list is taken again after a termination";
}

struct DeleteFolderTree : ScanFixture {};

TEST_F(DeleteFolderTree, MissingFolderIsReportedInBothLanguages) {
    const scan::FolderRemoval missing = deleteFolderTree(ctx, "E:\\RECYCLER", CountsAsInfection::Yes);
    EXPECT_FALSE(missing.found);
    EXPECT_FALSE(missing.removed);
    language = scan::kEnglish;
    EXPECT_FALSE(deleteFolderTree(ctx, "E:\\Trashes\\", CountsAsInfection::Yes).found);
    EXPECT_THAT(lines(), ElementsAre(fill(texts::FolderNotFound.pt, {"E:\\RECYCLER\\"}),
                                     fill(texts::FolderNotFound.en, {"E:\\Trashes\\"})));
    EXPECT_FALSE(flags.infectionFound);
}

TEST_F(DeleteFolderTree, EmptiesNestedFoldersAndEndsProcessesNamedLikeTheirFiles) {
    machine.addFolder("E:\\RECYCLER", attr::Directory | attr::Hidden | attr::System);
    machine.addFile("E:\\RECYCLER\\explorer.exe", "MZ", attr::Hidden | attr::ReadOnly);
    machine.addFolder("E:\\RECYCLER\\S-1-5-21");
    machine.addFile("E:\\RECYCLER\\S-1-5-21\\lulu.exe", "MZ");
    machine.addFile("E:\\RECYCLER\\S-1-5-21\\desktop.ini", "[x]");
    machine.addProcess("explorer.exe");  // a second one beside the machine's own
    machine.addProcess("lulu.exe");

    const scan::FolderRemoval recycler = deleteFolderTree(ctx, "E:\\RECYCLER", CountsAsInfection::No);
    EXPECT_TRUE(recycler.found);
    EXPECT_TRUE(recycler.removed);
    EXPECT_FALSE(machine.exists("E:\\RECYCLER"));
    EXPECT_EQ(machine.countProcesses("explorer.exe"), 0u);
    EXPECT_FALSE(machine.isRunning("lulu.exe"));
    // Entries come in find order: the file before the sub-folder.
    EXPECT_THAT(lines(), ElementsAre(fill(texts::ProcessFinished.pt, {"explorer.exe"}),
                                     fill(texts::ProcessFinished.pt, {"lulu.exe"})));
    EXPECT_TRUE(flags.infectionFound) << "a nested folder is never quiet";

    language = scan::kEnglish;
    machine.addFolder("E:\\Trashes");
    machine.addFile("E:\\Trashes\\lulu.exe");
    machine.addProcess("lulu.exe");
    flags = {};
    EXPECT_TRUE(deleteFolderTree(ctx, "E:\\Trashes\\", CountsAsInfection::No).removed);
    EXPECT_EQ(lines().back(), fill(texts::ProcessFinished.en, {"lulu.exe"}));
    EXPECT_FALSE(flags.infectionFound) << "quiet and no nested folder";
}

TEST_F(DeleteFolderTree, AMarkedSubFolderIsNotEnteredSoItsParentStays) {
    machine.addFolder("E:\\System Volume Information");
    machine.addFile("E:\\System Volume Information\\a.dat");
    machine.addFolder("E:\\System Volume Information\\hidden", attr::Directory | attr::Hidden);
    machine.addFile("E:\\System Volume Information\\hidden\\keep.txt", "keep");

    EXPECT_FALSE(deleteFolderTree(ctx, "E:\\System Volume Information", CountsAsInfection::Yes).removed);
    EXPECT_FALSE(machine.exists("E:\\System Volume Information\\a.dat"));
    EXPECT_EQ(machine.content("E:\\System Volume Information\\hidden\\keep.txt"), "keep");
    EXPECT_EQ(machine.attributes("E:\\System Volume Information\\hidden"), attr::Directory)
        << "its marks are cleared all the same";
    EXPECT_TRUE(flags.infectionFound);
}

TEST_F(DeleteFolderTree, NeverFollowsAJunctionOffTheDrive) {
    machine.addFolder("C:\\Dados");
    machine.addFile("C:\\Dados\\tese.doc", "tese");
    machine.addFolder("E:\\RECYCLER");
    machine.addLink("E:\\RECYCLER\\atalho", "C:\\Dados");
    machine.addLink("E:\\Trashes", "C:\\Dados");

    EXPECT_FALSE(deleteFolderTree(ctx, "E:\\RECYCLER", CountsAsInfection::Yes).removed)
        << "the junction stays, so its parent does";
    EXPECT_TRUE(deleteFolderTree(ctx, "E:\\Trashes", CountsAsInfection::Yes).removed)
        << "a junction handed over is removed as a link";
    EXPECT_FALSE(machine.exists("E:\\Trashes"));
    EXPECT_EQ(machine.content("C:\\Dados\\tese.doc"), "tese");
}

TEST_F(DeleteFolderTree, FilesInUseStayAndKeepTheirFolder) {
    machine.addFolder("E:\\Drive");
    machine.addFile("E:\\Drive\\Drive.bat", "x");
    machine.addFile("E:\\Drive\\aberto.txt", "y");
    machine.lockFile("E:\\Drive\\aberto.txt");
    const scan::FolderRemoval drive = deleteFolderTree(ctx, "E:\\Drive", CountsAsInfection::Yes);
    EXPECT_TRUE(drive.found);
    EXPECT_FALSE(drive.removed);
    EXPECT_TRUE(machine.exists("E:\\Drive\\aberto.txt"));
    EXPECT_FALSE(machine.exists("E:\\Drive\\Drive.bat"));
}

TEST_F(DeleteFolderTree, HandlesATenThousandLevelChain) {
    std::string path = "E:\\RECYCLER";
    machine.addFolder(path);
    for (int i = 0; i < 10000; ++i) path += "\\d";
    machine.addFolder(path);
    machine.addFile(path + "\\fundo.exe", "MZ");
    EXPECT_TRUE(deleteFolderTree(ctx, "E:\\RECYCLER", CountsAsInfection::Yes).removed);
    EXPECT_FALSE(machine.exists("E:\\RECYCLER"));
    EXPECT_TRUE(lines().empty());
}

TEST_F(DeleteFolderTree, ADriveThatVanishesMidwayEndsTheWalk) {
    machine.addFolder("E:\\RECYCLER");
    for (int i = 0; i < 20; ++i) machine.addFile("E:\\RECYCLER\\f" + std::to_string(i) + ".exe");
    for (uint64_t k = 1; k < 60; k += 7) {
        memory::Machine copy = machine;
        scan::ActivityLog copyLog;
        scan::RunFlags copyFlags;
        scan::RunContext copyCtx{copy.platform(), copyLog, copyFlags, language};
        copy.vanishDriveAfter(k, 'E');
        EXPECT_FALSE(deleteFolderTree(copyCtx, "E:\\RECYCLER", CountsAsInfection::Yes).removed)
            << "vanished after " << k << " calls";
    }
}

}  // namespace
}  // namespace vx::test
