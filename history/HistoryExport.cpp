#include "history/HistoryPage.h"

#include "desktop/JsonFieldReader.h"
#include "desktop/ShownText.h"

#include <cmath>
#include <cstdint>

namespace z83 {

namespace {

// Text from a journal or a file name, as one field of the export.
std::string textField(std::string_view text) {
    return csvField(validUtf8(text));
}

const JournalReport* reportOf(const ModuleHistory& module, const HistoryEvent& e) {
    const JournalEntry& entry = *module.visits[e.source].entry;
    return entry.report ? &*entry.report : nullptr;
}

} // namespace

std::string historyCsv(const History& history) {
    std::string out =
        "module,log_number,start,peak,end,peak_value,overload,status,disagrees,report,report_time\r\n";
    // Appended piece by piece: a million rows built from temporaries take seconds.
    for (const ModuleHistory& module : history.modules) {
        const std::string id = textField(module.id);
        std::uint32_t source = UINT32_MAX;
        std::string reportFields;
        for (const HistoryEvent& e : module.events) {
            const ReadRecord& r = e.record;
            if (e.source != source) {
                source = e.source;
                const JournalReport* report = reportOf(module, e);
                reportFields = textField(report ? report->path : std::string()) + ',' +
                               textField(module.visits[e.source].entry->time) + "\r\n";
            }
            out += id;
            if (r.hasRecord) {
                out += ',';
                out += std::to_string(r.logNumber);
                for (const LogSeconds t : {r.start, r.peak, r.end}) {
                    out += ',';
                    out += isoText(t);
                }
                out += ',';
                out += formatPeak(r.peakValue);
                out += r.overload ? ",OVERLOAD," : ",SAFE,";
            } else {
                out += ",,,,,,,";
            }
            out += statusText(r.status);
            out += e.disagrees ? ",yes," : ",,";
            out += reportFields;
        }
    }
    return out;
}

std::string historyJson(const History& history) {
    std::string out = "[";
    const char* separator = "\n";
    for (const ModuleHistory& module : history.modules)
        for (const HistoryEvent& e : module.events) {
            const ReadRecord& r = e.record;
            const JournalReport* report = reportOf(module, e);
            out += separator;
            out += "  {\"module\": " + jsonQuoted(module.id);
            if (r.hasRecord) {
                // The JSON report's own forms: null for a value that is not finite.
                const std::string value =
                    std::isfinite(r.peakValue) ? formatPeak(r.peakValue) : std::string("null");
                out += ", \"log_number\": " + std::to_string(r.logNumber) + ", \"start\": \"" +
                       isoText(r.start) + "\", \"peak\": \"" + isoText(r.peak) + "\", \"end\": \"" +
                       isoText(r.end) + "\", \"peak_value\": " + value +
                       ", \"overload\": " + (r.overload ? "true" : "false");
            }
            out += ", \"status\": " + jsonQuoted(std::string(statusText(r.status))) +
                   ", \"disagrees\": " + (e.disagrees ? "true" : "false") +
                   ", \"report\": " + jsonQuoted(report ? report->path : std::string()) +
                   ", \"report_time\": " + jsonQuoted(module.visits[e.source].entry->time) + "}";
            separator = ",\n";
        }
    out += std::string(separator) == "\n" ? "]\n" : "\n]\n";
    return out;
}

} // namespace z83
