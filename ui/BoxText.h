#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace z83::ui {

// Longest message a box shows; anything longer (only a misbehaving module sends such) is cut.
inline constexpr std::size_t kMaxBoxChars = 2000;
// The longest run of non-blank characters a box shows without a place to break the line.
inline constexpr std::size_t kLongestRun = 60;

// A message's text as both windows' boxes show it, in UTF-8. Bytes that are not UTF-8 are read as Latin-1,
// so no byte a module sends is lost. At most kMaxBoxChars characters, never cutting one, then "..."; a box
// breaks lines only between words, so a long run without blanks (a module's reply can be one) gets an
// invisible break opportunity (U+200B) after every kLongestRun characters, keeping the box narrower than the
// screen. Line breaks are kept as they are.
std::string boxText(std::string_view text);

} // namespace z83::ui
