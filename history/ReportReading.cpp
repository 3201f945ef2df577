#include "history/ReportReading.h"

#include "desktop/IsoTime.h"
#include "desktop/JsonFieldReader.h"
#include "desktop/ShownText.h"
#include "desktop/TextLines.h"

#include <algorithm>

#include <charconv>
#include <cstdio>
#include <limits>

namespace z83 {

namespace {

constexpr int kMostLogNumber = std::numeric_limits<decltype(LogFields::logNumber)>::max();

// Days from 2000-01-01 to a civil date (proleptic Gregorian); months outside 1..12 roll into the years,
// as a record can carry any byte there.
std::int64_t daysFrom2000(std::int64_t y, std::int64_t m, std::int64_t d) {
    y += (m - 1) >= 0 ? (m - 1) / 12 : -((12 - m) / 12);
    m = ((m - 1) % 12 + 12) % 12 + 1;
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 730425; // 730425: days from 0000-03-01 to 2000-01-01
}

LogSeconds secondsOf(int y, int mo, int d, int h, int mi, int s) {
    return daysFrom2000(y, mo, d) * 86400 + LogSeconds{h} * 3600 + LogSeconds{mi} * 60 + s;
}

bool number(std::string_view text, int& into, std::size_t maxDigits = 5) {
    if (text.empty() || text.size() > maxDigits)
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), into);
    return error == std::errc() && end == text.data() + text.size();
}

// "d/m/yyyy" and "h:m:s", as the CSV writes a moment.
bool moment(std::string_view date, std::string_view time, LogSeconds& into) {
    int part[6];
    std::size_t i = 0;
    for (auto [text, separator] : {std::pair{date, '/'}, std::pair{time, ':'}}) {
        for (int k = 0; k < 3; ++k) {
            const std::size_t at = k < 2 ? text.find(separator) : text.size();
            if (at == std::string_view::npos || !number(text.substr(0, at), part[i++]))
                return false;
            text.remove_prefix(k < 2 ? at + 1 : at);
        }
    }
    into = secondsOf(part[2], part[1], part[0], part[3], part[4], part[5]);
    return true;
}

bool peakValue(std::string_view text, float& into) {
    // formatPeak writes INF, -INF and NAN; from_chars reads them in any case.
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), into);
    return !text.empty() && end == text.data() + text.size() &&
           (error == std::errc() || error == std::errc::result_out_of_range);
}

// One entry line of the CSV: nine fields, then a blank and a status text when the log is flagged.
std::string csvRecord(std::string_view line, ReadRecord& record) {
    for (const LogStatus status : {LogStatus::BadCrc, LogStatus::IncorrectLogNumber}) {
        const std::string suffix = " " + std::string(statusText(status));
        if (line.ends_with(suffix)) {
            record.status = status;
            line.remove_suffix(suffix.size());
            break;
        }
    }
    if (line.empty() && record.status != LogStatus::Good) {
        record.hasRecord = false;
        return {};
    }
    std::string_view fields[9];
    std::size_t count = 0;
    while (count < 9) {
        const std::size_t comma = line.find(',');
        fields[count++] = line.substr(0, comma);
        if (comma == std::string_view::npos) {
            line = {};
            break;
        }
        line.remove_prefix(comma + 1);
        if (count == 9)
            return "more than nine fields";
    }
    if (count != 9)
        return "nine fields are expected, the line has " + std::to_string(count);
    if (!number(fields[0], record.logNumber) || record.logNumber > kMostLogNumber)
        return "the log number \"" + std::string(fields[0]) + "\" is not one";
    if (!moment(fields[1], fields[2], record.start) || !moment(fields[3], fields[4], record.peak) ||
        !moment(fields[5], fields[6], record.end))
        return "a date or time is not written as d/m/yyyy,h:m:s";
    if (!peakValue(fields[7], record.peakValue))
        return "the peak \"" + std::string(fields[7]) + "\" is not a number";
    if (fields[8] != "OVERLOAD" && fields[8] != "SAFE")
        return "the last field is neither OVERLOAD nor SAFE";
    record.overload = fields[8] == "OVERLOAD";
    return {};
}

ReadReport readCsv(std::string_view content) {
    ReadReport report;
    std::size_t number = 0;
    while (!content.empty()) {
        const std::string_view line = takeLine(content);
        ++number;
        if (number == 1) {
            if (line != kReportHeader) {
                report.badLine = 1;
                report.why = "\"" + shownDeviceText(line, 60) + "\" is not the report's header \"" +
                             std::string(kReportHeader) + "\"";
                return report;
            }
            continue;
        }
        if (line.empty())
            continue; // the report's empty last line
        ReadRecord record;
        if (std::string why = csvRecord(line, record); !why.empty()) {
            report.badLine = number;
            report.why = "\"" + shownDeviceText(line, 100) + "\": " + why;
            return report;
        }
        report.records.push_back(record);
    }
    if (number == 0) {
        report.badLine = 1;
        report.why = "the file is empty";
    }
    return report;
}

