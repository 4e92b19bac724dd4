// The one window procedure of the view's window classes. A window is created
// with its C++ object as the creation parameter; the procedure stores the
// object in the window at WM_NCCREATE and hands every message to T::handle.
// Messages that come before WM_NCCREATE, or after the object let go of the
// window (detach), get the default handling.
#pragma once

#include <windows.h>

namespace vx::view {

template <typename T>
class WindowBase {
public:
    // The procedure to register with the window class.
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        T* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            if (self) {
                self->WindowBase<T>::hwnd_ = hwnd;
                ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            }
        } else {
            self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
        return self->handle(message, wParam, lParam);
    }

protected:
    WindowBase() = default;
    ~WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    // The window no longer reaches the object: later messages get the
    // default handling. Gives the window that was let go.
    HWND detach() {
        HWND hwnd = hwnd_;
        if (hwnd) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        return hwnd;
    }

    HWND hwnd_ = nullptr;
};

}  // namespace vx::view
