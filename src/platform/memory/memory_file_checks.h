// The checks and the system's messages (as Windows words them) for the
// failures the memory machine's files meet, shared by its text and byte files.
#pragma once

#include "platform/memory/memory_state.h"
#include "platform/platform.h"

namespace vx::memory::detail {

// The Windows error codes the machine simulates.
inline constexpr uint32_t kFileNotFound = platform::syscode::FileNotFound;
inline constexpr uint32_t kPathNotFound = platform::syscode::PathNotFound;
inline constexpr uint32_t kAccessDenied = platform::syscode::AccessDenied;
inline constexpr uint32_t kInUse = platform::syscode::SharingViolation;
inline constexpr uint32_t kBadName = platform::syscode::BadName;
inline constexpr uint32_t kCannotResolve = platform::syscode::CannotResolve;
inline constexpr uint32_t kNotReady = platform::syscode::NotReady;
inline constexpr uint32_t kInvalidHandle = platform::syscode::InvalidHandle;
inline constexpr uint32_t kFileExists = platform::syscode::FileExists;
inline constexpr uint32_t kAlreadyExists = platform::syscode::AlreadyExists;
inline constexpr uint32_t kDiskFull = platform::syscode::DiskFull;
inline constexpr uint32_t kGeneralFailure = platform::syscode::GeneralFailure;
inline constexpr uint32_t kInvalidParameter = platform::syscode::InvalidParameter;
inline constexpr uint32_t kNotADirectory = platform::syscode::NotADirectory;
inline constexpr uint32_t kStoppedOnLink = platform::syscode::StoppedOnLink;
inline constexpr uint32_t kNotSameDevice = platform::syscode::NotSameDevice;
inline constexpr uint32_t kDirNotEmpty = platform::syscode::DirNotEmpty;
inline constexpr uint32_t kKeyDeleted = platform::syscode::KeyDeleted;

// The system's message for a simulated code, as Windows words it.
inline const char* messageOf(uint32_t code) {
    switch (code) {
        case kFileNotFound: return "The system cannot find the file specified";
        case kPathNotFound: return "The system cannot find the path specified";
        case kAccessDenied: return "Access is denied";
        case kInUse: return "The process cannot access the file because it is being used by another process";
        case kBadName: return "The filename, directory name, or volume label syntax is incorrect";
        case kCannotResolve: return "The name of the file cannot be resolved by the system";
        case kNotReady: return "The device is not ready";
        case kInvalidHandle: return "The handle is invalid";
        case kFileExists: return "The file exists";
        case kAlreadyExists: return "Cannot create a file when that file already exists";
        case kDiskFull: return "There is not enough space on the disk";
        case kInvalidParameter: return "The parameter is incorrect";
        case kNotADirectory: return "The directory name is invalid";
        case kStoppedOnLink: return "The create operation stopped after reaching a symbolic link";
        case kNotSameDevice: return "The system cannot move the file to a different disk drive";
        case kDirNotEmpty: return "The directory is not empty";
        case kKeyDeleted: return "Illegal operation attempted on a registry key that has been marked for deletion";
        default: return "A device attached to the system is not functioning";
    }
}

// What a simulated code means for the caller.
inline platform::Fault faultOf(uint32_t code) {
    using platform::Fault;
    switch (code) {
        case kFileNotFound:
        case kPathNotFound: return Fault::Missing;
        case kAccessDenied: return Fault::Denied;
        case kInUse: return Fault::InUse;
        case kFileExists:
        case kAlreadyExists: return Fault::Exists;
        case kNotADirectory: return Fault::NotAFolder;
        case kStoppedOnLink: return Fault::Link;
        default: return Fault::Failed;
    }
}

// The failure the system reports with `code`.
inline platform::Status failure(uint32_t code) { return platform::Status(faultOf(code), code, messageOf(code)); }
// The failure `fault`, reported with `code`.
inline platform::Status failure(platform::Fault fault, uint32_t code) {
    return platform::Status(fault, code, messageOf(code));
}

// Why the entry `r` resolved to cannot be reached: its name, its folder or
// its links.
inline platform::Status notFound(const Resolved& r) {
    switch (r.error) {
        case Resolved::Error::TooManyLinks: return failure(kCannotResolve);
        case Resolved::Error::BadPath: return failure(kBadName);
        case Resolved::Error::FileNotFound: return failure(kFileNotFound);
        default: return failure(kPathNotFound);
    }
}

// Why the file `r` resolved to cannot be opened for reading: nothing there,
// a folder (which a file open refuses: access denied), a link not
// followed, or no read access.
inline platform::Status unreadable(const Resolved& r) {
    if (!r.node) return notFound(r);
    if (r.node->kind == Kind::Folder) return failure(kAccessDenied);
    if (r.node->kind == Kind::Link) return failure(platform::Fault::Link, kStoppedOnLink);
    return failure(kAccessDenied);
}

// The drive a handle was opened on, while it is still in the machine.
class DriveWatch {
public:
    DriveWatch(Machine::State& s, char letter) : letter_(letter) {
        if (Drive* d = s.drive(letter)) root_ = d->root;
    }
    // Null once the drive has vanished (or was replaced by another).
    Drive* get(Machine::State& s) const {
        Drive* d = s.drive(letter_);
        std::shared_ptr<Node> root = root_.lock();
        return d && root && d->root == root ? d : nullptr;
    }
    char letter() const { return letter_; }

private:
    char letter_;
    std::weak_ptr<Node> root_;
};

// Takes `size` bytes of the drive's free space; false when they are not there.
inline bool consumeSpace(Drive& d, uint64_t size) {
    if (size > d.freeBytes) return false;
    d.freeBytes -= size;
    return true;
}

// A reader of `file` (see ByteReader) whose reads and seeks meet the faults
// "readBytes" and "seekBytes" with `path`; `exclusive`: it shares reading
// only, so that the file cannot be deleted, moved or written while it is open.
std::unique_ptr<platform::ByteReader> makeByteReader(Machine::State& s, Node& file, char drive, std::string path,
                                                     bool exclusive);

// Whether a new file may be made where `r` (a path resolved for it) leads;
// false with `error` filled when the name or its folder does not allow one.
inline bool checkNewFile(const Resolved& r, platform::Status& error) {
    if (r.error == Resolved::Error::TooManyLinks) {
        error = failure(kCannotResolve);
        return false;
    }
    if (r.error != Resolved::Error::FileNotFound) {
        error = failure(kPathNotFound);
        return false;
    }
    if (!isValidName(r.name) || r.trailingSeparator) {
        error = failure(kBadName);
        return false;
    }
    return true;
}

}  // namespace vx::memory::detail
