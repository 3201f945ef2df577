// Every link call of every action, spoiled every way the radio can: no crash, no report claimed unless whole
// on disk, no Clear Log without one, nothing erased unconfirmed, and a journal entry saying what happened.
#include "desktop/Sha256.h"
#include "extract/CsvReport.h"
#include "extract/Session.h"
#include "link/ActionGuard.h"
#include "sim/SimulatedBaseStation.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingProvider.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <set>

using namespace z83;
using namespace z83::test;

namespace {

constexpr std::int32_t kModule = 0x1A2B3C;
const std::string kReminderStart = "When you have confirmed that the data has been extracted correctly";
const std::string kLinkLostStart = "The link to the handheld was lost at log ";
const std::string kRaisedStart = "The base station raised an error at log ";
// The most failure boxes the user may have to click through in a row, whatever the link does.
constexpr int kMostFailureBoxesInARow = 10;

// The simulated station whose link dies after so many commands, as a module gone out of range does.
struct DyingStation : sim::SimulatedBaseStation {
    using SimulatedBaseStation::SimulatedBaseStation;
    int left = std::numeric_limits<int>::max();
    std::int16_t WriteCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& c, std::string& t) override {
        return left-- > 0 ? SimulatedBaseStation::WriteCommand(one, id, c, t) : 1;
    }
    std::int16_t ReadCommand(std::uint8_t& one, std::int32_t& id, std::uint8_t& c, std::string& t) override {
        return left-- > 0 ? SimulatedBaseStation::ReadCommand(one, id, c, t) : 1;
    }
};

// A program with its window stand-in, simulated station and in-memory disk (documents /docs, journal /data).
struct World {
    FakeDesktop desktop;
    std::unique_ptr<DyingStation> station;
    std::vector<Call> calls;
    MemoryFileSystem fileSystem;
    Session session{desktop, [this] { return std::make_unique<RecordingProvider>(*station, calls); },
                    fileSystem};
    bool ended = false;
    ActionGuard guard{desktop, [this] { ended = true; }};

