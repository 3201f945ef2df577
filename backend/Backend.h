#pragma once

#include "extract/FileSystem.h"
#include "link/DataProvider.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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
    std::string recordFile;   // where to record every call of the session; empty: nowhere
    // For Component: service the thread's posted and sent messages before each call and during the waits,
    // as a program without a window loop must for a component with a hidden window or timer of its own.
    bool serviceMessages = false;
};

// Whether the maker's component can be used by this build: only the Windows programs can load it.
bool componentAvailable();
// The component where it can be used, the built-in demo elsewhere.
BackendChoice defaultBackend();

// What answers the program's calls, as reports and recordings name it.
std::string describeBackend(const BackendChoice& choice);

// A backend that cannot be set up, such as an unusable scenario file; what() says why.
class BackendError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What creates the provider at start-up. A scenario file is read here, once, so that a bad one is refused
// before a window opens. Throws BackendError.
ProviderFactory makeProviderFactory(const BackendChoice& choice);

class SessionRecording;
// What a front end starts with: the provider factory, wrapped so that every call is recorded into
// choice.recordFile when one is given. program is the program's name and version, arguments its command
// line after the name, both for the recording's header. Throws BackendError.
struct ProviderSetup {
    ProviderFactory createProvider;
    std::shared_ptr<SessionRecording> recording; // none without a record file
};
ProviderSetup setUpProvider(const BackendChoice& choice, const std::string& program,
                            const std::vector<std::string>& arguments, FileSystem& fileSystem);

} // namespace z83
