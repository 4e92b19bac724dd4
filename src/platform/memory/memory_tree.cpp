// The folder trees of the drives: path resolution, attaching and detaching
// entries, iterative destruction and copying.
//
// Path resolution walks one component at a time from the drive root. Deep
// trees are handled by the program with paths built by concatenation, each
// call naming a path that shares a long prefix with the one before; walking
// every such path from the root would make a walk down a chain of N folders
// cost N^2 steps. The state therefore remembers a few chains of folders, each
// the folders reached by the components of one path written plainly ("X:\a\b",
// no "." or "..", no junction on the way), and a lookup starts from the
// deepest folder whose path text is a prefix of the one asked for.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/memory/memory_state.h"
#include "platform/paths.h"

namespace vx::memory {

using detail::Kind;
using detail::Node;
using detail::Resolved;

namespace detail {

Node::~Node() {
    if (children.empty()) return;
    // Take the subtree apart level by level so that no destructor recurses.
    std::vector<std::shared_ptr<Node>> pending;
    for (auto& entry : children) pending.push_back(std::move(entry.second));
    children.clear();
    while (!pending.empty()) {
        std::shared_ptr<Node> n = std::move(pending.back());
        pending.pop_back();
        for (auto& entry : n->children) pending.push_back(std::move(entry.second));
        n->children.clear();
    }
}

size_t Node::readAt(uint64_t& offset, uint8_t* buffer, size_t capacity) const {
    const uint64_t total = size();
    if (offset >= total) return 0;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(capacity, total - offset));
    if (hasSizeOnly)
        std::memset(buffer, 0, n);  // stored without bytes: zeros
    else
        std::memcpy(buffer, data.data() + offset, n);
    offset += n;
    return n;
}

uint32_t Node::attributes() const {
    switch (kind) {
        case Kind::Folder:
            return platform::attr::Directory | bits;
        case Kind::Link:
            return platform::attr::Directory | platform::attr::ReparsePoint | bits;
        case Kind::File:
        default:
            return bits == 0 ? platform::attr::Normal : bits;
    }
}

RegNode::~RegNode() {
    if (subkeys.empty()) return;
    std::vector<std::shared_ptr<RegNode>> pending;
    for (auto& entry : subkeys) pending.push_back(std::move(entry.second));
    subkeys.clear();
    while (!pending.empty()) {
        std::shared_ptr<RegNode> n = std::move(pending.back());
        pending.pop_back();
        for (auto& entry : n->subkeys) pending.push_back(std::move(entry.second));
        n->subkeys.clear();
    }
}

RegNode::Value* RegNode::findValue(const std::string& valueName) {
    NameKey key = nameKey(valueName);
    for (Value& v : values)
        if (v.key == key) return &v;
    return nullptr;
}

}  // namespace detail

namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char upperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Length of the common prefix of two texts.
size_t commonPrefix(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i + 64 <= n && std::memcmp(a.data() + i, b.data() + i, 64) == 0) i += 64;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

struct Component {
    std::string_view text;
    size_t end = 0;  // offset in the path text just after the component
};

// Splits `path` from `from` into components when that part is written
// plainly: single "\" separators (one final "\" allowed), no "/", no "." or
// ".." component. False otherwise.
bool splitPlain(const std::string& path, size_t from, std::vector<Component>& out) {
    size_t start = from;
    for (size_t i = from; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\') {
            if (path[i] == '/') return false;
            continue;
        }
        size_t len = i - start;
        if (len == 0) {
            if (i != path.size()) return false;  // "\\" inside the path
        } else {
            std::string_view c(path.data() + start, len);
            if (c == "." || c == "..") return false;
            out.push_back({c, i});
        }
        start = i + 1;
    }
    return true;
}

}  // namespace

detail::Drive* Machine::State::drive(char letter) {
    auto it = drives.find(upperLetter(letter));
    return it == drives.end() ? nullptr : &it->second;
}

