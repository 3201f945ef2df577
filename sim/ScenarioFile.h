#pragma once

#include "desktop/JsonFieldReader.h"
#include "sim/SimulatedBaseStation.h"

#include <string>
#include <string_view>

namespace z83::sim {

// A scenario file that cannot be used; what() names the file, the field as a JSON path and the fault.
using ScenarioError = JsonFileError;

Scenario parseScenario(std::string_view jsonText, const std::string& fileName);
Scenario scenarioFrom(const JsonFieldReader::Json& root, const std::string& fileName);
Scenario loadScenarioFile(const std::string& path);
// The text of a scenario or recording file; refuses one that cannot be read or is over 64 MiB.
std::string readStationText(const std::string& path);

} // namespace z83::sim