    World() {
        auto scenario = sim::demoScenario();
        scenario.pairDelaySeconds = 0;
        station = std::make_unique<DyingStation>(scenario);
        desktop.documents = "/docs";
        desktop.settings["Settings/ID"] = "1A2B3C"; // what loading puts into the ID box
        desktop.answers.assign(8, MessageAnswer::Yes);
        session.keepJournal({"/data", "window", false});
    }
    std::size_t logsLeft() const { return station->module(kModule)->records.size(); }
    bool wholeReportAt(const std::string& path) const {
        return fileSystem.contentOf(path) == reportFileContent(desktop.clipboard);
    }
    bool anyWholeReport() const {
        auto names = fileSystem.names("/docs");
        return std::any_of(names.begin(), names.end(), [&](auto& n) { return wholeReportAt("/docs/" + n); });
    }
    bool shown(const std::string& start) const {
        return std::any_of(desktop.messages.begin(), desktop.messages.end(),
                           [&](const auto& m) { return m.text.rfind(start, 0) == 0; });
    }
    // The longest run of boxes that report a failed call or reply, one after the other.
    int longestFailureRun() const {
        int run = 0, longest = 0;
        for (const auto& m : desktop.messages) {
            const bool failure = m.title == "Error" || m.title == "Warning";
            run = failure ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        return longest;
    }
    std::vector<JournalEntry> journal() const {
        return readJournal(fileSystem.contentOf("/data/" + std::string(kJournalFileName))).entries;
    }
    // An action that read the log count appends one entry, whose outcome is what the user was shown.
    void expectJournalled(bool clearing, std::size_t entriesBefore, std::size_t callsBefore,
                          std::size_t logsBefore, std::set<std::string>& outcomes) const {
        const auto entries = journal();
        ASSERT_GE(entries.size(), entriesBefore);
        const bool countRead = std::any_of(calls.begin() + std::ptrdiff_t(callsBefore), calls.end(),
                                           [](const Call& c) { return c.command == 'T'; });
        const std::size_t added = entries.size() - entriesBefore;
        if (ended) {
            // A raised error ends the action wherever it is, but only once the clear it cut short, or the run
            // that had read the count, is journalled. The raising call is the last one made.
            const bool countBefore = std::any_of(calls.begin() + std::ptrdiff_t(callsBefore), calls.end() - 1,
                                                 [](const Call& c) { return c.command == 'T'; });
            ASSERT_EQ(added, clearing || countBefore ? 1u : 0u);
            if (added == 0)
                return;
            const JournalEntry& entry = entries.back();
            const std::string expected = clearing ? (calls.back().command == 'W' ? "write failed" : "refused")
                                         : fileSystem.failing != FailingStep::None ? "not saved"
                                                                                   : "partial";
            EXPECT_EQ(entry.outcome, expected);
            EXPECT_NE(entry.reason.find("error 5 raised"), std::string::npos) << entry.reason;
            outcomes.insert(entry.outcome +
                            (entry.outcome == "refused"
                                 ? ": " + entry.reason.substr(0, entry.reason.find(':'))
                                 : std::string()) +
                            " (raised)");
            if (entry.outcome == "partial") {
                ASSERT_TRUE(entry.report && !desktop.opened.empty());
                EXPECT_EQ(entry.report->path, desktop.opened.back());
                EXPECT_EQ(entry.report->sha256, sha256Hex(fileSystem.contentOf(entry.report->path)));
            }
            return;
        }
        ASSERT_EQ(added, countRead ? 1u : 0u);
        if (!countRead)
            return;
        const JournalEntry& entry = entries.back();
        EXPECT_EQ(entry.kind, clearing ? JournalEntry::Kind::Clear : JournalEntry::Kind::Extraction);
        std::string expected;
        if (clearing)
            expected = logsLeft() < logsBefore          ? "cleared"
                       : shown("Cannot write ClearLog") ? "write failed"
                                                        : "refused";
        else
            expected = shown("The report could not be saved")               ? "not saved"
                       : shown(kLinkLostStart)                              ? "partial"
                       : shown(kReminderStart)                              ? "saved"
                       : shown("The handheld does not contain any logs!")   ? "no logs"
                       : shown("The handheld reports an impossible number") ? "impossible count"
                                                                            : "count unreadable";
        EXPECT_EQ(entry.outcome, expected) << entry.reason;
        outcomes.insert(entry.outcome + (entry.outcome == "refused"
                                             ? ": " + entry.reason.substr(0, entry.reason.find(':'))
                                             : std::string()));
        if (entry.outcome == "saved" || entry.outcome == "partial" || clearing) {
            // The report as it is on disk: the one opened, or the one the clear relied on.
            ASSERT_TRUE(entry.report);
            const std::string content = fileSystem.contentOf(entry.report->path);
            EXPECT_EQ(entry.report->sha256, sha256Hex(content));
            if (!clearing) {
                ASSERT_FALSE(desktop.opened.empty()) << "a saved report is opened";
                EXPECT_EQ(entry.report->path, desktop.opened.back());
                EXPECT_EQ(entry.logs,
                          std::size_t(std::count(desktop.clipboard.begin(), desktop.clipboard.end(), '\n')));
            }
        }
    }
    // After a lost link or a raised error: one box telling of it, last but for the error's own; the clean
    // run's first lines saved whole and opened, and the box naming the file; no Clear Log.
    void expectPartialReportOf(const std::string& cleanReport,
                               const std::string& start = kLinkLostStart) const {
        const auto told = std::find_if(desktop.messages.rbegin(), desktop.messages.rend(),
                                       [&](const auto& m) { return m.text.rfind(start, 0) == 0; });
        ASSERT_EQ(std::count_if(desktop.messages.begin(), desktop.messages.end(),
                                [&](const auto& m) { return m.title == told->title; }),
                  1);
        EXPECT_EQ(told - desktop.messages.rbegin(), ended ? 1 : 0) << "the run stops at it";
        EXPECT_FALSE(shown(kReminderStart));
        EXPECT_FALSE(desktop.clearEnabled) << "Clear Log offered after a partial run";
        ASSERT_EQ(desktop.opened.size(), 1u);
        EXPECT_TRUE(wholeReportAt(desktop.opened.back())) << "the logs read before the loss are saved";
        EXPECT_NE(told->text.find("(" + desktop.opened.back() + ")"), std::string::npos) << told->text;
        EXPECT_EQ(cleanReport.substr(0, desktop.clipboard.size()), desktop.clipboard);
        const auto lines = std::count(desktop.clipboard.begin(), desktop.clipboard.end(), '\n');
        EXPECT_EQ(told->text.rfind(start + std::to_string(lines + 1) + " of ", 0), 0u)
            << "cut short where the report ends: " << told->text;
    }
};

struct Action {
    std::string name;
    std::function<void(World&)> setUp, run;
    bool endsWithDefaultPointer;
};

void load(World& w) {
    ASSERT_EQ(w.session.Load(), Session::LoadResult::Running);
}

const std::vector<Action> kActions = {
    {"start-up", [](World&) {},
     [](World& w) {
         if (w.session.Load() == Session::LoadResult::CloseAndEnd)
             w.session.Unload();
     },
     true},
    {"extract by ID", load, [](World& w) { w.session.IKnow(); }, true},
    {"extract by pairing", load, [](World& w) { w.session.IDontKnow(); }, true},
    {"the run", [](World& w) { load(w), w.session.identifyByTypedId(); },
     [](World& w) { w.session.ExtractLogs(); }, false}, // its callers reset the pointer
    {"extract, the disk full", [](World& w) { load(w), w.fileSystem.failing = FailingStep::Write; },
     [](World& w) { w.session.IKnow(); }, true},
    {"clear", [](World& w) { load(w), w.session.IKnow(), w.desktop.messages.clear(); },
     [](World& w) { w.session.ClearLog(); }, true},
    {"clear, answered No",
     [](World& w) {
         load(w), w.session.IKnow(), w.desktop.messages.clear();
         w.desktop.answers.assign(1, MessageAnswer::No);
     },
     [](World& w) { w.session.ClearLog(); }, true},
};

bool clearing(const Action& action) {
    return action.name.starts_with("clear");
}

std::string targetOf(const Call& call) {
    bool command = call.operation == "ReadCommand" || call.operation == "WriteCommand";
    return command ? std::string(1, call.command) : call.operation;
}

} // namespace

