#include "desktop/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

#include <stdexcept>

namespace z83 {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0))) {
        if (state_->algorithm)
            ::BCryptCloseAlgorithmProvider(state_->algorithm, 0);
        throw std::runtime_error("SHA-256 is not available from the system's cryptography");
    }
}

Sha256::~Sha256() {
    ::BCryptDestroyHash(state_->hash);
    ::BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

void Sha256::update(std::string_view bytes) {
    // CNG takes at most 4 GiB a call; the blocks stay well below that.
    constexpr std::size_t kBlock = 1u << 30;
    for (std::size_t at = 0; at < bytes.size(); at += kBlock) {
        const std::string_view block = bytes.substr(at, kBlock);
        ::BCryptHashData(state_->hash, reinterpret_cast<PUCHAR>(const_cast<char*>(block.data())),
                         static_cast<ULONG>(block.size()), 0);
    }
}

std::string Sha256::finish() {
    std::string digest(32, '\0');
    ::BCryptFinishHash(state_->hash, reinterpret_cast<PUCHAR>(digest.data()),
                       static_cast<ULONG>(digest.size()), 0);
    return digest;
}

} // namespace z83
