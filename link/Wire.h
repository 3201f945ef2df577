#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// What goes over the radio to a module: the command codes, their directions and the fixed values. The
// record layout is in LogRecord.h.
namespace z83 {

// Command codes of the module parameters the program reads and writes.
namespace Cmd {
inline constexpr std::uint8_t Model = '3';    // read: the model text
inline constexpr std::uint8_t LogIndex = 'S'; // write: the log index, a log number in decimal
inline constexpr std::uint8_t LogCount = 'T'; // read: the number of logs, decimal text
inline constexpr std::uint8_t LogData = 'U';  // read: the current record, 56 hex digits; advances the index
inline constexpr std::uint8_t ClearLog = 'W'; // write: kClearLogCode erases all logs
} // namespace Cmd

enum class Direction { Read, Write };

struct CommandFact {
    std::uint8_t code;
    Direction direction;
};
inline constexpr CommandFact kCommands[] = {{Cmd::Model, Direction::Read},
                                            {Cmd::LogIndex, Direction::Write},
                                            {Cmd::LogCount, Direction::Read},
                                            {Cmd::LogData, Direction::Read},
                                            {Cmd::ClearLog, Direction::Write}};

// The direction of a command code, or nothing for a code the program never sends.
constexpr std::optional<Direction> commandDirection(std::uint8_t code) {
    for (const CommandFact& command : kCommands)
        if (command.code == code)
            return command.direction;
    return std::nullopt;
}

// The clear-log value: 5A5A hexadecimal in decimal.
inline constexpr std::string_view kClearLogCode = "23130";
// Log numbers are 16 bits wide and start at 1.
inline constexpr int kMaxLogs = 65535;
// The only model this program supports, as the module names itself (upper-cased).
inline constexpr std::string_view kSupportedModel = "Z83-PM-VX";

} // namespace z83
