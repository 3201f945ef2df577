#pragma once

#include "sim/ModuleLogs.h"

#include <cstdint>

namespace z83::sim {

// Appends count realistic records, numbered on from the records already there: times that only move
// forward from January 2024, varied peak values, now and then an overload. The same seed always gives the
// same records on every platform.
void appendGeneratedLogs(ModuleLogs& records, std::uint32_t count, std::uint32_t seed);

} // namespace z83::sim
