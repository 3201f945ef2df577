#pragma once

#include <string_view>

namespace z83 {

// Takes the first line off text and gives it: up to the next LF, without the LF and without a CR before it,
// as a file edited on Windows ends its lines. The last line needs no LF.
inline std::string_view takeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

} // namespace z83
