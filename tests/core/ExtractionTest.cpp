#include "FakeDesktop.h"
#include "Records.h"
#include "ReportFile.h"
#include "ScriptedProvider.h"
#include "Session.h"
#include "SimulatedBaseStation.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace z83;
using namespace z83::test;

namespace {

const std::string kHeader =
    "Log Number,Start Date,Start Time,Peak Date,Peak Time,End Date,End Time,Peak,Overload";
const std::string kReportName = "Log20250307090503.CSV";
const std::string kReminder =
    "When you have confirmed that the data has been extracted correctly you should clear "
    "the log data from the handheld by clicking the 'Clear Log' button on the main window.";

struct Run : ::testing::Test {
    FakeDesktop desktop;
    Session session{desktop, nullptr};
    ScriptedProvider* provider = nullptr;
    TempDir documents;

    Run() {
        auto p = std::make_unique<ScriptedProvider>();
        provider = p.get();
        session.DP = std::move(p);
        session.ModuleID = 0x1A2B3C;
        desktop.documents = documents.str();
    }

    void count(const std::string& text) { provider->script('T', {{0, text}}); }
    void records(std::initializer_list<int> numbers) {
        for (int n : numbers)
            provider->script('U', {{0, recordReply(n)}});
    }
    std::vector<std::string> writtenIndexes() const {
        std::vector<std::string> values;
        for (const auto& c : provider->calls)
            if (c.operation == "WriteCommand" && c.command == 'S')
                values.push_back(c.text.substr(0, c.text.size() - 2));
        return values;
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> result;
        for (const auto& m : desktop.messages)
            result.push_back(m.title);
        return result;
    }
    bool nothingDelivered() const {
        return !desktop.clipboardSet && documents.names().empty() && desktop.opened.empty() &&
               !desktop.clearEnabled;
    }
};

std::string lines(std::initializer_list<std::string> entries) {
    std::string text;
    for (const auto& e : entries)
        text += e + "\r\n";
    return text;
}

} // namespace

TEST_F(Run, RecordReadRetriesOnlyOnWrongLengths) {
    provider->script('U', {{0, recordReply(1).substr(1)}, {0, recordReply(1)}});
    std::string csv = "old";
    EXPECT_EQ(session.cvLogToCSV(csv), "");
    EXPECT_EQ(csv, recordLine(1));
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 2);
    EXPECT_TRUE(desktop.messages.empty());

    provider->script('U', {{0, recordReply(2) + "0"}, {0, recordReply(2) + "0"}, {0, recordReply(2) + "0"}});
    csv = "old";
    desktop.setStatus("ID: 1A2B3C", false);
    EXPECT_EQ(session.cvLogToCSV(csv), "");
    EXPECT_EQ(csv, "old");
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 5);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot read back log data - incorrect length!");
    EXPECT_EQ(desktop.messages[0].title, "Warning");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(desktop.status, "ID: 1A2B3C") << "the length warning leaves the status line alone";
}

TEST_F(Run, FailedRecordReadIsNotRetriedAndBadCrcStillGivesTheLine) {
    provider->script('U', {{3, ""}});
    std::string csv = "old";
    EXPECT_EQ(session.cvLogToCSV(csv), "");
    EXPECT_EQ(csv, "old");
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 1);
    EXPECT_EQ(desktop.messages.at(0).text, "Cannot read LogData!!\r\nTry again.");

    auto bad = recordReply(4);
    bad.back() = bad.back() == '0' ? '1' : '0';
    provider->script('U', {{0, bad}});
    EXPECT_EQ(session.cvLogToCSV(csv), "Bad CRC");
    EXPECT_EQ(csv, recordLine(4));
}

