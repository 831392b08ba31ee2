// Small cryptographic primitives: SHA-256, HMAC-SHA-256 and the ChaCha20
// stream cipher. Free of the platform API.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void update(const std::uint8_t* data, std::size_t size);
    Sha256Digest finish();

    static Sha256Digest of(const std::uint8_t* data, std::size_t size);

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

Sha256Digest hmacSha256(const std::uint8_t* key, std::size_t keySize, const std::uint8_t* data, std::size_t size);

using ChaChaKey = std::array<std::uint8_t, 32>;
using ChaChaNonce = std::array<std::uint8_t, 12>;

// XORs `data` in place with the ChaCha20 key stream of `key` and `nonce`,
// starting at block number `counter`. Enciphering and deciphering are the same.
void chacha20Xor(const ChaChaKey& key, const ChaChaNonce& nonce, std::uint32_t counter, std::uint8_t* data,
                 std::size_t size);

// Compares without stopping at the first difference.
bool equalInConstantTime(const std::uint8_t* a, const std::uint8_t* b, std::size_t size);

}  // namespace vexa
