// The FileSystem interface of the memory machine, with its find enumeration,
// its text writers and fault injection.
#include "platform/memory/memory_impl.h"
#include "platform/memory/memory_file_checks.h"
#include "platform/text_lines.h"
#include "platform/paths.h"

namespace vx::memory {

using namespace detail;  // node kinds and failure messages
using detail::Kind;
using detail::Node;
using detail::Resolved;
using platform::FindEntry;
using platform::Result;
using platform::Status;
namespace attr = platform::attr;

namespace {


bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.empty() || text.size() < prefix.size()) return false;
    return platform::equalNoCase(text.substr(0, prefix.size()), prefix);
}

// The last component of a path as written ("" when it has none).
std::string lastComponent(const std::string& path, const std::string& currentDirectory) {
    platform::PathParts parts;
    if (!platform::splitPath(path, currentDirectory, parts) || parts.components.empty()) return {};
    return parts.components.back();
}

std::string encodeLine(const std::string& line) {
    std::string bytes = platform::utf8ToCp1252(line);
    bytes += "\r\n";
    return bytes;
}

// Opens `path` for writing as CreateFile(CREATE_ALWAYS) does: an existing
// file is emptied, a missing one created; null with `error` filled on failure.
Node* openForWrite(Machine::State& s, const std::string& path, Status& error) {
    Resolved r = s.resolve(path, false);
    if (r.error == Resolved::Error::TooManyLinks) {
        error = failure(kCannotResolve);
        return nullptr;
    }
    if (r.node) {
        Node* n = r.node;
        if (n->kind != Kind::File || !s.mayChange(n)) {
            error = failure(kAccessDenied);
            return nullptr;
        }
        if (n->inUse()) {
            error = failure(kInUse);
            return nullptr;
        }
        if (n->bits & (attr::ReadOnly | attr::Hidden | attr::System)) {
            error = failure(kAccessDenied);
            return nullptr;
        }
        n->data.clear();
        n->hasSizeOnly = false;
        n->sizeOnly = 0;
        n->bits = attr::Archive;
        error = Status{};
        return n;
    }
    if (!checkNewFile(r, error)) return nullptr;
    if (!s.mayCreateIn(r.parent)) {
        error = failure(kAccessDenied);
        return nullptr;
    }
    auto n = std::make_shared<Node>();
    n->kind = Kind::File;
    n->name = r.name;
    n->bits = attr::Archive;
    error = Status{};
    return s.attach(r.parent, std::move(n));
}

// ---------------------------------------------------------------------------
// Find
// ---------------------------------------------------------------------------

class MemoryFinder final : public platform::Finder {
public:
    MemoryFinder(Machine::State& s, Node* folder, detail::Mask mask, std::string folderPath)
        : s_(s),
          lifetime_(s.lifetime),
          folder_(folder->weak_from_this()),
          mask_(std::move(mask)),
          folderPath_(std::move(folderPath)),
          // A drive root has no "." and "..".
          phase_(folder->parent ? Phase::Dot : Phase::Entries) {}

    // Finds the first entry; false when nothing matches.
    bool start() {
        pendingValid_ = advance(pending_);
        return pendingValid_;
    }

    bool next(FindEntry& entry) override {
        if (lifetime_.expired()) return false;
        if (pendingValid_) {
            pendingValid_ = false;
            entry = std::move(pending_);
            return true;
        }
        if (phase_ == Phase::Done) return false;
        if (s_.failCall("findNext", folderPath_)) {
            phase_ = Phase::Done;
            return false;
        }
        return advance(entry);
    }

private:
    enum class Phase { Dot, DotDot, Entries, Done };

