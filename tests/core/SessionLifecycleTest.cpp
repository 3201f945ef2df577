#include "extract/Session.h"
#include "sim/SimulatedBaseStation.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/MemoryFileSystem.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace z83::test;

// Closing stores the typed ID and releases the link; a missing base station or a failed open ends start-up.
TEST(Lifecycle, ClosingStoresAndReleasesAndStartUpStopsAtAMissingLink) {
    FakeDesktop desktop;
    MemoryFileSystem fileSystem;
    sim::Scenario scenario = sim::demoScenario();
    Session session(
        desktop, [&] { return std::make_unique<sim::SimulatedBaseStation>(scenario); }, fileSystem);
    EXPECT_EQ(session.Load(), Session::LoadResult::Running);
    desktop.id = "";
    session.Unload();
    EXPECT_EQ(desktop.settings.at("Settings/ID"), "");
    EXPECT_EQ(session.provider(), nullptr);
    EXPECT_FALSE(desktop.busy);

    scenario.basePresent = false;
    EXPECT_EQ(session.Load(), Session::LoadResult::CloseAndEnd);
    scenario.openStatus = 3;
    EXPECT_EQ(session.Load(), Session::LoadResult::EndAtOnce);
}
