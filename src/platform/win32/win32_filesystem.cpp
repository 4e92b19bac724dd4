// File system: find enumeration, attributes, file and folder operations,
// drives, and the ANSI text files the program writes and reads.
#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "platform/text_lines.h"
#include "platform/win32/win32_heartbeat.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_support.h"

namespace vx::win32 {

using platform::FindEntry;
using platform::Result;
using platform::Status;

namespace {

// ---------------------------------------------------------------------------
// ANSI code page text
// ---------------------------------------------------------------------------

// Largest slice handed to one conversion call (the calls count in int).
constexpr size_t kConvertSlice = 1 << 20;

// Appends `utf8` to `out` in the ANSI code page; characters the code page
// lacks become its default character ("?"), never a look-alike letter.
void appendAnsi(const std::string& utf8, std::string& out) {
    std::wstring w = widen(utf8);
    const UINT codePage = CP_ACP;
    // The "no best fit" flag is refused when the ANSI code page is UTF-8.
    const DWORD flags = ::GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    size_t pos = 0;
    while (pos < w.size()) {
        size_t len = std::min(kConvertSlice, w.size() - pos);
        // Never split a surrogate pair between two slices.
        if (pos + len < w.size() && len > 1 && w[pos + len - 1] >= 0xD800 && w[pos + len - 1] <= 0xDBFF) --len;
        int n = ::WideCharToMultiByte(codePage, flags, w.data() + pos, static_cast<int>(len), nullptr, 0, nullptr,
                                      nullptr);
        if (n > 0) {
            size_t at = out.size();
            out.resize(at + static_cast<size_t>(n));
            ::WideCharToMultiByte(codePage, flags, w.data() + pos, static_cast<int>(len), out.data() + at, n, nullptr,
                                  nullptr);
        }
        pos += len;
    }
}

// ANSI bytes of one line to UTF-8.
std::string fromAnsi(const std::string& bytes) {
    if (bytes.empty()) return {};
    std::wstring w;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t len = std::min(kConvertSlice, bytes.size() - pos);
        int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data() + pos, static_cast<int>(len), nullptr, 0);
        if (n > 0) {
            size_t at = w.size();
            w.resize(at + static_cast<size_t>(n));
            ::MultiByteToWideChar(CP_ACP, 0, bytes.data() + pos, static_cast<int>(len), w.data() + at, n);
        }
        pos += len;
    }
    return narrow(w);
}


// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

// Buffers converted lines and writes them in large blocks.
class AnsiTextWriter final : public platform::TextWriter {
public:
    explicit AnsiTextWriter(FileHandle file) : file_(std::move(file)) {}
    ~AnsiTextWriter() override { close().ignore(); }

    Status writeLine(const std::string& line) override {
        if (!file_) return status_.ok() ? failure(ERROR_INVALID_HANDLE) : status_;
        appendAnsi(line, buffer_);
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushSize) flush();
        return status_;
    }

    Status close() override {
        if (!file_) return status_;
        flush();
        if (!::CloseHandle(file_.release()) && status_.ok()) status_ = lastError();
        return status_;
    }

private:
    static constexpr size_t kFlushSize = 64 * 1024;

    void flush() {
        size_t done = 0;
        while (status_.ok() && done < buffer_.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(buffer_.size() - done, 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file_.get(), buffer_.data() + done, chunk, &written, nullptr)) {
                status_ = lastError();
            } else if (written == 0) {
                status_ = failure(ERROR_WRITE_FAULT);
            }
            done += written;
        }
        buffer_.clear();
    }

    FileHandle file_;
    std::string buffer_;
    Status status_;
};

