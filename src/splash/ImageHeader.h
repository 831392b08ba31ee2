// The pixel size of an image file as its header states it, read without
// decoding the image, and the largest image the splash screen decodes.
// Free of the platform API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace vexa {

struct ImageDimensions {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Reads up to `size` bytes at `offset` into `buffer`; the number read (fewer
// at the end of the file, 0 past it or on a failure).
using ReadAt = std::function<std::size_t(std::uint64_t offset, void* buffer, std::size_t size)>;

// The size stated by the header of a PNG, GIF, BMP, JPEG or TIFF file;
// nothing for any other or a damaged header. Reads a few hundred bytes at
// most, plus one short read per JPEG segment or TIFF directory entry.
std::optional<ImageDimensions> readImageDimensions(const ReadAt& read);

// The largest splash image: at most 8192 pixels on either side and at most
// 16,777,216 pixels in all (4096 x 4096, 64 MiB as 32-bit pixels).
inline constexpr std::uint32_t kSplashMaxSide = 8192;
inline constexpr std::uint64_t kSplashMaxPixels = 4096ull * 4096ull;

bool isSplashSizeAllowed(std::uint64_t width, std::uint64_t height);

}  // namespace vexa
