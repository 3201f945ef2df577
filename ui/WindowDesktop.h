#pragma once

#include "desktop/Desktop.h"

#include <string>
#include <string_view>

namespace z83::ui {

// A window's controls, reached by their names in the layout (MainFrmLayout.h) as its toolkit holds them.
class Controls {
public:
    virtual ~Controls() = default;

    virtual std::string controlText(std::string_view control) = 0;
    // redrawNow repaints the control before the running action returns: actions keep the window from
    // painting while they work.
    virtual void setControlText(std::string_view control, const std::string& text, bool redrawNow) = 0;
    virtual void setControlEnabled(std::string_view control, bool enabled) = 0;
};

// The Desktop as both windows offer it. Which control shows the status, which one is Clear Log and which
// holds the module ID is decided here; the message boxes, the pointer, the clipboard and opening a file are
// the toolkit's, and the settings, folders and times the platform's (Desktop's own).
class WindowDesktop : public Desktop {
public:
    explicit WindowDesktop(Controls& controls) : controls_(controls) {}

    void setStatus(const std::string& text, bool redrawNow) final;
    void setClearLogEnabled(bool enabled) final;
    std::string idText() final;
    void setIdText(const std::string& text) final;

private:
    Controls& controls_;
};

} // namespace z83::ui
