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
    std::string record;
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
        // --scenario FILE or --scenario=FILE; --progid likewise where the component can be used; --record.
        std::string name = argument.substr(0, argument.find('=')), value;
        const bool known =
            name == "--scenario" || name == "--record" || (name == "--progid" && componentAvailable());
        if (!known)
            return invalid("unknown argument '" + argument + "'");
        if (name.size() < argument.size())
            value = argument.substr(name.size() + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        if (value.empty())
            return invalid(name + (name == "--progid" ? " needs a class name" : " needs a file name"));
        if (name == "--record") {
            if (!record.empty())
                return invalid("give --record once");
            record = value;
            continue;
        }
        if (chosen)
            return invalid("give one of --scenario and --progid, once");
        chosen = true;
        if (name == "--scenario") {
            options.backend.kind = BackendChoice::Kind::Scenario;
            options.backend.scenarioFile = value;
        } else {
            options.backend.kind = BackendChoice::Kind::Component;
            options.backend.progId = value;
        }
    }
    options.backend.recordFile = record;
    return options;
}

std::string usageText(const std::string& program) {
    std::string text = "Usage: " + program +
                       (componentAvailable() ? " [--scenario FILE | --progid PROGID] [--record FILE]\n"
                                             : " [--scenario FILE] [--record FILE]\n");
    text += "Extracts the event logs of a handheld module through the base station into a CSV report.\n"
            "\n"
            "Options:\n"
            "  --scenario FILE  simulate the base station and modules described in FILE (JSON)\n";
    text += componentAvailable() ? "                   instead of using the maker's component\n"
                                   "  --progid PROGID  create the maker's component from this class\n"
                                 : "                   instead of the built-in demonstration\n";
    text += "  --record FILE    write every call to the base station into FILE (JSON), for the\n"
            "                   developers; --scenario FILE replays it\n"
            "  -h, --help       show this help and exit\n"
            "  --version        show the version and exit\n"
            "\n"
            "Exit status: 0 window closed, 1 a start-up check failed, 2 bad command line or scenario,\n"
            "3 no display, 4 the base station component reported an error.\n";
    return text;
}

} // namespace z83::ui
