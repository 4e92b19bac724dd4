// Handles opened without following links: files held to keep and delete
// them, folders whose entries are opened, created and deleted relative to the
// folder's own handle, and the identities of entries. Relative operations go
// through the native NtCreateFile with the folder's handle as the root, so a
// name is always looked up in the folder that was opened, whatever happened
// to the path that led to it.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_heartbeat.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_support.h"

namespace vx::win32 {

using platform::Fault;
using platform::FileIdentity;
using platform::Result;

// ---------------------------------------------------------------------------
// Native calls
// ---------------------------------------------------------------------------

namespace nt {

const Api* api() {
    static const Api table = [] {
        Api a{};
        a.createFile = systemFunction<decltype(a.createFile)>(L"ntdll.dll", "NtCreateFile");
        a.setInformationFile = systemFunction<decltype(a.setInformationFile)>(L"ntdll.dll", "NtSetInformationFile");
        a.queryInformationFile =
            systemFunction<decltype(a.queryInformationFile)>(L"ntdll.dll", "NtQueryInformationFile");
        a.queryDirectoryFile = systemFunction<decltype(a.queryDirectoryFile)>(L"ntdll.dll", "NtQueryDirectoryFile");
        return a;
    }();
    const bool complete =
        table.createFile && table.setInformationFile && table.queryInformationFile && table.queryDirectoryFile;
    return complete ? &table : nullptr;
}

// Stands for any failure of a call that never reached the system.
constexpr Status kUnavailable = static_cast<Status>(0xC0000001);

Status createFile(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG fileAttributes, ULONG share,
                  ULONG disposition, ULONG options, PVOID securityDescriptor, FileHandle& out) {
    out.reset();
    const Api* calls = api();
    if (!calls || name.size() > 32000) return kUnavailable;
    std::wstring buffer = name;
    UnicodeString objectName{static_cast<USHORT>(buffer.size() * sizeof(wchar_t)),
                             static_cast<USHORT>(buffer.size() * sizeof(wchar_t)), buffer.data()};
    // Names compare without regard to case, as the Win32 calls look them up.
    ObjectAttributes attributes{sizeof(ObjectAttributes), root, &objectName, kObjCaseInsensitive, securityDescriptor,
                                nullptr};
    IoStatusBlock io{};
    HANDLE handle = nullptr;
    Status s = calls->createFile(&handle, access, &attributes, &io, nullptr, fileAttributes, share, disposition,
                                 options, nullptr, 0);
    if (succeeded(s) && handle) out.reset(handle);
    return s;
}

Status setDeleteDisposition(HANDLE handle, bool deleteFile) {
    const Api* calls = api();
    if (!calls) return kUnavailable;
    FileDispositionInformation info{deleteFile ? BOOLEAN{1} : BOOLEAN{0}};
    IoStatusBlock io{};
    return calls->setInformationFile(handle, &io, &info, sizeof info, kFileDispositionInformation);
}

Status setAttributes(HANDLE handle, uint32_t attributes) {
    const Api* calls = api();
    if (!calls) return kUnavailable;
    // The bits SetFileAttributes may change; zero times leave the times as
    // they are, and a zero attribute word would leave the attributes too.
    constexpr uint32_t kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                   FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FileBasicInformation info{};
    info.FileAttributes = attributes & kSettable;
    if (info.FileAttributes == 0) info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    IoStatusBlock io{};
    return calls->setInformationFile(handle, &io, &info, sizeof info, kFileBasicInformation);
}

Status attributeTag(HANDLE handle, FileAttributeTagInformation& out) {
    const Api* calls = api();
    if (!calls) return kUnavailable;
    IoStatusBlock io{};
    return calls->queryInformationFile(handle, &io, &out, sizeof out, kFileAttributeTagInformation);
}

std::wstring ntPath(const std::string& path) {
    std::wstring p = systemPath(path);
    // systemPath gives "\\?\C:\..." or "\\?\UNC\..." for every plain path;
    // the native form differs only in its second character.
    if (p.size() < 4 || p.compare(0, 4, L"\\\\?\\") != 0) return {};
    p[1] = L'?';
    return p;
}

}  // namespace nt

namespace {

Fault faultOfNt(nt::Status status) {
    switch (status) {
        case nt::kObjectNameCollision: return Fault::Exists;
        case nt::kObjectNameNotFound:
        case nt::kObjectPathNotFound:
        case nt::kNoSuchFile: return Fault::Missing;
        case nt::kSharingViolation:
        case nt::kDeletePending: return Fault::InUse;
        case nt::kAccessDenied:
        case nt::kCannotDelete: return Fault::Denied;
        case nt::kNotADirectory: return Fault::NotAFolder;
        case nt::kFileIsADirectory: return Fault::IsFolder;
        default: return Fault::Failed;
    }
}

// The Win32 error code a native status stands for (RtlNtStatusToDosError).
DWORD errorOfNt(nt::Status status) {
    using ToDosError = ULONG(NTAPI*)(LONG);
    static const auto convert = systemFunction<ToDosError>(L"ntdll.dll", "RtlNtStatusToDosError");
    const DWORD code = convert ? static_cast<DWORD>(convert(status)) : 0;
    return code != 0 ? code : static_cast<DWORD>(ERROR_GEN_FAILURE);
}

}  // namespace

platform::Status statusOfNt(nt::Status status) {
    if (nt::succeeded(status)) return {};
    return failure(faultOfNt(status), errorOfNt(status));
}

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A folder handle lists, reaches and describes its entries and may change
// its own attributes. It shares no deletion: the folder cannot be renamed or
// removed while it is open. Where the attributes may not be changed, the
// folder still opens for the rest.
constexpr ACCESS_MASK kFolderReadAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kFolderAccess = kFolderReadAccess | FILE_WRITE_ATTRIBUTES;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Largest piece handed to one ReadFile or WriteFile (they count in DWORD).
constexpr size_t kMaxPiece = 1u << 30;

FileHandle openPath(const std::string& path, DWORD access, DWORD share, DWORD flags) {
    std::wstring p = systemPath(path);
    if (p.empty()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return FileHandle();
    }
    return FileHandle(::CreateFileW(p.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
}

Result<BY_HANDLE_FILE_INFORMATION> informationOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return lastError();
    return info;
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return FileIdentity{static_cast<uint32_t>(info.dwVolumeSerialNumber),
                        (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

Result<FileIdentity> identityOf(HANDLE handle) {
    auto info = informationOf(handle);
    if (!info) return info.status();
    return identityOf(*info);
}

// True for one plain component: no separator, no stream (":"), not "." or
// "..". Anything else could reach outside the folder.
bool isOneComponent(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

platform::Status linkRefused() { return failure(Fault::Link, platform::syscode::StoppedOnLink); }
platform::Status notAFolder() { return failure(Fault::NotAFolder, ERROR_DIRECTORY); }
platform::Status isAFolder() { return failure(Fault::IsFolder, ERROR_ACCESS_DENIED); }
platform::Status badName() { return failure(Fault::Failed, ERROR_INVALID_NAME); }

// The status of an open folder handle: success for a folder (a reparse point
// that stands for no other name included), Link for a name surrogate,
// NotAFolder for a file.
platform::Status folderStatus(HANDLE handle) {
    nt::FileAttributeTagInformation tag{};
    if (nt::succeeded(nt::attributeTag(handle, tag))) {
        if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && isNameSurrogate(tag.ReparseTag))
            return linkRefused();
        return (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? platform::Status() : notAFolder();
    }
    // A file system that cannot tell the tag: any reparse point is taken
    // for a link.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return lastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return linkRefused();
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? platform::Status() : notAFolder();
}

Result<size_t> readFrom(HANDLE file, uint8_t* buffer, size_t capacity) {
    heartbeat();
    DWORD got = 0;
    if (!::ReadFile(file, buffer, static_cast<DWORD>(std::min(capacity, kMaxPiece)), &got, nullptr))
        return lastError();
    return size_t{got};
}

// ---------------------------------------------------------------------------
// Held files
// ---------------------------------------------------------------------------

class Win32HeldFile final : public platform::HeldFile {
public:
    Win32HeldFile(FileHandle file, const BY_HANDLE_FILE_INFORMATION& info) : file_(std::move(file)), info_(info) {}

    uint64_t size() override { return (static_cast<uint64_t>(info_.nFileSizeHigh) << 32) | info_.nFileSizeLow; }
    uint32_t attributes() override { return info_.dwFileAttributes; }
    Result<FileIdentity> identity() override { return identityOf(info_); }

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        return readFrom(file_.get(), buffer, capacity);
    }

    platform::Status markForDeletion() override { return statusOfNt(nt::setDeleteDisposition(file_.get(), true)); }

private:
    FileHandle file_;
    BY_HANDLE_FILE_INFORMATION info_;
};

// ---------------------------------------------------------------------------
// New files
// ---------------------------------------------------------------------------

class Win32NewFile final : public platform::NewFile {
public:
    explicit Win32NewFile(FileHandle file) : file_(std::move(file)) {}

    platform::Status write(const uint8_t* data, size_t size) override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        size_t done = 0;
        while (done < size) {
            heartbeat();
            DWORD piece = static_cast<DWORD>(std::min(size - done, kMaxPiece));
            DWORD written = 0;
            if (!::WriteFile(file_.get(), data + done, piece, &written, nullptr)) return lastError();
            if (written == 0) return failure(ERROR_WRITE_FAULT);
            done += written;
        }
        return {};
    }

    platform::Status flush() override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        if (!::FlushFileBuffers(file_.get())) return lastError();
        return {};
    }

    platform::Status seek(uint64_t offset) override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        return ::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) ? platform::Status() : lastError();
    }

    Result<size_t> read(uint8_t* buffer, size_t capacity) override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        return readFrom(file_.get(), buffer, capacity);
    }

