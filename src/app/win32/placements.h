// Where the main window's controls sit: every number of the layout, in pixels
// at 96 dots per inch (the view scales them to the screen's resolution). Free
// of <windows.h>, so that the native tests can check the table against the
// model.
#pragma once

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

// Every placed control, in tab order within each container.
// The tab pages' display area is about 723 x 487 at 96 dots per inch; the
// bottom panel's client area about 729 x 82.
inline constexpr Placement kPlacements[] = {
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
    {"GroupBox11", 6, 116, 710, 152},
    {"CheckBox1", 14, 26, 682, 20},
    {"CheckBox2", 14, 52, 682, 20},
    {"CheckBox3", 14, 78, 682, 20},
    {"BitBtn16", 14, 110, 160, 30},

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

// The controls the table does not place: the window itself, and the tab
// pages, which take the display area of the tab control.
inline constexpr std::string_view kUnplacedControls[] = {"TForm1", "TabSheet1", "TabSheet2", "TabSheet3",
                                                         "TabSheet4"};

inline std::span<const Placement> placements() { return kPlacements; }

// Null for a control the table does not place.
constexpr const Placement* placementOf(std::string_view name) {
    for (const Placement& p : kPlacements)
        if (p.name == name) return &p;
    return nullptr;
}

struct InstructionsLayout {
    int memoX, memoY, memoWidth, memoHeight;
    int closeX, closeY, closeWidth, closeHeight;
};
inline constexpr InstructionsLayout kInstructionsLayout{8, 8, 690, 578, 594, 594, 104, 32};

}  // namespace vx::view
