#include "ui/BoxText.h"

#include "desktop/ShownText.h"

#include <algorithm>
#include <cstdint>

namespace z83::ui {

namespace {

// The length of the UTF-8 sequence that starts at text[at], or 0 when none does.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 0;
    return length;
}

bool isUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string fromLatin1(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | byte >> 6);
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::uint32_t codePoint(std::string_view sequence) {
    if (sequence.size() == 1)
        return static_cast<unsigned char>(sequence[0]);
    std::uint32_t value = static_cast<unsigned char>(sequence[0]) & (0x7F >> sequence.size());
    for (std::size_t i = 1; i < sequence.size(); ++i)
        value = value << 6 | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    return value;
}

// The blanks a box may break a line at: the white space of Unicode.
bool isBlank(std::uint32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

} // namespace

std::string boxText(std::string_view text) {
    const std::string shown =
        shownDeviceText(isUtf8(text) ? std::string(text) : fromLatin1(text), kMaxBoxChars);
    constexpr std::string_view kZeroWidthSpace = "\xE2\x80\x8B";
    std::string broken;
    broken.reserve(shown.size() + shown.size() / kLongestRun * kZeroWidthSpace.size());
    std::size_t run = 0;
    for (std::size_t at = 0; at < shown.size();) {
        // shown is UTF-8 throughout; a stray byte would still move on by one.
        const std::string_view character(shown.data() + at,
                                         std::max<std::size_t>(1, sequenceLength(shown, at)));
        run = isBlank(codePoint(character)) ? 0 : run + 1;
        if (run > kLongestRun) {
            broken += kZeroWidthSpace;
            run = 1;
        }
        broken += character;
        at += character.size();
    }
    return broken;
}

} // namespace z83::ui
