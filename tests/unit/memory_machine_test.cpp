// The memory machine must behave as Windows does wherever the program can
// tell the difference: these tests pin the rules the rest of the suite relies on.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/memory/memory_machine.h"

namespace {

using vx::memory::DialogRecord;
using vx::memory::Locale;
using vx::memory::Machine;
using vx::platform::Answer;
using vx::platform::Buttons;
using vx::platform::DriveType;
using vx::platform::FileIdentity;
using vx::platform::FindEntry;
using vx::platform::Icon;
using vx::platform::RegAccess;
using vx::platform::Fault;
using vx::platform::RegValue;
using vx::platform::RootKey;
namespace attr = vx::platform::attr;

// What a call's outcome means: Fault::None on success.
Fault faultOf(const vx::platform::Status& s) { return s.fault(); }
template <typename T>
Fault faultOf(const vx::platform::Result<T>& r) {
    return r.status().fault();
}

// Every name find() reports for `pattern`, in order ("<null>" when it fails).
std::vector<std::string> names(vx::platform::FileSystem& fs, const std::string& pattern) {
    std::vector<std::string> out;
    auto finder = fs.find(pattern);
    if (!finder) return {"<null>"};
    FindEntry e;
    while (finder->next(e)) out.push_back(e.name);
    return out;
}

using Names = std::vector<std::string>;

// A machine with an empty pen drive E:.
struct MemoryPenDrive : ::testing::Test {
    Machine m;
    vx::platform::FileSystem& fs = m.fileSystem();
    MemoryPenDrive() { m.addDrive('E', DriveType::Removable, "KINGSTON"); }
};

// ---------------------------------------------------------------------------

TEST(MemoryMachinePreset, Windows7MachineHasWhatTheProgramAsksFor) {
    Machine m;
    auto os = m.platform();
    const int folders[] = {7, 16, 24, 26, 28, 29, 30, 35, 36, 38, 40, 41};
    for (int csidl : folders) {
        std::string path = os.shell.specialFolder(csidl);
        ASSERT_FALSE(path.empty()) << csidl;
        EXPECT_NE(path.back(), '\\') << csidl;
        EXPECT_TRUE(os.fs.directoryExists(path)) << path;
    }
    EXPECT_EQ(os.shell.specialFolder(26), "C:\\Users\\Usuario\\AppData\\Roaming");
    EXPECT_EQ(os.shell.specialFolder(36), "C:\\Windows");
    EXPECT_EQ(os.fs.temporaryPath(), "C:\\Users\\Usuario\\AppData\\Local\\Temp\\");
    EXPECT_TRUE(os.fs.directoryExists(os.fs.temporaryPath()));
    EXPECT_TRUE(os.fs.fileExists(os.shell.programPath()));
    EXPECT_TRUE(os.fs.fileExists("Varrex.exe")) << "relative to the current directory";
    EXPECT_EQ(os.fs.logicalDrives(), 1u << 2);
    EXPECT_EQ(os.fs.driveType("C:\\"), DriveType::Fixed);
    EXPECT_EQ(os.fs.volumeLabel("C:\\"), "Windows");

    auto nt = os.registry.open(RootKey::LocalMachine, "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\",
                               RegAccess::Read);
    ASSERT_TRUE(nt);
    EXPECT_EQ(nt->readText("ProductName"), "Windows 7 Professional");
    EXPECT_EQ(nt->readText("CurrentBuild"), "7601");
    for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine}) {
        auto run = os.registry.open(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", RegAccess::Full);
        ASSERT_TRUE(run);
        EXPECT_TRUE(run->valueNames().empty());
    }

    auto list = os.processes.snapshot();
    ASSERT_GE(list.size(), 12u);
    EXPECT_EQ(list[0].pid, 0u);
    uint32_t self = os.processes.currentProcessId();
    EXPECT_EQ(os.processes.imagePath(self), os.shell.programPath());
    EXPECT_EQ(m.countProcesses("SVCHOST.EXE"), 2u);

    EXPECT_EQ(os.clock.shortDate(os.clock.now()), "07/12/2026");
    EXPECT_EQ(os.clock.longTime(os.clock.now()), "09:15:42");
    auto v = os.shell.windowsVersion();
    EXPECT_EQ(v.major * 100 + v.minor, 601u);
}

TEST(MemoryMachinePreset, EmptyMachineHasNothing) {
    Machine m(Machine::Preset::Empty);
    EXPECT_EQ(m.fileSystem().logicalDrives(), 0u);
    EXPECT_TRUE(m.processes().snapshot().empty());
    EXPECT_EQ(m.shell().specialFolder(26), "");
    EXPECT_FALSE(m.registry().open(RootKey::CurrentUser, "Software", RegAccess::Read));
    EXPECT_FALSE(m.fileSystem().fileExists("relative.txt"));
}

// ---------------------------------------------------------------------------
// Find

TEST_F(MemoryPenDrive, MasksFollowFindFirstFileRules) {
    for (const char* n : {"README", "a.js", "b.JS", "c.jsx", "d.js.txt", "foo", "foo.bar", "x.y.z", ".hidden", "ab"})
        m.addFile(std::string("E:\\") + n);
    EXPECT_EQ(names(fs, "E:\\*.*"),
              (Names{".hidden", "a.js", "ab", "b.JS", "c.jsx", "d.js.txt", "foo", "foo.bar", "README", "x.y.z"}));
    EXPECT_EQ(names(fs, "E:\\*"), names(fs, "E:\\*.*"));
    EXPECT_EQ(names(fs, "E:\\*.js"), (Names{"a.js", "b.JS"}));
    EXPECT_EQ(names(fs, "E:\\foo.*"), (Names{"foo", "foo.bar"})) << "'.*' also takes the name without extension";
    // A final '.' takes names without extension; ".hidden" is one through its
    // short name HIDDEN~1.
    EXPECT_EQ(names(fs, "E:\\*."), (Names{".hidden", "ab", "foo", "README"}));
    EXPECT_EQ(names(fs, "E:\\?.js"), (Names{"a.js", "b.JS"}));
    EXPECT_EQ(names(fs, "E:\\??"), (Names{"ab"}));
    EXPECT_EQ(names(fs, "E:\\*.y.*"), (Names{"x.y.z"}));
    EXPECT_EQ(names(fs, "E:\\FOO.BAR"), (Names{"foo.bar"})) << "a plain name finds that entry";
    EXPECT_EQ(names(fs, "E:\\*.vbs"), (Names{"<null>"}));

    // Names that are not 8.3 also match through their short name.
    m.addFile("E:\\setup.exe1");
    m.addFile("E:\\Página Inicial.html");
    EXPECT_EQ(names(fs, "E:\\*.exe"), (Names{"setup.exe1"}));
    EXPECT_EQ(names(fs, "E:\\*.htm"), (Names{"Página Inicial.html"}));
    EXPECT_EQ(names(fs, "E:\\setup.exe"), (Names{"<null>"})) << "a plain name never does";
}

TEST_F(MemoryPenDrive, FindReportsDotsThenNtfsOrderAndFailsForMissingFolders) {
    m.addFolder("E:\\Pasta");
    for (const char* n : {"b", "_x", "A1", "a", "Z", "é"}) m.addFile(std::string("E:\\Pasta\\") + n);
    // Names compare upper-cased, so "_" (0x5F) comes after every letter.
    EXPECT_EQ(names(fs, "E:\\Pasta\\*.*"), (Names{".", "..", "a", "A1", "b", "Z", "_x", "é"}));
    EXPECT_EQ(names(fs, "E:\\*.*"), (Names{"Pasta"})) << "a drive root has no dots";
    EXPECT_EQ(names(fs, "E:\\Pasta\\*.txt"), (Names{"<null>"}));
    EXPECT_EQ(names(fs, "E:\\Nada\\*.*"), (Names{"<null>"}));
    EXPECT_EQ(names(fs, "E:\\Pasta\\a\\*.*"), (Names{"<null>"})) << "a file is no folder";
    EXPECT_EQ(names(fs, "Q:\\*.*"), (Names{"<null>"}));
    EXPECT_EQ(names(fs, "E:\\Pasta\\"), (Names{"<null>"}));

    auto finder = fs.find("E:\\Pasta\\*.*");
    FindEntry e;
    ASSERT_TRUE(finder->next(e));
    EXPECT_EQ(e.name, ".");
    EXPECT_EQ(e.attributes, attr::Directory);
}

TEST_F(MemoryPenDrive, EnumerationStaysValidWhileTheFolderChanges) {
    for (const char* n : {"a", "b", "c", "d", "e"}) m.addFile(std::string("E:\\") + n);
    auto finder = fs.find("E:\\*");
    FindEntry e;
    std::vector<std::string> seen;
    while (finder->next(e)) {
        seen.push_back(e.name);
        if (e.name == "b") {
            EXPECT_TRUE(fs.deleteFile("E:\\b"));  // the current one
            EXPECT_TRUE(fs.deleteFile("E:\\c"));  // one not reached yet
            m.addFile("E:\\cc");                  // added ahead of the walk
            m.addFile("E:\\0");                   // added behind it
        }
    }
    EXPECT_EQ(seen, (Names{"a", "b", "cc", "d", "e"}));

    // Deleting everything, the folder included, while listing it.
    m.addFolder("E:\\T");
    for (int i = 0; i < 5; ++i) m.addFile("E:\\T\\f" + std::to_string(i));
    auto inner = fs.find("E:\\T\\*.*");
    int count = 0;
    while (inner->next(e)) {
        ++count;
        if (e.name != "." && e.name != "..") fs.deleteFile("E:\\T\\" + e.name).ignore();
    }
    EXPECT_EQ(count, 7);
    auto last = fs.find("E:\\T\\*.*");
    ASSERT_TRUE(last);
    EXPECT_TRUE(fs.removeDirectory("E:\\T"));
    while (last->next(e)) {
    }
    EXPECT_FALSE(last->next(e));
}

// ---------------------------------------------------------------------------
// Names and attributes

