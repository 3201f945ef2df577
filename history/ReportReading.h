#pragma once

#include "extract/CsvReport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A saved report read back into its records: the CSV the program writes, or its JSON report.
namespace z83 {

// Seconds since 2000-01-01T00:00:00 in the module's own (local) time, as the records carry it.
using LogSeconds = std::int64_t;

struct ReadRecord {
    bool hasRecord = true; // false for a flagged line that holds no record at all
    int logNumber = 0;
    LogSeconds start = 0, peak = 0, end = 0;
    float peakValue = 0;
    bool overload = false;
    LogStatus status = LogStatus::Good;
};

struct ReadReport {
    std::vector<ReadRecord> records;
    std::string moduleId, model; // what a JSON report names; "" for a CSV report
    std::size_t badLine = 0;     // 0 when the whole file is a report; else the first line that is not
    std::string why;             // what is wrong with that line

    bool ok() const { return badLine == 0; }
};

// Reads a report's content; a JSON report when it begins with "{", else the CSV.
ReadReport readReport(std::string_view content);

// The text form of a record's moment, YYYY-MM-DDTHH:MM:SS, and the reverse (nothing when it is not one).
std::string isoText(LogSeconds seconds);
std::optional<LogSeconds> fromIso(std::string_view text);

} // namespace z83
