// The registry as the start-up entry routines, the icon repair and the system
// report use it: opening without creating, values and their types, names that
// ignore letter case, tree deletion and copy, and access errors.
#include <map>

#include "contract_fixture.h"

namespace vx::contract {
namespace {

using namespace vx::platform;
using Names = std::vector<std::string>;

RegValue multiSz(std::initializer_list<std::u16string> parts) {
    RegValue v;
    v.type = regtype::MultiSz;
    for (auto& p : parts) {
        for (char16_t c : p) {
            v.data.push_back(static_cast<uint8_t>(c & 0xFF));
            v.data.push_back(static_cast<uint8_t>(c >> 8));
        }
        v.data.push_back(0), v.data.push_back(0);
    }
    v.data.push_back(0), v.data.push_back(0);
    return v;
}

// Creates `path` and writes one value into it.
bool createWithValue(Registry& reg, const std::string& path, const std::string& name, const RegValue& value) {
    auto key = reg.create(RootKey::CurrentUser, path);
    return key && key->writeValue(name, value);
}

bool sameValue(const Result<RegValue>& a, const RegValue& b) {
    return a && a->type == b.type && a->data == b.data;
}

TEST_F(Contract, OpeningAMissingKeyFailsWithNotFoundAndCreatesNothing) {
    for (RegAccess access : {RegAccess::Read, RegAccess::Full}) {
        EXPECT_EQ(failureOf(reg().open(RootKey::CurrentUser, regBase + "\\Missing\\Deeper", access)),
                  (Failure{Fault::Missing, 2}));
    }
    EXPECT_FALSE(reg().open(RootKey::CurrentUser, regBase + "\\Missing", RegAccess::Read));

    // The keys every Windows has.
    EXPECT_TRUE(reg().open(RootKey::CurrentUser, "Software", RegAccess::Read));
    EXPECT_TRUE(reg().open(RootKey::LocalMachine, "Software", RegAccess::Read));
    EXPECT_TRUE(reg().open(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", RegAccess::Read));
}

TEST_F(Contract, ValuesKeepTheirTypeAndData) {
    auto key = reg().create(RootKey::CurrentUser, regBase + "\\Run");
    ASSERT_TRUE(key);

    const std::string text = "C:\\Users\\Jo\xC3\xA3o\\AppData\\Roaming\\wscript.exe \xE6\x97\xA5";
    EXPECT_TRUE(key->writeValue("Worm", RegValue::text(text)));
    EXPECT_TRUE(key->writeValue("Expand", RegValue::text("%APPDATA%\\x.vbs", regtype::ExpandSz)));
    EXPECT_TRUE(key->writeValue("Number", RegValue::dword(0x12345678)));
    EXPECT_TRUE(key->writeValue("Bytes", RegValue::binary({1, 2, 0, 255})));
    key.value().reset();

    auto read = reg().open(RootKey::CurrentUser, regBase + "\\Run", RegAccess::Read);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->readText("Worm"), text);
    EXPECT_EQ(read->readText("Expand"), "%APPDATA%\\x.vbs");
    // A value that is not text reads as no text.
    EXPECT_EQ(read->readText("Number"), std::nullopt);
    EXPECT_EQ(read->readText("Bytes"), std::nullopt);
    EXPECT_EQ(read->readText("Missing"), std::nullopt);
    EXPECT_TRUE(sameValue(read->readValue("Number"), RegValue::dword(0x12345678)));
    EXPECT_TRUE(sameValue(read->readValue("Bytes"), RegValue::binary({1, 2, 0, 255})));
    EXPECT_TRUE(sameValue(read->readValue("Worm"), RegValue::text(text)));
    auto dword = read->readValue("Number");
    ASSERT_TRUE(dword);
    EXPECT_EQ(dword->data, (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_FALSE(read->readValue("Missing"));
    EXPECT_TRUE(read->valueExists("Worm"));
    EXPECT_FALSE(read->valueExists("Missing"));
}

TEST_F(Contract, ValueNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    auto key = reg().create(RootKey::CurrentUser, regBase + "\\Run");
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->writeValue("RunMe", RegValue::text("one")));
    EXPECT_TRUE(key->valueExists("RUNME"));
    EXPECT_EQ(key->readText("runme"), "one");

    // Writing under another spelling replaces the data, not the name.
    ASSERT_TRUE(key->writeValue("RUNME", RegValue::text("two")));
    EXPECT_EQ(key->valueNames(), Names{"RunMe"});
    EXPECT_EQ(key->readText("RunMe"), "two");

    EXPECT_TRUE(key->deleteValue("rUnMe"));
    EXPECT_FALSE(key->valueExists("RunMe"));
    EXPECT_EQ(failureOf(key->deleteValue("RunMe")), (Failure{Fault::Missing, 2}));
    EXPECT_EQ(failureOf(key->readValue("RunMe")), (Failure{Fault::Missing, 2}));
    EXPECT_TRUE(key->valueNames().empty());
}

TEST_F(Contract, ValueNamesListEveryValueOnce) {
    auto key = reg().create(RootKey::CurrentUser, regBase + "\\Run");
    ASSERT_TRUE(key);
    for (const char* n : {"zeta", "Alpha", "mid", "beta", ""}) ASSERT_TRUE(key->writeValue(n, RegValue::text(n)));
    // The order is the registry's own (Windows keeps the order of creation,
    // Wine sorts): only the set is shared.
    EXPECT_EQ(sorted(key->valueNames()), sorted({"zeta", "Alpha", "mid", "beta", ""}));
    // The unnamed (default) value is a value like any other.
    EXPECT_TRUE(key->valueExists(""));
    EXPECT_EQ(key->readText(""), "");
    ASSERT_TRUE(key->writeValue("", RegValue::text("default")));
    EXPECT_EQ(key->readText(""), "default");
}

TEST_F(Contract, SubkeysAreListedInNameOrderAndFoundIgnoringCase) {
    // (Where letters meet punctuation the orders differ: Windows compares
    // upper-cased names, Wine lower-cased ones, so "_x" is not among them.)
    for (const char* n : {"zz", "Bb", "aa", ".lnk", "a1"}) ASSERT_TRUE(reg().create(RootKey::CurrentUser, regBase + "\\" + n));
    auto key = reg().open(RootKey::CurrentUser, regBase, RegAccess::Read);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->subkeyNames(), (Names{".lnk", "a1", "aa", "Bb", "zz"}));
    EXPECT_TRUE(key->subkeyExists("BB"));
    EXPECT_FALSE(key->subkeyExists("cc"));
    EXPECT_TRUE(key->valueNames().empty());

    std::string upper = upperAscii(regBase) + "\\BB";
    EXPECT_TRUE(reg().open(RootKey::CurrentUser, upper, RegAccess::Read));
}

TEST_F(Contract, LeadingAndTrailingBackslashesOfAKeyPathAreIgnored) {
    auto made = reg().create(RootKey::CurrentUser, "\\" + regBase + "\\Slashes\\");
    ASSERT_TRUE(made);
    ASSERT_TRUE(made->writeValue("v", RegValue::text("x")));
    made.value().reset();
    for (const std::string& p : {regBase + "\\Slashes", "\\" + regBase + "\\Slashes", regBase + "\\Slashes\\"}) {
        auto key = reg().open(RootKey::CurrentUser, p, RegAccess::Read);
        ASSERT_TRUE(key) << p;
        EXPECT_EQ(key->readText("v"), "x") << p;
    }
    EXPECT_EQ(faultOf(reg().deleteTree(RootKey::CurrentUser, "\\" + regBase + "\\Slashes\\")), Fault::None);
    EXPECT_FALSE(reg().open(RootKey::CurrentUser, regBase + "\\Slashes", RegAccess::Read));
}

TEST_F(Contract, DeleteTreeRemovesTheKeyAndEverythingBelowIt) {
    ASSERT_TRUE(reg().create(RootKey::CurrentUser, regBase + "\\Tree\\a\\b\\c"));
    ASSERT_TRUE(reg().create(RootKey::CurrentUser, regBase + "\\Tree\\d"));
    ASSERT_TRUE(createWithValue(reg(), regBase + "\\Tree\\a", "v", RegValue::dword(1)));
    ASSERT_TRUE(reg().create(RootKey::CurrentUser, regBase + "\\Treehouse"));

    EXPECT_EQ(faultOf(reg().deleteTree(RootKey::CurrentUser, regBase + "\\TREE")), Fault::None);
    EXPECT_EQ(faultOf(reg().open(RootKey::CurrentUser, regBase + "\\Tree", RegAccess::Read)), Fault::Missing);
    EXPECT_FALSE(reg().open(RootKey::CurrentUser, regBase + "\\Tree\\a\\b", RegAccess::Read));
    // Its sibling with a longer name stays.
    EXPECT_TRUE(reg().open(RootKey::CurrentUser, regBase + "\\Treehouse", RegAccess::Read));

    EXPECT_EQ(faultOf(reg().deleteTree(RootKey::CurrentUser, regBase + "\\Tree")), Fault::Missing);
}

TEST_F(Contract, CopyRegistryTreeCopiesValuesWithTheirTypesAndEverySubkey) {
    const std::string from = regBase + "\\FileExts";
    const std::string to = regBase + "\\FileExtsoldvx";
    const std::map<std::string, RegValue> values = {
        {"", RegValue::text("default")},
        {"Text", RegValue::text("a\xC3\xA7\xC3\xA3o")},
        {"Expand", RegValue::text("%TEMP%", regtype::ExpandSz)},
        {"Number", RegValue::dword(7)},
        {"Bytes", RegValue::binary({0, 1, 2})},
        {"NoBytes", RegValue::binary({})},
        {"Many", multiSz({u"one", u"two"})},
    };
    {
        auto key = reg().create(RootKey::CurrentUser, from);
        ASSERT_TRUE(key);
        for (auto& [name, value] : values) ASSERT_TRUE(key->writeValue(name, value)) << name;
        auto deep = reg().create(RootKey::CurrentUser, from + "\\.lnk\\OpenWithList");
        ASSERT_TRUE(deep);
        ASSERT_TRUE(deep->writeValue("a", RegValue::text("notepad.exe")));
        ASSERT_TRUE(reg().create(RootKey::CurrentUser, from + "\\.txt\\UserChoice"));
    }

    ASSERT_TRUE(copyRegistryTree(reg(), RootKey::CurrentUser, from, to));

    auto copy = reg().open(RootKey::CurrentUser, to, RegAccess::Read);
    ASSERT_TRUE(copy);
    Names expectedNames;
    for (auto& [name, value] : values) {
        expectedNames.push_back(name);
        EXPECT_TRUE(sameValue(copy->readValue(name), value)) << "value '" << name << "'";
    }
    EXPECT_EQ(sorted(copy->valueNames()), sorted(expectedNames));
    EXPECT_EQ(copy->subkeyNames(), (Names{".lnk", ".txt"}));
    auto deep = reg().open(RootKey::CurrentUser, to + "\\.lnk\\OpenWithList", RegAccess::Read);
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->readText("a"), "notepad.exe");
    EXPECT_TRUE(reg().open(RootKey::CurrentUser, to + "\\.txt\\UserChoice", RegAccess::Read));

    // The source is left as it was.
    auto source = reg().open(RootKey::CurrentUser, from, RegAccess::Read);
    ASSERT_TRUE(source);
    EXPECT_EQ(sorted(source->valueNames()), sorted(expectedNames));
    EXPECT_TRUE(sameValue(source->readValue("Many"), values.at("Many")));

    EXPECT_EQ(failureOf(copyRegistryTree(reg(), RootKey::CurrentUser, regBase + "\\Missing", regBase + "\\Other")),
              (Failure{Fault::Missing, 2}));
    EXPECT_FALSE(reg().open(RootKey::CurrentUser, regBase + "\\Other", RegAccess::Read));
}

TEST_F(Contract, AKeyOpenedForReadingRefusesChanges) {
    ASSERT_TRUE(createWithValue(reg(), regBase + "\\Run", "v", RegValue::text("x")));
    auto key = reg().open(RootKey::CurrentUser, regBase + "\\Run", RegAccess::Read);
    ASSERT_TRUE(key);
    EXPECT_EQ(failureOf(key->writeValue("w", RegValue::text("y"))), (Failure{Fault::Denied, 5}));
    EXPECT_EQ(failureOf(key->deleteValue("v")), (Failure{Fault::Denied, 5}));
    EXPECT_EQ(key->readText("v"), "x");
    EXPECT_FALSE(key->valueExists("w"));

    auto full = reg().open(RootKey::CurrentUser, regBase + "\\Run", RegAccess::Full);
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->deleteValue("v"));
}

TEST_F(Contract, FullAccessToLocalMachineCanBeDenied) {
    if (!world().denyLocalMachineFullAccess())
        GTEST_SKIP() << "this machine runs the tests as an administrator (Wine always does), so full access to "
                        "HKEY_LOCAL_MACHINE cannot be refused here";
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion";
    EXPECT_EQ(failureOf(reg().open(RootKey::LocalMachine, run, RegAccess::Full)), (Failure{Fault::Denied, 5}));
    EXPECT_TRUE(reg().open(RootKey::LocalMachine, run, RegAccess::Read));
    EXPECT_EQ(faultOf(reg().create(RootKey::LocalMachine, "Software\\VarrexContract")), Fault::Denied);
    // A missing key is still reported as missing.
    EXPECT_EQ(faultOf(reg().open(RootKey::LocalMachine, "Software\\VarrexContractMissing", RegAccess::Read)),
              Fault::Missing);
    // The current user's keys are not affected.
    EXPECT_TRUE(reg().open(RootKey::CurrentUser, regBase, RegAccess::Full));
}

}  // namespace
}  // namespace vx::contract
