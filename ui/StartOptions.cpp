#include "ui/StartOptions.h"

#include "backend/ProviderOptions.h"

#include <algorithm>

namespace z83::ui {

StartOptions parseStartOptions(const std::vector<std::string>& arguments) {
    StartOptions options;
    ProviderOptions provider = takeProviderOptions(arguments);
    for (const std::string& argument : provider.rest) {
        if (argument == "--help" || argument == "-h") {
            options.request = StartOptions::Request::Help;
            return options;
        }
        if (argument == "--version") {
            options.request = StartOptions::Request::Version;
            return options;
        }
        options.request = StartOptions::Request::Invalid;
        options.error = "unknown argument '" + argument + "'";
        return options;
    }
    if (!provider.error.empty()) {
        options.request = StartOptions::Request::Invalid;
        options.error = std::move(provider.error);
        return options;
    }
    options.backend = std::move(provider.backend);
    return options;
}

std::string usageText(const std::string& program) {
    std::string text = "Usage: " + program +
                       (componentAvailable() ? " [--scenario FILE | --progid PROGID] [--record FILE]\n"
                                             : " [--scenario FILE] [--record FILE]\n");
    text += "Extracts the event logs of a handheld module through the base station into a CSV report.\n"
            "\n"
            "Options:\n";
    for (const ProviderOptionHelp& option : providerOptionHelp()) {
        std::string line = "  " + option.name + " " + option.value;
        for (std::size_t start = 0; start < option.help.size();) {
            const std::size_t end = std::min(option.help.find('\n', start), option.help.size());
            text += line + std::string(19 - std::min<std::size_t>(line.size(), 17), ' ') +
                    option.help.substr(start, end - start) + "\n";
            line.clear();
            start = end + 1;
        }
    }
    text += "  -h, --help       show this help and exit\n"
            "  --version        show the version and exit\n"
            "\n"
            "Exit status: 0 window closed, 1 a start-up check failed, 2 bad command line or scenario,\n"
            "3 no display, 4 the base station component reported an error.\n";
    return text;
}

} // namespace z83::ui
