// The real window on a simulated base station, under the offscreen platform: how it looks, how the
// program starts and ends, and extraction end to end. HOME, and with it the settings store and the
// documents folder, is a temporary folder.
#include "desktop/UserSettings.h"
#include "qt/MainFrm.h"
#include "qt/QtDesktop.h"
#include "qt/XTab.h"
#include "sim/SimulatedBaseStation.h"
#include "tests/support/FailingFileSystem.h"
#include "tests/support/RecordingProvider.h"
#include "ui/ExitStatus.h"
#include "ui/WindowProgram.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include <functional>
#include <tuple>
#include <utility>

namespace z83::guitest {

namespace {

constexpr std::int32_t kDemoModule = 0x1A2B3C;

QDir documents() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QStringList visibleOnTabs(const QWidget* tabs) {
    QStringList names;
    for (const QWidget* child : tabs->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            names << child->objectName();
    names.sort();
    return names;
}

} // namespace

// The test object stands in for the user: it presses the next scripted answer in each message box (else
// Yes, or the only button) and notes what the box said, and it notes the files the window asks the
// desktop to open.
class WindowTest : public QObject {
    Q_OBJECT

public:
    static void initMain() {
        static QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    WindowTest() {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
        connect(&timer_, &QTimer::timeout, this, &WindowTest::answerBox);
        connect(&nested_, &QTimer::timeout, this, &WindowTest::answerBox);
        timer_.start(5);
    }

public slots:
    void open(const QUrl& url) { opened << url.toLocalFile(); }

private:
    std::unique_ptr<sim::SimulatedBaseStation> simulated; // outlives the window's hold on it
    std::vector<test::Call> calls;                        // what the window sent it
    test::FailingFileSystem fileSystem;                   // the real one unless a test makes a step fail
    std::unique_ptr<qt::MainFrm> window;
    std::vector<int> endRequests; // what the error guard asked of the program
    // Each box as `Icon "title": text`, then what was unusual: buttons other than OK alone, a text that
    // could be read as markup, the busy pointer still showing. In shown, the same without the text: the
    // core owns the texts, the window how it shows them.
    QStringList seen, shown;
    QStringList opened;
    QList<QMessageBox::StandardButton> answers;
    std::function<void()> whileBoxShows; // done once, when the next box shows, before it is answered
    // A timer is not called again while its own call runs: a box that shows while another one is being
    // answered (an action let in during an action) is answered and noted by the second, not waited for.
    QTimer timer_, nested_;

    void answerBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) // an answered box hides at once
            return;
        const auto buttons = QMetaEnum::fromType<QMessageBox::StandardButtons>();
        const QString head =
            QStringLiteral("%1 \"%2\"")
                .arg(QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(box->icon()), box->windowTitle());
        QString note;
        if (box->standardButtons() != QMessageBox::Ok)
            note += QStringLiteral(" [%1, default %2]")
                        .arg(buttons.valueToKeys(int(box->standardButtons())),
                             buttons.valueToKey(box->standardButton(box->defaultButton())));
        if (box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->textFormat() != Qt::PlainText)
            note += QStringLiteral(" (markup)");
        if (QGuiApplication::overrideCursor() != nullptr)
            note += QStringLiteral(" (busy pointer)");
        seen << head + ": " + box->text() + note;
        shown << head + note;
        if (whileBoxShows) {
            nested_.start(5);
            std::exchange(whileBoxShows, {})();
            nested_.stop();
        }
        const QMessageBox::StandardButton answer = answers.isEmpty() ? QMessageBox::Yes : answers.takeFirst();
        if (answer == QMessageBox::NoButton) { // Enter: the user takes the default button
            QTest::keyClick(box, Qt::Key_Return);
            return;
        }
        QAbstractButton* button = box->button(answer);
        QTest::mouseClick(button ? button : box->buttons().value(0), Qt::LeftButton);
    }