TEST(FaultMatrix, EveryCallOfEveryActionUnderEveryFaultOnceAndForGood) {
    int cases = 0;
    std::set<std::string> journalled; // every outcome the journal recorded
    for (const auto& action : kActions) {
        // The calls the action makes when nothing goes wrong, each with its occurrence number.
        std::vector<std::pair<std::string, int>> calls;
        World clean;
        action.setUp(clean);
        clean.desktop.messages.clear();
        std::map<std::string, int> seen;
        for (const auto& c : clean.calls)
            ++seen[targetOf(c)];
        const std::size_t from = clean.calls.size();
        action.run(clean);
        for (std::size_t i = from; i < clean.calls.size(); ++i) {
            auto target = targetOf(clean.calls[i]);
            calls.emplace_back(target, ++seen[target]);
        }
        const std::string& cleanReport = clean.desktop.clipboard;
        for (const auto& [target, occurrence] : calls) {
            for (auto kind : {sim::FaultKind::Status, sim::FaultKind::WrongLength, sim::FaultKind::NulPadding,
                              sim::FaultKind::OnlyNuls, sim::FaultKind::HugeReply, sim::FaultKind::Raise}) {
                if (!sim::faultApplies(target, kind))
                    continue;
                // Once at this call, and from this call on for good.
                for (int count : {1, 0}) {
                    ++cases;
                    World w;
                    action.setUp(w);
                    w.desktop.messages.clear();
                    const std::size_t logsBefore = w.logsLeft();
                    const std::size_t entriesBefore = w.journal().size(), callsBefore = w.calls.size();
                    sim::Fault fault{target, kind, occurrence, count};
                    fault.errorNumber = 5;
                    w.station->addFault(fault);
                    w.guard.run([&] { action.run(w); });

                    SCOPED_TRACE(action.name + ", " + target + " #" + std::to_string(occurrence) +
                                 ", fault kind " + std::to_string(static_cast<int>(kind)) +
                                 (count ? " once" : " for good"));
                    EXPECT_EQ(w.ended, kind == sim::FaultKind::Raise)
                        << "only a raised error ends the program";
                    if (kind == sim::FaultKind::Raise) {
                        EXPECT_EQ(w.desktop.messages.back().text, "Error 5:\r\n" + fault.errorDescription);
                        if (w.shown(kRaisedStart) && w.fileSystem.failing == FailingStep::None)
                            w.expectPartialReportOf(cleanReport, kRaisedStart);
                    } else if (kind == sim::FaultKind::Status) {
                        EXPECT_FALSE(w.desktop.messages.empty()) << "a failed call is told";
                    }
                    EXPECT_LE(w.longestFailureRun(), kMostFailureBoxesInARow);
                    if (w.shown(kLinkLostStart) && w.fileSystem.failing == FailingStep::None)
                        w.expectPartialReportOf(cleanReport);
                    if (w.shown(kReminderStart)) {
                        ASSERT_FALSE(w.desktop.opened.empty());
                        EXPECT_TRUE(w.wholeReportAt(w.desktop.opened.back()))
                            << "reminder without a whole report";
                    }
                    if (w.desktop.clearEnabled) {
                        EXPECT_TRUE(w.anyWholeReport()) << "Clear Log offered without a saved report";
                    }
                    w.expectJournalled(clearing(action), entriesBefore, callsBefore, logsBefore, journalled);
                    if (!clearing(action)) {
                        EXPECT_EQ(w.logsLeft(), logsBefore) << "logs erased without a confirmed Clear Log";
                    } else if (w.logsLeft() < logsBefore) {
                        EXPECT_EQ(std::count(w.desktop.clipboard.begin(), w.desktop.clipboard.end(), '\n'),
                                  std::ptrdiff_t(logsBefore))
                            << "logs erased that the last report does not hold";
                    }
                    if (action.endsWithDefaultPointer && !w.ended) {
                        EXPECT_FALSE(w.desktop.busy) << "the busy pointer outlived the action";
                    }
                }
            }
        }
    }
    EXPECT_EQ(journalled,
              (std::set<std::string>{"saved", "partial", "not saved", "no logs", "impossible count",
                                     "count unreadable", "cleared", "write failed", "refused: not confirmed",
                                     "refused: count differs", "refused: count unreadable",
                                     "partial (raised)", "not saved (raised)", "write failed (raised)",
                                     "refused: count unreadable (raised)"}));
    std::cout << "fault matrix: " << cases << " cases\n";
    ::testing::Test::RecordProperty("fault_matrix_cases", cases);
}

