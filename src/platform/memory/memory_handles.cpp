// Handles opened without following a final junction (held files, folder
// handles and the files they make), file identities, folder access and
// trust, administrator rights and random bytes of the memory machine.
//
// A handle keeps the node it opened, wherever that node goes, and counts on
// it for as long as it is open (held, exclusive reader, writer, folder
// handle), which is what the other calls' sharing rules look at. Every call
// asks the fault check first and only then looks at the tree, so that a
// fault hook may change the tree in the middle of a keep or a restore.
#include <algorithm>
#include <cstring>

#include "platform/memory/memory_file_checks.h"
#include "platform/memory/memory_impl.h"

namespace vx::memory {

using namespace detail;  // node kinds and failure messages
using detail::Kind;
using detail::Node;
using detail::Resolved;
using platform::Fault;
using platform::Result;
using platform::Status;
namespace attr = platform::attr;

// ---------------------------------------------------------------------------
// Access rules
// ---------------------------------------------------------------------------

bool Machine::State::mayChange(const Node* entry) const {
    if (administrator) return true;
    return entry->access == FolderAccess::Everyone &&
           (!entry->parent || entry->parent->access == FolderAccess::Everyone);
}

bool Machine::State::mayCreateIn(const Node* folder) const {
    return administrator || folder->access == FolderAccess::Everyone;
}

bool Machine::State::mayRead(const Node* entry) const {
    return mayReadAttributes(entry) && (administrator || entry->access != FolderAccess::AdminsOnly);
}

bool Machine::State::mayReadAttributes(const Node* entry) const {
    // An entry's attributes are readable to whoever may list its folder.
    return administrator || !entry->parent || entry->parent->access != FolderAccess::AdminsOnly;
}

namespace {

// A name relative to a folder handle: one component that could name an entry.
bool isComponent(const std::string& name) { return isValidName(name) && name != "." && name != ".."; }

// A junction met where it is never followed.
Status linkRefused() { return failure(Fault::Link, kStoppedOnLink); }
// A folder met where a file was asked for: the system refuses the access.
Status isAFolder() { return failure(Fault::IsFolder, kAccessDenied); }

std::string childPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

// ---------------------------------------------------------------------------
// Held file
// ---------------------------------------------------------------------------

class MemoryHeldFile final : public platform::HeldFile {
public:
    MemoryHeldFile(Machine::State& s, Node& file, char drive, std::string path)
        : s_(s), lifetime_(s.lifetime), file_(file.shared_from_this()), drive_(s, drive), path_(std::move(path)) {
        ++file_->held;
    }

    ~MemoryHeldFile() override {
        --file_->held;
        // The delete disposition takes effect when the handle closes.
        if (!marked_ || lifetime_.expired() || !drive_.get(s_) || !file_->parent) return;
        s_.detach(file_.get());
    }

    uint64_t size() override { return alive() ? file_->size() : 0; }
    uint32_t attributes() override { return alive() ? file_->attributes() : attr::Invalid; }

    Result<platform::FileIdentity> identity() override {
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall("identity", path_)) return failure(kAccessDenied);
        detail::Drive* d = drive_.get(s_);
        if (!d) return failure(kNotReady);
        return platform::FileIdentity{d->serial, file_->fileIndex};
    }

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        if (lifetime_.expired() || !drive_.get(s_)) return failure(kNotReady);
        if (s_.failCall("heldRead", path_)) return failure(kAccessDenied);
        return file_->readAt(offset_, buffer, capacity);
    }

    Status markForDeletion() override {
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall("markForDeletion", path_)) return failure(kAccessDenied);
        if (!drive_.get(s_)) return failure(kNotReady);
        if (!file_->parent || (file_->bits & attr::ReadOnly) || file_->images > 0) return failure(kAccessDenied);
        marked_ = true;
        return {};
    }

private:
    bool alive() const { return !lifetime_.expired() && drive_.get(s_); }

    Machine::State& s_;
    std::weak_ptr<int> lifetime_;
    std::shared_ptr<Node> file_;
    DriveWatch drive_;
    std::string path_;
    uint64_t offset_ = 0;
    bool marked_ = false;
};

// ---------------------------------------------------------------------------
// New file made through a folder handle
// ---------------------------------------------------------------------------

class MemoryNewFile final : public platform::NewFile {
public:
    MemoryNewFile(Machine::State& s, Node& file, char drive, std::string path)
        : s_(s), lifetime_(s.lifetime), file_(file.shared_from_this()), drive_(s, drive), path_(std::move(path)) {
        ++file_->writers;
    }

