// The journal on the platform's own file system (under Wine, the Windows one): appending, reading past
// damage, writers at once, checking the reports it names, and a journal that cannot be written.
#include "Journal.h"
#include "FailingFileSystem.h"
#include "FakeDesktop.h"
#include "Session.h"
#include "Sha256.h"
#include "SimulatedBaseStation.h"
#include "TempDir.h"

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
    entry.count = "25";
    entry.logs = 25;
    entry.outcome = "saved";
    entry.reason = reason;
    return entry;
}

JournalReading readBack(const TempDir& data) {
    return readJournal(readFile(data.path() / kJournalFileName));
}

} // namespace

// A line cut short (a writer killed mid-line, a full disk) costs that line alone: the reader names it and
// reads on, and the next entry starts on a line of its own. Text that is not UTF-8 is written anyway.
TEST(Journal, ALineCutShortCostsOnlyItself) {
    TempDir data;
    NativeFileSystem fs;
    ASSERT_EQ(appendToJournal(fs, data.str(), extraction("1A2B3C")), "");
    const std::string cut = journalLine(extraction("2B3C4D"));
    {
        std::ofstream journal(data.path() / kJournalFileName, std::ios::binary | std::ios::app);
        journal << cut.substr(0, cut.size() / 2);
    }
    JournalEntry odd = extraction("3C4D5E");
    odd.count = "2\xff\xfe"; // as a module may send it
    ASSERT_EQ(appendToJournal(fs, data.str(), odd), "");

    const JournalReading reading = readBack(data);
    ASSERT_EQ(reading.entries.size(), 2u);
    EXPECT_EQ(reading.entries[0].module, "1A2B3C");
    EXPECT_EQ(reading.entries[1].module, "3C4D5E");
    EXPECT_EQ(reading.entries[1].count, "2\xEF\xBF\xBD\xEF\xBF\xBD");
    ASSERT_EQ(reading.damaged.size(), 1u);
    EXPECT_EQ(reading.damaged[0].line, 2u);

    // Edited by hand: a field of the wrong type, an unknown kind, a line end of another system.
    const auto edited =
        readJournal("{\"kind\":\"extraction\",\"time\":\"t\",\"module\":\"1\",\"outcome\":\"saved\","
                    "\"logs\":\"25\"}\n{\"kind\":\"erase\"}\n" +
                    journalLine(extraction("4D5E6F")) + "\r\n");
    ASSERT_EQ(edited.entries.size(), 1u);
    EXPECT_EQ(edited.entries[0].module, "4D5E6F");
    ASSERT_EQ(edited.damaged.size(), 2u);
    EXPECT_EQ(edited.damaged[0].why, "\"logs\" is not a whole number");
}

// Writers at once, each line far longer than one write is guaranteed to carry whole: every entry is read
// back whole.
TEST(Journal, WritersAtOnceNeverSplitAnEntry) {
    TempDir data;
    constexpr int kWriters = 4, kEntries = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            NativeFileSystem fs; // each append opens the journal on its own, as another program would
            for (int i = 0; i < kEntries; ++i)
                if (!appendToJournal(fs, data.str(), extraction(std::to_string(w), std::string(100000, 'x')))
                         .empty())
                    ++failures;
        });
    for (auto& writer : writers)
        writer.join();
    EXPECT_EQ(failures, 0);
    const JournalReading reading = readBack(data);
    EXPECT_TRUE(reading.damaged.empty());
    EXPECT_EQ(reading.entries.size(), std::size_t(kWriters * kEntries));
}

TEST(Journal, ReportsAreCheckedAgainstWhatWasSaved) {
    TempDir documents;
    NativeFileSystem fs;
    std::vector<JournalEntry> entries;
    auto saved = [&](const std::string& name, const std::string& content, bool stream = false) {
        const std::string path = fs.join(documents.str(), name);
        if (!stream)
            writeFile(path, content);
        entries.push_back(extraction("1A2B3C"));
        entries.back().report = JournalReport{path, content.size(), sha256Hex(content), stream};
        return path;
    };
    saved("intact.CSV", "report\r\n");
    const auto changed = saved("changed.CSV", "report\r\n");
    const auto missing = saved("missing.CSV", "report\r\n");
    const auto reused = saved("reused.csv", "first\r\n");
    saved("reused.csv", "second\r\n");
    saved("-", "to standard output", true);
    writeFile(changed, "rEport\r\n"); // one byte, the same size
    std::filesystem::remove(missing);

    std::vector<std::string> states;
    for (const ReportCheck& check : checkReports(entries, fs))
        states.push_back(std::string(stateText(check.state)) + (failed(check) ? "!" : ""));
    EXPECT_EQ(states, (std::vector<std::string>{"intact", "changed!", "missing!", "replaced", "intact"}));
}

// A journal that cannot be written spoils nothing: the report is saved and Clear Log offered as always.
// The window says so once per run, after the action's own messages; the extractor each time.
TEST(Journal, AJournalThatCannotBeWrittenIsToldAndChangesNothingElse) {
    for (const bool eachTime : {false, true}) {
        SCOPED_TRACE(eachTime ? "each time" : "once, after the action");
        FakeDesktop desktop;
        TempDir documents, data;
        FailingFileSystem fs(FailingFileSystem::Step::Append);
        auto scenario = sim::demoScenario();
        Session session(
            desktop, [&] { return std::make_unique<sim::SimulatedBaseStation>(scenario); }, fs);
        desktop.documents = documents.str();
        session.keepJournal({data.str(), "window", eachTime});
        ASSERT_EQ(session.Load(), Session::LoadResult::Running);
        desktop.id = "1A2B3C";
        session.IKnow();
        session.IKnow();
        std::vector<std::string> titles;
        for (const auto& m : desktop.messages)
            titles.push_back(m.title);
        const std::string reminder = "Remember To Clear Log Data";
        const std::vector<std::string> expected =
            eachTime
                ? std::vector<std::string>{kJournalWarningTitle, reminder, kJournalWarningTitle, reminder}
                : std::vector<std::string>{reminder, kJournalWarningTitle, reminder};
        EXPECT_EQ(titles, expected);
        EXPECT_NE(desktop.messages[eachTime ? 0 : 1].text.find(fs.join(data.str(), kJournalFileName)),
                  std::string::npos);
        EXPECT_EQ(documents.names().size(), 2u);
        EXPECT_TRUE(desktop.clearEnabled);
    }
}
