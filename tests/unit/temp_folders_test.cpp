#include "tools/temp_folders.h"

#include "scan_fixture.h"
#include "tools/tool_texts.h"

namespace vx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using tools::CleanupOutcome;
using tools::cleanTemporaryFolders;
using tools::folderSize;
using tools::sizeText;
using scan::fill;
namespace texts = tools::texts::temp_folders;

// Every clean-up log opens with these two lines.
const char* const kNote = texts::InUseNote;
const char* const kStarting = texts::Starting;

constexpr const char* kUserTemp = "C:\\Users\\Usuario\\AppData\\Local\\Temp\\";
constexpr const char* kWinTemp = "C:\\Windows\\temp\\";
constexpr const char* kLogName = "vx-temp07-12-202609-15-42.txt";
constexpr const char* kDataLog = "C:\\Users\\Usuario\\AppData\\Roaming\\varrex\\vx-temp07-12-202609-15-42.txt";
constexpr const char* kLocalLog = "C:\\Users\\Usuario\\AppData\\Local\\varrex\\vx-temp07-12-202609-15-42.txt";

struct TempFoldersSize : ScanFixture {};

TEST_F(TempFoldersSize, SizeTextRangesWithTheUsersSeparators) {
    auto& clock = machine.clock();
    EXPECT_EQ(sizeText(clock, 0), "0B");
    EXPECT_EQ(sizeText(clock, 1023), "1023B");
    EXPECT_EQ(sizeText(clock, 1536), "1,50 KB");
    EXPECT_EQ(sizeText(clock, 1048575), "1.024,00 KB") << "rounded up, still in the KB range";
    EXPECT_EQ(sizeText(clock, 1048576), "1,00 MB");
    EXPECT_EQ(sizeText(clock, 1073741823), "1.024,00 MB");
    EXPECT_EQ(sizeText(clock, 1073741824), "1,00 GB");
    EXPECT_EQ(sizeText(clock, 5ull << 40), "5.120,00 GB") << "GB carries on upward";
    machine.setLocale(memory::Locale::unitedStates());
    EXPECT_EQ(sizeText(clock, 1048575), "1,024.00 KB");
}

TEST_F(TempFoldersSize, CountsNestedFilesButNotDotFoldersNorLinks) {
    machine.addFile(std::string(kUserTemp) + "a.tmp", std::string(1000, 'x'));
    machine.addFile(std::string(kUserTemp) + "sub\\deep\\b.tmp", std::string(536, 'y'));
    machine.addFile(std::string(kUserTemp) + ".cache\\c.bin", std::string(4096, 'z'));
    machine.addFile("C:\\Users\\Usuario\\Documents\\big.doc", std::string(9000, 'd'));
    machine.addLink(std::string(kUserTemp) + "docs", "C:\\Users\\Usuario\\Documents");
    EXPECT_EQ(folderSize(machine.fileSystem(), kUserTemp), 1536u);
    EXPECT_EQ(folderSize(machine.fileSystem(), "C:\\Users\\Usuario\\AppData\\Local\\Temp"), 1536u)
        << "with or without the final backslash";
    EXPECT_EQ(tools::occupiedSpaceText(ctx, kUserTemp), fill(texts::OccupiedSpace.pt, {"1,50 KB"}));
    language = scan::kEnglish;
    EXPECT_EQ(tools::occupiedSpaceText(ctx, kWinTemp), fill(texts::OccupiedSpace.en, {"0B"})) << "an empty folder";
}

TEST_F(TempFoldersSize, AFiveGibFolderShowsItsTrueSize) {
    machine.addFileOfSize(std::string(kUserTemp) + "a.iso", 3ull << 30);
    machine.addFileOfSize(std::string(kUserTemp) + "b\\b.iso", 2ull << 30);
    EXPECT_EQ(folderSize(machine.fileSystem(), kUserTemp), 5ull << 30);
    EXPECT_EQ(tools::occupiedSpaceText(ctx, kUserTemp), fill(texts::OccupiedSpace.pt, {"5,00 GB"}));
}

TEST_F(TempFoldersSize, AJunctionBackIntoAnEnclosingFolderEnds) {
    machine.addFile(std::string(kUserTemp) + "x\\y\\f.tmp", "12345");
    machine.addLink(std::string(kUserTemp) + "x\\y\\loop", kUserTemp);
    machine.addLink(std::string(kUserTemp) + "self", kUserTemp);
    EXPECT_EQ(folderSize(machine.fileSystem(), kUserTemp), 5u);
}