TEST_F(Run, ThreeGoodLogsReachClipboardFileShellAndReminderInOrder) {
    count("3");
    records({1, 2, 3});
    session.ExtractLogs();

    const std::string text = lines({recordLine(1), recordLine(2), recordLine(3)});
    EXPECT_EQ(desktop.clipboard, text);
    ASSERT_EQ(documents.names(), std::vector<std::string>{kReportName});
    EXPECT_EQ(readFile(documents.path() / kReportName), kHeader + "\r\n" + text + "\r\n");
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], (documents.path() / kReportName).string());
    EXPECT_TRUE(desktop.clearEnabled);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, kReminder);
    EXPECT_EQ(desktop.messages[0].title, "Remember To Clear Log Data");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(desktop.messages[0].busyWhenShown);

    EXPECT_EQ(writtenIndexes(), (std::vector<std::string>{"1", "1"}));
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 3) << "one record read per log when all goes well";
    auto at = [&](const std::string& e) {
        return std::find(desktop.events.begin(), desktop.events.end(), e) - desktop.events.begin();
    };
    EXPECT_LT(at("busy"), at("default-pointer"));
    EXPECT_LT(at("default-pointer"), at("clipboard"));
    EXPECT_LT(at("clipboard"), at("open"));
    EXPECT_LT(at("open"), at("clear-enabled"));
    EXPECT_LT(at("clear-enabled"), at("message:Remember To Clear Log Data"));
}

TEST_F(Run, CountWithoutLogsShowsNoLogsAndDeliversNothing) {
    for (const char* text : {"0", "", "word", " 0.0"}) {
        provider->calls.clear();
        desktop.messages.clear();
        count(text);
        session.ExtractLogs();
        ASSERT_EQ(desktop.messages.size(), 1u) << text;
        EXPECT_EQ(desktop.messages[0].text, "The handheld does not contain any logs!");
        EXPECT_EQ(desktop.messages[0].title, "No Logs");
        EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Information);
        EXPECT_TRUE(desktop.messages[0].busyWhenShown);
        EXPECT_EQ(provider->count("ReadCommand", 'U'), 0);
        EXPECT_TRUE(nothingDelivered());
    }
}

TEST_F(Run, CountsBelowOneGiveAnEmptyReportAndFractionsRoundHalfToEven) {
    count("-2");
    session.ExtractLogs();
    EXPECT_TRUE(desktop.clipboardSet);
    EXPECT_EQ(desktop.clipboard, "");
    EXPECT_EQ(readFile(documents.path() / kReportName), kHeader + "\r\n\r\n");
    EXPECT_EQ(desktop.messages.back().title, "Remember To Clear Log Data");

    for (auto [text, reads] : {std::pair{"0.4", 0}, {"2.5", 2}, {"3.5", 4}, {"1.5", 2}}) {
        provider->calls.clear();
        count(text);
        for (int n = 1; n <= reads; ++n)
            records({n});
        session.ExtractLogs();
        EXPECT_EQ(provider->count("ReadCommand", 'U'), reads) << text;
    }
}

TEST_F(Run, ImpossibleCountsAreRefusedWithTheCountQuoted) {
    desktop.clearEnabled = true;
    for (const std::string& text :
         std::vector<std::string>{"65536", "4294967296", "-4294967296", "65535.5", std::string(400, '9')}) {
        desktop.messages.clear();
        provider->calls.clear();
        count(text);
        session.ExtractLogs();
        ASSERT_EQ(desktop.messages.size(), 1u) << text;
        EXPECT_EQ(desktop.messages[0].title, "Error");
        EXPECT_NE(desktop.messages[0].text.find("\"" + text.substr(0, 40)), std::string::npos) << text;
        EXPECT_EQ(provider->count("ReadCommand", 'U'), 0);
        EXPECT_FALSE(desktop.clipboardSet);
        EXPECT_TRUE(documents.names().empty());
        EXPECT_TRUE(desktop.clearEnabled) << "the button keeps its state";
    }
}

TEST_F(Run, WrongLogNumberIsRepairedByRewritingTheIndex) {
    count("3");
    records({1, 3, 2, 3});
    session.ExtractLogs();
    EXPECT_EQ(writtenIndexes(), (std::vector<std::string>{"1", "1", "2"}));
    EXPECT_EQ(desktop.clipboard, lines({recordLine(1), recordLine(2), recordLine(3)}));
}

TEST_F(Run, LogNumberStillWrongAfterTwoRepairsIsFlagged) {
    count("2");
    records({1, 5, 5, 5, 2});
    session.ExtractLogs();
    EXPECT_EQ(writtenIndexes(), (std::vector<std::string>{"1", "1", "2", "2"}));
    EXPECT_EQ(desktop.clipboard, lines({recordLine(1), recordLine(5) + " Incorrect Log Number!"}));
}