FileHandle createNewFile(const std::string& path) {
    std::wstring p = systemPath(path);
    if (p.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return FileHandle();
    }
    return FileHandle(::CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// ---------------------------------------------------------------------------
// Finding
// ---------------------------------------------------------------------------

// A large-fetch search keeps a bigger directory buffer for as long as it is
// open. Walks of deep trees keep one search open per level, so only the first
// few open searches get the large buffer; deeper ones use the normal size.
std::atomic<int> largeFetchSearches{0};
constexpr int kMaxLargeFetchSearches = 32;

class Win32Finder final : public platform::Finder {
public:
    Win32Finder(FindHandle handle, const WIN32_FIND_DATAW& first, bool largeFetch)
        : handle_(std::move(handle)), data_(first), largeFetch_(largeFetch) {}
    ~Win32Finder() override { release(); }

    bool next(FindEntry& entry) override {
        if (!handle_) return false;
        heartbeat();
        if (!havePending_ && !::FindNextFileW(handle_.get(), &data_)) {
            release();  // as soon as the search ends
            return false;
        }
        havePending_ = false;
        entry.name = narrowZ(data_.cFileName);
        entry.attributes = data_.dwFileAttributes;
        entry.size = (static_cast<uint64_t>(data_.nFileSizeHigh) << 32) | data_.nFileSizeLow;
        return true;
    }

private:
    void release() {
        handle_.reset();
        if (largeFetch_) --largeFetchSearches;
        largeFetch_ = false;
    }

    FindHandle handle_;
    WIN32_FIND_DATAW data_;
    bool largeFetch_;
    bool havePending_ = true;
};

uint32_t attributesOf(const std::string& path) {
    std::wstring p = systemPath(path);
    if (p.empty()) return platform::attr::Invalid;
    return ::GetFileAttributesW(p.c_str());
}

}  // namespace

Result<std::unique_ptr<platform::Finder>> Win32FileSystem::find(const std::string& pattern) {
    std::wstring p = systemPath(pattern);
    if (p.empty()) return failure(ERROR_PATH_NOT_FOUND);
    WIN32_FIND_DATAW data;
    // Basic information (no short names) and large directory reads are
    // faster; systems before Windows 7 refuse both as an invalid parameter.
    const bool largeFetch = largeFetchSearches.load() < kMaxLargeFetchSearches;
    FindHandle h(::FindFirstFileExW(p.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                    largeFetch ? FIND_FIRST_EX_LARGE_FETCH : 0));
    if (!h && ::GetLastError() == ERROR_INVALID_PARAMETER)
        h.reset(::FindFirstFileExW(p.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0));
    if (!h) return lastError();
    if (largeFetch) ++largeFetchSearches;
    return std::make_unique<Win32Finder>(std::move(h), data, largeFetch);
}

uint32_t Win32FileSystem::getAttributes(const std::string& path) { return attributesOf(path); }

namespace {

// Runs `call` on the system form of `path`; a path that names nothing
// fails as a missing one.
template <typename Call>
Status onPath(const std::string& path, Call call) {
    std::wstring p = systemPath(path);
    if (p.empty()) return failure(ERROR_PATH_NOT_FOUND);
    return call(p.c_str()) ? Status() : lastError();
}

template <typename Call>
Status onPaths(const std::string& from, const std::string& to, Call call) {
    std::wstring f = systemPath(from), t = systemPath(to);
    if (f.empty() || t.empty()) return failure(ERROR_PATH_NOT_FOUND);
    return call(f.c_str(), t.c_str()) ? Status() : lastError();
}

}  // namespace

Status Win32FileSystem::setAttributes(const std::string& path, uint32_t attributes) {
    return onPath(path, [&](const wchar_t* p) {
        return ::SetFileAttributesW(p, attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes);
    });
}

Status Win32FileSystem::deleteFile(const std::string& path) {
    heartbeat();
    return onPath(path, [](const wchar_t* p) { return ::DeleteFileW(p); });
}

Status Win32FileSystem::createDirectory(const std::string& path) {
    return onPath(path, [](const wchar_t* p) { return ::CreateDirectoryW(p, nullptr); });
}

Status Win32FileSystem::removeDirectory(const std::string& path) {
    heartbeat();
    return onPath(path, [](const wchar_t* p) { return ::RemoveDirectoryW(p); });
}

Status Win32FileSystem::move(const std::string& from, const std::string& to) {
    return onPaths(from, to, [](const wchar_t* f, const wchar_t* t) { return ::MoveFileW(f, t); });
}

Status Win32FileSystem::copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    return onPaths(from, to,
                   [&](const wchar_t* f, const wchar_t* t) { return ::CopyFileW(f, t, failIfExists ? TRUE : FALSE); });
}

bool Win32FileSystem::fileExists(const std::string& path) {
    uint32_t a = attributesOf(path);
    return a != platform::attr::Invalid && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::directoryExists(const std::string& path) {
    uint32_t a = attributesOf(path);
    return a != platform::attr::Invalid && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint32_t Win32FileSystem::logicalDrives() { return ::GetLogicalDrives(); }

// The drive functions take the root exactly as written ("E:\"): they want the
// trailing separator and know nothing of prefixed paths on older systems.
platform::DriveType Win32FileSystem::driveType(const std::string& root) {
    if (root.empty()) return platform::DriveType::NoRootDir;
    UINT t = ::GetDriveTypeW(widen(root).c_str());
    return t <= DRIVE_RAMDISK ? static_cast<platform::DriveType>(t) : platform::DriveType::Unknown;
}

std::string Win32FileSystem::volumeLabel(const std::string& root) {
    if (root.empty()) return {};
    wchar_t label[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(widen(root).c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0))
        return {};
    return narrowZ(label);
}

std::string Win32FileSystem::temporaryPath() {
    std::vector<wchar_t> buf(MAX_PATH + 2);
    for (;;) {
        DWORD n = ::GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0) return {};
        if (n < buf.size()) {
            std::string path = narrow(buf.data(), n);
            if (path.back() != '\\') path += '\\';
            return path;
        }
        buf.resize(n + 1);
    }
}

Status Win32FileSystem::writeTextFile(const std::string& path, const std::vector<std::string>& lines) {
    FileHandle file = createNewFile(path);
    if (!file) return lastError();
    AnsiTextWriter writer(std::move(file));
    for (const std::string& line : lines)
        if (!writer.writeLine(line)) break;
    return writer.close();
}

Result<std::unique_ptr<platform::TextWriter>> Win32FileSystem::createTextFile(const std::string& path) {
    FileHandle file = createNewFile(path);
    if (!file) return lastError();
    return std::make_unique<AnsiTextWriter>(std::move(file));
}

Result<std::vector<std::string>> Win32FileSystem::readTextLines(const std::string& path, size_t maxLines,
                                                                size_t maxLineBytes) {
    std::wstring p = systemPath(path);
    if (p.empty()) return failure(ERROR_PATH_NOT_FOUND);
    FileHandle file(::CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return lastError();

    platform::LineSplitter splitter(maxLines, maxLineBytes);
    std::vector<char> chunk(64 * 1024);
    while (!splitter.full()) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
            return lastError();
        if (got == 0) break;
        splitter.feed(chunk.data(), got);
    }
    std::vector<std::string> lines;
    for (const std::string& line : splitter.finish()) lines.push_back(fromAnsi(line));
    return lines;
}

}  // namespace vx::win32
