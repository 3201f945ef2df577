#include "extract/NativeFileSystem.h"
#include "extract/Session.h"
#include "sim/SimulatedBaseStation.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/RecordingProvider.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace z83::test;

// The window's tests check the start-up messages; here the order of the calls and the shut-down steps.
TEST(Lifecycle, ChecksRunInOrderAndClosingStoresClosesWaitsAndReleases) {
    FakeDesktop desktop;
    NativeFileSystem fileSystem;
    sim::Scenario scenario = sim::demoScenario();
    std::unique_ptr<sim::SimulatedBaseStation> station;
    std::vector<Call> calls;
    Session session(
        desktop,
        [&] {
            calls.clear();
            station = std::make_unique<sim::SimulatedBaseStation>(scenario);
            return std::make_unique<RecordingProvider>(*station, calls);
        },
        fileSystem);
    auto operations = [&] {
        std::vector<std::string> ops;
        for (const auto& c : calls)
            ops.push_back(c.operation);
        return ops;
    };

    EXPECT_EQ(session.Load(), Session::LoadResult::Running);
    desktop.id = "";
    session.Unload();
    EXPECT_EQ(operations(), (std::vector<std::string>{"ProbeProvider", "OpenUSB", "DetectBase",
                                                      "ReadBaseByte", "CloseUSB"}));
    EXPECT_EQ(desktop.settings.at("Settings/ID"), "");
    EXPECT_EQ(desktop.pauses, std::vector<double>{1.0});
    EXPECT_EQ(session.provider(), nullptr);
    EXPECT_FALSE(desktop.busy);

    scenario.basePresent = false;
    EXPECT_EQ(session.Load(), Session::LoadResult::CloseAndEnd);
    EXPECT_EQ(operations(), (std::vector<std::string>{"ProbeProvider", "OpenUSB", "DetectBase"}));
    scenario.openStatus = 3;
    EXPECT_EQ(session.Load(), Session::LoadResult::EndAtOnce);
    EXPECT_EQ(operations(), (std::vector<std::string>{"ProbeProvider", "OpenUSB"}));
}
