#include "history/HistoryPage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace z83 {

namespace {

// Every text from a module, a file name or the journal goes through here: it shows as the characters it
// holds, never as markup.
std::string escaped(std::string_view text) {
    const std::string valid = validUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (const char c : valid) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            // Control characters would be dropped or break the page's text silently.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                out += "\xEF\xBF\xBD";
            else
                out += c;
        }
    }
    return out;
}

std::string shownTime(std::string_view time) {
    std::string text(time);
    std::replace(text.begin(), text.end(), 'T', ' ');
    return text;
}

constexpr const char* kStyle = R"(
body{font:14px/1.4 system-ui,sans-serif;color:#111;margin:24px auto;max-width:960px;padding:0 16px}
h1{font-size:22px;margin:0 0 4px}h2{font-size:18px;margin:0 0 8px}
.made{color:#444;margin:0 0 16px}
section.module{border-top:2px solid #333;padding:12px 0 20px;break-inside:avoid-page}
.model{font-weight:normal;color:#444}
table{border-collapse:collapse;margin:8px 0}td,th{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top}
th{background:#eee}td.n{text-align:right}
.figures th{width:14em}
.warn{background:#fff4d6;border-left:4px solid #b07800;padding:4px 8px}
.bad{font-weight:bold;color:#8a0000}
.visits td.path{word-break:break-all}
svg.chart{width:100%;max-width:720px;height:auto;display:block;border:1px solid #ccc;background:#fff}
svg text{font:11px sans-serif;fill:#333}
.grid{stroke:#ddd;stroke-width:1;fill:none}.axis{stroke:#333;stroke-width:1;fill:none}
.ev{stroke:#1f4e9a;stroke-width:4;stroke-linecap:round;fill:none}
.ov{fill:#d7191c;stroke:#000;stroke-width:.8}
.dense .ev{stroke-width:2}.dense .ov{stroke:none}
.legend{margin:4px 0 0;color:#333}
*{-webkit-print-color-adjust:exact;print-color-adjust:exact}
@media print{body{margin:0;max-width:none}section.module{break-inside:avoid}}
)";

// Where an event lands on the chart.
struct Scale {
    LogSeconds from = 0, to = 1;
    int lowDecade = -2, highDecade = 4;

    int x(LogSeconds t) const {
        return static_cast<int>(std::lround(double(t - from) / double(to - from) * (kChartWidth - 1)));
    }
    // Rows from the top; zero and below on the bottom row, as a logarithm has no place for them.
    int y(float value) const {
        if (!(value > 0))
            return kChartHeight - 1;
        if (std::isinf(value))
            return 0;
        const double at = (std::log10(double(value)) - lowDecade) / (highDecade - lowDecade);
        return std::clamp(static_cast<int>(std::lround((1 - at) * (kChartHeight - 1))), 0, kChartHeight - 1);
    }
};

Scale scaleOf(const ModuleHistory& module) {
    Scale scale;
    scale.from = *module.figures.first;
    scale.to = *module.figures.last;
    if (scale.to - scale.from < 86400) { // a day at least, centred on the events
        const LogSeconds middle = scale.from + (scale.to - scale.from) / 2;
        scale.from = middle - 43200;
        scale.to = middle + 43200;
    }
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (const HistoryEvent& e : module.events)
        if (e.record.hasRecord && e.record.status == LogStatus::Good && e.record.peakValue > 0 &&
            std::isfinite(e.record.peakValue)) {
            low = std::min(low, double(e.record.peakValue));
            high = std::max(high, double(e.record.peakValue));
        }
    if (low <= high) {
        scale.lowDecade = static_cast<int>(std::floor(std::log10(low)));
        scale.highDecade = std::max(static_cast<int>(std::ceil(std::log10(high))), scale.lowDecade + 1);
    }
    return scale;
}

std::string decadeText(int decade) {
    if (decade >= 0 && decade <= 6) {
        std::string text = "1" + std::string(static_cast<std::size_t>(decade), '0');
        for (int at = static_cast<int>(text.size()) - 3; at > 0; at -= 3)
            text.insert(static_cast<std::size_t>(at), ",");
        return text;
    }
    if (decade < 0 && decade >= -6)
        return "0." + std::string(static_cast<std::size_t>(-decade - 1), '0') + "1";
    return "1E" + std::to_string(decade);
}

void appendf(std::string& out, const char* format, auto... values) {
    char text[160];
    const int n = std::snprintf(text, sizeof text, format, values...);
    out.append(text, static_cast<std::size_t>(std::clamp(n, 0, int(sizeof text) - 1)));
}

constexpr int kLeft = 64, kTop = 12, kBottom = 34, kRight = 16;
constexpr std::size_t kDenseMarks = 5000;

// The chart's grid, axes and labels: a line for each decade, five dates along the bottom.
void appendAxes(const Scale& scale, std::string& out) {
    // A line and a label for each decade.
    std::string grid, labels;
    for (int decade = scale.lowDecade; decade <= scale.highDecade; ++decade) {
        const int y = kTop + (kChartHeight - 1) -
                      (decade - scale.lowDecade) * (kChartHeight - 1) / (scale.highDecade - scale.lowDecade);
        appendf(grid, "M%d %dh%d", kLeft, y, kChartWidth);
        appendf(labels, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>", kLeft - 6, y + 4,
                decadeText(decade).c_str());
    }
    // Five dates along the bottom.
    for (int i = 0; i <= 4; ++i) {
        const int x = kLeft + i * (kChartWidth - 1) / 4;
        const LogSeconds t = scale.from + (scale.to - scale.from) * i / 4;
        appendf(grid, "M%d %dv%d", x, kTop, kChartHeight);
        appendf(labels, "<text x=\"%d\" y=\"%d\" text-anchor=\"%s\">%s</text>", x, kTop + kChartHeight + 18,
                i == 0   ? "start"
                : i == 4 ? "end"
                         : "middle",
                isoText(t).substr(0, 10).c_str());
    }
    out += "<path class=\"grid\" d=\"" + grid + "\"/>\n";
    appendf(out, "<path class=\"axis\" d=\"M%d %dV%dH%d\"/>\n", kLeft, kTop, kTop + kChartHeight,
            kLeft + kChartWidth);
    out += labels + "\n";
}

// The chart of one module: one mark in each pixel where events fall, an overload mark wherever one of
// them is an overload.
void appendChart(const ModuleHistory& module, std::string& out) {
    const Scale scale = scaleOf(module);
    std::vector<std::uint8_t> cells(std::size_t(kChartWidth) * kChartHeight, 0);
    std::size_t overloads = 0;
    for (const HistoryEvent& e : module.events) {
        if (!e.record.hasRecord || e.record.status != LogStatus::Good)
            continue;
        std::uint8_t& cell = cells[std::size_t(scale.y(e.record.peakValue)) * kChartWidth +
                                   std::size_t(scale.x(e.record.peak))];
        cell = std::max<std::uint8_t>(cell, e.record.overload ? 2 : 1);
        overloads += e.record.overload;
    }
    const int width = kLeft + kChartWidth + kRight, height = kTop + kChartHeight + kBottom;
    // Where marks crowd, smaller ones without edges keep the red of the overloads readable.
    const auto drawn =
        static_cast<std::size_t>(std::count_if(cells.begin(), cells.end(), [](auto c) { return c != 0; }));
    appendf(out,
            "<svg class=\"chart%s\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %d %d\" role=\"img\" "
            "data-events=\"%zu\" data-overloads=\"%zu\">\n",
            drawn > kDenseMarks ? " dense" : "", width, height, module.figures.events, overloads);
    out += "<title>Peak value of every event of module " + escaped(module.id) +
           " over time, on a logarithmic scale</title>\n";
    appendAxes(scale, out);
    std::string events = "<path class=\"ev\" d=\"", overloadMarks = "<path class=\"ov\" d=\"";
    for (int y = 0; y < kChartHeight; ++y)
        for (int x = 0; x < kChartWidth; ++x) {
            const std::uint8_t cell = cells[std::size_t(y) * kChartWidth + std::size_t(x)];
            if (cell == 1)
                appendf(events, "M%d %dh0", kLeft + x, kTop + y);
            else if (cell == 2) // a triangle: it stands out in grey print and for every eye
                appendf(overloadMarks, "M%d %dl4 7h-8z", kLeft + x, kTop + y - 4);
        }
    out += events + "\"/>\n" + overloadMarks + "\"/>\n</svg>\n";
}

void appendFigure(std::string& out, const char* key, const std::string& name, const std::string& value) {
    out += "<tr data-figure=\"" + std::string(key) + "\"><th>" + name + "</th><td>" + value + "</td></tr>\n";
}

void appendFigures(const ModuleHistory& module, std::string& out) {
    const HistoryFigures& f = module.figures;
    out += "<table class=\"figures\">\n";
    appendFigure(out, "events", "Events", std::to_string(f.events));
    appendFigure(out, "overloads", "Overloads", std::to_string(f.overloads));
    if (f.highest) {
        const ReadRecord& r = module.events[*f.highest].record;
        appendFigure(out, "highest", "Highest peak",
                     escaped(formatPeak(r.peakValue)) + " at " + shownTime(isoText(r.peak)));
    } else {
        appendFigure(out, "highest", "Highest peak", "none");
    }
    appendFigure(out, "first", "First event", f.first ? shownTime(isoText(*f.first)) : "none");
    appendFigure(out, "last", "Last event", f.last ? shownTime(isoText(*f.last)) : "none");
    appendFigure(out, "last-extraction", "Last extraction",
                 f.lastExtraction.empty() ? "none" : escaped(shownTime(f.lastExtraction)));
    appendFigure(out, "last-clear", "Last clear",
                 f.lastClear.empty() ? "none" : escaped(shownTime(f.lastClear)));
    appendFigure(out, "flagged", "Flagged records (not drawn)", std::to_string(f.flagged));
    if (f.disagreements > 0)
        appendFigure(out, "disagreements", "Records that disagree", std::to_string(f.disagreements));
    out += "</table>\n";
}

std::string number(const std::optional<std::uint64_t>& value) {
    return value ? std::to_string(*value) : std::string();
}

void appendVisits(const ModuleHistory& module, std::string& out) {
    out += "<table class=\"visits\">\n<tr><th>Time</th><th>Entry</th><th>Logs</th><th>Flagged</th>"
           "<th>Outcome</th><th>Report</th><th>Report now</th></tr>\n";
    for (const HistorySource& visit : module.visits) {
        const JournalEntry& e = *visit.entry;
        const bool bad = visit.state != HistorySource::State::Used &&
                         visit.state != HistorySource::State::Stream &&
                         visit.state != HistorySource::State::NoReport;
        std::string state =
            visit.state == HistorySource::State::NoReport ? "" : std::string(stateText(visit.state));
        if (visit.state == HistorySource::State::Used)
            state += ": " + std::to_string(visit.newEvents) + " new of " + std::to_string(visit.records);
        if (!visit.detail.empty())
            state += " (" + visit.detail + ")";
        out += "<tr" + std::string(bad ? " class=\"bad\"" : "") + "><td>" + escaped(shownTime(e.time)) +
               "</td><td>" + std::string(kindText(e.kind)) + "</td><td class=\"n\">" + number(e.logs) +
               "</td><td class=\"n\">" + number(e.flagged) + "</td><td>" +
               escaped(e.reason.empty() ? e.outcome : e.outcome + ": " + e.reason) +
               "</td><td class=\"path\">" + escaped(e.report ? e.report->path : std::string()) + "</td><td>" +
               escaped(state) + "</td></tr>\n";
    }
    out += "</table>\n";
}

void appendDisagreements(const ModuleHistory& module, std::string& out) {
    if (module.figures.disagreements == 0)
        return;
    out += "<p class=\"warn\">Reports of the same visit (between the same two clears) hold different records "
           "under the same log number; each is drawn and listed here.</p>\n<table class=\"disagree\">\n"
           "<tr><th>Log</th><th>Start</th><th>Peak</th><th>Value</th><th>Overload</th><th>Report</th></tr>\n";
    constexpr std::size_t kMostListed = 200;
    std::size_t listed = 0;
    for (const HistoryEvent& e : module.events) {
        if (!e.disagrees || ++listed > kMostListed)
            continue;
        const JournalEntry& entry = *module.visits[e.source].entry;
        out += "<tr><td class=\"n\">" + std::to_string(e.record.logNumber) + "</td><td>" +
               shownTime(isoText(e.record.start)) + "</td><td>" + shownTime(isoText(e.record.peak)) +
               "</td><td class=\"n\">" + escaped(formatPeak(e.record.peakValue)) + "</td><td>" +
               (e.record.overload ? "OVERLOAD" : "SAFE") + "</td><td class=\"path\">" +
               escaped(entry.report ? entry.report->path : std::string()) + "</td></tr>\n";
    }
    out += "</table>\n";
    if (listed > kMostListed)
        out += "<p>and " + std::to_string(listed - kMostListed) + " more.</p>\n";
}

void appendModule(const ModuleHistory& module, std::string& out) {
    out += "<section class=\"module\" data-module=\"" + escaped(module.id) + "\">\n<h2>Module " +
           escaped(module.id) +
           (module.model.empty() ? "" : " <span class=\"model\">" + escaped(module.model) + "</span>") +
           "</h2>\n";
    appendFigures(module, out);
    if (module.figures.unusedReports > 0)
        out +=
            "<p class=\"warn\">" + std::to_string(module.figures.unusedReports) +
            (module.figures.unusedReports == 1 ? " report is" : " reports are") +
            " not used: missing, changed since saved, replaced or unreadable (see the visits). The figures "
            "and the chart leave their records out.</p>\n";
    if (module.figures.events == 0) {
        out += "<p class=\"empty\">No events to draw.</p>\n";
    } else {
        appendChart(module, out);
        out +=
            "<p class=\"legend\"><svg width=\"10\" height=\"10\" viewBox=\"0 0 10 10\"><circle cx=\"5\" "
            "cy=\"5\" "
            "r=\"2\" fill=\"#1f4e9a\"/></svg> event &#160; <svg width=\"10\" height=\"10\" viewBox=\"0 0 10 "
            "10\">"
            "<path d=\"M5 1l4 7H1z\" fill=\"#d7191c\" stroke=\"#000\" stroke-width=\".8\"/></svg> overload "
            "&#160; Peak value on a logarithmic scale (zero and below on the bottom line), at the peak's "
            "date and time. " +
            std::to_string(module.figures.flagged) + " flagged " +
            (module.figures.flagged == 1 ? "record" : "records") + " not drawn.</p>\n";
    }
    appendDisagreements(module, out);
    out += "<h3>Visits</h3>\n";
    appendVisits(module, out);
    out += "</section>\n";
}

} // namespace

std::string historyPage(const History& history, const std::string& madeBy) {
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width\">\n<title>Module history</title>\n"
        "<style>" +
        std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Module history</h1>\n";
    out += "<p class=\"made\">From the journal " + escaped(history.journalPath) + ", by " + escaped(madeBy) +
           ". " + std::to_string(history.modules.size()) +
           (history.modules.size() == 1 ? " module." : " modules.");
    // A page of part of the history says which part, so that nobody reads it as the whole.
    if (history.filter.module)
        out += " Module " + escaped(*history.filter.module) + " only.";
    if (!history.filter.since.empty() || !history.filter.until.empty())
        out +=
            " Events and visits " +
            (history.filter.since.empty() ? std::string() : "from " + escaped(history.filter.since) + " ") +
            (history.filter.until.empty() ? std::string() : "up to " + escaped(history.filter.until) + " ") +
            "only.";
    out += "</p>\n";
    for (const std::string& warning : history.warnings)
        out += "<p class=\"warn\">" + escaped(warning) + "</p>\n";
    if (history.modules.empty())
        out += "<p class=\"empty\">The journal lists no module here.</p>\n";
    for (const ModuleHistory& module : history.modules)
        appendModule(module, out);
    out += "</body>\n</html>\n";
    return out;
}

} // namespace z83