    platform::Status setAttributes(uint32_t attributes) override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        return statusOfNt(nt::setAttributes(file_.get(), attributes));
    }

    // A read-only copy refuses the delete disposition; its attributes are
    // cleared first, so a copy that did not verify never stays behind.
    platform::Status discard() override {
        if (!file_) return failure(ERROR_INVALID_HANDLE);
        nt::Status s = nt::setDeleteDisposition(file_.get(), true);
        if (s == nt::kCannotDelete && nt::succeeded(nt::setAttributes(file_.get(), 0)))
            s = nt::setDeleteDisposition(file_.get(), true);
        if (!nt::succeeded(s)) return statusOfNt(s);
        file_.reset();
        return {};
    }

private:
    FileHandle file_;
};

// ---------------------------------------------------------------------------
// Folder handles
// ---------------------------------------------------------------------------

// Opens the folder `name` relative to `root` (or the whole native path
// `name` with a null root), with the folder access, falling back to the
// access without attribute changes where that is refused.
Result<FileHandle> openFolderHandle(HANDLE root, const std::wstring& name) {
    FileHandle folder;
    const ULONG options = nt::kDirectoryFile | nt::kOpenReparsePoint | nt::kSynchronousIoNonAlert;
    nt::Status s = nt::createFile(root, name, kFolderAccess, 0, kFolderShare, nt::kOpen, options, nullptr, folder);
    if (s == nt::kAccessDenied)
        s = nt::createFile(root, name, kFolderReadAccess, 0, kFolderShare, nt::kOpen, options, nullptr, folder);
    if (!folder) return statusOfNt(nt::succeeded(s) ? nt::kUnavailable : s);
    if (platform::Status kind = folderStatus(folder.get()); !kind) return kind;
    return folder;
}

