// The journal: on the platform's own file system (under Wine, the Windows one), then its report checks.
#include "extract/Journal.h"
#include "desktop/Sha256.h"
#include "extract/NativeFileSystem.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

using namespace z83;
using namespace z83::test;

namespace {

JournalEntry extraction(const std::string& module, const std::string& reason = {}) {
    JournalEntry entry;
    entry.time = "2025-03-07T09:05:03";
    entry.module = module;
    entry.outcome = "saved";
    entry.reason = reason;
    return entry;
}

} // namespace

// A line cut short or edited costs that line alone; the next entry starts on a line of its own.
TEST(Journal, ALineCutShortCostsOnlyItself) {
    TempDir data;
    NativeFileSystem fs;
    ASSERT_EQ(appendToJournal(fs, data.str(), extraction("1A2B3C")), "");
    const std::string cut = journalLine(extraction("2B3C4D"));
    std::ofstream(data.path() / kJournalFileName, std::ios::binary | std::ios::app)
        << "{\"kind\":\"clear\",\"time\":\"t\",\"module\":\"1\",\"outcome\":7}\r\n"
        << cut.substr(0, cut.size() / 2) << "\n"
        << std::string(100000, '[') << "\n";
    JournalEntry odd = extraction("3C4D5E");
    odd.count = "2\xff"; // as a module may send it
    ASSERT_EQ(appendToJournal(fs, data.str(), odd), "");

    const JournalReading reading = readJournal(readFile(data.path() / kJournalFileName));
    ASSERT_EQ(reading.entries.size(), 2u);
    EXPECT_EQ(reading.entries[1].module + reading.entries[1].count, "3C4D5E2\xEF\xBF\xBD");
    ASSERT_EQ(reading.damaged.size(), 3u);
    EXPECT_EQ(reading.damaged[0].why, "\"outcome\" is not a text");
    EXPECT_EQ(reading.damaged[1].line, 3u);
    EXPECT_EQ(reading.damaged[2].why, "nested deeper than 32 levels");
}

// Writers at once, each line far longer than one write is sure to carry whole: every entry reads back whole.
TEST(Journal, WritersAtOnceNeverSplitAnEntry) {
    TempDir data;
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([&] {
            NativeFileSystem fs; // each append opens the journal on its own, as another program would
            for (int i = 0; i < 25; ++i)
                failures +=
                    !appendToJournal(fs, data.str(), extraction("1", std::string(100000, 'x'))).empty();
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(failures, 0);
    const JournalReading reading = readJournal(readFile(data.path() / kJournalFileName));
    EXPECT_TRUE(reading.damaged.empty());
    EXPECT_EQ(reading.entries.size(), 100u);
}

// A report saved again under the same path (as -o does) is replaced, not changed; a stream is not checked.
TEST(Journal, ReportsAreCheckedAgainstWhatWasSaved) {
    MemoryFileSystem fs;
    std::vector<JournalEntry> entries;
    for (const auto& [path, content] : {std::pair{"/intact", "a"},
                                        {"/changed", "b"},
                                        {"/missing", "c"},
                                        {"/reused", "d"},
                                        {"/reused", "e"},
                                        {"-", "f"}}) {
        fs.put(path, path[0] == '-' ? PathKind::Stream : PathKind::File, content);
        entries.push_back(extraction("1"));
        entries.back().report = JournalReport{path, 1, sha256Hex(content), path[0] == '-'};
    }
    fs.put("/changed", PathKind::File, "B");
    fs.removeFile("/missing");
    std::vector<std::string> states;
    for (const ReportCheck& check : checkReports(entries, fs))
        states.push_back(std::string(stateText(check.state)) + (failed(check) ? "!" : ""));
    EXPECT_EQ(states, (std::vector<std::string>{"intact", "changed!", "missing!", "replaced", "intact"}));
}
