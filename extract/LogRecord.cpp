#include "LogRecord.h"

#include "NumberReaders.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace z83 {

namespace {

// The bitwise CRC-16/MODBUS step (reflected polynomial 0x8005) for every byte value, so each record
// byte costs one lookup instead of eight shifts.
constexpr std::array<std::uint16_t, 256> kCrcTable = [] {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        table[byte] = static_cast<std::uint16_t>(crc);
    }
    return table;
}();

} // namespace

std::int32_t LogCRC(std::span<const std::uint8_t> bytes, std::int16_t first, std::int16_t last) {
    std::uint32_t crc = 0xFFFF;
    for (std::int32_t i = first; i <= last; ++i) {
        if (i < 0 || static_cast<std::size_t>(i) >= bytes.size())
            break;
        crc = (crc >> 8) ^ kCrcTable[(crc ^ bytes[static_cast<std::size_t>(i)]) & 0xFF];
    }
    return static_cast<std::int32_t>(crc);
}

std::uint16_t storedCRC(const LogRecord& record) {
    return static_cast<std::uint16_t>(record[26] << 8 | record[27]);
}

bool crcMatches(const LogRecord& record) {
    return LogCRC(record, 2, 25) == storedCRC(record);
}

namespace {

// The value of each hexadecimal digit, -1 for every other character.
constexpr std::array<std::int8_t, 256> kHexValue = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (unsigned char c = '0'; c <= '9'; ++c)
        table[c] = static_cast<std::int8_t>(c - '0');
    for (unsigned char c = 'A'; c <= 'F'; ++c) {
        table[c] = static_cast<std::int8_t>(c - 'A' + 10);
        table[c + ('a' - 'A')] = static_cast<std::int8_t>(c - 'A' + 10);
    }
    return table;
}();

int hexValue(char c) {
    return kHexValue[static_cast<unsigned char>(c)];
}

} // namespace

LogRecord decodeLogReply(std::string_view reply) {
    LogRecord record{};
    for (std::size_t k = 0; k < kLogRecordBytes && 2 * k < reply.size(); ++k) {
        std::string_view pair = reply.substr(2 * k, 2);
        int high = hexValue(pair[0]);
        int low = pair.size() == 2 ? hexValue(pair[1]) : -1;
        // Two plain digits are the rule; anything else goes through the full reader.
        record[k] = high >= 0 && low >= 0 ? static_cast<std::uint8_t>(high << 4 | low)
                                          : static_cast<std::uint8_t>(readLeadingHex(pair).value);
    }
    return record;
}

std::string encodeLogReply(const LogRecord& record) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string reply(kLogReplyDigits, '0');
    for (std::size_t k = 0; k < kLogRecordBytes; ++k) {
        reply[2 * k] = digits[record[k] >> 4];
        reply[2 * k + 1] = digits[record[k] & 0x0F];
    }
    return reply;
}

namespace {

LogMoment momentAt(const LogRecord& r, std::size_t at) {
    return {r[at], r[at + 1], r[at + 2], r[at + 3], r[at + 4], r[at + 5]};
}

void putMoment(LogRecord& r, std::size_t at, const LogMoment& m) {
    r[at] = m.second;
    r[at + 1] = m.minute;
    r[at + 2] = m.hour;
    r[at + 3] = m.day;
    r[at + 4] = m.month;
    r[at + 5] = m.yearSince2000;
}

} // namespace

float peakValueOf(const LogRecord& record) {
    std::uint32_t bits =
        static_cast<std::uint32_t>(record[20]) | static_cast<std::uint32_t>(record[21]) << 8 |
        static_cast<std::uint32_t>(record[22]) << 16 | static_cast<std::uint32_t>(record[23]) << 24;
    return std::bit_cast<float>(bits);
}

LogFields fieldsOf(const LogRecord& record) {
    LogFields f;
    f.logNumber = static_cast<std::uint16_t>(record[0] << 8 | record[1]);
    f.start = momentAt(record, 2);
    f.peak = momentAt(record, 8);
    f.end = momentAt(record, 14);
    f.peakValue = peakValueOf(record);
    f.flags = record[24];
    f.spare = record[25];
    return f;
}

LogRecord recordFrom(const LogFields& f) {
    LogRecord r{};
    r[0] = static_cast<std::uint8_t>(f.logNumber >> 8);
    r[1] = static_cast<std::uint8_t>(f.logNumber & 0xFF);
    putMoment(r, 2, f.start);
    putMoment(r, 8, f.peak);
    putMoment(r, 14, f.end);
    auto bits = std::bit_cast<std::uint32_t>(f.peakValue);
    for (int i = 0; i < 4; ++i)
        r[20 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
    r[24] = f.flags;
    r[25] = f.spare;
    auto crc = static_cast<std::uint16_t>(LogCRC(r, 2, 25));
    r[26] = static_cast<std::uint8_t>(crc >> 8);
    r[27] = static_cast<std::uint8_t>(crc & 0xFF);
    return r;
}

std::string formatPeak(float value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0.0f)
        return "0"; // also for -0, which reads as plain zero
    // Shortest-form rules of printf's %G with 7 significant digits, but always with "." as the point.
    char buffer[32];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::general, 7);
    (void)error; // 32 characters always hold 7 significant digits and an exponent
    std::string text(buffer, end);
    if (auto e = text.find('e'); e != std::string::npos)
        text[e] = 'E';
    return text;
}

namespace {

// The line is put together in a buffer on the stack and appended once: a report formats tens of
// thousands of lines, and appending piece by piece costs more than the formatting.
char* putNumber(char* at, unsigned value) {
    return std::to_chars(at, at + 8, value).ptr;
}

char* putMoment(char* at, const LogRecord& r, std::size_t first) {
    at = putNumber(at, r[first + 3]);
    *at++ = '/';
    at = putNumber(at, r[first + 4]);
    *at++ = '/';
    at = putNumber(at, 2000u + r[first + 5]);
    *at++ = ',';
    at = putNumber(at, r[first + 2]);
    *at++ = ':';
    at = putNumber(at, r[first + 1]);
    *at++ = ':';
    at = putNumber(at, r[first]);
    *at++ = ',';
    return at;
}

} // namespace

void appendCsvLine(const LogRecord& r, std::string& out) {
    // 5 digits, 3 moments of at most 8 numbers' worth of characters, the peak and the flag.
    char line[160];
    char* at = putNumber(line, static_cast<unsigned>(r[0] << 8 | r[1]));
    *at++ = ',';
    at = putMoment(at, r, 2);
    at = putMoment(at, r, 8);
    at = putMoment(at, r, 14);
    out.append(line, at);
    out += formatPeak(peakValueOf(r));
    out += (r[24] & 1) ? ",OVERLOAD" : ",SAFE";
}

std::string csvLine(const LogRecord& record) {
    std::string line;
    line.reserve(96);
    appendCsvLine(record, line);
    return line;
}

} // namespace z83
