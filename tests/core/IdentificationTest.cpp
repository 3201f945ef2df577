#include "tests/support/Records.h"
#include "tests/support/ScriptedSession.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace z83::test;

namespace {

// A module that answers as a supported one with one log.
struct OneLogModule : ScriptedSession {
    OneLogModule() {
        provider->fallback['3'] = {0, "Z83-PM-VX"};
        provider->fallback['T'] = {0, "1"};
        provider->fallback['U'] = {0, recordReply(1)};
    }
    std::vector<std::int32_t> idsOf(char command) const {
        std::vector<std::int32_t> ids;
        for (const auto& c : provider->calls)
            if (c.command == command)
                ids.push_back(c.id);
        return ids;
    }
};

struct Identify : ::testing::Test, OneLogModule {};

} // namespace

TEST(TypedId, ReadsHexWithTheWindowRulesAndRefusesWhatWouldWrap) {
    for (auto [text, id] : {std::pair{"", 0},
                            {"12G4", 0x12},
                            {"01a2b3", 0x1A2B3},
                            {"8000", 32768},
                            {"FFFF", 65535},
                            {"FFFFFFFF", -1},
                            {"000000001A2B3C", 0x1A2B3C},
                            {" 1A\t2B\n3C", 0x1A2B3C}})
        EXPECT_EQ(parseTypedId(text), id) << text;
    EXPECT_EQ(parseTypedId("123456789"), std::nullopt);
    EXPECT_EQ(idStatusText(0x1A2B3), "ID: 1A2B3");
    EXPECT_EQ(idStatusText(-2), "ID: FFFFFFFE");
}

TEST_F(Identify, KnownIdRunsItsStepsInOrderThenExtracts) {
    desktop.id = "1a2b3c";
    desktop.clearEnabled = true;
    session.IKnow();
    EXPECT_EQ(session.moduleId(), 0x1A2B3C);
    EXPECT_EQ(provider->calls.front().operation, "ReadBaseByte");
    EXPECT_EQ(std::vector<std::string>(desktop.events.begin(), desktop.events.begin() + 4),
              (std::vector<std::string>{"busy", "status:Waiting...+redraw", "clear-disabled",
                                        "status:ID: 1A2B3C+redraw"}));
    EXPECT_EQ(desktop.messages.back().title, "Remember To Clear Log Data");
    EXPECT_TRUE(desktop.clearEnabled);
    EXPECT_FALSE(desktop.busy);
    EXPECT_EQ(desktop.status, "");
}

TEST_F(Identify, OverlongIdIsRefusedBeforeAnythingIsSent) {
    desktop.id = "1A2B3C";
    session.IKnow();
    provider->calls.clear();
    desktop.messages.clear();
    desktop.id = "1A2B3C1A2B3C";
    session.IKnow();
    EXPECT_TRUE(provider->calls.empty());
    EXPECT_EQ(session.moduleId(), 0x1A2B3C);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].title, "Invalid ID");
    EXPECT_NE(desktop.messages[0].text.find("1A2B3C1A2B3C"), std::string::npos);
    EXPECT_FALSE(desktop.clearEnabled);
}

TEST_F(Identify, ModelCaseIsFoldedButNothingElseAndFailuresLeaveClearDisabled) {
    provider->script('3',
                     {{0, "z83-pm-vx"}, {0, "z83-pm-vx "}, {1, ""}, {0, "\xC3\xA4" + std::string(999, 'x')}});
    desktop.id = "";
    session.IKnow();
    EXPECT_EQ(idsOf('3'), std::vector<std::int32_t>{0}) << "an empty box is ID 0 like any other";
    EXPECT_EQ(session.moduleModel(), "Z83-PM-VX");
    EXPECT_TRUE(desktop.clearEnabled);

    desktop.messages.clear();
    session.IKnow();
    EXPECT_EQ(session.moduleModel(), "Z83-PM-VX ");
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              "The paired module is a Z83-PM-VX  which is not supported by this software!");
    EXPECT_EQ(desktop.messages[0].title, "Warning");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(desktop.messages[0].busyWhenShown);
    EXPECT_FALSE(desktop.clearEnabled) << "a new Extract disables Clear Log even when it then fails";

    session.IKnow();
    EXPECT_EQ(desktop.messages.back().text, "Cannot read Model!\r\nTry again.");
    EXPECT_EQ(session.moduleModel(), "Z83-PM-VX ") << "a failed read keeps the model";
    EXPECT_FALSE(desktop.busy);
    EXPECT_EQ(desktop.status, "");

    session.IKnow(); // a reply of a thousand characters is shortened, never cut inside a character
    EXPECT_EQ(desktop.messages.back().text, "The paired module is a \xC3\xA4" + std::string(159, 'X') +
                                                "... which is not supported by this software!");
}