TEST_F(MemoryPenDrive, NamesIgnoreLetterCaseButKeepIt) {
    m.addFolder("E:\\Fotos");
    m.addFile("E:\\Fotos\\Ação.txt", "x");
    EXPECT_TRUE(fs.directoryExists("e:\\FOTOS"));
    EXPECT_TRUE(fs.fileExists("E:\\fotos\\AÇÃO.TXT"));
    EXPECT_EQ(names(fs, "E:\\FOTOS\\*.TXT"), (Names{"Ação.txt"}));
    EXPECT_FALSE(fs.createDirectory("E:\\FOTOS"));
    EXPECT_TRUE(fs.move("E:\\fotos", "E:\\FOTOS")) << "a change of letter case renames the entry";
    EXPECT_EQ(names(fs, "E:\\*"), (Names{"FOTOS"}));

    // Trailing dots and blanks are part of the name.
    EXPECT_TRUE(fs.createDirectory("E:\\FOTOS."));
    EXPECT_TRUE(fs.createDirectory("E:\\FOTOS "));
    EXPECT_EQ(names(fs, "E:\\*").size(), 3u);
    EXPECT_FALSE(fs.createDirectory("E:\\a:b"));
    EXPECT_FALSE(fs.createDirectory("E:\\new\\sub")) << "one level only";
}

TEST_F(MemoryPenDrive, AttributeRulesMatchWindows) {
    m.addFile("E:\\f.txt", "abc", attr::Hidden | attr::System);
    m.addFolder("E:\\d", attr::Directory | attr::Hidden);
    m.addLink("E:\\j", "C:\\Windows");
    EXPECT_EQ(fs.getAttributes("E:\\f.txt"), attr::Hidden | attr::System);
    EXPECT_EQ(fs.getAttributes("E:\\d"), attr::Directory | attr::Hidden);
    EXPECT_EQ(fs.getAttributes("E:\\j"), attr::Directory | attr::ReparsePoint);
    EXPECT_EQ(fs.getAttributes("E:\\none"), attr::Invalid);

    for (const char* p : {"E:\\f.txt", "E:\\d", "E:\\j"}) EXPECT_TRUE(fs.setAttributes(p, 0));
    EXPECT_EQ(fs.getAttributes("E:\\f.txt"), attr::Normal);
    EXPECT_EQ(fs.getAttributes("E:\\d"), attr::Directory);
    EXPECT_EQ(fs.getAttributes("E:\\j"), attr::Directory | attr::ReparsePoint);
    EXPECT_TRUE(fs.setAttributes("E:\\f.txt", attr::Normal | attr::ReadOnly));
    EXPECT_EQ(fs.getAttributes("E:\\f.txt"), attr::ReadOnly);
    EXPECT_FALSE(fs.setAttributes("E:\\none", 0));

    EXPECT_TRUE(fs.directoryExists("E:\\"));
    EXPECT_TRUE(fs.directoryExists("E:"));
    EXPECT_FALSE(fs.directoryExists("F:\\"));
    EXPECT_TRUE(fs.fileExists("E:\\f.txt"));
    EXPECT_FALSE(fs.fileExists("E:\\d"));
    EXPECT_TRUE(fs.directoryExists("E:\\j"));

    // A final "\\" names a folder.
    EXPECT_TRUE(fs.directoryExists("E:\\d\\"));
    EXPECT_EQ(fs.getAttributes("E:\\f.txt\\"), attr::Invalid);
    EXPECT_FALSE(fs.deleteFile("E:\\f.txt\\"));
    EXPECT_FALSE(fs.writeTextFile("E:\\new.txt\\", {"x"}));
    EXPECT_FALSE(m.exists("E:\\new.txt"));
}

// Lookups start from folders remembered from earlier paths; no change of the
// tree may leave such a folder standing for a path that now names another.
TEST_F(MemoryPenDrive, RememberedPathsFollowEveryChangeOfTheTree) {
    m.addFile("E:\\a\\b\\c\\d\\f.txt", "1");
    EXPECT_TRUE(fs.fileExists("E:\\a\\b\\c\\d\\f.txt"));
    ASSERT_TRUE(fs.move("E:\\a\\b", "E:\\a\\x"));
    EXPECT_FALSE(fs.fileExists("E:\\a\\b\\c\\d\\f.txt"));
    EXPECT_TRUE(fs.fileExists("E:\\a\\x\\c\\d\\f.txt"));

    // Removed and made again: the new folder, not the old one.
    ASSERT_TRUE(fs.deleteFile("E:\\a\\x\\c\\d\\f.txt"));
    ASSERT_TRUE(fs.removeDirectory("E:\\a\\x\\c\\d"));
    EXPECT_FALSE(fs.directoryExists("E:\\a\\x\\c\\d"));
    ASSERT_TRUE(fs.createDirectory("E:\\a\\x\\c\\d"));
    ASSERT_TRUE(fs.writeTextFile("E:\\a\\x\\c\\d\\g.txt", {"2"}));
    EXPECT_EQ(names(fs, "E:\\a\\x\\c\\d\\*.txt"), (Names{"g.txt"}));

    // An empty folder moved away, and a file put where a folder was.
    ASSERT_TRUE(fs.createDirectory("E:\\a\\x\\c\\e"));
    EXPECT_TRUE(fs.directoryExists("E:\\a\\x\\c\\e"));
    ASSERT_TRUE(fs.move("E:\\a\\x\\c\\e", "E:\\e"));
    EXPECT_FALSE(fs.createDirectory("E:\\a\\x\\c\\e\\inside"));
    EXPECT_TRUE(m.exists("E:\\e"));
    ASSERT_TRUE(fs.deleteFile("E:\\a\\x\\c\\d\\g.txt"));
    ASSERT_TRUE(fs.removeDirectory("E:\\a\\x\\c\\d"));
    m.addFile("E:\\a\\x\\c\\d", "now a file");
    EXPECT_FALSE(fs.directoryExists("E:\\a\\x\\c\\d"));
    EXPECT_FALSE(fs.fileExists("E:\\a\\x\\c\\d\\g.txt"));

    // A shared text prefix is not a shared folder.
    m.addFile("E:\\ab\\c\\in-ab.txt");
    m.addFile("E:\\a\\c\\in-a.txt");
    EXPECT_EQ(names(fs, "E:\\ab\\c\\*.txt"), (Names{"in-ab.txt"}));
    EXPECT_EQ(names(fs, "E:\\a\\c\\*.txt"), (Names{"in-a.txt"}));

    // A drive put back after it vanished is a new, empty drive.
    EXPECT_TRUE(fs.directoryExists("E:\\a\\x\\c"));
    m.removeDrive('E');
    m.addDrive('E', DriveType::Removable);
    EXPECT_FALSE(fs.directoryExists("E:\\a\\x\\c"));
    EXPECT_FALSE(fs.directoryExists("E:\\a"));
}

TEST_F(MemoryPenDrive, DeletionRefusesWhatWindowsRefuses) {
    m.addFile("E:\\ro.txt", "", attr::ReadOnly);
    m.addFile("E:\\locked.txt");
    m.lockFile("E:\\locked.txt");
    m.addFolder("E:\\full");
    m.addFile("E:\\full\\x");
    m.addFolder("E:\\ro", attr::Directory | attr::ReadOnly);

    EXPECT_FALSE(fs.deleteFile("E:\\ro.txt"));
    EXPECT_FALSE(fs.deleteFile("E:\\locked.txt"));
    EXPECT_FALSE(fs.deleteFile("E:\\full"));
    EXPECT_FALSE(fs.deleteFile("E:\\none"));
    EXPECT_FALSE(fs.removeDirectory("E:\\full"));
    EXPECT_FALSE(fs.removeDirectory("E:\\ro.txt"));
    EXPECT_FALSE(fs.removeDirectory("E:\\ro"));
    EXPECT_FALSE(fs.removeDirectory("E:\\"));
    m.addFolder("E:\\cwd");
    m.setCurrentDirectory("E:\\cwd");
    EXPECT_FALSE(fs.removeDirectory("E:\\cwd")) << "the current directory is in use";
    EXPECT_FALSE(fs.move("E:\\cwd", "E:\\cwd2"));

    fs.setAttributes("E:\\ro.txt", 0).ignore();
    EXPECT_TRUE(fs.deleteFile("E:\\ro.txt"));
    m.lockFile("E:\\locked.txt", false);
    EXPECT_TRUE(fs.deleteFile("E:\\locked.txt"));
    EXPECT_TRUE(fs.deleteFile("E:\\full\\x"));
    EXPECT_TRUE(fs.removeDirectory("E:\\full"));
    EXPECT_FALSE(m.exists("E:\\full"));
}

TEST_F(MemoryPenDrive, MoveAndCopyNeverReplaceOrLoseData) {
    m.addFolder("E:\\.Trashes\\Fotos");
    m.addFile("E:\\.Trashes\\Fotos\\a.jpg", "JPEG");
    m.addFile("E:\\other.txt", "keep");
    EXPECT_TRUE(fs.move("E:\\.Trashes", "E:\\RECUPERADOS"));
    EXPECT_EQ(m.content("E:\\RECUPERADOS\\Fotos\\a.jpg"), "JPEG");
    EXPECT_FALSE(fs.move("E:\\other.txt", "E:\\RECUPERADOS")) << "never replaces";
    EXPECT_FALSE(fs.move("E:\\missing", "E:\\x"));
    EXPECT_FALSE(fs.move("E:\\RECUPERADOS", "E:\\RECUPERADOS\\Fotos\\inside"));
    EXPECT_FALSE(fs.move("E:\\RECUPERADOS", "C:\\RECUPERADOS")) << "folders stay on their drive";
    EXPECT_FALSE(fs.move("E:\\other.txt", "E:\\nowhere\\other.txt"));
    EXPECT_TRUE(fs.move("E:\\other.txt", "C:\\other.txt")) << "files may change drive";
    EXPECT_EQ(m.content("C:\\other.txt"), "keep");

    m.lockFile("E:\\RECUPERADOS\\Fotos\\a.jpg");
    EXPECT_FALSE(fs.move("E:\\RECUPERADOS", "E:\\R2")) << "something inside is in use";
    EXPECT_FALSE(fs.move("E:\\RECUPERADOS\\Fotos\\a.jpg", "E:\\a.jpg"));

    m.addFile("E:\\src.txt", "new", attr::Archive);
    m.addFile("E:\\hidden.txt", "old", attr::Hidden);
    m.addFile("E:\\ro.txt", "old", attr::ReadOnly);
    EXPECT_TRUE(fs.copyFile("E:\\RECUPERADOS\\Fotos\\a.jpg", "E:\\copy.jpg", true)) << "reading works in use";
    EXPECT_EQ(m.content("E:\\copy.jpg"), "JPEG");
    EXPECT_FALSE(fs.copyFile("E:\\src.txt", "E:\\copy.jpg", true));
    EXPECT_TRUE(fs.copyFile("E:\\src.txt", "E:\\copy.jpg", false));
    EXPECT_EQ(m.content("E:\\copy.jpg"), "new");
    EXPECT_FALSE(fs.copyFile("E:\\src.txt", "E:\\hidden.txt", false));
    EXPECT_FALSE(fs.copyFile("E:\\src.txt", "E:\\ro.txt", false));
    EXPECT_FALSE(fs.copyFile("E:\\RECUPERADOS", "E:\\x", false));
    EXPECT_EQ(m.content("E:\\hidden.txt"), "old");
    EXPECT_EQ(m.content("E:\\ro.txt"), "old");
}

