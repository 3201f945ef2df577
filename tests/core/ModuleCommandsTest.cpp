#include "link/ModuleCommands.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/ScriptedProvider.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace std::string_literals;
using test::FakeDesktop;
using test::ScriptedProvider;

namespace {

struct Link : ::testing::Test {
    ScriptedProvider provider;
    FakeDesktop desktop;
    std::int32_t id = 0x1A2B3C;

    bool read(char command, std::string& value, const std::string& description = "Model") {
        auto code = static_cast<std::uint8_t>(command);
        return MRead(provider, desktop, id, code, value, description);
    }
    bool write(char command, const std::string& value, const std::string& description) {
        auto code = static_cast<std::uint8_t>(command);
        return MWrite(provider, desktop, id, code, value, description);
    }
};

} // namespace

TEST_F(Link, RepliesAreCutAtTheFirstNulAndWritesCarryTwoNuls) {
    for (auto [reply, value] : {std::pair{"Z83-PM-VX\0junk\0more"s, "Z83-PM-VX"s},
                                {"\0Z83"s, ""s},
                                {"Z83-PM-VX  "s, "Z83-PM-VX  "s},
                                {""s, ""s}}) {
        provider.script('3', {{0, reply}});
        std::string got = "before";
        EXPECT_TRUE(read('3', got));
        EXPECT_EQ(got, value);
    }
    EXPECT_TRUE(write('W', "23130", "ClearLog"));
    EXPECT_TRUE(write('S', "", "LogIndex"));
    EXPECT_EQ(provider.calls[4].text, "23130\0\0"s);
    EXPECT_EQ(provider.calls[5].text, "\0\0"s);
    EXPECT_EQ(provider.calls[0].id, 0x1A2B3C);
    EXPECT_TRUE(desktop.messages.empty());
}

// The box of a failed command is shown with the ordinary pointer, so it can be clicked.
TEST_F(Link, FailureShowsItsBoxWithoutTheBusyPointerAndKeepsTheValue) {
    provider.script('T', {{7, "12"}});
    provider.script('S', {{-1, ""}});
    desktop.setBusyPointer(true);
    std::string value = "kept";
    EXPECT_FALSE(read('T', value, "LogData!"));
    EXPECT_EQ(value, "kept");
    EXPECT_FALSE(write('S', "1", "LogIndex"));
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot read LogData!!\r\nTry again.");
    EXPECT_EQ(desktop.messages[1].text, "Cannot write LogIndex\r\nTry again.");
    EXPECT_FALSE(desktop.messages[0].busyWhenShown);
}
