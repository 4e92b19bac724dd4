// Raw byte files, UTF-8 journals and volume facts on Win32.
#include <algorithm>
#include <vector>

#include "platform/text_lines.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_heartbeat.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_support.h"

namespace vx::win32 {

using platform::Result;
using platform::Status;

namespace {


// Largest piece handed to one ReadFile or WriteFile (they count in DWORD).
constexpr size_t kMaxPiece = 1u << 30;

// Writes all of `data`; the system's error when a piece fails or stalls.
Status writeAll(HANDLE file, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        DWORD piece = static_cast<DWORD>(std::min(size - done, kMaxPiece));
        DWORD written = 0;
        if (!::WriteFile(file, data + done, piece, &written, nullptr)) return lastError();
        if (written == 0) return failure(ERROR_WRITE_FAULT);
        done += written;
    }
    return {};
}

class Win32ByteReader final : public platform::ByteReader {
public:
    explicit Win32ByteReader(FileHandle file) : file_(std::move(file)) {}

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        heartbeat();
        DWORD got = 0;
        if (!::ReadFile(file_.get(), buffer, static_cast<DWORD>(std::min(capacity, kMaxPiece)), &got, nullptr))
            return lastError();
        return size_t{got};
    }

    Status seek(uint64_t offset) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        return ::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) ? Status() : lastError();
    }

private:
    FileHandle file_;
};

class Win32ByteWriter final : public platform::ByteWriter {
public:
    explicit Win32ByteWriter(FileHandle file) : file_(std::move(file)) {}

    Status write(const uint8_t* data, size_t size) override {
        heartbeat();
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        return writeAll(file_.get(), reinterpret_cast<const char*>(data), size);
    }

    Status flush() override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        if (!::FlushFileBuffers(file_.get())) return lastError();
        return {};
    }

    Status close() override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        Status result;
        if (!::FlushFileBuffers(file_.get())) result = lastError();
        if (!::CloseHandle(file_.release()) && result.ok()) result = lastError();
        return result;
    }

private:
    FileHandle file_;
};

// Every line reaches the disk before writeLine returns. After a failed line
// the journal takes no more: a later line must never be glued to the torn
// end of the failed one. `lineEndFirst` is set when the file's last line has
// no line end (torn by a crash): the first write ends it first.
class Utf8JournalWriter final : public platform::TextWriter {
public:
    Utf8JournalWriter(FileHandle file, bool lineEndFirst) : file_(std::move(file)), lineEndFirst_(lineEndFirst) {}
    ~Utf8JournalWriter() override { close().ignore(); }

    Status writeLine(const std::string& line) override { return writeLines({line}); }

    // One write and one flush for all the lines.
    Status writeLines(const std::vector<std::string>& lines) override {
        if (!file_) return status_.ok() ? failure(ERROR_INVALID_HANDLE) : status_;
        if (!status_.ok() || lines.empty()) return status_;
        std::string bytes = lineEndFirst_ ? "\r\n" : "";
        for (const std::string& line : lines) {
            bytes += line;
            bytes += "\r\n";
        }
        status_ = writeAll(file_.get(), bytes.data(), bytes.size());
        if (status_.ok() && !::FlushFileBuffers(file_.get())) status_ = lastError();
        if (status_.ok()) lineEndFirst_ = false;
        return status_;
    }

    Status close() override {
        if (!file_) return status_;
        if (!::CloseHandle(file_.release()) && status_.ok()) status_ = lastError();
        return status_;
    }

private:
    FileHandle file_;
    bool lineEndFirst_;
    Status status_;
};

// True when the file holds bytes and the last one is neither LF nor CR. The
// file pointer is left at the end.
bool endsWithoutLineEnd(HANDLE file) {
    LARGE_INTEGER size{};
    bool torn = false;
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        LARGE_INTEGER last;
        last.QuadPart = size.QuadPart - 1;
        char byte = 0;
        DWORD got = 0;
        torn = ::SetFilePointerEx(file, last, nullptr, FILE_BEGIN) && ::ReadFile(file, &byte, 1, &got, nullptr) &&
               got == 1 && byte != '\n' && byte != '\r';
    }
    LARGE_INTEGER zero{};
    ::SetFilePointerEx(file, zero, nullptr, FILE_END);
    return torn;
}

