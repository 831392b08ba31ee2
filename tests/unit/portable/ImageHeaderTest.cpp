// The size an image file's header states, read without decoding, and the
// splash size limit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "splash/ImageHeader.h"

using namespace vexa;

namespace {

std::optional<ImageDimensions> dimensionsOf(const std::string& bytes) {
    return readImageDimensions([&bytes](std::uint64_t offset, void* buffer, std::size_t size) -> std::size_t {
        if (offset >= bytes.size()) return 0;
        const std::size_t n = std::min<std::size_t>(size, bytes.size() - offset);
        std::memcpy(buffer, bytes.data() + offset, n);
        return n;
    });
}

std::string be16(unsigned v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
std::string be32(unsigned v) { return be16(v >> 16) + be16(v & 0xFFFF); }
std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }

std::string png(unsigned w, unsigned h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(w) + be32(h) + std::string(5, '\0');
}
std::string bmp(int w, int h) {
    return "BM" + le32(0) + le32(0) + le32(54) + le32(40) + le32(static_cast<unsigned>(w)) +
           le32(static_cast<unsigned>(h)) + std::string(28, '\0');
}
// A JPEG with an APP0 segment, then a start-of-frame segment `marker`.
std::string jpeg(unsigned char marker, unsigned w, unsigned h) {
    return std::string("\xFF\xD8\xFF\xE0", 4) + be16(16) + std::string("JFIF\0", 5) + std::string(9, '\0') +
           "\xFF" + static_cast<char>(marker) + be16(17) + "\x08" + be16(h) + be16(w) + std::string(10, '\0');
}
std::string tiff(bool little, unsigned w, unsigned h) {
    auto u16 = [little](unsigned v) { return little ? le16(v) : be16(v); };
    auto u32 = [little](unsigned v) { return little ? le32(v) : be32(v); };
    std::string out = little ? "II" : "MM";
    out += u16(42) + u32(8) + u16(3);
    out += u16(254) + u16(4) + u32(1) + u32(0);                                // a tag before
    out += u16(256) + u16(3) + u32(1) + u16(w) + u16(0);                       // width, SHORT
    out += u16(257) + u16(4) + u32(1) + u32(h);                                // height, LONG
    return out + u32(0);
}

}  // namespace

TEST(ImageHeader, ReadsTheStatedSizeOfEachFormat) {
    struct Case {
        const char* what;
        std::string bytes;
        unsigned width, height;
    };
    const Case cases[] = {
        {"PNG", png(16000, 16000), 16000, 16000},
        {"GIF", std::string("GIF89a") + le16(640) + le16(480) + std::string(3, '\0'), 640, 480},
        {"BMP", bmp(321, 123), 321, 123},
        {"top-down BMP", bmp(321, -123), 321, 123},
        {"old BMP", "BM" + std::string(12, '\0') + le32(12) + le16(70) + le16(80) + std::string(6, '\0'), 70, 80},
        {"baseline JPEG", jpeg(0xC0, 1920, 1080), 1920, 1080},
        {"progressive JPEG", jpeg(0xC2, 9000, 10), 9000, 10},
        {"TIFF, Intel order", tiff(true, 5000, 70000), 5000, 70000},
        {"TIFF, Motorola order", tiff(false, 33, 44), 33, 44},
    };
    for (const Case& c : cases) {
        auto size = dimensionsOf(c.bytes);
        ASSERT_TRUE(size) << c.what;
        EXPECT_EQ(size->width, c.width) << c.what;
        EXPECT_EQ(size->height, c.height) << c.what;
    }
}

TEST(ImageHeader, UnknownOrDamagedHeadersStateNothing) {
    const std::string jpegDht = jpeg(0xC4, 5, 5);  // a Huffman table, then the file ends
    const std::string cases[] = {
        "",
        "not an image at all",
        png(1, 1).substr(0, 20),
        std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IDAT" + be32(1) + be32(1),
        "BM" + std::string(12, '\0') + le32(20) + std::string(20, '\0'),
        bmp(-5, 5),
        jpegDht,
        std::string("\xFF\xD8\xFF\xE0", 4) + be16(60000),  // a segment past the end
        std::string("\xFF\xD8\xFF\xDA", 4) + be16(2),     // scan data before any frame
        "II" + le16(42) + le32(4000),                       // directory past the end
        tiff(true, 1, 1).substr(0, 20),
    };
    for (const std::string& bytes : cases) EXPECT_FALSE(dimensionsOf(bytes)) << bytes.size() << " bytes";
}

TEST(ImageHeader, TheSplashLimitIsEightThousandPixelsASideAndSixteenMegapixels) {
    EXPECT_TRUE(isSplashSizeAllowed(4096, 4096));
    EXPECT_TRUE(isSplashSizeAllowed(8192, 2048));
    EXPECT_TRUE(isSplashSizeAllowed(0, 0));
    EXPECT_FALSE(isSplashSizeAllowed(4096, 4097));
    EXPECT_FALSE(isSplashSizeAllowed(8193, 1));
    EXPECT_FALSE(isSplashSizeAllowed(1, 8193));
    EXPECT_FALSE(isSplashSizeAllowed(0xFFFFFFFFull, 0xFFFFFFFFull));
}