    // Starts the window on the demo station with a quick pairing, changed as the test asks.
    std::optional<int> start(const std::function<void(sim::Scenario&)>& change = {}) {
        sim::Scenario scenario = sim::demoScenario();
        scenario.pairDelaySeconds = 0.1;
        if (change)
            change(scenario);
        window = std::make_unique<qt::MainFrm>(
            [this, scenario] {
                calls.clear();
                simulated = std::make_unique<sim::SimulatedBaseStation>(scenario);
                return std::make_unique<test::RecordingProvider>(*simulated, calls);
            },
            fileSystem, [this](int status) { endRequests.push_back(status); });
        return window->start();
    }
    template <class T = QWidget> T* find(const char* name) const { return window->findChild<T*>(name); }
    sim::SimulatedBaseStation* station() const { return simulated.get(); }
    int callCount(const std::string& operation, char command = 0) const {
        return test::countCalls(calls, operation, command);
    }
    void extractTyped(const QString& id) { // types the ID and presses the first tab's Extract
        find<QLineEdit>("tbID")->selectAll();
        QTest::keyClicks(find("tbID"), id);
        QTest::mouseClick(find("IKnow"), Qt::LeftButton);
    }
    // The remembered ID in the real per-user store, where the window keeps it; invalid when none is stored.
    static QVariant storedId() {
        const std::optional<std::string> id = readUserSetting("Settings", "ID");
        return id ? QVariant(QString::fromStdString(*id)) : QVariant();
    }

private slots:
    void init() { // nothing seen, no remembered ID, an empty documents folder
        seen.clear();
        shown.clear();
        opened.clear();
        endRequests.clear();
        fileSystem.failing = test::FailingFileSystem::Step::None;
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).removeRecursively();
        for (const QString& name : documents().entryList(QDir::Files))
            documents().remove(name);
    }
    void cleanup() { window.reset(); }

    // ---- Starting and ending.

    void startupFailures() {
        // clang-format off
        // The ID box is stored back only once it held the remembered ID.
        const std::tuple<void (*)(sim::Scenario&), QVariant, QString, int, QVariant> failures[] = {
            {[](sim::Scenario& s) { s.probeError = {-2147221164, "Class not registered"}; }, "ABC123",
             "Critical \"gui_tests\"", 1, "ABC123"},
            {[](sim::Scenario& s) { s.openStatus = 5; }, {}, "Warning \"Warning\"", 0, {}},
            {[](sim::Scenario& s) { s.basePresent = false; }, {}, "Critical \"Warning\"", 1, "0"},
        };
        // clang-format on
        for (const auto& [change, storedBefore, box, closeUsbCalls, storedAfter] : failures) {
            init();
            if (storedBefore.isValid())
                writeUserSetting("Settings", "ID", storedBefore.toString().toStdString());
            QCOMPARE(start(change), std::optional<int>(ui::ExitStatus::StartupFailed));
            QCOMPARE(shown, QStringList{box});
            QVERIFY(!window->isVisible());
            QCOMPARE(callCount("CloseUSB"), closeUsbCalls);
            window.reset(); // destroying the window must not unload it either
            QCOMPARE(storedId(), storedAfter);
        }
    }

    void rememberedIdRoundTrip() {
        // Each start shows what the last close stored: "0" at first, then the typed text, then empty.
        const QString typed = QStringLiteral(" 4d5e6f, no ID at all <b>");
        const QString shownThenTyped[][2] = {{"0", typed}, {typed, ""}, {"", ""}};
        for (const auto& [shown, typedNow] : shownThenTyped) {
            start();
            auto* box = find<QLineEdit>("tbID");
            QCOMPARE(box->text(), shown);
            box->clear();
            QTest::keyClicks(box, typedNow);
            QVERIFY(window->close());
            QCOMPARE(callCount("CloseUSB"), 1);
            QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
            QCOMPARE(storedId(), QVariant(typedNow));
        }
        QCOMPARE(seen, QStringList());
    }

    void componentErrorIsReportedAndEnds() {
        // Wherever the component raises: in a button's action, while loading, while closing.
        for (std::string_view target : {"3", "OpenUSB", "CloseUSB"}) {
            init();
            const std::optional<int> status = start([target](sim::Scenario& s) {
                s.faults.push_back({std::string(target), sim::FaultKind::Raise, 1, 0, 1, 7, "Link dropped"});
            });
            const bool loading = target == "OpenUSB";
            QCOMPARE(status, loading ? std::optional<int>(ui::ExitStatus::ComponentError) : std::nullopt);
            QCOMPARE(window->isVisible(), !loading);
            if (target == "3")
                extractTyped(QStringLiteral("1A2B3C"));
            else if (!loading)
                window->close();
            QCOMPARE(seen, QStringList{"Critical \"gui_tests\": Error 7:\nLink dropped"});
            QCOMPARE(endRequests, std::vector<int>{ui::ExitStatus::ComponentError});
            QCOMPARE(callCount("CloseUSB"), target == "CloseUSB" ? 1 : 0); // ended, not unloaded
        }
    }

