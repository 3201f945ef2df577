#include "link/LogRecord.h"
#include "extract/CsvReport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <locale>
#include <string>

using namespace z83;

namespace {

const std::string kExample = "0003051E0E150618071E0E1506180C1F0E150618000048410100D3C5";
const std::string kExampleLine = "3,21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5,OVERLOAD";

std::string withByte(std::string reply, int index, const char* pair) {
    return reply.replace(static_cast<std::size_t>(2 * index), 2, pair);
}

} // namespace

TEST(LogDecoding, LineAndCrcOfTheExampleAndItsVariants) {
    std::string lower = kExample;
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Case {
        std::string reply, lineStart;
        bool crcOk;
    } cases[] = {
        {kExample, kExampleLine, true},
        {lower, kExampleLine, true},
        {kExample.substr(0, 52) + "C5D3", kExampleLine, false},
        {withByte(withByte(kExample, 0, "12"), 1, "34"), "4660,", true}, // the log number is not covered
        {withByte(kExample, 25, "01"), kExampleLine, false},             // the spare byte is
        {withByte(withByte(kExample, 0, "3G"), 1, "G3"), "768,", true},  // pairs read up to a non-digit
        {withByte(kExample, 24, "FE"), kExampleLine.substr(0, 62) + "SAFE", false}, // bit 0 alone: overload
    };
    for (const auto& c : cases) {
        LogRecord r = decodeLogReply(c.reply);
        EXPECT_EQ(csvLine(r).substr(0, c.lineStart.size()), c.lineStart) << c.reply;
        EXPECT_EQ(crcMatches(r), c.crcOk) << c.reply;
    }
    EXPECT_EQ(encodeLogReply(decodeLogReply(lower)), kExample);
}

// Every byte is shown as it is: no date or time is checked or corrected.
TEST(LogDecoding, FieldsAreRawBytes) {
    LogRecord r = recordFrom(
        {65535, {0, 5, 14, 31, 13, 255}, {255, 255, 255, 0, 0, 0}, {59, 59, 23, 1, 1, 0}, 0, 0xFF, 0});
    EXPECT_TRUE(crcMatches(r));
    EXPECT_EQ(csvLine(r), "65535,31/13/2255,14:5:0,0/0/2000,255:255:255,1/1/2000,23:59:59,0,OVERLOAD");
}

TEST(PeakText, SevenSignificantDigitsPointAlwaysDotNonFiniteOneToken) {
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    auto previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // may be missing; the C++ locale above still counts
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, const char*> cases[] = {
        {-2.25f, "-2.25"},
        {1.0f / 3.0f, "0.3333333"},
        {9999999.0f, "9999999"},
        {12345678.0f, "1.234568E+07"},
        {0.0001f, "0.0001"},
        {0.00001f, "1E-05"},
        {-0.0f, "0"},
        {-inf, "-INF"},
        {std::numeric_limits<float>::quiet_NaN(), "NAN"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(formatPeak(value), text) << text;
    std::setlocale(LC_NUMERIC, "C");
    std::locale::global(previous);
}
