#include "tests/support/Records.h"
#include "tests/support/ScriptedSession.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace z83;
using namespace z83::test;

namespace {

const std::string kReportName = "Log20250307090503.CSV";

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
    const std::string good = recordReply(1);
    provider->script('U', {{0, good.substr(1)},
                           {0, good + "0"},
                           {0, good}, // two wrong lengths, silent
                           {0, good + "0"},
                           {0, good + "0"},
                           {0, good + "0"},
                           {3, ""},
                           {0, badCrcReply(4)}});
    CsvLine line;
    EXPECT_EQ(session.cvLogToCSV(line), LogStatus::Good);
    EXPECT_EQ(line.text(), recordLine(1));
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 3);
    EXPECT_TRUE(desktop.messages.empty());

    desktop.setStatus("ID: 1A2B3C", false);
    EXPECT_EQ(session.cvLogToCSV(line), LogStatus::Good);
    EXPECT_EQ(line.text(), recordLine(1)) << "three wrong lengths leave the line alone";
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 6);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot read back log data - incorrect length!");
    EXPECT_EQ(desktop.messages[0].title, "Warning");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(desktop.status, "ID: 1A2B3C");

    EXPECT_EQ(session.cvLogToCSV(line), LogStatus::Good);
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 7) << "a failed read is not retried";
    EXPECT_EQ(desktop.messages.back().text, "Cannot read LogData!!\r\nTry again.");
    EXPECT_EQ(session.cvLogToCSV(line), LogStatus::BadCrc);
    EXPECT_EQ(line.text(), recordLine(4));
}

TEST_F(Run, GoodLogsReachClipboardFileShellAndReminderInThatOrder) {
    script("3", {recordReply(1), recordReply(2, true), recordReply(3)});
    session.ExtractLogs();
    const std::string text = lines({recordLine(1), recordLine(2, true), recordLine(3)});
    EXPECT_EQ(desktop.clipboard, text);
    ASSERT_EQ(documents.names(), std::vector<std::string>{kReportName});
    EXPECT_EQ(readFile(documents.path() / kReportName),
              "Log Number,Start Date,Start Time,Peak Date,Peak Time,End Date,End Time,Peak,Overload\r\n" +
                  text + "\r\n");
    EXPECT_EQ(desktop.opened, std::vector<std::string>{(documents.path() / kReportName).string()});
    EXPECT_EQ(indexesWritten(), (std::vector<std::string>{"1", "1"}));
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 3) << "one record read per log when all goes well";
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].title, "Remember To Clear Log Data");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(desktop.events,
              (std::vector<std::string>{"busy", "default-pointer", "clipboard", "open", "clear-enabled",
                                        "message:Remember To Clear Log Data"}));
}

