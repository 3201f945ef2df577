#include "link/NumberReaders.h"

#include "link/Hex.h"

#include <charconv>
#include <limits>
#include <string>

namespace z83 {

namespace {

bool isSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

LeadingHex readLeadingHex(std::string_view text) {
    LeadingHex result;
    for (char c : text) {
        if (isSkipped(c))
            continue;
        int digit = hexDigitValue(c);
        if (digit < 0)
            break;
        result.value = (result.value << 4) | static_cast<unsigned>(digit);
        ++result.digits;
        if (result.significantDigits > 0 || digit != 0)
            ++result.significantDigits;
    }
    return result;
}

double readLeadingDecimal(std::string_view text) {
    // Gather the number without the skipped characters, then convert it independently of the locale.
    std::string number;
    bool sign = false, digits = false, point = false;
    for (char c : text) {
        if (isSkipped(c))
            continue;
        if ((c == '-' || c == '+') && !sign && !digits && !point) {
            sign = true;
            if (c == '-')
                number.push_back('-');
        } else if (c >= '0' && c <= '9') {
            digits = true;
            number.push_back(c);
        } else if (c == '.' && !point) {
            point = true;
            number.push_back('.');
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    double value = 0.0;
    const char* first = number.data();
    const char* last = first + number.size();
    auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range) {
        // Either too large or too small for a double; only the first matters to callers.
        bool negative = number.front() == '-';
        std::string_view magnitude(number);
        if (negative)
            magnitude.remove_prefix(1);
        auto firstNonZero = magnitude.find_first_not_of("0.");
        auto pointAt = magnitude.find('.');
        bool large = firstNonZero != std::string_view::npos &&
                     (pointAt == std::string_view::npos || firstNonZero < pointAt);
        if (!large)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    (void)end;
    return value;
}

} // namespace z83
