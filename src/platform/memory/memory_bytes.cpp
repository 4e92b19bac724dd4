// Raw byte files, UTF-8 journals and volume facts of the memory machine.
//
// Handles keep the file they opened: a reader goes on reading a file deleted
// meanwhile (shared delete access, as Windows allows), but every handle fails
// once its drive has vanished, even if a drive of the same letter came back.
#include <algorithm>
#include <cstring>

#include "platform/memory/memory_impl.h"
#include "platform/memory/memory_file_checks.h"
#include "platform/text_lines.h"

namespace vx::memory {

using namespace detail;  // node kinds and failure messages
using detail::Kind;
using detail::Node;
using detail::Resolved;
using platform::Result;
using platform::Status;
namespace attr = platform::attr;

namespace {

// A reader opened sharing reading only counts as such on its file until it
// is destroyed.
class MemoryByteReader final : public platform::ByteReader {
public:
    MemoryByteReader(Machine::State& s, std::shared_ptr<Node> file, char drive, std::string path, bool exclusive)
        : s_(s),
          lifetime_(s.lifetime),
          file_(std::move(file)),
          drive_(s, drive),
          path_(std::move(path)),
          exclusive_(exclusive) {
        if (exclusive_) ++file_->exclusiveReaders;
    }
    ~MemoryByteReader() override {
        if (exclusive_) --file_->exclusiveReaders;
    }

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall("readBytes", path_)) return failure(kAccessDenied);
        if (!drive_.get(s_)) return failure(kNotReady);
        return file_->readAt(offset_, buffer, capacity);
    }

    Status seek(uint64_t offset) override {
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall("seekBytes", path_)) return failure(kAccessDenied);
        if (!drive_.get(s_)) return failure(kNotReady);
        offset_ = offset;
        return {};
    }

private:
    Machine::State& s_;
    std::weak_ptr<int> lifetime_;
    std::shared_ptr<Node> file_;
    DriveWatch drive_;
    std::string path_;
    bool exclusive_;
    uint64_t offset_ = 0;
};

// Shared by the byte writer and the journal: a file held open for writing,
// whose writes consume the drive's free space.
class OpenForWrite {
public:
    OpenForWrite(Machine::State& s, Node* file, char drive, std::string path)
        : s_(s), lifetime_(s.lifetime), file_(file->weak_from_this()), drive_(s, drive), path_(std::move(path)) {
        ++file->writers;
    }

    // Appends `bytes`; `operation` names the call for fault injection.
    Status append(std::string_view operation, const char* data, size_t size) {
        if (lifetime_.expired()) return failure(kNotReady);
        if (s_.failCall(operation, path_)) return failure(kAccessDenied);
        std::shared_ptr<Node> file = file_.lock();
        detail::Drive* d = drive_.get(s_);
        if (!file || !d) return failure(kNotReady);
        if (!consumeSpace(*d, size)) return failure(kDiskFull);
        file->data.append(data, size);
        return {};
    }

    void release() {
        if (released_) return;
        released_ = true;
        if (lifetime_.expired()) return;
        if (std::shared_ptr<Node> file = file_.lock()) --file->writers;
    }

    bool closeFails(std::string_view operation) { return !lifetime_.expired() && s_.failCall(operation, path_); }

private:
    Machine::State& s_;
    std::weak_ptr<int> lifetime_;
    std::weak_ptr<Node> file_;
    DriveWatch drive_;
    std::string path_;
    bool released_ = false;
};

class MemoryByteWriter final : public platform::ByteWriter {
public:
    MemoryByteWriter(Machine::State& s, Node* file, char drive, std::string path) : file_(s, file, drive, std::move(path)) {}
    ~MemoryByteWriter() override { file_.release(); }

    Status write(const uint8_t* data, size_t size) override {
        if (closed_) return failure(kInvalidHandle);
        return file_.append("writeBytes", reinterpret_cast<const char*>(data), size);
    }

    Status flush() override {
        if (closed_) return failure(kInvalidHandle);
        return file_.closeFails("flushBytes") ? failure(kAccessDenied) : Status{};
    }

    Status close() override {
        if (closed_) return failure(kInvalidHandle);
        closed_ = true;
        file_.release();
        return file_.closeFails("closeBytes") ? failure(kAccessDenied) : Status{};
    }

private:
    OpenForWrite file_;
    bool closed_ = false;
};

// After a failed line the journal takes no more: a later line must never be
// glued to the torn end of the failed one.
class MemoryJournalWriter final : public platform::TextWriter {
public:
    MemoryJournalWriter(Machine::State& s, Node* file, char drive, std::string path) : file_(s, file, drive, std::move(path)) {}
    ~MemoryJournalWriter() override { close().ignore(); }

    Status writeLine(const std::string& line) override {
        if (closed_) return status_.ok() ? failure(kInvalidHandle) : status_;
        if (!status_.ok()) return status_;
        std::string bytes = line + "\r\n";
        return status_ = file_.append("writeLine", bytes.data(), bytes.size());
    }

