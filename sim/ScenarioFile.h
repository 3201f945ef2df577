#pragma once

#include "SimulatedBaseStation.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace z83::sim {

// A scenario file that cannot be used. what() names the file, the field as a JSON path and the fault,
// e.g. "flaky.json: /modules/0/id: expected a hexadecimal ID text, got 12".
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Scenario parseScenario(std::string_view jsonText, const std::string& fileName);
Scenario loadScenarioFile(const std::string& path);

} // namespace z83::sim
