// Pieces shared by the file sources of the Win32 platform: the few native
// (ntdll) file calls that open, delete and list entries relative to an open
// folder, and the byte reader handed out for any open file.
//
// The native structures are declared here rather than taken from
// <winternl.h>, whose content differs between the MinGW and the Microsoft
// headers. Every function is looked up at run time (they all exist on
// Windows XP).
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_support.h"

namespace vx::win32 {

namespace nt {

using Status = LONG;

inline constexpr Status kSuccess = 0;
inline constexpr Status kNoMoreFiles = static_cast<Status>(0x80000006);
inline constexpr Status kNoSuchFile = static_cast<Status>(0xC000000F);
inline constexpr Status kAccessDenied = static_cast<Status>(0xC0000022);
inline constexpr Status kObjectNameNotFound = static_cast<Status>(0xC0000034);
inline constexpr Status kObjectNameCollision = static_cast<Status>(0xC0000035);
inline constexpr Status kObjectPathNotFound = static_cast<Status>(0xC000003A);
inline constexpr Status kSharingViolation = static_cast<Status>(0xC0000043);
inline constexpr Status kDeletePending = static_cast<Status>(0xC0000056);
inline constexpr Status kFileIsADirectory = static_cast<Status>(0xC00000BA);
inline constexpr Status kNotADirectory = static_cast<Status>(0xC0000103);
inline constexpr Status kCannotDelete = static_cast<Status>(0xC0000121);

inline bool succeeded(Status s) { return s >= 0; }

// NtCreateFile dispositions and options.
inline constexpr ULONG kOpen = 1;
inline constexpr ULONG kCreate = 2;
inline constexpr ULONG kDirectoryFile = 0x00000001;
inline constexpr ULONG kSequentialOnly = 0x00000004;
inline constexpr ULONG kSynchronousIoNonAlert = 0x00000020;
inline constexpr ULONG kNonDirectoryFile = 0x00000040;
inline constexpr ULONG kOpenReparsePoint = 0x00200000;
inline constexpr ULONG kObjCaseInsensitive = 0x00000040;

// File information classes.
inline constexpr int kFileDirectoryInformation = 1;
inline constexpr int kFileBasicInformation = 4;
inline constexpr int kFileDispositionInformation = 13;
inline constexpr int kFileAttributeTagInformation = 35;

struct UnicodeString {
    USHORT Length;  // bytes, without a terminating zero
    USHORT MaximumLength;
    PWSTR Buffer;
};

struct ObjectAttributes {
    ULONG Length;
    HANDLE RootDirectory;
    UnicodeString* ObjectName;
    ULONG Attributes;
    PVOID SecurityDescriptor;
    PVOID SecurityQualityOfService;
};

struct IoStatusBlock {
    union {
        Status status;
        PVOID pointer;
    };
    ULONG_PTR Information;
};

struct FileBasicInformation {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    ULONG FileAttributes;
};

struct FileDispositionInformation {
    BOOLEAN DeleteFile;
};

struct FileAttributeTagInformation {
    ULONG FileAttributes;
    ULONG ReparseTag;
};

struct FileDirectoryInformation {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;  // bytes
    WCHAR FileName[1];
};

using ApcRoutine = void(NTAPI*)(PVOID, IoStatusBlock*, ULONG);

struct Api {
    Status(NTAPI* createFile)(HANDLE* handle, ACCESS_MASK access, ObjectAttributes* attributes, IoStatusBlock* io,
                              LARGE_INTEGER* allocationSize, ULONG fileAttributes, ULONG share, ULONG disposition,
                              ULONG options, PVOID eaBuffer, ULONG eaLength);
    Status(NTAPI* setInformationFile)(HANDLE handle, IoStatusBlock* io, PVOID information, ULONG length,
                                      int informationClass);
    Status(NTAPI* queryInformationFile)(HANDLE handle, IoStatusBlock* io, PVOID information, ULONG length,
                                        int informationClass);
    Status(NTAPI* queryDirectoryFile)(HANDLE handle, HANDLE event, ApcRoutine apc, PVOID apcContext,
                                      IoStatusBlock* io, PVOID information, ULONG length, int informationClass,
                                      BOOLEAN returnSingleEntry, UnicodeString* fileName, BOOLEAN restartScan);
};

// The native calls, looked up once; null when ntdll lacks any of them.
const Api* api();

// Opens or creates `name` (a whole native path such as "\??\C:\x" when
// `root` is null, or a name relative to the folder `root`). `out` receives
// the handle on success.
Status createFile(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG fileAttributes, ULONG share,
                  ULONG disposition, ULONG options, PVOID securityDescriptor, FileHandle& out);

// Sets (or clears) the delete disposition of an open handle.
Status setDeleteDisposition(HANDLE handle, bool deleteFile);

// Sets the attribute word through a handle, leaving the times alone; 0 (or
// only bits that cannot be set) is "normal".
Status setAttributes(HANDLE handle, uint32_t attributes);

// The attributes and reparse tag of an open handle.
Status attributeTag(HANDLE handle, FileAttributeTagInformation& out);

// The native form of a path: "\??\C:\..." or "\??\UNC\server\share\...".
// Empty when the path names nothing.
std::wstring ntPath(const std::string& path);

}  // namespace nt

// The outcome of one native call: success, or its failure with the Win32
// error code the native status stands for.
platform::Status statusOfNt(nt::Status status);

// Junctions, symbolic links and mount points: reparse points that stand for
// another name. Other reparse points (cloud placeholders, deduplicated files)
// are the entry itself.
inline bool isNameSurrogate(ULONG reparseTag) { return (reparseTag & 0x20000000u) != 0; }

// A reader of an open file, from its current position (the start for a file
// just opened). The handle must be synchronous.
std::unique_ptr<platform::ByteReader> makeByteReader(FileHandle file);

}  // namespace vx::win32
