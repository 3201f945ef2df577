#pragma once

#include "MainFrm.h"
#include "SimulatedBaseStation.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace z83::guitest {

// Hands the session a station the test keeps, so the test can still look at it after unloading.
class SharedStation : public DataProvider {
public:
    explicit SharedStation(std::shared_ptr<sim::SimulatedBaseStation> station)
        : station_(std::move(station)) {}

    std::int16_t OpenUSB(std::int32_t a, std::int32_t b) override { return pass(station_->OpenUSB(a, b)); }
    void CloseUSB() override {
        station_->CloseUSB();
        pass(0);
    }
    std::int32_t ProbeProvider() override { return pass(station_->ProbeProvider()); }
    std::uint8_t ReadBaseByte(std::int32_t which) override { return pass(station_->ReadBaseByte(which)); }
    std::int32_t PairModule(std::int32_t a, std::int32_t b, std::int32_t s, std::int32_t& id,
                            std::int32_t& second) override {
        return pass(station_->PairModule(a, b, s, id, second));
    }
    std::int32_t DetectBase(std::int32_t which) override { return pass(station_->DetectBase(which)); }
    std::int16_t WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                              std::string& text) override {
        return pass(station_->WriteCommand(one, id, command, text));
    }
    std::int16_t ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& command,
                             std::string& text) override {
        return pass(station_->ReadCommand(one, id, command, text));
    }

private:
    template <class T> T pass(T result) {
        setCurrentError(station_->currentError());
        return result;
    }
    std::shared_ptr<sim::SimulatedBaseStation> station_;
};

// One message box as the user saw it.
struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    Qt::TextFormat labelFormat;
    bool busyPointer;
};

// Watches for modal message boxes, records each and presses the next scripted answer (OK, or Yes when
// nothing is scripted for a Yes/No box).
class BoxAnswerer : public QObject {
    Q_OBJECT

public:
    BoxAnswerer();
    std::vector<SeenBox> seen;
    std::deque<QMessageBox::StandardButton> answers;

private:
    void poll();
    QTimer timer_;
    std::vector<QPointer<QMessageBox>> handled_;
};

// Records what the window asked the desktop to open, instead of starting another program.
class OpenedFiles : public QObject {
    Q_OBJECT

public:
    OpenedFiles();
    ~OpenedFiles() override;
    QStringList paths;

public slots:
    void open(const QUrl& url) { paths.append(url.toLocalFile()); }
};

// A window started on a simulated station, with what the action guard asked for.
struct Rig {
    std::shared_ptr<sim::SimulatedBaseStation> station;
    std::unique_ptr<app::MainFrm> window;
    std::optional<int> startStatus;
    std::vector<int> endRequests;

    template <class T> T* find(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }
    int callCount(const std::string& operation, char command = 0) const;
};

std::unique_ptr<Rig> startRig(const sim::Scenario& scenario);

// The demo station with a quick pairing, so tests need not wait for the user's power-cycle.
sim::Scenario quickDemo();

// The remembered ID as the per-user store holds it, read independently of the window.
std::optional<QString> storedId();
void setStoredId(const std::optional<QString>& id);

QString documentsFolder();
void emptyDocumentsFolder();

} // namespace z83::guitest
