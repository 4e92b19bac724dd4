// Helpers shared by the Win32 platform classes: handle ownership, text
// conversion at the system boundary, path preparation and run-time lookups.
// Only the files of this folder and the Win32 view include it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace vx::win32 {

// ---------------------------------------------------------------------------
// Handle ownership
// ---------------------------------------------------------------------------

// Owns one system handle and releases it with `Close` when destroyed.
template <typename H, auto Invalid, auto Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, invalid());
        }
        return *this;
    }

    H get() const { return h_; }
    bool valid() const { return h_ != invalid(); }
    explicit operator bool() const { return valid(); }
    void reset(H h = invalid()) {
        if (valid()) Close(h_);
        h_ = h;
    }
    // Gives up ownership without closing.
    H release() { return std::exchange(h_, invalid()); }
    // For the system calls that return a handle through a pointer.
    H* out() {
        reset();
        return &h_;
    }

private:
    static H invalid() { return reinterpret_cast<H>(Invalid); }
    H h_ = invalid();
};

inline void closeKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void closeFindHandle(HANDLE h) { ::FindClose(h); }
inline void closeRegistryKey(HKEY h) { ::RegCloseKey(h); }

// Process, thread and token handles (null when absent).
using KernelHandle = UniqueHandle<HANDLE, static_cast<intptr_t>(0), closeKernelHandle>;
// File handles and Tool Help snapshots (INVALID_HANDLE_VALUE when absent).
using FileHandle = UniqueHandle<HANDLE, static_cast<intptr_t>(-1), closeKernelHandle>;
using FindHandle = UniqueHandle<HANDLE, static_cast<intptr_t>(-1), closeFindHandle>;
using RegistryKeyHandle = UniqueHandle<HKEY, static_cast<intptr_t>(0), closeRegistryKey>;

// ---------------------------------------------------------------------------
// Drawing resources
// ---------------------------------------------------------------------------

inline void deleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void destroyIcon(HICON h) { ::DestroyIcon(h); }

// A font, pen, brush or bitmap the program created (null when absent).
template <typename H>
using GdiObject = UniqueHandle<H, static_cast<intptr_t>(0), deleteGdiObject>;
// An icon loaded without LR_SHARED.
using IconHandle = UniqueHandle<HICON, static_cast<intptr_t>(0), destroyIcon>;

// The device context of a window's client area (GetDC), released on leaving.
// A null window gives the screen's.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// A memory device context compatible with `dc` (CreateCompatibleDC), deleted
// on leaving; for drawing off screen.
class MemoryDc {
public:
    explicit MemoryDc(HDC dc) : dc_(::CreateCompatibleDC(dc)) {}
    ~MemoryDc() {
        if (dc_) ::DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// The painting of one WM_PAINT: BeginPaint, and EndPaint on leaving.
class PaintDc {
public:
    explicit PaintDc(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &ps_)) {}
    ~PaintDc() { ::EndPaint(hwnd_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return ps_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// An object selected into a device context; the one it replaced is selected
// again on leaving. Declare it after the object it selects, so that the
// object is out of the context before it is deleted.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc && object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// ---------------------------------------------------------------------------
// Text at the boundary
// ---------------------------------------------------------------------------

// UTF-8 <-> UTF-16. A UTF-16 name holding an unpaired surrogate (NTFS allows
// them) survives the round trip, so every name read from a disk reaches the
// same entry again.
std::wstring widen(const std::string& utf8);
std::string narrow(const wchar_t* text, size_t length);
std::string narrow(const std::wstring& text);
// A zero-terminated buffer.
std::string narrowZ(const wchar_t* text);

// The system's message for an error code, without the final line break and
// period, as the standard error box shows it.
std::string errorText(DWORD code);

// ---------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------

// The form of `path` handed to the file functions: made absolute (a relative
// path and a "\x" path are completed with the current folder), "." and ".."
// resolved, repeated separators collapsed, and prefixed with "\\?\" (or
// "\\?\UNC\"). The prefix turns off the system's own name clean-up, so a name
// ending in a dot or a blank reaches the entry that carries it, and lifts the
// 260-character limit. A final separator is kept, as the system gives it a
// meaning ("E:\a.txt\" names no file). Device paths ("\\.\", "\\?\Volume...")
// pass unchanged; an empty path stays empty (and names nothing).
std::wstring systemPath(const std::string& path);

// ---------------------------------------------------------------------------
// Functions looked up at run time
// ---------------------------------------------------------------------------

// The address of `name` in an already loaded system module, or null. Used for
// the functions that older Windows versions lack, so that the program still
// loads there.
template <typename Fn>
Fn systemFunction(const wchar_t* module, const char* name) {
    HMODULE m = ::GetModuleHandleW(module);
    if (!m) return nullptr;
    FARPROC p = ::GetProcAddress(m, name);
    // The detour through void(*)() is the documented way to convert a
    // function pointer type without a cast warning.
    return p ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p)) : nullptr;
}

// The system folder with its final "\\" ("C:\\Windows\\System32\\"); empty
// when Windows cannot give it. Every program the program starts runs there:
// a command interpreter looks in its working folder first, and the folder the
// program was started from may be an infected pen drive.
// True when the program runs under Wine (ntdll exports wine_get_version).
bool runsUnderWine();

std::wstring systemDirectory();

// Full path of a file in the system folder ("C:\Windows\System32\psapi.dll"),
// so that loading it never picks up a planted copy beside the program.
std::wstring systemDirectoryFile(const wchar_t* fileName);

}  // namespace vx::win32
