#include "qt/MainFrm.h"

#include "qt/LayoutStyle.h"
#include "qt/QtDesktop.h"
#include "qt/RoundedPanel.h"
#include "qt/WindowFrame.h"
#include "qt/XTab.h"
#include "ui/ExitStatus.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <limits>

namespace z83::qt {

namespace {

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void setColour(QWidget* widget, QPalette::ColorRole role, const ui::layout::Colour& colour) {
    const QColor shown = toQColor(colour, widget->palette());
    if (!shown.isValid())
        return;
    QPalette palette = widget->palette();
    palette.setColor(role, shown);
    widget->setPalette(palette);
}

// Labels draw only their text and wrap it at word boundaries within their width; never as markup.
QLabel* makeLabel(const ui::layout::Control& design, QWidget* parent) {
    auto* label = new QLabel(qText(design.text), parent);
    label->setWordWrap(true);
    label->setAlignment((design.align == ui::layout::Align::Right ? Qt::AlignRight : Qt::AlignLeft) |
                        Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    return label;
}

// The widget of a control's kind, in parent.
QWidget* makeWidget(const ui::layout::Control& design, QWidget* parent, const QPalette& palette) {
    switch (design.kind) {
    case ui::layout::Kind::Label:
        return makeLabel(design, parent);
    case ui::layout::Kind::Image: {
        auto* image = new QLabel(parent);
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        image->setPixmap(QPixmap(QStringLiteral(":/Banner.bmp")));
        return image;
    }
    case ui::layout::Kind::TabStrip:
        return new XTab(ui::layout::kTabStrip, parent);
    case ui::layout::Kind::Shape:
        return new RoundedPanel(toQColor(design.background, palette), parent);
    case ui::layout::Kind::TextBox: {
        auto* box = new QLineEdit(parent);
        box->setMaxLength(std::numeric_limits<int>::max());
        setColour(box, QPalette::Text, design.foreground);
        setColour(box, QPalette::Base, design.background);
        return box;
    }
    case ui::layout::Kind::Button: {
        auto* button = new QPushButton(qText(design.text), parent);
        button->setAutoDefault(false);
        return button;
    }
    case ui::layout::Kind::PictureBox:
        break;
    }
    auto* picture = new QWidget(parent);
    setColour(picture, QPalette::Window, design.background);
    picture->setAutoFillBackground(true);
    return picture;
}

// What every kind takes from the design: its name, place, font, text colour, tooltip and state.
void applyDesign(QWidget& widget, const ui::layout::Control& design, const ui::PixelRect& place) {
    widget.setObjectName(qText(design.name));
    widget.setGeometry(toQRect(place));
    if (!design.font.family.empty())
        widget.setFont(toQFont(design.font));
    if (design.kind == ui::layout::Kind::Label)
        setColour(&widget, QPalette::WindowText, design.foreground);
    if (!design.tooltip.empty())
        widget.setToolTip(qText(design.tooltip));
    widget.setEnabled(design.enabled);
}

} // namespace

MainFrm::MainFrm(ProviderFactory createProvider, FileSystem& fileSystem,
                 std::function<void(int status)> endProgram)
    : QWidget(nullptr) {
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(qText(ui::layout::kCaption));
    // A fixed dialog frame with a close button only; a tool window gets no taskbar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // The classic dialog fonts, where this system lacks them, as Windows stands in for them.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial")});
    // The stand-in for the classic dialog font, used by every control that sets none of its own.
    setFont(toQFont(ui::layout::kDefaultFont));
    setColour(this, QPalette::Window, ui::layout::kWindowBackground);
    setAutoFillBackground(true);

    createControls();

    ui::Controls& controls = *this; // a private base: only the window hands it over
    desktop_ = std::make_unique<QtDesktop>(*this, controls);
    core_ = std::make_unique<ui::WindowCore>(*desktop_, std::move(createProvider), fileSystem,
                                             std::move(endProgram), [this] { close(); });
    // The session manager ends the program through quit(); commitDataRequest is not the end, as a session
    // is also saved without ending.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { core_->endSession(); });
}

MainFrm::~MainFrm() = default;

void MainFrm::createControls() {
    const int dpi = logicalDpiY();
    setFixedSize(ui::twipsToPixels(ui::layout::kClientWidth, dpi),
                 ui::twipsToPixels(ui::layout::kClientHeight, dpi));
    controls_ = ui::walkLayout<QWidget*>(*this, this, dpi);
    for (const ui::ButtonAction& known : ui::kButtonActions)
        connect(static_cast<QPushButton*>(controls_.at(known.button)), &QPushButton::clicked, this,
                [this, name = known.button] { core_->press(name); });
    controls_.at(ui::layout::kTabStripName)->setFocus();
}

QWidget* MainFrm::make(const ui::layout::Control& design, QWidget* container, const ui::PixelRect& place) {
    QWidget* widget = makeWidget(design, container, palette());
    applyDesign(*widget, design, place);
    return widget;
}

void MainFrm::addToTab(QWidget* strip, int tab, QWidget* control) {
    static_cast<XTab*>(strip)->addControl(tab, control);
}

void MainFrm::arrange(const std::vector<ui::MadeControl<QWidget*>>& inTabOrder) {
    // Keyboard focus follows the design's tab order; labels, the picture and the panel take none.
    QWidget* previous = nullptr;
    for (const auto& [design, widget] : inTabOrder) {
        if (!ui::takesFocus(*design))
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
}

void MainFrm::centreOnScreen() {
    // The frame a window manager adds is not known before the first show; centre the client area.
    if (const QScreen* screen = this->screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
}

std::string MainFrm::controlText(std::string_view control) {
    QWidget* widget = controls_.at(control);
    if (const auto* box = qobject_cast<QLineEdit*>(widget))
        return toStdString(box->text());
    if (const auto* label = qobject_cast<QLabel*>(widget))
        return toStdString(label->text());
    return {};
}

void MainFrm::setControlText(std::string_view control, const std::string& text, bool redrawNow) {
    QWidget* widget = controls_.at(control);
    if (auto* box = qobject_cast<QLineEdit*>(widget))
        box->setText(toQString(text));
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(toQString(text));
    // Actions do not return to the event loop while they work, so an update() would come too late.
    if (redrawNow)
        widget->repaint();
}

void MainFrm::setControlEnabled(std::string_view control, bool enabled) {
    controls_.at(control)->setEnabled(enabled);
}

std::optional<int> MainFrm::start() {
    return core_->start([this] {
        centreOnScreen();
        showCloseButtonOnly(*this);
        show();
    });
}

void MainFrm::tellRecordingTrouble(const std::shared_ptr<SessionRecording>& recording) {
    core_->tellRecordingTrouble(recording);
}

void MainFrm::closeEvent(QCloseEvent* event) {
    if (!core_->requestClose()) {
        event->ignore(); // asked again when the running action has ended
        return;
    }
    event->accept();
    emit closed();
}

} // namespace z83::qt