// ---------------------------------------------------------------------------
// Junctions

TEST_F(MemoryPenDrive, JunctionsLeadToTheirTargetAsOnWindows) {
    m.addFolder("C:\\Dados");
    m.addFile("C:\\Dados\\precioso.doc", "valuable");
    m.addLink("E:\\Fotos", "C:\\Dados");

    // Through a junction a program really reaches the other disk...
    EXPECT_EQ(names(fs, "E:\\Fotos\\*.*"), (Names{".", "..", "precioso.doc"}));
    EXPECT_EQ(names(fs, "E:\\*.*"), (Names{"Fotos"}));
    EXPECT_TRUE(fs.fileExists("E:\\Fotos\\precioso.doc"));
    EXPECT_TRUE(fs.createDirectory("E:\\Fotos\\novo"));
    EXPECT_TRUE(m.exists("C:\\Dados\\novo"));
    EXPECT_TRUE(fs.deleteFile("E:\\Fotos\\precioso.doc"));
    EXPECT_FALSE(m.exists("C:\\Dados\\precioso.doc"));

    // ...while removing the junction itself leaves the target alone.
    EXPECT_FALSE(fs.deleteFile("E:\\Fotos"));
    EXPECT_TRUE(fs.removeDirectory("E:\\Fotos"));
    EXPECT_TRUE(m.exists("C:\\Dados\\novo"));
    EXPECT_FALSE(m.exists("E:\\Fotos"));

    // A junction that leads into itself ends with a failure, never a hang.
    m.addFolder("E:\\loop");
    m.addLink("E:\\loop\\again", "E:\\loop\\again\\x");
    EXPECT_FALSE(fs.fileExists("E:\\loop\\again\\x\\y"));
    EXPECT_EQ(names(fs, "E:\\loop\\again\\*.*"), (Names{"<null>"}));
    m.addLink("E:\\loop\\up", "E:\\loop");
    auto ups = [](int n) {
        std::string p = "E:\\loop";
        for (int i = 0; i < n; ++i) p += "\\up";
        return p;
    };
    EXPECT_TRUE(fs.directoryExists(ups(10)));
    EXPECT_FALSE(fs.directoryExists(ups(70))) << "more junctions than Windows follows in one path";

    // listTree reports a junction and never enters it.
    m.addLink("E:\\c", "C:\\");
    auto tree = m.listTree("E:\\");
    for (const auto& e : tree) EXPECT_EQ(e.path.rfind("E:\\c\\", 0), std::string::npos) << e.path;
}

// ---------------------------------------------------------------------------
// Text files

TEST_F(MemoryPenDrive, TextFilesAreAnsiWithCrLfAndFailWithTheSystemReason) {
    ASSERT_TRUE(fs.writeTextFile("E:\\log.txt", {"Início", "", "fim"}));
    EXPECT_EQ(m.content("E:\\log.txt"), std::string("In\xED" "cio\r\n\r\nfim\r\n"));
    EXPECT_EQ(fs.getAttributes("E:\\log.txt"), attr::Archive);
    ASSERT_TRUE(fs.writeTextFile("E:\\log.txt", {"x"}));
    EXPECT_EQ(m.content("E:\\log.txt"), "x\r\n") << "replaced, not appended";

    auto reason = [&](const std::string& path) { return fs.writeTextFile(path, {"a"}).message(); };
    EXPECT_EQ(reason("E:\\nada\\log.txt"), "The system cannot find the path specified");
    EXPECT_EQ(reason("Q:\\log.txt"), "The system cannot find the path specified");
    m.addFolder("E:\\dir");
    EXPECT_EQ(reason("E:\\dir"), "Access is denied");
    m.addFile("E:\\hidden.txt", "old", attr::Hidden);
    EXPECT_EQ(reason("E:\\hidden.txt"), "Access is denied");
    m.addFile("E:\\ro.txt", "old", attr::ReadOnly);
    EXPECT_EQ(reason("E:\\ro.txt"), "Access is denied");
    m.addFile("E:\\busy.txt", "old");
    m.lockFile("E:\\busy.txt");
    EXPECT_EQ(reason("E:\\busy.txt"),
              "The process cannot access the file because it is being used by another process");
    EXPECT_EQ(reason("E:\\07/12/2026.txt"), "The system cannot find the path specified");
    EXPECT_EQ(reason("E:\\09:15:42.txt"), "The filename, directory name, or volume label syntax is incorrect");
    EXPECT_EQ(m.content("E:\\hidden.txt"), "old");
}

TEST_F(MemoryPenDrive, TextWriterStreamsKeepsTheFileInUseAndFailsWhenTheDriveGoes) {
    auto writer = fs.createTextFile("E:\\rel.txt");
    ASSERT_TRUE(writer);
    EXPECT_EQ(m.content("E:\\rel.txt"), "") << "created at once";
    EXPECT_TRUE(writer->writeLine("Espaço: 1,50 KB"));
    EXPECT_EQ(m.content("E:\\rel.txt"), std::string("Espa\xE7o: 1,50 KB\r\n"));
    EXPECT_FALSE(fs.deleteFile("E:\\rel.txt"));
    EXPECT_TRUE(writer->close());
    EXPECT_FALSE(writer->writeLine("late"));
    EXPECT_TRUE(fs.deleteFile("E:\\rel.txt"));

    auto second = fs.createTextFile("E:\\rel2.txt");
    ASSERT_TRUE(second);
    m.removeDrive('E');
    auto r = second->writeLine("x");
    EXPECT_FALSE(r);
    EXPECT_EQ(r.message(), "The device is not ready");
    EXPECT_EQ(r.code(), 21u);
    auto third = fs.createTextFile("E:\\rel3.txt");
    EXPECT_FALSE(third);
    EXPECT_FALSE(third.status().message().empty());
}

// Everything a byte reader gives; "<failed>" when a read fails.
std::string readAll(vx::platform::ByteReader& reader) {
    std::string out;
    uint8_t buffer[5];
    for (;;) {
        auto got = reader.read(buffer, sizeof buffer);
        if (!got) return "<failed>";
        if (*got == 0) return out;
        out.append(reinterpret_cast<const char*>(buffer), *got);
    }
}

vx::platform::Status writeText(vx::platform::ByteWriter& writer, const std::string& text) {
    return writer.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST_F(MemoryPenDrive, ByteFilesFollowLocksLinksSizeOnlyFilesAndTheVanishingDrive) {
    // A file in use can be read but not appended to.
    m.addFile("E:\\busy.log", "in use");
    m.lockFile("E:\\busy.log");
    auto busy = fs.openBytes("E:\\busy.log");
    ASSERT_TRUE(busy);
    EXPECT_EQ(readAll(*busy), "in use");
    auto busyJournal = fs.appendUtf8TextFile("E:\\busy.log");
    EXPECT_EQ(faultOf(busyJournal), Fault::InUse);
    EXPECT_EQ(busyJournal.status().code(), 32u);
    EXPECT_EQ(busyJournal.status().message(),
              "The process cannot access the file because it is being used by another process");

    m.addFileOfSize("E:\\big.bin", 7);
    auto zeros = fs.openBytes("E:\\big.bin");
    ASSERT_TRUE(zeros);
    EXPECT_EQ(readAll(*zeros), std::string(7, '\0'));

    m.addFile("C:\\target\\t.bin", "behind");
    m.addLink("E:\\link", "C:\\target");
    auto through = fs.openBytes("E:\\link\\t.bin");
    ASSERT_TRUE(through);
    EXPECT_EQ(readAll(*through), "behind");
    EXPECT_FALSE(fs.createBytes("E:\\link")) << "a link is an entry too";

    // A new file is in use until closed; a reader goes on after a delete.
    auto writer = fs.createBytes("E:\\new.bin");
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writeText(*writer, "abc"));
    EXPECT_FALSE(fs.deleteFile("E:\\new.bin"));
    EXPECT_TRUE(writer->close());
    auto reader = fs.openBytes("E:\\new.bin");
    ASSERT_TRUE(reader);
    EXPECT_TRUE(fs.deleteFile("E:\\new.bin"));
    EXPECT_EQ(readAll(*reader), "abc");

    // Handles fail once their drive is gone, even when the letter comes back.
    auto late = fs.createBytes("E:\\late.bin");
    auto lateReader = fs.openBytes("E:\\busy.log");
    ASSERT_TRUE(late && lateReader);
    m.removeDrive('E');
    m.addDrive('E', DriveType::Removable);
    EXPECT_EQ(writeText(*late, "x").message(), "The device is not ready");
    EXPECT_EQ(readAll(*lateReader), "<failed>");
}