TEST_F(TempFoldersSize, ACaptionThatIsNotAPathMeasuresNothing) {
    machine.addFile("C:\\Users\\Usuario\\Downloads\\Temporária do Windows\\f.tmp", "12345");
    EXPECT_EQ(folderSize(machine.fileSystem(), "Temporária do Windows"), 0u);
    EXPECT_EQ(folderSize(machine.fileSystem(), "C:\\Users\\Usuario\\Downloads\\Temporária do Windows"), 5u);
}

TEST_F(TempFoldersSize, TabShownRefreshesPathsAndSizes) {
    machine.addFile(std::string(kWinTemp) + "w.log", std::string(2048, 'w'));
    auto labels = tools::refreshTemporaryFolderLabels(ctx, "Temporária de Usuário");
    EXPECT_EQ(labels.label20, kUserTemp);
    EXPECT_EQ(labels.label21, kWinTemp);
    EXPECT_EQ(labels.label22, fill(texts::OccupiedSpace.pt, {"0B"}));
    EXPECT_EQ(labels.label23, fill(texts::OccupiedSpace.pt, {"2,00 KB"}));
    machine.setTemporaryPath("");
    EXPECT_EQ(tools::refreshTemporaryFolderLabels(ctx, "old caption").label20, "old caption");
}

TEST(TempFoldersPath, OnlyAbsolutePathsCount) {
    EXPECT_TRUE(tools::isAbsoluteFolderPath("C:\\Windows\\temp\\"));
    EXPECT_TRUE(tools::isAbsoluteFolderPath("d:\\"));
    EXPECT_TRUE(tools::isAbsoluteFolderPath("\\\\server\\share\\temp\\"));
    for (const char* bad : {"", " Pastas Temporárias \\", "Temp\\", "C:Temp\\", "\\Temp\\", "\\\\\\x",
                            "C:\\Temp\\..\\Users\\", "C:\\.\\Temp"})
        EXPECT_FALSE(tools::isAbsoluteFolderPath(bad)) << bad;
}

struct TempFoldersGuard : ScanFixture {
    bool mayClean(const std::string& folder) {
        return tools::mayCleanTemporaryFolder(machine.fileSystem(), machine.platform().shell, folder);
    }
};

TEST_F(TempFoldersGuard, RootsAndFoldersHoldingTheUsersOrTheSystemsOwnAreRefused) {
    for (const char* folder :
         {"C:\\", "C:\\\\Users\\\\Usuario", "\\\\server\\share\\", "\\\\server\\", "C:\\Users", "c:\\users\\usuario\\",
          "C:\\Users\\Usuario.\\", "C:\\Users\\Usuario\\AppData", "C:\\Users\\Usuario\\AppData\\Local\\",
          "C:\\Users\\Usuario\\AppData\\Roaming\\varrex", "C:\\Users\\Usuario\\Documents",
          "C:\\Users\\Usuario\\Downloads", "C:\\Users\\Usuario\\OneDrive", "C:\\Users\\Public",
          "C:\\ProgramData", "C:\\Windows", "C:\\Windows\\System32\\", "C:\\Windows\\SysWOW64",
          "C:\\Program Files (x86)", "C:\\Program Files\\Common Files"})
        EXPECT_FALSE(mayClean(folder)) << folder;
    // Only a folder that is or holds one counts, by whole names.
    for (const char* folder : {kUserTemp, kWinTemp, "C:\\Users\\Us", "C:\\Users\\Usuario\\Documents2",
                               "C:\\Windows\\System32\\temp", "\\\\server\\share\\temp\\", "D:\\Temp"})
        EXPECT_TRUE(mayClean(folder)) << folder;
    // A special folder Windows cannot give protects nothing.
    machine.setSpecialFolder(scan::csidl::Personal, "D:\\Dados\\Documentos");
    EXPECT_FALSE(mayClean("D:\\Dados"));
    machine.failSpecialFolder(scan::csidl::Personal);
    EXPECT_TRUE(mayClean("D:\\Dados"));
}