class Win32FolderHandle final : public platform::FolderHandle {
public:
    explicit Win32FolderHandle(FileHandle folder) : folder_(std::move(folder)) {}

    uint32_t childAttributes(const std::string& name) override {
        if (!isOneComponent(name)) return platform::attr::Invalid;
        FileHandle child;
        nt::Status s = nt::createFile(folder_.get(), widen(name), FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0, kShareAll,
                                      nt::kOpen, nt::kOpenReparsePoint | nt::kSynchronousIoNonAlert, nullptr, child);
        if (child) {
            nt::FileBasicInformation info{};
            nt::IoStatusBlock io{};
            if (nt::succeeded(nt::api()->queryInformationFile(child.get(), &io, &info, sizeof info,
                                                                nt::kFileBasicInformation)))
                return info.FileAttributes;
        }
        if (statusOfNt(s).fault() == Fault::Missing) return platform::attr::Invalid;
        // An entry that cannot be opened even for its attributes is looked
        // up in the listing.
        for (const platform::FindEntry& e : list())
            if (platform::equalNoCase(e.name, name)) return e.attributes;
        return platform::attr::Invalid;
    }

    Result<std::unique_ptr<FolderHandle>> openFolder(const std::string& name) override {
        if (!isOneComponent(name)) return badName();
        Result<FileHandle> folder = openFolderHandle(folder_.get(), widen(name));
        if (!folder) return folder.status();
        return std::make_unique<Win32FolderHandle>(std::move(folder).value());
    }

