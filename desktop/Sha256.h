#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace z83 {

// SHA-256 from the platform's own well-kept library: libcrypto on Linux, CNG on Windows. Incremental, so a
// large file can be hashed in blocks.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(std::string_view bytes);
    // The digest as 64 lower-case hexadecimal digits; the hash is finished afterwards.
    std::string hexDigest();

private:
    // The 32 bytes of the digest; each platform's twin.
    std::string finish();

    struct State;
    std::unique_ptr<State> state_;
};

// The SHA-256 of some bytes, as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

} // namespace z83
