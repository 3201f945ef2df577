// The rules both windows run their actions by, with a window that only notes what happens to it, and the
// core's table of which button runs which action.
#include "ui/ActionRunner.h"
#include "link/DataProvider.h"
#include "tests/support/FakeDesktop.h"
#include "ui/WindowCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

using namespace z83;

namespace {

// A window as both toolkits drive the runner: a close goes through requestClose and the window goes once it
// is allowed; what happens is noted in order.
struct FakeWindow {
    test::FakeDesktop desktop;
    std::vector<std::string> log;
    ActionGuard guard{desktop, [this] { log.push_back("program ended"); }};
    ui::ActionRunner runner{guard, [this] { log.push_back("unloaded"); }, [this] { close(); }};
    bool gone = false;

    void close() {
        if (runner.requestClose()) {
            gone = true;
            log.push_back("gone");
        }
    }
    // An action that, while it runs, does what a message box's event loop may deliver.
    void click(const std::string& name, const std::function<void()>& meanwhile = {}) {
        const bool ran = runner.act([&] {
            log.push_back(name + " begins");
            if (meanwhile)
                meanwhile();
            log.push_back(name + " ends");
        });
        if (!ran)
            log.push_back(name + " dropped");
    }
};

} // namespace

TEST(ActionRunner, OneActionAtATimeAndACloseWaitsForItsEnd) {
    FakeWindow window;
    window.click("Extract", [&] {
        window.click("Clear Log");
        window.close();
        window.close();
        EXPECT_FALSE(window.gone) << "the window must not go while its action runs";
    });
    window.click("Extract"); // the window has gone
    EXPECT_EQ(window.log, (std::vector<std::string>{"Extract begins", "Clear Log dropped", "Extract ends",
                                                    "unloaded", "gone", "Extract dropped"}));
}

TEST(ActionRunner, UnloadingHappensOnceWhateverEndsTheWindow) {
    FakeWindow closedFirst;
    closedFirst.close();
    closedFirst.runner.endSession();
    closedFirst.close();
    EXPECT_EQ(closedFirst.log, (std::vector<std::string>{"unloaded", "gone", "gone"}));

    // The session's end cannot wait for the action: the system ends the process right after.
    FakeWindow sessionEnds;
    sessionEnds.click("Extract", [&] { sessionEnds.runner.endSession(); });
    sessionEnds.close();
    EXPECT_EQ(sessionEnds.log,
              (std::vector<std::string>{"Extract begins", "unloaded", "Extract ends", "gone"}));
}

TEST(ActionRunner, AnErrorTheComponentRaisesIsReportedAndLeavesNoActionRunning) {
    FakeWindow window;
    EXPECT_TRUE(window.runner.act([] { throw ProviderError(7, "Link dropped"); }));
    ASSERT_EQ(window.desktop.messages.size(), 1u);
    EXPECT_EQ(window.desktop.messages[0].text, "Error 7:\r\nLink dropped");
    EXPECT_FALSE(window.runner.acting());
    window.close();
    EXPECT_EQ(window.log, (std::vector<std::string>{"program ended", "unloaded", "gone"}));
}

// The windows connect their buttons from the core's table: a button of the layout missing from it, or an
// entry that names no button, leaves a button that does nothing.
TEST(WindowCore, EveryButtonOfTheLayoutRunsExactlyOneAction) {
    std::size_t buttons = 0;
    for (const auto& control : ui::layout::kControls) {
        buttons += control.kind == ui::layout::Kind::Button;
        const auto runs =
            std::count_if(std::begin(ui::kButtonActions), std::end(ui::kButtonActions),
                          [&](const ui::ButtonAction& known) { return known.button == control.name; });
        EXPECT_EQ(runs, control.kind == ui::layout::Kind::Button ? 1 : 0) << control.name;
    }
    EXPECT_EQ(std::size(ui::kButtonActions), buttons) << "an entry names no button";
}
