#include "Backend.h"
#include "ExitStatus.h"
#include "MainFrm.h"
#include "PosixFileSystem.h"
#include "StartOptions.h"
#include "Version.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace z83::app;
using namespace z83::shell;

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
    const StartOptions options =
        parseStartOptions(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    switch (options.request) {
    case StartOptions::Request::Help:
        std::cout << usageText(program);
        return ExitStatus::Closed;
    case StartOptions::Request::Version:
        std::cout << program << ' ' << z83::kVersion << '\n';
        return ExitStatus::Closed;
    case StartOptions::Request::Invalid:
        std::cerr << program << ": " << options.error << "\nTry '" << program << " --help'.\n";
        return ExitStatus::Usage;
    case StartOptions::Request::Run:
        break;
    }

    z83::ProviderFactory createProvider;
    try {
        createProvider = z83::makeProviderFactory(options.backend);
    } catch (const z83::BackendError& error) {
        std::cerr << program << ": " << error.what() << '\n';
        return ExitStatus::Usage;
    }

    // Without a display Qt would abort; say what is missing instead.
    if (!displayAvailable()) {
        std::cerr << program
                  << ": a graphical display is needed to open the window, and none is set "
                     "(DISPLAY and WAYLAND_DISPLAY are empty)\n";
        return ExitStatus::NoDisplay;
    }

    QApplication application(argc, argv);
    z83::PosixFileSystem fileSystem;
    MainFrm window(std::move(createProvider), fileSystem);
    QObject::connect(&window, &MainFrm::closed, &application, &QCoreApplication::quit);
    if (const auto status = window.start())
        return *status;
    return application.exec();
}
