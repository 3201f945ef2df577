#include "desktop/CommandLine.h"
#include "qt/MainFrm.h"
#include "ui/ExitStatus.h"
#include "ui/WindowProgram.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace z83::qt;
using namespace z83::ui;

namespace {

// Whether a window can be opened at all: a display to connect to, or a platform chosen explicitly.
bool displayAvailable() {
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(variable); value && *value)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const std::string program =
        argc > 0 ? std::filesystem::path(argv[0]).filename().string() : std::string("z83-log-extraction");
    z83::FileSystem& fileSystem = nativeFileSystem();
    Launch launched = launch(z83::commandLineArguments(argc, argv), program, fileSystem);
    if (launched.endWith) {
        (launched.error ? std::cerr : std::cout) << launched.text;
        return *launched.endWith;
    }

    // Without a display Qt would abort; say what is missing instead.
    if (!displayAvailable()) {
        std::cerr << program
                  << ": a graphical display is needed to open the window, and none is set "
                     "(DISPLAY and WAYLAND_DISPLAY are empty)\n";
        return ExitStatus::NoDisplay;
    }

    QApplication application(argc, argv);
    MainFrm window(std::move(launched.createProvider), fileSystem);
    window.tellRecordingTrouble(launched.recording);
    QObject::connect(&window, &MainFrm::closed, &application, &QCoreApplication::quit);
    if (const auto status = window.start())
        return *status;
    return application.exec();
}
