// Deleting, creating, moving and copying entries, existence tests, and the
// names a pen drive can hold that a plain Win32 path cannot reach.
#include "contract_fixture.h"

namespace vx::contract {
namespace {

using namespace vx::platform;

TEST_F(Contract, DeleteFileRemovesFilesButNotReadOnlyOnesNorFolders) {
    std::string ro = makeFile("ro.txt");
    std::string hs = makeFile("hs.txt");
    std::string folder = makeFolder("Folder");
    ASSERT_TRUE(fs().setAttributes(ro, attr::ReadOnly));
    ASSERT_TRUE(fs().setAttributes(hs, attr::Hidden | attr::System));

    EXPECT_EQ(failureOf(fs().deleteFile(ro)), (Failure{Fault::Denied, 5}));
    EXPECT_TRUE(fs().fileExists(ro));
    // Hidden and system bits do not protect a file.
    EXPECT_TRUE(fs().deleteFile(hs));
    EXPECT_FALSE(fs().fileExists(hs));
    EXPECT_FALSE(fs().deleteFile(folder));
    EXPECT_TRUE(fs().directoryExists(folder));
    EXPECT_EQ(failureOf(fs().deleteFile(scratch + "missing.txt")), (Failure{Fault::Missing, 2}));

    ASSERT_TRUE(fs().setAttributes(ro, 0));
    EXPECT_TRUE(fs().deleteFile(ro));
    EXPECT_FALSE(fs().fileExists(ro));
}

TEST_F(Contract, RemoveDirectoryRemovesOnlyEmptyFolders) {
    std::string full = makeFolder("Full");
    makeFile("Full\\inside.txt");
    std::string hidden = makeFolder("Hidden");
    ASSERT_TRUE(fs().setAttributes(hidden, attr::Hidden | attr::System));
    std::string file = makeFile("file.txt");

    EXPECT_EQ(failureOf(fs().removeDirectory(full)), (Failure{Fault::Failed, 145}));
    EXPECT_TRUE(fs().fileExists(full + "\\inside.txt"));
    EXPECT_TRUE(fs().removeDirectory(hidden));
    EXPECT_FALSE(fs().directoryExists(hidden));
    EXPECT_FALSE(fs().removeDirectory(file));
    EXPECT_TRUE(fs().fileExists(file));
    EXPECT_EQ(failureOf(fs().removeDirectory(scratch + "missing")), (Failure{Fault::Missing, 2}));
}

TEST_F(Contract, CreateDirectoryMakesOneNewLevel) {
    EXPECT_EQ(failureOf(fs().createDirectory(scratch + "a\\b")), (Failure{Fault::Missing, 3}));
    EXPECT_FALSE(fs().directoryExists(scratch + "a"));
    EXPECT_TRUE(fs().createDirectory(scratch + "a"));
    EXPECT_EQ(failureOf(fs().createDirectory(scratch + "A")), (Failure{Fault::Exists, 183}));  // exists already, whatever the case
    EXPECT_TRUE(fs().createDirectory(scratch + "a\\b"));
    EXPECT_TRUE(fs().directoryExists(scratch + "A\\B"));
    std::string file = makeFile("f.txt");
    EXPECT_FALSE(fs().createDirectory(file));
    EXPECT_TRUE(fs().fileExists(file));
}

TEST_F(Contract, MoveRenamesFilesAndFoldersButNeverReplaces) {
    std::string a = makeFile("a.txt", {"first"});
    std::string b = makeFile("b.txt", {"second"});
    std::string folder = makeFolder("Folder");
    makeFile("Folder\\in.txt", {"inside"});
    std::string other = makeFolder("Other");

    // Onto an existing file or folder: refused, both left as they were.
    EXPECT_EQ(failureOf(fs().move(a, b)), (Failure{Fault::Exists, 183}));
    EXPECT_EQ(world().readBytes(a), "first\r\n");
    EXPECT_EQ(world().readBytes(b), "second\r\n");
    EXPECT_FALSE(fs().move(folder, other));
    EXPECT_TRUE(fs().fileExists(folder + "\\in.txt"));
    EXPECT_EQ(failureOf(fs().move(scratch + "missing", scratch + "new")), (Failure{Fault::Missing, 2}));

    // A rename keeps the content; a folder takes its contents along.
    EXPECT_TRUE(fs().move(a, scratch + "renamed.txt"));
    EXPECT_FALSE(fs().fileExists(a));
    EXPECT_EQ(world().readBytes(scratch + "renamed.txt"), "first\r\n");
    EXPECT_TRUE(fs().move(folder, scratch + "RECUPERADOS"));
    EXPECT_FALSE(fs().directoryExists(folder));
    EXPECT_EQ(world().readBytes(scratch + "RECUPERADOS\\in.txt"), "inside\r\n");
    // Into another folder.
    EXPECT_TRUE(fs().move(b, other + "\\b.txt"));
    EXPECT_EQ(world().readBytes(other + "\\b.txt"), "second\r\n");

    // A hidden folder is renamed with its attributes.
    std::string worm = makeFolder("Worm");
    ASSERT_TRUE(fs().setAttributes(worm, attr::Hidden | attr::System));
    EXPECT_TRUE(fs().move(worm, scratch + "RECUPERADOS2"));
    EXPECT_EQ(fs().getAttributes(scratch + "RECUPERADOS2"), attr::Directory | attr::Hidden | attr::System);

    // A change of letter case alone is not a move onto an existing entry.
    // (Windows then shows the new spelling; Wine keeps the old one.)
    EXPECT_TRUE(fs().move(scratch + "renamed.txt", scratch + "RENAMED.TXT"));
    EXPECT_TRUE(fs().fileExists(scratch + "renamed.txt"));
    EXPECT_EQ(names(scratch + "renamed.txt").size(), 1u);
}

TEST_F(Contract, CopyFileCopiesBytesAndAttributesAndHonoursFailIfExists) {
    std::string src = makeFile("src.txt", {"one", "two"});
    std::string dst = makeFile("dst.txt", {"old"});
    ASSERT_TRUE(fs().setAttributes(src, attr::Hidden));

    EXPECT_EQ(failureOf(fs().copyFile(src, dst, true)), (Failure{Fault::Exists, 80}));
    EXPECT_EQ(world().readBytes(dst), "old\r\n");
    EXPECT_TRUE(fs().copyFile(src, dst, false));
    EXPECT_EQ(world().readBytes(dst), "one\r\ntwo\r\n");

    EXPECT_TRUE(fs().copyFile(src, scratch + "new.txt", true));
    EXPECT_EQ(world().readBytes(scratch + "new.txt"), "one\r\ntwo\r\n");
    EXPECT_EQ(fs().getAttributes(scratch + "new.txt") & attr::Hidden, attr::Hidden);
    EXPECT_EQ(world().readBytes(src), "one\r\ntwo\r\n");

    EXPECT_EQ(failureOf(fs().copyFile(scratch + "missing.txt", scratch + "x.txt", false)),
              (Failure{Fault::Missing, 2}));
    EXPECT_FALSE(fs().fileExists(scratch + "x.txt"));
    EXPECT_EQ(failureOf(fs().copyFile(src, scratch + "missing\\x.txt", false)), (Failure{Fault::Missing, 3}));
}

TEST_F(Contract, FileAndFolderExistenceAreToldApart) {
    std::string file = makeFile("Plain.txt");
    std::string folder = makeFolder("Folder");
    ASSERT_TRUE(fs().setAttributes(file, attr::Hidden | attr::System));

    EXPECT_TRUE(fs().fileExists(file));
    EXPECT_TRUE(fs().fileExists(scratch + "PLAIN.TXT"));
    EXPECT_FALSE(fs().directoryExists(file));
    // A folder is not a file.
    EXPECT_TRUE(fs().directoryExists(folder));
    EXPECT_TRUE(fs().directoryExists(folder + "\\"));
    EXPECT_TRUE(fs().directoryExists(scratch + "FOLDER\\"));
    EXPECT_FALSE(fs().fileExists(folder));
    // A drive root is a folder.
    EXPECT_TRUE(fs().directoryExists("C:\\"));
    EXPECT_FALSE(fs().fileExists("C:\\"));

    for (const std::string& p : {scratch + "missing", scratch + "missing\\x", file + "\\x", std::string("Q:\\")}) {
        EXPECT_FALSE(fs().fileExists(p)) << p;
        EXPECT_FALSE(fs().directoryExists(p)) << p;
    }
    // A final "\\" names a folder: after a file's name it names nothing.
    EXPECT_EQ(fs().getAttributes(file + "\\"), attr::Invalid);
    EXPECT_FALSE(fs().fileExists(file + "\\"));
    EXPECT_FALSE(fs().directoryExists(file + "\\"));
}

TEST_F(Contract, NamesEndingInADotOrABlankAreReachedByTheirFoundName) {
    // Worms name folders so that a Win32 path, which drops final dots and
    // blanks, cannot reach them. The platform reaches the entry the name read
    // from the disk names, and no other.
    for (const std::string name : {"trail.", "blank ", " ", "dots..", "mixed. ."}) {
        SCOPED_TRACE("'" + name + "'");
        std::string path = scratch + name;
        ASSERT_TRUE(fs().createDirectory(path));
        EXPECT_EQ(names(scratch + "*.*"), std::vector<std::string>{name});
        auto found = entryNamed(scratch, name);
        ASSERT_TRUE(found);
        std::string byFound = scratch + found->name;

        EXPECT_TRUE(fs().directoryExists(byFound));
        EXPECT_FALSE(fs().fileExists(byFound));
        EXPECT_EQ(fs().getAttributes(byFound), attr::Directory);
        EXPECT_TRUE(fs().setAttributes(byFound, attr::Hidden | attr::System));
        EXPECT_EQ(fs().getAttributes(byFound), attr::Directory | attr::Hidden | attr::System);
        EXPECT_TRUE(fs().setAttributes(byFound, 0));

        // An entry inside it, listed and deleted through the same path.
        ASSERT_TRUE(fs().writeTextFile(byFound + "\\in.txt", {"x"}).ok());
        EXPECT_EQ(names(byFound + "\\*.*"), std::vector<std::string>{"in.txt"});
        EXPECT_TRUE(fs().deleteFile(byFound + "\\in.txt"));

        EXPECT_TRUE(fs().removeDirectory(byFound));
        EXPECT_TRUE(names(scratch + "*.*").empty());
    }

    // Such a name is not its trimmed form.
    makeFolder("trail.");
    EXPECT_FALSE(fs().directoryExists(scratch + "trail"));
    std::string file = makeFile("file. ", {"x"});
    EXPECT_TRUE(fs().fileExists(file));
    EXPECT_FALSE(fs().fileExists(scratch + "file"));
    EXPECT_EQ(world().readBytes(file), "x\r\n");
    EXPECT_TRUE(fs().move(file, scratch + "renamed."));
    EXPECT_TRUE(fs().deleteFile(scratch + "renamed."));
    EXPECT_TRUE(fs().removeDirectory(scratch + "trail."));
    EXPECT_TRUE(names(scratch + "*.*").empty());
}

TEST_F(Contract, PathsLongerThan300CharactersWork) {
    std::string path = scratch;
    std::vector<std::string> levels;
    while (path.size() <= 320) {
        path += "level" + std::to_string(levels.size()) + "_abcdefghijklmnopqrstuvwxyz0123456789";
        ASSERT_TRUE(fs().createDirectory(path)) << path.size();
        levels.push_back(path);
        path += "\\";
    }
    std::string deep = path + "deep file.txt";
    ASSERT_GT(deep.size(), 300u);

    ASSERT_TRUE(fs().writeTextFile(deep, {"deep"}).ok());
    EXPECT_TRUE(fs().fileExists(deep));
    EXPECT_EQ(names(path + "*.txt"), std::vector<std::string>{"deep file.txt"});
    EXPECT_TRUE(fs().setAttributes(deep, attr::Hidden));
    EXPECT_EQ(fs().getAttributes(deep) & attr::Hidden, attr::Hidden);
    auto lines = fs().readTextLines(deep, 10);
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, std::vector<std::string>{"deep"});
    EXPECT_TRUE(fs().copyFile(deep, path + "copy.txt", true));
    EXPECT_TRUE(fs().move(path + "copy.txt", path + "moved.txt"));
    EXPECT_TRUE(fs().deleteFile(path + "moved.txt"));
    EXPECT_TRUE(fs().deleteFile(deep));