TEST_F(Identify, PairingShowsPausesAndNeverWritesTheBoxOrLeavesModuleZero) {
    desktop.id = "typed";
    provider->pairedId = 0x4D5E6F;
    session.IDontKnow();
    EXPECT_EQ(desktop.events.front(), "clear-disabled");
    EXPECT_EQ(desktop.id, "typed");
    EXPECT_EQ(desktop.pauses, std::vector<double>{1.5});
    EXPECT_NE(std::find(desktop.statusHistory.begin(), desktop.statusHistory.end(), "ID: 4D5E6F"),
              desktop.statusHistory.end());
    EXPECT_EQ(idsOf('3'), std::vector<std::int32_t>{0x4D5E6F});

    provider->pairedId = 0;
    desktop.messages.clear();
    session.IDontKnow();
    EXPECT_EQ(session.moduleId(), 0);
    EXPECT_FALSE(desktop.clearEnabled);
    EXPECT_EQ(desktop.status, "");
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Did not pair with a handheld module!");
    EXPECT_EQ(desktop.messages[0].title, "Error");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(desktop.messages[0].busyWhenShown);
    EXPECT_EQ(idsOf('3').size(), 1u) << "no model read without a paired module";
}

TEST_F(Identify, ClearLogGoesToTheLastIdentifiedModuleOnlyAfterYes) {
    desktop.id = "1A2B3C";
    session.IKnow();
    desktop.id = "999999";
    desktop.messages.clear();
    desktop.answers = {MessageAnswer::No, MessageAnswer::Yes, MessageAnswer::Yes};
    provider->script('W', {{0, ""}, {5, ""}});
    session.ClearLog();
    EXPECT_TRUE(idsOf('W').empty()) << "No sends nothing";
    session.ClearLog();
    session.ClearLog();
    EXPECT_EQ(idsOf('W'), (std::vector<std::int32_t>{0x1A2B3C, 0x1A2B3C}));
    EXPECT_EQ(provider->calls.back().text, std::string("23130\0\0", 7));
    ASSERT_EQ(desktop.messages.size(), 4u) << "three questions and the failed write's own message";
    EXPECT_EQ(desktop.messages[0].text, "Are you sure that you want to delete all logs?");
    EXPECT_EQ(desktop.messages[0].title, "Clear All Logs");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(desktop.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(desktop.messages[3].text, "Cannot write ClearLog\r\nTry again.");
    EXPECT_TRUE(desktop.clearEnabled);
}

// A report with flagged logs: the question says how many would be erased for good, and No is the default.
TEST_F(Identify, ClearLogOverFlaggedLogsSaysSoAndDefaultsToNo) {
    OneLogModule fresh;
    fresh.provider->script('U', {{0, badCrcReply(1)}});
    fresh.desktop.id = "1A2B3C";
    fresh.session.IKnow();
    fresh.desktop.messages.clear();
    fresh.desktop.answers = {MessageAnswer::No};
    fresh.session.ClearLog();
    ASSERT_EQ(fresh.desktop.messages.size(), 1u);
    const auto& question = fresh.desktop.messages[0];
    EXPECT_EQ(question.text,
              "Are you sure that you want to delete all logs?\r\n\r\n1 of the report's 1 logs was "
              "not read correctly (\"Bad CRC\" or \"Incorrect Log Number!\"). Clearing erases "
              "it for good.");
    EXPECT_EQ(question.title, "Clear All Logs");
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_EQ(question.buttons, MessageButtons::YesNoDefaultNo);
    EXPECT_TRUE(fresh.idsOf('W').empty()) << "No sends nothing";
}

// Before its question, Clear Log reads the count again: only the count of the last report lets it go on.
TEST_F(Identify, ClearLogAsksOnlyWhileTheModuleHoldsExactlyTheReportedLogs) {
    const struct {
        ScriptedProvider::Reply count;
        std::string shown; // the start of the box instead of the question, "" for the question
    } cases[] = {
        {{0, "1"}, ""},
        {{0, "2"}, "The handheld reports 2 logs, but the last report holds 1."},
        {{0, "1.5"}, "The handheld reports \"1.5\" logs, but the last report holds 1."},
        {{0, "0"}, "The handheld does not contain any logs!"},
        {{3, ""}, "Cannot read LogData!!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count.text);
        OneLogModule fresh;
        fresh.desktop.id = "1A2B3C";
        fresh.session.IKnow(); // a report of one log
        fresh.desktop.messages.clear();
        fresh.desktop.answers = {MessageAnswer::Yes};
        fresh.provider->script('T', {c.count});
        fresh.session.ClearLog();
        ASSERT_FALSE(fresh.desktop.messages.empty());
        if (c.shown.empty()) {
            EXPECT_EQ(fresh.desktop.messages[0].title, "Clear All Logs");
            EXPECT_EQ(fresh.idsOf('W'), std::vector<std::int32_t>{0x1A2B3C});
        } else {
            EXPECT_EQ(fresh.desktop.messages[0].text.substr(0, c.shown.size()), c.shown);
            EXPECT_NE(fresh.desktop.messages.back().title, "Clear All Logs") << "no question";
            EXPECT_TRUE(fresh.idsOf('W').empty()) << "nothing is written to the module";
        }
    }
}