    ~MemoryNewFile() override {
        if (!discarded_) --file_->writers;
    }

    Status write(const uint8_t* data, size_t size) override {
        if (discarded_) return failure(kInvalidHandle);
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall("newFileWrite", path_)) return failure(kAccessDenied);
        detail::Drive* d = drive_.get(s_);
        if (!d) return failure(kNotReady);
        std::string& bytes = file_->data;
        const uint64_t end = position_ + size;
        if (end > bytes.size() && !consumeSpace(*d, end - bytes.size())) return failure(kDiskFull);
        if (end > bytes.size()) bytes.resize(static_cast<size_t>(end), '\0');
        if (size > 0) std::memcpy(bytes.data() + position_, data, size);
        position_ = end;
        return {};
    }

    Status flush() override {
        if (discarded_) return failure(kInvalidHandle);
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall("newFileFlush", path_)) return failure(kAccessDenied);
        return drive_.get(s_) ? Status{} : failure(kNotReady);
    }

    Status seek(uint64_t offset) override {
        if (Status s = usability("seekBytes"); !s) return s;
        position_ = offset;
        return {};
    }

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        if (Status s = usability("newFileRead"); !s) return s;
        const std::string& bytes = file_->data;
        if (position_ >= bytes.size()) return size_t{0};
        const size_t n = static_cast<size_t>(std::min<uint64_t>(capacity, bytes.size() - position_));
        std::memcpy(buffer, bytes.data() + position_, n);
        position_ += n;
        return n;
    }

    Status setAttributes(uint32_t attributes) override {
        if (Status s = usability("newFileSetAttributes"); !s) return s;
        file_->bits = attributes & kSettableAttributes;
        return {};
    }

    Status discard() override {
        // The copy goes whatever attributes it was given: the handle that
        // made it deletes it.
        if (Status s = usability("discard"); !s) return s;
        if (file_->parent) s_.detach(file_.get());
        --file_->writers;
        discarded_ = true;
        return {};
    }

private:
    // Open, on its drive, and not failed by the fault check for `operation`.
    bool usable(std::string_view operation) { return usability(operation).ok(); }
    // The same, with why not.
    Status usability(std::string_view operation) {
        if (discarded_) return failure(kInvalidHandle);
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall(operation, path_)) return failure(kAccessDenied);
        return drive_.get(s_) ? Status{} : failure(kNotReady);
    }

    Machine::State& s_;
    std::weak_ptr<int> lifetime_;
    std::shared_ptr<Node> file_;
    DriveWatch drive_;
    std::string path_;
    uint64_t position_ = 0;
    bool discarded_ = false;
};

// ---------------------------------------------------------------------------
// Folder handle
// ---------------------------------------------------------------------------

class MemoryFolderHandle final : public platform::FolderHandle {
public:
    MemoryFolderHandle(Machine::State& s, Node& folder, char drive, std::string path)
        : s_(s),
          lifetime_(s.lifetime),
          folder_(folder.shared_from_this()),
          drive_(s, drive),
          path_(std::move(path)) {
        ++folder_->folderHandles;
    }

    ~MemoryFolderHandle() override { --folder_->folderHandles; }

    uint32_t childAttributes(const std::string& name) override {
        Result<Node*> c = child("childAttributes", name);
        return c && s_.mayReadAttributes(*c) ? (*c)->attributes() : attr::Invalid;
    }

    Result<std::unique_ptr<platform::FolderHandle>> openFolder(const std::string& name) override {
        Result<Node*> c = child("openFolder", name);
        if (!c) return c.status();
        if ((*c)->kind == Kind::Link) return linkRefused();
        if ((*c)->kind == Kind::File) return failure(kNotADirectory);
        if (!s_.mayRead(*c)) return failure(kAccessDenied);
        return std::make_unique<MemoryFolderHandle>(s_, **c, drive_.letter(), childPath(path_, name));
    }

    Result<std::unique_ptr<platform::FolderHandle>> createFolder(const std::string& name) override {
        Result<Node*> c = place("createFolder", name, Kind::Folder);
        if (!c) return c.status();
        return std::make_unique<MemoryFolderHandle>(s_, **c, drive_.letter(), childPath(path_, name));
    }

    Result<std::unique_ptr<platform::NewFile>> createFile(const std::string& name) override {
        Result<Node*> c = place("createFile", name, Kind::File);
        if (!c) return c.status();
        return std::make_unique<MemoryNewFile>(s_, **c, drive_.letter(), childPath(path_, name));
    }

