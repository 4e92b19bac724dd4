// The system's messages for the failures the memory machine's files meet, as
// Windows words them.
#pragma once

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

}  // namespace vx::memory::detail