FileHandle openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    std::wstring p = systemPath(path);
    if (p.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return FileHandle();
    }
    return FileHandle(::CreateFileW(p.c_str(), access, share, nullptr, disposition, flags, nullptr));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::unique_ptr<platform::ByteReader> makeByteReader(FileHandle file) {
    return std::make_unique<Win32ByteReader>(std::move(file));
}

Result<std::unique_ptr<platform::ByteReader>> Win32FileSystem::openBytes(const std::string& path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open.
    FileHandle file = openFile(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) return lastError();
    return std::make_unique<Win32ByteReader>(std::move(file));
}

Result<std::unique_ptr<platform::ByteWriter>> Win32FileSystem::createBytes(const std::string& path) {
    // CREATE_NEW fails on any entry of that name, a link included, so nothing
    // is ever replaced or written through.
    FileHandle file = openFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (!file) return lastError();
    return std::make_unique<Win32ByteWriter>(std::move(file));
}

Result<std::unique_ptr<platform::TextWriter>> Win32FileSystem::appendUtf8TextFile(const std::string& path) {
    // Reading is asked for only to look at the last byte; without write-data
    // access every write still goes to the end. A file that may be appended
    // to but not read is taken as it is.
    FileHandle file = openFile(path, FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_APPEND_DATA | SYNCHRONIZE,
                               FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (!file && ::GetLastError() == ERROR_ACCESS_DENIED)
        file = openFile(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (!file) return lastError();
    // Append-only access writes at the end already; the explicit move (made
    // by endsWithoutLineEnd) keeps that true on systems that take the file
    // pointer regardless.
    const bool torn = endsWithoutLineEnd(file.get());
    return std::make_unique<Utf8JournalWriter>(std::move(file), torn);
}

Result<std::vector<std::string>> Win32FileSystem::readUtf8TextLines(const std::string& path, size_t maxLines,
                                                                    size_t maxLineBytes) {
    FileHandle file = openFile(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) return lastError();

    platform::LineSplitter splitter(maxLines, maxLineBytes);
    std::vector<char> chunk(64 * 1024);
    bool first = true;
    while (!splitter.full()) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
            return lastError();
        if (got == 0) break;
        size_t skip = 0;
        // The chunk is far larger than a byte-order mark, so the first read
        // holds all of one when the file is that long.
        if (first && got >= 3 && chunk[0] == '\xEF' && chunk[1] == '\xBB' && chunk[2] == '\xBF') skip = 3;
        first = false;
        splitter.feed(chunk.data() + skip, got - skip);
    }
    return splitter.finish();
}

// Like the other drive functions, the root is taken as written ("E:\").
Result<uint32_t> Win32FileSystem::volumeSerial(const std::string& root) {
    if (root.empty()) return failure(ERROR_INVALID_NAME);
    DWORD serial = 0;
    if (!::GetVolumeInformationW(widen(root).c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
        return lastError();
    return static_cast<uint32_t>(serial);
}

Result<uint64_t> Win32FileSystem::freeBytes(const std::string& path) {
    if (path.empty()) return failure(ERROR_INVALID_NAME);
    ULARGE_INTEGER available{};
    std::wstring p = systemPath(path);
    if (!p.empty() && p.back() != L'\\') p += L'\\';
    if (!p.empty() && ::GetDiskFreeSpaceExW(p.c_str(), &available, nullptr, nullptr)) return available.QuadPart;
    // Systems that refuse the prefixed form get the path as written.
    std::wstring plain = widen(path);
    if (plain.back() != L'\\') plain += L'\\';
    if (::GetDiskFreeSpaceExW(plain.c_str(), &available, nullptr, nullptr)) return available.QuadPart;
    return lastError();
}

}  // namespace vx::win32
