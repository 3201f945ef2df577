#include "ModuleCommands.h"
#include "FakeDesktop.h"
#include "ScriptedProvider.h"

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
        std::uint8_t code = static_cast<std::uint8_t>(command);
        return MRead(provider, desktop, id, code, value, description);
    }
    bool write(char command, const std::string& value, const std::string& description) {
        std::uint8_t code = static_cast<std::uint8_t>(command);
        return MWrite(provider, desktop, id, code, value, description);
    }
};

} // namespace

TEST_F(Link, RepliesAreCutAtTheirFirstNul) {
    provider.script('3', {{0, "Z83-PM-VX\0junk"s}, {0, "\0Z83"s}, {0, "Z83-PM-VX  "}, {0, ""}});
    std::string value = "before";
    EXPECT_TRUE(read('3', value));
    EXPECT_EQ(value, "Z83-PM-VX");
    EXPECT_TRUE(read('3', value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(read('3', value));
    EXPECT_EQ(value, "Z83-PM-VX  ");
    value = "before";
    EXPECT_TRUE(read('3', value));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(provider.calls[0].id, 0x1A2B3C);
    EXPECT_EQ(provider.calls[0].command, '3');
}

TEST_F(Link, WrittenValuesCarryTwoNuls) {
    EXPECT_TRUE(write('W', "23130", "ClearLog"));
    EXPECT_TRUE(write('S', "", "LogIndex"));
    ASSERT_EQ(provider.calls.size(), 2u);
    EXPECT_EQ(provider.calls[0].text, "23130\0\0"s);
    EXPECT_EQ(provider.calls[0].text.size(), 7u);
    EXPECT_EQ(provider.calls[1].text, "\0\0"s);
}

TEST_F(Link, FailedReadResetsPointerShowsItsBoxThenEmptiesTheStatus) {
    provider.script('T', {{7, "12"}});
    desktop.setBusyPointer(true);
    desktop.events.clear();
    std::string value = "kept";
    EXPECT_FALSE(read('T', value, "LogData!"));
    EXPECT_EQ(value, "kept");
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot read LogData!!\r\nTry again.");
    EXPECT_EQ(desktop.messages[0].title, "Error");
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(desktop.messages[0].buttons, MessageButtons::Ok);
    EXPECT_FALSE(desktop.messages[0].busyWhenShown);
    EXPECT_EQ(desktop.events, (std::vector<std::string>{"default-pointer", "message:Error", "status:"}));
}

TEST_F(Link, FailedWriteHasNoExclamationMark) {
    provider.script('S', {{-1, ""}});
    EXPECT_FALSE(write('S', "1", "LogIndex"));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot write LogIndex\r\nTry again.");
    EXPECT_EQ(desktop.status, "");
}

TEST_F(Link, RaisedErrorsPassThroughUntouched) {
    struct Raising : ScriptedProvider {
        std::int16_t ReadCommand(std::uint8_t&, std::int32_t&, std::uint8_t&, std::string& text) override {
            text = "partial";
            throw ProviderError(-2147023174, "The RPC server is unavailable.");
        }
    } raising;
    std::uint8_t code = '3';
    std::string value = "kept";
    try {
        MRead(raising, desktop, id, code, value, "Model");
        FAIL() << "expected the error to pass through";
    } catch (const ProviderError& e) {
        EXPECT_EQ(e.number(), -2147023174);
    }
    EXPECT_EQ(value, "kept");
    EXPECT_TRUE(desktop.messages.empty());
}
