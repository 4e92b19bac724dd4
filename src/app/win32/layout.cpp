#include "layout.h"

#include <algorithm>

#include "platform/win32/win32_support.h"

namespace vx::view {

int screenDpi() {
    int dpi = 96;
    if (const win32::WindowDc screen(nullptr); screen) dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    return dpi > 0 ? dpi : 96;
}

RECT centredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
    RECT frame{0, 0, scaled(clientWidth, dpi), scaled(clientHeight, dpi)};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = std::max(work.left, work.left + ((work.right - work.left) - width) / 2);
    const int y = std::max(work.top, work.top + ((work.bottom - work.top) - height) / 2);
    return RECT{x, y, x + width, y + height};
}

}  // namespace vx::view
