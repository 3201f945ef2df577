#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace z83 {

inline constexpr std::size_t kLogRecordBytes = 28;
inline constexpr std::size_t kLogReplyDigits = 56;

// One log record as the module stores it. Log number and CRC are big-endian, the peak value is a
// little-endian IEEE single; the CRC covers bytes 2 to 25.
using LogRecord = std::array<std::uint8_t, kLogRecordBytes>;

struct LogMoment {
    std::uint8_t second = 0, minute = 0, hour = 0, day = 1, month = 1, yearSince2000 = 0;
};

struct LogFields {
    std::uint16_t logNumber = 0;
    LogMoment start, peak, end;
    float peakValue = 0.0f;
    std::uint8_t flags = 0; // bit 0: overload
    std::uint8_t spare = 0; // not interpreted, covered by the CRC
};

// CRC-16/MODBUS over bytes[first..last] (both inclusive, none when first > last); 0 to 65535.
std::int32_t LogCRC(std::span<const std::uint8_t> bytes, std::int16_t first, std::int16_t last);

std::uint16_t storedCRC(const LogRecord& record);
bool crcMatches(const LogRecord& record);

// Reads the reply pair by pair with the hexadecimal reader ("3G" gives 3, "G3" gives 0). Characters
// beyond the 56th are ignored; missing pairs give 0.
LogRecord decodeLogReply(std::string_view reply);
// The 56 upper-case hexadecimal digits of a record.
std::string encodeLogReply(const LogRecord& record);

LogFields fieldsOf(const LogRecord& record);
// A record with the given fields and its CRC right by construction.
LogRecord recordFrom(const LogFields& fields);

// The peak value as text: at most 7 significant digits, "." as decimal point whatever the locale,
// exponent form (1.234568E+07) from 10,000,000 up and below 0.0001, INF, -INF or NAN when not finite.
std::string formatPeak(float value);
float peakValueOf(const LogRecord& record);

// Appends the nine-field CSV line of a record, without a line end.
void appendCsvLine(const LogRecord& record, std::string& out);
std::string csvLine(const LogRecord& record);

inline constexpr const char* kReportHeader =
    "Log Number,Start Date,Start Time,Peak Date,Peak Time,End Date,End Time,Peak,Overload";

} // namespace z83
