#include "extract/CsvReport.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedSession.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace z83;
using namespace z83::test;

namespace {

const std::string kReport = "/docs/Log20250307090503.CSV";

struct Run : ::testing::Test, ScriptedSession {
    void script(const std::string& count, const std::vector<std::string>& records) {
        provider->script('T', {{0, count}});
        for (const auto& r : records)
            provider->script('U', {{0, r}});
    }
    std::vector<std::string> indexesWritten() const {
        std::vector<std::string> values;
        for (const auto& c : provider->calls)
            if (c.command == 'S')
                values.push_back(c.text.substr(0, c.text.size() - 2));
        return values;
    }
};

std::string lines(std::initializer_list<std::string> entries) {
    std::string text;
    for (const auto& e : entries)
        text += e + "\r\n";
    return text;
}

} // namespace

TEST_F(Run, RecordReadRetriesOnlyWrongLengthsUpToThreeReadsAndKeepsTheLineOnFailure) {
    const std::string good = recordReply(1), longer = good + "0";
    // Two wrong lengths, silent, then the record; three wrong lengths; a failed read.
    provider->script(
        'U', {{0, good.substr(1)}, {0, longer}, {0, good}, {0, longer}, {0, longer}, {0, longer}, {3, ""}});
    CsvLine line;
    EXPECT_EQ(session.cvLogToCSV(line), LogStatus::Good);
    EXPECT_EQ(line.text(), recordLine(1));
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 3);
    EXPECT_TRUE(desktop.messages.empty());

    EXPECT_EQ(session.cvLogToCSV(line), LogStatus::Good);
    EXPECT_EQ(line.text(), recordLine(1)) << "three wrong lengths leave the line alone";
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 6);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot read back log data - incorrect length!");

    EXPECT_EQ(session.cvLogToCSV(line), LogStatus::Good);
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 7) << "a failed read is not retried";
}

// Fractional or out-of-range counts are impossible; text around a number, tabs and line feeds are skipped.
TEST_F(Run, CountTextDecidesHowManyLogsAreRead) {
    const std::pair<std::string, int> cases[] = {{"0", 0},
                                                 {"", 0},
                                                 {"word", 0},
                                                 {"-2", -1},
                                                 {"2.5", -1},
                                                 {"3.0", 3},
                                                 {" 2 logs", 2},
                                                 {"\t1\n2", 12},
                                                 {"65536", -1},
                                                 {"-4294967296", -1},
                                                 {std::string(400, '9'), -1}};
    for (const auto& [count, reads] : cases) {
        SCOPED_TRACE("count " + count.substr(0, 12));
        ScriptedSession fresh;
        fresh.desktop.clearEnabled = true;
        fresh.provider->script('T', {{0, count}});
        for (int n = 1; n <= reads; ++n)
            fresh.provider->script('U', {{0, recordReply(n)}});
        fresh.session.ExtractLogs();
        EXPECT_EQ(fresh.provider->count("ReadCommand", 'U'), std::max(reads, 0));
        ASSERT_EQ(fresh.desktop.messages.size(), 1u);
        const std::string& text = fresh.desktop.messages[0].text;
        if (reads == 0)
            EXPECT_EQ(text, "The handheld does not contain any logs!");
        else if (reads < 0)
            EXPECT_NE(text.find("impossible number of logs: \"" + count.substr(0, 40)), std::string::npos);
        else
            EXPECT_EQ(std::count(fresh.desktop.clipboard.begin(), fresh.desktop.clipboard.end(), '\n'),
                      reads);
        EXPECT_TRUE(fresh.desktop.clearEnabled) << "the button keeps or regains its state";
    }
}

