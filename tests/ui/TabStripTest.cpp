// The tab strip as both windows run it: picking a tab, its controls, where its captions lie.
#include "ui/TabStrip.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>
#include <vector>

namespace {

using Strip = z83::ui::TabStrip<int>; // controls are numbers, 0 is none

Strip twoTabs() {
    z83::ui::layout::TabStripLook look = z83::ui::layout::kTabStrip;
    look.captions[0] = "ab";
    look.captions[1] = "cdef";
    return Strip(look);
}

} // namespace

// The arrows stop at the ends; picking the current tab or none changes nothing. Only the current tab's
// controls show, and they are shown before the others are hidden.
TEST(TabStrip, PickingATabShowsItsControls) {
    Strip strip = twoTabs();
    EXPECT_FALSE(strip.step(Strip::Arrow::Left));
    EXPECT_TRUE(strip.step(Strip::Arrow::Right));
    EXPECT_FALSE(strip.step(Strip::Arrow::Right));
    EXPECT_FALSE(strip.choose(1));
    EXPECT_FALSE(strip.choose(2));
    EXPECT_TRUE(strip.choose(0));
    EXPECT_TRUE(strip.add(0, 10) && strip.add(1, 20) && strip.add(0, 11));
    EXPECT_FALSE(strip.add(2, 30) || strip.add(1, 0));
    ASSERT_TRUE(strip.step(Strip::Arrow::Right));
    std::vector<std::pair<int, bool>> shown;
    strip.showControls([&](int control, bool visible) { shown.emplace_back(control, visible); });
    EXPECT_EQ(shown, (std::vector<std::pair<int, bool>>{{20, true}, {10, false}, {11, false}}));
}

// Captions lie side by side, padded on both sides; a click on an edge goes to exactly one of them.
TEST(TabStrip, CaptionsAndClicksMeetAtTheEdges) {
    const Strip strip = twoTabs();
    const auto length = [](std::string_view caption) { return static_cast<int>(caption.size()); };
    const auto place = [&](int tab) { return strip.captionRect(tab, 3, 20, length); };
    EXPECT_EQ(std::vector({place(0).left, place(0).width, place(1).left, place(1).width, place(1).height}),
              std::vector({0, 8, 8, 10, 20}));
    EXPECT_EQ(place(2).width, 0);
    const auto at = [&](int x, int y) { return strip.tabAt(x, y, 3, 20, length); };
    EXPECT_EQ(std::vector({at(0, 0), at(7, 19), at(8, 0), at(17, 19)}), std::vector({0, 0, 1, 1}));
    EXPECT_EQ(std::vector({at(18, 5), at(-1, 5), at(3, 20), at(3, -1)}), std::vector({-1, -1, -1, -1}))
        << "right of the captions, left of them, on the page, above";
}
