// Writes small image files for the splash tests and the demo: uncompressed
// 24-bit BMP and 32-bit RGBA PNG (stored, not compressed).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vexa::test {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// The colour of pixel (x, y), y counted from the top.
using PixelFunction = std::function<Rgba(int x, int y)>;

// The file's bytes.
std::string bmpBytes(int width, int height, const PixelFunction& pixel);
std::string pngBytes(int width, int height, const PixelFunction& pixel);

// A 24-bit PNG of one colour, deflate-compressed: a 16000 x 16000 image is a
// few megabytes on disk and costs the decoder 768 MB.
std::string compressedPngBytes(int width, int height, Rgba colour);

void writeBmp(const std::wstring& path, int width, int height, const PixelFunction& pixel);
void writePng(const std::wstring& path, int width, int height, const PixelFunction& pixel);

}  // namespace vexa::test
