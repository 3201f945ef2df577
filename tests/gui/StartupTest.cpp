// Start-up checks, the remembered ID and the guard that ends the program on a component error.
#include "WindowTests.h"

#include "ExitStatus.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

namespace z83::guitest {

namespace {

QString exeBaseName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void checkBox(const SeenBox& box, const QString& text, const QString& title, QMessageBox::Icon icon) {
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, title);
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.labelFormat, Qt::PlainText);
}

} // namespace

void StartupTest::init() {
    answerer_ = std::make_unique<BoxAnswerer>();
}

void StartupTest::cleanup() {
    answerer_.reset();
}

void StartupTest::probeErrorKeepsRememberedId() {
    setStoredId(QStringLiteral("ABC123"));
    sim::Scenario scenario = quickDemo();
    scenario.probeError = {-2147221164, "Class not registered"};
    auto rig = startRig(scenario);

    QCOMPARE(rig->startStatus, std::optional<int>(app::ExitStatus::StartupFailed));
    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    checkBox(
        answerer_->seen[0],
        "Z83DataProviderCOM.DLL possibly not registered!\nError: Class not registered [Code: -2147221164]",
        exeBaseName(), QMessageBox::Critical);
    QVERIFY(!rig->window->isVisible());
    QCOMPARE(rig->callCount("CloseUSB"), 1);
    // The box never held the remembered ID, so closing must not replace it.
    QCOMPARE(storedId(), std::optional<QString>("ABC123"));
}

void StartupTest::openUsbFailureEndsAtOnce_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("nonzero status") << 5 << 0;
    QTest::newRow("current error") << 0 << -2147023261;
}

void StartupTest::openUsbFailureEndsAtOnce() {
    QFETCH(int, status);
    QFETCH(int, errorNumber);
    setStoredId(std::nullopt);
    sim::Scenario scenario = quickDemo();
    scenario.openStatus = static_cast<std::int16_t>(status);
    scenario.openError = {errorNumber, errorNumber ? "Device busy" : ""};
    auto rig = startRig(scenario);

    QCOMPARE(rig->startStatus, std::optional<int>(app::ExitStatus::StartupFailed));
    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    checkBox(answerer_->seen[0], "Cannot open USB interface", "Warning", QMessageBox::Warning);
    QVERIFY(!rig->window->isVisible());
    QCOMPARE(rig->callCount("CloseUSB"), 0);
    QCOMPARE(storedId(), std::nullopt);
    rig.reset(); // destroying the window must not unload it either
    QCOMPARE(storedId(), std::nullopt);
}

void StartupTest::missingBaseStationUnloads() {
    setStoredId(std::nullopt);
    sim::Scenario scenario = quickDemo();
    scenario.basePresent = false;
    auto rig = startRig(scenario);

    QCOMPARE(rig->startStatus, std::optional<int>(app::ExitStatus::StartupFailed));
    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    checkBox(answerer_->seen[0], "Base station not detected! Connect base station and restart program.",
             "Warning", QMessageBox::Critical);
    QVERIFY(!rig->window->isVisible());
    QCOMPARE(rig->callCount("CloseUSB"), 1);
    QCOMPARE(storedId(), std::optional<QString>("0")); // the default it showed, stored back
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void StartupTest::rememberedIdRoundTrip() {
    setStoredId(std::nullopt);
    const QString typed = QStringLiteral(" 4d5e6f, no ID at all <b>");
    auto rig = startRig(quickDemo());
    QCOMPARE(rig->startStatus, std::nullopt);
    QVERIFY(rig->window->isVisible());
    auto* box = rig->find<QLineEdit>("tbID");
    QCOMPARE(box->text(), QStringLiteral("0"));
    box->clear();
    QTest::keyClicks(box, typed);
    QVERIFY(rig->window->close());
    QVERIFY(!rig->window->isVisible());
    QCOMPARE(rig->callCount("CloseUSB"), 1);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(storedId(), std::optional<QString>(typed));

    rig = startRig(quickDemo());
    box = rig->find<QLineEdit>("tbID");
    QCOMPARE(box->text(), typed);
    box->clear();
    rig->window->close();
    QCOMPARE(storedId(), std::optional<QString>(QString()));

    rig = startRig(quickDemo());
    QCOMPARE(rig->find<QLineEdit>("tbID")->text(), QString()); // empty stays empty, not the default
    QVERIFY(answerer_->seen.empty());
}

void StartupTest::componentErrorIsReportedAndEnds() {
    sim::Fault raise;
    raise.target = "3";
    raise.kind = sim::FaultKind::Raise;
    raise.errorNumber = -2147467259;
    raise.errorDescription = "Link dropped";
    sim::Scenario scenario = quickDemo();
    scenario.faults.push_back(raise);
    auto rig = startRig(scenario);
    rig->find<QLineEdit>("tbID")->setText(QStringLiteral("1A2B3C"));
    QTest::mouseClick(rig->find<QWidget>("IKnow"), Qt::LeftButton);

    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    checkBox(answerer_->seen[0], "Error -2147467259:\nLink dropped", exeBaseName(), QMessageBox::Critical);
    QVERIFY(!answerer_->seen[0].busyPointer);
    QCOMPARE(rig->endRequests, std::vector<int>{app::ExitStatus::ComponentError});
    QCOMPARE(rig->callCount("CloseUSB"), 0); // ended, not unloaded

    // The same guard covers loading.
    raise.target = "OpenUSB";
    raise.errorNumber = 7;
    raise.errorDescription = "Driver gone";
    scenario.faults = {raise};
    rig = startRig(scenario);
    QCOMPARE(rig->startStatus, std::optional<int>(app::ExitStatus::ComponentError));
    QCOMPARE(rig->endRequests, std::vector<int>{app::ExitStatus::ComponentError});
    QCOMPARE(answerer_->seen.size(), std::size_t(2));
    checkBox(answerer_->seen[1], "Error 7:\nDriver gone", exeBaseName(), QMessageBox::Critical);
    QVERIFY(!rig->window->isVisible());
    QCOMPARE(rig->callCount("CloseUSB"), 0);

    // ...and closing.
    raise.target = "CloseUSB";
    scenario.faults = {raise};
    rig = startRig(scenario);
    QVERIFY(rig->endRequests.empty());
    rig->window->close();
    QCOMPARE(rig->endRequests, std::vector<int>{app::ExitStatus::ComponentError});
    QCOMPARE(answerer_->seen.size(), std::size_t(3));
    checkBox(answerer_->seen[2], "Error 7:\nDriver gone", exeBaseName(), QMessageBox::Critical);
}

} // namespace z83::guitest