struct TempFoldersCleanup : ScanFixture {
    std::vector<std::string> logFile(const char* path) {
        auto bytes = machine.content(path);
        if (!bytes) return {"<no file>"};
        auto lines = machine.fileSystem().readTextLines(path, 1000);
        return lines ? *lines : std::vector<std::string>{"<unreadable>"};
    }
    // A user temporary folder with one of each kind of entry.
    void seedUserTemp() {
        const std::string t = kUserTemp;
        machine.addFolder(t + ".cache");
        machine.addFile(t + ".cache\\c.bin", "c");
        machine.addFile(t + "a.txt", "a", attr::ReadOnly);
        machine.addFolder(t + "Hidden", attr::Directory | attr::Hidden);
        machine.addFile(t + "Hidden\\h.txt", "h");
        machine.addFile(t + "in-use.tmp", "u");
        machine.lockFile(t + "in-use.tmp");
        machine.addFile(t + "sub\\deep\\d.txt", "d", attr::Hidden | attr::System);
        machine.addFile(t + "sub\\s.txt", "s");
        machine.addFile(std::string(kWinTemp) + "w.log", "w");
    }
};

TEST_F(TempFoldersCleanup, CleansBothFoldersAndWritesTheLogTwice) {
    seedUserTemp();
    size_t boxesWhenRefreshed = 0;
    CleanupOutcome out = cleanTemporaryFolders(ctx, kUserTemp, kWinTemp,
                                               [&] { boxesWhenRefreshed = machine.transcript().size(); });
    const std::string t = kUserTemp;
    const std::vector<std::string> expected{
        kNote,
        kStarting,
        fill(texts::FolderFound.pt, {t}),
        fill(texts::SubfolderDeleted.pt, {t + ".cache"}),
        fill(texts::FileDeleted.pt, {t + "a.txt"}),
        fill(texts::FileNotDeleted.pt, {t + "Hidden"}),
        fill(texts::FileNotDeleted.pt, {t + "in-use.tmp"}),
        fill(texts::SubfolderDeleted.pt, {t + "sub"}),
        fill(texts::FolderFound.pt, {kWinTemp}),
        fill(texts::FileDeleted.pt, {"C:\\Windows\\temp\\w.log"}),
        texts::Completed.pt,
    };
    EXPECT_EQ(out.end, CleanupOutcome::End::Completed);
    EXPECT_EQ(out.logPath, kDataLog);
    EXPECT_EQ(out.localLogPath, kLocalLog);
    EXPECT_THAT(logFile(kDataLog), ElementsAreArray(expected));
    EXPECT_EQ(machine.content(kDataLog), ansiFile(expected));
    EXPECT_EQ(machine.content(kLocalLog), machine.content(kDataLog));

    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].text, texts::Completed.pt);
    EXPECT_EQ(machine.transcript()[0].caption, tools::texts::WarningCaption.pt);
    EXPECT_EQ(machine.transcript()[0].icon, platform::Icon::Information);
    EXPECT_EQ(boxesWhenRefreshed, 1u) << "sizes are refreshed after the box";
    EXPECT_THAT(machine.opened(), ElementsAre(kDataLog));
    EXPECT_TRUE(out.messageShown && out.sizesRefreshed && out.logOpened);

    // The folders themselves stay; the hidden folder stays, no longer hidden, with its content.
    EXPECT_TRUE(machine.exists(kUserTemp));
    EXPECT_TRUE(machine.exists(kWinTemp));
    EXPECT_EQ(machine.attributes(t + "Hidden"), attr::Directory);
    EXPECT_EQ(machine.content(t + "Hidden\\h.txt"), "h");
    EXPECT_TRUE(machine.exists(t + "in-use.tmp"));
    EXPECT_FALSE(machine.exists(t + "sub"));
    EXPECT_FALSE(machine.exists(t + ".cache"));
    EXPECT_TRUE(log.lines().empty()) << "the activity log is not touched";
}

TEST_F(TempFoldersCleanup, EnglishLinesAndAFolderThatCannotBeRemoved) {
    language = scan::kEnglish;
    const std::string t = kUserTemp;
    machine.addFile(t + "busy\\lock.dat", "l");
    machine.lockFile(t + "busy\\lock.dat");
    machine.addFile(t + "busy\\gone.dat", "g");
    machine.addFile(t + "f.tmp", "f");
    machine.addFile(std::string(kWinTemp) + "w.log", "w");
    machine.lockFile(std::string(kWinTemp) + "w.log");
    cleanTemporaryFolders(ctx, kUserTemp, kWinTemp);
    EXPECT_THAT(logFile(kLocalLog),
                ElementsAre(kNote, kStarting, fill(texts::FolderFound.en, {t}),
                            fill(texts::SubfolderNotDeleted.en, {t + "busy"}),
                            fill(texts::FileDeleted.en, {t + "f.tmp"}), fill(texts::FolderFound.en, {kWinTemp}),
                            fill(texts::FileNotDeleted.en, {"C:\\Windows\\temp\\w.log"}), texts::Completed.en));
    EXPECT_FALSE(machine.exists(t + "busy\\gone.dat")) << "the deletable part of a folder goes all the same";
    EXPECT_TRUE(machine.exists(t + "busy\\lock.dat"));
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].text, texts::Completed.en);
    EXPECT_EQ(machine.transcript()[0].caption, tools::texts::WarningCaption.en);
}

