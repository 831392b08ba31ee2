// The link colours a user may set for web links ("Anchor Color" and "Anchor
// Color Visited" under HKCU\Software\Microsoft\Internet Explorer\Settings).
// Free of the platform API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vexa {

// Registry value types the colour may be stored as (REG_SZ, REG_EXPAND_SZ).
constexpr std::uint32_t kRegistryString = 1;
constexpr std::uint32_t kRegistryExpandString = 2;
// The largest colour value accepted, in bytes, terminating NUL included.
constexpr std::size_t kLargestColourValue = 24;

// Reads a colour value as the registry returned it: `type` is the value's
// registry type, `data` its `size` bytes (UTF-16, little-endian). The value
// is used only when it is a string or expandable string of at most 24 bytes
// that ends in a NUL, and its text has the form R,G,B: three decimal numbers
// (blanks around each allowed) separated by commas; the low byte of each is
// taken. The result is 0x00BBGGRR; nothing when the value does not qualify.
std::optional<std::uint32_t> parseAnchorColour(std::uint32_t type, const std::uint8_t* data, std::size_t size);

}  // namespace vexa
