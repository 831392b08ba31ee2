// The arguments a second start hands to the running copy of the application,
// as one block of bytes. Free of the platform API.
//
// Layout (little-endian, 32-bit fields):
//   magic "VXFA" | total size in bytes | argument count |
//   per argument: its length in UTF-16 units, then the units
// Every argument is carried whole, empty ones and ones holding any code unit
// included; nothing depends on a terminating NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

// The largest block accepted either way: well above what the longest Windows
// command line (32,767 characters) can produce, and small enough that no
// sender can make the running copy copy unbounded data.
inline constexpr std::size_t kMaxForwardedBytes = 256 * 1024;

// The block for `arguments`; std::nullopt when it would exceed kMaxForwardedBytes.
std::optional<std::vector<std::uint8_t>> encodeForwardedArguments(const std::vector<std::wstring>& arguments);

// The arguments of a block that starts at `bytes` and of which `byteCount`
// bytes may be read (trailing bytes beyond the block's own size are ignored).
// std::nullopt for anything that is not a whole, consistent block; never reads
// outside [bytes, bytes + byteCount).
std::optional<std::vector<std::wstring>> decodeForwardedArguments(const std::uint8_t* bytes, std::size_t byteCount);

}  // namespace vexa
