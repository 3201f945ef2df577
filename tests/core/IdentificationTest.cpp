#include "tests/support/Records.h"
#include "tests/support/ScriptedSession.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace z83;
using namespace z83::test;

namespace {

// A module that answers as a supported one with one log.
struct OneLogModule : ScriptedSession {
    OneLogModule() {
        provider->fallback['3'] = {0, "Z83-PM-VX"};
        provider->fallback['T'] = {0, "1"};
        provider->fallback['U'] = {0, recordReply(1)};
        desktop.id = "1A2B3C";
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
    // IDs from 80000000 up are negative 32-bit numbers; the status line still shows their eight digits.
    for (auto [text, id, status] : {std::tuple{"", 0, "ID: 0"},
                                    {"12G4", 0x12, "ID: 12"},
                                    {"01a2b3", 0x1A2B3, "ID: 1A2B3"},
                                    {"FFFFFFFF", -1, "ID: FFFFFFFF"},
                                    {"80000000", INT32_MIN, "ID: 80000000"},
                                    {"000000001A2B3C", 0x1A2B3C, "ID: 1A2B3C"},
                                    {" 1A\t2B\n3C", 0x1A2B3C, "ID: 1A2B3C"}}) {
        EXPECT_EQ(parseTypedId(text), id) << text;
        EXPECT_EQ(idStatusText(id), status);
    }
    EXPECT_EQ(parseTypedId("123456789"), std::nullopt);
}

TEST_F(Identify, ModelCaseIsFoldedButNothingElseAndFailuresLeaveClearDisabled) {
    provider->script('3',
                     {{0, "z83-pm-vx"}, {0, "z83-pm-vx "}, {1, ""}, {0, "\xC3\xA4" + std::string(999, 'x')}});
    session.IKnow();
    EXPECT_EQ(session.moduleModel(), "Z83-PM-VX");
    EXPECT_TRUE(desktop.clearEnabled);

    desktop.messages.clear();
    session.IKnow();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              "The paired module is a Z83-PM-VX  which is not supported by this software!");
    EXPECT_FALSE(desktop.clearEnabled) << "a new Extract disables Clear Log even when it then fails";

    session.IKnow(); // a failed read

    session.IKnow(); // a reply of a thousand characters is shortened, never cut inside a character
    EXPECT_EQ(desktop.messages.back().text, "The paired module is a \xC3\xA4" + std::string(159, 'X') +
                                                "... which is not supported by this software!");
}

TEST_F(Identify, PairingThatFindsNoModuleLeavesNoneIdentified) {
    session.IKnow();
    provider->pairedId = 0;
    session.IDontKnow();
    EXPECT_EQ(session.moduleId(), 0);
    EXPECT_FALSE(desktop.clearEnabled);
    EXPECT_EQ(desktop.messages.back().text, "Did not pair with a handheld module!");
    EXPECT_EQ(idsOf('3').size(), 1u) << "no model read without a paired module";
}

// Before its question, Clear Log reads the count again: only the count of the last report lets it go on,
// and only to the module that report came from.
// Over flagged logs the question says how many would be erased for good, and No is the default.
TEST_F(Identify, ClearLogAsksOnlyWhileTheModuleHoldsExactlyTheReportedLogs) {
    const struct {
        ScriptedProvider::Reply count;
        std::string shown; // the start of the box instead of the question, "" for the question
        std::string record = recordReply(1);
    } cases[] = {
        {{0, "1"}, ""},
        {{0, "1"}, "", badCrcReply(1)},
        {{0, "2"}, "The handheld reports 2 logs, but the last report holds 1."},
        {{0, "1.5"}, "The handheld reports \"1.5\" logs, but the last report holds 1."},
        {{0, "1abc"}, "The handheld reports \"1abc\" logs, but the last report holds 1."},
        {{0, " 1\r\n"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count.text);
        OneLogModule fresh;
        fresh.provider->script('U', {{0, c.record}});
        fresh.session.IKnow();       // a report of one log
        fresh.desktop.id = "999999"; // typed since: the clear still goes to the module identified
        fresh.desktop.messages.clear();
        fresh.provider->script('T', {c.count});
        fresh.session.ClearLog();
        const auto& first = fresh.desktop.messages.at(0);
        if (c.shown.empty()) {
            const bool flagged = c.record != recordReply(1);
            EXPECT_EQ(first.buttons, flagged ? MessageButtons::YesNoDefaultNo : MessageButtons::YesNo);
            EXPECT_EQ(first.text.find("1 of the report's 1 logs was not read correctly"),
                      flagged ? 50u : std::string::npos)
                << first.text;
            EXPECT_EQ(fresh.idsOf('W'), std::vector<std::int32_t>{0x1A2B3C});
        } else {
            EXPECT_EQ(first.text.substr(0, c.shown.size()), c.shown);
            EXPECT_NE(fresh.desktop.messages.back().title, "Clear All Logs") << "no question";
            EXPECT_TRUE(fresh.idsOf('W').empty()) << "nothing is written to the module";
        }
    }
}
