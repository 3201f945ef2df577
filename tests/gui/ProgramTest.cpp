// The built window program's command line, run as its own process with no display at all.
#include "WindowTests.h"

#include "ExitStatus.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace z83::guitest {

void ProgramTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // expected in stdout on success, in stderr otherwise
    QTest::newRow("version") << QStringList{"--version"} << app::ExitStatus::Closed
                             << QStringLiteral("1.3.0");
    QTest::newRow("help") << QStringList{"--help"} << app::ExitStatus::Closed
                          << QStringLiteral("--scenario FILE");
    QTest::newRow("unknown argument")
        << QStringList{"--bogus"} << app::ExitStatus::Usage << QStringLiteral("unknown argument '--bogus'");
    QTest::newRow("scenario without file") << QStringList{"--scenario"} << app::ExitStatus::Usage
                                           << QStringLiteral("--scenario needs a file name");
    QTest::newRow("unreadable scenario") << QStringList{"--scenario", "no-such-scenario.json"}
                                         << app::ExitStatus::Usage << QStringLiteral("no-such-scenario.json");
    QTest::newRow("no display") << QStringList{} << app::ExitStatus::NoDisplay
                                << QStringLiteral("a graphical display is needed");
}

void ProgramTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("HOME"), home.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home.path());
    program.start(QStringLiteral(Z83_WINDOW_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QString shown = QString::fromLocal8Bit(exitCode == 0 ? program.readAllStandardOutput()
                                                               : program.readAllStandardError());
    QVERIFY2(shown.contains(output), qPrintable(shown));
}

} // namespace z83::guitest
