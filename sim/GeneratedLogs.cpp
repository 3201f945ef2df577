#include "sim/GeneratedLogs.h"

#include "link/LogRecord.h"

#include <random>

namespace z83::sim {

namespace {

// std::mt19937's output is fixed by the standard; the library distributions are not, so draw by hand.
class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}
    // 0 .. n-1
    std::uint32_t below(std::uint32_t n) {
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(engine_()) * n) >> 32);
    }
    std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + below(high - low + 1); }

private:
    std::mt19937 engine_;
};

// Seconds since 2000-01-01 00:00:00 to the record's date and time fields.
LogMoment momentOf(std::int64_t secondsSince2000) {
    std::int64_t days = secondsSince2000 / 86400;
    const auto secondOfDay = static_cast<std::uint32_t>(secondsSince2000 % 86400);
    // Civil date from a day count, counting years from March so that leap days come last.
    days += 10957 + 719468; // to days since 0000-03-01
    const std::int64_t era = days / 146097;
    const auto dayOfEra = static_cast<std::uint32_t>(days - era * 146097);
    const std::uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::uint32_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const std::uint32_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const std::uint32_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const std::int64_t year = era * 400 + yearOfEra + (month <= 2 ? 1 : 0);

    LogMoment m;
    m.second = static_cast<std::uint8_t>(secondOfDay % 60);
    m.minute = static_cast<std::uint8_t>(secondOfDay / 60 % 60);
    m.hour = static_cast<std::uint8_t>(secondOfDay / 3600);
    m.day = static_cast<std::uint8_t>(day);
    m.month = static_cast<std::uint8_t>(month);
    m.yearSince2000 = static_cast<std::uint8_t>(year - 2000);
    return m;
}

float peakValue(Draw& draw) {
    // Whole numbers, tenths, small fractions and large readings with three decimals, as a module shows them.
    switch (draw.below(4)) {
    case 0:
        return static_cast<float>(draw.between(1, 999));
    case 1:
        return static_cast<float>(draw.between(1, 9999) / 10.0);
    case 2:
        return static_cast<float>(draw.between(1, 9999999) / 10000000.0);
    default:
        return static_cast<float>(draw.between(1000000, 99999999) / 1000.0);
    }
}

} // namespace

void appendGeneratedLogs(ModuleLogs& records, std::uint32_t count, std::uint32_t seed) {
    Draw draw(seed);
    constexpr std::int64_t kFirstDay2024 = 8766; // days from 2000-01-01 to 2024-01-01
    // Gaps of at most 6 hours keep even 65,535 events within the years a record can hold.
    std::int64_t time = (kFirstDay2024 + draw.below(30)) * 86400 + draw.between(6 * 3600, 18 * 3600);
    records.reserve(records.size() + count);
    for (std::uint32_t i = 0; i < count; ++i) {
        LogFields fields;
        fields.logNumber = static_cast<std::uint16_t>(records.size() + 1);
        fields.start = momentOf(time);
        time += draw.between(1, 120);
        fields.peak = momentOf(time);
        time += draw.between(1, 600);
        fields.end = momentOf(time);
        fields.peakValue = peakValue(draw);
        fields.flags = draw.below(8) == 0 ? 1 : 0;
        records.push_back(recordFrom(fields));
        time += draw.between(60, 6 * 3600);
    }
}

} // namespace z83::sim
