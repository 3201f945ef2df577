#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// What goes over the radio to a module: the command codes, their directions, the fixed arguments of the
// component's operations and the fixed values. The record layout is in LogRecord.h.
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

// The fixed arguments the program passes to the component's operations. What they mean to the component is
// its maker's; these are the values it is always called with.
namespace Arg {
// OpenUSB's two arguments, the same at every start; their meaning is the component's.
inline constexpr std::int32_t OpenFirst = 0;
inline constexpr std::int32_t OpenSecond = 0;
// DetectBase's argument; the component's meaning; its result says only whether a base station answers.
inline constexpr std::int32_t DetectWhich = 1;
// ReadBaseByte's argument; the component's meaning; its byte is never used, the call alone is wanted.
inline constexpr std::int32_t BaseByteWhich = 1;
// PairModule's first two arguments, both 1; what they mean belongs to the component.
inline constexpr std::int32_t PairFirst = 1;
inline constexpr std::int32_t PairSecond = 1;
// The pairing time: the 10 seconds that the second tab's instructions give the user to power-cycle the
// module.
inline constexpr std::int32_t PairingSeconds = 10;
// The byte that ReadCommand and WriteCommand take first, by reference; the component's meaning.
inline constexpr std::uint8_t CommandFirst = 1;
} // namespace Arg

// The log index a run starts from, as log numbers start at 1; written twice before the count is read, as
// the program has always done it. No reason for the second write is on record, so neither is dropped.
inline constexpr std::string_view kFirstLogIndex = "1";
inline constexpr int kFirstLogIndexWrites = 2;

// The clear-log value: 5A5A hexadecimal in decimal.
inline constexpr std::string_view kClearLogCode = "23130";
// Log numbers are 16 bits wide and start at 1.
inline constexpr int kMaxLogs = 65535;
// The only model this program supports, as the module names itself (upper-cased).
inline constexpr std::string_view kSupportedModel = "Z83-PM-VX";

} // namespace z83
