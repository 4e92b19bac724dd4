// Handles opened without following links: held files, folder handles and the
// files made through them, identities, folder trust, and the journal's torn
// last line.
#include <string>

#include "contract_fixture.h"

namespace vx::contract {
namespace {

using namespace vx::platform;

const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Everything `read` gives until the end; std::nullopt when a read fails.
template <typename Source>
std::optional<std::string> readAll(Source& source) {
    std::string out;
    uint8_t buffer[4096];
    for (;;) {
        auto got = source.read(buffer, sizeof buffer);
        if (!got) return std::nullopt;
        if (*got == 0) return out;
        out.append(reinterpret_cast<const char*>(buffer), *got);
    }
}

std::vector<std::string> listedNames(FolderHandle& folder) {
    std::vector<std::string> out;
    for (const FindEntry& e : folder.list()) out.push_back(e.name);
    return sorted(out);
}

// A test that needs a junction is skipped where the world cannot make one.
#define MAKE_JUNCTION_OR_SKIP(link, target)                 \
    do {                                                     \
        if (!world().makeJunction(link, target)) {           \
            GTEST_SKIP() << "this system makes no junctions"; \
        }                                                    \
    } while (false)

// --- held files ------------------------------------------------------------------

TEST_F(Contract, HeldFileReadsEverythingWhileOthersCanOnlyRead) {
    std::string content;
    for (int i = 0; i < 30000; ++i) content += static_cast<char>(i * 7 % 251);
    const std::string path = scratch + "worm.exe";
    ASSERT_TRUE(world().writeBytes(path, content));

    auto held = fs().holdFile(path);
    ASSERT_TRUE(held);
    EXPECT_TRUE(held.status().ok());
    EXPECT_EQ(held->size(), content.size());
    EXPECT_EQ(held->attributes() & attr::Directory, 0u);
    EXPECT_EQ(held->identity(), identityOf(fs().identity(path)));

    EXPECT_EQ(failureOf(fs().writeTextFile(path, {"replaced"})), (Failure{Fault::InUse, 32}));
    EXPECT_FALSE(fs().deleteFile(path));
    EXPECT_FALSE(fs().move(path, scratch + "moved.exe"));
    auto reader = fs().openBytes(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(readAll(*reader), content);
    EXPECT_EQ(readAll(*held), content);

    // Released without the mark, the file stays as it was.
    held.value().reset();
    EXPECT_EQ(world().readBytes(path), content);
}

TEST_F(Contract, HeldFileMarkedForDeletionLeavesWhenReleased) {
    const std::string path = makeFile("autorun.inf");
    auto held = fs().holdFile(path);
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->markForDeletion());
    held.value().reset();
    EXPECT_FALSE(fs().fileExists(path));
    EXPECT_FALSE(entryNamed(scratch, "autorun.inf"));

    // A read-only file refuses the mark and stays.
    const std::string readOnly = makeFile("ro.txt");
    ASSERT_TRUE(fs().setAttributes(readOnly, attr::ReadOnly));
    held = fs().holdFile(readOnly);
    ASSERT_TRUE(held);
    EXPECT_EQ(failureOf(held->markForDeletion()), (Failure{Fault::Denied, 5}));
    held.value().reset();
    EXPECT_TRUE(fs().fileExists(readOnly));
}

TEST_F(Contract, HoldFileRefusesFoldersAndMissingFiles) {
    EXPECT_EQ(faultOf(fs().holdFile(makeFolder("Fotos"))), Fault::IsFolder);
    EXPECT_EQ(failureOf(fs().holdFile(scratch + "missing.exe")), (Failure{Fault::Missing, 2}));
}

TEST_F(Contract, HoldFileRefusesAJunctionAndLeavesItAndItsTarget) {
    makeFolder("Target");
    makeFile("Target\\inside.txt", {"keep"});
    MAKE_JUNCTION_OR_SKIP(scratch + "link", scratch + "Target");
    EXPECT_EQ(faultOf(fs().holdFile(scratch + "link")), Fault::Link);
    EXPECT_NE(fs().getAttributes(scratch + "link") & attr::ReparsePoint, 0u);
    EXPECT_EQ(world().readBytes(scratch + "Target\\inside.txt"), "keep\r\n");
}

TEST_F(Contract, OpenBytesExclusiveLetsOthersOnlyRead) {
    const std::string path = scratch + "manifest.txt";
    ASSERT_TRUE(world().writeBytes(path, "records"));
    auto exclusive = fs().openBytesExclusive(path);
    ASSERT_TRUE(exclusive);
    EXPECT_FALSE(fs().writeTextFile(path, {"forged"}).ok());
    EXPECT_FALSE(fs().deleteFile(path));
    auto shared = fs().openBytes(path);
    ASSERT_TRUE(shared);
    EXPECT_EQ(readAll(*shared), "records");
    EXPECT_EQ(readAll(*exclusive), "records");
    EXPECT_EQ(failureOf(fs().openBytesExclusive(scratch + "missing.txt")), (Failure{Fault::Missing, 2}));
    EXPECT_EQ(failureOf(fs().openBytesExclusive(makeFolder("Folder"))), (Failure{Fault::Denied, 5}));
    // A file being written cannot be read with nobody else writing.
    auto writer = fs().createBytes(scratch + "being-written.bin");
    ASSERT_TRUE(writer);
    EXPECT_EQ(failureOf(fs().openBytesExclusive(scratch + "being-written.bin")), (Failure{Fault::InUse, 32}));
}

// --- folder handles ------------------------------------------------------------

TEST_F(Contract, FolderHandleMakesFoldersAndFilesAndReadsThemBack) {
    auto root = fs().openFolder(scratch);
    ASSERT_TRUE(root);
    EXPECT_TRUE(root.status().ok());
    auto kept = root->createFolder("Kept");
    ASSERT_TRUE(kept);
    EXPECT_TRUE(fs().directoryExists(scratch + "Kept"));
    EXPECT_EQ(kept->identity(), identityOf(fs().identity(scratch + "Kept")));

    auto file = kept->createFile("000001.vxq");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->write(bytesOf("hello "), 6).ok());
    EXPECT_TRUE(file->write(bytesOf("world"), 5).ok());
    EXPECT_TRUE(file->flush().ok());
    ASSERT_TRUE(file->seek(6));
    EXPECT_EQ(readAll(*file), "world");
    ASSERT_TRUE(file->seek(0));
    EXPECT_EQ(readAll(*file), "hello world");
    EXPECT_TRUE(file->setAttributes(attr::Hidden | attr::ReadOnly));
    file.value().reset();

