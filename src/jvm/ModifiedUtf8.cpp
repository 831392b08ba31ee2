#include "jvm/ModifiedUtf8.h"

#include <cstdint>

namespace vexa {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::wstring decodeModifiedUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    size_t i = 0;
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    while (i < n) {
        const unsigned char lead = at(i);
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            i += 1;
        } else if ((lead & 0xE0) == 0xC0 && i + 1 < n && isContinuation(at(i + 1))) {
            // Two bytes; C0 80 is the JVM's form of U+0000. Other overlong
            // forms are decoded as written rather than rejected.
            out += static_cast<wchar_t>(((lead & 0x1F) << 6) | (at(i + 1) & 0x3F));
            i += 2;
        } else if ((lead & 0xF0) == 0xE0 && i + 2 < n && isContinuation(at(i + 1)) && isContinuation(at(i + 2))) {
            // Three bytes: one UTF-16 code unit, a lone surrogate included.
            out += static_cast<wchar_t>(((lead & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) | (at(i + 2) & 0x3F));
            i += 3;
        } else if ((lead & 0xF8) == 0xF0 && i + 3 < n && isContinuation(at(i + 1)) && isContinuation(at(i + 2)) &&
                   isContinuation(at(i + 3))) {
            const unsigned long code = ((lead & 0x07UL) << 18) | ((at(i + 1) & 0x3FUL) << 12) |
                                       ((at(i + 2) & 0x3FUL) << 6) | (at(i + 3) & 0x3FUL);
            if (code < 0x10000 || code > 0x10FFFF) {
                out += kReplacement;
            } else {
                const unsigned long offset = code - 0x10000;
                out += static_cast<wchar_t>(0xD800 + (offset >> 10));
                out += static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
            }
            i += 4;
        } else {
            out += kReplacement;
            i += 1;
        }
    }
    return out;
}

std::string encodeModifiedUtf8(std::wstring_view units) {
    std::string bytes;
    bytes.reserve(units.size());
    for (wchar_t c : units) {
        const auto u = static_cast<unsigned>(static_cast<std::uint16_t>(c));
        if (u != 0 && u < 0x80) {
            bytes += static_cast<char>(u);
        } else if (u < 0x800) {
            bytes += static_cast<char>(0xC0 | (u >> 6));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (u >> 12));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return bytes;
}

}  // namespace vexa
