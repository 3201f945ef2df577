// A message's text as both windows' boxes show it.
#include "ui/BoxText.h"

#include <gtest/gtest.h>

#include <string>

using z83::ui::boxText;

namespace {

const std::string kBreak = "\xE2\x80\x8B"; // U+200B, an invisible place to break a line

std::string times(const std::string& piece, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

} // namespace

// Short texts keep their blanks and line breaks; bytes that are not UTF-8 are read as Latin-1.
TEST(BoxText, ShortTextsAreShownAsTheyAreInUtf8) {
    const std::string text = "Cannot read Model!\r\nTry again. \xC3\x84\xE2\x82\xAC";
    EXPECT_EQ(boxText(text), text);
    EXPECT_EQ(boxText("Mod\xE8le \xFF"), "Mod\xC3\xA8le \xC3\xBF");
}

// Long texts are cut between characters; long runs without blanks get invisible breaks.
TEST(BoxText, LongTextsAreCutAndBrokenBetweenCharacters) {
    const std::string euro = "\xE2\x82\xAC"; // three bytes
    EXPECT_EQ(boxText(times(euro + " ", 1000) + "x"), times(euro + " ", 1000) + "...");
    EXPECT_EQ(boxText(times(euro + " ", 1000)), times(euro + " ", 1000));
    EXPECT_EQ(boxText(times("x", 130)), times("x", 60) + kBreak + times("x", 60) + kBreak + times("x", 10));
    const std::string words = times(times("y", 59) + " ", 3);
    EXPECT_EQ(boxText(words), words) << "blanks end a run";
    EXPECT_EQ(boxText(times("\xC3\xA9", 61)), times("\xC3\xA9", 60) + kBreak + "\xC3\xA9")
        << "characters count, not bytes";
}
