// The controls the view draws itself: push buttons whose text colour the
// model sets, and the small flat detect-drives buttons with their glyph.
#pragma once

#include <windows.h>

#include <string>

namespace vx::view {

// A push button in the system's look (themed when a theme is active) with
// its text in `textColor`; "&" marks the accelerator as on any button.
void drawColoredButton(const DRAWITEMSTRUCT& item, const std::wstring& text, COLORREF textColor, bool hot);

// A group box: an etched frame with its caption in `textColor` at the top
// left, on the button face colour.
void drawGroupBox(HDC dc, HWND groupBox, const std::wstring& caption, COLORREF textColor, HFONT font);

// A flat picture button: no frame at rest, raised under the mouse, sunken
// while pressed; the picture is a drive with a circular arrow.
void drawDriveButton(const DRAWITEMSTRUCT& item, bool hot);

}  // namespace vx::view