    bool advance(FindEntry& entry) {
        std::shared_ptr<Node> folder = folder_.lock();
        if (!folder) {
            phase_ = Phase::Done;
            return false;
        }
        while (phase_ == Phase::Dot || phase_ == Phase::DotDot) {
            const bool dot = phase_ == Phase::Dot;
            phase_ = dot ? Phase::DotDot : Phase::Entries;
            const char* name = dot ? "." : "..";
            if (!detail::maskMatches(mask_, detail::nameKey(name))) continue;
            const Node* of = dot ? folder.get() : folder->parent;
            entry.name = name;
            entry.attributes = of ? of->attributes() : attr::Directory;
            entry.size = 0;
            return true;
        }
        if (phase_ != Phase::Entries) return false;
        auto& children = folder->children;
        // A plain name is looked up; it never matches through a short name.
        if (mask_.literal) {
            phase_ = Phase::Done;
            auto it = children.find(mask_.expression);
            if (it == children.end()) return false;
            fill(*it->second, entry);
            return true;
        }
        // Continue after the last key reported, so that entries added or
        // removed meanwhile are met (or not) as the folder now holds them.
        auto it = started_ ? children.upper_bound(lastKey_) : children.begin();
        for (; it != children.end(); ++it) {
            const detail::NameKey& shortKey = it->second->shortKey;
            if (!detail::maskMatches(mask_, it->first) &&
                (shortKey.empty() || !detail::maskMatches(mask_, shortKey)))
                continue;
            lastKey_ = it->first;
            started_ = true;
            fill(*it->second, entry);
            return true;
        }
        phase_ = Phase::Done;
        return false;
    }

    static void fill(const Node& n, FindEntry& entry) {
        entry.name = n.name;
        entry.attributes = n.attributes();
        entry.size = n.size();
    }

    Machine::State& s_;
    std::weak_ptr<int> lifetime_;
    std::weak_ptr<Node> folder_;
    detail::Mask mask_;
    std::string folderPath_;
    Phase phase_;
    detail::NameKey lastKey_;
    bool started_ = false;
    FindEntry pending_;
    bool pendingValid_ = false;
};

// ---------------------------------------------------------------------------
// Text writer
// ---------------------------------------------------------------------------

class MemoryTextWriter final : public platform::TextWriter {
public:
    MemoryTextWriter(Machine::State& s, Node* file, std::string path)
        : s_(s), lifetime_(s.lifetime), file_(file->weak_from_this()), path_(std::move(path)) {
        ++file->writers;
    }
    ~MemoryTextWriter() override { close().ignore(); }

    Status writeLine(const std::string& line) override {
        if (closed_) return status_.ok() ? failure(kInvalidHandle) : status_;
        if (!status_.ok()) return status_;
        if (lifetime_.expired()) return status_ = failure(kNotReady);
        if (s_.failCall("writeLine", path_)) return status_ = failure(kAccessDenied);
        std::shared_ptr<Node> file = file_.lock();
        if (!file) return status_ = failure(kNotReady);
        file->data += encodeLine(line);
        return status_;
    }

