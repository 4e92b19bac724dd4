#include "layout.h"

#include <algorithm>

namespace vx::view {

namespace {

// The tab pages' display area is about 723 x 487 at 96 dots per inch; the
// bottom panel's client area about 729 x 82.
constexpr Placement kPlacements[] = {
    // --- main window -----------------------------------------------------------
    {"PageControl1", 4, 4, 731, 516},
    {"Panel2", 4, 524, 731, 84, kSunkenPanel},
    // Below the client area: the window cannot be enlarged, so it never shows.
    {"Panel3", 0, kClientHeight + 8, kClientWidth, 24},

    // --- first tab: checks and disinfections -------------------------------------
    {"GroupBox4", 6, 4, 352, 138},
    {"BitBtn7", 12, 22, 180, 46},
    {"BitBtn3", 200, 22, 140, 46},
    {"Label17", 12, 80, 180, 16},
    {"DriveComboBox2", 12, 98, 150, 200},
    {"SpeedButton3", 166, 97, 26, 23},
    {"BitBtn9", 200, 80, 140, 44},

    {"GroupBox5", 364, 4, 352, 138},
    {"BitBtn2", 12, 22, 328, 46},
    {"Label1", 12, 80, 180, 16},
    {"DriveComboBox1", 12, 98, 150, 200},
    {"SpeedButton1", 166, 97, 26, 23},
    {"BitBtn1", 200, 80, 140, 44},

    {"Memo1", 6, 148, 710, 332},

    // --- second tab: tools ---------------------------------------------------------
    {"GroupBox6", 6, 4, 352, 476},
    {"ListBox1", 12, 22, 328, 400},
    {"BitBtn10", 12, 432, 160, 32},
    {"BitBtn11", 180, 432, 160, 32},

    {"GroupBox8", 364, 4, 352, 196},
    {"Label20", 12, 26, 328, 16},
    {"Label22", 12, 46, 328, 16},
    {"Label21", 12, 82, 328, 16},
    {"Label23", 12, 102, 328, 16},
    {"Button4", 12, 146, 328, 34},

    {"GroupBox10", 364, 208, 352, 130},
    {"BitBtn15", 12, 48, 328, 36},

    {"GroupBox13", 364, 346, 352, 134},
    {"BitBtn17", 12, 50, 328, 36},

    // --- third tab: options --------------------------------------------------------
    {"GroupBox7", 6, 4, 710, 58},
    {"Label19", 14, 26, 682, 18},
    {"BitBtn12", 6, 72, 300, 34},
    {"GroupBox11", 6, 116, 710, 126},
    {"CheckBox1", 14, 26, 682, 20},
    {"CheckBox2", 14, 52, 682, 20},
    {"BitBtn16", 14, 84, 160, 30},

    // --- fourth tab: quarantine ----------------------------------------------------
    {"ListBox2", 6, 6, 710, 150},
    {"ListBox3", 6, 164, 710, 260},
    {"Label24", 6, 443, 232, 16},
    {"Button5", 246, 434, 150, 34},
    {"Button6", 404, 434, 150, 34},
    {"Button7", 562, 434, 154, 34},

    // --- bottom panel --------------------------------------------------------------
    {"GroupBox9", 6, 2, 224, 76},
    {"BitBtn13", 12, 26, 96, 36, kDrawnButton},
    {"BitBtn14", 116, 26, 96, 36, kDrawnButton},
    {"Panel1", 238, 6, 484, 70, kRaisedPanel},
    {"Label2", 12, 12, 352, 16},
    {"Label4", 12, 40, 352, 16},
    {"StaticText1", 374, 22, 100, 24, kBoxedText},

    // --- the panel below the visible area --------------------------------------------
    {"Label18", 8, 4, 700, 16},
};

}  // namespace

std::span<const Placement> placements() { return kPlacements; }

const Placement* placementOf(std::string_view name) {
    for (const Placement& p : kPlacements)
        if (p.name == name) return &p;
    return nullptr;
}

int screenDpi() {
    int dpi = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
        ::ReleaseDC(nullptr, screen);
    }
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
