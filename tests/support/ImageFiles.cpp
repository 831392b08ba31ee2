#include "ImageFiles.h"

#include <algorithm>
#include <array>

#include "TestSupport.h"

namespace vexa::test {
namespace {

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put32be(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t crc32(const std::string& bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void chunk(std::string& out, const char* type, const std::string& data) {
    put32be(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    put32be(out, crc32(body));
}

// A zlib stream of stored deflate blocks.
std::string zlibStored(const std::string& raw) {
    std::string out = "\x78\x01";
    size_t pos = 0;
    do {
        const size_t length = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + length == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        put16(out, static_cast<std::uint32_t>(length));
        put16(out, static_cast<std::uint32_t>(~length & 0xFFFF));
        out.append(raw, pos, length);
        pos += length;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32be(out, (b << 16) | a);
    return out;
}

// Deflate bits, least significant first; Huffman codes go in from their top bit.
class BitWriter {
public:
    void bits(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) put((value >> i) & 1);
    }
    void code(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) put((code >> i) & 1);
    }
    // A byte with the fixed literal codes.
    void literal(unsigned value) {
        if (value < 144) code(0x30 + value, 8);
        else code(0x190 + value - 144, 9);
    }
    // A copy of `length` (3 to 258) bytes from `distanceCode`'s distance (1 to 4).
    void match(unsigned length, unsigned distanceCode) {
        static const unsigned bases[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                                         35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int extras[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                     3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        int index = 28;
        while (bases[index] > length) --index;
        const unsigned symbol = 257 + static_cast<unsigned>(index);
        if (symbol < 280) code(symbol - 256, 7);
        else code(0xC0 + symbol - 280, 8);
        bits(length - bases[index], extras[index]);
        code(distanceCode, 5);
    }
    // `count` more bytes copied from `distance` back (1 to 4), in matches of
    // 3 to 258 bytes; a count of 1 or 2 must be zeros at distance 1.
    void repeat(std::uint64_t count, unsigned distance) {
        while (count >= 3) {
            std::uint64_t take = std::min<std::uint64_t>(count, 258);
            if (count - take == 1 || count - take == 2) take = count - 3;
            match(static_cast<unsigned>(take), distance - 1);
            count -= take;
        }
        for (; count > 0; --count) literal(0);
    }
    std::string finish() {
        if (used_) out_ += static_cast<char>(current_);
        return out_;
    }

private:
    void put(unsigned bit) {
        current_ |= bit << used_;
        if (++used_ == 8) {
            out_ += static_cast<char>(current_);
            current_ = used_ = 0;
        }
    }
    std::string out_;
    unsigned current_ = 0;
    int used_ = 0;
};

// Adler-32 sums after `count` more copies of `value`.
void adlerRun(std::uint64_t& a, std::uint64_t& b, std::uint64_t value, std::uint64_t count) {
    b = (b + count * a + value * (count * (count + 1) / 2)) % 65521;
    a = (a + count * value) % 65521;
}

}  // namespace

std::string bmpBytes(int width, int height, const PixelFunction& pixel) {
    const int stride = (width * 3 + 3) & ~3;
    const std::uint32_t imageSize = static_cast<std::uint32_t>(stride) * static_cast<std::uint32_t>(height);
    std::string out = "BM";
    put32(out, 54 + imageSize);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, imageSize);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    out.reserve(out.size() + imageSize);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            Rgba p = pixel(x, y);
            out += static_cast<char>(p.b);
            out += static_cast<char>(p.g);
            out += static_cast<char>(p.r);
        }
        out.append(static_cast<size_t>(stride - width * 3), '\0');
    }
    return out;
}

std::string pngBytes(int width, int height, const PixelFunction& pixel) {
    std::string raw;
    raw.reserve(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * 4));
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter: none
        for (int x = 0; x < width; ++x) {
            Rgba p = pixel(x, y);
            raw += static_cast<char>(p.r);
            raw += static_cast<char>(p.g);
            raw += static_cast<char>(p.b);
            raw += static_cast<char>(p.a);
        }
    }
    std::string header;
    put32be(header, static_cast<std::uint32_t>(width));
    put32be(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter set, no interlace
    std::string out = "\x89PNG\r\n\x1a\n";
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", zlibStored(raw));
    chunk(out, "IEND", "");
    return out;
}

std::string compressedPngBytes(int width, int height, Rgba colour) {
    // Rows: the first unfiltered (one pixel, then copies of it three bytes
    // back), every other filtered "up" (all zeros, copies one byte back).
    BitWriter deflate;
    deflate.bits(1, 1);  // the last block
    deflate.bits(1, 2);  // fixed Huffman codes
    std::uint64_t a = 1, b = 0;
    const std::uint64_t rest = 3ull * static_cast<std::uint64_t>(width - 1);
    deflate.literal(0);
    adlerRun(a, b, 0, 1);
    for (std::uint8_t byte : {colour.r, colour.g, colour.b}) {
        deflate.literal(byte);
        adlerRun(a, b, byte, 1);
    }
    deflate.repeat(rest, 3);
    for (std::uint64_t i = 0; i < rest; ++i) adlerRun(a, b, i % 3 == 0 ? colour.r : i % 3 == 1 ? colour.g : colour.b, 1);
    for (int y = 1; y < height; ++y) {
        deflate.literal(2);
        deflate.literal(0);
        deflate.repeat(3ull * static_cast<std::uint64_t>(width) - 1, 1);
        adlerRun(a, b, 2, 1);
        adlerRun(a, b, 0, 3ull * static_cast<std::uint64_t>(width));
    }
    deflate.code(0, 7);  // end of block
    std::string idat = "\x78\x01" + deflate.finish();
    put32be(idat, static_cast<std::uint32_t>((b << 16) | a));

    std::string header;
    put32be(header, static_cast<std::uint32_t>(width));
    put32be(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no interlace
    std::string out = "\x89PNG\r\n\x1a\n";
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", idat);
    chunk(out, "IEND", "");
    return out;
}

void writeBmp(const std::wstring& path, int width, int height, const PixelFunction& pixel) {
    writeFile(path, bmpBytes(width, height, pixel));
}

void writePng(const std::wstring& path, int width, int height, const PixelFunction& pixel) {
    writeFile(path, pngBytes(width, height, pixel));
}

}  // namespace vexa::test
