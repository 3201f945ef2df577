#include "GuiHarness.h"

#include "QtDesktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>

namespace z83::guitest {

BoxAnswerer::BoxAnswerer() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::poll);
    timer_.start();
}

void BoxAnswerer::poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
        return;
    if (std::find(handled_.begin(), handled_.end(), box) != handled_.end())
        return;
    handled_.emplace_back(box);
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    QPushButton* defaultButton = box->defaultButton();
    seen.push_back({box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                    defaultButton ? box->standardButton(defaultButton) : QMessageBox::NoButton,
                    label ? label->textFormat() : Qt::AutoText,
                    QGuiApplication::overrideCursor() != nullptr});

    QMessageBox::StandardButton answer =
        box->standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    QAbstractButton* button = box->button(answer);
    if (button == nullptr)
        button = box->buttons().value(0); // never leave a box open: the test would hang
    QTest::mouseClick(button, Qt::LeftButton);
}

OpenedFiles::OpenedFiles() {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

OpenedFiles::~OpenedFiles() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

int Rig::callCount(const std::string& operation, char command) const {
    return static_cast<int>(
        std::count_if(station->calls().begin(), station->calls().end(), [&](const sim::Call& c) {
            return c.operation == operation && (command == 0 || c.command == command);
        }));
}

std::unique_ptr<Rig> startRig(const sim::Scenario& scenario) {
    auto rig = std::make_unique<Rig>();
    rig->station = std::make_shared<sim::SimulatedBaseStation>(scenario);
    Rig* raw = rig.get();
    rig->window = std::make_unique<app::MainFrm>(
        [station = rig->station] { return std::make_unique<SharedStation>(station); },
        [raw](int status) { raw->endRequests.push_back(status); });
    rig->startStatus = rig->window->start();
    return rig;
}

sim::Scenario quickDemo() {
    sim::Scenario scenario = sim::demoScenario();
    scenario.pairDelaySeconds = 0.1;
    return scenario;
}

namespace {

QSettings userStore() {
    const QString name = app::executableName();
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, name, name);
}

} // namespace

std::optional<QString> storedId() {
    QSettings store = userStore();
    const QVariant value = store.value(QStringLiteral("Settings/ID"));
    return value.isValid() ? std::optional<QString>(value.toString()) : std::nullopt;
}

void setStoredId(const std::optional<QString>& id) {
    QSettings store = userStore();
    if (id)
        store.setValue(QStringLiteral("Settings/ID"), *id);
    else
        store.remove(QStringLiteral("Settings/ID"));
    store.sync();
}

QString documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void emptyDocumentsFolder() {
    QDir folder(documentsFolder());
    for (const QString& name : folder.entryList(QDir::Files))
        folder.remove(name);
}

} // namespace z83::guitest
