#pragma once

#include "sim/Recording.h"
#include "sim/ScenarioFile.h"

#include <string>
#include <string_view>
#include <variant>

namespace z83::sim {

// What a --scenario file describes: a simulated station, or a recorded session to answer as it went. The
// document's shape decides: a recording has "calls".
using StationFile = std::variant<Scenario, Recording>;

// Throws JsonFileError naming the file, the field and the fault.
StationFile parseStationFile(std::string text, const std::string& fileName);
StationFile loadStationFile(const std::string& path);

} // namespace z83::sim