    for (auto it = levels.rbegin(); it != levels.rend(); ++it) EXPECT_TRUE(fs().removeDirectory(*it)) << *it;
    EXPECT_TRUE(names(scratch + "*.*").empty());
}

TEST_F(Contract, NonAnsiNamesAreCreatedFoundAndDeleted) {
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80";
    const std::string greek = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC.txt";
    const std::string portuguese = "a\xC3\xA7\xC3\xA3o.txt";        // ação.txt
    const std::string portugueseUpper = "A\xC3\x87\xC3\x83O.TXT";   // AÇÃO.TXT
    const std::string greekUpper = "\xCE\x95\xCE\x9B\xCE\x9B\xCE\x97\xCE\x9D\xCE\x99\xCE\x9A\xCE\x86.TXT";  // ΕΛΛΗΝΙΚΆ.TXT

    std::string folder = makeFolder(japanese);
    std::string inner = makeFile(japanese + "\\" + greek, {"grc"});
    std::string file = makeFile(portuguese);

    EXPECT_EQ(sorted(names(scratch + "*.*")), sorted({japanese, portuguese}));
    EXPECT_EQ(names(folder + "\\*.txt"), std::vector<std::string>{greek});
    EXPECT_TRUE(fs().directoryExists(folder));
    EXPECT_TRUE(fs().fileExists(inner));
    EXPECT_EQ(world().readBytes(inner), "grc\r\n");
    // Letter case of the Latin-1 and Greek letters is ignored as Windows ignores it.
    EXPECT_TRUE(fs().fileExists(scratch + portugueseUpper));
    EXPECT_TRUE(fs().fileExists(folder + "\\" + greekUpper));

    EXPECT_TRUE(fs().move(file, scratch + greek));
    EXPECT_TRUE(fs().fileExists(scratch + greek));
    EXPECT_TRUE(fs().deleteFile(scratch + names(scratch + "*.txt").at(0)));
    EXPECT_TRUE(fs().deleteFile(folder + "\\" + names(folder + "\\*.*").at(0)));
    EXPECT_TRUE(fs().removeDirectory(scratch + names(scratch + "*.*").at(0)));
    EXPECT_TRUE(names(scratch + "*.*").empty());
}

}  // namespace
}  // namespace vx::contract
