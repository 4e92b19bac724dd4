// Attribute words and the find enumeration: what the listing, the "plain
// folder" test (attribute word exactly 16) and the worm masks rely on.
#include <algorithm>
#include <cstdio>

#include "contract_fixture.h"

namespace vx::contract {
namespace {

using namespace vx::platform;

constexpr uint32_t kVisibleBits = attr::ReadOnly | attr::Hidden | attr::System | attr::Directory;

TEST_F(Contract, NewEntriesCarryTheAttributesWindowsGivesThem) {
    std::string folder = makeFolder("Plain");
    std::string file = makeFile("plain.txt");

    // A new folder is exactly the directory bit: the plain-folder test of the
    // folder deletion depends on this value.
    EXPECT_EQ(fs().getAttributes(folder), attr::Directory);
    EXPECT_EQ(fs().getAttributes(folder + "\\"), attr::Directory);
    // A new file carries the archive bit alone.
    EXPECT_EQ(fs().getAttributes(file), attr::Archive);

    auto f = entryNamed(scratch, "Plain");
    auto t = entryNamed(scratch, "plain.txt");
    ASSERT_TRUE(f && t);
    EXPECT_EQ(f->attributes, attr::Directory);
    EXPECT_TRUE(f->isDirectory());
    EXPECT_EQ(t->attributes, attr::Archive);
    EXPECT_FALSE(t->isDirectory());

    EXPECT_EQ(fs().getAttributes(scratch + "missing"), attr::Invalid);
    EXPECT_EQ(failureOf(fs().setAttributes(scratch + "missing", attr::Hidden)), (Failure{Fault::Missing, 2}));
}

TEST_F(Contract, HiddenSystemAndReadOnlyBitsAreSetClearedAndListed) {
    std::string folder = makeFolder("Worm");
    std::string file = makeFile("worm.vbs");

    ASSERT_TRUE(fs().setAttributes(folder, attr::Hidden | attr::System));
    EXPECT_EQ(fs().getAttributes(folder), attr::Directory | attr::Hidden | attr::System);
    ASSERT_TRUE(fs().setAttributes(file, attr::Hidden | attr::System | attr::ReadOnly));
    EXPECT_EQ(fs().getAttributes(file) & kVisibleBits, attr::Hidden | attr::System | attr::ReadOnly);

    // The find entries report the same words as getAttributes.
    auto f = entryNamed(scratch, "Worm");
    auto t = entryNamed(scratch, "worm.vbs");
    ASSERT_TRUE(f && t);
    EXPECT_EQ(f->attributes, fs().getAttributes(folder));
    EXPECT_EQ(t->attributes, fs().getAttributes(file));

    // Setting 0 makes a folder plain again: exactly the directory bit.
    ASSERT_TRUE(fs().setAttributes(folder, 0));
    EXPECT_EQ(fs().getAttributes(folder), attr::Directory);
    EXPECT_EQ(entryNamed(scratch, "Worm").value().attributes, attr::Directory);

    // Setting 0 on a file clears hidden, system and read-only. The word left is
    // never 0: Windows reports NORMAL (0x80), Wine ARCHIVE (0x20).
    ASSERT_TRUE(fs().setAttributes(file, 0));
    uint32_t plain = fs().getAttributes(file);
    EXPECT_EQ(plain & kVisibleBits, 0u) << std::hex << plain;
    EXPECT_NE(plain, 0u);
    EXPECT_EQ(entryNamed(scratch, "worm.vbs").value().attributes, plain);
}

TEST_F(Contract, NamesBeginningWithADotAreNotHidden) {
    // Windows gives ".Trashes" no attribute of its own; the sanitised Wine
    // prefix is set up to behave the same (ShowDotFiles).
    std::string folder = makeFolder(".Trashes");
    std::string file = makeFile(".hidden-by-unix-only");
    EXPECT_EQ(fs().getAttributes(folder), attr::Directory);
    EXPECT_EQ(fs().getAttributes(file), attr::Archive);
}

TEST_F(Contract, StarDotStarListsEveryEntryInUpperCaseNameOrder) {
    for (const char* n : {"a.b", "B", "f", "Ua.txt", "ub.txt", "Zz", "[x]", "_u.txt", "~t", "a", "a b", "a-b",
                          "\xC3\xA9" /* é */})
        makeFile(n);
    makeFolder("noext");

    auto all = findAll(scratch + "*.*");
    ASSERT_TRUE(all);
    ASSERT_GE(all->size(), 2u);
    // A sub-folder reports "." and ".." first, as folders.
    EXPECT_EQ((*all)[0].name, ".");
    EXPECT_EQ((*all)[1].name, "..");
    EXPECT_TRUE((*all)[0].isDirectory());
    EXPECT_TRUE((*all)[1].isDirectory());

    // Then every entry, names without a dot included, in the order of their
    // upper-cased names (as NTFS and Wine list them): "_" comes after "Z".
    std::vector<std::string> expected = {"a",  "a b",   "a-b", "a.b",    "B",    "f",  "noext",
                                         "Ua.txt", "ub.txt", "Zz", "[x]", "_u.txt", "~t", "\xC3\xA9"};
    EXPECT_EQ(names(scratch + "*.*"), expected);
    EXPECT_EQ(names(scratch + "*"), expected);
}

TEST_F(Contract, AnEmptyFolderListsOnlyItsDotEntriesAndADriveRootNone) {
    auto all = findAll(scratch + "*.*");
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[0].name, ".");
    EXPECT_EQ((*all)[1].name, "..");