// The link dies for good at every point of an extraction: a few failure boxes, then one telling of the loss.
TEST(FaultMatrix, LinkLostForGoodAtEveryPointOfTheRun) {
    World clean;
    load(clean);
    clean.session.IKnow();
    const std::string cleanReport = clean.desktop.clipboard;
    const int logs = static_cast<int>(clean.logsLeft());
    const int commands = countCalls(clean.calls, "ReadCommand") + countCalls(clean.calls, "WriteCommand");
    const int beforeFirstRecord = commands - logs; // the model, two index writes and the count

    for (int alive = 0; alive <= commands; ++alive) {
        SCOPED_TRACE("the link dies after " + std::to_string(alive) + " commands");
        World w;
        load(w);
        w.station->left = alive;
        w.desktop.messages.clear();
        w.session.IKnow();
        EXPECT_LE(w.longestFailureRun(), kMostFailureBoxesInARow);
        const int read = alive - beforeFirstRecord;
        if (read >= 0 && read <= logs - 2) {
            w.expectPartialReportOf(cleanReport);
            EXPECT_EQ(std::count(w.desktop.clipboard.begin(), w.desktop.clipboard.end(), '\n'), read);
        } else {
            EXPECT_FALSE(w.shown(kLinkLostStart)) << "too early for a run, or only the last log lost";
        }
        EXPECT_EQ(w.logsLeft(), std::size_t(logs));
    }
}
