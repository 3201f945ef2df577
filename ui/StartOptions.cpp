#include "ui/StartOptions.h"

namespace z83::ui {

StartOptions parseStartOptions(const std::vector<std::string>& arguments) {
    StartOptions options;
    auto invalid = [&options](std::string error) {
        options.request = StartOptions::Request::Invalid;
        options.error = std::move(error);
        return options;
    };
    bool chosen = false;
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
        // --scenario FILE or --scenario=FILE; --progid likewise where the component can be used.
        std::string name = argument.substr(0, argument.find('=')), value;
        const bool known = name == "--scenario" || (name == "--progid" && componentAvailable());
        if (!known)
            return invalid("unknown argument '" + argument + "'");
        if (name.size() < argument.size())
            value = argument.substr(name.size() + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        if (value.empty())
            return invalid(name + (name == "--scenario" ? " needs a file name" : " needs a class name"));
        if (chosen)
            return invalid("give one of --scenario and --progid, once");
        chosen = true;
        options.backend = name == "--scenario" ? BackendChoice{BackendChoice::Kind::Scenario, value, {}}
                                               : BackendChoice{BackendChoice::Kind::Component, {}, value};
    }
    return options;
}

std::string usageText(const std::string& program) {
    std::string text =
        "Usage: " + program +
        (componentAvailable() ? " [--scenario FILE | --progid PROGID]\n" : " [--scenario FILE]\n");
    text += "Extracts the event logs of a handheld module through the base station into a CSV report.\n"
            "\n"
            "Options:\n"
            "  --scenario FILE  simulate the base station and modules described in FILE (JSON)\n";
    text += componentAvailable() ? "                   instead of using the maker's component\n"
                                   "  --progid PROGID  create the maker's component from this class\n"
                                 : "                   instead of the built-in demonstration\n";
    text += "  -h, --help       show this help and exit\n"
            "  --version        show the version and exit\n"
            "\n"
            "Exit status: 0 window closed, 1 a start-up check failed, 2 bad command line or scenario,\n"
            "3 no display, 4 the base station component reported an error.\n";
    return text;
}

} // namespace z83::ui
