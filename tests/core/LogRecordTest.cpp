#include "LogRecord.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <string>

using namespace z83;

namespace {

const std::string kExample = "0003051E0E150618071E0E1506180C1F0E150618000048410100D3C5";
const std::string kExampleLine = "3,21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5,OVERLOAD";

LogRecord withCrc(LogRecord r) {
    auto crc = static_cast<std::uint16_t>(LogCRC(r, 2, 25));
    r[26] = static_cast<std::uint8_t>(crc >> 8);
    r[27] = static_cast<std::uint8_t>(crc);
    return r;
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TEST(LogCRC, IsModbusCrcOverTheGivenRange) {
    const std::string digits = "123456789";
    std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size());
    EXPECT_EQ(LogCRC(bytes, 0, 8), 0x4B37);
    EXPECT_EQ(LogCRC(bytes, 3, 2), 0xFFFF) << "an empty range leaves the initial value";
    EXPECT_EQ(LogCRC(bytes, 0, 40), 0x4B37) << "indices past the end are not read";
}

TEST(LogDecoding, ExampleRecordGivesItsLineAndAGoodCrc) {
    for (const auto& reply : {kExample, lower(kExample)}) {
        LogRecord r = decodeLogReply(reply);
        EXPECT_EQ(csvLine(r), kExampleLine);
        EXPECT_TRUE(crcMatches(r));
        EXPECT_EQ(encodeLogReply(r), kExample);
    }
}

TEST(LogDecoding, CrcGuardsBytesTwoToTwentyFiveOnly) {
    auto swapped = kExample.substr(0, 52) + "C5D3";
    EXPECT_FALSE(crcMatches(decodeLogReply(swapped)));
    EXPECT_EQ(csvLine(decodeLogReply(swapped)), kExampleLine);

    auto renumbered = "1234" + kExample.substr(4);
    EXPECT_TRUE(crcMatches(decodeLogReply(renumbered)));
    EXPECT_EQ(csvLine(decodeLogReply(renumbered)).substr(0, 5), "4660,");

    auto changedSpare = kExample.substr(0, 50) + "01" + kExample.substr(52);
    EXPECT_FALSE(crcMatches(decodeLogReply(changedSpare)));
}

TEST(LogDecoding, NonHexPairsGiveTheirLeadingDigitsOnly) {
    auto reply = "3G" + kExample.substr(2, 2) + "G3" + kExample.substr(6);
    LogRecord r = decodeLogReply(reply);
    EXPECT_EQ(r[0], 3);
    EXPECT_EQ(r[2], 0);
}

TEST(LogDecoding, FlagsBitZeroAloneDecidesOverload) {
    LogRecord r = decodeLogReply(kExample);
    for (auto [flags, text] :
         {std::pair{0xFE, "SAFE"}, {0x01, "OVERLOAD"}, {0xFF, "OVERLOAD"}, {0x00, "SAFE"}}) {
        r[24] = static_cast<std::uint8_t>(flags);
        LogRecord good = withCrc(r);
        EXPECT_TRUE(crcMatches(good));
        auto line = csvLine(good);
        EXPECT_EQ(line.substr(line.rfind(',') + 1), text);
    }
}

TEST(LogDecoding, BytesAreWrittenRawWithoutRangeChecks) {
    LogFields f;
    f.logNumber = 65535;
    f.start = {0, 5, 14, 31, 13, 255};
    f.peak = {255, 255, 255, 0, 0, 0};
    f.end = {59, 59, 23, 1, 1, 0};
    f.peakValue = 0.0f;
    LogRecord r = recordFrom(f);
    EXPECT_TRUE(crcMatches(r));
    EXPECT_EQ(csvLine(r), "65535,31/13/2255,14:5:0,0/0/2000,255:255:255,1/1/2000,23:59:59,0,SAFE");
    LogFields back = fieldsOf(r);
    EXPECT_EQ(back.start.yearSince2000, 255);
    EXPECT_EQ(back.logNumber, 65535);
}

TEST(PeakText, SevenSignificantDigitsAndExponentFromTenMillion) {
    struct Case {
        float value;
        const char* text;
    } cases[] = {
        {12.5f, "12.5"},
        {3.0f, "3"},
        {1.0f / 3.0f, "0.3333333"},
        {-2.25f, "-2.25"},
        {1234.567f, "1234.567"},
        {9999999.0f, "9999999"},
        {10000000.0f, "1E+07"},
        {12345678.0f, "1.234568E+07"},
        {3.4028235e38f, "3.402823E+38"},
        {0.0001f, "0.0001"},
        {0.00001f, "1E-05"},
        {1.5e-30f, "1.5E-30"},
        {-0.0f, "0"},
        {100.0f, "100"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatPeak(c.value), c.text) << c.text;
}

TEST(PeakText, NonFiniteValuesStayOneToken) {
    EXPECT_EQ(formatPeak(std::numeric_limits<float>::infinity()), "INF");
    EXPECT_EQ(formatPeak(-std::numeric_limits<float>::infinity()), "-INF");
    EXPECT_EQ(formatPeak(std::numeric_limits<float>::quiet_NaN()), "NAN");
    EXPECT_EQ(formatPeak(-std::numeric_limits<float>::quiet_NaN()), "NAN");
}

TEST(PeakText, DecimalPointIgnoresTheRegionalSettings) {
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    auto previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // may be missing; the C++ locale above still counts
    EXPECT_EQ(formatPeak(12.5f), "12.5");
    EXPECT_EQ(csvLine(decodeLogReply(kExample)), kExampleLine);
    std::setlocale(LC_NUMERIC, "C");
    std::locale::global(previous);
}