    Result<std::unique_ptr<FolderHandle>> createFolder(const std::string& name) override {
        Result<FileHandle> folder = createChild(name, kFolderAccess, kFolderShare, nt::kDirectoryFile);
        if (!folder) return folder.status();
        return std::make_unique<Win32FolderHandle>(std::move(folder).value());
    }

    Result<std::unique_ptr<platform::NewFile>> createFile(const std::string& name) override {
        Result<FileHandle> file = createChild(name, GENERIC_READ | GENERIC_WRITE | DELETE | SYNCHRONIZE,
                                              FILE_SHARE_READ, nt::kNonDirectoryFile);
        if (!file) return file.status();
        return std::make_unique<Win32NewFile>(std::move(file).value());
    }

    Result<std::unique_ptr<platform::ByteReader>> openFile(const std::string& name) override {
        if (!isOneComponent(name)) return badName();
        FileHandle file;
        nt::Status s = nt::createFile(
            folder_.get(), widen(name), GENERIC_READ | SYNCHRONIZE, 0, FILE_SHARE_READ, nt::kOpen,
            nt::kNonDirectoryFile | nt::kOpenReparsePoint | nt::kSynchronousIoNonAlert | nt::kSequentialOnly, nullptr,
            file);
        if (!file) {
            platform::Status status = statusOfNt(nt::succeeded(s) ? nt::kUnavailable : s);
            // A junction is a folder to the system; to the caller it is a link.
            if (status.fault() == Fault::IsFolder) {
                uint32_t a = childAttributes(name);
                if (a != platform::attr::Invalid && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return linkRefused();
            }
            return status;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(file.get(), &info)) return lastError();
        if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return linkRefused();
        return makeByteReader(std::move(file));
    }

    std::vector<platform::FindEntry> list() override {
        std::vector<platform::FindEntry> entries;
        const nt::Api* calls = nt::api();
        if (!calls) return entries;
        // Entries are aligned on 8 bytes within the buffer.
        std::vector<uint64_t> buffer(64 * 1024 / sizeof(uint64_t));
        const ULONG bytes = static_cast<ULONG>(buffer.size() * sizeof(uint64_t));
        bool restart = true;
        for (;;) {
            heartbeat();
            nt::IoStatusBlock io{};
            nt::Status s = calls->queryDirectoryFile(folder_.get(), nullptr, nullptr, nullptr, &io, buffer.data(),
                                                     bytes, nt::kFileDirectoryInformation, FALSE, nullptr,
                                                     restart ? TRUE : FALSE);
            restart = false;
            if (!nt::succeeded(s) || s == nt::kNoMoreFiles || io.Information == 0) break;
            const size_t filled = std::min<size_t>(io.Information, bytes);
            const auto* base = reinterpret_cast<const uint8_t*>(buffer.data());
            size_t at = 0;
            for (;;) {
                constexpr size_t kHeader = offsetof(nt::FileDirectoryInformation, FileName);
                if (at + kHeader > filled) break;
                const auto* e = reinterpret_cast<const nt::FileDirectoryInformation*>(base + at);
                if (at + kHeader + e->FileNameLength > filled) break;
                std::wstring name(e->FileName, e->FileNameLength / sizeof(wchar_t));
                if (name != L"." && name != L"..") {
                    platform::FindEntry entry;
                    entry.name = narrow(name);
                    entry.attributes = e->FileAttributes;
                    const bool folder = (e->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                    entry.size = folder ? 0 : static_cast<uint64_t>(e->EndOfFile.QuadPart);
                    entries.push_back(std::move(entry));
                }
                if (e->NextEntryOffset == 0) break;
                at += e->NextEntryOffset;
            }
        }
        return entries;
    }

    platform::Status deleteEntry(const std::string& name) override {
        heartbeat();
        if (!isOneComponent(name)) return badName();
        // Opened as itself (a link is not followed), shared with everyone:
        // the entry goes once the last handle to it closes.
        FileHandle entry;
        nt::Status s = nt::createFile(folder_.get(), widen(name), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0,
                                      kShareAll, nt::kOpen, nt::kOpenReparsePoint | nt::kSynchronousIoNonAlert,
                                      nullptr, entry);
        if (!entry) return statusOfNt(nt::succeeded(s) ? nt::kUnavailable : s);
        return statusOfNt(nt::setDeleteDisposition(entry.get(), true));
    }

    platform::Status setAttributes(uint32_t attributes) override {
        return statusOfNt(nt::setAttributes(folder_.get(), attributes));
    }

    Result<FileIdentity> identity() override { return identityOf(folder_.get()); }

private:
    // Creates the entry `name` (one component) relative to this folder,
    // never through a reparse point.
    Result<FileHandle> createChild(const std::string& name, ACCESS_MASK access, ULONG share, ULONG kindOption) {
        if (!isOneComponent(name)) return badName();
        FileHandle child;
        nt::Status s = nt::createFile(folder_.get(), widen(name), access, FILE_ATTRIBUTE_NORMAL, share, nt::kCreate,
                                      kindOption | nt::kOpenReparsePoint | nt::kSynchronousIoNonAlert, nullptr, child);
        if (!child) return statusOfNt(nt::succeeded(s) ? nt::kUnavailable : s);
        return child;
    }

    FileHandle folder_;
};

}  // namespace

// ---------------------------------------------------------------------------
// The file system's calls
// ---------------------------------------------------------------------------

// Like the other drive functions, the root is taken as written ("E:\").
std::string Win32FileSystem::fileSystemName(const std::string& root) {
    if (root.empty()) return {};
    wchar_t name[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(widen(root).c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1))
        return {};
    return narrowZ(name);
}

Result<FileIdentity> Win32FileSystem::identity(const std::string& path) {
    FileHandle entry = openPath(path, FILE_READ_ATTRIBUTES, kShareAll,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    if (!entry) return lastError();
    return identityOf(entry.get());
}

Result<std::unique_ptr<platform::HeldFile>> Win32FileSystem::holdFile(const std::string& path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open (access is
    // denied); the attributes then tell a folder from a refusal.
    FileHandle file = openPath(path, GENERIC_READ | DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) {
        platform::Status status = lastError();
        if (status.code() == ERROR_ACCESS_DENIED) {
            const uint32_t a = getAttributes(path);
            if (a != platform::attr::Invalid && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return linkRefused();
            if (a != platform::attr::Invalid && (a & FILE_ATTRIBUTE_DIRECTORY)) return isAFolder();
        }
        return status;
    }
    auto info = informationOf(file.get());
    if (!info) return lastError();
    if (info->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return linkRefused();
    if (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return isAFolder();
    return std::make_unique<Win32HeldFile>(std::move(file), *info);
}

Result<std::unique_ptr<platform::FolderHandle>> Win32FileSystem::openFolder(const std::string& path) {
    std::wstring native = nt::ntPath(path);
    // A final separator names the same folder ("E:\a\"); a drive root keeps
    // its own ("\??\E:\").
    while (native.size() > 4 && native.back() == L'\\' && native[native.size() - 2] != L':') native.pop_back();
    if (native.empty()) return failure(ERROR_PATH_NOT_FOUND);
    Result<FileHandle> folder = openFolderHandle(nullptr, native);
    if (!folder) return folder.status();
    return std::make_unique<Win32FolderHandle>(std::move(folder).value());
}

Result<std::unique_ptr<platform::ByteReader>> Win32FileSystem::openBytesExclusive(const std::string& path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open (access is
    // denied).
    FileHandle file =
        openPath(path, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) return lastError();
    auto info = informationOf(file.get());
    if (!info) return info.status();
    if (info->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return linkRefused();
    if (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return isAFolder();
    return makeByteReader(std::move(file));
}

}  // namespace vx::win32