    Result<std::unique_ptr<platform::ByteReader>> openFile(const std::string& name) override {
        Result<Node*> c = child("openFile", name);
        if (!c) return c.status();
        if ((*c)->kind == Kind::Link) return linkRefused();
        if ((*c)->kind == Kind::Folder) return isAFolder();
        if (!s_.mayRead(*c)) return failure(kAccessDenied);
        if ((*c)->writers > 0 || (*c)->held > 0) return failure(kInUse);
        return makeByteReader(s_, **c, drive_.letter(), childPath(path_, name), true);
    }

    std::vector<platform::FindEntry> list() override {
        std::vector<platform::FindEntry> entries;
        if (!open("listFolder", path_) || !s_.mayRead(folder_.get())) return entries;
        for (const auto& [key, n] : folder_->children) {
            platform::FindEntry e;
            e.name = n->name;
            e.attributes = n->attributes();
            e.size = n->size();
            entries.push_back(std::move(e));
        }
        return entries;
    }

    Status deleteEntry(const std::string& name) override {
        Result<Node*> found = child("deleteEntry", name);
        if (!found) return found.status();
        Node* c = *found;
        if (!s_.mayChange(c)) return failure(kAccessDenied);
        if (c->kind == Kind::File) {
            if (c->bits & attr::ReadOnly) return failure(kAccessDenied);
            if (c->inUse()) return failure(kInUse);
        }
        if (c->kind == Kind::Folder) {
            if (!c->children.empty()) return failure(kDirNotEmpty);
            if ((c->bits & attr::ReadOnly) || c->folderHandles > 0 || s_.holdsCurrentDirectory(c))
                return failure(kAccessDenied);
        }
        // A junction goes itself; what it leads to is not touched.
        s_.detach(c);
        return {};
    }

    Status setAttributes(uint32_t attributes) override {
        if (!open("setFolderAttributes", path_)) return failure(kGeneralFailure);
        if (!s_.mayChange(folder_.get())) return failure(kAccessDenied);
        folder_->bits = attributes & kSettableAttributes;
        return {};
    }

    Result<platform::FileIdentity> identity() override {
        if (!open("identity", path_)) return failure(kGeneralFailure);
        return platform::FileIdentity{drive_.get(s_)->serial, folder_->fileIndex};
    }

private:
    // The machine and the drive are there and the fault check lets the call
    // `operation` on `path` go on.
    bool open(std::string_view operation, const std::string& path) {
        return !lifetime_.expired() && !s_.failCall(operation, path) && drive_.get(s_);
    }

    // The entry `name` of this folder, or why not.
    Result<Node*> child(std::string_view operation, const std::string& name) {
        if (!open(operation, childPath(path_, name))) return failure(kGeneralFailure);
        if (!isComponent(name)) return failure(kBadName);
        auto it = folder_->children.find(nameKey(name));
        if (it == folder_->children.end()) return failure(kFileNotFound);
        return it->second.get();
    }

    // A new entry `name` of `kind`, or why not.
    Result<Node*> place(std::string_view operation, const std::string& name, Kind kind) {
        if (!open(operation, childPath(path_, name))) return failure(kGeneralFailure);
        if (!isComponent(name)) return failure(kBadName);
        if (folder_->children.count(nameKey(name))) return failure(kAlreadyExists);
        if (!s_.mayCreateIn(folder_.get())) return failure(kAccessDenied);
        auto n = std::make_shared<Node>();
        n->kind = kind;
        n->name = name;
        if (kind == Kind::File) n->bits = attr::Archive;
        return s_.attach(folder_.get(), std::move(n));
    }

    Machine::State& s_;
    std::weak_ptr<int> lifetime_;
    std::shared_ptr<Node> folder_;
    DriveWatch drive_;
    std::string path_;
};

// The path a handle was opened with, absolute, as faults are offered it.
std::string handlePath(Machine::State& s, const std::string& path) { return s.absolutePath(path); }

Status whyMissing(const Resolved& r) {
    return r.error == Resolved::Error::BadPath ? failure(kBadName) : failure(kFileNotFound);
}

}  // namespace

// ---------------------------------------------------------------------------
// FileSystem
// ---------------------------------------------------------------------------

std::string MemoryFileSystem::fileSystemName(const std::string& root) {
    if (s_.failCall("fileSystemName", root)) return {};
    char letter = rootLetter(root);
    detail::Drive* d = letter ? s_.drive(letter) : nullptr;
    return d ? d->fileSystem : std::string();
}

