#include "extract/ClearGate.h"
#include "tests/support/Records.h"
#include "tests/support/ScriptedSession.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace z83::test;
using Rule = ClearRefusal::Rule;

namespace {

Collection collectionOf(Collection::Outcome outcome, int logs, int flagged, const std::string& count) {
    Collection collection;
    collection.outcome = outcome;
    collection.countText = count;
    collection.countClean = isCleanCount(count);
    for (int i = 0; i < logs; ++i)
        collection.entries.push_back({{}, i < flagged ? LogStatus::BadCrc : LogStatus::Good});
    return collection;
}

SavedReport savedAs(SavedReport::Outcome outcome) {
    SavedReport saved;
    saved.outcome = outcome;
    return saved;
}

} // namespace

// The first rule a report breaks is the one told and journalled; flagged logs refuse only where force is
// needed for them, and nothing lets a count reply that was more than a number go.
TEST(ClearGate, AReportAllowsAClearOnlyWhenWholeSavedInAFileAndPlainlyCounted) {
    using O = Collection::Outcome;
    using S = SavedReport::Outcome;
    const struct {
        O outcome;
        S saved;
        int flagged;
        std::string count;
        bool needForce;
        std::optional<Rule> rule;
        std::string reason;
    } cases[] = {
        {O::Collected, S::File, 0, "3", true, std::nullopt, ""},
        {O::Collected, S::File, 2, "3", false, std::nullopt, ""},
        {O::Collected, S::File, 2, "3", true, Rule::Flagged, "flagged logs without --force"},
        {O::LinkLost, S::NotSaved, 0, "3", true, Rule::LinkLost, "link lost"},
        {O::Raised, S::File, 0, "3", true, Rule::ErrorRaised, "error raised"},
        {O::Collected, S::NotSaved, 0, "3abc", true, Rule::ReportNotSaved, "report not saved"},
        {O::Collected, S::Stream, 0, "3abc", true, Rule::ReportNotInFile, "report not in a file"},
        {O::Collected, S::File, 2, "3abc", false, Rule::CountNotPlain,
         "count not a plain number: the module replied \"3abc\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const auto refused =
            reportRefusal(collectionOf(c.outcome, 3, c.flagged, c.count), savedAs(c.saved), c.needForce);
        ASSERT_EQ(refused.has_value(), c.rule.has_value());
        if (!refused)
            continue;
        EXPECT_EQ(refused->rule, *c.rule);
        EXPECT_EQ(refused->reason, c.reason);
        EXPECT_EQ(refused->reportLogs, 3u);
        EXPECT_EQ(refused->flagged, static_cast<std::size_t>(c.flagged));
    }
}

// The count read again just before the clear: only a plain number equal to the report's logs lets it go.
TEST(ClearGate, TheCountReadAgainMustPlainlyNameTheReportsLogs) {
    using K = LogCount::Kind;
    const struct {
        LogCount count;
        std::optional<Rule> rule;
        std::string shown;
        std::string reason;
    } cases[] = {
        {{K::Logs, 3, "3", true}, std::nullopt, "", ""},
        {{K::Logs, 3, " 3\r\n", true}, std::nullopt, "", ""},
        {{K::Unreadable, 0, "", false}, Rule::CountUnreadable, "", "count unreadable"},
        {{K::None, 0, "0", false},
         Rule::CountNone,
         "",
         "count differs: the module reports no logs, the report holds 3"},
        {{K::Logs, 4, "4", true},
         Rule::CountDiffers,
         "4",
         "count differs: the module reports 4 logs, the report holds 3"},
        {{K::Impossible, 0, "2.5", false},
         Rule::CountDiffers,
         "\"2.5\"",
         "count differs: the module reports \"2.5\" logs, the report holds 3"},
        {{K::Logs, 3, "3abc", false},
         Rule::CountNotPlainNow,
         "\"3abc\"",
         "count not a plain number: the module replied \"3abc\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count.text);
        const auto refused = countRefusal(c.count, 3);
        ASSERT_EQ(refused.has_value(), c.rule.has_value());
        if (!refused)
            continue;
        EXPECT_EQ(refused->rule, *c.rule);
        EXPECT_EQ(refused->shownCount, c.shown);
        EXPECT_EQ(refused->reason, c.reason);
        EXPECT_EQ(refused->countText, c.count.text) << "journalled with the refusal";
    }
}

// The extractor's order: the question first, then the count read just before the write; a refusal at any
// step is told once and writes nothing.
TEST(ClearGate, AskedFirstTheCountIsReadAfterTheAnswerAndOnlyAMatchClears) {
    const struct {
        std::optional<bool> answer;
        std::string count;
        std::optional<Rule> told;
        ClearEnd end;
    } cases[] = {
        {std::nullopt, "1", Rule::NoTerminal, ClearEnd::Refused},
        {false, "1", Rule::NotConfirmed, ClearEnd::Refused},
        {true, "2", Rule::CountDiffers, ClearEnd::Refused},
        {true, "1", std::nullopt, ClearEnd::Cleared},
    };
    for (const auto& c : cases) {
        ScriptedSession s;
        s.provider->fallback['3'] = {0, "Z83-PM-VX"};
        s.provider->fallback['T'] = {0, "1"};
        s.provider->fallback['U'] = {0, recordReply(1)};
        s.desktop.id = "1A2B3C";
        s.session.IKnow(); // a saved report of one log
        s.provider->fallback['T'] = {0, c.count};
        s.provider->calls.clear();

        ClearAsking asking;
        std::size_t callsWhenAsked = 99;
        asking.confirm = [&](std::size_t, std::size_t logs) {
            EXPECT_EQ(logs, 1u);
            callsWhenAsked = s.provider->calls.size();
            return c.answer;
        };
        std::vector<Rule> told;
        asking.tellRefusal = [&](const ClearRefusal& refused) { told.push_back(refused.rule); };
        EXPECT_EQ(s.session.clearThroughGate(asking), c.end);
        EXPECT_EQ(callsWhenAsked, 0u) << "asked before anything is read";
        EXPECT_EQ(told, c.told ? std::vector<Rule>{*c.told} : std::vector<Rule>{});
        EXPECT_EQ(s.provider->count("WriteCommand", 'W'), c.end == ClearEnd::Cleared ? 1 : 0);
    }
}
