#pragma once

#include "DataProvider.h"
#include "Desktop.h"

#include <cstdint>
#include <string>

namespace z83 {

// Command codes of the module parameters the program reads and writes.
namespace Cmd {
inline constexpr std::uint8_t Model = '3';    // read: the model text
inline constexpr std::uint8_t LogIndex = 'S'; // write: the log index, a log number in decimal
inline constexpr std::uint8_t LogCount = 'T'; // read: the number of logs, decimal text
inline constexpr std::uint8_t LogData = 'U';  // read: the current record, 56 hex digits; advances the index
inline constexpr std::uint8_t ClearLog = 'W'; // write: "23130" erases all logs
} // namespace Cmd

inline constexpr const char* kClearLogCode = "23130"; // 5A5A hexadecimal

// Reads one module parameter. On success the reply, cut at its first NUL, goes to Value. On a nonzero
// status: default pointer, the "Error" box, status line emptied, Value untouched, false.
bool MRead(DataProvider& DP, Desktop& desktop, std::int32_t& ID, std::uint8_t& Command, std::string& Value,
           const std::string& Description);

// Writes one module parameter, sent as Value followed by two NULs. Failure as for MRead.
bool MWrite(DataProvider& DP, Desktop& desktop, std::int32_t& ID, std::uint8_t& Command,
            const std::string& Value, const std::string& Description);

} // namespace z83
