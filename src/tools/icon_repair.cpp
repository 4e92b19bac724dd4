#include "tools/icon_repair.h"

#include <vector>

#include "tools/tool_texts.h"

namespace vx::tools {

using platform::RegAccess;

namespace {

std::string joinKey(const std::string& parent, const std::string& name) {
    if (parent.empty()) return name;
    return parent.back() == '\\' ? parent + name : parent + "\\" + name;
}

// True when every value and subkey readable under `from` is present under
// `to` with the same type and data. Explicit work list: key depth comes from
// data.
bool copyIsComplete(platform::Registry& registry, platform::RootKey root, const std::string& from,
                    const std::string& to) {
    struct Pending {
        std::string from, to;
    };
    std::vector<Pending> work{{from, to}};
    while (!work.empty()) {
        Pending p = std::move(work.back());
        work.pop_back();
        auto src = registry.open(root, p.from, RegAccess::Read);
        if (!src) continue;  // unreadable parts were skipped by the copy and stay where they are
        auto dst = registry.open(root, p.to, RegAccess::Read);
        if (!dst) return false;
        for (const std::string& name : src->valueNames()) {
            auto v = src->readValue(name);
            if (!v) continue;
            auto copied = dst->readValue(name);
            if (!copied || copied->type != v->type || copied->data != v->data) return false;
        }
        for (const std::string& sub : src->subkeyNames()) work.push_back({p.from + "\\" + sub, p.to + "\\" + sub});
    }
    return true;
}

}  // namespace

bool moveRegistryKey(platform::Registry& registry, platform::RootKey root, const std::string& parent,
                     const std::string& oldName, const std::string& newName, OldKey oldKey) {
    auto parentKey = registry.open(root, parent, RegAccess::Full);
    if (!parentKey) return false;
    if (!parentKey->subkeyExists(oldName) || parentKey->subkeyExists(newName)) return false;
    const std::string from = joinKey(parent, oldName);
    const std::string to = joinKey(parent, newName);
    if (!platform::copyRegistryTree(registry, root, from, to)) return false;
    if (oldKey == OldKey::Keep) return true;
    // Deleting the old key after an incomplete copy would destroy the user's
    // settings; it stays then, beside the partial copy.
    if (!copyIsComplete(registry, root, from, to)) return false;
    registry.deleteTree(root, from).ignore();
    return true;
}

IconRepairOutcome repairIcons(scan::RunContext& ctx) {
    platform::Registry& registry = ctx.os.registry;
    std::unique_ptr<platform::RegKey> parent = registry.open(platform::RootKey::CurrentUser, kExplorerKey, RegAccess::Full);
    const std::string caption = scan::say(ctx, texts::WarningCaption);
    if (!parent || !parent->subkeyExists(kFileExtsKey)) {
        ctx.os.dialogs.messageBox(scan::say(ctx, texts::icon_repair::NothingToRepairBox), caption,
                                  platform::Icon::Information, platform::Buttons::Ok);
        return IconRepairOutcome::NothingToRepair;
    }
    parent.reset();
    const bool moved = moveRegistryKey(registry, platform::RootKey::CurrentUser, kExplorerKey, kFileExtsKey,
                                       kFileExtsBackupKey, OldKey::Delete);
    ctx.os.dialogs.messageBox(scan::say(ctx, texts::icon_repair::RestartBox), caption, platform::Icon::Information,
                              platform::Buttons::Ok);
    return moved ? IconRepairOutcome::Moved : IconRepairOutcome::NotMoved;
}

}  // namespace vx::tools
