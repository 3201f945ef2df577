#pragma once

#include <cstdint>
#include <string_view>

namespace z83 {

// The leading hexadecimal number of a text: blanks, tabs and line feeds are skipped wherever they
// stand, digits of either case are read up to the first other character, no digits give 0.
struct LeadingHex {
    std::uint64_t value = 0;   // the low 64 bits of the number read
    int significantDigits = 0; // digits after leading zeros; beyond 16 the value has wrapped
    int digits = 0;            // all digits read, leading zeros included; 0 when there was no number
};
LeadingHex readLeadingHex(std::string_view text);

// The leading decimal number of a text: an optional sign, digits and an optional decimal point, with
// blanks, tabs and line feeds skipped wherever they stand. No number gives 0; a number too large for a
// double gives an infinity of its sign.
double readLeadingDecimal(std::string_view text);

} // namespace z83
