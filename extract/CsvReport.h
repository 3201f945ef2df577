#pragma once

#include "desktop/Desktop.h"
#include "link/LogRecord.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The report as the user gets it: one CSV line per log, with its status, under a header line.
namespace z83 {

inline constexpr std::string_view kReportHeader =
    "Log Number,Start Date,Start Time,Peak Date,Peak Time,End Date,End Time,Peak,Overload";

// What is wrong with a log's line; the report writes it after the line.
enum class LogStatus { Good, BadCrc, IncorrectLogNumber };
// "", "Bad CRC" or "Incorrect Log Number!".
std::string_view statusText(LogStatus status);

// The peak value as text: at most 7 significant digits, "." as decimal point whatever the locale,
// exponent form (1.234568E+07) from 10,000,000 up and below 0.0001, INF, -INF or NAN when not finite.
std::string formatPeak(float value);

// Appends the nine-field CSV line of a record, without a line end.
void appendCsvLine(const LogRecord& record, std::string& out);
std::string csvLine(const LogRecord& record);

// The current line of a run: made from the last record read, or empty before the first. Kept as the
// record and formatted only when the report is written, so a module's worth of lines stays small.
struct CsvLine {
    std::optional<LogRecord> record;

    std::string text() const { return record ? csvLine(*record) : std::string(); }
    // The line's leading number: the record's log number, 0 for the empty line.
    int logNumber() const { return record ? fieldsOf(*record).logNumber : 0; }
};

struct LogEntry {
    CsvLine line;
    LogStatus status = LogStatus::Good;
};

// The header line and the report text, each ending in CR LF, then the empty last line. The report text
// holds the entries as the report and the clipboard carry them: each line, a blank and its status text when
// it has one, and CR LF.
std::string reportFileContent(std::string_view reportText);
// The same, made straight from the entries, so that a full module's report is held once.
std::string reportFileContent(const std::vector<LogEntry>& entries);
// The report text inside a report file's content: what the clipboard gets.
std::string_view reportLinesOf(std::string_view content);
// The local time stamp of a report's name: YYYYMMDDHHMMSS.
std::string reportStamp(const LocalDateTime& now);

} // namespace z83
