// The window as the user sees it: places, texts, fonts, colours, tabs and keyboard focus.
#include "GuiHarness.h"
#include "WindowTests.h"

#include "XTab.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTest>

namespace z83::guitest {

namespace {

QString resolvedFamily(const QWidget* widget) {
    return QFontInfo(widget->font()).family();
}

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

QSet<QString> visibleTabControls(const app::XTab* tabs) {
    QSet<QString> names;
    for (const QWidget* child : tabs->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            names.insert(child->objectName());
    return names;
}

} // namespace

void WindowLookTest::init() {
    answerer_ = std::make_unique<BoxAnswerer>();
    rig_ = startRig(quickDemo());
    QVERIFY(!rig_->startStatus);
    QVERIFY(QTest::qWaitForWindowExposed(rig_->window.get()));
}

void WindowLookTest::cleanup() {
    rig_.reset();
    answerer_.reset();
}

void WindowLookTest::geometry_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    const char* window = "MainFrm";
    const struct {
        const char* name;
        const char* container;
        QRect twips;
    } table[] = {
        {"Label1", window, {180, 120, 8835, 855}},    {"Label7", window, {8820, 60, 555, 195}},
        {"Label2", window, {5580, 480, 3615, 315}},   {"Image1", window, {180, 960, 7635, 1065}},
        {"XTab", window, {180, 2280, 9075, 3675}},    {"Label6", "XTab", {120, 420, 7695, 615}},
        {"Shape1", "XTab", {420, 1080, 6015, 855}},   {"tbID", "XTab", {720, 1320, 1155, 375}},
        {"Label4", "XTab", {1980, 1380, 3615, 315}},  {"IKnow", "XTab", {7080, 2280, 1875, 615}},
        {"Label5", "XTab", {120, 420, 7695, 615}},    {"IDontKnow", "XTab", {7080, 2280, 1875, 615}},
        {"cbClear", window, {5220, 4560, 1875, 615}}, {"Picture1", window, {360, 5220, 8595, 675}},
        {"Found", "Picture1", {0, 0, 8595, 675}},
    };
    for (const auto& row : table)
        QTest::newRow(row.name) << QString::fromLatin1(row.container) << row.twips;
}

void WindowLookTest::geometry() {
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    auto* control = rig_->find<QWidget>(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);
    const int dpi = rig_->window->logicalDpiY();
    auto px = [dpi](int t) { return qRound(t * dpi / 1440.0); };
    QCOMPARE(control->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    if (dpi != 96)
        QSKIP("exact pixel sizes hold at 96 dpi");
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(rig_->window->size(), QSize(630, 409));
}

void WindowLookTest::windowFrame() {
    app::MainFrm* window = rig_->window.get();
    QCOMPARE(window->windowTitle(), QStringLiteral("Tarnwell Z83-PM-VX Log Extraction"));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(window->windowType(), Qt::Tool); // no taskbar button
    QCOMPARE(window->palette().color(window->backgroundRole()), QColor(255, 255, 255));
    QVERIFY(window->autoFillBackground());
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(qAbs(window->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(window->geometry().center().y() - screen.center().y()) <= 1);
}

void WindowLookTest::textsFontsColours_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");
    const QColor grey(128, 128, 128), darkGrey(64, 64, 64);
    QTest::newRow("Label1") << "This program will extract the log data from a Z83-PM-VX handheld module."
                            << "Arial" << 9.75 << true << QColor(0, 0, 0);
    QTest::newRow("Label2") << "Must be used with a Z83 USB base station"
                            << "Arial Narrow" << 9.75 << false << grey;
    QTest::newRow("Label6")
        << "Enter the ID of the handheld module, turn it on then click the Extract button."
        << "Arial Narrow" << 9.75 << false << grey;
    QTest::newRow("Label4") << "Enter the 6 character ID of the handheld module"
                            << "Arial Narrow" << 9.75 << false << darkGrey;
    QTest::newRow("Label5")
        << "You need to remove at least one battery from the handheld module then click the "
           "'Extract' button then insert the battery again within 10 seconds."
        << "Arial Narrow" << 9.75 << false << grey;
    QTest::newRow("Found") << "Ready"
                           << "Arial" << 24.0 << true << QColor(102, 158, 224);
    QTest::newRow("IKnow") << "Extract"
                           << "Arial Narrow" << 9.75 << false << QColor();
    QTest::newRow("IDontKnow") << "Extract"
                               << "Arial Narrow" << 9.75 << false << QColor();
}

void WindowLookTest::textsFontsColours() {
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    auto* control = rig_->find<QWidget>(QTest::currentDataTag());
    QVERIFY(control);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QVERIFY(label->wordWrap());
        QVERIFY(!label->autoFillBackground());
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    } else {
        auto* button = qobject_cast<QAbstractButton*>(control);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QCOMPARE(button->toolTip(),
                 QStringLiteral(
                     "After clicking this button you have 10 seconds to power cycle the remote module"));
    }
    QCOMPARE(control->font().family(), family);
    QCOMPARE(control->font().pointSizeF(), points);
    QCOMPARE(control->font().bold(), bold);
    // The stand-ins the font configuration offers for the designed faces.
    const QString resolved = resolvedFamily(control);
    if (!resolved.startsWith(QLatin1String("Liberation")) && !resolved.startsWith(QLatin1String("Arial")))
        QSKIP("neither the designed fonts nor their Liberation stand-ins are installed");
    QCOMPARE(resolved.contains(QLatin1String("Narrow")), family.contains(QLatin1String("Narrow")));
}

void WindowLookTest::controlsWithDefaults() {
    const QFont windowFont = rig_->window->font();
    auto* tbID = rig_->find<QLineEdit>("tbID");
    auto* cbClear = rig_->find<QAbstractButton>("cbClear");
    auto* version = rig_->find<QLabel>("Label7");
    for (const QWidget* control :
         {static_cast<QWidget*>(tbID), static_cast<QWidget*>(cbClear), static_cast<QWidget*>(version)})
        QCOMPARE(control->font(), windowFont);
    QCOMPARE(version->text(), QStringLiteral("v1.3"));
    QVERIFY(version->alignment().testFlag(Qt::AlignRight));
    QVERIFY(rig_->find<QLabel>("Label2")->alignment().testFlag(Qt::AlignRight));
    QCOMPARE(tbID->palette().color(QPalette::Text), QColor(64, 64, 64));
    QCOMPARE(tbID->palette().color(QPalette::Base), QColor(255, 255, 255));
    const QString longText(40000, QChar('A'));
    tbID->setText(longText);
    QCOMPARE(tbID->text(), longText); // no length limit
    QCOMPARE(cbClear->text(), QStringLiteral("Clear Log"));
    QVERIFY(!cbClear->isEnabled());
    QVERIFY(cbClear->toolTip().isEmpty());

    // Drawn, not just configured: the panel is grey inside its rounded corners, the status strip white,
    // the banner a picture of its natural size.
    const QImage panel = rig_->find<QWidget>("Shape1")->grab().toImage();
    QCOMPARE(panel.pixelColor(panel.rect().center()), QColor(224, 224, 224));
    QVERIFY(panel.pixelColor(0, 0) != QColor(224, 224, 224));
    const QImage strip = rig_->find<QWidget>("Picture1")->grab().toImage();
    QCOMPARE(strip.pixelColor(strip.width() - 2, strip.height() - 2), QColor(255, 255, 255));
    const QImage banner = rig_->find<QLabel>("Image1")->pixmap().toImage();
    QCOMPARE(banner.size(), rig_->find<QLabel>("Image1")->size());
    QVERIFY(banner.pixelColor(5, 5) != banner.pixelColor(banner.width() - 5, 5));
}

void WindowLookTest::tabsShowTheirOwnControls() {
    auto* tabs = rig_->find<app::XTab>("XTab");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QStringLiteral("I know the handheld ID"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("I do not know the ID"));
    QCOMPARE(tabs->currentIndex(), 0);
    const QSet<QString> knownTab{"IKnow", "tbID", "Label6", "Label4", "Shape1"};
    const QSet<QString> pairingTab{"IDontKnow", "Label5"};
    QCOMPARE(visibleTabControls(tabs), knownTab);

    // Whatever state the actions left must survive switching tabs, by mouse and by keyboard.
    rig_->window->desktop().setStatus("ID: 1A2B3C", false);
    rig_->window->desktop().setClearLogEnabled(true);
    rig_->find<QLineEdit>("tbID")->setText(QStringLiteral("4D5E6F"));
    const std::size_t callsBefore = rig_->station->calls().size();

    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(visibleTabControls(tabs), pairingTab);
    for (const char* name : {"Picture1", "Found", "cbClear"})
        QVERIFY2(rig_->find<QWidget>(name)->isVisible(), name);
    QVERIFY(rig_->find<QWidget>("cbClear")->isEnabled());
    QCOMPARE(rig_->find<QLabel>("Found")->text(), QStringLiteral("ID: 1A2B3C"));

    tabs->setFocus();
    QTest::keyClick(tabs, Qt::Key_Left);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(visibleTabControls(tabs), knownTab);
    QCOMPARE(rig_->find<QLineEdit>("tbID")->text(), QStringLiteral("4D5E6F"));
    QCOMPARE(rig_->find<QLabel>("Found")->text(), QStringLiteral("ID: 1A2B3C"));
    QVERIFY(rig_->find<QWidget>("cbClear")->isEnabled());
    QCOMPARE(rig_->station->calls().size(), callsBefore);
}

void WindowLookTest::focusFollowsTabOrder() {
    app::MainFrm* window = rig_->window.get();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto focusName = [] {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    };
    auto cycle = [&](int steps) {
        QStringList names{focusName()};
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names << focusName();
        }
        return names;
    };
    QCOMPARE(cycle(3), QStringList({"XTab", "tbID", "IKnow", "XTab"})); // Clear Log is still disabled