    const std::string path = scratch + "Kept\\000001.vxq";
    EXPECT_EQ(world().readBytes(path), "hello world");
    const uint32_t attributes = fs().getAttributes(path);
    EXPECT_EQ(attributes & (attr::Hidden | attr::ReadOnly | attr::Directory), attr::Hidden | attr::ReadOnly);
    EXPECT_EQ(kept->childAttributes("000001.vxq"), attributes);
    EXPECT_EQ(kept->childAttributes("missing"), attr::Invalid);
    auto reader = kept->openFile("000001.vxq");
    ASSERT_TRUE(reader);
    EXPECT_EQ(readAll(*reader), "hello world");

    EXPECT_TRUE(kept->setAttributes(attr::Hidden));
    EXPECT_EQ(fs().getAttributes(scratch + "Kept") & (attr::Hidden | attr::Directory), attr::Hidden | attr::Directory);
    EXPECT_TRUE(kept->setAttributes(0));
    EXPECT_EQ(fs().getAttributes(scratch + "Kept") & attr::Hidden, 0u);

    auto entries = kept->list();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "000001.vxq");
    EXPECT_EQ(entries[0].size, 11u);
    ASSERT_EQ(root->list().size(), 1u);
    EXPECT_TRUE(root->list()[0].isDirectory());
}

TEST_F(Contract, FolderHandleNeverCreatesOverAnExistingName) {
    makeFile("kept.txt", {"user data"});
    makeFolder("Kept");
    auto root = fs().openFolder(scratch);
    ASSERT_TRUE(root);
    EXPECT_EQ(faultOf(root->createFile("KEPT.TXT")), Fault::Exists);
    EXPECT_EQ(faultOf(root->createFile("Kept")), Fault::Exists);
    EXPECT_EQ(faultOf(root->createFolder("kept.txt")), Fault::Exists);
    EXPECT_EQ(faultOf(root->createFolder("kept")), Fault::Exists);
    EXPECT_EQ(world().readBytes(scratch + "kept.txt"), "user data\r\n");
}

TEST_F(Contract, FolderHandleTakesOneNameAtATime) {
    makeFolder("a");
    auto folder = fs().openFolder(scratch + "a");
    ASSERT_TRUE(folder);
    EXPECT_FALSE(folder->createFile("..\\escaped.txt"));
    EXPECT_FALSE(folder->createFolder(".."));
    EXPECT_FALSE(folder->openFolder(".."));
    EXPECT_FALSE(folder->createFile("b\\c.txt"));
    EXPECT_FALSE(folder->createFile("file.txt:stream"));
    EXPECT_FALSE(folder->deleteEntry(".."));
    EXPECT_TRUE(folder->list().empty());
    EXPECT_EQ(names(scratch + "*"), std::vector<std::string>{"a"});
}

