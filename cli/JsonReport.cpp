#include "cli/JsonReport.h"

#include "desktop/IsoTime.h"
#include "desktop/JsonFieldReader.h"
#include "link/LogRecord.h"

#include <charconv>
#include <cmath>

namespace z83::cli {

namespace {

// The shortest text that reads back as the same single-precision value (0.3333333, -1e+23), or null when
// the value is not finite. Written here rather than by the JSON library, which prints doubles.
std::string peakNumber(float value) {
    if (!std::isfinite(value))
        return "null";
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

} // namespace

std::string isoMoment(const LogMoment& m) {
    return isoTime({2000 + m.yearSince2000, m.month, m.day, m.hour, m.minute, m.second});
}

std::string jsonReport(const Collection& collection, std::int32_t moduleId, const std::string& model) {
    std::string out = "{\n  \"module_id\": " + jsonQuoted(idHex(moduleId)) +
                      ",\n  \"model\": " + jsonQuoted(model) +
                      ",\n  \"count\": " + jsonQuoted(collection.countText) + ",\n";
    // A partial report must never pass for a whole one.
    if (collection.outcome == Collection::Outcome::LinkLost)
        out += "  \"link_lost_at\": " + std::to_string(collection.lostAt) + ",\n";
    if (collection.outcome == Collection::Outcome::Raised)
        out += "  \"error_raised_at\": " + std::to_string(collection.lostAt) + ",\n";
    out += "  \"logs\": [";
    const char* separator = "\n";
    for (const auto& entry : collection.entries) {
        auto field = [&out](const char* name, const std::string& value, bool last = false) {
            out += std::string("      \"") + name + "\": " + value + (last ? "\n" : ",\n");
        };
        out += separator;
        out += "    {\n";
        if (entry.line.record) {
            const LogFields fields = fieldsOf(*entry.line.record);
            field("log_number", std::to_string(fields.logNumber));
            field("start", jsonQuoted(isoMoment(fields.start)));
            field("peak", jsonQuoted(isoMoment(fields.peak)));
            field("end", jsonQuoted(isoMoment(fields.end)));
            field("peak_value", peakNumber(fields.peakValue));
            field("overload", fields.overload() ? "true" : "false");
        } else {
            for (const char* name : {"log_number", "start", "peak", "end", "peak_value", "overload"})
                field(name, "null");
        }
        field("status", jsonQuoted(std::string(statusText(entry.status))), true);
        out += "    }";
        separator = ",\n";
    }
    out += collection.entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

} // namespace z83::cli