TEST_F(TempFoldersCleanup, AMissingFolderEndsTheCleanUpAtOnce) {
    machine.addFile(std::string(kWinTemp) + "w.log", "w");
    bool refreshed = false;
    CleanupOutcome out =
        cleanTemporaryFolders(ctx, "C:\\NoSuchTemp", kWinTemp, [&] { refreshed = true; });
    EXPECT_EQ(out.end, CleanupOutcome::End::FolderMissing);
    EXPECT_THAT(logFile(kDataLog), ElementsAre(kNote, kStarting, fill(texts::FolderNotFound.pt, {"C:\\NoSuchTemp\\"})));
    EXPECT_EQ(machine.content(kLocalLog), machine.content(kDataLog));
    EXPECT_TRUE(machine.exists(std::string(kWinTemp) + "w.log")) << "no further folder is cleaned";
    EXPECT_TRUE(machine.transcript().empty());
    EXPECT_TRUE(machine.opened().empty());
    EXPECT_FALSE(refreshed);
}

TEST_F(TempFoldersCleanup, AProfileTemporaryFolderReadsAsNotFoundAndNothingIsTouched) {
    const std::string profile = "C:\\Users\\Usuario\\";
    machine.addFile(profile + "NTUSER.DAT", "hive", attr::Hidden | attr::System);
    machine.addFile(profile + "notas.txt", "notas", attr::ReadOnly);
    machine.addFile(profile + "Projetos\\tese.doc", "tese");
    machine.addFile(std::string(kWinTemp) + "w.log", "w");
    bool refreshed = false;
    CleanupOutcome out = cleanTemporaryFolders(ctx, "C:\\Users\\Usuario", kWinTemp, [&] { refreshed = true; });
    EXPECT_EQ(out.end, CleanupOutcome::End::FolderMissing);
    EXPECT_THAT(logFile(kDataLog), ElementsAre(kNote, kStarting, fill(texts::FolderNotFound.pt, {profile})));
    EXPECT_EQ(machine.content(kLocalLog), machine.content(kDataLog));
    EXPECT_EQ(machine.content(profile + "NTUSER.DAT"), "hive");
    EXPECT_EQ(machine.attributes(profile + "NTUSER.DAT"), attr::Hidden | attr::System);
    EXPECT_EQ(machine.attributes(profile + "notas.txt"), attr::ReadOnly);
    EXPECT_EQ(machine.content(profile + "Projetos\\tese.doc"), "tese");
    EXPECT_TRUE(machine.exists(std::string(kWinTemp) + "w.log")) << "the clean-up ends there";
    EXPECT_TRUE(machine.transcript().empty());
    EXPECT_TRUE(machine.opened().empty());
    EXPECT_FALSE(refreshed);
}

