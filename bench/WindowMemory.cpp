// Whether the window's memory stays put with use: it extracts a module's logs several times over and
// prints its resident memory after each press of Extract. Exits with 1 when the last press left the
// window holding clearly more than the first did. Runs on the offscreen platform.
// Usage: window_memory SCENARIO [PRESSES]   (the scenario's module 1A2B3C; default 4 presses)
#include "backend/Backend.h"
#include "extract/NativeFileSystem.h"
#include "qt/MainFrm.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

// Resident memory in KiB, after handing freed memory back to the system so only what is held counts.
long residentKiB() {
    ::malloc_trim(0);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SCENARIO [PRESSES]\n", argv[0]);
        return 2;
    }
    const int presses = argc > 2 ? std::stoi(argv[2]) : 4;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    static int qtArgc = 1;
    QApplication application(qtArgc, argv);

    z83::NativeFileSystem fileSystem;
    z83::BackendChoice station;
    station.kind = z83::BackendChoice::Kind::Scenario;
    station.scenarioFile = argv[1];
    z83::qt::MainFrm window(z83::makeProviderFactory(station), fileSystem,
                            [](int status) { std::exit(status); });
    if (window.start())
        return 1;
    // The reminder box after every extraction: OK it as a user would.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    answer.start(10);

    window.findChild<QLineEdit*>(QStringLiteral("tbID"))->setText(QStringLiteral("1A2B3C"));
    long first = 0, last = 0;
    for (int press = 1; press <= presses; ++press) {
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("IKnow")), Qt::LeftButton);
        last = residentKiB();
        if (press == 1)
            first = last;
        std::printf("after extraction %d: %ld KiB resident\n", press, last);
    }
    const auto reports = QDir(home.path() + QStringLiteral("/Documents")).entryList(QDir::Files).size();
    if (reports != presses) {
        std::printf("expected %d reports, found %lld: the extractions did not all run\n", presses,
                    static_cast<long long>(reports));
        return 1;
    }
    // A few hundred KiB of allocator slack is no growth; a record of every link call would be about 6 MiB
    // per press of a full module.
    const long allowed = first / 20 + 1024;
    std::printf("growth from the first to the last: %ld KiB (allowed %ld)\n", last - first, allowed);
    return last - first > allowed ? 1 : 0;
}
