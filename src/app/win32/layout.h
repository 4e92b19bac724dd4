// Where the main window's controls sit. Every number of the layout is in
// this one table, in pixels at 96 dots per inch; the view scales them to the
// screen's resolution.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>

namespace vx::view {

// The main window's client area.
inline constexpr int kClientWidth = 739;
inline constexpr int kClientHeight = 612;

// The instructions window's client area and controls.
inline constexpr int kInstructionsWidth = 706;
inline constexpr int kInstructionsHeight = 635;

enum PlacementFlag : unsigned {
    kPlainPlacement = 0,
    // A push button the view draws itself, so that the model's font colour
    // shows (a themed button ignores the text colour).
    kDrawnButton = 1u << 0,
    // A panel drawn with a raised edge (the others are flat or sunken).
    kRaisedPanel = 1u << 1,
    // A panel drawn with a sunken edge.
    kSunkenPanel = 1u << 2,
    // A static text drawn as a small sunken box with its text centred.
    kBoxedText = 1u << 3,
};

struct Placement {
    std::string_view name;
    // Relative to the client area of the control's container in the model:
    // a group box's content is placed from the group box's top-left corner,
    // a tab page's content from the page's top-left corner. For a drop-down
    // list the height includes the opened list.
    int x, y, width, height;
    unsigned flags = kPlainPlacement;
};

// Every placed control, in tab order within each container. The tab pages
// are not listed: they take the display area of the tab control.
std::span<const Placement> placements();
// Null for a control the table does not place (it is then created hidden).
const Placement* placementOf(std::string_view name);

struct InstructionsLayout {
    int memoX, memoY, memoWidth, memoHeight;
    int closeX, closeY, closeWidth, closeHeight;
};
inline constexpr InstructionsLayout kInstructionsLayout{8, 8, 690, 578, 594, 594, 104, 32};

// The screen's resolution in dots per inch (96 when it cannot be read).
int screenDpi();
// A layout number at the screen's resolution.
inline int scaled(int value, int dpi) { return ::MulDiv(value, dpi, 96); }
// The outer rectangle of a window with that client size (at 96 dots per
// inch), centred on the primary screen's work area.
RECT centredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

}  // namespace vx::view
