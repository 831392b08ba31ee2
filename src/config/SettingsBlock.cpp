#include "config/SettingsBlock.h"

#include <cstring>

#include "foundation/Crypto.h"

namespace vexa {
namespace {

constexpr std::uint8_t kMagic[4] = {'V', 'X', 'E', 'S'};
constexpr std::uint16_t kFormatVersion = 1;
constexpr std::size_t kHeaderSize = 24;
constexpr std::size_t kTagSize = 32;

// The program's secret; both keys are derived from it so that neither is
// stored as such.
constexpr std::uint8_t kSecret[32] = {
    0x3b, 0x91, 0x5e, 0xc7, 0x08, 0xa4, 0x6f, 0xd2, 0x75, 0x1c, 0xe9, 0x40, 0xb3, 0x2a, 0x8d, 0x67,
    0xf1, 0x0e, 0x59, 0xc2, 0x94, 0x3d, 0x7a, 0xe5, 0x26, 0xbf, 0x48, 0x13, 0xd8, 0x6c, 0xa1, 0x05,
};

Sha256Digest deriveKey(const char* purpose) {
    return hmacSha256(kSecret, sizeof(kSecret), reinterpret_cast<const std::uint8_t*>(purpose), std::strlen(purpose));
}

ChaChaKey cipherKey() {
    Sha256Digest digest = deriveKey("vexa embedded settings: cipher");
    ChaChaKey key;
    std::memcpy(key.data(), digest.data(), key.size());
    return key;
}

Sha256Digest integrityKey() { return deriveKey("vexa embedded settings: integrity"); }

Sha256Digest tagOf(const std::uint8_t* data, std::size_t size) {
    Sha256Digest key = integrityKey();
    return hmacSha256(key.data(), key.size(), data, size);
}

void putLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t getLittle(const std::uint8_t* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint32_t{p[i]} << (8 * i);
    return value;
}

}  // namespace

std::vector<std::uint8_t> sealSettingsBlock(const std::wstring& text, const std::array<std::uint8_t, 12>& nonce) {
    std::vector<std::uint8_t> units;
    units.reserve(text.size() * 2);
    auto putUnit = [&](std::uint32_t unit) {
        units.push_back(static_cast<std::uint8_t>(unit));
        units.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    for (wchar_t c : text) {
        auto code = static_cast<std::uint32_t>(c);
        if (code > 0xFFFF) {  // only where wchar_t is 32 bits wide
            code -= 0x10000;
            putUnit(0xD800 | (code >> 10));
            putUnit(0xDC00 | (code & 0x3FF));
        } else {
            putUnit(code);
        }
    }

    std::vector<std::uint8_t> block(kMagic, kMagic + sizeof(kMagic));
    putLittle(block, kFormatVersion, 2);
    putLittle(block, 0, 2);
    block.insert(block.end(), nonce.begin(), nonce.end());
    putLittle(block, static_cast<std::uint32_t>(units.size()), 4);
    chacha20Xor(cipherKey(), nonce, 1, units.data(), units.size());
    block.insert(block.end(), units.begin(), units.end());
    Sha256Digest tag = tagOf(block.data(), block.size());
    block.insert(block.end(), tag.begin(), tag.end());
    return block;
}

bool openSettingsBlock(const std::uint8_t* data, std::size_t size, std::wstring& text) {
    text.clear();
    if (!data || size < kHeaderSize + kTagSize) return false;
    const std::size_t length = getLittle(data + 20, 4);
    if (length != size - kHeaderSize - kTagSize || length % 2 != 0) return false;
    // Nothing is deciphered or believed before the tag matches.
    Sha256Digest tag = tagOf(data, kHeaderSize + length);
    if (!equalInConstantTime(tag.data(), data + kHeaderSize + length, kTagSize)) return false;
    if (std::memcmp(data, kMagic, sizeof(kMagic)) != 0 || getLittle(data + 4, 2) != kFormatVersion ||
        getLittle(data + 6, 2) != 0)
        return false;

    ChaChaNonce nonce;
    std::memcpy(nonce.data(), data + 8, nonce.size());
    std::vector<std::uint8_t> units(data + kHeaderSize, data + kHeaderSize + length);
    chacha20Xor(cipherKey(), nonce, 1, units.data(), units.size());
    text.reserve(length / 2);
    for (std::size_t i = 0; i < length; i += 2) {
        std::uint32_t unit = units[i] | (units[i + 1] << 8);
        if constexpr (sizeof(wchar_t) == 4) {
            // Where wchar_t holds whole code points, a surrogate pair is one.
            if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < length) {
                std::uint32_t low = units[i + 2] | (units[i + 3] << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
        }
        text += static_cast<wchar_t>(unit);
    }
    return true;
}

}  // namespace vexa