// One log of a JSON report; "" when it reads, else why not.
std::string readJsonLog(const JsonFieldReader::Json& log, ReadRecord& record) {
    using Json = JsonFieldReader::Json;
    const auto status = log.is_object() ? log.find("status") : log.end();
    if (!log.is_object() || status == log.end() || !status->is_string())
        return "no \"status\"";
    const std::string statusName = status->get<std::string>();
    if (statusName == statusText(LogStatus::BadCrc))
        record.status = LogStatus::BadCrc;
    else if (statusName == statusText(LogStatus::IncorrectLogNumber))
        record.status = LogStatus::IncorrectLogNumber;
    else if (!statusName.empty())
        return "unknown status \"" + statusName + "\"";
    const Json& logNumber = log.value("log_number", Json());
    if (logNumber.is_null() && record.status != LogStatus::Good) {
        record.hasRecord = false;
        return {};
    }
    if (!logNumber.is_number_unsigned() || logNumber.get<std::uint64_t>() > kMostLogNumber)
        return "\"log_number\" is not a log number";
    record.logNumber = logNumber.get<int>();
    for (auto [name, into] : {std::pair{"start", &record.start}, std::pair{"peak", &record.peak},
                              std::pair{"end", &record.end}}) {
        const Json& text = log.value(name, Json());
        const auto seconds = text.is_string() ? fromIso(text.get<std::string>()) : std::nullopt;
        if (!seconds)
            return "\"" + std::string(name) + "\" is not a date and time";
        *into = *seconds;
    }
    // The JSON report writes a value that is not finite as null.
    const Json& value = log.value("peak_value", Json());
    if (value.is_number())
        record.peakValue = value.get<float>();
    else if (value.is_null())
        record.peakValue = std::numeric_limits<float>::quiet_NaN();
    else
        return "\"peak_value\" is not a number";
    const Json& overload = log.value("overload", Json());
    if (!overload.is_boolean())
        return "\"overload\" is not true or false";
    record.overload = overload.get<bool>();
    return {};
}

ReadReport readJson(std::string_view content) {
    using Json = JsonFieldReader::Json;
    ReadReport report;
    Json document;
    try {
        // A file anyone may hand to --import: read as the programs read every JSON file.
        document = JsonFieldReader("report").parse(content);
    } catch (const JsonFileError& error) {
        report.badLine = std::max<std::size_t>(error.line(), 1);
        report.why = error.fault();
        return report;
    }
    const auto fail = [&](std::string why) {
        report.badLine = 1;
        report.why = std::move(why);
        return report;
    };
    if (!document.is_object() || !document.contains("logs") || !document["logs"].is_array() ||
        !document.contains("module_id") || !document["module_id"].is_string())
        return fail("not a report: a JSON report holds \"module_id\" and \"logs\"");
    report.moduleId = document["module_id"].get<std::string>();
    if (const auto model = document.find("model"); model != document.end() && model->is_string())
        report.model = model->get<std::string>();
    std::size_t index = 0;
    for (const Json& log : document["logs"]) {
        ReadRecord record;
        if (std::string why = readJsonLog(log, record); !why.empty())
            return fail("logs[" + std::to_string(index) + "]: " + why);
        ++index;
        report.records.push_back(record);
    }
    return report;
}

} // namespace

ReadReport readReport(std::string_view content) {
    const std::size_t first = content.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && content[first] == '{')
        return readJson(content);
    return readCsv(content);
}

std::string isoText(LogSeconds seconds) {
    std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const std::int64_t rest = seconds - days * 86400;
    // Civil from days (proleptic Gregorian), counted from 0000-03-01.
    days += 730425;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    if (year < 0 || year > 9999)
        return "0000-00-00T00:00:00";
    return isoTime({static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                    static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                    static_cast<int>(rest % 60)});
}

std::optional<LogSeconds> fromIso(std::string_view text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || !number(text.substr(0, 4), y) || !number(text.substr(5, 2), mo) ||
        !number(text.substr(8, 2), d) || !number(text.substr(11, 2), h) || !number(text.substr(14, 2), mi) ||
        !number(text.substr(17, 2), s))
        return std::nullopt;
    return secondsOf(y, mo, d, h, mi, s);
}

} // namespace z83
