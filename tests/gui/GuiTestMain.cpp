// Runs every window test group on one application object, with HOME, the settings store and the
// documents folder moved to a temporary folder so the user's own files are never touched.
#include "WindowTests.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot make a temporary home folder\n");
        return 1;
    }
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(".config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(".local/share").toLocal8Bit());
    QDir(home.path()).mkdir(QStringLiteral("run"));
    QFile::setPermissions(QDir(home.path()).filePath("run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QDir(home.path()).filePath("run").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    int failed = 0;
    {
        z83::guitest::WindowLookTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        z83::guitest::StartupTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        z83::guitest::ExtractionFlowTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        z83::guitest::ProgramTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
