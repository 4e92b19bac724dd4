// The stable identity of the windows the view creates: window classes,
// control identifiers and window properties. Test programs that drive
// Varrex.exe from outside find the controls by these values, so an
// identifier never changes once given.
#pragma once

#include <cstdint>
#include <string_view>

namespace vx::view {

inline constexpr wchar_t kMainWindowClass[] = L"VarrexMainWindow";
inline constexpr wchar_t kInstructionsWindowClass[] = L"VarrexInstructions";
inline constexpr wchar_t kContainerClass[] = L"VarrexContainer";

// The text colour the view last drew a control with, kept as a window
// property so that the rendered colour can be read from outside. The value
// is the COLORREF with a marker bit, so that black is not read as "absent".
inline constexpr wchar_t kTextColorProperty[] = L"VarrexTextColor";
// Set on the main window while a handler runs. The window keeps answering
// during a run, so an answer alone no longer tells that the run has returned;
// programs that drive the window read this property too.
inline constexpr wchar_t kRunningProperty[] = L"VarrexRunning";
inline constexpr uint32_t kTextColorMarker = 0x01000000;
constexpr uint32_t encodeTextColor(uint32_t colorref) { return colorref | kTextColorMarker; }
// The COLORREF, or -1 when the property holds none.
constexpr int64_t decodeTextColor(uintptr_t property) {
    return (property & kTextColorMarker) ? static_cast<int64_t>(property & 0xFFFFFF) : -1;
}

struct ControlId {
    std::string_view name;
    int id;
};

// Control identifiers of the main window, by the model's control names.
inline constexpr ControlId kControlIds[] = {
    {"PageControl1", 1001},   {"TabSheet1", 1002},    {"TabSheet2", 1003},      {"TabSheet3", 1004},
    {"GroupBox4", 1010},      {"BitBtn3", 1011},      {"BitBtn7", 1012},        {"Label17", 1013},
    {"DriveComboBox2", 1014}, {"SpeedButton3", 1015}, {"BitBtn9", 1016},        {"GroupBox5", 1020},
    {"BitBtn2", 1021},        {"Label1", 1022},       {"DriveComboBox1", 1023}, {"SpeedButton1", 1024},
    {"BitBtn1", 1025},        {"Memo1", 1030},        {"GroupBox6", 1040},      {"ListBox1", 1041},
    {"BitBtn10", 1042},       {"BitBtn11", 1043},     {"GroupBox8", 1050},      {"Label20", 1051},
    {"Label22", 1052},        {"Label21", 1053},      {"Label23", 1054},        {"Button4", 1055},
    {"GroupBox10", 1060},     {"BitBtn15", 1061},     {"GroupBox13", 1070},     {"BitBtn17", 1071},
    {"GroupBox7", 1080},      {"Label19", 1081},      {"BitBtn12", 1082},       {"GroupBox11", 1090},
    {"CheckBox1", 1091},      {"CheckBox2", 1092},    {"BitBtn16", 1093},       {"Panel2", 1100},
    {"GroupBox9", 1101},      {"BitBtn13", 1102},     {"BitBtn14", 1103},       {"Panel1", 1110},
    {"Label2", 1111},         {"Label4", 1112},       {"StaticText1", 1113},    {"Panel3", 1120},
    {"Label18", 1121},        {"TabSheet4", 1005},    {"ListBox2", 1130},       {"ListBox3", 1131},
    {"Label24", 1132},        {"Button5", 1133},      {"Button6", 1134},        {"Button7", 1135},
    {"CheckBox3", 1094},
};

// Controls the model gains later get identifiers from here on, in the
// model's order.
inline constexpr int kFirstUnlistedId = 2000;

// 0 when the name has no fixed identifier.
constexpr int controlId(std::string_view name) {
    for (const ControlId& c : kControlIds)
        if (c.name == name) return c.id;
    return 0;
}

// The instructions window's controls.
inline constexpr int kInstructionsMemoId = 101;
inline constexpr int kInstructionsCloseId = 102;

}  // namespace vx::view
