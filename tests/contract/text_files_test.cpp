// The text files the program writes (ANSI, CR LF after every line) and the
// reading of text files whatever their line ends.
#include <string>

#include "contract_fixture.h"

namespace vx::contract {
namespace {

using namespace vx::platform;
using Lines = std::vector<std::string>;

TEST_F(Contract, WriteTextFileWritesAnsiBytesWithCrLfAfterEveryLine) {
    // "ção", "", "€ 日" and "last": Latin letters and the euro sign have their
    // code page 1252 bytes, a character outside it becomes "?".
    std::string path = makeFile("log.txt", {"\xC3\xA7\xC3\xA3o", "", "\xE2\x82\xAC \xE6\x97\xA5", "last"});
    EXPECT_EQ(world().readBytes(path), std::string("\xE7\xE3o\r\n\r\n\x80 ?\r\nlast\r\n"));

    auto back = fs().readTextLines(path, 100);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, (Lines{"\xC3\xA7\xC3\xA3o", "", "\xE2\x82\xAC ?", "last"}));

    std::string empty = makeFile("empty.txt", {});
    EXPECT_EQ(world().readBytes(empty), "");
}

TEST_F(Contract, WriteTextFileReplacesAnExistingFileWhole) {
    std::string path = makeFile("log.txt", {std::string(5000, 'a'), std::string(5000, 'b')});
    makeFile("log.txt", {"short"});
    EXPECT_EQ(world().readBytes(path), "short\r\n");
}

TEST_F(Contract, CreateTextFileWritesLineByLineUntilClosed) {
    std::string path = makeFile("report.txt", {"previous content that must go"});
    auto writer = fs().createTextFile(path);
    ASSERT_TRUE(writer) << writer.status().message();
    EXPECT_TRUE(writer->writeLine("Relat\xC3\xB3rio").ok());
    EXPECT_TRUE(writer->writeLine("").ok());
    EXPECT_TRUE(writer->writeLine(std::string(10000, 'x')).ok());
    EXPECT_TRUE(writer->close().ok());
    EXPECT_FALSE(writer->writeLine("after close").ok());
    writer.value().reset();
    EXPECT_EQ(world().readBytes(path), "Relat\xF3rio\r\n\r\n" + std::string(10000, 'x') + "\r\n");

    // The destructor closes a writer that was not closed.
    {
        auto w2 = fs().createTextFile(scratch + "second.txt");
        ASSERT_TRUE(w2) << w2.status().message();
        EXPECT_TRUE(w2->writeLine("kept").ok());
    }
    EXPECT_EQ(world().readBytes(scratch + "second.txt"), "kept\r\n");
}

TEST_F(Contract, TextWritesThatCannotHappenFailWithAReason) {
    Status r = fs().writeTextFile(scratch + "missing\\log.txt", {"x"});
    EXPECT_EQ(failureOf(r), (Failure{Fault::Missing, 3}));
    EXPECT_FALSE(r.message().empty());

    auto writer = fs().createTextFile(scratch + "missing\\log.txt");
    EXPECT_EQ(failureOf(writer), (Failure{Fault::Missing, 3}));
    EXPECT_FALSE(writer.status().message().empty());

    // A folder of that name stands in the way.
    std::string folder = makeFolder("log.txt");
    r = fs().writeTextFile(folder, {"x"});
    EXPECT_EQ(failureOf(r), (Failure{Fault::Denied, 5}));
    EXPECT_FALSE(r.message().empty());
    EXPECT_TRUE(fs().directoryExists(folder));

    // Reads that cannot happen say why too.
    EXPECT_EQ(failureOf(fs().readTextLines(scratch + "missing.txt", 10)), (Failure{Fault::Missing, 2}));
    EXPECT_EQ(failureOf(fs().readTextLines(scratch + "missing\\a.txt", 10)), (Failure{Fault::Missing, 3}));
    EXPECT_EQ(failureOf(fs().readTextLines(folder, 10)), (Failure{Fault::Denied, 5}));
}

TEST_F(Contract, ReadTextLinesEndsALineAtCrLfLfOrALoneCr) {
    struct Case {
        const char* what;
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF only", "a\nb\n", {"a", "b"}},
        {"CR only", "a\rb\r", {"a", "b"}},
        {"no final line end", "a\r\nb", {"a", "b"}},
        {"empty file", "", {}},
        {"empty lines", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"LF then CR", "a\n\rb", {"a", "", "b"}},
        {"only a line end", "\r\n", {""}},
        {"ANSI bytes", "\xE7\xE3o\r\n\x80", {"\xC3\xA7\xC3\xA3o", "\xE2\x82\xAC"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = scratch + "in.txt";
        ASSERT_TRUE(world().writeBytes(path, c.bytes));
        auto lines = fs().readTextLines(path, 100);
        ASSERT_TRUE(lines);
        EXPECT_EQ(*lines, c.lines);
    }
}

TEST_F(Contract, ReadTextLinesFindsLineEndsAcrossBufferBoundaries) {
    // A CR LF pair, or a lone CR, wherever it falls in the stream.
    for (size_t n : {511u, 512u, 1023u, 4095u, 4096u, 8191u, 65535u, 65536u}) {
        SCOPED_TRACE(n);
        std::string path = scratch + "in.txt";
        ASSERT_TRUE(world().writeBytes(path, std::string(n, 'x') + "\r\nb\rc\r\n"));
        auto lines = fs().readTextLines(path, 100, 100000);
        ASSERT_TRUE(lines);
        EXPECT_EQ(*lines, (Lines{std::string(n, 'x'), "b", "c"}));
    }
}

TEST_F(Contract, ReadTextLinesKeepsToItsLimits) {
    std::string path = scratch + "in.txt";
    ASSERT_TRUE(world().writeBytes(path, "1\r\n2\r\nabcdef\r\n4\r\n5\r\n"));
    EXPECT_EQ(fs().readTextLines(path, 2), (Lines{"1", "2"}));
    EXPECT_EQ(fs().readTextLines(path, 0), Lines{});
    // A long line keeps its first bytes and the next line is still whole.
    EXPECT_EQ(fs().readTextLines(path, 100, 3), (Lines{"1", "2", "abc", "4", "5"}));

    EXPECT_FALSE(fs().readTextLines(scratch + "missing.txt", 10));
    EXPECT_FALSE(fs().readTextLines(makeFolder("Folder"), 10));
}

}  // namespace
}  // namespace vx::contract
