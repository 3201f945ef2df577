#include "app/MainFrm.h"

#include "app/LayoutStyle.h"
#include "app/QtDesktop.h"
#include "app/RoundedPanel.h"
#include "app/Twips.h"
#include "app/WindowFrame.h"
#include "app/XTab.h"
#include "ui/ExitStatus.h"
#include "ui/WindowProgram.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <QHash>

#include <algorithm>
#include <limits>
#include <vector>

namespace z83::app {

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

    desktop_ = std::make_unique<QtDesktop>(*this, *Found_, *cbClear_, *tbID_);
    session_ = std::make_unique<Session>(*desktop_, std::move(createProvider), fileSystem);
    guard_ = std::make_unique<ActionGuard>(
        *desktop_, [end = std::move(endProgram)] { end(ui::ExitStatus::ComponentError); });

    connect(IKnow_, &QPushButton::clicked, this, [this] { guard_->run([this] { session_->IKnow(); }); });
    connect(IDontKnow_, &QPushButton::clicked, this,
            [this] { guard_->run([this] { session_->IDontKnow(); }); });
    connect(cbClear_, &QPushButton::clicked, this, [this] { guard_->run([this] { session_->ClearLog(); }); });
}

MainFrm::~MainFrm() = default;

Desktop& MainFrm::desktop() {
    return *desktop_;
}

void MainFrm::createControls() {
    const int dpi = logicalDpiY();
    setFixedSize(twipsToPixels(ui::layout::kClientWidth, dpi), twipsToPixels(ui::layout::kClientHeight, dpi));
    QHash<QString, QWidget*> containers{{qText(ui::layout::kWindowName), this}};
    std::vector<std::pair<int, QWidget*>> focusOrder;

    for (const ui::layout::Control& design : ui::layout::kControls) {
        QWidget* parent = containers.value(qText(design.container));
        QWidget* widget = nullptr;
        switch (design.kind) {
        case ui::layout::Kind::Label:
            widget = makeLabel(design, parent);
            break;
        case ui::layout::Kind::Image: {
            auto* image = new QLabel(parent);
            image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            image->setPixmap(QPixmap(QStringLiteral(":/Banner.bmp")));
            widget = image;
            break;
        }
        case ui::layout::Kind::TabStrip:
            widget = XTab_ = new XTab(ui::layout::kTabStrip, parent);
            break;
        case ui::layout::Kind::Shape:
            widget = new RoundedPanel(toQColor(design.background, palette()), parent);
            break;
        case ui::layout::Kind::TextBox: {
            auto* box = new QLineEdit(parent);
            box->setMaxLength(std::numeric_limits<int>::max());
            setColour(box, QPalette::Text, design.foreground);
            setColour(box, QPalette::Base, design.background);
            widget = box;
            break;
        }
        case ui::layout::Kind::Button: {
            auto* button = new QPushButton(qText(design.text), parent);
            button->setAutoDefault(false);
            widget = button;
            break;
        }
        case ui::layout::Kind::PictureBox:
            widget = new QWidget(parent);
            setColour(widget, QPalette::Window, design.background);
            widget->setAutoFillBackground(true);
            containers.insert(qText(design.name), widget);
            break;
        }
        widget->setObjectName(qText(design.name));
        widget->setGeometry(twipsRect(design.left, design.top, design.width, design.height, dpi));
        if (!design.font.family.empty())
            widget->setFont(toQFont(design.font));
        if (design.kind == ui::layout::Kind::Label)
            setColour(widget, QPalette::WindowText, design.foreground);
        if (!design.tooltip.empty())
            widget->setToolTip(qText(design.tooltip));
        widget->setEnabled(design.enabled);
        if (design.tab != ui::layout::kNoTab)
            XTab_->addControl(design.tab, widget);
        if (design.kind == ui::layout::Kind::TabStrip)
            containers.insert(qText(design.name), widget);
        if (design.tabIndex != ui::layout::kNoTabIndex && design.kind != ui::layout::Kind::Label &&
            design.kind != ui::layout::Kind::PictureBox)
            focusOrder.emplace_back(design.tabIndex, widget);
    }

    // Keyboard focus follows the design's tab order; labels, the picture and the panel take none.
    std::sort(focusOrder.begin(), focusOrder.end());
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);
    XTab_->setFocus();

    tbID_ = findChild<QLineEdit*>(QStringLiteral("tbID"));
    IKnow_ = findChild<QPushButton*>(QStringLiteral("IKnow"));
    IDontKnow_ = findChild<QPushButton*>(QStringLiteral("IDontKnow"));
    cbClear_ = findChild<QPushButton*>(QStringLiteral("cbClear"));
    Found_ = findChild<QLabel*>(QStringLiteral("Found"));
}

void MainFrm::centreOnScreen() {
    // The frame a window manager adds is not known before the first show; centre the client area.
    if (const QScreen* screen = this->screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
}

std::optional<int> MainFrm::start() {
    return ui::startWindow(
        *session_, *guard_,
        [this] {
            centreOnScreen();
            showCloseButtonOnly(*this);
            show();
        },
        [this] { close(); });
}

void MainFrm::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        guard_->run([this] { session_->Unload(); });
    }
    event->accept();
    emit closed();
}

} // namespace z83::app
