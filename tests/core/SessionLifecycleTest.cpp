#include "BorrowedProvider.h"
#include "FakeDesktop.h"
#include "Session.h"
#include "SimulatedBaseStation.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace z83::test;

namespace {

struct Lifecycle : ::testing::Test {
    FakeDesktop desktop;
    sim::Scenario scenario = sim::demoScenario();
    std::unique_ptr<sim::SimulatedBaseStation> station;
    Session session{desktop, [this] {
                        station = std::make_unique<sim::SimulatedBaseStation>(scenario);
                        return std::make_unique<BorrowedProvider>(*station);
                    }};

    std::vector<std::string> operations() const {
        std::vector<std::string> ops;
        for (const auto& c : station->calls())
            ops.push_back(c.operation);
        return ops;
    }
};

} // namespace

TEST_F(Lifecycle, StartsWithTheRememberedIdAndStoresTheBoxTextOnClose) {
    EXPECT_EQ(session.Load(), Session::LoadResult::Running);
    EXPECT_EQ(desktop.id, "0") << "nothing stored yet";
    EXPECT_EQ(operations(),
              (std::vector<std::string>{"ProbeProvider", "OpenUSB", "DetectBase", "ReadBaseByte"}));
    desktop.id = "";
    session.Unload();
    EXPECT_EQ(operations().back(), "CloseUSB");
    EXPECT_EQ(desktop.settings.at("Settings/ID"), "");
    EXPECT_EQ(desktop.pauses, std::vector<double>{1.0});
    EXPECT_EQ(session.DP, nullptr);
    EXPECT_FALSE(desktop.busy);

    EXPECT_EQ(session.Load(), Session::LoadResult::Running);
    EXPECT_EQ(desktop.id, "") << "an empty box is remembered as empty";
}

TEST_F(Lifecycle, ProbeErrorEndsAfterUnloadingWithoutTouchingTheRememberedId) {
    desktop.settings["Settings/ID"] = "1A2B3C";
    scenario.probeError = {-2147221005, "Invalid class string"};
    EXPECT_EQ(session.Load(), Session::LoadResult::CloseAndEnd);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(
        desktop.messages[0].text,
        "Z83DataProviderCOM.DLL possibly not registered!\r\nError: Invalid class string [Code: -2147221005]");
    EXPECT_EQ(desktop.messages[0].title, "z83-test");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    session.Unload();
    EXPECT_EQ(desktop.settings.at("Settings/ID"), "1A2B3C");
    EXPECT_EQ(operations(), (std::vector<std::string>{"ProbeProvider", "CloseUSB"}));
}

TEST_F(Lifecycle, FailedOpenEndsAtOnce) {
    for (auto setUp : {+[](sim::Scenario& s) { s.openStatus = 3; },
                       +[](sim::Scenario& s) {
                           s.openError = {5, "Access is denied."};
                       }}) {
        desktop.messages.clear();
        scenario = sim::demoScenario();
        setUp(scenario);
        EXPECT_EQ(session.Load(), Session::LoadResult::EndAtOnce);
        ASSERT_EQ(desktop.messages.size(), 1u);
        EXPECT_EQ(desktop.messages[0].text, "Cannot open USB interface");
        EXPECT_EQ(desktop.messages[0].title, "Warning");
        EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(operations(), (std::vector<std::string>{"ProbeProvider", "OpenUSB"}));
    }
}

TEST_F(Lifecycle, MissingBaseStationClosesTheUsbInterfaceAndKeepsTheId) {
    desktop.settings["Settings/ID"] = "ABC";
    scenario.basePresent = false;
    EXPECT_EQ(session.Load(), Session::LoadResult::CloseAndEnd);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text,
              "Base station not detected! Connect base station and restart program.");
    EXPECT_EQ(desktop.messages[0].title, "Warning");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    session.Unload();
    EXPECT_EQ(operations(), (std::vector<std::string>{"ProbeProvider", "OpenUSB", "DetectBase", "CloseUSB"}));
    EXPECT_EQ(desktop.settings.at("Settings/ID"), "ABC");
    EXPECT_EQ(desktop.pauses, std::vector<double>{1.0});
}
