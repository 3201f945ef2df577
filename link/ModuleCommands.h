#pragma once

#include "desktop/Desktop.h"
#include "link/DataProvider.h"
#include "link/Wire.h"

#include <cstdint>
#include <string>

namespace z83 {

// Reads one module parameter. On success the reply, cut at its first NUL, goes to Value. On a nonzero
// status: default pointer, the "Error" box, status line emptied, Value untouched, false.
bool MRead(DataProvider& DP, Desktop& desktop, std::int32_t& ID, std::uint8_t& Command, std::string& Value,
           const std::string& Description);

// Writes one module parameter, sent as Value followed by two NULs. Failure as for MRead.
bool MWrite(DataProvider& DP, Desktop& desktop, std::int32_t& ID, std::uint8_t& Command,
            const std::string& Value, const std::string& Description);

} // namespace z83