    window->desktop().setClearLogEnabled(true);
    QCOMPARE(cycle(4), QStringList({"XTab", "tbID", "IKnow", "cbClear", "XTab"}));

    QTest::keyClick(rig_->find<QWidget>("XTab"), Qt::Key_Right);
    QCOMPARE(cycle(3), QStringList({"XTab", "IDontKnow", "cbClear", "XTab"}));
}

void WindowLookTest::desktopPointerAndStatusLine() {
    Desktop& desktop = rig_->window->desktop();
    desktop.setBusyPointer(true);
    desktop.setBusyPointer(true);
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    desktop.setBusyPointer(false);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    // A second "off" must not take away a pointer somebody else set.
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    desktop.setBusyPointer(false);
    QVERIFY(QGuiApplication::overrideCursor());
    QGuiApplication::restoreOverrideCursor();

    // Actions do not return to the event loop, so "redraw now" must paint before setStatus returns.
    auto* found = rig_->find<QLabel>("Found");
    QCoreApplication::processEvents();
    PaintCounter counter;
    found->installEventFilter(&counter);
    desktop.setStatus("ID: 1A2B3C", false);
    QCOMPARE(counter.paints, 0);
    desktop.setStatus("Waiting...", true);
    QVERIFY(counter.paints > 0);
    QCOMPARE(found->text(), QStringLiteral("Waiting..."));
    found->removeEventFilter(&counter);
}

} // namespace z83::guitest
