#include "NumberReaders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace z83;

TEST(LeadingHex, ReadsDigitsUpToTheFirstOtherCharacter) {
    EXPECT_EQ(readLeadingHex("12G4").value, 0x12u);
    EXPECT_EQ(readLeadingHex("01a2b3").value, 0x1A2B3u);
    EXPECT_EQ(readLeadingHex("3G").value, 3u);
    EXPECT_EQ(readLeadingHex("G3").value, 0u);
    EXPECT_EQ(readLeadingHex("").value, 0u);
    EXPECT_EQ(readLeadingHex("-1").value, 0u);
    EXPECT_EQ(readLeadingHex("ffFF").value, 0xFFFFu);
}

TEST(LeadingHex, SkipsBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_EQ(readLeadingHex(" 1 A\t2\nB").value, 0x1A2Bu);
    EXPECT_EQ(readLeadingHex("1\r2").value, 1u) << "a carriage return is not skipped";
}

TEST(LeadingHex, CountsSignificantDigitsWithoutLeadingZeros) {
    EXPECT_EQ(readLeadingHex("000000001A2B3C").significantDigits, 6);
    EXPECT_EQ(readLeadingHex("0000").significantDigits, 0);
    auto wide = readLeadingHex("1234567890ABCDEF12");
    EXPECT_EQ(wide.significantDigits, 18);
}

TEST(LeadingDecimal, ReadsSignDigitsAndOnePoint) {
    EXPECT_EQ(readLeadingDecimal("3"), 3.0);
    EXPECT_EQ(readLeadingDecimal("-2"), -2.0);
    EXPECT_EQ(readLeadingDecimal("+5"), 5.0);
    EXPECT_DOUBLE_EQ(readLeadingDecimal("0.4"), 0.4);
    EXPECT_DOUBLE_EQ(readLeadingDecimal("1.2.3"), 1.2);
    EXPECT_EQ(readLeadingDecimal("3,21/6/2024"), 3.0);
    EXPECT_EQ(readLeadingDecimal(" 1 2\t3\n"), 123.0);
    EXPECT_EQ(readLeadingDecimal("- 7"), -7.0);
    EXPECT_EQ(readLeadingDecimal("1e3"), 1.0) << "no exponent form";
}

TEST(LeadingDecimal, NoNumberGivesZero) {
    for (const char* text : {"", "word", "-", ".", "+-1", " , 5"})
        EXPECT_EQ(readLeadingDecimal(text), 0.0) << text;
}

TEST(LeadingDecimal, HugeNumbersBecomeInfiniteAndTinyOnesZero) {
    EXPECT_TRUE(std::isinf(readLeadingDecimal(std::string(400, '9'))));
    EXPECT_LT(readLeadingDecimal("-" + std::string(400, '9')), 0.0);
    EXPECT_EQ(readLeadingDecimal("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(readLeadingDecimal("4294967296"), 4294967296.0);
}