TEST_F(Run, CountTextDecidesHowManyLogsAreRead) {
    enum Expect { NoLogs, Impossible, Reads };
    struct Case {
        std::string count;
        Expect expect;
        int reads;
    } cases[] = {{"0", NoLogs, 0},
                 {"", NoLogs, 0},
                 {"word", NoLogs, 0},
                 {"-2", Impossible, 0},
                 {"0.4", Impossible, 0},
                 {"2.5", Impossible, 0},
                 {"3.0", Reads, 3},
                 {" 2 logs", Reads, 2},
                 {"\t1\n2", Reads, 12},
                 {"65536", Impossible, 0},
                 {"4294967296", Impossible, 0},
                 {"-4294967296", Impossible, 0},
                 {"65535.5", Impossible, 0},
                 {std::string(400, '9'), Impossible, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE("count " + c.count.substr(0, 12));
        ScriptedSession fresh;
        fresh.desktop.clearEnabled = true;
        fresh.provider->script('T', {{0, c.count}});
        for (int n = 1; n <= c.reads; ++n)
            fresh.provider->script('U', {{0, recordReply(n)}});
        fresh.session.ExtractLogs();
        EXPECT_EQ(fresh.provider->count("ReadCommand", 'U'), c.reads);
        ASSERT_EQ(fresh.desktop.messages.size(), 1u);
        const auto& m = fresh.desktop.messages[0];
        if (c.expect == NoLogs) {
            EXPECT_EQ(m.text, "The handheld does not contain any logs!");
            EXPECT_EQ(m.title, "No Logs");
            EXPECT_EQ(m.icon, MessageIcon::Information);
            EXPECT_TRUE(m.busyWhenShown);
        } else if (c.expect == Impossible) {
            EXPECT_EQ(m.title, "Error");
            EXPECT_NE(m.text.find("\"" + c.count.substr(0, 40)), std::string::npos) << "quotes the count";
        } else {
            EXPECT_EQ(m.title, "Remember To Clear Log Data");
            EXPECT_EQ(std::count(fresh.desktop.clipboard.begin(), fresh.desktop.clipboard.end(), '\n'),
                      c.reads);
        }
        EXPECT_EQ(fresh.desktop.clipboardSet, c.expect == Reads);
        EXPECT_TRUE(fresh.desktop.clearEnabled) << "the button keeps or regains its state";
    }
}

TEST_F(Run, LogNumberChecksRepairAndFlag) {
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

TEST_F(Run, EveryReadFailingForLogOneCostsFiveMessagesAndFlagsAnEmptyLine) {
    provider->script('T', {{0, "1"}});
    provider->fallback['U'] = {4, ""};
    provider->script('S', {{0, ""}, {0, ""}});
    provider->fallback['S'] = {4, ""};
    session.ExtractLogs();
    EXPECT_EQ(desktop.clipboard, " Incorrect Log Number!\r\n");
    EXPECT_EQ(std::count_if(desktop.messages.begin(), desktop.messages.end(),
                            [](const auto& m) { return m.title == "Error"; }),
              5);
}

// No record for two logs in a row ends the run: the link is gone. One unread log alone does not.
TEST_F(Run, TwoUnreadLogsInARowEndTheRunWithTheLogsReadBeforeSaved) {
    const std::string wrongLength = recordReply(1) + "0";
    const struct {
        std::string name;
        std::vector<ScriptedProvider::Reply> records; // then every read fails
        ScriptedProvider::Reply failedRead;
        bool indexWritesFail;
        int failureBoxes;
        std::string report;
    } cases[] = {
        {"reads and index writes fail",
         {{0, recordReply(1)}, {0, recordReply(2)}},
         {4, ""},
         true,
         10,
         lines({recordLine(1), recordLine(2)})},
        {"replies of a wrong length",
         {{0, recordReply(1)}},
         {0, wrongLength},
         false,
         6,
         lines({recordLine(1)})},
        {"nothing read", {}, {4, ""}, false, 6, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSession fresh;
        fresh.provider->script('T', {{0, "1000"}});
        fresh.provider->script('U', c.records);
        fresh.provider->fallback['U'] = c.failedRead;
        fresh.provider->script('S', {{0, ""}, {0, ""}});
        fresh.provider->fallback['S'] = {c.indexWritesFail ? std::int16_t(4) : std::int16_t(0), ""};
        fresh.session.ExtractLogs();

        const auto& shown = fresh.desktop.messages;
        ASSERT_EQ(shown.size(), std::size_t(c.failureBoxes + 1));
        const auto lost = std::to_string(c.records.size() + 1);
        EXPECT_EQ(shown.back().title, "Link Lost");
        EXPECT_EQ(shown.back().icon, MessageIcon::Error);
        EXPECT_EQ(
            shown.back().text.rfind("The link to the handheld was lost at log " + lost + " of 1000. ", 0), 0u)
            << shown.back().text;
        EXPECT_EQ(fresh.desktop.clipboard, c.report);
        ASSERT_EQ(fresh.documents.names(), std::vector<std::string>{kReportName});
        EXPECT_EQ(readFile(fresh.documents.path() / kReportName), reportFileContent(c.report));
        EXPECT_EQ(fresh.desktop.opened.size(), 1u);
        EXPECT_FALSE(fresh.desktop.clearEnabled);
        EXPECT_EQ(fresh.provider->count("ReadCommand", 'U'),
                  int(c.records.size()) + (c.failedRead.status ? 6 : 18))
            << "nothing read after the stop";
    }

    // One unread log between good ones is a passing fault: it is flagged and the run goes on.
    script("3", {recordReply(1)});
    provider->script('U', {{4, ""}, {4, ""}, {4, ""}, {0, recordReply(3)}});
    session.ExtractLogs();
    EXPECT_EQ(desktop.clipboard,
              lines({recordLine(1), recordLine(1) + " Incorrect Log Number!", recordLine(3)}));
    EXPECT_TRUE(desktop.clearEnabled);
}

TEST_F(Run, ReportsAreNeverReplacedAndFindAFolder) {
    writeFile(documents.path() / kReportName, "earlier report");
    for (int run = 0; run < 2; ++run) {
        script("1", {recordReply(1)});
        session.ExtractLogs();
    }
    EXPECT_EQ(documents.names(),
              (std::vector<std::string>{"Log20250307090503-2.CSV", "Log20250307090503-3.CSV", kReportName}));
    EXPECT_EQ(readFile(documents.path() / kReportName), "earlier report");

    desktop.documents = (documents.path() / "new" / "Documents").string();
    script("1", {recordReply(1)});
    session.ExtractLogs();
    EXPECT_TRUE(std::filesystem::exists(documents.path() / "new" / "Documents" / kReportName));

    TempDir home;
    desktop.documents = "";
    desktop.home = home.str();
    script("1", {recordReply(1)});
    session.ExtractLogs();
    EXPECT_EQ(home.names(), std::vector<std::string>{kReportName});
}

TEST_F(Run, ReportThatIsNotSafelySavedNeverEnablesClearLog) {
    writeFile(documents.path() / "plain-file", "x");
    for (auto [documentsFolder, failing, reason] :
         {std::tuple{(documents.path() / "plain-file" / "Documents").string(), FailingFileSystem::Step::None,
                     "Not a directory"},
          {documents.str(), FailingFileSystem::Step::ReadBack, "does not read back as written"},
          {documents.str(), FailingFileSystem::Step::SyncFolder, "Input/output error"}}) {
        SCOPED_TRACE(reason);
        desktop.messages.clear();
        desktop.documents = documentsFolder;
        fileSystem.failing = failing;
        script("1", {recordReply(1)});
        session.ExtractLogs();
        EXPECT_EQ(desktop.clipboard, lines({recordLine(1)})) << "the lines are kept on the clipboard";
        ASSERT_EQ(desktop.messages.size(), 1u);
        EXPECT_EQ(desktop.messages[0].title, "Report Not Saved");
        EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
        EXPECT_NE(desktop.messages[0].text.find(reason), std::string::npos) << desktop.messages[0].text;
        EXPECT_NE(desktop.messages[0].text.find("The logs are on the clipboard."), std::string::npos);
        EXPECT_TRUE(desktop.opened.empty());
        EXPECT_FALSE(desktop.clearEnabled);
    }

    // The box never claims the clipboard holds the logs when the clipboard refused them.
    desktop.messages.clear();
    desktop.clipboardWorks = false;
    script("1", {recordReply(1)});
    session.ExtractLogs();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text.find("on the clipboard."), std::string::npos)
        << desktop.messages[0].text;
    EXPECT_NE(desktop.messages[0].text.find("could not be put on the clipboard either"), std::string::npos);
}
