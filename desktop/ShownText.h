#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace z83 {

// How much of a text from the module or the component a message shows: enough to recognise it, little
// enough that a box stays narrower than the screen and a console line stays readable.
inline constexpr std::size_t kShownDeviceChars = 160;

// The text as a message shows it: at most maxChars characters, then "..." when it was longer. Never cuts a
// UTF-8 character in half.
std::string shownDeviceText(std::string_view text, std::size_t maxChars = kShownDeviceChars);

// The text with every byte that is not part of a UTF-8 character replaced by U+FFFD, so that a model name
// or a path in another encoding still shows as text, and a line holding one still reads as JSON.
std::string validUtf8(std::string_view text);
// Whether every byte of text is part of a UTF-8 character.
bool isUtf8(std::string_view text);

// The text as one CSV field: as it is, or in double quotes (each quote doubled) when it holds a comma, a
// quote or a line break.
std::string csvField(std::string text);

} // namespace z83