namespace {

// Records the folders a walk reaches by plain descent from its start.
struct ChainRecord {
    std::vector<std::pair<Node*, size_t>> folders;  // folder, end of its component
};

// Walks `comps` from `start`, following junctions as described in the header.
// `record` (optional) receives the folders reached before any junction.
void walk(Machine::State& st, Resolved& r, Node* start, char drive, const std::vector<Component>& comps,
          bool followLast, ChainRecord* record) {
    Node* cur = start;
    char curDrive = drive;
    std::vector<std::string> injected;  // components of junction targets, next one last
    size_t idx = 0;
    int hops = 0;
    bool plain = true;
    for (;;) {
        const bool fromInjected = !injected.empty();
        if (!fromInjected && idx == comps.size()) break;
        std::string_view text = fromInjected ? std::string_view(injected.back()) : comps[idx].text;
        const bool isLast = fromInjected ? (injected.size() == 1 && idx == comps.size()) : (idx + 1 == comps.size());
        if (cur->kind != Kind::Folder) {
            r.error = Resolved::Error::PathNotFound;
            return;
        }
        auto it = cur->children.find(detail::nameKey(text));
        if (it == cur->children.end()) {
            if (isLast) {
                r.error = Resolved::Error::FileNotFound;
                r.parent = cur;
                r.name = std::string(text);
                r.drive = curDrive;
            } else {
                r.error = Resolved::Error::PathNotFound;
            }
            return;
        }
        Node* child = it->second.get();
        size_t end = fromInjected ? 0 : comps[idx].end;
        if (fromInjected)
            injected.pop_back();
        else
            ++idx;

        if (child->kind == Kind::Link && (!isLast || followLast)) {
            if (++hops > 63) {
                r.error = Resolved::Error::TooManyLinks;
                return;
            }
            plain = false;
            platform::PathParts target;
            detail::Drive* d = nullptr;
            if (platform::splitPath(child->linkTarget, "", target) && target.root.size() == 2)
                d = st.drive(target.root[0]);
            if (!d) {
                r.error = Resolved::Error::PathNotFound;
                return;
            }
            cur = d->root.get();
            curDrive = target.root[0];
            for (auto c = target.components.rbegin(); c != target.components.rend(); ++c)
                injected.push_back(std::move(*c));
            continue;
        }
        if (isLast) {
            r.node = child;
            r.parent = cur;
            r.name = child->name;
            r.drive = curDrive;
            if (plain && record && child->kind == Kind::Folder) record->folders.push_back({child, end});
            return;
        }
        if (child->kind != Kind::Folder) {
            r.error = Resolved::Error::PathNotFound;
            return;
        }
        cur = child;
        if (plain && record) record->folders.push_back({child, end});
    }
    // No component left: a drive root, or a junction followed to one.
    r.node = cur;
    r.parent = cur->parent;
    r.name = cur->name;
    r.drive = curDrive;
}

}  // namespace

Resolved Machine::State::resolve(const std::string& path, bool followLast) {
    Resolved r = resolveEntry(path, followLast);
    // A final "\\" names a folder; after a file's name it names nothing.
    if (!path.empty() && (path.back() == '\\' || path.back() == '/')) {
        r.trailingSeparator = true;
        if (r.node && r.node->kind == Kind::File) {
            r.node = nullptr;
            r.parent = nullptr;
            r.error = Resolved::Error::PathNotFound;
        }
    }
    return r;
}

Resolved Machine::State::resolveEntry(const std::string& path, bool followLast) {
    Resolved r;
    const bool plainRoot = path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && path[2] == '\\';
    if (plainRoot) {
        detail::Drive* d = drive(path[0]);
        if (!d) {
            r.error = Resolved::Error::NoDrive;
            return r;
        }
        // The remembered chain sharing the longest prefix with `path`.
        PathChain* best = nullptr;
        size_t bestCount = 0;
        for (PathChain& c : chains) {
            if (c.epoch != epoch || c.nodes.empty() || c.path[0] != path[0]) continue;
            size_t m = commonPrefix(c.path, path);
            auto up = std::upper_bound(c.ends.begin(), c.ends.end(), m);
            size_t k = static_cast<size_t>(up - c.ends.begin());
            if (k > 0 && c.ends[k - 1] == m && m < path.size() && path[m] != '\\') --k;
            if (k > bestCount) {
                bestCount = k;
                best = &c;
            }
        }
        Node* start = d->root.get();
        std::shared_ptr<Node> held;
        if (best) {
            held = best->nodes[bestCount - 1].lock();
            if (held) {
                start = held.get();
            } else {
                best->nodes.clear();
                best->ends.clear();
                best = nullptr;
                bestCount = 0;
            }
        }
        size_t from = bestCount ? best->ends[bestCount - 1] + 1 : 3;
        std::vector<Component> comps;
        if (from > path.size() || splitPlain(path, from, comps)) {
            ChainRecord record;
            walk(*this, r, start, upperLetter(path[0]), comps, followLast, &record);
            if (!record.folders.empty()) {
                PathChain* c = best;
                if (!c) {
                    c = &chains[0];
                    for (PathChain& e : chains) {
                        if (e.epoch != epoch || e.nodes.empty()) {
                            c = &e;
                            break;
                        }
                        if (e.lastUse < c->lastUse) c = &e;
                    }
                    c->nodes.clear();
                    c->ends.clear();
                    c->path.assign(path, 0, 2);
                    c->epoch = epoch;
                }
                c->nodes.resize(bestCount);
                c->ends.resize(bestCount);
                c->path.resize(bestCount ? c->ends.back() : 2);
                size_t last = record.folders.back().second;
                c->path.append(path, c->path.size(), last - c->path.size());
                for (auto& [node, end] : record.folders) {
                    c->nodes.push_back(node->weak_from_this());
                    c->ends.push_back(end);
                }
                best = c;
            }
            if (best) best->lastUse = ++chainClock;
            return r;
        }
    }
    // Any other form: relative, "." or "..", "/" or repeated separators.
    platform::PathParts parts;
    if (!platform::splitPath(path, currentDirectory, parts) || parts.root.size() != 2) {
        r.error = Resolved::Error::BadPath;
        return r;
    }
    detail::Drive* d = drive(parts.root[0]);
    if (!d) {
        r.error = Resolved::Error::NoDrive;
        return r;
    }
    std::vector<Component> comps;
    comps.reserve(parts.components.size());
    for (const std::string& c : parts.components) comps.push_back({c, 0});
    walk(*this, r, d->root.get(), parts.root[0], comps, followLast, nullptr);
    return r;
}

