#include "splash/ImageHeader.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace vexa {
namespace {

using Bytes = const unsigned char*;

std::uint32_t bigEndian16(Bytes p) { return static_cast<std::uint32_t>(p[0] << 8 | p[1]); }
std::uint32_t bigEndian32(Bytes p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
std::uint32_t littleEndian16(Bytes p) { return static_cast<std::uint32_t>(p[1] << 8 | p[0]); }
std::uint32_t littleEndian32(Bytes p) {
    return static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[1]) << 8 | p[0];
}

bool readExactly(const ReadAt& read, std::uint64_t offset, void* buffer, std::size_t size) {
    return read(offset, buffer, size) == size;
}

std::optional<ImageDimensions> jpegDimensions(const ReadAt& read) {
    // Segments follow the start-of-image marker, each a marker and a length
    // that counts itself; the first start-of-frame segment holds the size.
    std::uint64_t offset = 2;
    for (int segments = 0; segments < 4096; ++segments) {
        unsigned char head[9];
        if (!readExactly(read, offset, head, 4)) return std::nullopt;
        if (head[0] != 0xFF) return std::nullopt;
        const unsigned char marker = head[1];
        if (marker == 0xFF) {  // fill byte before a marker
            ++offset;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without a length
            offset += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return std::nullopt;  // end of image or scan data before a frame
        const std::uint32_t length = bigEndian16(head + 2);
        if (length < 2) return std::nullopt;
        const bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
            if (length < 7 || !readExactly(read, offset + 4, head + 4, 5)) return std::nullopt;
            return ImageDimensions{bigEndian16(head + 7), bigEndian16(head + 5)};
        }
        offset += 2 + length;
    }
    return std::nullopt;
}

std::optional<ImageDimensions> tiffDimensions(const ReadAt& read, bool little) {
    auto u16 = [little](Bytes p) { return little ? littleEndian16(p) : bigEndian16(p); };
    auto u32 = [little](Bytes p) { return little ? littleEndian32(p) : bigEndian32(p); };
    unsigned char head[8];
    if (!readExactly(read, 0, head, 8)) return std::nullopt;
    const std::uint64_t directory = u32(head + 4);
    unsigned char count[2];
    if (!readExactly(read, directory, count, 2)) return std::nullopt;
    std::optional<std::uint32_t> width, height;
    const std::uint32_t entries = u16(count);
    for (std::uint32_t i = 0; i < entries && (!width || !height); ++i) {
        unsigned char entry[12];
        if (!readExactly(read, directory + 2 + 12ull * i, entry, 12)) return std::nullopt;
        const std::uint32_t tag = u16(entry);
        if (tag != 256 && tag != 257) continue;
        const std::uint32_t type = u16(entry + 2);
        std::uint32_t value;
        if (type == 3) value = u16(entry + 8);       // SHORT
        else if (type == 4) value = u32(entry + 8);  // LONG
        else return std::nullopt;
        (tag == 256 ? width : height) = value;
    }
    if (!width || !height) return std::nullopt;
    return ImageDimensions{*width, *height};
}

}  // namespace

std::optional<ImageDimensions> readImageDimensions(const ReadAt& read) {
    std::array<unsigned char, 32> head{};
    const std::size_t got = read(0, head.data(), head.size());
    Bytes p = head.data();

    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got >= 24 && std::memcmp(p, png, 8) == 0) {
        if (std::memcmp(p + 12, "IHDR", 4) != 0) return std::nullopt;
        return ImageDimensions{bigEndian32(p + 16), bigEndian32(p + 20)};
    }
    if (got >= 10 && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0))
        return ImageDimensions{littleEndian16(p + 6), littleEndian16(p + 8)};
    if (got >= 26 && p[0] == 'B' && p[1] == 'M') {
        const std::uint32_t infoSize = littleEndian32(p + 14);
        if (infoSize == 12) return ImageDimensions{littleEndian16(p + 18), littleEndian16(p + 20)};
        if (infoSize < 40) return std::nullopt;
        // Signed: a negative height is a top-down bitmap.
        const auto width = static_cast<std::int32_t>(littleEndian32(p + 18));
        const auto height = static_cast<std::int32_t>(littleEndian32(p + 22));
        if (width < 0 || height == INT32_MIN) return std::nullopt;
        return ImageDimensions{static_cast<std::uint32_t>(width),
                               static_cast<std::uint32_t>(height < 0 ? -height : height)};
    }
    if (got >= 4 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return jpegDimensions(read);
    if (got >= 8 && p[0] == 'I' && p[1] == 'I' && p[2] == 42 && p[3] == 0) return tiffDimensions(read, true);
    if (got >= 8 && p[0] == 'M' && p[1] == 'M' && p[2] == 0 && p[3] == 42) return tiffDimensions(read, false);
    return std::nullopt;
}

bool isSplashSizeAllowed(std::uint64_t width, std::uint64_t height) {
    return width <= kSplashMaxSide && height <= kSplashMaxSide && width * height <= kSplashMaxPixels;
}

}  // namespace vexa
