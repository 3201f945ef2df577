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

} // namespace z83