void Machine::State::forgetFolder(const Node* folder) {
    for (PathChain& c : chains) {
        if (c.epoch != epoch) continue;
        for (size_t i = c.nodes.size(); i-- > 0;) {
            std::shared_ptr<Node> n = c.nodes[i].lock();
            if (n.get() != folder) continue;
            c.nodes.resize(i);
            c.ends.resize(i);
            c.path.resize(i ? c.ends.back() : 2);
            break;
        }
    }
}

Node* Machine::State::attach(Node* folder, std::shared_ptr<Node> child) {
    // An entry attached for the first time is being made: it gets its index
    // and the access of the folder it is made in.
    if (child->fileIndex == 0) {
        child->fileIndex = nextFileIndex++;
        child->access = folder->access;
    }
    child->parent = folder;
    Node* raw = child.get();
    detail::NameKey key = detail::nameKey(child->name);
    child->shortKey = detail::shortNameKey(key);
    folder->children.emplace(std::move(key), std::move(child));
    return raw;
}

std::shared_ptr<Node> Machine::State::detach(Node* node) {
    Node* parent = node->parent;
    if (!parent) return nullptr;
    auto it = parent->children.find(detail::nameKey(node->name));
    if (it == parent->children.end()) return nullptr;
    std::shared_ptr<Node> held = std::move(it->second);
    parent->children.erase(it);
    node->parent = nullptr;
    if (node->kind == Kind::Folder) {
        if (node->children.empty())
            forgetFolder(node);
        else
            invalidatePaths();
    }
    return held;
}

bool Machine::State::contains(const Node* ancestor, const Node* node) {
    for (const Node* n = node; n; n = n->parent)
        if (n == ancestor) return true;
    return false;
}

bool Machine::State::subtreeInUse(const Node* node) {
    std::vector<const Node*> pending{node};
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        if (n->inUse()) return true;
        if (n->kind != Kind::Folder) continue;  // a junction's target is not inside it
        for (const auto& entry : n->children) pending.push_back(entry.second.get());
    }
    return false;
}

bool Machine::State::holdsCurrentDirectory(const Node* node) {
    if (currentDirectory.empty()) return false;
    Resolved cwd = resolve(currentDirectory, true);
    return cwd.node && contains(node, cwd.node);
}

std::string Machine::State::absolutePath(const std::string& path) const {
    platform::PathParts parts;
    if (!platform::splitPath(path, currentDirectory, parts)) return path;
    return platform::joinPath(parts);
}

bool Machine::State::removeDriveNow(char letter) {
    auto it = drives.find(upperLetter(letter));
    if (it == drives.end()) return false;
    invalidatePaths();
    drives.erase(it);
    return true;
}

// ---------------------------------------------------------------------------
// Deep copy
// ---------------------------------------------------------------------------

