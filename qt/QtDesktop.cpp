#include "qt/QtDesktop.h"

#include "qt/WindowFrame.h"
#include "ui/BoxText.h"

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
#include <QScreen>
#include <QSettings>
#include <QStringDecoder>
#include <QUrl>

namespace z83::qt {

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

// The text shaped as every box shows it (ui::boxText); line breaks arrive as CR LF, and a plain-text label
// breaks lines at LF.
QString messageText(const std::string& text) {
    QString shown = toQString(ui::boxText(text));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QChar('\r'), QChar('\n'));
    return shown;
}

// The default pointer while a box shows, as the box needs the user; the busy pointer again afterwards.
class PointerReleased {
public:
    explicit PointerReleased(bool busy) : busy_(busy) {
        if (busy_)
            QApplication::restoreOverrideCursor();
    }
    ~PointerReleased() {
        if (busy_)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    PointerReleased(const PointerReleased&) = delete;
    PointerReleased& operator=(const PointerReleased&) = delete;

private:
    bool busy_;
};

// A message box centred on the window, or on the screen while the window is not shown yet (start-up), with
// plain push buttons and a close button only in its frame.
class MessageBox : public QMessageBox {
public:
    explicit MessageBox(QWidget& window) : QMessageBox(&window), window_(window) {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowCloseButtonHint);
    }

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event); // settles the box's size
        for (QAbstractButton* button : buttons())
            button->setIcon(QIcon());
        // The box's own frame is not known before it is first shown; it is the window's, as the same window
        // manager draws both. Before the window is shown it is not known at all, and the box lands lower by
        // half its title bar.
        QRect anchor;
        QMargins frame;
        if (window_.isVisible()) {
            anchor = window_.frameGeometry();
            const QRect client = window_.geometry();
            frame = {client.left() - anchor.left(), client.top() - anchor.top(),
                     anchor.right() - client.right(), anchor.bottom() - client.bottom()};
        } else if (const QScreen* screen =
                       window_.screen() ? window_.screen() : QGuiApplication::primaryScreen()) {
            anchor = screen->availableGeometry();
        }
        QRect placed(QPoint(), size().grownBy(frame));
        placed.moveCenter(anchor.center());
        setGeometry(placed.marginsRemoved(frame)); // the client area, inside the frame
    }

private:
    QWidget& window_;
};

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
    MessageBox box(window_);
    box.setIcon(boxIcon(icon));
    box.setWindowTitle(toQString(title));
    // Texts can carry what a module sent; they must never be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(messageText(text));
    if (asksYesNo(buttons)) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(buttons == MessageButtons::YesNo ? QMessageBox::Yes : QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    showCloseButtonOnly(box);
    const PointerReleased released(busy_);
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

bool QtDesktop::setClipboardText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString shown = toQString(text);
    clipboard->clear();
    clipboard->setText(shown);
    // A platform without a clipboard, or one that refused the text, gives back something else.
    return clipboard->text() == shown;
}

void QtDesktop::openFile(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(toQString(path))));
}

} // namespace z83::qt