Result<platform::FileIdentity> MemoryFileSystem::identity(const std::string& path) {
    if (s_.failCall("identity", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (!r.node) return notFound(r);
    if (!s_.mayReadAttributes(r.node)) return failure(kAccessDenied);
    detail::Drive* d = s_.drive(r.drive);
    if (!d) return failure(kPathNotFound);
    return platform::FileIdentity{d->serial, r.node->fileIndex};
}

Result<std::unique_ptr<platform::HeldFile>> MemoryFileSystem::holdFile(const std::string& path) {
    if (s_.failCall("holdFile", path)) return failure(kGeneralFailure);
    Resolved r = s_.resolve(path, false);
    Node* n = r.node;
    if (!n) return whyMissing(r);
    if (n->kind == Kind::Link) return linkRefused();
    if (n->kind == Kind::Folder) return isAFolder();
    if (!s_.mayRead(n) || !s_.mayChange(n)) return failure(kAccessDenied);
    if (n->locked || n->openAgainstSharing()) return failure(kInUse);
    return std::make_unique<MemoryHeldFile>(s_, *n, r.drive, handlePath(s_, path));
}

Result<std::unique_ptr<platform::FolderHandle>> MemoryFileSystem::openFolder(const std::string& path) {
    if (s_.failCall("openFolder", path)) return failure(kGeneralFailure);
    Resolved r = s_.resolve(path, false);
    Node* n = r.node;
    if (!n) return whyMissing(r);
    if (n->kind == Kind::Link) return linkRefused();
    if (n->kind == Kind::File) return failure(kNotADirectory);
    if (!s_.mayRead(n)) return failure(kAccessDenied);
    return std::make_unique<MemoryFolderHandle>(s_, *n, r.drive, handlePath(s_, path));
}

Result<std::unique_ptr<platform::ByteReader>> MemoryFileSystem::openBytesExclusive(const std::string& path) {
    if (s_.failCall("openBytesExclusive", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    Node* n = r.node;
    if (!n || n->kind != Kind::File || !s_.mayRead(n)) return unreadable(r);
    // Sharing reading only conflicts with a writer and with a holder's delete access.
    if (n->writers > 0 || n->held > 0) return failure(kInUse);
    return makeByteReader(s_, *n, r.drive, handlePath(s_, path), true);
}

platform::FolderTrust MemoryFileSystem::folderTrust(const std::string& path) {
    using platform::FolderTrust;
    if (s_.failCall("folderTrust", path)) return FolderTrust::Unreadable;
    Resolved r = s_.resolve(path, false);
    const Node* n = r.node;
    if (!n) return FolderTrust::Missing;
    if (n->kind == Kind::Link) return FolderTrust::Link;
    if (n->kind == Kind::File) return FolderTrust::NotAFolder;
    if (n->trustUnreadable) return FolderTrust::Unreadable;
    return n->access == FolderAccess::Everyone ? FolderTrust::Open : FolderTrust::AdminsOnly;
}

Status MemoryFileSystem::createProtectedDirectory(const std::string& path) {
    if (s_.failCall("createProtectedDirectory", path)) return failure(kAccessDenied);
    // Only a process with an enabled Administrators membership may make
    // Administrators the owner.
    if (!s_.administrator) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (r.node) return failure(kAlreadyExists);
    if (r.error == Resolved::Error::PathNotFound || r.error == Resolved::Error::NoDrive)
        return failure(kPathNotFound);
    if (r.error != Resolved::Error::FileNotFound) return whyMissing(r);
    if (!isValidName(r.name)) return failure(kBadName);
    auto n = std::make_shared<Node>();
    n->kind = Kind::Folder;
    n->name = r.name;
    s_.attach(r.parent, std::move(n))->access = FolderAccess::AdminsOnly;
    return {};
}

// ---------------------------------------------------------------------------
// Shell and crypto
// ---------------------------------------------------------------------------

bool MemoryShell::hasAdministratorRights() { return s_.administrator; }

Status MemoryCrypto::randomBytes(uint8_t* buffer, size_t size) {
    // A system without a generator: the provider cannot be had.
    if (s_.randomFails) return failure(kGeneralFailure);
    // splitmix64: every output of the stream is used once.
    for (size_t done = 0; done < size;) {
        uint64_t z = (s_.randomState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (int i = 0; i < 8 && done < size; ++i, ++done) buffer[done] = static_cast<uint8_t>(z >> (8 * i));
    }
    return {};
}

}  // namespace vx::memory