TEST_F(TempFoldersCleanup, AWindowsTemporaryFolderThatIsTheWindowsFolderIsRefusedToo) {
    language = scan::kEnglish;
    machine.addFile(std::string(kUserTemp) + "u.tmp", "u");
    machine.addFile("C:\\Windows\\win.ini", "ini");
    machine.addFile("C:\\Windows\\System32\\drivers\\etc\\hosts", "hosts");
    CleanupOutcome out = cleanTemporaryFolders(ctx, kUserTemp, "C:\\WINDOWS");
    EXPECT_EQ(out.end, CleanupOutcome::End::FolderMissing);
    EXPECT_THAT(logFile(kDataLog), ElementsAre(kNote, kStarting, fill(texts::FolderFound.en, {kUserTemp}),
                                               fill(texts::FileDeleted.en, {std::string(kUserTemp) + "u.tmp"}),
                                               fill(texts::FolderNotFound.en, {"C:\\WINDOWS\\"})));
    EXPECT_EQ(machine.content("C:\\Windows\\win.ini"), "ini");
    EXPECT_EQ(machine.content("C:\\Windows\\System32\\drivers\\etc\\hosts"), "hosts");
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(TempFoldersCleanup, CaptionsThatAreNotPathsNeverDeleteInTheCurrentDirectory) {
    // After a language switch the labels hold words; folders of those names
    // exist in the current directory and must survive.
    const std::string cwd = "C:\\Users\\Usuario\\Downloads\\";
    machine.addFile(cwd + " Temporary Folders \\keep.txt", "k");
    machine.addFile(cwd + "Temporary Windows\\keep.txt", "k");
    language = scan::kEnglish;
    CleanupOutcome out = cleanTemporaryFolders(ctx, " Temporary Folders ", "Temporary Windows");
    EXPECT_EQ(out.end, CleanupOutcome::End::FolderMissing);
    EXPECT_THAT(logFile(kDataLog),
                ElementsAre(kNote, kStarting, fill(texts::FolderNotFound.en, {" Temporary Folders \\"})));
    EXPECT_EQ(machine.content(cwd + " Temporary Folders \\keep.txt"), "k");
    EXPECT_EQ(machine.content(cwd + "Temporary Windows\\keep.txt"), "k");
    EXPECT_TRUE(machine.transcript().empty());
}

TEST_F(TempFoldersCleanup, ALinkInsideTheFolderIsNeverFollowed) {
    machine.addFile("C:\\Users\\Usuario\\Documents\\tese.doc", "tese");
    machine.addLink(std::string(kUserTemp) + "docs", "C:\\Users\\Usuario\\Documents");
    machine.addFolder(std::string(kUserTemp) + "plain");
    machine.addLink(std::string(kUserTemp) + "plain\\docs2", "C:\\Users\\Usuario\\Documents");
    cleanTemporaryFolders(ctx, kUserTemp, kWinTemp);
    EXPECT_EQ(machine.content("C:\\Users\\Usuario\\Documents\\tese.doc"), "tese");
}

TEST_F(TempFoldersCleanup, ALogThatCannotBeCreatedStopsBeforeDeleting) {
    machine.addFile(std::string(kUserTemp) + "a.txt", "a");
    machine.failPath("C:\\Users\\Usuario\\AppData\\Local\\varrex\\");
    CleanupOutcome out = cleanTemporaryFolders(ctx, kUserTemp, kWinTemp);
    EXPECT_EQ(out.end, CleanupOutcome::End::IoError);
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].kind, memory::DialogRecord::Kind::IoError);
    EXPECT_THAT(machine.transcript()[0].text, ::testing::StartsWith(std::string("Cannot create file \"") + kLocalLog));
    EXPECT_TRUE(machine.exists(std::string(kUserTemp) + "a.txt"));
    EXPECT_TRUE(machine.opened().empty());
}

TEST_F(TempFoldersCleanup, AWriteErrorStopsAtThatLine) {
    machine.addFile(std::string(kUserTemp) + "a.txt", "a");
    int writes = 0;
    // The third line (the found line) cannot be written to the local copy.
    machine.setFaultHook([&](std::string_view op, const std::string& path) {
        return op == "writeLine" && path == kLocalLog && ++writes == 3;
    });
    CleanupOutcome out = cleanTemporaryFolders(ctx, kUserTemp, kWinTemp);
    EXPECT_EQ(out.end, CleanupOutcome::End::IoError);
    ASSERT_EQ(machine.transcript().size(), 1u);
    EXPECT_EQ(machine.transcript()[0].kind, memory::DialogRecord::Kind::IoError);
    EXPECT_TRUE(machine.exists(std::string(kUserTemp) + "a.txt")) << "nothing is deleted after the error";
    EXPECT_TRUE(machine.opened().empty());
}

TEST_F(TempFoldersCleanup, MissingDataFoldersAreCreated) {
    ASSERT_TRUE(machine.fileSystem().removeDirectory("C:\\Users\\Usuario\\AppData\\Local\\varrex"));
    EXPECT_EQ(cleanTemporaryFolders(ctx, kUserTemp, kWinTemp).end, CleanupOutcome::End::Completed);
    EXPECT_TRUE(machine.exists(kLocalLog));
    EXPECT_EQ(tools::cleanupLogName({"07/12/2026", "09:15:42"}), kLogName);
}

TEST_F(TempFoldersCleanup, AVeryDeepTreeIsMeasuredAndRemoved) {
    std::string deep = std::string(kUserTemp) + "d";
    for (int i = 0; i < 10000; ++i) deep += "\\d";
    machine.addFile(deep + "\\f.tmp", "abc");
    EXPECT_EQ(folderSize(machine.fileSystem(), kUserTemp), 3u);
    EXPECT_TRUE(tools::emptyAndRemoveFolder(machine.fileSystem(), std::string(kUserTemp) + "d"));
    EXPECT_FALSE(machine.exists(std::string(kUserTemp) + "d"));
}

}  // namespace
}  // namespace vx::test
