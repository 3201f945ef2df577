// Every link call of every action, spoiled in every way the radio can spoil it: the program must keep
// its promises. Never a crash, the right message, no report claimed unless it is on disk whole, Clear Log
// never offered without a saved report, and nothing erased without a confirmed Clear Log.
#include "ActionGuard.h"
#include "BorrowedProvider.h"
#include "FakeDesktop.h"
#include "ReportFile.h"
#include "Session.h"
#include "SimulatedBaseStation.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

using namespace z83;
using namespace z83::test;

namespace {

constexpr std::int32_t kModule = 0x1A2B3C;
const std::string kReminder =
    "When you have confirmed that the data has been extracted correctly you should clear "
    "the log data from the handheld by clicking the 'Clear Log' button on the main window.";

const std::vector<std::string> kExactMessages = {
    "Cannot read Model!\r\nTry again.",
    "Cannot read LogData!!\r\nTry again.",
    "Cannot write LogIndex\r\nTry again.",
    "Cannot write ClearLog\r\nTry again.",
    "Cannot read back log data - incorrect length!",
    "The handheld does not contain any logs!",
    "Did not pair with a handheld module!",
    "Cannot open USB interface",
    "Base station not detected! Connect base station and restart program.",
    "Are you sure that you want to delete all logs?",
    kReminder,
};
const std::vector<std::string> kMessagePrefixes = {
    "The paired module is a ",
    "Z83DataProviderCOM.DLL possibly not registered!\r\nError: ",
    "The handheld reports an impossible number of logs: \"",
    "Error ",
};

bool known(const std::string& text) {
    if (std::find(kExactMessages.begin(), kExactMessages.end(), text) != kExactMessages.end())
        return true;
    for (const auto& prefix : kMessagePrefixes)
        if (text.rfind(prefix, 0) == 0)
            return true;
    return false;
}

// The message a nonzero status on each call must bring.
std::string statusMessage(const std::string& target) {
    if (target == "3")
        return "Cannot read Model!\r\nTry again.";
    if (target == "T" || target == "U")
        return "Cannot read LogData!!\r\nTry again.";
    if (target == "S")
        return "Cannot write LogIndex\r\nTry again.";
    if (target == "W")
        return "Cannot write ClearLog\r\nTry again.";
    if (target == "OpenUSB")
        return "Cannot open USB interface";
    if (target == "DetectBase")
        return "Base station not detected! Connect base station and restart program.";
    if (target == "PairModule")
        return "Did not pair with a handheld module!";
    if (target == "ProbeProvider")
        return "Z83DataProviderCOM.DLL possibly not registered!\r\nError: Simulated component failure [Code: "
               "5]";
    return "";
}

std::string targetOf(const sim::Call& call) {
    if (call.operation == "ReadCommand" || call.operation == "WriteCommand")
        return std::string(1, call.command);
    return call.operation;
}

// One program with its window stand-in, simulated station and documents folder.
struct World {
    FakeDesktop desktop;
    TempDir documents;
    std::unique_ptr<sim::SimulatedBaseStation> station;
    Session session;
    int endedWith = -1;
    ActionGuard guard;

    World()
        : session(desktop, [this] { return std::make_unique<BorrowedProvider>(*station); }),
          guard(desktop, [this] { endedWith = 1; }) {
        auto scenario = sim::demoScenario();
        scenario.pairDelaySeconds = 0;
        station = std::make_unique<sim::SimulatedBaseStation>(scenario);
        desktop.documents = documents.str();
        desktop.id = "1A2B3C";
        desktop.answers.assign(8, MessageAnswer::Yes);
    }
    std::size_t logsLeft() const { return station->module(kModule)->records.size(); }
    bool holdsWholeReport(const std::string& path) const {
        std::string content;
        return FileSystem::real().readWhole(path, content) == 0 &&
               content == reportFileContent(desktop.clipboard);
    }
    bool anyWholeReport() const {
        for (const auto& name : documents.names())
            if (holdsWholeReport((documents.path() / name).string()))
                return true;
        return false;
    }
};

struct Action {
    std::string name;
    std::function<void(World&)> setUp;
    std::function<void(World&)> run;
    bool ownsPointer; // ends with the default pointer in every outcome
};

void load(World& w) {
    ASSERT_EQ(w.session.Load(), Session::LoadResult::Running);
}

const std::vector<Action>& actions() {
    static const std::vector<Action> list = {
        {"start-up", [](World&) {},
         [](World& w) {
             if (w.session.Load() == Session::LoadResult::CloseAndEnd)
                 w.session.Unload();
         },
         true},
        {"extract by ID", load, [](World& w) { w.session.IKnow(); }, true},
        {"extract by pairing", load, [](World& w) { w.session.IDontKnow(); }, true},
        {"the run",
         [](World& w) {
             load(w);
             w.session.ModuleID = kModule;
         },
         [](World& w) { w.session.ExtractLogs(); }, false},
        {"clear",
         [](World& w) {
             load(w);
             w.session.IKnow();
             w.desktop.messages.clear();
         },
         [](World& w) { w.session.ClearLog(); }, true},
    };
    return list;
}

const sim::FaultKind kKinds[] = {sim::FaultKind::Status, sim::FaultKind::WrongLength,
                                 sim::FaultKind::OnlyNuls, sim::FaultKind::HugeReply, sim::FaultKind::Raise};

} // namespace

