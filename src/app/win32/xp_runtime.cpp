// The threads runtime that the POSIX-thread MinGW compilers link statically
// (winpthreads) was built for Windows Vista and later: it imports
// GetTickCount64, which Windows XP and Server 2003 do not export, and Windows
// refuses to start a program with an import it cannot resolve. This file
// defines the import slot the runtime reads the function from. Linked into
// the program itself, the slot is met before kernel32's import library, so
// the program imports no GetTickCount64; the slot leads to a function that
// calls the system's GetTickCount64 where there is one and counts on from
// GetTickCount where there is not.
#include <windows.h>

#include <cstdint>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI tickCount64() {
    static const TickCount64Fn system = [] {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        FARPROC p = kernel ? ::GetProcAddress(kernel, "GetTickCount64") : nullptr;
        return p ? reinterpret_cast<TickCount64Fn>(reinterpret_cast<void (*)()>(p)) : nullptr;
    }();
    if (system) return system();
    // GetTickCount wraps every 49.7 days: the last reading and the number of
    // wraps seen are kept in one 64-bit word, updated atomically, so that the
    // count never goes back whichever thread reads it.
    static volatile int64_t state = 0;  // high 32 bits: wraps; low 32 bits: last reading
    for (;;) {
        const int64_t old = __atomic_load_n(&state, __ATOMIC_ACQUIRE);
        const uint32_t last = static_cast<uint32_t>(old);
        uint32_t wraps = static_cast<uint32_t>(static_cast<uint64_t>(old) >> 32);
        const uint32_t now = ::GetTickCount();
        if (now < last) ++wraps;
        const int64_t next = static_cast<int64_t>((static_cast<uint64_t>(wraps) << 32) | now);
        int64_t expected = old;
        if (next == old ||
            __atomic_compare_exchange_n(&state, &expected, next, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
            return (static_cast<ULONGLONG>(wraps) << 32) | now;
    }
}

}  // namespace

#if defined(__x86_64__)
#define VX_TICK_COUNT_64_SLOT "__imp_GetTickCount64"
#else
#define VX_TICK_COUNT_64_SLOT "__imp__GetTickCount64@0"
#endif

extern "C" {
// The import slot the runtime calls through.
__attribute__((used)) TickCount64Fn vxTickCount64Slot __asm__(VX_TICK_COUNT_64_SLOT) = tickCount64;
}
