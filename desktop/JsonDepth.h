#pragma once

#include <cstddef>
#include <string_view>

namespace z83 {

// How deeply the JSON files the programs read (scenarios, recordings, the journal) may nest: ours need 5
// levels. Parsing a deeper text costs memory and time out of all proportion to its size, so it is refused
// before it is parsed.
inline constexpr std::size_t kDeepestJson = 32;

// Where an array or object opens deeper than deepest in a JSON text, or npos; brackets in texts do not
// count.
inline std::size_t jsonTooDeepAt(std::string_view text, std::size_t deepest = kDeepestJson) {
    std::size_t depth = 0;
    bool inText = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inText) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inText = false;
        } else if (c == '"') {
            inText = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest)
                return i;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return std::string_view::npos;
}

} // namespace z83
