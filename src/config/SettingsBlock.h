// The settings block embedded in the executable: INI text, enciphered and
// sealed with an integrity tag. Free of the platform API.
//
// Layout (little-endian), stored as resource kEmbeddedBlockName of type
// kEmbeddedBlockType:
//   0   4  magic "VXES"
//   4   2  format version, 1
//   6   2  reserved, 0
//   8  12  nonce, fresh for every block written
//  20   4  n, the length of the enciphered text in bytes (even)
//  24   n  the text as UTF-16LE, enciphered with ChaCha20
//  24+n 32 HMAC-SHA-256 over bytes 0 to 24+n
// The cipher and integrity keys are derived from a secret built into the
// program: the block keeps the settings from plain view and shows any change
// made without the program's key, but anyone who has the executable has the
// key as well.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

inline constexpr wchar_t kEmbeddedBlockType[] = L"VEXASETTINGS";
inline constexpr unsigned kEmbeddedBlockName = 1;

// Larger settings texts are refused when sealing.
inline constexpr std::size_t kEmbeddedTextLimit = 8u * 1024u * 1024u;

// The sealed block of `text` with the given nonce.
std::vector<std::uint8_t> sealSettingsBlock(const std::wstring& text, const std::array<std::uint8_t, 12>& nonce);

// The text of a sealed block. False, with `text` left empty, when the block
// is damaged, altered, cut or of another format: nothing of it is used then.
bool openSettingsBlock(const std::uint8_t* data, std::size_t size, std::wstring& text);

}  // namespace vexa