TEST_F(Contract, NewFileDiscardedLeavesNothing) {
    auto root = fs().openFolder(scratch);
    ASSERT_TRUE(root);
    auto file = root->createFile("copy.vxq");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->write(bytesOf("bad copy"), 8).ok());
    // Even a copy already made read-only goes.
    EXPECT_TRUE(file->setAttributes(attr::ReadOnly));
    EXPECT_TRUE(file->discard());
    file.value().reset();
    EXPECT_EQ(root->childAttributes("copy.vxq"), attr::Invalid);
    EXPECT_TRUE(root->list().empty());
}

TEST_F(Contract, FolderHandleDeletesFilesAndEmptyFoldersOnly) {
    makeFile("file.txt");
    makeFolder("Empty");
    makeFolder("Full");
    makeFile("Full\\inside.txt", {"inside"});
    auto root = fs().openFolder(scratch);
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->deleteEntry("file.txt"));
    EXPECT_TRUE(root->deleteEntry("EMPTY"));
    EXPECT_FALSE(root->deleteEntry("Full"));
    EXPECT_EQ(failureOf(root->deleteEntry("missing")), (Failure{Fault::Missing, 2}));
    EXPECT_EQ(listedNames(*root), std::vector<std::string>{"Full"});
    EXPECT_EQ(world().readBytes(scratch + "Full\\inside.txt"), "inside\r\n");
}

TEST_F(Contract, FolderHandleOpensFoldersOnly) {
    makeFile("file.txt", {"text"});
    makeFolder("Sub");
    auto root = fs().openFolder(scratch);
    ASSERT_TRUE(root);
    EXPECT_EQ(faultOf(root->openFolder("file.txt")), Fault::NotAFolder);
    EXPECT_EQ(faultOf(root->openFolder("missing")), Fault::Missing);
    EXPECT_EQ(faultOf(root->openFile("Sub")), Fault::IsFolder);
    EXPECT_EQ(faultOf(root->openFile("missing")), Fault::Missing);
    auto sub = root->openFolder("sub");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->identity(), identityOf(fs().identity(scratch + "Sub")));

    EXPECT_EQ(faultOf(fs().openFolder(scratch + "file.txt")), Fault::NotAFolder);
    EXPECT_EQ(faultOf(fs().openFolder(scratch + "missing")), Fault::Missing);
    auto drive = fs().openFolder("C:\\");
    ASSERT_TRUE(drive);
    EXPECT_FALSE(drive->list().empty());
}

TEST_F(Contract, FolderHandleRefusesJunctionsAndDeletesOnlyTheLink) {
    makeFolder("Target");
    makeFile("Target\\inside.txt", {"keep"});
    MAKE_JUNCTION_OR_SKIP(scratch + "link", scratch + "Target");
    EXPECT_EQ(faultOf(fs().openFolder(scratch + "link")), Fault::Link);
    auto root = fs().openFolder(scratch);
    ASSERT_TRUE(root);
    EXPECT_EQ(faultOf(root->openFolder("link")), Fault::Link);
    EXPECT_EQ(faultOf(root->openFile("link")), Fault::Link);
    EXPECT_NE(root->childAttributes("link") & attr::ReparsePoint, 0u);

    EXPECT_TRUE(root->deleteEntry("link"));
    EXPECT_EQ(fs().getAttributes(scratch + "link"), attr::Invalid);
    EXPECT_EQ(world().readBytes(scratch + "Target\\inside.txt"), "keep\r\n");
}

// Renaming the folder away and putting a junction in its place must not
// send a later write elsewhere; Windows refuses the rename while it is open.
TEST_F(Contract, FolderHandleStaysWithItsFolderWhenThePathIsSwapped) {
    const std::string store = makeFolder("Store");
    makeFolder("Elsewhere");
    auto handle = fs().openFolder(store);
    ASSERT_TRUE(handle);
    const bool moved = fs().move(store, scratch + "Moved").ok();
    if (moved) world().makeJunction(store, scratch + "Elsewhere");

    auto file = handle->createFile("manifest.txt");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->write(bytesOf("record"), 6).ok());
    file.value().reset();
    EXPECT_FALSE(fs().fileExists(scratch + "Elsewhere\\manifest.txt"));
    EXPECT_EQ(world().readBytes((moved ? scratch + "Moved" : store) + "\\manifest.txt"), "record");
}

// --- identities ----------------------------------------------------------------

TEST_F(Contract, IdentityNamesOneEntryWhateverThePath) {
    makeFolder("Sub");
    const std::string a = makeFile("Sub\\a.txt");
    const std::string b = makeFile("Sub\\b.txt");
    const FileIdentity id = identityOf(fs().identity(a));
    EXPECT_EQ(fs().identity(scratch + "SUB\\A.TXT"), id);
    EXPECT_EQ(fs().identity(scratch + "Sub\\..\\Sub\\a.txt"), id);
    EXPECT_NE(fs().identity(b), id);
    EXPECT_NE(fs().identity(scratch + "Sub"), id);
    EXPECT_EQ(failureOf(fs().identity(scratch + "missing.txt")), (Failure{Fault::Missing, syscode::FileNotFound}));
}

