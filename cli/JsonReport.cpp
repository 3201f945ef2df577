#include "JsonReport.h"

#include "LogRecord.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace z83::cli {

namespace {

using Json = nlohmann::ordered_json;

// A float as the double that prints as its shortest float text, so 0.3333333 stays 0.3333333 instead of
// becoming 0.3333333134651184.
Json peakNumber(float value) {
    if (!std::isfinite(value))
        return nullptr;
    char text[32];
    auto printed = std::to_chars(text, text + sizeof text, value);
    double shortest = 0.0;
    std::from_chars(text, printed.ptr, shortest);
    return shortest;
}

} // namespace

std::string isoMoment(const LogMoment& m) {
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", 2000u + m.yearSince2000,
                  unsigned{m.month}, unsigned{m.day}, unsigned{m.hour}, unsigned{m.minute},
                  unsigned{m.second});
    return text;
}

std::string jsonReport(const Collection& collection, std::int32_t moduleId, const std::string& model) {
    Json logs = Json::array();
    for (const auto& entry : collection.entries) {
        Json log;
        if (entry.record) {
            const LogFields fields = fieldsOf(*entry.record);
            log["log_number"] = fields.logNumber;
            log["start"] = isoMoment(fields.start);
            log["peak"] = isoMoment(fields.peak);
            log["end"] = isoMoment(fields.end);
            log["peak_value"] = peakNumber(fields.peakValue);
            log["overload"] = (fields.flags & 1) != 0;
        } else {
            for (const char* key : {"log_number", "start", "peak", "end", "peak_value", "overload"})
                log[key] = nullptr;
        }
        log["status"] = std::string(entry.status);
        logs.push_back(std::move(log));
    }
    Json report;
    report["module_id"] = idStatusText(moduleId).substr(4); // without "ID: "
    report["model"] = model;
    report["count"] = collection.countText;
    report["logs"] = std::move(logs);
    // Texts come from the module: bytes that are not UTF-8 must not stop the report.
    return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace z83::cli
