#include "ui/WindowDesktop.h"

#include "ui/MainFrmLayout.h"

namespace z83::ui {

void WindowDesktop::setStatus(const std::string& text, bool redrawNow) {
    controls_.setControlText(layout::kStatusLine, text, redrawNow);
}

void WindowDesktop::setClearLogEnabled(bool enabled) {
    controls_.setControlEnabled(layout::kClearLog, enabled);
}

std::string WindowDesktop::idText() {
    return controls_.controlText(layout::kIdBox);
}

void WindowDesktop::setIdText(const std::string& text) {
    controls_.setControlText(layout::kIdBox, text, false);
}

} // namespace z83::ui
