#include "StartOptions.h"

#include <cstdlib>

namespace z83::app {

namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

} // namespace

StartOptions parseStartOptions(const std::vector<std::string>& arguments) {
    StartOptions options;
    auto invalid = [&options](std::string error) {
        options.request = StartOptions::Request::Invalid;
        options.error = std::move(error);
        return options;
    };
    const std::string scenarioPrefix = "--scenario=";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.request = StartOptions::Request::Help;
            return options;
        }
        if (argument == "--version") {
            options.request = StartOptions::Request::Version;
            return options;
        }
        std::string file;
        if (argument == "--scenario") {
            if (i + 1 == arguments.size())
                return invalid("--scenario needs a file name");
            file = arguments[++i];
        } else if (argument.rfind(scenarioPrefix, 0) == 0) {
            file = argument.substr(scenarioPrefix.size());
        } else {
            return invalid("unknown argument '" + argument + "'");
        }
        if (file.empty())
            return invalid("--scenario needs a file name");
        if (options.backend.kind == BackendChoice::Kind::Scenario)
            return invalid("--scenario given more than once");
        options.backend = {BackendChoice::Kind::Scenario, file, {}};
    }
    return options;
}

std::string usageText(const std::string& program) {
    return "Usage: " + program +
           " [--scenario FILE]\n"
           "Extracts the event logs of a handheld module through the base station into a CSV report.\n"
           "\n"
           "Options:\n"
           "  --scenario FILE  simulate the base station and modules described in FILE (JSON)\n"
           "                   instead of the built-in demonstration\n"
           "  -h, --help       show this help and exit\n"
           "  --version        show the version and exit\n"
           "\n"
           "The window needs a graphical display (DISPLAY or WAYLAND_DISPLAY, or QT_QPA_PLATFORM).\n"
           "Exit status: 0 window closed, 1 a start-up check failed, 2 bad command line or scenario,\n"
           "3 no display, 4 the base station component reported an error.\n";
}

bool displayAvailable() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

} // namespace z83::app