namespace {

using NodeMap = std::unordered_map<const Node*, std::shared_ptr<Node>>;

std::shared_ptr<Node> copyNode(const Node& src) {
    auto n = std::make_shared<Node>();
    n->kind = src.kind;
    n->name = src.name;
    n->shortKey = src.shortKey;
    n->bits = src.bits;
    n->data = src.data;
    n->sizeOnly = src.sizeOnly;
    n->hasSizeOnly = src.hasSizeOnly;
    n->linkTarget = src.linkTarget;
    n->locked = src.locked;
    n->images = src.images;
    n->fileIndex = src.fileIndex;
    n->access = src.access;
    n->trustUnreadable = src.trustUnreadable;
    return n;
}

std::shared_ptr<Node> copyTree(const Node& root, NodeMap& map) {
    std::shared_ptr<Node> top = copyNode(root);
    map[&root] = top;
    std::vector<std::pair<const Node*, Node*>> pending{{&root, top.get()}};
    while (!pending.empty()) {
        auto [src, dst] = pending.back();
        pending.pop_back();
        for (const auto& [key, child] : src->children) {
            std::shared_ptr<Node> c = copyNode(*child);
            c->parent = dst;
            map[child.get()] = c;
            pending.push_back({child.get(), c.get()});
            dst->children.emplace_hint(dst->children.end(), key, std::move(c));
        }
    }
    return top;
}

std::shared_ptr<detail::RegNode> copyRegistry(const detail::RegNode& root) {
    auto copyOne = [](const detail::RegNode& src) {
        auto n = std::make_shared<detail::RegNode>();
        n->name = src.name;
        n->values = src.values;
        return n;
    };
    std::shared_ptr<detail::RegNode> top = copyOne(root);
    std::vector<std::pair<const detail::RegNode*, detail::RegNode*>> pending{{&root, top.get()}};
    while (!pending.empty()) {
        auto [src, dst] = pending.back();
        pending.pop_back();
        for (const auto& [key, child] : src->subkeys) {
            auto c = copyOne(*child);
            c->parent = dst;
            pending.push_back({child.get(), c.get()});
            dst->subkeys.emplace_hint(dst->subkeys.end(), key, std::move(c));
        }
    }
    return top;
}

}  // namespace

void Machine::State::copyFrom(const State& o) {
    NodeMap map;
    drives.clear();
    for (const auto& [letter, d] : o.drives) {
        detail::Drive copy;
        copy.type = d.type;
        copy.label = d.label;
        copy.serial = d.serial;
        copy.freeBytes = d.freeBytes;
        copy.fileSystem = d.fileSystem;
        copy.root = copyTree(*d.root, map);
        drives.emplace(letter, std::move(copy));
    }
    // Files open for writing belong to the original's writers.
    for (auto& [src, dst] : map) dst->writers = 0;
    currentDirectory = o.currentDirectory;
    temporaryPath = o.temporaryPath;
    calls = o.calls;
    faults = o.faults;
    // The copy's hook is its own, so that its state is not shared.
    if (o.faults.hook) faults.hook = std::make_shared<FaultHook>(*o.faults.hook);
    faults.inHook = false;
    nextFileIndex = o.nextFileIndex;
    administrator = o.administrator;
    randomState = o.randomState;
    randomFails = o.randomFails;
    invalidatePaths();
    for (PathChain& c : chains) c = PathChain{};

    currentUser = copyRegistry(*o.currentUser);
    localMachine = copyRegistry(*o.localMachine);
    denyLocalMachine = o.denyLocalMachine;

    processes.clear();
    for (const detail::Process& p : o.processes) {
        detail::Process copy;
        copy.info = p.info;
        if (auto image = p.image.lock()) {
            auto it = map.find(image.get());
            if (it != map.end()) copy.image = it->second;
        }
        processes.push_back(std::move(copy));
    }
    nextPid = o.nextPid;
    currentPid = o.currentPid;
    terminations = o.terminations;
    startedCommands = o.startedCommands;
    startCommandResult = o.startCommandResult;
    snapshotFails = o.snapshotFails;
    systemHalted = o.systemHalted;
    selfTerminated = o.selfTerminated;

    specialFolders = o.specialFolders;
    failedSpecialFolders = o.failedSpecialFolders;
    explored = o.explored;
    opened = o.opened;
    restarts = o.restarts;
    wow64 = o.wow64;
    is64Bit = o.is64Bit;
    version = o.version;
    programPath = o.programPath;
    // The program's own hold on the run lock stays with the original.
    runLockHeldElsewhere = o.runLockHeldElsewhere;
    arguments = o.arguments;
    hasParentConsole = o.hasParentConsole;
    consoleAttached = o.consoleAttached;
    consoleLines = o.consoleLines;

    now = o.now;
    locale = o.locale;

    answers = o.answers;
    saveAnswers = o.saveAnswers;
    transcript = o.transcript;
}

}  // namespace vx::memory
