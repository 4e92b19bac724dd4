// The instructions window: a second top-level window with a read-only text
// and a close button. The main window's model decides whether it exists; this
// class only shows it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "window_base.h"

namespace vx::view {

class InstructionsWindow : public WindowBase<InstructionsWindow> {
public:
    // `closed` runs once when the window goes away, whoever closed it.
    explicit InstructionsWindow(std::function<void()> closed);
    ~InstructionsWindow();
    InstructionsWindow(const InstructionsWindow&) = delete;
    InstructionsWindow& operator=(const InstructionsWindow&) = delete;

    static bool registerClass(HINSTANCE instance, HICON icon, HICON smallIcon);

    // Creates the window with its text and shows it in front.
    bool open(HINSTANCE instance, const std::wstring& title, const std::wstring& closeCaption,
              const std::vector<std::string>& lines, HFONT uiFont, HFONT textFont);
    void bringToFront();
    void close();
    bool isOpen() const { return hwnd_ != nullptr; }
    HWND handle() const { return hwnd_; }

    // Keyboard navigation for the message loop; true when it took the message.
    bool preTranslate(MSG& msg);

private:
    friend class WindowBase<InstructionsWindow>;
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND memo_ = nullptr;
    HWND closeButton_ = nullptr;
    std::function<void()> closed_;
};

}  // namespace vx::view
