#include "extract/CsvReport.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace z83 {

std::string_view statusText(LogStatus status) {
    switch (status) {
    case LogStatus::BadCrc:
        return "Bad CRC";
    case LogStatus::IncorrectLogNumber:
        return "Incorrect Log Number!";
    case LogStatus::Good:
        break;
    }
    return "";
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

// "day/month/year,hour:minute:second,"
char* putMoment(char* at, const LogMoment& m) {
    at = putNumber(at, m.day);
    *at++ = '/';
    at = putNumber(at, m.month);
    *at++ = '/';
    at = putNumber(at, 2000u + m.yearSince2000);
    *at++ = ',';
    at = putNumber(at, m.hour);
    *at++ = ':';
    at = putNumber(at, m.minute);
    *at++ = ':';
    at = putNumber(at, m.second);
    *at++ = ',';
    return at;
}

} // namespace

void appendCsvLine(const LogRecord& record, std::string& out) {
    const LogFields f = fieldsOf(record);
    // 5 digits and 3 moments of at most 24 characters each.
    char line[96];
    char* at = putNumber(line, f.logNumber);
    *at++ = ',';
    at = putMoment(at, f.start);
    at = putMoment(at, f.peak);
    at = putMoment(at, f.end);
    out.append(line, at);
    out += formatPeak(f.peakValue);
    out += f.overload() ? ",OVERLOAD" : ",SAFE";
}

std::string csvLine(const LogRecord& record) {
    std::string line;
    line.reserve(96);
    appendCsvLine(record, line);
    return line;
}

namespace {

constexpr std::size_t kTypicalEntry = 80;

void appendEntries(const std::vector<LogEntry>& entries, std::string& text) {
    for (const auto& entry : entries) {
        if (entry.line.record)
            appendCsvLine(*entry.line.record, text);
        if (entry.status != LogStatus::Good) {
            text += ' ';
            text += statusText(entry.status);
        }
        text += "\r\n";
    }
}

} // namespace

std::string reportFileContent(std::string_view reportText) {
    std::string content;
    content.reserve(reportText.size() + kReportHeader.size() + 4);
    content += kReportHeader;
    content += "\r\n";
    content += reportText;
    content += "\r\n";
    return content;
}

std::string reportFileContent(const std::vector<LogEntry>& entries) {
    std::string content;
    content.reserve(kReportHeader.size() + 4 + entries.size() * kTypicalEntry);
    content += kReportHeader;
    content += "\r\n";
    appendEntries(entries, content);
    content += "\r\n";
    return content;
}

std::string_view reportLinesOf(std::string_view content) {
    const std::size_t header = kReportHeader.size() + 2;
    return content.size() >= header + 2 ? content.substr(header, content.size() - header - 2)
                                        : std::string_view();
}

std::string reportStamp(const LocalDateTime& now) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    return stamp;
}

} // namespace z83