    Status close() override {
        if (closed_) return status_;
        closed_ = true;
        if (lifetime_.expired()) return status_;
        std::shared_ptr<Node> file = file_.lock();
        if (file) --file->writers;
        if (s_.failCall("closeTextFile", path_) && status_.ok()) status_ = failure(kAccessDenied);
        return status_;
    }

private:
    Machine::State& s_;
    std::weak_ptr<int> lifetime_;
    std::weak_ptr<Node> file_;
    std::string path_;
    Status status_;
    bool closed_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// Fault injection
// ---------------------------------------------------------------------------

bool Machine::State::failCall(std::string_view operation, const std::string& path) {
    return failCall(operation, path, std::string());
}

bool Machine::State::failCall(std::string_view operation, const std::string& path1, const std::string& path2) {
    ++calls;
    if (faults.vanishArmed && calls >= faults.vanishAt) {
        faults.vanishArmed = false;
        removeDriveNow(faults.vanishLetter);
    }
    if (faults.everyNth && (calls - faults.everyNthStart) % faults.everyNth == 0) return true;
    if (faults.failPrefixes.empty() && !faults.hook) return false;
    for (const std::string* p : {&path1, &path2}) {
        if (p->empty() && p == &path2) continue;
        std::string absolute = p->empty() ? std::string() : absolutePath(*p);
        for (const std::string& prefix : faults.failPrefixes)
            if (startsWithNoCase(absolute, prefix)) return true;
        if (!faults.hook || faults.inHook) continue;
        // The hook may change the tree, set faults or make calls of its own:
        // it is kept alive here and not offered the calls it makes.
        std::shared_ptr<FaultHook> hook = faults.hook;
        struct Running {
            bool& flag;
            explicit Running(bool& f) : flag(f) { flag = true; }
            ~Running() { flag = false; }
        } running(faults.inHook);
        if ((*hook)(operation, absolute)) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// FileSystem
// ---------------------------------------------------------------------------

Result<std::unique_ptr<platform::Finder>> MemoryFileSystem::find(const std::string& pattern) {
    if (s_.failCall("find", pattern)) return failure(kAccessDenied);
    size_t sep = pattern.find_last_of("\\/");
    std::string folder, mask;
    if (sep != std::string::npos) {
        folder = pattern.substr(0, sep + 1);
        mask = pattern.substr(sep + 1);
    } else if (pattern.size() >= 2 && pattern[1] == ':') {
        folder = pattern.substr(0, 2);  // the current folder of that drive
        mask = pattern.substr(2);
    } else {
        folder = s_.currentDirectory;
        mask = pattern;
    }
    // FindFirstFile answers "file not found" for an empty mask, for a mask
    // nothing matches and for the "." of a drive root.
    if (mask.empty()) return failure(kFileNotFound);

    Node* folderNode = nullptr;
    if (mask == "." || mask == "..") {
        // "X:\a\." names the folder a itself: it is found by its name in its parent.
        Resolved r = s_.resolve(pattern, false);
        if (!r.node) return notFound(r);
        if (!r.node->parent) return failure(kFileNotFound);
        folderNode = r.node->parent;
        mask = r.node->name;
    } else {
        Resolved r = s_.resolve(folder, true);
        if (!r.node) return failure(r.error == Resolved::Error::BadPath ? kBadName : kPathNotFound);
        if (r.node->kind != Kind::Folder) return failure(kNotADirectory);
        folderNode = r.node;
    }
    if (!s_.mayRead(folderNode)) return failure(kAccessDenied);
    auto finder = std::make_unique<MemoryFinder>(s_, folderNode, detail::compileMask(mask), folder);
    if (!finder->start()) return failure(kFileNotFound);
    return finder;
}

uint32_t MemoryFileSystem::getAttributes(const std::string& path) {
    if (s_.failCall("getAttributes", path)) return attr::Invalid;
    Resolved r = s_.resolve(path, false);
    return r.node && s_.mayReadAttributes(r.node) ? r.node->attributes() : attr::Invalid;
}

Status MemoryFileSystem::setAttributes(const std::string& path, uint32_t attributes) {
    if (s_.failCall("setAttributes", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (!r.node) return notFound(r);
    if (!s_.mayChange(r.node)) return failure(kAccessDenied);
    r.node->bits = attributes & detail::kSettableAttributes;
    return {};
}

Status MemoryFileSystem::deleteFile(const std::string& path) {
    if (s_.failCall("deleteFile", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    Node* n = r.node;
    if (!n) return notFound(r);
    if (n->kind != Kind::File || !s_.mayChange(n) || (n->bits & attr::ReadOnly)) return failure(kAccessDenied);
    if (n->inUse()) return failure(kInUse);
    s_.detach(n);
    return {};
}

Status MemoryFileSystem::createDirectory(const std::string& path) {
    if (s_.failCall("createDirectory", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (r.node) return failure(kAlreadyExists);
    if (r.error != Resolved::Error::FileNotFound) return notFound(r);
    if (!detail::isValidName(r.name)) return failure(kBadName);
    if (!s_.mayCreateIn(r.parent)) return failure(kAccessDenied);
    auto n = std::make_shared<Node>();
    n->kind = Kind::Folder;
    n->name = r.name;
    s_.attach(r.parent, std::move(n));
    return {};
}

Status MemoryFileSystem::removeDirectory(const std::string& path) {
    if (s_.failCall("removeDirectory", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    Node* n = r.node;
    if (!n) return notFound(r);
    if (n->kind == Kind::File) return failure(kNotADirectory);
    if (!n->parent || !s_.mayChange(n)) return failure(kAccessDenied);
    if (n->kind == Kind::Folder) {
        if (!n->children.empty()) return failure(kDirNotEmpty);
        if ((n->bits & attr::ReadOnly) || n->folderHandles > 0 || s_.holdsCurrentDirectory(n))
            return failure(kInUse);
    }
    s_.detach(n);
    return {};
}

Status MemoryFileSystem::move(const std::string& from, const std::string& to) {
    if (s_.failCall("move", from, to)) return failure(kAccessDenied);
    Resolved a = s_.resolve(from, false);
    Node* n = a.node;
    if (!n) return notFound(a);
    if (!n->parent) return failure(kAccessDenied);
    Resolved b = s_.resolve(to, false);
    std::string newName;
    if (b.node) {
        if (b.node != n) return failure(kAlreadyExists);  // never replaces
        newName = lastComponent(to, s_.currentDirectory);  // a change of letter case only
    } else {
        if (b.error != Resolved::Error::FileNotFound) return notFound(b);
        if (b.trailingSeparator && n->kind == Kind::File) return failure(kBadName);
        newName = b.name;
    }
    if (!detail::isValidName(newName)) return failure(kBadName);

    Node* destination = b.node ? n->parent : b.parent;
    if (!s_.mayChange(n) || !s_.mayCreateIn(destination)) return failure(kAccessDenied);
    if (n->kind == Kind::File) {
        if (n->locked || n->openAgainstSharing()) return failure(kInUse);
        // Between drives a file is copied and the original deleted.
        if (a.drive != b.drive && n->images > 0) return failure(kAccessDenied);
    } else {
        if (a.drive != b.drive) return failure(kNotSameDevice);
        if (b.parent && Machine::State::contains(n, b.parent)) return failure(kInvalidParameter);
        if (n->kind == Kind::Folder && (n->folderHandles > 0 || Machine::State::subtreeInUse(n) ||
                                        s_.holdsCurrentDirectory(n)))
            return failure(kAccessDenied);
    }
    std::shared_ptr<Node> held = s_.detach(n);
    if (!held) return failure(kAccessDenied);
    held->name = newName;
    // A file moved to another drive is a new file there.
    if (a.drive != b.drive) held->fileIndex = 0;
    s_.attach(destination, std::move(held));
    return {};
}

Status MemoryFileSystem::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    if (s_.failCall("copyFile", from, to)) return failure(kAccessDenied);
    Resolved a = s_.resolve(from, false);
    Node* src = a.node;
    if (!src) return notFound(a);
    if (src->kind != Kind::File || !s_.mayRead(src)) return failure(kAccessDenied);
    Resolved b = s_.resolve(to, false);
    Node* dst = b.node;
    if (dst) {
        if (failIfExists && dst != src) return failure(kFileExists);
        if (dst == src || dst->kind != Kind::File || !s_.mayChange(dst)) return failure(kAccessDenied);
        if (dst->inUse()) return failure(kInUse);
        if (dst->bits & attr::ReadOnly) return failure(kAccessDenied);
        // Replacing a hidden or system file needs the same bits on the new one.
        if (dst->bits & (attr::Hidden | attr::System) & ~src->bits) return failure(kAccessDenied);
    } else {
        if (b.error != Resolved::Error::FileNotFound) return notFound(b);
        if (b.trailingSeparator || !detail::isValidName(b.name)) return failure(kBadName);
        if (!s_.mayCreateIn(b.parent)) return failure(kAccessDenied);
        auto n = std::make_shared<Node>();
        n->kind = Kind::File;
        n->name = b.name;
        dst = s_.attach(b.parent, std::move(n));
    }
    dst->data = src->data;
    dst->sizeOnly = src->sizeOnly;
    dst->hasSizeOnly = src->hasSizeOnly;
    dst->bits = src->bits;
    return {};
}

bool MemoryFileSystem::fileExists(const std::string& path) {
    if (s_.failCall("fileExists", path)) return false;
    Resolved r = s_.resolve(path, false);
    return r.node && r.node->kind == Kind::File && s_.mayReadAttributes(r.node);
}

bool MemoryFileSystem::directoryExists(const std::string& path) {
    if (s_.failCall("directoryExists", path)) return false;
    Resolved r = s_.resolve(path, false);
    return r.node && r.node->kind != Kind::File && s_.mayReadAttributes(r.node);
}

uint32_t MemoryFileSystem::logicalDrives() {
    if (s_.failCall("logicalDrives", "")) return 0;
    uint32_t bits = 0;
    for (const auto& [letter, d] : s_.drives) bits |= 1u << (letter - 'A');
    return bits;
}

platform::DriveType MemoryFileSystem::driveType(const std::string& root) {
    if (s_.failCall("driveType", root)) return platform::DriveType::Unknown;
    char letter = rootLetter(root);
    detail::Drive* d = letter ? s_.drive(letter) : nullptr;
    return d ? d->type : platform::DriveType::NoRootDir;
}

std::string MemoryFileSystem::volumeLabel(const std::string& root) {
    if (s_.failCall("volumeLabel", root)) return {};
    char letter = rootLetter(root);
    detail::Drive* d = letter ? s_.drive(letter) : nullptr;
    return d ? d->label : std::string();
}

std::string MemoryFileSystem::temporaryPath() {
    if (s_.failCall("temporaryPath", "")) return {};
    std::string p = s_.temporaryPath;
    if (!p.empty() && p.back() != '\\') p += '\\';
    return p;
}

Status MemoryFileSystem::writeTextFile(const std::string& path, const std::vector<std::string>& lines) {
    if (s_.failCall("writeTextFile", path)) return failure(kAccessDenied);
    Status result;
    Node* file = openForWrite(s_, path, result);
    if (!file) return result;
    std::string bytes;
    for (const std::string& line : lines) bytes += encodeLine(line);
    file->data = std::move(bytes);
    return result;
}

Result<std::unique_ptr<platform::TextWriter>> MemoryFileSystem::createTextFile(const std::string& path) {
    if (s_.failCall("createTextFile", path)) return failure(kAccessDenied);
    Status error;
    Node* file = openForWrite(s_, path, error);
    if (!file) return error;
    return std::make_unique<MemoryTextWriter>(s_, file, s_.absolutePath(path));
}

Result<std::vector<std::string>> MemoryFileSystem::readTextLines(const std::string& path, size_t maxLines,
                                                                 size_t maxLineBytes) {
    if (s_.failCall("readTextLines", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (!r.node || r.node->kind != Kind::File || !s_.mayRead(r.node)) return unreadable(r);
    const Node& file = *r.node;
    std::vector<std::string> lines;
    if (file.hasSizeOnly) {
        // Stored without bytes: zeros, which hold no line end.
        if (file.sizeOnly > 0 && maxLines > 0)
            lines.push_back(platform::cp1252ToUtf8(
                std::string(static_cast<size_t>(std::min<uint64_t>(file.sizeOnly, maxLineBytes)), '\0')));
        return lines;
    }
    platform::LineSplitter splitter(maxLines, maxLineBytes);
    splitter.feed(file.data.data(), file.data.size());
    for (std::string& line : splitter.finish()) lines.push_back(platform::cp1252ToUtf8(line));
    return lines;
}

namespace detail {

char rootLetter(const std::string& root) {
    if (root.size() < 2 || root.size() > 3 || root[1] != ':') return 0;
    if (root.size() == 3 && root[2] != '\\' && root[2] != '/') return 0;
    char c = root[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return (c >= 'A' && c <= 'Z') ? c : 0;
}

}  // namespace detail

}  // namespace vx::memory