TEST_F(Run, LogNumberChecksRepairWithAnIndexWriteAndFlag) {
    struct Case {
        std::string count;
        std::vector<std::string> replies;
        std::string report;
        std::vector<std::string> indexes;
    } cases[] = {
        {"3",
         {recordReply(1), recordReply(3), recordReply(2), recordReply(3)},
         lines({recordLine(1), recordLine(2), recordLine(3)}),
         {"1", "1", "2"}},
        {"2",
         {recordReply(1), recordReply(5), recordReply(5), recordReply(5)},
         lines({recordLine(1), recordLine(5) + " Incorrect Log Number!"}),
         {"1", "1", "2", "2"}},
        {"3",
         {badCrcReply(7), recordReply(9), badCrcReply(2), recordReply(3)},
         lines({recordLine(7) + " Bad CRC", recordLine(2) + " Bad CRC", recordLine(3)}),
         {"1", "1", "2"}},
    };
    for (const auto& c : cases) {
        provider->calls.clear();
        script(c.count, c.replies);
        session.ExtractLogs();
        EXPECT_EQ(desktop.clipboard, c.report);
        EXPECT_EQ(indexesWritten(), c.indexes);
    }
}

// No record for two logs in a row ends the run; one unread log alone, or wrong lengths, do not.
TEST_F(Run, OneUnreadLogIsFlaggedAndTheRunGoesOnTwoInARowEndIt) {
    script("3", {recordReply(1)});
    provider->script('U', {{4, ""}, {4, ""}, {4, ""}, {0, recordReply(3)}});
    session.ExtractLogs();
    EXPECT_EQ(desktop.clipboard,
              lines({recordLine(1), recordLine(1) + " Incorrect Log Number!", recordLine(3)}));
    EXPECT_TRUE(desktop.clearEnabled);

    provider->calls.clear();
    desktop.clearEnabled = false; // as Extract leaves it
    script("1000", {recordReply(1)});
    provider->fallback['U'] = {0, recordReply(1) + "0"};
    session.ExtractLogs();
    EXPECT_EQ(desktop.messages.back().text.rfind("The link to the handheld was lost at log 2 of 1000. ", 0),
              0u);
    EXPECT_EQ(fileSystem.contentOf("/docs/Log20250307090503-2.CSV"),
              reportFileContent(lines({recordLine(1)})));
    EXPECT_FALSE(desktop.clearEnabled);
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 1 + 18) << "nothing read after the stop";
}

TEST_F(Run, ReportsAreNeverReplacedAndFindAFolder) {
    fileSystem.put(kReport, PathKind::File, "earlier report");
    for (const char* documents : {"/docs", "/docs", "/new/Documents", ""}) {
        desktop.documents = documents;
        desktop.home = "/docs";
        script("1", {recordReply(1)});
        session.ExtractLogs();
    }
    EXPECT_EQ(fileSystem.names("/docs"),
              (std::vector<std::string>{"Log20250307090503-2.CSV", "Log20250307090503-3.CSV",
                                        "Log20250307090503-4.CSV", "Log20250307090503.CSV"}));
    EXPECT_EQ(fileSystem.contentOf(kReport), "earlier report");
    EXPECT_EQ(fileSystem.names("/new/Documents"), std::vector<std::string>{"Log20250307090503.CSV"});
}

// The read-back and the folder flush are the saving steps after which the file is under its name.
TEST_F(Run, ReportThatIsNotSafelySavedNeverEnablesClearLog) {
    fileSystem.put("/plain-file", PathKind::File, "x");
    for (auto [documents, failing, reason] :
         {std::tuple{"/plain-file/Documents", FailingStep::None, "Not a directory"},
          {"/docs", FailingStep::ReadBack, "does not read back as written"},
          {"/docs", FailingStep::SyncFolder, "Input/output error"}}) {
        desktop.messages.clear();
        desktop.documents = documents;
        fileSystem.failing = failing;
        desktop.clipboardWorks = failing != FailingStep::SyncFolder;
        script("1", {recordReply(1)});
        session.ExtractLogs();
        ASSERT_EQ(desktop.messages.size(), 1u);
        const std::string& text = desktop.messages[0].text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        // Never claims the clipboard holds the logs when the clipboard refused them.
        EXPECT_EQ(text.find("The logs are on the clipboard."),
                  desktop.clipboardWorks ? text.find("The logs") : std::string::npos);
        EXPECT_TRUE(desktop.opened.empty());
        EXPECT_FALSE(desktop.clearEnabled);
    }
}
