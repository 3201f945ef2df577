// End to end through the real window on the simulated demo station: extraction, report, clearing.
#include "WindowTests.h"

#include "LogRecord.h"
#include "QtDesktop.h"
#include "XTab.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace z83::guitest {

namespace {

constexpr std::int32_t kDemoModule = 0x1A2B3C;

const QString kReminder = QStringLiteral("When you have confirmed that the data has been extracted correctly "
                                         "you should clear the log data from the "
                                         "handheld by clicking the 'Clear Log' button on the main window.");

// The report lines the module's records make, each ending with CR LF.
QString expectedLines(const Rig& rig, std::int32_t id) {
    QString lines;
    for (const std::string& record : rig.station->module(id)->records)
        lines += QString::fromStdString(csvLine(decodeLogReply(record))) + QStringLiteral("\r\n");
    return lines;
}

void extractWithId(Rig& rig, const QString& id) {
    auto* box = rig.find<QLineEdit>("tbID");
    box->selectAll();
    QTest::keyClicks(box, id);
    QTest::mouseClick(rig.find<QWidget>("IKnow"), Qt::LeftButton);
}

} // namespace

void ExtractionFlowTest::init() {
    answerer_ = std::make_unique<BoxAnswerer>();
    opened_ = std::make_unique<OpenedFiles>();
    emptyDocumentsFolder();
    setStoredId(std::nullopt);
}

void ExtractionFlowTest::cleanup() {
    opened_.reset();
    answerer_.reset();
}

void ExtractionFlowTest::checkReport(const QString& expectedReport) {
    QCOMPARE(expectedReport.count(QStringLiteral("\r\n")), 25);
    const QStringList files = QDir(documentsFolder()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^Log\\d{14}\\.CSV$")).match(files[0]).hasMatch(),
             qPrintable(files[0]));
    const QString path = QDir(documentsFolder()).filePath(files[0]);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLatin1(file.readAll()), QString::fromLatin1(kReportHeader) +
                                                      QStringLiteral("\r\n") + expectedReport +
                                                      QStringLiteral("\r\n"));
    QCOMPARE(QGuiApplication::clipboard()->text(), expectedReport);
    QCOMPARE(opened_->paths, QStringList{path});
}

void ExtractionFlowTest::extractWithTypedId() {
    auto rig = startRig(quickDemo());
    extractWithId(*rig, QStringLiteral("1A2B3C"));

    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    const SeenBox& reminder = answerer_->seen[0];
    QCOMPARE(reminder.title, QStringLiteral("Remember To Clear Log Data"));
    QCOMPARE(reminder.text, kReminder);
    QCOMPARE(reminder.icon, QMessageBox::Warning);
    QVERIFY(!reminder.busyPointer);
    checkReport(expectedLines(*rig, kDemoModule));
    QCOMPARE(rig->find<QLabel>("Found")->text(), QString());
    QVERIFY(rig->find<QWidget>("cbClear")->isEnabled());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QVERIFY(rig->endRequests.empty());
}

void ExtractionFlowTest::extractByPairing() {
    auto rig = startRig(quickDemo());
    auto* tabs = rig->find<app::XTab>("XTab");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QTest::mouseClick(rig->find<QWidget>("IDontKnow"), Qt::LeftButton);

    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    QCOMPARE(answerer_->seen[0].title, QStringLiteral("Remember To Clear Log Data"));
    checkReport(expectedLines(*rig, kDemoModule));
    QCOMPARE(rig->find<QLabel>("Found")->text(), QString());
    QVERIFY(rig->find<QWidget>("cbClear")->isEnabled());
    QCOMPARE(rig->find<QLineEdit>("tbID")->text(),
             QStringLiteral("0")); // a paired ID is not typed for the user
}

void ExtractionFlowTest::clearLogAsksFirst() {
    auto rig = startRig(quickDemo());
    extractWithId(*rig, QStringLiteral("1A2B3C"));
    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    auto* clear = rig->find<QWidget>("cbClear");

    answerer_->answers = {QMessageBox::No};
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(answerer_->seen.size(), std::size_t(2));
    const SeenBox& confirm = answerer_->seen[1];
    QCOMPARE(confirm.text, QStringLiteral("Are you sure that you want to delete all logs?"));
    QCOMPARE(confirm.title, QStringLiteral("Clear All Logs"));
    QCOMPARE(confirm.icon, QMessageBox::Question);
    QCOMPARE(confirm.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(confirm.defaultButton, QMessageBox::Yes);
    QCOMPARE(rig->callCount("WriteCommand", 'W'), 0);
    QCOMPARE(rig->station->module(kDemoModule)->records.size(), std::size_t(25));

    answerer_->answers = {QMessageBox::Yes};
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(answerer_->seen.size(), std::size_t(3)); // the confirmation only: success says nothing
    QCOMPARE(rig->callCount("WriteCommand", 'W'), 1);
    QVERIFY(rig->station->module(kDemoModule)->records.empty());
    QVERIFY(clear->isEnabled());
}

void ExtractionFlowTest::unsupportedModelShownAsPlainText_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("model");
    const sim::Scenario demo = sim::demoScenario();
    const sim::SimModule& other = demo.modules.at(1);
    QTest::newRow("demo's other module") << int(other.id) << QString::fromStdString(other.model);
    QTest::newRow("markup in the model") << 0x77 << QStringLiteral("<b>Z83</b> &amp; <i>pm</i>");
    QTest::newRow("overlong model") << 0x78 << QString(100000, QChar('m'));
}

void ExtractionFlowTest::unsupportedModelShownAsPlainText() {
    QFETCH(int, id);
    QFETCH(QString, model);
    sim::Scenario scenario = quickDemo();
    if (std::none_of(scenario.modules.begin(), scenario.modules.end(),
                     [id](const auto& m) { return m.id == id; }))
        scenario.modules.push_back({id, model.toStdString(), {}});
    auto rig = startRig(scenario);
    extractWithId(*rig, QString::number(id, 16));

    QCOMPARE(answerer_->seen.size(), std::size_t(1));
    const SeenBox& box = answerer_->seen[0];
    QString expected = QStringLiteral("The paired module is a ") + model.toUpper() +
                       QStringLiteral(" which is not supported by this software!");
    if (expected.size() > app::QtDesktop::kMaxMessageChars)
        expected = expected.left(app::QtDesktop::kMaxMessageChars) + QChar(0x2026);
    QCOMPARE(box.text, expected);
    QCOMPARE(box.title, QStringLiteral("Warning"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.labelFormat, Qt::PlainText);
    QVERIFY(!rig->find<QWidget>("cbClear")->isEnabled());
    QCOMPARE(rig->find<QLabel>("Found")->text(), QString());
    QVERIFY(QDir(documentsFolder()).entryList(QDir::Files).isEmpty());
}

} // namespace z83::guitest
