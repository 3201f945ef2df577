#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace z83 {

inline constexpr std::size_t kLogRecordBytes = 28;
// A record goes over the radio as two hexadecimal digits per byte, high digit first.
inline constexpr std::size_t kLogReplyDigits = 2 * kLogRecordBytes;

// One log record as the module stores it. Bytes 0-1 log number (big-endian); 2-7, 8-13 and 14-19 the
// start, peak and end moments (second, minute, hour, day, month, year - 2000); 20-23 the peak value (IEEE
// single, little-endian); 24 flags (bit 0: overload); 25 spare; 26-27 the CRC-16 of bytes 2 to 25
// (big-endian). Only LogRecord.cpp reads bytes by position; everything else goes through LogFields.
using LogRecord = std::array<std::uint8_t, kLogRecordBytes>;

struct LogMoment {
    std::uint8_t second = 0, minute = 0, hour = 0, day = 1, month = 1, yearSince2000 = 0;
};

struct LogFields {
    std::uint16_t logNumber = 0;
    LogMoment start, peak, end;
    float peakValue = 0.0f;
    std::uint8_t flags = 0; // bit 0: overload; the others are not interpreted
    std::uint8_t spare = 0; // not interpreted, covered by the CRC

    bool overload() const { return (flags & 1) != 0; }
};

// CRC-16/MODBUS over bytes[first..last] (both inclusive, none when first > last); 0 to 65535.
std::int32_t LogCRC(std::span<const std::uint8_t> bytes, std::int16_t first, std::int16_t last);

// The CRC the record carries, and whether it is the one its bytes give.
std::uint16_t storedCRC(const LogRecord& record);
bool crcMatches(const LogRecord& record);
// The record with a different stored CRC, so that it no longer matches.
LogRecord withStoredCRC(LogRecord record, std::uint16_t crc);

// Reads the reply pair by pair with the hexadecimal reader ("3G" gives 3, "G3" gives 0). Characters
// beyond the 56th are ignored; missing pairs give 0.
LogRecord decodeLogReply(std::string_view reply);
// The 56 upper-case hexadecimal digits of a record.
std::string encodeLogReply(const LogRecord& record);

LogFields fieldsOf(const LogRecord& record);
// A record with the given fields and its CRC right by construction.
LogRecord recordFrom(const LogFields& fields);

} // namespace z83
