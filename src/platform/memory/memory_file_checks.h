// The checks and the system's messages (as Windows words them) for the
// failures the memory machine's files meet, shared by its text and byte files.
#pragma once

#include "platform/memory/memory_state.h"
#include "platform/platform.h"

namespace vx::memory::detail {

inline constexpr const char* kPathNotFound = "The system cannot find the path specified";
inline constexpr const char* kAccessDenied = "Access is denied";
inline constexpr const char* kInUse = "The process cannot access the file because it is being used by another process";
inline constexpr const char* kBadName = "The filename, directory name, or volume label syntax is incorrect";
inline constexpr const char* kCannotResolve = "The name of the file cannot be resolved by the system";
inline constexpr const char* kNotReady = "The device is not ready";
inline constexpr const char* kInvalidHandle = "The handle is invalid";
inline constexpr const char* kFileExists = "The file exists";
inline constexpr const char* kDiskFull = "There is not enough space on the disk";

inline platform::IoResult failure(const char* reason) { return platform::IoResult{false, reason}; }

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
inline bool checkNewFile(const Resolved& r, platform::IoResult& error) {
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
