#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace z83 {

namespace detail {
inline constexpr std::array<std::int8_t, 256> kHexValue = [] {
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    constexpr char lower[] = "0123456789abcdef", upper[] = "0123456789ABCDEF";
    for (std::size_t value = 0; value < 16; ++value) {
        table[static_cast<unsigned char>(lower[value])] = static_cast<std::int8_t>(value);
        table[static_cast<unsigned char>(upper[value])] = static_cast<std::int8_t>(value);
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

// A module ID as the program shows it: upper-case hexadecimal without leading zeros (negative IDs as 8
// digits).
inline std::string idHex(std::int32_t id) {
    std::string text;
    auto bits = static_cast<std::uint32_t>(id);
    do {
        text.insert(text.begin(), hexDigit(bits & 0x0F));
        bits >>= 4;
    } while (bits != 0);
    return text;
}

// The ID idHex wrote: 1 to 8 hexadecimal digits of either case and nothing else (unlike the ID box, which
// reads what a person typed); nothing for any other text.
inline std::optional<std::int32_t> idFromHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 8)
        return std::nullopt;
    std::uint32_t id = 0;
    for (char c : digits) {
        if (hexDigitValue(c) < 0)
            return std::nullopt;
        id = id << 4 | static_cast<std::uint32_t>(hexDigitValue(c));
    }
    return static_cast<std::int32_t>(id); // eight digits reach the negative IDs, as the ID box does
}

} // namespace z83