TEST_F(MemoryPenDrive, FreeSpaceAndSerialsArePerDrive) {
    auto serial = [&](const char* root) { return fs.volumeSerial(root); };
    ASSERT_TRUE(serial("C:\\") && serial("E:\\"));
    EXPECT_NE(*serial("C:\\"), *serial("E:\\"));
    const uint32_t first = *serial("E:\\");
    m.setVolumeSerial('E', 0x1234ABCD);
    EXPECT_EQ(serial("e:"), 0x1234ABCDu);
    m.addDrive('E', DriveType::Removable);
    EXPECT_EQ(serial("E:\\"), first) << "a drive added again gets its letter's serial";
    EXPECT_FALSE(serial("Q:\\"));

    EXPECT_EQ(fs.freeBytes("E:\\"), 500ull << 30);
    m.setFreeBytes('E', 10);
    auto writer = fs.createBytes("E:\\kept.bin");
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writeText(*writer, "12345678"));
    EXPECT_EQ(fs.freeBytes("E:\\"), 2u);
    EXPECT_EQ(writeText(*writer, "123").message(), "There is not enough space on the disk");
    auto journal = fs.appendUtf8TextFile("E:\\j.txt");
    ASSERT_TRUE(journal);
    EXPECT_FALSE(journal->writeLine("x"));
    EXPECT_FALSE(journal->writeLine("")) << "no line after a failed one";
    EXPECT_EQ(m.content("E:\\kept.bin"), "12345678");
    EXPECT_EQ(m.content("E:\\j.txt"), "");
    EXPECT_EQ(fs.freeBytes("C:\\"), 500ull << 30);

    Machine copy = m;
    EXPECT_EQ(copy.fileSystem().freeBytes("E:\\"), 2u);
}

TEST_F(MemoryPenDrive, ByteCallsMeetInjectedFaults) {
    m.addFile("E:\\a.bin", "data");
    std::string failing;
    m.setFaultHook([&](std::string_view op, const std::string&) { return op == failing; });
    auto writer = fs.createBytes("E:\\b.bin");
    auto reader = fs.openBytes("E:\\a.bin");
    auto journal = fs.appendUtf8TextFile("E:\\j.txt");
    ASSERT_TRUE(writer && reader && journal);
    failing = "writeBytes";
    EXPECT_FALSE(writeText(*writer, "x"));
    EXPECT_EQ(m.content("E:\\b.bin"), "");
    failing = "readBytes";
    EXPECT_EQ(readAll(*reader), "<failed>");
    failing = "writeLine";
    EXPECT_FALSE(journal->writeLine("x"));
    failing = "closeBytes";
    EXPECT_FALSE(writer->close());
    const std::pair<const char*, std::function<bool()>> calls[] = {
        {"openBytes", [&] { return fs.openBytes("E:\\a.bin").ok(); }},
        {"createBytes", [&] { return static_cast<bool>(fs.createBytes("E:\\c.bin")); }},
        {"appendUtf8TextFile", [&] { return static_cast<bool>(fs.appendUtf8TextFile("E:\\k.txt")); }},
        {"readUtf8TextLines", [&] { return fs.readUtf8TextLines("E:\\a.bin", 1).has_value(); }},
        {"volumeSerial", [&] { return fs.volumeSerial("E:\\").has_value(); }},
        {"freeBytes", [&] { return fs.freeBytes("E:\\").has_value(); }},
    };
    for (const auto& [op, call] : calls) {
        failing = op;
        EXPECT_FALSE(call()) << op;
        failing.clear();
        EXPECT_TRUE(call()) << op;
    }
}

TEST_F(MemoryPenDrive, ReadTextLinesSplitsEveryLineEndAndHonoursItsLimits) {
    m.addFile("E:\\in.txt", std::string("um\r\ndois\ntr\xEAs\rquatro\r\n\r\ncinco"));
    EXPECT_EQ(fs.readTextLines("E:\\in.txt", 100), (Names{"um", "dois", "três", "quatro", "", "cinco"}));
    EXPECT_EQ(fs.readTextLines("E:\\in.txt", 2), (Names{"um", "dois"}));
    EXPECT_EQ(fs.readTextLines("E:\\in.txt", 3, 3), (Names{"um", "doi", "tr\xC3\xAA"}));
    m.addFile("E:\\crlf.txt", "1\r\n0\r\n");
    EXPECT_EQ(fs.readTextLines("E:\\crlf.txt", 10), (Names{"1", "0"})) << "no empty line after the last CR LF";
    m.addFile("E:\\empty.txt");
    EXPECT_EQ(fs.readTextLines("E:\\empty.txt", 10), Names{});
    EXPECT_FALSE(fs.readTextLines("E:\\none.txt", 10));
    m.addFolder("E:\\dir");
    EXPECT_FALSE(fs.readTextLines("E:\\dir", 10));
    m.addFileOfSize("E:\\huge.bin", 5ull << 30);
    auto huge = fs.readTextLines("E:\\huge.bin", 10, 8);
    ASSERT_TRUE(huge);
    ASSERT_EQ(huge->size(), 1u);
    EXPECT_EQ((*huge)[0].size(), 8u);
}

// ---------------------------------------------------------------------------
// Registry

