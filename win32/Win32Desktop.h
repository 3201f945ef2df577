#pragma once

#include "desktop/Desktop.h"

#include <windows.h>

namespace z83::win {

// The desktop as the main window offers it to the core: the system's message boxes, modal to the window,
// the busy pointer, the window's status line, Clear Log button and ID box, the per-user settings in the
// registry, the clipboard, the shell's documents folder and its "open" verb.
class Win32Desktop : public Desktop {
public:
    Win32Desktop(HWND window, HWND status, HWND clearLog, HWND idBox);

    MessageAnswer showMessage(const std::string& text, const std::string& title, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    void setBusyPointer(bool busy) override;
    void setStatus(const std::string& text, bool redrawNow) override;
    void setClearLogEnabled(bool enabled) override;
    std::string idText() override;
    void setIdText(const std::string& text) override;

    std::string readSetting(const std::string& section, const std::string& key,
                            const std::string& fallback) override;
    void writeSetting(const std::string& section, const std::string& key, const std::string& value) override;
    std::string applicationName() override;

    bool setClipboardText(const std::string& text) override;
    void openFile(const std::string& path) override;

    // Whether the busy pointer is on, which the window then shows wherever the pointer is.
    bool busy() const { return busy_; }

private:
    HWND window_, status_, clearLog_, idBox_;
    bool busy_ = false;
};

} // namespace z83::win