TEST(FaultMatrix, EveryCallOfEveryActionUnderEveryFault) {
    int cases = 0;
    for (const auto& action : actions()) {
        // The calls the action makes when nothing goes wrong, each with its occurrence number.
        std::vector<std::pair<std::string, int>> calls;
        {
            World clean;
            action.setUp(clean);
            std::size_t from = clean.station->calls().size();
            std::map<std::string, int> seen;
            for (const auto& c : clean.station->calls())
                ++seen[targetOf(c)];
            action.run(clean);
            for (std::size_t i = from; i < clean.station->calls().size(); ++i) {
                auto target = targetOf(clean.station->calls()[i]);
                calls.emplace_back(target, ++seen[target]);
            }
            ASSERT_FALSE(calls.empty()) << action.name;
        }

        for (const auto& [target, occurrence] : calls) {
            for (auto kind : kKinds) {
                if (!sim::faultApplies(target, kind))
                    continue;
                ++cases;
                World w;
                action.setUp(w);
                const std::size_t logsBefore = w.logsLeft();
                sim::Fault fault{target, kind, occurrence, 1};
                fault.errorNumber = 5;
                w.station->addFault(fault);
                w.guard.run([&] { action.run(w); });

                SCOPED_TRACE(action.name + ", " + target + " #" + std::to_string(occurrence) + ", kind " +
                             std::to_string(static_cast<int>(kind)));
                for (const auto& m : w.desktop.messages)
                    EXPECT_TRUE(known(m.text)) << "unexpected message: " << m.text;

                auto shown = [&](const std::string& text) {
                    for (const auto& m : w.desktop.messages)
                        if (m.text == text)
                            return true;
                    return false;
                };
                if (kind == sim::FaultKind::Raise) {
                    EXPECT_EQ(w.endedWith >= 0, true) << "a raised error ends the program through the guard";
                    ASSERT_FALSE(w.desktop.messages.empty());
                    EXPECT_EQ(w.desktop.messages.back().text, "Error 5:\r\n" + fault.errorDescription);
                } else {
                    EXPECT_LT(w.endedWith, 0);
                }
                if (kind == sim::FaultKind::Status) {
                    EXPECT_TRUE(shown(statusMessage(target))) << "missing: " << statusMessage(target);
                }

                if (shown(kReminder)) {
                    ASSERT_FALSE(w.desktop.opened.empty());
                    EXPECT_TRUE(w.holdsWholeReport(w.desktop.opened.back()))
                        << "reminder without a whole report";
                }
                if (w.desktop.clearEnabled) {
                    EXPECT_TRUE(w.anyWholeReport()) << "Clear Log offered without a saved report";
                }
                if (action.name != "clear") {
                    EXPECT_EQ(w.logsLeft(), logsBefore) << "logs erased without a confirmed Clear Log";
                }
                if (action.ownsPointer && w.endedWith < 0) {
                    EXPECT_FALSE(w.desktop.busy) << "the busy pointer outlived the action";
                }
            }
        }
    }
    std::cout << "fault matrix: " << cases << " cases\n";
    ::testing::Test::RecordProperty("fault_matrix_cases", cases);
    EXPECT_GT(cases, 100);
}