    Status close() override {
        if (closed_) return status_;
        closed_ = true;
        file_.release();
        if (file_.closeFails("closeTextFile") && status_.ok()) status_ = failure(kAccessDenied);
        return status_;
    }

private:
    OpenForWrite file_;
    Status status_;
    bool closed_ = false;
};

Node* attachNewFile(Machine::State& s, const Resolved& r) {
    auto n = std::make_shared<Node>();
    n->kind = Kind::File;
    n->name = r.name;
    n->bits = attr::Archive;
    return s.attach(r.parent, std::move(n));
}

}  // namespace

namespace detail {

std::unique_ptr<platform::ByteReader> makeByteReader(Machine::State& s, Node& file, char drive, std::string path,
                                                     bool exclusive) {
    return std::make_unique<MemoryByteReader>(s, file.shared_from_this(), drive, std::move(path), exclusive);
}

}  // namespace detail

Result<std::unique_ptr<platform::ByteReader>> MemoryFileSystem::openBytes(const std::string& path) {
    if (s_.failCall("openBytes", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (!r.node || r.node->kind != Kind::File || !s_.mayRead(r.node)) return unreadable(r);
    return makeByteReader(s_, *r.node, r.drive, s_.absolutePath(path), false);
}

Result<std::unique_ptr<platform::ByteWriter>> MemoryFileSystem::createBytes(const std::string& path) {
    if (s_.failCall("createBytes", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (r.node) {
        // Whatever stands there (file, folder or link) is left alone.
        return failure(kFileExists);
    }
    if (Status error; !checkNewFile(r, error)) return error;
    if (!s_.mayCreateIn(r.parent)) return failure(kAccessDenied);
    Node* file = attachNewFile(s_, r);
    return std::make_unique<MemoryByteWriter>(s_, file, r.drive, s_.absolutePath(path));
}

Result<std::unique_ptr<platform::TextWriter>> MemoryFileSystem::appendUtf8TextFile(const std::string& path) {
    if (s_.failCall("appendUtf8TextFile", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    Node* file = r.node;
    if (file) {
        if (file->kind != Kind::File || (file->bits & attr::ReadOnly) || !s_.mayChange(file)) return failure(kAccessDenied);
        if (file->inUse()) return failure(kInUse);
        if (file->hasSizeOnly) {
            // Appending needs the bytes: the zeros become real ones.
            file->data.assign(static_cast<size_t>(file->sizeOnly), '\0');
            file->hasSizeOnly = false;
            file->sizeOnly = 0;
        }
        // A line torn by a crash is ended first, so that it never swallows
        // the next one.
        if (!file->data.empty() && file->data.back() != '\n' && file->data.back() != '\r') {
            detail::Drive* d = s_.drive(r.drive);
            if (!d || !consumeSpace(*d, 2)) return failure(d ? kDiskFull : kNotReady);
            file->data += "\r\n";
        }
    } else {
        if (Status error; !checkNewFile(r, error)) return error;
        if (!s_.mayCreateIn(r.parent)) return failure(kAccessDenied);
        file = attachNewFile(s_, r);
    }
    return std::make_unique<MemoryJournalWriter>(s_, file, r.drive, s_.absolutePath(path));
}

Result<std::vector<std::string>> MemoryFileSystem::readUtf8TextLines(const std::string& path, size_t maxLines,
                                                                     size_t maxLineBytes) {
    if (s_.failCall("readUtf8TextLines", path)) return failure(kAccessDenied);
    Resolved r = s_.resolve(path, false);
    if (!r.node || r.node->kind != Kind::File || !s_.mayRead(r.node)) return unreadable(r);
    const Node& file = *r.node;
    if (file.hasSizeOnly) {
        // Zeros, which hold no line end.
        std::vector<std::string> lines;
        if (file.sizeOnly > 0 && maxLines > 0)
            lines.emplace_back(static_cast<size_t>(std::min<uint64_t>(file.sizeOnly, maxLineBytes)), '\0');
        return lines;
    }
    std::string_view bytes = file.data;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    platform::LineSplitter splitter(maxLines, maxLineBytes);
    splitter.feed(bytes.data(), bytes.size());
    return splitter.finish();
}

Result<uint32_t> MemoryFileSystem::volumeSerial(const std::string& root) {
    if (s_.failCall("volumeSerial", root)) return failure(kNotReady);
    char letter = rootLetter(root);
    if (!letter) return failure(kBadName);
    detail::Drive* d = s_.drive(letter);
    if (!d) return failure(kPathNotFound);
    return d->serial;
}

Result<uint64_t> MemoryFileSystem::freeBytes(const std::string& path) {
    if (s_.failCall("freeBytes", path)) return failure(kNotReady);
    Resolved r = s_.resolve(path, true);
    if (!r.node) return notFound(r);
    if (r.node->kind == Kind::File) return failure(kNotADirectory);
    detail::Drive* d = s_.drive(r.drive);
    if (!d) return failure(kPathNotFound);
    return d->freeBytes;
}

}  // namespace vx::memory
