#include "scan/kept_records.h"

#include <gtest/gtest.h>

#include <cctype>

#include "platform/memory/memory_machine.h"

namespace vx::test {
namespace {

using scan::KeptItem;
using scan::KeptKind;
using scan::KeptValue;

const std::string kSha(64, 'a');

std::string join(const std::vector<std::string>& fields) {
    std::string text;
    for (const std::string& f : fields) text += (text.empty() ? "" : "\t") + f;
    return text;
}

struct KeptRecords : ::testing::Test {
    memory::Machine machine{memory::Machine::Preset::Empty};
    platform::Crypto& crypto = machine.crypto();

    // A line sealed by hand, as any program that knows the format can.
    std::string sealed(const std::string& text) {
        auto hash = crypto.sha256();
        hash->update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        return text + "\t" + platform::hexDigest(hash->finish()).substr(0, 16);
    }
    KeptItem parse(const std::vector<std::string>& fields, int version = 2) {
        return scan::parseRecord(crypto, sealed(join(fields)), version);
    }
    scan::ParsedManifest manifest(std::vector<std::string> records,
                                  const char* version = scan::kQuarantineVersionLine) {
        scan::KeptRunHeader header{true, "E:\\", "07/12/2026", "09:15:42", scan::MaskKey{}};
        records.insert(records.begin(), {version, scan::formatRunLine(crypto, header)});
        return scan::parseManifest(crypto, records);
    }
};

KeptItem fileItem(int id, const std::string& content, uint64_t offset, uint64_t size) {
    KeptItem item;
    item.kind = KeptKind::File;
    item.id = id;
    item.path = "E:\\Fotos\\a.jpg";
    item.content = content;
    item.offset = offset;
    item.size = size;
    item.sha256 = kSha;
    return item;
}

std::vector<std::string> fileFields() {
    return {"file", "1", "pack.vxp", "0", "E:\\a.exe", "1a2b3c4d", "FAT32", "PEN", "00000020", "5", kSha};
}

TEST_F(KeptRecords, EveryKindReadsBackAsWritten) {
    KeptItem file = fileItem(1, "pack.vxp", 4096, 123);
    file.path = "E:\\Fotos 100%\\a\xC3\xA7\xC3\xA3o.jpg";
    file.volumeSerial = 0x1A2B3C4D;
    file.fileSystem = "FAT32";
    file.label = "PEN%\tDRIVE";
    file.attributes = 0x27;
    KeptItem folder;
    folder.kind = KeptKind::Folder;
    folder.id = 2;
    folder.path = "C:\\Users\\Usuario\\AppData\\Roaming\\x";
    folder.attributes = 0x16;
    KeptItem value;
    value.kind = KeptKind::Value;
    value.id = 3;
    value.root = platform::RootKey::LocalMachine;
    value.keyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    value.value = {"a%b\tc\r\nd", platform::RegValue::text("wscript.exe x.vbs")};
    KeptItem defaultValue = value;
    defaultValue.id = 4;
    defaultValue.value = {"", platform::RegValue::dword(7)};
    KeptItem key;
    key.kind = KeptKind::Key;
    key.id = 5;
    key.keyPath = "Software\\Worm";
    key.keyValues = {{"", platform::RegValue::binary({})}, {"%0A", platform::RegValue{11, {1, 2, 3, 4, 5, 6, 7, 8}}}};
    KeptItem emptyKey = key;
    emptyKey.id = 6;
    emptyKey.keyValues.clear();

    for (const KeptItem& item : {file, folder, value, defaultValue, key, emptyKey}) {
        const std::string line = scan::formatRecord(crypto, item);
        EXPECT_TRUE(scan::readsBack(crypto, line, item)) << line;
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    }
    EXPECT_NE(scan::formatRecord(crypto, value).find("\ta%25b%09c%0D%0Ad\t"), std::string::npos);

    // The comparison takes in every field.
    KeptItem changed = key;
    changed.keyValues[1].value.data.back() = 9;
    EXPECT_FALSE(scan::readsBack(crypto, scan::formatRecord(crypto, key), changed));
    changed = file;
    changed.label = "PEN";
    EXPECT_FALSE(scan::readsBack(crypto, scan::formatRecord(crypto, file), changed));
}

TEST_F(KeptRecords, RunLinesNeedTheirRootAndKey) {
    scan::MaskKey mask{};
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<uint8_t>(0xF0 + i);
    for (const scan::KeptRunHeader& header :
         {scan::KeptRunHeader{true, "E:\\", "07/12/2026", "09:15:42", mask},
          scan::KeptRunHeader{false, "", "12/7/26", "9:15 AM", mask}}) {
        const auto m = scan::parseManifest(crypto, {scan::kQuarantineVersionLine, scan::formatRunLine(crypto, header)});
        ASSERT_TRUE(m.headerOk);
        EXPECT_EQ(m.version, 2);
        EXPECT_EQ(m.header.device, header.device);
        EXPECT_EQ(m.header.deviceRoot, header.deviceRoot);
        EXPECT_EQ(m.header.date, header.date);
        EXPECT_EQ(m.header.time, header.time);
        EXPECT_EQ(m.header.maskKey, mask);
    }
    const std::string key(32, 'f');
    for (const std::string& bad :
         {join({"run", "device", "E:", "d", "t", key}), join({"run", "device", "E:\\x", "d", "t", key}),
          join({"run", "computer", "C:\\", "d", "t", key}), join({"run", "device", "E:\\", "d", "t", key + "0"}),
          join({"run", "device", "E:\\", "d", "t", std::string(32, 'F')}), join({"run", "device", "E:\\", "d", "t"}),
          join({"run", "usb", "E:\\", "d", "t", key})})
        EXPECT_FALSE(scan::parseManifest(crypto, {scan::kQuarantineVersionLine, sealed(bad)}).headerOk) << bad;
    // A store without its mask key is not written as if it had one.
    EXPECT_FALSE(scan::parseManifest(crypto, {scan::kQuarantineVersionLine,
                                              scan::formatRunLine(crypto, {false, "", "d", "t", std::nullopt})})
                     .headerOk);
}

TEST_F(KeptRecords, Version1StoresStillRead) {
    const auto m = scan::parseManifest(
        crypto, {"VARREX-QUARANTINE 1", sealed("run\tdevice\tE:\\\t07/12/2026\t09:15:42"),
                 sealed("file\t1\t3\tE:\\a%25b.exe\t1a2b3c4d\t00000022\t5\t" + kSha),
                 sealed("folder\t2\tE:\\dir\t-\t00000010"),
                 sealed("value\t3\tHKCU\tSoftware\\Run\tx\t1\t4100"),
                 sealed("key\t4\tHKLM\tSoftware\\W\t1\tv\t4\t01000000"),
                 sealed("gone\t3")});
    ASSERT_TRUE(m.headerOk);
    EXPECT_EQ(m.version, 1);
    EXPECT_EQ(m.header.deviceRoot, "E:\\");
    EXPECT_FALSE(m.header.maskKey);
    ASSERT_EQ(m.items.size(), 3u);
    const KeptItem& file = m.items[0];
    EXPECT_FALSE(file.damaged) << file.damage;
    EXPECT_EQ(file.content, "000003.vxq");
    EXPECT_EQ(file.offset, 0u);
    EXPECT_EQ(file.path, "E:\\a%b.exe");
    EXPECT_EQ(file.volumeSerial, 0x1A2B3C4Du);
    EXPECT_EQ(file.attributes, 0x22u);
    EXPECT_EQ(file.size, 5u);
    EXPECT_TRUE(file.fileSystem.empty() && file.label.empty());
    EXPECT_EQ(m.items[1].kind, KeptKind::Folder);
    EXPECT_FALSE(m.items[1].volumeSerial);
    EXPECT_EQ(m.items[2].kind, KeptKind::Key);
    ASSERT_EQ(m.items[2].keyValues.size(), 1u);
    EXPECT_EQ(m.items[2].keyValues[0].value.data, (std::vector<uint8_t>{1, 0, 0, 0}));
    // A version 2 line is no version 1 record, and the reverse.
    EXPECT_TRUE(parse({"file", "1", "3", "E:\\a.exe", "-", "20", "5", kSha}, 2).damaged);
    EXPECT_TRUE(parse(fileFields(), 1).damaged);
    EXPECT_TRUE(parse({"file", "1", "1000000", "E:\\a.exe", "-", "20", "5", kSha}, 1).damaged);
}

TEST_F(KeptRecords, TornOrEditedLinesAreDamaged) {
    KeptItem value;
    value.kind = KeptKind::Value;
    value.id = 1;
    value.keyPath = "Software\\Run";
    value.value = {"worm", platform::RegValue::text("x.exe")};
    const std::string line = scan::formatRecord(crypto, value);
    std::string edited = line;
    edited[edited.find("worm")] = 'W';
    std::string upper = line;
    for (size_t i = line.rfind('\t'); i < upper.size(); ++i) upper[i] = static_cast<char>(std::toupper(upper[i]));
    for (const std::string& bad : {line.substr(0, line.size() - 1), line.substr(0, line.size() / 2), edited,
                                   upper == line ? line + "x" : upper, line + "\t", line.substr(0, line.rfind('\t'))})
        EXPECT_TRUE(scan::parseRecord(crypto, bad, 2).damaged) << bad;

    // Without a SHA-256 nothing reads as sealed and nothing is written as such.
    struct NoHash : platform::Crypto {
        platform::Result<std::unique_ptr<platform::Sha256>> sha256() override {
            return platform::Status(platform::Fault::Failed, 2, "none");
        }
        platform::Status randomBytes(uint8_t*, size_t) override { return platform::Status(platform::Fault::Failed, 2, "none"); }
    } noHash;
    EXPECT_TRUE(scan::parseRecord(noHash, line, 2).damaged);
    EXPECT_FALSE(scan::readsBack(noHash, scan::formatRecord(noHash, value), value));
}

TEST_F(KeptRecords, OnlyStrictUtf8IsText) {
    for (const char* bad : {"\xC1\x9C", "\xC0\xAF", "\xE0\x80\xDC", "\xF0\x80\x80\x80", "\xED\xA0\x80", "\xED\xBF\xBF",
                            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\x80", "\xFF",
                            "a\xC3(b"}) {
        EXPECT_FALSE(scan::isStrictUtf8(bad)) << bad;
        EXPECT_TRUE(parse({"value", "1", "HKCU", "Software", std::string("n") + bad, "1", ""}).damaged);
        EXPECT_TRUE(parse({"folder", "1", "C:\\x", "-", "", std::string("L") + bad, "10"}).damaged);
        EXPECT_TRUE(parse({"folder", "1", std::string("C:\\") + bad, "-", "", "", "10"}).damaged);
    }
    for (const char* good : {"", "a\xC3\xA7\xC3\xA3o", "\xE2\x82\xAC", "\xEF\xBF\xBF", "\xF0\x9F\x98\x80",
                             "\xF4\x8F\xBF\xBF", "\x7F"})
        EXPECT_TRUE(scan::isStrictUtf8(good)) << good;
}

TEST_F(KeptRecords, PathsARecordMayName) {
    for (const char* bad :
         {"\\\\?\\C:\\x", "\\\\.\\C:", "\\\\server\\share\\x", "C:\\a:stream", "C:\\CON", "C:\\con.txt",
          "C:\\LPT9.log", "C:\\COM1", "C:\\nul .txt", "C:\\com\xC2\xB9", "C:\\a\\..\\b", "C:\\.\\b", "C:\\a.", "C:\\a ",
          "C:\\a\x01", "C:\\a\\\\b", "C:relative", "/x", "C:\\", "C:\\a\\", "C:/a", "C:\\a*", "C:\\a?", "C:\\a\"",
          "C:\\a<", "C:\\a|", "1:\\a", "C:\\a\tb"}) {
        EXPECT_FALSE(scan::isKeepablePath(bad)) << bad;
        const KeptItem item = parse({"folder", "1", bad, "-", "", "", "10"});
        EXPECT_TRUE(item.damaged) << bad;
    }
    EXPECT_EQ(parse({"folder", "1", "C:\\CON", "-", "", "", "10"}).damage, "the path is not allowed");
    EXPECT_FALSE(scan::isKeepablePath("C:\\" + std::string(scan::kMaxPathBytes, 'a')));
    for (const char* good : {"C:\\a", "e:\\Fotos\\a\xC3\xA7\xC3\xA3o.jpg", "C:\\CONSOLE", "C:\\COM10", "C:\\con1",
                             "C:\\LPT", "C:\\.hidden", "C:\\a b\\c", "C:\\a..b", "C:\\ a"})
        EXPECT_TRUE(scan::isKeepablePath(good)) << good;
}

TEST_F(KeptRecords, KeyPathsAndContentNames) {
    std::string deep = "k";
    for (int i = 1; i < 512; ++i) deep += "\\k";
    for (const std::string& bad : {std::string(), std::string("\\Software"), std::string("Software\\"),
                                   std::string("Software\\\\Run"), std::string("a\nb"), std::string(256, 'k'),
                                   deep + "\\k", std::string("a\xED\xA0\x80")})
        EXPECT_FALSE(scan::isKeepableKeyPath(bad)) << bad;
    for (const std::string& good : {std::string("Software\\Microsoft"), std::string(255, 'k'), deep,
                                    std::string("Software\\a\xC3\xA7\xC3\xA3o")})
        EXPECT_TRUE(scan::isKeepableKeyPath(good)) << good;

    using Names = std::vector<std::string>;
    for (const std::string& bad : Names{"", ".vxq", "a.", "a.b.c", "a.123456789", std::string(41, 'a'), "a b", "..\\x",
                                        "CON.vxq", "nul", "com1.vxq", "a+b"})
        EXPECT_FALSE(scan::isContentName(bad)) << bad;
    for (const std::string& good : Names{"000001.vxq", "pack.vxp", "a_b-c", "x", std::string(40, 'a') + ".12345678"})
        EXPECT_TRUE(scan::isContentName(good)) << good;
}

TEST_F(KeptRecords, FieldsOutsideTheirRulesAreDamaged) {
    struct Case {
        size_t field;
        std::string text;
        bool ok;
    };
    for (const Case& c : std::vector<Case>{
             {1, "0", false}, {1, "1000001", false}, {1, "1000000", true}, {1, "+1", false}, {1, "-1", false},
             {2, "pack.vxp\\x", false}, {2, "..", false},
             {3, "4611686018427387903", true},  // the last byte of the largest content range
             {3, "4611686018427387904", false}, {3, "18446744073709551616", false}, {3, "", false},
             {9, "18446744073709551615", false}, {9, "5 ", false}, {9, "0x5", false},
             {8, "123456789", false}, {8, "1A", true}, {8, "g", false}, {5, "", false}, {5, "-1", false},
             {10, std::string(64, 'A'), false}, {10, kSha + "a", false},
             {4, "E:\\100%25", true}, {4, "E:\\100%", false}, {4, "E:\\a%41", false}, {4, "E:\\a%2", false},
             {4, "E:\\a%0a", false}, {6, "%FF", false}, {7, "%09", true}}) {
        std::vector<std::string> fields = fileFields();
        fields[c.field] = c.text;
        if (c.field == 3 && c.ok) fields[9] = "1";
        const KeptItem item = parse(fields);
        EXPECT_EQ(!item.damaged, c.ok) << "field " << c.field << " = " << c.text << ": " << item.damage;
    }
    EXPECT_TRUE(parse({"value", "1", "HKCU", "Software", "n", "4294967296", ""}).damaged);
    EXPECT_TRUE(parse({"value", "1", "HKCR", "Software", "n", "1", ""}).damaged);
    EXPECT_TRUE(parse({"value", "1", "HKCU", "Software", "n", "1", "abc"}).damaged);
    EXPECT_TRUE(parse({"value", "1", "HKCU", "Software", std::string("a\0b", 3), "1", ""}).damaged);
    EXPECT_FALSE(parse({"value", "1", "HKCU", "Software", std::string(16383, 'n'), "4294967295", "AbCd"}).damaged);
    EXPECT_TRUE(parse({"value", "1", "HKCU", "Software", std::string(16384, 'n'), "1", ""}).damaged);
    EXPECT_TRUE(parse({"gone", "1"}).damaged) << "not an item";
}

TEST_F(KeptRecords, AKeyRecordHoldsExactlyTheValuesItCounts) {
    // Counts for which 5 + 3 * count wraps, in 64 bits, to the fields there are.
    EXPECT_TRUE(parse({"key", "1", "HKCU", "Software", "6148914691236517206", "a", "1"}).damaged);
    EXPECT_TRUE(parse({"key", "1", "HKCU", "Software", "12297829382473034411", "a"}).damaged);
    EXPECT_TRUE(parse({"key", "1", "HKCU", "Software", "1"}).damaged);
    EXPECT_TRUE(parse({"key", "1", "HKCU", "Software", "1", "a", "1", "", "b", "1", ""}).damaged);
    EXPECT_FALSE(parse({"key", "1", "HKCU", "Software", "0"}).damaged);
    EXPECT_EQ(parse({"key", "1", "HKCU", "Software", "2", "a", "1", "", "b", "3", "00"}).keyValues.size(), 2u);
    std::vector<std::string> many = {"key", "1", "HKCU", "Software", std::to_string(scan::kMaxKeyValues + 1)};
    for (size_t i = 0; i <= scan::kMaxKeyValues; ++i) many.insert(many.end(), {"v" + std::to_string(i), "4", ""});
    EXPECT_TRUE(parse(many).damaged);
}

TEST_F(KeptRecords, LinesPastTheLimitNeverReadBack) {
    KeptItem key;
    key.kind = KeptKind::Key;
    key.id = 1;
    key.keyPath = "Software\\Big";
    for (int i = 0; i < 5; ++i)
        key.keyValues.push_back(
            {"v" + std::to_string(i), platform::RegValue::binary(std::vector<uint8_t>(scan::kMaxValueBytes))});
    EXPECT_FALSE(scan::readsBack(crypto, scan::formatRecord(crypto, key), key));
    key.keyValues.resize(1);
    EXPECT_TRUE(scan::readsBack(crypto, scan::formatRecord(crypto, key), key));
    key.keyValues[0].value.data.push_back(0);
    EXPECT_FALSE(scan::readsBack(crypto, scan::formatRecord(crypto, key), key));
}

TEST_F(KeptRecords, ManifestsRefuseCopiedIdsAndSharedBytes) {
    const auto m = manifest({scan::formatRecord(crypto, fileItem(1, "pack.vxp", 0, 10)),
                             scan::formatRecord(crypto, fileItem(2, "pack.vxp", 10, 5)),   // right after it
                             scan::formatRecord(crypto, fileItem(3, "PACK.VXP", 12, 1)),   // inside id 2's bytes
                             scan::formatRecord(crypto, fileItem(1, "other.vxp", 0, 1)),   // id 1 again
                             scan::formatRecord(crypto, fileItem(4, "pack.vxp", 0, 10)),   // id 1's range again
                             scan::formatRecord(crypto, fileItem(5, "pack.vxp", 9, 2)),    // across ids 1 and 2
                             scan::formatRecord(crypto, fileItem(6, "other.vxp", 0, 0)),   // empty files hold
                             scan::formatRecord(crypto, fileItem(7, "other.vxp", 0, 0)),   // no byte
                             scan::formatRecord(crypto, fileItem(8, "other.vxp", 0, 3))});
    std::vector<bool> damaged;
    for (const KeptItem& item : m.items) damaged.push_back(item.damaged);
    EXPECT_EQ(damaged, (std::vector<bool>{false, false, true, true, true, true, false, false, false}));

    const auto v1 = scan::parseManifest(crypto, {"VARREX-QUARANTINE 1", sealed("run\tcomputer\t\td\tt"),
                                                 sealed("file\t1\t7\tC:\\a\t-\t20\t5\t" + kSha),
                                                 sealed("file\t2\t7\tC:\\b\t-\t20\t5\t" + kSha)});
    ASSERT_EQ(v1.items.size(), 2u);
    EXPECT_FALSE(v1.items[0].damaged);
    EXPECT_TRUE(v1.items[1].damaged) << "one content file named twice";
}

TEST_F(KeptRecords, GoneRecordsEmptyLinesAndTornEnds) {
    const std::string torn = scan::formatRecord(crypto, fileItem(4, "d.vxq", 0, 1));
    const auto m = manifest({scan::formatRecord(crypto, fileItem(1, "a.vxq", 0, 1)), "",
                             scan::formatRecord(crypto, fileItem(2, "b.vxq", 0, 1)),
                             scan::formatRecord(crypto, fileItem(3, "c.vxq", 0, 1)), scan::formatGoneRecord(crypto, 2),
                             "", torn.substr(0, torn.size() / 2)});
    ASSERT_TRUE(m.headerOk);
    ASSERT_EQ(m.items.size(), 3u);
    EXPECT_EQ(m.items[0].id, 1);
    EXPECT_EQ(m.items[1].id, 3);
    EXPECT_FALSE(m.items[0].damaged || m.items[1].damaged);
    EXPECT_TRUE(m.items[2].damaged);
    EXPECT_EQ(m.items[2].damage, "the record is damaged");

    const auto unknown = manifest({scan::formatRecord(crypto, fileItem(1, "a.vxq", 0, 1)),
                                   scan::formatRecord(crypto, fileItem(2, "b.vxq", 0, 1))},
                                  "VARREX-QUARANTINE 3");
    EXPECT_EQ(unknown.version, 0);
    EXPECT_FALSE(unknown.headerOk);
    ASSERT_EQ(unknown.items.size(), 2u);
    for (const KeptItem& item : unknown.items) {
        EXPECT_TRUE(item.damaged);
        EXPECT_EQ(item.damage, "the store's version is unknown");
    }
}

}  // namespace
}  // namespace vx::test
