#include "desktop/Sha256.h"

namespace z83 {

std::string Sha256::hexDigest() {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char byte : finish()) {
        const auto value = static_cast<unsigned char>(byte);
        hex += kDigits[value >> 4];
        hex += kDigits[value & 0xF];
    }
    return hex;
}

std::string sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.update(bytes);
    return hash.hexDigest();
}

} // namespace z83
