#include "qt/QtDesktop.h"

#include "qt/WindowFrame.h"
#include "ui/BoxText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
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

} // namespace

QtDesktop::QtDesktop(QWidget& window, ui::Controls& controls) : WindowDesktop(controls), window_(window) {}

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
