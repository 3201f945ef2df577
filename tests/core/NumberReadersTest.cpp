#include "NumberReaders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace z83;

TEST(LeadingNumbers, HexStopsAtTheFirstOtherCharacterAndSkipsBlanksTabsLineFeeds) {
    for (auto [text, value] : {std::pair{"12G4", 0x12u},
                               {"01a2b3", 0x1A2B3u},
                               {"3G", 3u},
                               {"G3", 0u},
                               {"", 0u},
                               {"-1", 0u},
                               {" 1 A\t2\nB", 0x1A2Bu},
                               {"1\r2", 1u}})
        EXPECT_EQ(readLeadingHex(text).value, value) << text;
    EXPECT_EQ(readLeadingHex("000000001A2B3C").significantDigits, 6);
    EXPECT_EQ(readLeadingHex("0000").significantDigits, 0);
    EXPECT_EQ(readLeadingHex("1234567890ABCDEF12").significantDigits, 18);
}

TEST(LeadingNumbers, DecimalTakesSignDigitsAndOnePointOnly) {
    for (auto [text, value] : {std::pair{"3", 3.0},
                               {"-2", -2.0},
                               {"+5", 5.0},
                               {"0.4", 0.4},
                               {"1.2.3", 1.2},
                               {"3,21/6/2024", 3.0},
                               {" 1 2\t3\n", 123.0},
                               {"- 7", -7.0},
                               {"1e3", 1.0},
                               {"", 0.0},
                               {"word", 0.0},
                               {"-", 0.0},
                               {".", 0.0},
                               {"+-1", 0.0}})
        EXPECT_DOUBLE_EQ(readLeadingDecimal(text), value) << text;
    EXPECT_TRUE(std::isinf(readLeadingDecimal(std::string(400, '9'))));
    EXPECT_LT(readLeadingDecimal("-" + std::string(400, '9')), -1e300);
    EXPECT_EQ(readLeadingDecimal("0." + std::string(400, '0') + "1"), 0.0);
}