    auto root = findAll("C:\\*.*");
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->empty());
    for (auto& e : *root) {
        EXPECT_NE(e.name, ".");
        EXPECT_NE(e.name, "..");
    }
}

TEST_F(Contract, MasksMatchNamesIgnoringCaseAndReportTheStoredCase) {
    for (const char* n : {"usb.EXE", "y.exe", "Zed.LNK", "doc.txt", "abc.txt", "ac.txt", "abbc.txt", "a", "B",
                          "ab", "x.ex"})
        makeFile(n);

    EXPECT_EQ(sorted(names(scratch + "*.exe")), sorted({"usb.EXE", "y.exe"}));
    EXPECT_EQ(names(scratch + "*.lnk"), std::vector<std::string>{"Zed.LNK"});
    EXPECT_EQ(names(scratch + "USB.exe"), std::vector<std::string>{"usb.EXE"});
    EXPECT_EQ(names(scratch + "zed.lnk"), std::vector<std::string>{"Zed.LNK"});
    // "?" stands for exactly one character.
    EXPECT_EQ(names(scratch + "a?c.txt"), std::vector<std::string>{"abc.txt"});
    EXPECT_EQ(sorted(names(scratch + "?")), sorted({"a", "B"}));

    EXPECT_FALSE(fs().find(scratch + "*.zzz"));
    EXPECT_FALSE(fs().find(scratch + "nothing.exe"));
}

TEST_F(Contract, MasksAlsoMatchTheShortNameOfAnExtensionLongerThanThree) {
    // A name that is not 8.3 has a short name whose extension is the first
    // three characters of its own ("x.exe1" -> "X~....EXE"), and a mask
    // matches either name. Wine does this always, Windows wherever short
    // names exist (every FAT pen drive), so "*.exe" finds "x.exe1".
    for (const char* n : {"x.exe1", "Doc.lnkx", "plain.exe", "x.ex", "other.ex_"}) makeFile(n);
    EXPECT_EQ(sorted(names(scratch + "*.exe")), sorted({"plain.exe", "x.exe1"}));
    EXPECT_EQ(names(scratch + "*.lnk"), std::vector<std::string>{"Doc.lnkx"});
    // An exact name never matches through a short name. Nothing that
    // matches is "file not found", as FindFirstFile says it.
    EXPECT_EQ(failureOf(fs().find(scratch + "x.exe")), (Failure{Fault::Missing, 2}));
}

TEST_F(Contract, FindOnAMissingFolderOrAFileFails) {
    std::string file = makeFile("file.txt");
    EXPECT_EQ(failureOf(fs().find(scratch + "missing\\*.*")), (Failure{Fault::Missing, 3}));
    EXPECT_FALSE(fs().find(file + "\\*.*"));
    const auto absent = fs().find("Q:\\*.*");
    EXPECT_EQ(faultOf(absent), Fault::Missing);
    EXPECT_FALSE(absent.status().message().empty());
}

TEST_F(Contract, FindReportsFileSizes) {
    makeFile("five.txt", {"hello"});  // 5 bytes and CR LF
    makeFile("empty.txt", {});
    makeFolder("Folder");
    ASSERT_TRUE(world().writeBytes(scratch + "big.bin", std::string(70000, 'z')));

    auto five = entryNamed(scratch, "five.txt");
    auto empty = entryNamed(scratch, "empty.txt");
    auto folder = entryNamed(scratch, "Folder");
    auto big = entryNamed(scratch, "big.bin");
    ASSERT_TRUE(five && empty && folder && big);
    EXPECT_EQ(five->size, 7u);
    EXPECT_EQ(five->size32(), 7);
    EXPECT_EQ(empty->size, 0u);
    EXPECT_EQ(folder->size, 0u);
    EXPECT_EQ(big->size, 70000u);
    EXPECT_EQ(big->size32(), 70000);
}

TEST_F(Contract, DeletingEntriesDuringAnEnumerationDoesNotBreakIt) {
    std::string folder = makeFolder("del") + "\\";
    std::vector<std::string> created;
    for (int i = 0; i < 30; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "f%02d", i);
        created.push_back(name);
        makeFile("del\\" + created.back());
    }

    // Every entry is deleted as it is met, and at the third one the last ten
    // (not met yet) go too. Whether those ten still show is the system's
    // business; the enumeration must end, report no name twice and invent none.
    std::unique_ptr<Finder> finder = fs().find(folder + "*.*");
    ASSERT_TRUE(finder);
    std::vector<std::string> seen;
    FindEntry e;
    int files = 0;
    while (finder->next(e)) {
        ASSERT_LT(seen.size(), 100u) << "the enumeration does not end";
        seen.push_back(e.name);
        if (e.name == "." || e.name == "..") continue;
        fs().deleteFile(folder + e.name).ignore();
        if (++files == 3)
            for (int i = 20; i < 30; ++i) fs().deleteFile(folder + created[i]).ignore();
    }
    finder.reset();

    auto unique = sorted(seen);
    EXPECT_EQ(std::adjacent_find(unique.begin(), unique.end()), unique.end()) << "a name came twice";
    for (auto& n : seen) {
        if (n == "." || n == "..") continue;
        EXPECT_NE(std::find(created.begin(), created.end(), n), created.end()) << n;
    }
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(std::find(seen.begin(), seen.end(), created[i]), seen.end()) << created[i];
    EXPECT_TRUE(names(folder + "*.*").empty());
}

}  // namespace
}  // namespace vx::contract
