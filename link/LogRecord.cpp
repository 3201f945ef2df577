#include "link/LogRecord.h"

#include "link/Hex.h"
#include "link/NumberReaders.h"

#include <bit>

namespace z83 {

namespace {

// Where the fields lie in a record.
constexpr std::size_t kLogNumberAt = 0;
constexpr std::size_t kStartAt = 2, kPeakAt = 8, kEndAt = 14;
constexpr std::size_t kPeakValueAt = 20;
constexpr std::size_t kFlagsAt = 24, kSpareAt = 25;
constexpr std::size_t kCrcAt = 26;
constexpr std::int16_t kCrcFirst = 2, kCrcLast = 25;

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

std::uint16_t bigEndianAt(const LogRecord& r, std::size_t at) {
    return static_cast<std::uint16_t>(r[at] << 8 | r[at + 1]);
}

void putBigEndian(LogRecord& r, std::size_t at, std::uint16_t value) {
    r[at] = static_cast<std::uint8_t>(value >> 8);
    r[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

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
    return bigEndianAt(record, kCrcAt);
}

bool crcMatches(const LogRecord& record) {
    return LogCRC(record, kCrcFirst, kCrcLast) == storedCRC(record);
}

LogRecord withStoredCRC(LogRecord record, std::uint16_t crc) {
    putBigEndian(record, kCrcAt, crc);
    return record;
}

LogRecord decodeLogReply(std::string_view reply) {
    LogRecord record{};
    for (std::size_t k = 0; k < kLogRecordBytes && 2 * k < reply.size(); ++k) {
        std::string_view pair = reply.substr(2 * k, 2);
        int high = hexDigitValue(pair[0]);
        int low = pair.size() == 2 ? hexDigitValue(pair[1]) : -1;
        // Two plain digits are the rule; anything else goes through the full reader.
        record[k] = high >= 0 && low >= 0 ? static_cast<std::uint8_t>(high << 4 | low)
                                          : static_cast<std::uint8_t>(readLeadingHex(pair).value);
    }
    return record;
}

std::string encodeLogReply(const LogRecord& record) {
    std::string reply(kLogReplyDigits, '0');
    for (std::size_t k = 0; k < kLogRecordBytes; ++k) {
        reply[2 * k] = hexDigit(record[k] >> 4);
        reply[2 * k + 1] = hexDigit(record[k]);
    }
    return reply;
}

LogFields fieldsOf(const LogRecord& record) {
    LogFields f;
    f.logNumber = bigEndianAt(record, kLogNumberAt);
    f.start = momentAt(record, kStartAt);
    f.peak = momentAt(record, kPeakAt);
    f.end = momentAt(record, kEndAt);
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(record[kPeakValueAt + i]) << (8 * i);
    f.peakValue = std::bit_cast<float>(bits);
    f.flags = record[kFlagsAt];
    f.spare = record[kSpareAt];
    return f;
}

LogRecord recordFrom(const LogFields& f) {
    LogRecord r{};
    putBigEndian(r, kLogNumberAt, f.logNumber);
    putMoment(r, kStartAt, f.start);
    putMoment(r, kPeakAt, f.peak);
    putMoment(r, kEndAt, f.end);
    const auto bits = std::bit_cast<std::uint32_t>(f.peakValue);
    for (std::size_t i = 0; i < 4; ++i)
        r[kPeakValueAt + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    r[kFlagsAt] = f.flags;
    r[kSpareAt] = f.spare;
    putBigEndian(r, kCrcAt, static_cast<std::uint16_t>(LogCRC(r, kCrcFirst, kCrcLast)));
    return r;
}

} // namespace z83
