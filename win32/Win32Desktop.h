#pragma once

#include "ui/WindowDesktop.h"

#include <windows.h>

namespace z83::win {

// The desktop as the main window offers it to the core, where Windows draws it: the system's message boxes,
// modal to the window, the busy pointer and the clipboard. Opening a file, the settings and the folders are
// the platform's, as every Windows program here has them.
class Win32Desktop : public ui::WindowDesktop {
public:
    Win32Desktop(HWND window, ui::Controls& controls);

    MessageAnswer showMessage(const std::string& text, const std::string& title, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    void setBusyPointer(bool busy) override;
    bool setClipboardText(const std::string& text) override;

    // Whether the busy pointer is on, which the window then shows wherever the pointer is.
    bool busy() const { return busy_; }

private:
    HWND window_;
    bool busy_ = false;
};

} // namespace z83::win
