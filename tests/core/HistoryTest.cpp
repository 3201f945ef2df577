// A module's history: reports read back, the union of their events, and the chart's marks.
#include "desktop/IsoTime.h"
#include "desktop/Sha256.h"
#include "history/HistoryPage.h"
#include "history/ReportReading.h"
#include "tests/support/MemoryFileSystem.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace z83;
using namespace z83::test;

namespace {

LogRecord record(int logNumber, float value, bool overload = false, int day = 21) {
    LogFields f;
    f.logNumber = static_cast<std::uint16_t>(logNumber);
    f.start = {5, 30, 14, static_cast<std::uint8_t>(day), 6, 24};
    f.peak = {7, 30, 14, static_cast<std::uint8_t>(day), 6, 24};
    f.end = {12, 31, 14, static_cast<std::uint8_t>(day), 6, 24};
    f.peakValue = value;
    f.flags = overload ? 1 : 0;
    return recordFrom(f);
}

std::string report(const std::vector<LogRecord>& records, LogStatus lastStatus = LogStatus::Good) {
    std::vector<LogEntry> entries;
    for (const LogRecord& r : records)
        entries.push_back({CsvLine{r}, LogStatus::Good});
    if (!entries.empty())
        entries.back().status = lastStatus;
    return reportFileContent(entries);
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

// What the program writes reads back field for field; a file that is not a report is refused at its line.
// Every time the programs write goes through one formatter: fields padded, and a record's nonsense date shown
// digit for digit rather than cut to the field's width.
TEST(IsoTime, PadsEachFieldAndCutsNothing) {
    EXPECT_EQ(isoTime({2024, 6, 1, 9, 5, 7}), "2024-06-01T09:05:07");
    EXPECT_EQ(isoTime({999, 12, 31, 23, 59, 59}, ' '), "0999-12-31 23:59:59");
    EXPECT_EQ(isoTime({2255, 255, 0, 100, 0, 61}), "2255-255-00T100:00:61");
    EXPECT_EQ(isoText(-1), "1999-12-31T23:59:59");
}

TEST(ReportReading, ReadsTheProgramsReportsAndNamesTheWrongLine) {
    const ReadReport own =
        readReport(report({record(1, 0.01f), record(2, 1500.0f, true), record(3, 1.5e7f)}));
    ASSERT_TRUE(own.ok()) << own.why;
    ASSERT_EQ(own.records.size(), 3u);
    EXPECT_EQ(own.records[1].logNumber, 2);
    EXPECT_EQ(own.records[1].peakValue, 1500.0f);
    EXPECT_TRUE(own.records[1].overload);
    EXPECT_EQ(own.records[2].peakValue, 1.5e7f);
    EXPECT_EQ(isoText(own.records[0].peak), "2024-06-21T14:30:07");

    struct Case {
        std::string content;
        std::size_t badLine;
        std::size_t records;
    };
    const std::string header = std::string(kReportHeader) + "\r\n";
    const Case cases[] = {
        {report({record(4, 2.0f)}, LogStatus::BadCrc), 0, 1},
        {header + " Incorrect Log Number!\r\n\r\n", 0, 1}, // a flagged line without a record
        {header + "1,21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,NAN,SAFE\r\n", 0, 1},
        {"Log,Start\r\n", 1, 0},
        {"", 1, 0},
        {header + "1,21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5,FINE\r\n", 2, 0},
        {header + "1,21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5\r\n", 2, 0},
        {header + "2,21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5,SAFE,x\r\n", 2, 0},
        {header + "70000,21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,1,SAFE\r\n", 2, 0},
        {header + "1,21-6-2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,1,SAFE\r\n", 2, 0},
        {"{\"module_id\": \"1A\", \"logs\": [{\"log_number\": 1, \"start\": \"2024-06-21T14:30:05\", "
         "\"peak\": "
         "\"2024-06-21T14:30:07\", \"end\": \"2024-06-21T14:31:12\", \"peak_value\": null, \"overload\": "
         "false, "
         "\"status\": \"\"}, {\"log_number\": null, \"status\": \"Bad CRC\"}]}",
         0, 2},
        {"{\"module_id\": \"1A\", \"logs\": [{\"log_number\": 1, \"status\": \"\"}]}", 1, 0},
        {"{\"module_id\": \"1A\",\n \"logs\": [", 2, 0},
        {"{\"model\": 1e99999}", 1, 0}, // a number past any double: refused, never thrown
        // Nesting no report needs is refused before parsing; an odd byte reads as U+FFFD.
        {"{\"module_id\": \"1A\",\n\"logs\": " + std::string(40, '[') + std::string(40, ']') + "}", 2, 0},
        {"{\"module_id\": \"1A\", \"model\": \"Z83\xff\", \"logs\": []}", 0, 0}, // U+FFFD for the odd byte
    };
    for (const Case& c : cases) {
        const ReadReport read = readReport(c.content);
        EXPECT_EQ(read.badLine, c.badLine) << c.content << read.why;
        EXPECT_EQ(read.records.size(), c.records) << c.content;
    }
}

// A log read twice counts once; a report changed since saved gives nothing; two reports of one visit that
// disagree about a log number are both kept and marked, and a clear starts a new visit.
TEST(History, UnionOfTheReportsThatStillHoldWhatWasSaved) {
    InMemoryFileSystem fs;
    std::vector<JournalEntry> entries;
    const auto saved = [&](const std::string& path, const std::string& content,
                           const std::string& module = "1A") {
        fs.put(path, PathKind::File, content);
        JournalEntry e;
        e.time = "2025-03-0" + std::to_string(entries.size() + 1) + "T09:00:00";
        e.module = module;
        e.outcome = "saved";
        e.report = JournalReport{path, content.size(), sha256Hex(content), false};
        entries.push_back(e);
    };
    const auto cleared = [&] {
        JournalEntry e;
        e.kind = JournalEntry::Kind::Clear;
        e.time = "2025-03-0" + std::to_string(entries.size() + 1) + "T10:00:00";
        e.module = "1a";
        e.outcome = "cleared";
        entries.push_back(e);
    };
    saved("/r1.CSV", report({record(1, 5.0f), record(2, 6.0f, true)}));
    saved("/r2.CSV", report({record(1, 5.0f), record(2, 6.0f, true), record(3, 7.0f)})); // read again
    saved("/r3.CSV", report({record(1, 5.0f), record(2, 9.0f, true)}));                  // disagrees on 2
    saved("/edited.CSV", report({record(9, 1.0f)}));
    fs.put("/edited.CSV", PathKind::File, report({record(8, 1.0f)}));
    cleared();
    saved("/r4.CSV", report({record(1, 50.0f, false, 22), record(2, 60.0f, false, 22)}, LogStatus::BadCrc));
    saved("/other.CSV", report({record(1, 5.0f)}), "2B");

    const JournalReading journal{entries, {}};
    const History history = buildHistory(journal, {std::string("1A"), "", ""}, fs);
    ASSERT_EQ(history.modules.size(), 1u);
    const ModuleHistory& m = history.modules[0];
    EXPECT_EQ(m.figures.events, 5u); // 1, 2, 2 (disagreeing), 3, and the new visit's 1
    EXPECT_EQ(m.figures.flagged, 1u);
    EXPECT_EQ(m.figures.overloads, 2u);
    EXPECT_EQ(m.figures.disagreements, 2u);
    EXPECT_EQ(m.figures.unusedReports, 1u);
    EXPECT_EQ(m.figures.lastClear, "2025-03-05T10:00:00");
    EXPECT_EQ(m.events[*m.figures.highest].record.peakValue, 50.0f);
    EXPECT_EQ(m.visits[3].state, HistorySource::State::Changed);
    EXPECT_EQ(m.visits[1].newEvents, 1u);
    EXPECT_TRUE(history.reportsFailed());
    const History later = buildHistory(journal, {std::string("1A"), "2024-06-22", "2024-06-22"}, fs);
    EXPECT_EQ(later.modules[0].figures.events, 1u); // only the new visit's log 1 peaks on 22 June
    EXPECT_NE(historyPage(later, "test").find("from 2024-06-22 up to 2024-06-22 only."), std::string::npos);
    for (const HistoryEvent& e : m.events)
        EXPECT_EQ(e.disagrees, e.record.logNumber == 2 && e.record.status == LogStatus::Good &&
                                   e.record.peak < *fromIso("2024-06-22T00:00:00"))
            << e.record.logNumber << " " << e.record.peakValue;
}

// Far more events than pixels: at most one mark per pixel, an overload wherever one falls, every event
// counted; every text shown as text.
TEST(HistoryPage, DrawsAMarkPerPixelAndNeverHidesAnOverload) {
    ModuleHistory m;
    m.id = "1A";
    m.model = "<b>Z83</b>\xff";
    const LogSeconds day = 86400;
    for (int i = 0; i < 100000; ++i) {
        ReadRecord r;
        r.peak = 9000 * day + (i % 2) * 30 * day;
        r.peakValue = i % 2 ? 1500.0f : 0.01f;
        r.overload = i == 77777; // one overload among the many at the same pixel
        m.events.push_back({r, 0, false});
    }
    m.figures.events = m.events.size();
    m.figures.overloads = 1;
    m.figures.first = 9000 * day;
    m.figures.last = 9030 * day;
    History history;
    history.modules.push_back(m);
    history.journalPath = "/home/<i>/journal.jsonl";
    const std::string page = historyPage(history, "test");
    const auto at = page.find("<path class=\"ev\" d=\"");
    ASSERT_NE(at, std::string::npos);
    const std::string marks = page.substr(at, page.find("</svg>", at) - at);
    EXPECT_EQ(count(marks, "M"), 2u);        // one pixel for each half
    EXPECT_EQ(count(marks, "l4 7h-8z"), 1u); // and the overload's pixel shows an overload
    EXPECT_NE(page.find("<td>100000</td>"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;Z83&lt;/b&gt;\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
}
