// The user's link colour values: which registry values qualify, and how
// their text reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/LinkColour.h"

using namespace vexa;

namespace {

// UTF-16 little-endian bytes of `text`, with its NUL unless `nul` is false.
std::vector<std::uint8_t> bytes(const std::u16string& text, bool nul = true) {
    std::vector<std::uint8_t> out;
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (nul) out.insert(out.end(), {0, 0});
    return out;
}

}  // namespace

TEST(LinkColour, OnlyAnRgbStringOfAtMostTwentyFourBytesEndingInNul) {
    struct Row {
        std::uint32_t type;
        std::vector<std::uint8_t> data;
        std::optional<std::uint32_t> colour;
    };
    const Row rows[] = {
        {kRegistryString, bytes(u"255,0,0"), 0x0000FF},
        {kRegistryExpandString, bytes(u"1,2,3"), 0x030201},
        {kRegistryString, bytes(u"0 ,384,\t7"), 0x078000},                // blanks; the low byte only
        {kRegistryString, bytes(u"12345,0,000"), 0x000039},                // 24 bytes
        {kRegistryString, bytes(u"12345,0,0000"), std::nullopt},           // 26 bytes: too long
        {kRegistryString, bytes(u"0,0,255", false), std::nullopt},         // no NUL at the end
        {kRegistryString, bytes(std::u16string(u"1,2,3\0junk", 10)), 0x030201},  // the text ends at its first NUL
        {3, bytes(u"255,0,0"), std::nullopt},                              // binary
        {4, bytes(u"255,0,0"), std::nullopt},                              // a number
        {kRegistryString, bytes(u"255,0"), std::nullopt},
        {kRegistryString, bytes(u""), std::nullopt},
        {kRegistryString, bytes(u"1,2,"), std::nullopt},
        {kRegistryString, bytes(u",2,3"), std::nullopt},
        {kRegistryString, bytes(u"1,2,3,4"), std::nullopt},
        {kRegistryString, bytes(u"1,-2,3"), std::nullopt},
        {kRegistryString, bytes(u"a,b,c"), std::nullopt},
        {kRegistryString, {0}, std::nullopt},                              // an odd byte count
        {kRegistryString, {'1', 0, ',', 0, '2', 0, ',', 0, '3', 0, 0}, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parseAnchorColour(row.type, row.data.data(), row.data.size()), row.colour)
            << testing::PrintToString(row.data);
    }
    EXPECT_EQ(parseAnchorColour(kRegistryString, nullptr, 0), std::nullopt);
}
