// The leading-number readers on arbitrary text: no crash, and results consistent with the text.
#include "link/NumberReaders.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto hex = z83::readLeadingHex(text);
    double decimal = z83::readLeadingDecimal(text);

    if (std::isnan(decimal))
        std::abort();
    if (hex.significantDigits < 0 || static_cast<std::size_t>(hex.significantDigits) > size)
        std::abort();
    if (hex.significantDigits == 0 && hex.value != 0)
        std::abort();
    // Blanks anywhere do not change what is read.
    std::string spaced;
    for (char c : text) {
        spaced.push_back(' ');
        spaced.push_back(c);
    }
    if (z83::readLeadingHex(spaced).value != hex.value)
        std::abort();
    double again = z83::readLeadingDecimal(spaced);
    if (!(again == decimal || (std::isinf(again) && std::isinf(decimal))))
        std::abort();
    return 0;
}
