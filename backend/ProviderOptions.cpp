#include "backend/ProviderOptions.h"

#include <algorithm>

namespace z83 {

namespace {

bool isProviderOption(const std::string& name) {
    return name == "--scenario" || name == "--record" || (name == "--progid" && componentAvailable());
}

// Why the value cannot be used; empty when it can.
std::string valueProblem(const std::string& name, const std::string& value) {
    if (!value.empty())
        return {};
    return name + (name == "--progid" ? " needs a class name" : " needs a file name");
}

// Puts one option's value where it belongs; why not when it cannot go there.
std::string take(ProviderOptions& options, const std::string& name, const std::string& value) {
    if (options.gave(name))
        return name + " is given more than once; give it once";
    const bool chosen = options.gave("--scenario") || options.gave("--progid");
    options.given.push_back(name);
    if (name != "--record" && chosen)
        return "give either --scenario or --progid, not both";
    if (std::string problem = valueProblem(name, value); !problem.empty())
        return problem;
    if (name == "--record") {
        options.backend.recordFile = value;
    } else if (name == "--scenario") {
        options.backend.kind = BackendChoice::Kind::Scenario;
        options.backend.scenarioFile = value;
    } else {
        options.backend.kind = BackendChoice::Kind::Component;
        options.backend.progId = value;
    }
    return {};
}

} // namespace

bool ProviderOptions::gave(std::string_view name) const {
    return std::find(given.begin(), given.end(), name) != given.end();
}

ProviderOptions takeProviderOptions(const std::vector<std::string>& arguments) {
    ProviderOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const std::string name = argument.substr(0, argument.find('='));
        if (argument == "--") {
            options.rest.insert(options.rest.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i),
                                arguments.end());
            break;
        }
        if (!isProviderOption(name)) {
            options.rest.push_back(argument);
            continue;
        }
        std::string value;
        if (name.size() < argument.size())
            value = argument.substr(name.size() + 1);
        // The next argument is the value unless it is another option: "--record --quiet" lacks a file name.
        else if (i + 1 < arguments.size() && (arguments[i + 1].size() < 2 || arguments[i + 1][0] != '-'))
            value = arguments[++i];
        std::string problem = take(options, name, value);
        if (options.error.empty())
            options.error = std::move(problem);
    }
    return options;
}

std::vector<ProviderOptionHelp> providerOptionHelp() {
    std::vector<ProviderOptionHelp> help{
        {"--scenario", "FILE",
         std::string("simulate the base station and modules described in FILE (JSON)\ninstead of ") +
             (componentAvailable() ? "using the maker's component" : "the built-in demonstration")}};
    if (componentAvailable())
        help.push_back({"--progid", "PROGID",
                        "create the maker's component from this class (ProgID), when the\n"
                        "registry holds none or more than one"});
    help.push_back({"--record", "FILE",
                    "write every call to the base station into FILE (JSON), for the\n"
                    "developers; --scenario FILE replays it"});
    return help;
}

} // namespace z83
