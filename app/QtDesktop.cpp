#include "QtDesktop.h"

#include "UserFolders.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QStringDecoder>
#include <QUrl>

namespace z83::app {

QString toQString(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError())
        return decoded;
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toStdString(const QString& text) {
    return text.toStdString();
}

QString executableName() {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return name.isEmpty() ? QCoreApplication::applicationName() : name;
}

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

// Line breaks arrive as CR LF; a plain-text label breaks lines at LF.
QString messageText(const std::string& text) {
    QString shown = toQString(text);
    if (shown.size() > QtDesktop::kMaxMessageChars) {
        shown.truncate(QtDesktop::kMaxMessageChars);
        shown += QChar(0x2026);
    }
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QChar('\r'), QChar('\n'));
    return shown;
}

// The remembered values live in the per-user store under the executable's name.
QSettings userSettings() {
    const QString name = executableName();
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, name, name);
}

} // namespace

QtDesktop::QtDesktop(QWidget& window, QLabel& status, QAbstractButton& clearLog, QLineEdit& idBox)
    : window_(window), status_(status), clearLog_(clearLog), idBox_(idBox) {}

MessageAnswer QtDesktop::showMessage(const std::string& text, const std::string& title, MessageIcon icon,
                                     MessageButtons buttons) {
    QMessageBox box(&window_);
    box.setIcon(boxIcon(icon));
    box.setWindowTitle(toQString(title));
    // Texts can carry what a module sent; they must never be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(messageText(text));
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    box.exec();
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? MessageAnswer::Yes : MessageAnswer::No;
}

void QtDesktop::setBusyPointer(bool busy) {
    // Override cursors stack; keep exactly one of ours on the stack while busy.
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtDesktop::setStatus(const std::string& text, bool redrawNow) {
    status_.setText(toQString(text));
    // Actions do not return to the event loop while they work, so an update() would come too late.
    if (redrawNow)
        status_.repaint();
}

void QtDesktop::setClearLogEnabled(bool enabled) {
    clearLog_.setEnabled(enabled);
}

std::string QtDesktop::idText() {
    return toStdString(idBox_.text());
}

void QtDesktop::setIdText(const std::string& text) {
    idBox_.setText(toQString(text));
}

std::string QtDesktop::readSetting(const std::string& section, const std::string& key,
                                   const std::string& fallback) {
    QSettings settings = userSettings();
    settings.beginGroup(toQString(section));
    const QVariant value = settings.value(toQString(key));
    return value.isValid() ? toStdString(value.toString()) : fallback;
}

void QtDesktop::writeSetting(const std::string& section, const std::string& key, const std::string& value) {
    QSettings settings = userSettings();
    settings.beginGroup(toQString(section));
    settings.setValue(toQString(key), toQString(value));
    settings.endGroup();
    // Written at once: a component error may end the program right after without any clean-up.
    settings.sync();
}

std::string QtDesktop::applicationName() {
    return toStdString(executableName());
}

void QtDesktop::setClipboardText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(toQString(text));
}

std::string QtDesktop::GetSpecialFolder(SpecialFolder folder) {
    return folder == SpecialFolder::Documents ? documentsFolder() : homeFolder();
}

void QtDesktop::openFile(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(toQString(path))));
}

} // namespace z83::app
