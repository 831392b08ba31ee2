#include "ui/LinkColour.h"

#include <string>

namespace vexa {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// One decimal number between blanks; its low byte.
std::optional<std::uint32_t> readComponent(std::u16string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = (value * 10u + static_cast<std::uint32_t>(c - u'0')) & 0xFFFFFFu;  // the low byte survives
    }
    return value & 0xFFu;
}

}  // namespace

std::optional<std::uint32_t> parseAnchorColour(std::uint32_t type, const std::uint8_t* data, std::size_t size) {
    if (type != kRegistryString && type != kRegistryExpandString) return std::nullopt;
    if (!data || size < 2 || size > kLargestColourValue || size % 2 != 0) return std::nullopt;
    if (data[size - 1] != 0 || data[size - 2] != 0) return std::nullopt;  // must end in a NUL

    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == u'\0') break;
        text += c;
    }
    const std::size_t first = text.find(u',');
    if (first == std::u16string::npos) return std::nullopt;
    const std::size_t second = text.find(u',', first + 1);
    if (second == std::u16string::npos) return std::nullopt;
    const std::u16string_view all(text);
    const auto red = readComponent(all.substr(0, first));
    const auto green = readComponent(all.substr(first + 1, second - first - 1));
    const auto blue = readComponent(all.substr(second + 1));
    if (!red || !green || !blue) return std::nullopt;
    return *red | (*green << 8) | (*blue << 16);
}

}  // namespace vexa