// --- the journal ---------------------------------------------------------------

TEST_F(Contract, JournalStartsANewLineAfterATornOne) {
    const std::string torn = scratch + "torn.txt";
    ASSERT_TRUE(world().writeBytes(torn, "one\r\ntw"));
    auto journal = fs().appendUtf8TextFile(torn);
    ASSERT_TRUE(journal) << journal.status().message();
    EXPECT_TRUE(journal->writeLine("three").ok());
    EXPECT_TRUE(journal->writeLines({"four", "five"}).ok());
    EXPECT_TRUE(journal->close().ok());
    EXPECT_EQ(world().readBytes(torn), "one\r\ntw\r\nthree\r\nfour\r\nfive\r\n");

    // A file that ends with a line end, or a lone CR, or holds nothing, gets
    // no empty line.
    for (const std::string& start : {std::string("one\r\n"), std::string("one\n"), std::string("one\r"),
                                      std::string()}) {
        const std::string path = scratch + "whole.txt";
        ASSERT_TRUE(world().writeBytes(path, start));
        journal = fs().appendUtf8TextFile(path);
        ASSERT_TRUE(journal) << journal.status().message();
        EXPECT_TRUE(journal->writeLine("two").ok());
        EXPECT_TRUE(journal->close().ok());
        EXPECT_EQ(world().readBytes(path), start + "two\r\n");
    }
}

// --- folder trust --------------------------------------------------------------

TEST_F(Contract, FolderTrustTellsWhatStandsThere) {
    EXPECT_EQ(fs().folderTrust(scratch + "missing"), FolderTrust::Missing);
    EXPECT_EQ(fs().folderTrust(makeFile("file.txt")), FolderTrust::NotAFolder);
    // A folder the user made in the user's own temporary folder; where no
    // access list is kept (Wine), no folder can be told apart by one.
    EXPECT_EQ(fs().folderTrust(makeFolder("Plain")),
              world().keepsAccessLists() ? FolderTrust::Open : FolderTrust::NoAccessLists);
}

TEST_F(Contract, ProtectedDirectoryIsForAdministratorsOnly) {
    const std::string store = scratch + "Store";
    const bool administrator = world().runAsAdministrator();
    EXPECT_EQ(shell().hasAdministratorRights(), administrator);
    if (!administrator) {
        // Only an administrator may make Administrators the owner: the
        // folder is not made at all.
        EXPECT_FALSE(fs().createProtectedDirectory(store));
        EXPECT_EQ(fs().folderTrust(store), FolderTrust::Missing);
        return;
    }
    if (!world().keepsAccessLists()) {
        // Where no access list is kept the folder is made without one, and
        // says so.
        ASSERT_TRUE(fs().createProtectedDirectory(store));
        EXPECT_EQ(fs().folderTrust(store), FolderTrust::NoAccessLists);
        EXPECT_EQ(failureOf(fs().createProtectedDirectory(store)), (Failure{Fault::Exists, 183}));
        return;
    }
    ASSERT_TRUE(fs().createProtectedDirectory(store));
    EXPECT_EQ(fs().folderTrust(store), FolderTrust::AdminsOnly);
    if (auto text = world().securityText(store)) {
        EXPECT_EQ(*text, "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    }
    EXPECT_EQ(failureOf(fs().createProtectedDirectory(store)), (Failure{Fault::Exists, 183}));
    EXPECT_FALSE(fs().createProtectedDirectory(makeFile("file.txt")));
    EXPECT_EQ(failureOf(fs().createProtectedDirectory(scratch + "missing\\Store")), (Failure{Fault::Missing, 3}));
}

TEST_F(Contract, FolderTrustSeesAJunction) {
    makeFolder("Target");
    MAKE_JUNCTION_OR_SKIP(scratch + "link", scratch + "Target");
    EXPECT_EQ(fs().folderTrust(scratch + "link"), FolderTrust::Link);
}

// --- random bytes --------------------------------------------------------------

TEST_F(Contract, RandomBytesDifferEachTime) {
    std::array<uint8_t, 32> a{}, b{};
    ASSERT_TRUE(crypto().randomBytes(a.data(), a.size()));
    ASSERT_TRUE(crypto().randomBytes(b.data(), b.size()));
    EXPECT_NE(a, b);
    EXPECT_NE(a, (std::array<uint8_t, 32>{}));
    EXPECT_TRUE(crypto().randomBytes(nullptr, 0));
}

}  // namespace
}  // namespace vx::contract
