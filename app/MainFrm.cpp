#include "MainFrm.h"

#include "Banner.h"
#include "ExitStatus.h"
#include "QtDesktop.h"
#include "RoundedPanel.h"
#include "Twips.h"
#include "Version.h"
#include "XTab.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <limits>

namespace z83::app {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kDarkGrey(64, 64, 64);
const QColor kPanelGrey(224, 224, 224);
const QColor kStatusBlue(102, 158, 224);

const QString kExtractTip =
    QStringLiteral("After clicking this button you have 10 seconds to power cycle the remote module");

QFont arial(qreal points, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont arialNarrow() {
    QFont font(QStringLiteral("Arial Narrow"));
    font.setPointSizeF(9.75);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Labels draw only their text and wrap it at word boundaries within their width.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text,
                  Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

MainFrm::MainFrm(ProviderFactory createProvider, FileSystem& fileSystem,
                 std::function<void(int status)> endProgram)
    : QWidget(nullptr) {
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Tarnwell Z83-PM-VX Log Extraction"));
    // A fixed dialog frame with a close button only; a tool window gets no taskbar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // The stand-in for the classic dialog font, used by every control that sets none of its own.
    setFont(arial(8.25));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kWhite);
    setPalette(palette);
    setAutoFillBackground(true);

    createControls();
    setTabOrders();

    desktop_ = std::make_unique<QtDesktop>(*this, *Found_, *cbClear_, *tbID_);
    session_ = std::make_unique<Session>(*desktop_, std::move(createProvider), fileSystem);
    guard_ = std::make_unique<ActionGuard>(
        *desktop_, [end = std::move(endProgram)] { end(ExitStatus::ComponentError); });

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
    auto place = [dpi](QWidget* widget, int left, int top, int width, int height) {
        widget->setGeometry(twipsRect(left, top, width, height, dpi));
    };
    setFixedSize(twipsToPixels(9450, dpi), twipsToPixels(6135, dpi));

    Label1_ =
        makeLabel(this, "Label1",
                  QStringLiteral("This program will extract the log data from a Z83-PM-VX handheld module."));
    Label1_->setFont(arial(9.75, true));
    setTextColour(Label1_, kBlack);
    place(Label1_, 180, 120, 8835, 855);

    Label7_ = makeLabel(this, "Label7", QString::fromLatin1(kVersionLabel), Qt::AlignRight);
    place(Label7_, 8820, 60, 555, 195);

    Label2_ =
        makeLabel(this, "Label2", QStringLiteral("Must be used with a Z83 USB base station"), Qt::AlignRight);
    Label2_->setFont(arialNarrow());
    setTextColour(Label2_, kGrey);
    place(Label2_, 5580, 480, 3615, 315);

    Image1_ = new QLabel(this);
    Image1_->setObjectName(QStringLiteral("Image1"));
    place(Image1_, 180, 960, 7635, 1065);
    Image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1_->setPixmap(QPixmap::fromImage(drawBanner(Image1_->size())));

    XTab_ = new XTab(this);
    place(XTab_, 180, 2280, 9075, 3675);
    XTab_->setActiveFont(arialNarrow());
    XTab_->setInactiveFont(arial(8.25));
    const int knownTab = XTab_->addTab(QStringLiteral("I know the handheld ID"));
    const int pairingTab = XTab_->addTab(QStringLiteral("I do not know the ID"));

    Label6_ = makeLabel(
        XTab_, "Label6",
        QStringLiteral("Enter the ID of the handheld module, turn it on then click the Extract button."));
    Label6_->setFont(arialNarrow());
    setTextColour(Label6_, kGrey);
    place(Label6_, 120, 420, 7695, 615);

    auto* shape = new RoundedPanel(kPanelGrey, XTab_);
    Shape1_ = shape;
    Shape1_->setObjectName(QStringLiteral("Shape1"));
    place(Shape1_, 420, 1080, 6015, 855);

    tbID_ = new QLineEdit(XTab_);
    tbID_->setObjectName(QStringLiteral("tbID"));
    tbID_->setMaxLength(std::numeric_limits<int>::max());
    QPalette idPalette = tbID_->palette();
    idPalette.setColor(QPalette::Text, kDarkGrey);
    idPalette.setColor(QPalette::Base, kWhite);
    tbID_->setPalette(idPalette);
    place(tbID_, 720, 1320, 1155, 375);

    Label4_ = makeLabel(XTab_, "Label4", QStringLiteral("Enter the 6 character ID of the handheld module"));
    Label4_->setFont(arialNarrow());
    setTextColour(Label4_, kDarkGrey);
    place(Label4_, 1980, 1380, 3615, 315);

    IKnow_ = makeButton(XTab_, "IKnow", QStringLiteral("Extract"));
    IKnow_->setFont(arialNarrow());
    IKnow_->setToolTip(kExtractTip);
    place(IKnow_, 7080, 2280, 1875, 615);

    Label5_ =
        makeLabel(XTab_, "Label5",
                  QStringLiteral("You need to remove at least one battery from the handheld module then "
                                 "click the 'Extract' button then insert the battery again within 10 "
                                 "seconds."));
    Label5_->setFont(arialNarrow());
    setTextColour(Label5_, kGrey);
    place(Label5_, 120, 420, 7695, 615);

    IDontKnow_ = makeButton(XTab_, "IDontKnow", QStringLiteral("Extract"));
    IDontKnow_->setFont(arialNarrow());
    IDontKnow_->setToolTip(kExtractTip);
    place(IDontKnow_, 7080, 2280, 1875, 615);

    for (QWidget* control : {static_cast<QWidget*>(IKnow_), static_cast<QWidget*>(tbID_),
                             static_cast<QWidget*>(Label6_), static_cast<QWidget*>(Label4_), Shape1_})
        XTab_->addControl(knownTab, control);
    XTab_->addControl(pairingTab, IDontKnow_);
    XTab_->addControl(pairingTab, Label5_);

    // Window children that lie over the tab strip and stay with every tab.
    cbClear_ = makeButton(this, "cbClear", QStringLiteral("Clear Log"));
    cbClear_->setEnabled(false);
    place(cbClear_, 5220, 4560, 1875, 615);

    Picture1_ = new QWidget(this);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    QPalette stripPalette = Picture1_->palette();
    stripPalette.setColor(QPalette::Window, kWhite);
    Picture1_->setPalette(stripPalette);
    Picture1_->setAutoFillBackground(true);
    place(Picture1_, 360, 5220, 8595, 675);

    Found_ = makeLabel(Picture1_, "Found", QStringLiteral("Ready"));
    Found_->setFont(arial(24, true));
    setTextColour(Found_, kStatusBlue);
    place(Found_, 0, 0, 8595, 675);

    cbClear_->raise();
    Picture1_->raise();
}

void MainFrm::setTabOrders() {
    // Keyboard focus follows the design's tab order; labels, the picture and the panel take none.
    setTabOrder(XTab_, tbID_);
    setTabOrder(tbID_, IKnow_);
    setTabOrder(IKnow_, IDontKnow_);
    setTabOrder(IDontKnow_, cbClear_);
    XTab_->setFocus();
}

void MainFrm::centreOnScreen() {
    // The frame a window manager adds is not known before the first show; centre the client area.
    if (const QScreen* screen = this->screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
}

std::optional<int> MainFrm::start() {
    auto result = Session::LoadResult::EndAtOnce;
    if (!guard_->run([&] { result = session_->Load(); }))
        return ExitStatus::ComponentError;
    switch (result) {
    case Session::LoadResult::Running:
        centreOnScreen();
        show();
        return std::nullopt;
    case Session::LoadResult::CloseAndEnd:
        close();
        return ExitStatus::StartupFailed;
    case Session::LoadResult::EndAtOnce:
        break;
    }
    return ExitStatus::StartupFailed;
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
