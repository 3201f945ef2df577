#pragma once

#include <array>
#include <cstdint>

namespace z83 {

namespace detail {
inline constexpr std::array<std::int8_t, 256> kHexValue = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (int c = '0'; c <= '9'; ++c)
        table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
        table[static_cast<std::size_t>(c + ('a' - 'A'))] = static_cast<std::int8_t>(c - 'A' + 10);
    }
    return table;
}();
} // namespace detail

// The value of a hexadecimal digit of either case, -1 for every other character. A table, because
// decoding records reads 56 digits per log.
constexpr int hexDigitValue(char c) {
    return detail::kHexValue[static_cast<unsigned char>(c)];
}

// The upper-case digit of a value from 0 to 15.
constexpr char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0x0F];
}

} // namespace z83
