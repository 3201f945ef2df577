#pragma once

#include "link/DataProvider.h"

#include <stdexcept>
#include <string>

namespace z83 {

// Which base station the program talks to; every front end offers the same choices.
struct BackendChoice {
    enum class Kind {
        Demo,      // the built-in simulated station
        Scenario,  // a simulated station described by a scenario file
        Component, // the maker's device-access component (Windows only)
    };
    Kind kind = Kind::Demo;
    std::string scenarioFile; // for Scenario
    std::string progId;       // for Component: the class to create; empty: the one registered
};

// Whether the maker's component can be used by this build: only the Windows programs can load it.
bool componentAvailable();
// The component where it can be used, the built-in demo elsewhere.
BackendChoice defaultBackend();

// A backend that cannot be set up, such as an unusable scenario file; what() says why.
class BackendError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What creates the provider at start-up. A scenario file is read here, once, so that a bad one is refused
// before a window opens. Throws BackendError.
ProviderFactory makeProviderFactory(const BackendChoice& choice);

} // namespace z83
