// The layout at the screen's resolution: the table of placements
// (placements.h) scaled, and windows centred on the screen.
#pragma once

#include <windows.h>

#include "placements.h"

namespace vx::view {

// The screen's resolution in dots per inch (96 when it cannot be read).
int screenDpi();
// A layout number at the screen's resolution.
inline int scaled(int value, int dpi) { return ::MulDiv(value, dpi, 96); }
// The outer rectangle of a window with that client size (at 96 dots per
// inch), centred on the primary screen's work area.
RECT centredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

}  // namespace vx::view