    // One action at a time: a click that a box's event loop delivers is dropped, and a close asked for
    // meanwhile waits for the action's end, then unloads once. The busy pointer gives way to the box.
    void aCloseDuringAnActionWaitsAndASecondClickIsDropped() {
        start([](sim::Scenario& s) { s.modules.push_back({0x77, "Z83-PM-VX", {}, {}}); });
        int closed = 0;
        connect(window.get(), &qt::MainFrm::closed, this, [&closed] { ++closed; });
        bool closedAtOnce = true;
        whileBoxShows = [&] {
            find<QPushButton>("IKnow")->click();
            closedAtOnce = window->close();
        };
        extractTyped(QStringLiteral("77"));
        QCOMPARE(shown, QStringList{"Information \"No Logs\""});
        QVERIFY(!closedAtOnce);
        QCOMPARE(callCount("ReadCommand", '3'), 1);
        QCOMPARE(closed, 1);
        QVERIFY(!window->isVisible());
        QCOMPARE(callCount("CloseUSB"), 1);
        QCOMPARE(storedId(), QVariant("77"));
        window->close(); // closing again cannot unload again
        QCOMPARE(callCount("CloseUSB"), 1);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    // ---- End to end.

    // Naming the module either way gives one report of its 25 records in the documents folder, handed to
    // the desktop to open and put on the clipboard, a cleared status line and Clear Log enabled, kept
    // when the tabs are switched.
    void extractTypedOrPairedThenClear() {
        const QString reminder = QStringLiteral("Warning \"Remember To Clear Log Data\"");
        for (bool pairing : {false, true}) {
            init();
            start();
            if (pairing) {
                auto* tabs = find<qt::XTab>("XTab");
                QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
                QTest::mouseClick(find("IDontKnow"), Qt::LeftButton);
                QCOMPARE(visibleOnTabs(tabs), QStringList({"IDontKnow", "Label5"}));
                // Back by keyboard: the first tab's controls only, what the action left kept, nothing sent.
                const std::size_t callsBefore = calls.size();
                tabs->setFocus();
                QTest::keyClick(tabs, Qt::Key_Left);
                QCOMPARE(visibleOnTabs(tabs), QStringList({"IKnow", "Label4", "Label6", "Shape1", "tbID"}));
                QCOMPARE(calls.size(), callsBefore);
            } else {
                extractTyped(QStringLiteral("1A2B3C"));
            }
            QCOMPARE(shown, QStringList{reminder});
            // The demo module's first log, written out by hand, and 24 more.
            const QString lines = QGuiApplication::clipboard()->text();
            QVERIFY(lines.startsWith("1,4/3/2024,10:19:6,4/3/2024,10:19:58,4/3/2024,10:24:23,12.5,SAFE\r\n"));
            QCOMPARE(lines.count("\r\n"), 25);
            const QStringList files = documents().entryList(QDir::Files);
            QVERIFY2(files.size() == 1 && QRegularExpression("^Log\\d{14}\\.CSV$").match(files[0]).hasMatch(),
                     qPrintable(files.join(' ')));
            QFile file(documents().filePath(files[0]));
            QVERIFY(file.open(QIODevice::ReadOnly) &&
                    QString::fromLatin1(file.readAll()).endsWith(lines + "\r\n"));
            QCOMPARE(opened, QStringList{file.fileName()});
            QVERIFY(find("Found")->isVisible() && find<QLabel>("Found")->text().isEmpty());
            QVERIFY(find("cbClear")->isEnabled());
            QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
            QVERIFY(endRequests.empty());
            QCOMPARE(find<QLineEdit>("tbID")->text(),
                     pairing ? "0" : "1A2B3C"); // a paired ID is not typed in
        }

        // Clear Log asks first: No sends nothing, Yes empties the module and says nothing more.
        const QString confirm = QStringLiteral("Question \"Clear All Logs\" [Yes|No, default Yes]");
        answers = {QMessageBox::No};
        QTest::mouseClick(find("cbClear"), Qt::LeftButton);
        QCOMPARE(shown, QStringList({reminder, confirm}));
        QCOMPARE(callCount("WriteCommand", 'W'), 0);
        answers = {QMessageBox::Yes};
        QTest::mouseClick(find("cbClear"), Qt::LeftButton);
        QCOMPARE(shown, QStringList({reminder, confirm, confirm}));
        QCOMPARE(callCount("WriteCommand", 'W'), 1);
        QVERIFY(station()->module(kDemoModule)->records.empty());
    }

    // The link drops after log 5: ten failure boxes at most, one "Link Lost" that names the report opened,
    // and no Clear Log. A report with flagged logs: Enter answers No to Clear Log's question.
    void lostLinkAndFlaggedLogs() {
        start([](sim::Scenario& s) {
            s.faults.push_back({"U", sim::FaultKind::Status, 6, 0});
            s.faults.push_back({"S", sim::FaultKind::Status, 3, 0});
        });
        extractTyped(QStringLiteral("1A2B3C"));
        QVERIFY2(seen.size() <= 11, qPrintable(seen.join('\n')));
        QCOMPARE(seen.filter(QStringLiteral("Link Lost")).size(), 1);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(shown.last(), "Critical \"Link Lost\"");
        QVERIFY2(seen.last().contains("(" + opened[0] + ")"), qPrintable(seen.last()));
        QVERIFY(!find("cbClear")->isEnabled());
        QCOMPARE(QGuiApplication::clipboard()->text().count("\r\n"), 5);

        init();
        start([](sim::Scenario& s) { s.faults.push_back({"U", sim::FaultKind::BadCrc, 2, 1}); });
        extractTyped(QStringLiteral("1A2B3C"));
        shown.clear();
        answers = {QMessageBox::NoButton};
        QTest::mouseClick(find("cbClear"), Qt::LeftButton);
        QCOMPARE(shown, QStringList{"Question \"Clear All Logs\" [Yes|No, default No]"});
        QCOMPARE(callCount("WriteCommand", 'W'), 0);
    }

    // A report that cannot be saved while another program holds the clipboard: the box must not send the
    // user to the clipboard for the logs, and Clear Log stays off.
    void unsavedReportWithTheClipboardHeldElsewhere() {
        fileSystem.failing = test::FailingFileSystem::Step::Sync;
        QClipboard* clipboard = QGuiApplication::clipboard();
        const auto held = connect(clipboard, &QClipboard::dataChanged, this, [clipboard] {
            if (clipboard->text() != QLatin1String("held"))
                clipboard->setText(QStringLiteral("held"));
        });
        start();
        extractTyped(QStringLiteral("1A2B3C"));
        disconnect(held);
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].startsWith("Critical \"Report Not Saved\"") &&
                     seen[0].contains("The logs could not be put on the clipboard either."),
                 qPrintable(seen[0]));
        QVERIFY(!find("cbClear")->isEnabled());
    }

    // A recording (--record) or a journal that cannot be written is told in one box per run, never again,
    // while the window works as ever: the recording's after the start, the journal's after the action's own.
    void recordingAndJournalTroubleIsToldOnce() {
        QTemporaryFile notes; // holds no recording, so it is kept; and it is no folder for the journal
        QVERIFY(notes.open() && notes.write("mine") == 4 && notes.flush());
        qputenv("XDG_DATA_HOME", notes.fileName().toLocal8Bit());
        ui::Launch launched =
            ui::launch({"--record", notes.fileName().toStdString()}, "z83-log-extraction", fileSystem);
        window = std::make_unique<qt::MainFrm>(std::move(launched.createProvider), fileSystem,
                                               [this](int status) { endRequests.push_back(status); });
        window->tellRecordingTrouble(launched.recording);
        QVERIFY(!window->start());
        extractTyped(QStringLiteral("1A2B3C"));
        extractTyped(QStringLiteral("1A2B3C"));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(seen.size(), 4);
        QVERIFY2(
            seen[0].startsWith("Warning \"Recording\": The session is not recorded: " + notes.fileName()),
            qPrintable(seen[0]));
        QVERIFY2(seen[2].startsWith("Warning \"Journal Not Written\": The journal of extractions and clears "
                                    "could not be written: could not create the folder " +
                                    notes.fileName()),
                 qPrintable(seen[2]));
        QVERIFY(seen[1].contains("Remember To Clear Log Data") && seen[3] == seen[1]);
        QCOMPARE(documents().entryList(QDir::Files).size(), 2);
        window.reset();
    }
};

} // namespace z83::guitest

QTEST_MAIN(z83::guitest::WindowTest)
#include "WindowTest.moc"
