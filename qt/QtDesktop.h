#pragma once

#include "desktop/Desktop.h"

#include <QString>

#include <string>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QWidget;

namespace z83::qt {

// Texts from the core are bytes: UTF-8 when they are valid UTF-8, otherwise taken as Latin-1 so that no
// byte a module sends is lost or turned into something else.
QString toQString(const std::string& text);
std::string toStdString(const QString& text);

// The executable's file name without its extension.
QString executableName();

// The desktop as the main window offers it to the core: real modal message boxes, the application-wide
// wait cursor, the window's status line, Clear Log button and ID box, the per-user settings store,
// the clipboard, the standard folders and the desktop's file associations.
class QtDesktop : public Desktop {
public:
    QtDesktop(QWidget& window, QLabel& status, QAbstractButton& clearLog, QLineEdit& idBox);

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

private:
    QWidget& window_;
    QLabel& status_;
    QAbstractButton& clearLog_;
    QLineEdit& idBox_;
    bool busy_ = false;
};

} // namespace z83::qt