TEST_F(Run, BadCrcOnFirstReadSkipsTheNumberCheckButNotAfterARepair) {
    auto bad = [](int n) {
        auto r = recordReply(n);
        r.back() = r.back() == '0' ? '1' : '0';
        return r;
    };
    count("3");
    provider->script('U', {{0, bad(7)}, {0, recordReply(9)}, {0, bad(2)}, {0, recordReply(3)}});
    session.ExtractLogs();
    EXPECT_EQ(desktop.clipboard,
              lines({recordLine(7) + " Bad CRC", recordLine(2) + " Bad CRC", recordLine(3)}));
    EXPECT_EQ(writtenIndexes(), (std::vector<std::string>{"1", "1", "2"}));
}

TEST_F(Run, EveryReadFailingForLogOneCostsFiveMessagesAndFlagsAnEmptyLine) {
    count("1");
    provider->fallback['U'] = {4, ""};
    provider->script('S', {{0, ""}, {0, ""}});
    provider->fallback['S'] = {4, ""};
    session.ExtractLogs();
    EXPECT_EQ(desktop.clipboard, " Incorrect Log Number!\r\n");
    auto t = titles();
    EXPECT_EQ(std::count(t.begin(), t.end(), "Error"), 5);
    EXPECT_EQ(provider->count("ReadCommand", 'U'), 3);
}

TEST_F(Run, ReportNeverReplacesAnEarlierOne) {
    writeFile(documents.path() / kReportName, "earlier report");
    for (int run = 0; run < 2; ++run) {
        count("1");
        records({1});
        session.ExtractLogs();
    }
    EXPECT_EQ(documents.names(),
              (std::vector<std::string>{"Log20250307090503-2.CSV", "Log20250307090503-3.CSV", kReportName}));
    EXPECT_EQ(readFile(documents.path() / kReportName), "earlier report");
    EXPECT_EQ(desktop.opened.back(), (documents.path() / "Log20250307090503-3.CSV").string());
}

TEST_F(Run, MissingDocumentsFolderIsCreatedAndNoneMeansHome) {
    desktop.documents = (documents.path() / "new" / "Documents").string();
    count("1");
    records({1});
    session.ExtractLogs();
    EXPECT_TRUE(std::filesystem::exists(documents.path() / "new" / "Documents" / kReportName));

    TempDir home;
    desktop.documents = "";
    desktop.home = home.str();
    count("1");
    records({1});
    session.ExtractLogs();
    EXPECT_EQ(home.names(), std::vector<std::string>{kReportName});
}

TEST_F(Run, UnsavedReportIsReportedAndNeverFollowedByTheReminder) {
    writeFile(documents.path() / "plain-file", "x");
    desktop.documents = (documents.path() / "plain-file" / "Documents").string();
    desktop.home = "";
    count("1");
    records({1});
    session.ExtractLogs();

    EXPECT_EQ(desktop.clipboard, lines({recordLine(1)})) << "the lines are kept on the clipboard";
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].title, "Report Not Saved");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_NE(desktop.messages[0].text.find(desktop.documents), std::string::npos);
    EXPECT_NE(desktop.messages[0].text.find("Not a directory"), std::string::npos);
    EXPECT_TRUE(desktop.opened.empty());
    EXPECT_FALSE(desktop.clearEnabled);
}

TEST(RunOnSimulator, DemoModuleTakesOneRecordReadPerLogAndSkippedRecordsAreRepaired) {
    FakeDesktop desktop;
    TempDir documents;
    desktop.documents = documents.str();
    auto scenario = sim::demoScenario();
    scenario.faults.push_back({"U", sim::FaultKind::SkipRecord, 10, 1});
    auto station = std::make_unique<sim::SimulatedBaseStation>(scenario);
    auto* sim = station.get();
    Session session(desktop, nullptr);
    session.DP = std::move(station);
    ASSERT_EQ(sim->OpenUSB(0, 0), 0);
    session.ModuleID = 0x1A2B3C;
    session.ExtractLogs();

    int reads = 0;
    for (const auto& c : sim->calls())
        reads += c.operation == "ReadCommand" && c.command == 'U';
    EXPECT_EQ(reads, 26) << "25 logs and one re-read after the skipped record";
    auto text = desktop.clipboard;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 25);
    EXPECT_EQ(text.find("Incorrect"), std::string::npos);
    EXPECT_EQ(text.find("Bad CRC"), std::string::npos);
    EXPECT_TRUE(desktop.clearEnabled);
}
