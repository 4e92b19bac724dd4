// The Status of a failed Win32 call: its error code, what the code means for
// the caller, and the system's message for it.
#pragma once

#include <windows.h>

#include "platform/status.h"

namespace vx::win32 {

// What a Win32 error code (GetLastError, an LSTATUS) means for the caller.
platform::Fault faultOfError(DWORD error);

// The Status of the error `code`, its fault read from the code.
platform::Status failure(DWORD code);
// The Status of the error `code` with the fault the caller knows better.
platform::Status failure(platform::Fault fault, DWORD code);
// The Status of the calling thread's last error; call it right after the
// call that failed, before anything else can replace the code.
inline platform::Status lastError() { return failure(::GetLastError()); }
// Success for ERROR_SUCCESS, else the Status of `code` (registry calls
// answer their LSTATUS).
inline platform::Status statusOf(LONG code) {
    return code == ERROR_SUCCESS ? platform::Status() : failure(static_cast<DWORD>(code));
}

}  // namespace vx::win32
