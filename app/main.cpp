#include "ExitStatus.h"
#include "MainFrm.h"
#include "ScenarioFile.h"
#include "SimulatedBaseStation.h"
#include "StartOptions.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace z83::app;

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
        std::cout << program << ' ' << Z83_VERSION << '\n';
        return ExitStatus::Closed;
    case StartOptions::Request::Invalid:
        std::cerr << program << ": " << options.error << "\nTry '" << program << " --help'.\n";
        return ExitStatus::Usage;
    case StartOptions::Request::Run:
        break;
    }

    z83::sim::Scenario scenario;
    try {
        scenario = options.scenarioFile ? z83::sim::loadScenarioFile(*options.scenarioFile)
                                        : z83::sim::demoScenario();
    } catch (const z83::sim::ScenarioError& error) {
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
    MainFrm window([scenario] { return std::make_unique<z83::sim::SimulatedBaseStation>(scenario); });
    QObject::connect(&window, &MainFrm::closed, &application, &QCoreApplication::quit);
    if (const auto status = window.start())
        return *status;
    return application.exec();
}
