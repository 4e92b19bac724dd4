#include "tools/icon_repair.h"

#include <map>

#include "scan_fixture.h"
#include "tools/tool_texts.h"

namespace vx::test {
namespace {

using tools::IconRepairOutcome;
using tools::repairIcons;
namespace texts = tools::texts;

const std::string kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const std::string kExts = kExplorer + "\\FileExts";
const std::string kBackup = kExplorer + "\\FileExtsoldvx";

struct IconRepair : ScanFixture {
    // Every value under `key`, by path relative to it: "sub\\name" -> type and bytes.
    std::map<std::string, std::pair<uint32_t, std::vector<uint8_t>>> tree(const std::string& key) {
        std::map<std::string, std::pair<uint32_t, std::vector<uint8_t>>> out;
        std::vector<std::string> work{""};
        while (!work.empty()) {
            std::string rel = work.back();
            work.pop_back();
            const std::string full = rel.empty() ? key : key + "\\" + rel;
            out[rel + "\\"] = {};  // the key itself, so empty keys count
            for (const auto& n : machine.valueNames(RootKey::CurrentUser, full)) {
                auto v = machine.value(RootKey::CurrentUser, full, n);
                out[rel + "\\" + n] = {v->type, v->data};
            }
            for (const auto& s : machine.subkeyNames(RootKey::CurrentUser, full))
                work.push_back(rel.empty() ? s : rel + "\\" + s);
        }
        return out;
    }
    void expectOnlyBox(const std::string& text, const std::string& caption) {
        ASSERT_EQ(machine.transcript().size(), 1u);
        EXPECT_EQ(machine.transcript()[0].text, text);
        EXPECT_EQ(machine.transcript()[0].caption, caption);
        EXPECT_EQ(machine.transcript()[0].icon, platform::Icon::Information);
        EXPECT_EQ(machine.transcript()[0].buttons, platform::Buttons::Ok);
        machine.clearTranscript();
    }
};

TEST_F(IconRepair, FirstRepairMovesEveryValueAndSubkeyThenTheSecondFindsNothing) {
    machine.setValue(RootKey::CurrentUser, kExts + "\\.bin\\Deep\\Deeper", "n", platform::RegValue::dword(7));
    machine.setValue(RootKey::CurrentUser, kExts + "\\.bin", "path",
                     platform::RegValue::text("%TEMP%\\x", platform::regtype::ExpandSz));
    machine.setValue(RootKey::CurrentUser, kExts, "", platform::RegValue::binary({1, 2, 3}));
    const auto before = tree(kExts);
    ASSERT_GT(before.size(), 8u);

    EXPECT_EQ(repairIcons(ctx), IconRepairOutcome::Moved);
    EXPECT_FALSE(machine.keyExists(RootKey::CurrentUser, kExts));
    EXPECT_EQ(tree(kBackup), before);
    expectOnlyBox(texts::icon_repair::RestartBox.pt, texts::WarningCaption.pt);

    EXPECT_EQ(repairIcons(ctx), IconRepairOutcome::NothingToRepair);
    expectOnlyBox(texts::icon_repair::NothingToRepairBox.pt, texts::WarningCaption.pt);
    EXPECT_EQ(tree(kBackup), before);

    language = scan::kEnglish;
    EXPECT_EQ(repairIcons(ctx), IconRepairOutcome::NothingToRepair);
    expectOnlyBox(texts::icon_repair::NothingToRepairBox.en, texts::WarningCaption.en);
}

TEST_F(IconRepair, BothKeysPresentChangesNothingButStillAsksForARestart) {
    machine.setText(RootKey::CurrentUser, kBackup + "\\.old", "a", "old.exe");
    machine.setText(RootKey::CurrentUser, kExts + "\\.new", "a", "new.exe");
    const auto exts = tree(kExts);
    const auto backup = tree(kBackup);
    language = scan::kEnglish;
    EXPECT_EQ(repairIcons(ctx), IconRepairOutcome::NotMoved);
    EXPECT_EQ(tree(kExts), exts);
    EXPECT_EQ(tree(kBackup), backup);
    expectOnlyBox(texts::icon_repair::RestartBox.en, texts::WarningCaption.en);
}

TEST_F(IconRepair, NoExplorerKeyAtAll) {
    machine.deleteKey(RootKey::CurrentUser, kExplorer);
    EXPECT_EQ(repairIcons(ctx), IconRepairOutcome::NothingToRepair);
    expectOnlyBox(texts::icon_repair::NothingToRepairBox.pt, texts::WarningCaption.pt);
    EXPECT_FALSE(machine.keyExists(RootKey::CurrentUser, kBackup));
}

TEST_F(IconRepair, MoveKeyWithoutDeletionKeepsTheOldKey) {
    machine.setText(RootKey::CurrentUser, "Software\\A\\Old\\s", "v", "1");
    EXPECT_TRUE(tools::moveRegistryKey(machine.registry(), RootKey::CurrentUser, "Software\\A\\", "Old", "New",
                                       tools::OldKey::Keep));
    EXPECT_EQ(machine.text(RootKey::CurrentUser, "Software\\A\\Old\\s", "v"), "1");
    EXPECT_EQ(machine.text(RootKey::CurrentUser, "Software\\A\\New\\s", "v"), "1");
    EXPECT_FALSE(tools::moveRegistryKey(machine.registry(), RootKey::CurrentUser, "Software\\A", "Missing", "X",
                                        tools::OldKey::Delete));
    EXPECT_FALSE(machine.keyExists(RootKey::CurrentUser, "Software\\A\\X"));
}

}  // namespace
}  // namespace vx::test
