#pragma once

#include "link/ComponentInspection.h"

#include <string>

namespace z83::win {

// The class is the one the programs would create (asked for with --progid, else chosen as they choose it).
ComponentInspection inspectComponent(const std::string& asked);

} // namespace z83::win