TEST(MemoryRegistry, KeysIgnoreCaseValuesKeepTheirOrderAndHandlesSurviveDeletion) {
    Machine m;
    auto& reg = m.registry();
    auto run = reg.create(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->writeValue("zeta", RegValue::text("C:\\z.exe")));
    EXPECT_TRUE(run->writeValue("Alfa", RegValue::text("C:\\a.exe")));
    EXPECT_TRUE(run->writeValue("ZETA", RegValue::text("C:\\z2.exe")));
    EXPECT_EQ(run->valueNames(), (Names{"zeta", "Alfa"})) << "insertion order, replaced in place";
    EXPECT_EQ(run->readText("Zeta"), "C:\\z2.exe");
    EXPECT_TRUE(run->writeValue("n", RegValue::dword(7)));
    EXPECT_EQ(run->readText("n"), std::nullopt);

    auto same = reg.open(RootKey::CurrentUser, "\\SOFTWARE\\microsoft\\WINDOWS\\CurrentVersion\\run\\", RegAccess::Read);
    ASSERT_TRUE(same);
    EXPECT_TRUE(same->valueExists("ALFA"));
    EXPECT_FALSE(same->writeValue("x", RegValue::text("y"))) << "opened for reading";
    EXPECT_FALSE(same->deleteValue("Alfa"));
    EXPECT_TRUE(run->deleteValue("alfa"));
    EXPECT_FALSE(run->deleteValue("alfa"));

    auto explorer = reg.open(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
                             RegAccess::Full);
    ASSERT_TRUE(explorer);
    EXPECT_TRUE(explorer->subkeyExists("FILEEXTS"));
    EXPECT_EQ(m.subkeyNames(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts"),
              (Names{".jpg", ".lnk", ".txt"}));

    EXPECT_EQ(faultOf(reg.deleteTree(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion")), Fault::None);
    EXPECT_TRUE(run->valueNames().empty());
    EXPECT_FALSE(run->valueExists("zeta"));
    EXPECT_FALSE(run->writeValue("x", RegValue::text("y")));
    EXPECT_FALSE(explorer->subkeyExists("FileExts"));
    EXPECT_EQ(faultOf(reg.deleteTree(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion")),
              Fault::Missing);
    EXPECT_EQ(faultOf(reg.deleteTree(RootKey::CurrentUser, "\\")), Fault::Failed);
    EXPECT_EQ(faultOf(reg.open(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion", RegAccess::Read)), Fault::Missing);
}

TEST(MemoryRegistry, UserWithoutAdministratorRightsReadsButCannotChangeLocalMachine) {
    Machine m;
    m.setText(RootKey::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "worm", "E:\\w.exe");
    m.denyLocalMachineFullAccess(true);
    auto& reg = m.registry();
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    EXPECT_EQ(faultOf(reg.open(RootKey::LocalMachine, run, RegAccess::Full)), Fault::Denied);
    auto read = reg.open(RootKey::LocalMachine, run, RegAccess::Read);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->readText("worm"), "E:\\w.exe");
    EXPECT_EQ(faultOf(reg.create(RootKey::LocalMachine, run + "\\New")), Fault::Denied);
    EXPECT_EQ(faultOf(reg.deleteTree(RootKey::LocalMachine, run)), Fault::Denied);
    EXPECT_EQ(faultOf(reg.open(RootKey::LocalMachine, "SOFTWARE\\Nothing", RegAccess::Full)), Fault::Missing);
    EXPECT_TRUE(reg.open(RootKey::CurrentUser, run, RegAccess::Full)) << "HKCU stays writable";
    EXPECT_TRUE(m.keyExists(RootKey::LocalMachine, run));
}

TEST(MemoryRegistry, DeepTreesCopyAndDeleteUpToTheRegistryDepthLimit) {
    Machine m;
    std::string key = "Software";
    for (int i = 1; i < 511; ++i) key += "\\k";
    m.setText(RootKey::CurrentUser, key, "v", "bottom");
    auto& reg = m.registry();
    EXPECT_TRUE(reg.create(RootKey::CurrentUser, key + "\\last"));
    EXPECT_EQ(faultOf(reg.create(RootKey::CurrentUser, key + "\\last\\deeper")), Fault::Failed);
    ASSERT_TRUE(vx::platform::copyRegistryTree(reg, RootKey::CurrentUser, "Software\\k", "Copy"));
    EXPECT_EQ(m.text(RootKey::CurrentUser, "Copy" + key.substr(std::string("Software\\k").size()), "v"), "bottom");
    EXPECT_EQ(faultOf(reg.deleteTree(RootKey::CurrentUser, "Software\\k")), Fault::None);
    EXPECT_FALSE(m.keyExists(RootKey::CurrentUser, "Software\\k"));
}

// ---------------------------------------------------------------------------
// Processes

TEST(MemoryProcesses, TerminationFollowsTheProcessTableAndKeepsImagesInUse) {
    Machine m;
    m.addDrive('E', DriveType::Removable);
    m.addFile("E:\\worm.exe", "MZ");
    uint32_t a = m.addProcess("wscript.exe", "E:\\worm.exe");
    uint32_t b = m.addProcess("wscript.exe");
    EXPECT_EQ(b, a + 4);
    EXPECT_EQ(a % 4, 0u);
    auto& procs = m.processes();

    EXPECT_FALSE(m.fileSystem().deleteFile("E:\\worm.exe")) << "the image of a running process";
    EXPECT_TRUE(m.fileSystem().move("E:\\worm.exe", "E:\\renamed.exe")) << "it can still be renamed";
    EXPECT_TRUE(procs.terminate(a, 0));
    EXPECT_EQ(procs.terminate(a, 0).fault(), Fault::Missing) << "already gone";
    EXPECT_TRUE(m.fileSystem().deleteFile("E:\\renamed.exe"));
    EXPECT_EQ(m.countProcesses("WSCRIPT.EXE"), 1u);
    ASSERT_EQ(m.terminations().size(), 1u);
    EXPECT_EQ(m.terminations()[0].pid, a);

    EXPECT_EQ(procs.terminate(0, 0).fault(), Fault::Denied);
    EXPECT_EQ(procs.terminate(4, 0).code(), 5u);
    EXPECT_FALSE(m.systemHalted());
    uint32_t csrss = 0;
    for (const auto& p : m.processList())
        if (p.exeName == "csrss.exe") csrss = p.pid;
    EXPECT_FALSE(procs.isCritical(csrss)) << "Windows 7 cannot tell";
    m.setWindowsVersion({10, 0, 19045});
    EXPECT_TRUE(procs.isCritical(csrss));
    EXPECT_TRUE(procs.terminate(csrss, 0));
    EXPECT_TRUE(m.systemHalted());
    EXPECT_TRUE(procs.terminate(procs.currentProcessId(), 0));
    EXPECT_TRUE(m.selfTerminated());

    EXPECT_TRUE(procs.startCommand("schtasks /delete /tn x /f"));
    m.setStartCommandResult(false);
    EXPECT_EQ(procs.startCommand("y").code(), 2u) << "no program to start";
    EXPECT_EQ(m.startedCommands(), (Names{"schtasks /delete /tn x /f", "y"}));
    m.setSnapshotFails(true);
    EXPECT_TRUE(procs.snapshot().empty());
}

// ---------------------------------------------------------------------------
// Clock, dialogs, shell

TEST(MemoryClock, FormatsDatesTimesAndNumbersAsTheLocaleSays) {
    Machine m;
    auto& clock = m.clock();
    vx::platform::DateTime t{2026, 12, 7, 21, 5, 9, 0};
    EXPECT_EQ(clock.shortDate(t), "07/12/2026");
    EXPECT_EQ(clock.longTime(t), "21:05:09");
    EXPECT_EQ(clock.formatNumber(1536.0 / 1024, 2), "1,50");
    EXPECT_EQ(clock.formatNumber(1048575.0 / 1024, 2), "1.024,00");
    EXPECT_EQ(clock.formatNumber(1234567.891, 2), "1.234.567,89");
    EXPECT_EQ(clock.formatNumber(-1234.5, 2), "-1.234,50");
    EXPECT_EQ(clock.formatNumber(999.996, 2), "1.000,00");
    EXPECT_EQ(clock.formatNumber(123.0, 0), "123");
    EXPECT_EQ(clock.formatNumber(-0.001, 2), "0,00");

    m.setLocale(Locale::unitedStates());
    EXPECT_EQ(clock.shortDate(t), "12/7/2026");
    EXPECT_EQ(clock.longTime(t), "9:05:09 PM");
    EXPECT_EQ(clock.longTime({2026, 1, 1, 0, 30, 0, 0}), "12:30:00 AM");
    EXPECT_EQ(clock.formatNumber(1048575.0 / 1024, 2), "1,024.00");

    Locale odd;
    odd.shortDatePattern = "yy-M-d 'dia' ''";
    m.setLocale(odd);
    EXPECT_EQ(clock.shortDate({2005, 3, 9, 0, 0, 0, 0}), "05-3-9 dia '");
    EXPECT_EQ(clock.shortDate({2026, 2, 29, 0, 0, 0, 0}), "") << "no such day";
}

TEST(MemoryDialogs, ScriptedAnswersAndTranscript) {
    Machine m;
    auto& d = m.dialogs();
    EXPECT_EQ(d.messageBox("Deseja salvar?", "Aviso", Icon::Question, Buttons::YesNo), Answer::No);
    m.answerNext(Answer::Yes);
    m.answerSaveDialog("C:\\log.txt");
    EXPECT_EQ(d.messageBox("Resultado", "Resultado", Icon::Information, Buttons::Ok), Answer::Ok)
        << "an OK box takes no scripted answer";
    EXPECT_EQ(m.pendingAnswers(), 2u);
    EXPECT_EQ(d.messageBox("Deseja salvar?", "Aviso", Icon::Question, Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(d.saveFile({"Salvar Log", "txt", "*.txt", ""}), "C:\\log.txt");
    EXPECT_EQ(d.saveFile({"Salvar Log", "txt", "*.txt", "C:\\log.txt"}), std::nullopt);
    d.ioError("Access is denied");
    EXPECT_EQ(m.pendingAnswers(), 0u);

    const auto& t = m.transcript();
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[1].icon, Icon::Information);
    EXPECT_EQ(t[2].answer, Answer::Yes);
    EXPECT_EQ(t[3].kind, DialogRecord::Kind::Save);
    EXPECT_EQ(t[3].chosen, "C:\\log.txt");
    EXPECT_EQ(t[4].save.fileName, "C:\\log.txt");
    EXPECT_EQ(t[4].answer, Answer::Cancel);
    EXPECT_EQ(t[5].kind, DialogRecord::Kind::IoError);
    EXPECT_EQ(t[5].text, "Access is denied");

    auto& shell = m.shell();
    shell.explore("C:\\Windows\\temp\\");
    shell.openDefault("http://example.com");
    shell.restartWindows(2);
    EXPECT_EQ(m.explored(), (Names{"C:\\Windows\\temp\\"}));
    EXPECT_EQ(m.opened(), (Names{"http://example.com"}));
    EXPECT_EQ(m.restarts(), (std::vector<unsigned>{2}));
    m.failSpecialFolder(26);
    EXPECT_EQ(shell.specialFolder(26), "");
}

// ---------------------------------------------------------------------------
// Faults

TEST_F(MemoryPenDrive, FaultsHitTheChosenCalls) {
    m.addFolder("E:\\Fotos");
    m.addFile("E:\\Fotos\\a.jpg", "x");
    m.addFile("E:\\b.txt", "y");

    m.failPath("e:\\FOTOS");
    EXPECT_FALSE(fs.fileExists("E:\\Fotos\\a.jpg"));
    EXPECT_EQ(fs.getAttributes("E:\\Fotos"), attr::Invalid);
    EXPECT_EQ(names(fs, "E:\\Fotos\\*"), (Names{"<null>"}));
    EXPECT_FALSE(fs.move("E:\\b.txt", "E:\\Fotos\\b.txt"));
    EXPECT_TRUE(fs.fileExists("E:\\b.txt"));
    m.clearFaults();

    uint64_t before = m.fileSystemCalls();
    m.failEveryNth(3);
    std::vector<bool> answers;
    for (int i = 0; i < 6; ++i) answers.push_back(fs.fileExists("E:\\b.txt"));
    EXPECT_EQ(answers, (std::vector<bool>{true, true, false, true, true, false}));
    EXPECT_EQ(m.fileSystemCalls(), before + 6);
    m.clearFaults();

    std::vector<std::string> seen;
    m.setFaultHook([&](std::string_view op, const std::string& path) {
        seen.push_back(std::string(op) + " " + path);
        return op == "deleteFile";
    });
    m.setCurrentDirectory("E:\\Fotos");
    EXPECT_FALSE(fs.deleteFile("a.jpg"));
    EXPECT_TRUE(fs.fileExists("a.jpg"));
    EXPECT_EQ(seen, (Names{"deleteFile E:\\Fotos\\a.jpg", "fileExists E:\\Fotos\\a.jpg"}));
}

// The routine below stands for a program walk; the drive is pulled out before
// each of its calls in turn, and every run must end cleanly.
TEST_F(MemoryPenDrive, DriveVanishingAtEveryCallIsHandled) {
    for (int i = 0; i < 4; ++i) m.addFile("E:\\f" + std::to_string(i) + ".lnk", "L");
    auto walk = [](vx::platform::FileSystem& fs) {
        int deleted = 0;
        if (auto finder = fs.find("E:\\*.*")) {
            FindEntry e;
            while (finder->next(e)) {
                fs.setAttributes("E:\\" + e.name, 0).ignore();
                if (fs.deleteFile("E:\\" + e.name)) ++deleted;
            }
        }
        if (auto w = fs.createTextFile("E:\\log.txt")) {
            w->writeLine("deleted " + std::to_string(deleted)).ignore();
            w->close().ignore();
        }
        return deleted;
    };
    Machine pristine = m;
    uint64_t start = m.fileSystemCalls();
    EXPECT_EQ(walk(fs), 4);
    uint64_t total = m.fileSystemCalls() - start;
    // find; attributes and delete per entry; next for every entry after the
    // first and once more at the end; create, write, close.
    EXPECT_EQ(total, 1 + 4 * 2 + 4 + 3);
    for (uint64_t k = 0; k <= total; ++k) {
        Machine run = pristine;
        run.vanishDriveAfter(k, 'E');
        int deleted = walk(run.fileSystem());
        EXPECT_LE(deleted, 4);
        EXPECT_EQ(run.hasDrive('E'), k == total) << k;
    }
}

// ---------------------------------------------------------------------------
// Scale

TEST(MemoryScale, TenThousandLevelChainIsWalkedCopiedAndDestroyed) {
    auto started = std::chrono::steady_clock::now();
    Machine m;
    m.addDrive('E', DriveType::Removable);
    auto& fs = m.fileSystem();
    std::string path = "E:";
    std::vector<std::string> levels;
    for (int i = 0; i < 10000; ++i) {
        path += "\\pasta" + std::to_string(i % 10);
        ASSERT_TRUE(fs.createDirectory(path)) << i;
        levels.push_back(path);
    }
    ASSERT_GT(path.size(), 50000u);
    ASSERT_TRUE(fs.writeTextFile(path + "\\fundo.txt", {"fim"}));
    EXPECT_EQ(names(fs, path + "\\*.*"), (Names{".", "..", "fundo.txt"}));
    EXPECT_TRUE(fs.fileExists(path + "\\..\\pasta9\\fundo.txt"));

    Machine copy = m;
    EXPECT_EQ(copy.content(path + "\\fundo.txt"), "fim\r\n");

    // Delete bottom-up through the interface, as a deletion walk does.
    ASSERT_TRUE(fs.deleteFile(path + "\\fundo.txt"));
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        ASSERT_TRUE(fs.directoryExists(*it));
        ASSERT_TRUE(fs.removeDirectory(*it));
    }
    EXPECT_EQ(names(fs, "E:\\*"), (Names{"<null>"}));
    EXPECT_TRUE(copy.exists(path)) << "the copy is independent";
    copy.removeDrive('E');  // frees the whole chain at once
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
}

TEST(MemoryScale, ChainsDeeperThanAnyStackAreCopiedAndFreedWithoutRecursion) {
    Machine m(Machine::Preset::Empty);
    m.addDrive('E', DriveType::Removable);
    std::string path = "E:";
    for (int i = 0; i < 100000; ++i) path += "\\a";
    m.addFolder(path);
    m.addFile(path + "\\fundo.txt", "x");
    {
        Machine copy = m;
        EXPECT_EQ(copy.content(path + "\\fundo.txt"), "x");
    }
    EXPECT_TRUE(m.removeDrive('E'));
}

TEST(MemoryScale, HundredThousandEntriesInOneFolder) {
    Machine m;
    m.addDrive('E', DriveType::Removable);
    for (int i = 0; i < 100000; ++i) m.addFile("E:\\Fotos\\IMG_" + std::to_string(i) + ".jpg", "");
    m.addFile("E:\\Fotos\\Fotos.lnk", "L");
    auto& fs = m.fileSystem();
    EXPECT_EQ(names(fs, "E:\\Fotos\\*.lnk"), (Names{"Fotos.lnk"}));
    auto finder = fs.find("E:\\Fotos\\*.*");
    ASSERT_TRUE(finder);
    FindEntry e;
    size_t count = 0;
    std::string previous;
    while (finder->next(e)) {
        if (e.name != "." && e.name != ".." && !e.isDirectory()) {
            EXPECT_TRUE(fs.deleteFile("E:\\Fotos\\" + e.name));
        }
        ++count;
    }
    EXPECT_EQ(count, 100003u);
    EXPECT_TRUE(fs.removeDirectory("E:\\Fotos"));
}

// ---------------------------------------------------------------------------
// Handles, identities and access

using vx::memory::FolderAccess;
using vx::platform::FolderTrust;

// Everything a held file or a new file gives from where it stands.
template <typename Handle>
std::string readRest(Handle& handle) {
    std::string out;
    uint8_t buffer[3];
    for (;;) {
        auto got = handle.read(buffer, sizeof buffer);
        if (!got) return "<failed>";
        if (*got == 0) return out;
        out.append(reinterpret_cast<const char*>(buffer), *got);
    }
}

vx::platform::Status writeText(vx::platform::NewFile& file, const std::string& text) {
    return file.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST_F(MemoryPenDrive, IdentitiesFollowTheEntryAndVolumesNameTheirFileSystem) {
    m.addFile("E:\\a.txt", "a");
    m.addFolder("E:\\dir");
    m.addLink("E:\\link", "E:\\dir");
    auto id = [&](const std::string& p) { return fs.identity(p); };
    ASSERT_TRUE(id("E:\\a.txt") && id("E:\\dir") && id("E:\\link") && id("E:\\"));
    const FileIdentity a = *id("E:\\a.txt");
    EXPECT_EQ(fs.volumeSerial("E:\\"), a.volumeSerial);
    EXPECT_NE(id("E:\\link")->fileIndex, id("E:\\dir")->fileIndex) << "a final junction is not followed";
    EXPECT_EQ(id("E:\\link\\")->fileIndex, id("E:\\link")->fileIndex);
    EXPECT_NE(id("E:\\")->fileIndex, id("C:\\")->fileIndex);

    ASSERT_TRUE(fs.move("E:\\a.txt", "E:\\dir\\b.txt"));
    EXPECT_EQ(id("E:\\link\\b.txt"), a) << "kept on a move, whatever path leads there";
    ASSERT_TRUE(fs.copyFile("E:\\dir\\b.txt", "E:\\c.txt", true));
    EXPECT_NE(id("E:\\c.txt")->fileIndex, a.fileIndex);
    ASSERT_TRUE(fs.move("E:\\c.txt", "C:\\c.txt"));
    EXPECT_EQ(id("C:\\c.txt")->volumeSerial, *fs.volumeSerial("C:\\"));
    EXPECT_FALSE(id("E:\\none"));

    EXPECT_EQ(fs.fileSystemName("C:\\"), "NTFS");
    EXPECT_EQ(fs.fileSystemName("E:\\"), "FAT32");
    m.addDrive('D', DriveType::CdRom);
    EXPECT_EQ(fs.fileSystemName("d:"), "CDFS");
    m.setFileSystemName('E', "exFAT");
    EXPECT_EQ(fs.fileSystemName("E:\\"), "exFAT");
    EXPECT_EQ(fs.fileSystemName("Q:\\"), "");

    Machine copy = m;
    EXPECT_EQ(copy.fileSystem().identity("E:\\dir\\b.txt"), a);
    EXPECT_EQ(copy.fileSystem().fileSystemName("E:\\"), "exFAT");
}

TEST_F(MemoryPenDrive, AdminFoldersRefuseAStandardUserAndProtectedStoresRefuseEvenReading) {
    m.addFile("C:\\Windows\\System32\\drivers\\x.sys", "sys");
    m.setFolderAccess("C:\\Windows", FolderAccess::AdminsWrite);
    m.addFile("C:\\Windows\\later.txt", "set-up inherits too");
    m.addLink("E:\\win", "C:\\Windows");
    EXPECT_FALSE(m.shell().hasAdministratorRights());

    // Everyone reads and lists...
    EXPECT_EQ(names(fs, "E:\\win\\System32\\drivers\\*"), (Names{".", "..", "x.sys"}));
    EXPECT_TRUE(fs.readTextLines("C:\\Windows\\later.txt", 1));
    EXPECT_EQ(fs.folderTrust("C:\\Windows"), FolderTrust::AdminsOnly);
    EXPECT_EQ(fs.folderTrust("C:\\Users"), FolderTrust::Open);
    // ...but nothing inside changes, whatever path leads there.
    const std::string x = "C:\\Windows\\System32\\drivers\\x.sys";
    EXPECT_FALSE(fs.createDirectory("E:\\win\\new"));
    EXPECT_EQ(fs.writeTextFile("E:\\win\\new.txt", {"a"}).message(), "Access is denied");
    EXPECT_EQ(fs.writeTextFile(x, {"a"}).message(), "Access is denied");
    EXPECT_FALSE(fs.createBytes("E:\\win\\new.bin"));
    EXPECT_FALSE(fs.appendUtf8TextFile(x));
    EXPECT_FALSE(fs.copyFile("C:\\Windows\\later.txt", x, false));
    EXPECT_FALSE(fs.deleteFile(x));
    EXPECT_FALSE(fs.setAttributes(x, 0));
    EXPECT_FALSE(fs.setAttributes("C:\\Windows", 0)) << "nor the folder itself";
    EXPECT_FALSE(fs.move(x, "E:\\x.sys"));
    EXPECT_FALSE(fs.move("E:\\.", "C:\\Windows\\E")) << "nor does anything enter";
    EXPECT_EQ(m.content(x), "sys");

    // A protected store: only administrators, not even reading.
    EXPECT_FALSE(fs.createProtectedDirectory("C:\\Store")) << "a standard user cannot make Administrators the owner";
    m.setAdministratorRights(true);
    EXPECT_TRUE(m.shell().hasAdministratorRights());
    ASSERT_TRUE(fs.createProtectedDirectory("C:\\Store"));
    EXPECT_FALSE(fs.createProtectedDirectory("C:\\Store"));
    EXPECT_FALSE(fs.createProtectedDirectory("C:\\Windows\\later.txt"));
    EXPECT_FALSE(fs.createProtectedDirectory("C:\\none\\Store"));
    ASSERT_TRUE(fs.writeTextFile("C:\\Store\\m.txt", {"kept"}));
    EXPECT_EQ(m.folderAccess("C:\\Store\\m.txt"), FolderAccess::AdminsOnly) << "inherited from its folder";
    EXPECT_TRUE(fs.deleteFile(x)) << "administrators change anything";
    m.setAdministratorRights(false);
    EXPECT_EQ(fs.folderTrust("C:\\Store"), FolderTrust::AdminsOnly);
    EXPECT_TRUE(fs.directoryExists("C:\\Store")) << "its parent lists it";
    EXPECT_EQ(names(fs, "C:\\Store\\*"), (Names{"<null>"}));
    EXPECT_EQ(fs.getAttributes("C:\\Store\\m.txt"), attr::Invalid);
    EXPECT_FALSE(fs.fileExists("C:\\Store\\m.txt"));
    EXPECT_FALSE(fs.openBytes("C:\\Store\\m.txt"));
    EXPECT_FALSE(fs.readUtf8TextLines("C:\\Store\\m.txt", 1));
    EXPECT_FALSE(fs.identity("C:\\Store\\m.txt"));
    EXPECT_FALSE(fs.removeDirectory("C:\\Store"));

    // What folderTrust tells apart.
    m.setFolderTrustUnreadable("C:\\Users");
    EXPECT_EQ(fs.folderTrust("C:\\Users"), FolderTrust::Unreadable);
    EXPECT_EQ(fs.folderTrust("E:\\win"), FolderTrust::Link);
    EXPECT_EQ(fs.folderTrust("C:\\Windows\\later.txt"), FolderTrust::NotAFolder);
    EXPECT_EQ(fs.folderTrust("C:\\none"), FolderTrust::Missing);
}

TEST_F(MemoryPenDrive, HeldFileIsReadAndDeletedAsOneAndNobodyElseChangesIt) {
    m.addFile("E:\\Fotos\\a.jpg", "JPEG data");
    m.addLink("E:\\j", "E:\\Fotos");
    auto statusOf = [&](const std::string& p) {
        auto h = fs.holdFile(p);
        EXPECT_EQ(static_cast<bool>(h), h.status().ok()) << p;
        return faultOf(h);
    };
    EXPECT_EQ(statusOf("E:\\none"), Fault::Missing);
    EXPECT_EQ(statusOf("E:\\Fotos"), Fault::IsFolder);
    EXPECT_EQ(statusOf("E:\\j"), Fault::Link);
    m.addFile("E:\\locked", "x");
    m.lockFile("E:\\locked");
    EXPECT_EQ(statusOf("E:\\locked"), Fault::InUse);
    {
        auto writer = fs.createBytes("E:\\writing");
        EXPECT_EQ(statusOf("E:\\writing"), Fault::InUse);
        auto exclusive = fs.openBytesExclusive("E:\\locked");
        EXPECT_TRUE(exclusive) << "reading a locked file works";
        m.lockFile("E:\\locked", false);
        EXPECT_EQ(statusOf("E:\\locked"), Fault::InUse) << "opened sharing reading only";
    }
    m.addFile("E:\\sys\\f", "x");
    m.setFolderAccess("E:\\sys", FolderAccess::AdminsWrite);
    EXPECT_EQ(statusOf("E:\\sys\\f"), Fault::Denied);

    auto held = fs.holdFile("E:\\j\\a.jpg");  // a junction on the way is followed
    ASSERT_TRUE(held);
    EXPECT_EQ(held->size(), 9u);
    EXPECT_EQ(held->attributes(), attr::Archive);
    const auto heldId = fs.identity("E:\\Fotos\\a.jpg");
    ASSERT_TRUE(heldId);
    EXPECT_EQ(held->identity(), *heldId);
    EXPECT_EQ(statusOf("E:\\Fotos\\a.jpg"), Fault::InUse) << "held already";
    // Nobody writes, replaces, deletes or moves it meanwhile...
    const std::string a = "E:\\Fotos\\a.jpg";
    EXPECT_FALSE(fs.deleteFile(a));
    EXPECT_FALSE(fs.move(a, "E:\\b.jpg"));
    EXPECT_FALSE(fs.move("E:\\Fotos", "E:\\Other"));
    EXPECT_EQ(fs.writeTextFile(a, {"x"}).message(),
              "The process cannot access the file because it is being used by another process");
    EXPECT_FALSE(fs.createTextFile(a));
    EXPECT_FALSE(fs.appendUtf8TextFile(a));
    m.addFile("E:\\other", "o");
    EXPECT_FALSE(fs.copyFile("E:\\other", a, false));
    EXPECT_FALSE(fs.openBytesExclusive(a));
    // ...while reading it and its attributes works.
    auto reader = fs.openBytes(a);
    ASSERT_TRUE(reader);
    EXPECT_EQ(readAll(*reader), "JPEG data");
    EXPECT_EQ(names(fs, "E:\\Fotos\\a.*"), (Names{"a.jpg"}));
    EXPECT_TRUE(fs.setAttributes(a, attr::ReadOnly));
    EXPECT_EQ(readRest(*held), "JPEG data");
    EXPECT_EQ(readRest(*held), "") << "sequential from the start";

    EXPECT_FALSE(held->markForDeletion()) << "read-only";
    EXPECT_TRUE(fs.setAttributes(a, attr::Archive));
    ASSERT_TRUE(held->markForDeletion());
    EXPECT_TRUE(m.exists(a)) << "until the handle closes";
    held.value().reset();
    EXPECT_FALSE(m.exists(a));
    EXPECT_TRUE(fs.deleteFile("E:\\other")) << "other files are untouched";

    // A running program's image can be held but not deleted.
    m.addFile("E:\\w.exe", "MZ");
    m.addProcess("w.exe", "E:\\w.exe");
    auto image = fs.holdFile("E:\\w.exe");
    ASSERT_TRUE(image);
    EXPECT_FALSE(image->markForDeletion());

    // Handles fail once the drive is gone, and a mark then deletes nothing.
    m.addFile("E:\\gone", "g");
    auto late = fs.holdFile("E:\\gone");
    ASSERT_TRUE(late && late->markForDeletion());
    Machine pulled = m;
    m.removeDrive('E');
    m.addDrive('E', DriveType::Removable);
    m.addFile("E:\\gone", "new");
    EXPECT_EQ(readRest(*late), "<failed>");
    EXPECT_FALSE(late->identity());
    EXPECT_EQ(late->attributes(), attr::Invalid);
    late.value().reset();
    EXPECT_EQ(m.content("E:\\gone"), "new");
    EXPECT_TRUE(pulled.exists("E:\\gone")) << "a copy's tree is not the held one";
}

TEST_F(MemoryPenDrive, FolderHandlesWorkOnTheirFolderWhereverItGoes) {
    m.addFolder("E:\\Keep\\run");
    m.addFile("E:\\Keep\\run\\a.bin", "A");
    m.addLink("E:\\Keep\\run\\jn", "C:\\Windows");
    EXPECT_EQ(faultOf(fs.openFolder("E:\\Keep\\run\\jn")), Fault::Link);
    EXPECT_EQ(faultOf(fs.openFolder("E:\\Keep\\run\\a.bin")), Fault::NotAFolder);
    EXPECT_EQ(faultOf(fs.openFolder("E:\\none")), Fault::Missing);
    ASSERT_TRUE(fs.openFolder("E:\\"));

    auto keep = fs.openFolder("E:\\Keep");
    ASSERT_TRUE(keep);
    auto run = keep->openFolder("run");
    ASSERT_TRUE(run);
    EXPECT_EQ(faultOf(keep->openFolder("none")), Fault::Missing);
    EXPECT_EQ(faultOf(run->openFolder("jn")), Fault::Link);
    EXPECT_EQ(faultOf(run->openFolder("a.bin")), Fault::NotAFolder);
    EXPECT_FALSE(run->openFolder("..")) << "one component, nothing else";
    EXPECT_FALSE(run->createFolder("a\\b"));
    EXPECT_EQ(run->childAttributes("jn"), attr::Directory | attr::ReparsePoint);
    EXPECT_EQ(run->childAttributes("none"), attr::Invalid);
    const auto runId = fs.identity("E:\\Keep\\run");
    ASSERT_TRUE(runId);
    EXPECT_EQ(run->identity(), *runId);

    // The folder itself stays; a folder above may move and the handle follows it.
    EXPECT_FALSE(fs.move("E:\\Keep\\run", "E:\\Keep\\run2"));
    EXPECT_FALSE(fs.move("E:\\Keep", "E:\\Moved")) << "nor does the folder of an open handle";
    keep.value().reset();
    EXPECT_TRUE(fs.move("E:\\Keep", "E:\\Moved"));
    m.addFolder("E:\\Keep\\run");  // a new folder where the old path led
    ASSERT_TRUE(run->createFolder("sub"));
    EXPECT_EQ(faultOf(run->createFolder("SUB")), Fault::Exists);
    EXPECT_EQ(faultOf(run->createFile("jn")), Fault::Exists);
    EXPECT_TRUE(m.exists("E:\\Moved\\run\\sub"));
    EXPECT_FALSE(m.exists("E:\\Keep\\run\\sub"));
    std::vector<std::string> listed;
    for (const auto& e : run->list()) listed.push_back(e.name);
    EXPECT_EQ(listed, (Names{"a.bin", "jn", "sub"}));

    // A file opened through the handle shares reading only.
    auto reader = run->openFile("a.bin");
    ASSERT_TRUE(reader);
    EXPECT_FALSE(run->deleteEntry("a.bin"));
    EXPECT_EQ(faultOf(fs.holdFile("E:\\Moved\\run\\a.bin")), Fault::InUse);
    EXPECT_TRUE(run->openFile("a.bin")) << "other readers may share";
    EXPECT_EQ(readAll(*reader), "A");
    reader.value().reset();
    EXPECT_EQ(faultOf(run->openFile("jn")), Fault::Link);
    EXPECT_EQ(faultOf(run->openFile("sub")), Fault::IsFolder);

    // Deleting: a file, an empty folder, a junction itself; never a folder in use.
    EXPECT_TRUE(run->deleteEntry("jn"));
    EXPECT_TRUE(m.exists("C:\\Windows\\System32"));
    auto sub = run->openFolder("sub");
    ASSERT_TRUE(sub);
    EXPECT_FALSE(run->deleteEntry("sub")) << "open";
    EXPECT_FALSE(fs.removeDirectory("E:\\Moved\\run\\sub"));
    sub.value().reset();
    EXPECT_TRUE(run->deleteEntry("sub"));
    EXPECT_TRUE(run->deleteEntry("a.bin"));
    EXPECT_FALSE(run->deleteEntry("a.bin"));
    EXPECT_TRUE(run->setAttributes(attr::Hidden));
    EXPECT_EQ(m.attributes("E:\\Moved\\run"), attr::Directory | attr::Hidden);

    // Inside folders a standard user may not change, the handle may not either.
    m.setFolderAccess("E:\\Moved", FolderAccess::AdminsWrite);
    EXPECT_EQ(faultOf(run->createFile("x")), Fault::Denied);
    EXPECT_FALSE(run->setAttributes(0));
    m.setFolderAccess("E:\\Moved", FolderAccess::AdminsOnly);
    EXPECT_TRUE(run->list().empty());
    EXPECT_EQ(faultOf(fs.openFolder("E:\\Moved")), Fault::Denied);

    m.removeDrive('E');
    EXPECT_FALSE(run->identity());
    EXPECT_FALSE(run->openFolder("x"));
}

TEST_F(MemoryPenDrive, NewFilesAreWrittenCheckedAndDiscardedThroughTheirHandle) {
    auto root = fs.openFolder("E:\\");
    ASSERT_TRUE(root);
    m.setFreeBytes('E', 8);
    auto file = root->createFile("copy.bin");
    ASSERT_TRUE(file);
    EXPECT_EQ(m.content("E:\\copy.bin"), "") << "made at once";
    EXPECT_EQ(m.attributes("E:\\copy.bin"), attr::Archive);
    EXPECT_TRUE(writeText(*file, "12345"));
    EXPECT_EQ(writeText(*file, "6789").message(), "There is not enough space on the disk");
    EXPECT_TRUE(file->flush());
    EXPECT_FALSE(fs.deleteFile("E:\\copy.bin")) << "counted as a writer";
    EXPECT_FALSE(fs.appendUtf8TextFile("E:\\copy.bin"));
    EXPECT_FALSE(fs.openBytesExclusive("E:\\copy.bin"));
    ASSERT_TRUE(file->seek(1));
    EXPECT_EQ(readRest(*file), "2345");
    ASSERT_TRUE(file->seek(3));
    EXPECT_TRUE(writeText(*file, "xyz")) << "overwriting takes only the growth";
    EXPECT_EQ(fs.freeBytes("E:\\"), 2u);
    EXPECT_EQ(m.content("E:\\copy.bin"), "123xyz");
    EXPECT_TRUE(file->setAttributes(0));
    EXPECT_EQ(m.attributes("E:\\copy.bin"), attr::Normal);
    EXPECT_TRUE(file->setAttributes(attr::ReadOnly | attr::Hidden));
    EXPECT_EQ(m.attributes("E:\\copy.bin"), attr::ReadOnly | attr::Hidden);
    EXPECT_TRUE(file->discard()) << "even once read-only";
    EXPECT_FALSE(m.exists("E:\\copy.bin"));
    EXPECT_FALSE(writeText(*file, "late"));
    EXPECT_FALSE(file->seek(0));
    EXPECT_FALSE(file->discard());

    auto kept = root->createFile("kept.bin");
    ASSERT_TRUE(kept);
    kept.value().reset();
    EXPECT_TRUE(fs.deleteFile("E:\\kept.bin")) << "released when destroyed";
}

TEST_F(MemoryPenDrive, JournalsEndATornLineBeforeTheirFirstLine) {
    m.addFile("E:\\torn.log", "a\r\nhalf");
    m.addFile("E:\\whole.log", "a\n");
    m.addFile("E:\\cr.log", "a\r");
    m.addFile("E:\\empty.log", "");
    for (const char* name : {"torn", "whole", "cr", "empty"}) {
        auto j = fs.appendUtf8TextFile(std::string("E:\\") + name + ".log");
        ASSERT_TRUE(j) << name;
        EXPECT_TRUE(j->writeLines({"b", "c"}));
    }
    EXPECT_EQ(m.content("E:\\torn.log"), "a\r\nhalf\r\nb\r\nc\r\n");
    EXPECT_EQ(m.content("E:\\whole.log"), "a\nb\r\nc\r\n");
    EXPECT_EQ(m.content("E:\\cr.log"), "a\rb\r\nc\r\n");
    EXPECT_EQ(m.content("E:\\empty.log"), "b\r\nc\r\n");

    // Every line meets the fault check; none is written after a failed one.
    int lines = 0;
    m.setFaultHook([&](std::string_view op, const std::string&) { return op == "writeLine" && ++lines == 2; });
    auto j = fs.appendUtf8TextFile("E:\\empty.log");
    ASSERT_TRUE(j);
    EXPECT_FALSE(j->writeLines({"d", "e", "f"}));
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(m.content("E:\\empty.log"), "b\r\nc\r\nd\r\n");
}

TEST(MemoryCrypto, RandomBytesRepeatForASeedAndCanFail) {
    auto draw = [](Machine& m, size_t n) {
        std::vector<uint8_t> bytes(n);
        EXPECT_TRUE(m.crypto().randomBytes(bytes.data(), n));
        return bytes;
    };
    Machine a, b;
    const auto first = draw(a, 13);
    EXPECT_EQ(draw(b, 13), first) << "every machine starts from the same seed";
    EXPECT_NE(draw(a, 13), first) << "a stream, not one value";
    a.setRandomSeed(42);
    b.setRandomSeed(42);
    EXPECT_EQ(draw(a, 32), draw(b, 32));
    EXPECT_NE(draw(a, 32), std::vector<uint8_t>(32, 0));
    a.failRandomBytes(true);
    uint8_t byte = 0;
    const vx::platform::Status refused = a.crypto().randomBytes(&byte, 1);
    EXPECT_FALSE(refused);
    EXPECT_FALSE(refused.message().empty());
}

TEST_F(MemoryPenDrive, HandleCallsMeetTheirFaultsAndTheHookMayChangeTheTree) {
    m.addFile("E:\\d\\f.bin", "data");
    m.addFile("E:\\d\\g.bin", "g");
    m.addFolder("E:\\d\\s");
    auto d = fs.openFolder("E:\\d");
    ASSERT_TRUE(d);
    auto held = fs.holdFile("E:\\d\\f.bin");
    auto file = d->createFile("n.bin");
    ASSERT_TRUE(held && file);
    std::string failing;
    std::vector<std::string> offered;
    m.setFaultHook([&](std::string_view op, const std::string& path) {
        if (op == failing) offered.push_back(path);
        return op == failing;
    });
    uint8_t buffer[4];
    const std::pair<const char*, std::function<bool()>> calls[] = {
        {"fileSystemName", [&] { return !fs.fileSystemName("E:\\").empty(); }},
        {"identity", [&] { return fs.identity("E:\\d").has_value(); }},
        {"identity", [&] { return d->identity().has_value(); }},
        {"identity", [&] { return held->identity().has_value(); }},
        {"openFolder", [&] { return static_cast<bool>(fs.openFolder("E:\\d")); }},
        {"openFolder", [&] { return static_cast<bool>(d->openFolder("s")); }},
        {"heldRead", [&] { return held->read(buffer, 4).has_value(); }},
        {"childAttributes", [&] { return d->childAttributes("f.bin") != attr::Invalid; }},
        {"createFolder",
         [&] {
             bool made = static_cast<bool>(d->createFolder("sub"));
             return made && d->deleteEntry("sub");
         }},
        {"listFolder", [&] { return !d->list().empty(); }},
        {"newFileWrite", [&] { return bool(writeText(*file, "x")); }},
        {"newFileFlush", [&] { return bool(file->flush()); }},
        {"seekBytes", [&] { return file->seek(0).ok(); }},
        {"newFileRead", [&] { return file->read(buffer, 1).has_value(); }},
        {"newFileSetAttributes", [&] { return file->setAttributes(attr::Archive).ok(); }},
        {"setFolderAttributes", [&] { return d->setAttributes(0).ok(); }},
        {"openBytesExclusive", [&] { return fs.openBytesExclusive("E:\\d\\g.bin").ok(); }},
        {"folderTrust", [&] { return fs.folderTrust("E:\\d") == FolderTrust::Open; }},
    };
    for (const auto& [op, call] : calls) {
        failing = op;
        EXPECT_FALSE(call()) << op;
        failing.clear();
        EXPECT_TRUE(call()) << op;
    }
    offered.clear();
    failing = "createFile";
    EXPECT_EQ(faultOf(d->createFile("x.bin")), Fault::Failed);
    EXPECT_EQ(offered, (Names{"E:\\d\\x.bin"})) << "the handle's path and the name";
    failing = "holdFile";
    EXPECT_EQ(faultOf(fs.holdFile("E:\\d\\g.bin")), Fault::Failed);
    failing = "openFile";
    EXPECT_FALSE(d->openFile("g.bin"));
    failing = "markForDeletion";
    EXPECT_FALSE(held->markForDeletion());
    failing = "discard";
    EXPECT_FALSE(file->discard());
    failing = "deleteEntry";
    EXPECT_FALSE(d->deleteEntry("g.bin"));
    m.setAdministratorRights(true);
    failing = "createProtectedDirectory";
    EXPECT_FALSE(fs.createProtectedDirectory("E:\\p"));
    failing.clear();
    EXPECT_TRUE(m.exists("E:\\d\\g.bin") && m.exists("E:\\d\\n.bin") && !m.exists("E:\\p"));

    // In the middle of a keep's read another program swaps the folder the copy
    // goes to for a junction, and sets a hook of its own: the copy still lands
    // in the folder its handle holds.
    file.value().reset();
    m.addFolder("E:\\dest\\run");
    m.addFolder("C:\\Elsewhere\\run");
    auto out = fs.openFolder("E:\\dest\\run");
    auto source = fs.holdFile("E:\\d\\g.bin");
    ASSERT_TRUE(out && source);
    int swaps = 0;
    m.setFaultHook([&](std::string_view op, const std::string&) {
        if (op != "heldRead" || swaps++) return false;
        EXPECT_FALSE(fs.move("E:\\dest\\run", "E:\\dest\\r2")) << "its handle keeps it";
        EXPECT_TRUE(fs.move("E:\\dest", "E:\\old"));
        m.addLink("E:\\dest", "C:\\Elsewhere");
        m.setFaultHook([](std::string_view, const std::string&) { return false; });
        return false;
    });
    EXPECT_EQ(readRest(*source), "g");
    EXPECT_EQ(swaps, 1);
    EXPECT_EQ(fs.getAttributes("E:\\dest"), attr::Directory | attr::ReparsePoint);
    ASSERT_TRUE(out->createFile("g.bin"));
    EXPECT_TRUE(m.exists("E:\\old\\run\\g.bin"));
    EXPECT_FALSE(m.exists("C:\\Elsewhere\\run\\g.bin"));
    ASSERT_TRUE(source->markForDeletion());
    source.value().reset();
    EXPECT_FALSE(m.exists("E:\\d\\g.bin"));
}

TEST(MemoryMachineCopy, CopiesAreIndependentMachines) {
    Machine a;
    a.addDrive('E', DriveType::Removable);
    a.addFile("E:\\w.exe", "MZ");
    uint32_t pid = a.addProcess("w.exe", "E:\\w.exe");
    a.setText(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "w", "E:\\w.exe");
    Machine b = a;
    EXPECT_FALSE(b.fileSystem().deleteFile("E:\\w.exe")) << "the copied process keeps its image in use";
    EXPECT_TRUE(b.processes().terminate(pid, 0));
    EXPECT_TRUE(b.fileSystem().deleteFile("E:\\w.exe"));
    b.deleteKey(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    EXPECT_TRUE(a.exists("E:\\w.exe"));
    EXPECT_TRUE(a.isRunning("w.exe"));
    EXPECT_EQ(a.text(RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "w"), "E:\\w.exe");
    EXPECT_FALSE(a.fileSystem().deleteFile("E:\\w.exe"));
}

}  // namespace
