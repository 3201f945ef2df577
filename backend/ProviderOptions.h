#pragma once

#include "backend/Backend.h"

#include <string>
#include <string_view>
#include <vector>

namespace z83 {

// The options that choose the base station, alike in every program: --scenario FILE, --progid PROGID (only
// where the component can be used) and --record FILE, each once, as "--name VALUE" or "--name=VALUE".
struct ProviderOptions {
    BackendChoice backend = defaultBackend();
    std::vector<std::string> given; // the names of those given, even with a bad value
    std::vector<std::string> rest;  // every other argument, in order, for the program's own options
    std::string error;              // why they cannot be taken as given; empty when they can
    bool gave(std::string_view name) const;
};

// Takes the provider options out of the arguments after the program name; an argument "--" ends them.
ProviderOptions takeProviderOptions(const std::vector<std::string>& arguments);

// A provider option as every program's --help describes it; help lines are separated by '\n'.
struct ProviderOptionHelp {
    std::string name, value, help;
};
// Those this build offers, in the order --help lists them.
std::vector<ProviderOptionHelp> providerOptionHelp();

} // namespace z83
