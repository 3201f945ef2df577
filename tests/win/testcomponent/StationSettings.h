#pragma once

#include <optional>
#include <string>

namespace z83::teststation {

// How the station describes its operations to a caller.
enum class Declarations {
    None,       // no type library: the caller must pass the contract's types
    Library,    // the type library's _Station, which a caller must follow
    Mismatched, // _MismatchedStation, whose ReadCommand takes a 16-bit ID
    Undeclared, // strict about _Station's types, but without handing out the type library
};

// What a test asks of the station, read whenever an instance is created. Each comes from an environment
// variable, the scenario also from HKEY_CURRENT_USER\Software\Z83TestStation, value Scenario.
struct StationSettings {
    std::optional<std::string> scenarioFile;           // Z83_TEST_STATION_SCENARIO; none: the built-in demo
    Declarations declarations = Declarations::Library; // Z83_TEST_STATION_TYPES: none, library, mismatched
                                                       // or undeclared
    std::optional<std::string>
        stateFile; // Z83_TEST_STATION_STATE: remembers cleared modules across processes
    // Z83_TEST_STATION_MESSAGES=1: as a component with a hidden window for its own traffic, OpenUSB posts
    // that window a message, and reads fail until the caller's thread has dispatched it.
    bool needsMessages = false;
};

StationSettings readStationSettings();

} // namespace z83::teststation
