#include "desktop/ShownText.h"

namespace z83 {

std::string shownDeviceText(std::string_view text, std::size_t maxChars) {
    std::size_t at = 0;
    for (std::size_t chars = 0; at < text.size(); ++chars) {
        if (chars == maxChars)
            return std::string(text.substr(0, at)) + "...";
        // Skip the continuation bytes of a UTF-8 character; other bytes count one each.
        do
            ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
    }
    return std::string(text);
}

namespace {

// The length of the UTF-8 character at text[i], or 0 when the byte there begins none.
std::size_t utf8CharLength(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool good = length > 0 && i + length <= text.size() && !(length == 2 && c < 0xC2);
    for (std::size_t k = 1; good && k < length; ++k)
        good = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (good && length >= 3) {
        // No overlong forms, no surrogates, nothing past U+10FFFF.
        const auto c1 = static_cast<unsigned char>(text[i + 1]);
        good = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0) && !(c == 0xF0 && c1 < 0x90) &&
               !(c == 0xF4 && c1 >= 0x90) && c <= 0xF4;
    }
    return good ? length : 0;
}

} // namespace

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0, length = 0; i < text.size(); i += length)
        if ((length = utf8CharLength(text, i)) == 0)
            return false;
    return true;
}

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = utf8CharLength(text, i)) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string csvField(std::string text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace z83
