#pragma once

#include "ui/WindowDesktop.h"

#include <QString>

#include <string>

class QWidget;

namespace z83::qt {

// Texts from the core are bytes: UTF-8 when they are valid UTF-8, otherwise taken as Latin-1 so that no
// byte a module sends is lost or turned into something else.
QString toQString(const std::string& text);
std::string toStdString(const QString& text);

// The desktop as the main window offers it to the core, where Qt draws it: real modal message boxes, the
// application-wide wait cursor, the clipboard and the desktop's file associations.
class QtDesktop : public ui::WindowDesktop {
public:
    QtDesktop(QWidget& window, ui::Controls& controls);

    MessageAnswer showMessage(const std::string& text, const std::string& title, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    void setBusyPointer(bool busy) override;
    bool setClipboardText(const std::string& text) override;
    void openFile(const std::string& path) override;

private:
    QWidget& window_;
    bool busy_ = false;
};

} // namespace z83::qt
