// Raw byte files, UTF-8 journals, volume facts and SHA-256.
#include <string>

#include "contract_fixture.h"

namespace vx::contract {
namespace {

using namespace vx::platform;
using Lines = std::vector<std::string>;

std::string sha256Hex(Crypto& crypto, const std::vector<std::string>& pieces) {
    auto hash = crypto.sha256();
    if (!hash) return "no SHA-256";
    for (const std::string& p : pieces) hash->update(reinterpret_cast<const uint8_t*>(p.data()), p.size());
    return hexDigest(hash->finish());
}

// Everything a reader gives, read in pieces of `piece` bytes.
std::optional<std::string> readAll(ByteReader& reader, size_t piece) {
    std::string out;
    std::vector<uint8_t> buffer(piece);
    for (;;) {
        auto got = reader.read(buffer.data(), buffer.size());
        if (!got) return std::nullopt;
        if (*got == 0) return out;
        out.append(reinterpret_cast<const char*>(buffer.data()), *got);
    }
}

TEST_F(Contract, Sha256GivesTheKnownDigests) {
    EXPECT_EQ(sha256Hex(crypto(), {}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex(crypto(), {"abc"}), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the padding needs a second block.
    EXPECT_EQ(sha256Hex(crypto(), {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"}),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // A million 'a' handed in uneven pieces, across block boundaries.
    std::vector<std::string> pieces;
    size_t total = 0;
    for (size_t n = 1; total < 1000000; n = n * 7 % 1013 + 1) {
        size_t take = std::min(n, 1000000 - total);
        pieces.emplace_back(take, 'a');
        total += take;
    }
    EXPECT_EQ(sha256Hex(crypto(), pieces), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_F(Contract, BytesWrittenInPiecesReadBackTheSame) {
    std::string all;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string path = scratch + "kept.bin";
    auto writer = fs().createBytes(path);
    ASSERT_TRUE(writer) << writer.status().message();
    for (size_t at = 0, n = 1; at < all.size(); at += n, n = n * 3 % 4099 + 1) {
        n = std::min(n, all.size() - at);
        ASSERT_TRUE(writer->write(reinterpret_cast<const uint8_t*>(all.data() + at), n).ok());
        // A flush keeps the file open for more.
        if (at == 0) {
            EXPECT_TRUE(writer->flush().ok());
        }
    }
    EXPECT_TRUE(writer->close().ok());
    EXPECT_FALSE(writer->write(reinterpret_cast<const uint8_t*>("x"), 1).ok());
    writer.value().reset();
    EXPECT_EQ(world().readBytes(path), all);

    auto reader = fs().openBytes(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(readAll(*reader, 777), all);
    ASSERT_TRUE(reader->seek(5000));
    EXPECT_EQ(readAll(*reader, 512), all.substr(5000));
    ASSERT_TRUE(reader->seek(0));
    EXPECT_EQ(readAll(*reader, 4096), all);

    // An empty file: created, closed, read as no bytes.
    auto empty = fs().createBytes(scratch + "empty.bin");
    ASSERT_TRUE(empty) << empty.status().message();
    EXPECT_TRUE(empty->close().ok());
    auto emptyReader = fs().openBytes(scratch + "empty.bin");
    ASSERT_TRUE(emptyReader);
    EXPECT_EQ(readAll(*emptyReader, 16), "");
}

TEST_F(Contract, CreateBytesNeverReplacesAndOpenBytesNeedsAFile) {
    std::string path = scratch + "original.bin";
    ASSERT_TRUE(world().writeBytes(path, "user data"));
    auto existing = fs().createBytes(path);
    EXPECT_EQ(failureOf(existing), (Failure{Fault::Exists, 80}));
    EXPECT_FALSE(existing.status().message().empty());
    EXPECT_EQ(world().readBytes(path), "user data");

    std::string folder = makeFolder("folder");
    EXPECT_FALSE(fs().createBytes(folder));
    EXPECT_TRUE(fs().directoryExists(folder));
    EXPECT_FALSE(fs().createBytes(scratch + "missing\\new.bin"));

    EXPECT_EQ(failureOf(fs().openBytes(scratch + "missing.bin")), (Failure{Fault::Missing, 2}));
    EXPECT_EQ(failureOf(fs().openBytes(folder)), (Failure{Fault::Denied, 5}));
}

TEST_F(Contract, Utf8JournalAppendsAcrossOpensAndReadsBackUnchanged) {
    std::string path = scratch + "journal.txt";
    const std::string text = "a\xC3\xA7\xC3\xA3o \xE6\x97\xA5\xE6\x9C\xAC";  // "ação 日本"
    for (const std::string& line : {text, std::string("second")}) {
        auto journal = fs().appendUtf8TextFile(path);
        ASSERT_TRUE(journal) << journal.status().message();
        EXPECT_TRUE(journal->writeLine(line).ok());
        EXPECT_TRUE(journal->close().ok());
    }
    EXPECT_EQ(world().readBytes(path), text + "\r\nsecond\r\n");
    EXPECT_EQ(fs().readUtf8TextLines(path, 10), (Lines{text, "second"}));

    // A byte-order mark written by another program is dropped.
    ASSERT_TRUE(world().writeBytes(scratch + "bom.txt", "\xEF\xBB\xBF" + text + "\nx"));
    EXPECT_EQ(fs().readUtf8TextLines(scratch + "bom.txt", 10), (Lines{text, "x"}));
    EXPECT_EQ(failureOf(fs().readUtf8TextLines(scratch + "missing.txt", 10)), (Failure{Fault::Missing, 2}));
    EXPECT_EQ(failureOf(fs().readUtf8TextLines(scratch + "missing\\j.txt", 10)), (Failure{Fault::Missing, 3}));
}

TEST_F(Contract, VolumeFacts) {
    EXPECT_TRUE(fs().volumeSerial("C:\\"));
    char absent = 0;
    for (char c = 'Z'; c > 'D' && !absent; --c)
        if (!(fs().logicalDrives() & (1u << (c - 'A')))) absent = c;
    ASSERT_NE(absent, 0);
    const auto serial = fs().volumeSerial(std::string(1, absent) + ":\\");
    EXPECT_FALSE(serial);
    EXPECT_NE(serial.status().code(), 0u);
    EXPECT_FALSE(serial.status().message().empty());

    auto free = fs().freeBytes(scratch);
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
    EXPECT_EQ(faultOf(fs().freeBytes(scratch + "missing")), Fault::Missing);
}

}  // namespace
}  // namespace vx::contract
