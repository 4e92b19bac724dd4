// The Registry interface of the memory machine: two hives of keys with
// case-insensitive names, values in insertion order, handles that outlive a
// deleted key without harm, and the access rules of a user without
// administrator rights when asked for.
#include "platform/memory/memory_file_checks.h"
#include "platform/memory/memory_impl.h"

namespace vx::memory {

using detail::RegNode;
using platform::RegAccess;
using platform::Result;
using platform::Status;
using platform::RegValue;
using platform::RootKey;

namespace detail {

bool splitKeyPath(const std::string& path, std::vector<std::string>& out) {
    out.clear();
    size_t b = path.find_first_not_of('\\');
    if (b == std::string::npos) return true;  // the root itself
    size_t e = path.find_last_not_of('\\') + 1;
    size_t start = b;
    for (size_t i = b; i <= e; ++i) {
        if (i < e && path[i] != '\\') continue;
        if (i == start) return false;  // "a\\b"
        out.push_back(path.substr(start, i - start));
        start = i + 1;
    }
    return true;
}

}  // namespace detail

namespace {

constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxKeyDepth = 512;  // levels a registry tree may have
constexpr size_t kMaxValueName = 16383;

RegNode* findKey(RegNode* node, const std::vector<std::string>& comps, size_t count) {
    for (size_t i = 0; i < count && node; ++i) {
        auto it = node->subkeys.find(detail::nameKey(comps[i]));
        node = it == node->subkeys.end() ? nullptr : it->second.get();
    }
    return node;
}

class MemoryRegKey final : public platform::RegKey {
public:
    MemoryRegKey(Machine::State& s, RegNode* key, bool writable)
        : lifetime_(s.lifetime), key_(key->weak_from_this()), writable_(writable) {}

    std::vector<std::string> valueNames() override {
        std::vector<std::string> names;
        if (auto k = live())
            for (const auto& v : k->values) names.push_back(v.name);
        return names;
    }

    std::vector<std::string> subkeyNames() override {
        std::vector<std::string> names;
        if (auto k = live())
            for (const auto& [key, sub] : k->subkeys) names.push_back(sub->name);
        return names;
    }

    bool valueExists(const std::string& name) override {
        auto k = live();
        return k && k->findValue(name);
    }

    Result<RegValue> readValue(const std::string& name) override {
        auto k = live();
        if (!k) return detail::failure(detail::kKeyDeleted);
        auto* v = k->findValue(name);
        if (!v) return detail::failure(detail::kFileNotFound);
        return v->value;
    }

    Status writeValue(const std::string& name, const RegValue& value) override {
        auto k = live();
        if (!k) return detail::failure(detail::kKeyDeleted);
        if (!writable_) return detail::failure(detail::kAccessDenied);
        if (name.size() > kMaxValueName) return detail::failure(detail::kInvalidParameter);
        if (auto* v = k->findValue(name)) {
            v->value = value;  // keeps its place
        } else {
            k->values.push_back({name, detail::nameKey(name), value});
        }
        return {};
    }

    Status deleteValue(const std::string& name) override {
        auto k = live();
        if (!k) return detail::failure(detail::kKeyDeleted);
        if (!writable_) return detail::failure(detail::kAccessDenied);
        detail::NameKey key = detail::nameKey(name);
        for (auto it = k->values.begin(); it != k->values.end(); ++it) {
            if (it->key != key) continue;
            k->values.erase(it);
            return {};
        }
        return detail::failure(detail::kFileNotFound);
    }

    bool subkeyExists(const std::string& name) override {
        auto k = live();
        std::vector<std::string> comps;
        if (!k || name.empty() || !detail::splitKeyPath(name, comps) || comps.empty()) return false;
        return findKey(k.get(), comps, comps.size()) != nullptr;
    }

private:
    // The key, unless it (or the machine) is gone.
    std::shared_ptr<RegNode> live() {
        if (lifetime_.expired()) return nullptr;
        auto k = key_.lock();
        // A deleted key keeps its node while a handle holds it; it has no parent.
        if (k && k->parent == nullptr && !isRoot_) return nullptr;
        return k;
    }

public:
    bool isRoot_ = false;

private:
    std::weak_ptr<int> lifetime_;
    std::weak_ptr<RegNode> key_;
    bool writable_;
};

std::unique_ptr<platform::RegKey> makeHandle(Machine::State& s, RegNode* key, bool writable) {
    auto handle = std::make_unique<MemoryRegKey>(s, key, writable);
    handle->isRoot_ = key->parent == nullptr;
    return handle;
}

}  // namespace

Result<std::unique_ptr<platform::RegKey>> MemoryRegistry::open(RootKey root, const std::string& path,
                                                               RegAccess access) {
    std::vector<std::string> comps;
    if (!detail::splitKeyPath(path, comps)) return detail::failure(detail::kFileNotFound);
    RegNode* key = findKey(s_.hive(root).get(), comps, comps.size());
    if (!key) return detail::failure(detail::kFileNotFound);
    const bool full = access == RegAccess::Full;
    if (full && root == RootKey::LocalMachine && s_.denyLocalMachine) return detail::failure(detail::kAccessDenied);
    return makeHandle(s_, key, full);
}

Result<std::unique_ptr<platform::RegKey>> MemoryRegistry::create(RootKey root, const std::string& path) {
    std::vector<std::string> comps;
    if (!detail::splitKeyPath(path, comps)) return detail::failure(detail::kInvalidParameter);
    if (root == RootKey::LocalMachine && s_.denyLocalMachine) return detail::failure(detail::kAccessDenied);
    bool fits = comps.size() <= kMaxKeyDepth;
    for (const std::string& c : comps) fits = fits && c.size() <= kMaxKeyName;
    if (!fits) return detail::failure(detail::kInvalidParameter);
    RegNode* key = s_.hive(root).get();
    for (const std::string& c : comps) {
        auto [it, added] = key->subkeys.try_emplace(detail::nameKey(c));
        if (added) {
            it->second = std::make_shared<RegNode>();
            it->second->name = c;
            it->second->parent = key;
        }
        key = it->second.get();
    }
    return makeHandle(s_, key, true);
}

Status MemoryRegistry::deleteTree(RootKey root, const std::string& path) {
    std::vector<std::string> comps;
    if (!detail::splitKeyPath(path, comps) || comps.empty()) return detail::failure(detail::kInvalidParameter);
    RegNode* parent = findKey(s_.hive(root).get(), comps, comps.size() - 1);
    if (!parent) return detail::failure(detail::kFileNotFound);
    auto it = parent->subkeys.find(detail::nameKey(comps.back()));
    if (it == parent->subkeys.end()) return detail::failure(detail::kFileNotFound);
    if (root == RootKey::LocalMachine && s_.denyLocalMachine) return detail::failure(detail::kAccessDenied);
    // Open handles keep the nodes of the deleted keys alive; cut them loose so
    // that each handle sees its key as deleted.
    std::vector<RegNode*> pending{it->second.get()};
    while (!pending.empty()) {
        RegNode* n = pending.back();
        pending.pop_back();
        n->parent = nullptr;
        for (auto& [key, sub] : n->subkeys) pending.push_back(sub.get());
    }
    parent->subkeys.erase(it);
    return {};
}

}  // namespace vx::memory
