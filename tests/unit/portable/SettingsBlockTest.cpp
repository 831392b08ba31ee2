#include <gtest/gtest.h>

#include <string>

#include "config/SettingsBlock.h"

using namespace vexa;

namespace {

const std::array<std::uint8_t, 12> kNonce = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const std::wstring kText = L"[Java Runtime Environment]\r\nMain Class=com.example.Main\r\nLibrary Path=C:\\lib\r\n";

}  // namespace

TEST(SettingsBlock, SealedTextOpensAgainUnchanged) {
    const std::wstring texts[] = {
        L"",
        kText,
        L"\xFEFF[\u00c9t\u00e9]\r\nName=\u65e5\u672c \u0416\r\n",
        std::wstring(100000, L'x') + L"\r\n",
        std::wstring(1, L'\xFFFF') + L"\x7F\x01",
        L"[Emoji]\r\nk=\U0001F600 \U00010348\r\n",
    };
    for (const auto& text : texts) {
        std::vector<std::uint8_t> block = sealSettingsBlock(text, kNonce);
        std::wstring opened = L"stale";
        ASSERT_TRUE(openSettingsBlock(block.data(), block.size(), opened)) << text.size();
        EXPECT_EQ(opened, text);
    }
}

TEST(SettingsBlock, TextIsNotReadableInTheBlockAndNoncesDiffer) {
    std::vector<std::uint8_t> block = sealSettingsBlock(kText, kNonce);
    std::string raw(block.begin(), block.end());
    EXPECT_EQ(raw.substr(0, 4), "VXES");
    EXPECT_EQ(raw.find("M\0a\0i\0n\0", 0, 8), std::string::npos);
    std::array<std::uint8_t, 12> other = kNonce;
    other[0] ^= 1;
    std::vector<std::uint8_t> second = sealSettingsBlock(kText, other);
    ASSERT_EQ(second.size(), block.size());
    EXPECT_NE(std::vector<std::uint8_t>(second.begin() + 24, second.end()),
              std::vector<std::uint8_t>(block.begin() + 24, block.end()));
}

TEST(SettingsBlock, AnyChangedByteIsDetected) {
    const std::vector<std::uint8_t> block = sealSettingsBlock(kText, kNonce);
    for (size_t i = 0; i < block.size(); ++i) {
        for (std::uint8_t flip : {0x01, 0x80}) {
            std::vector<std::uint8_t> damaged = block;
            damaged[i] ^= flip;
            std::wstring text = L"stale";
            EXPECT_FALSE(openSettingsBlock(damaged.data(), damaged.size(), text)) << "byte " << i;
            EXPECT_EQ(text, L"");
        }
    }
}

TEST(SettingsBlock, CutOrLengthenedBlocksAreRejected) {
    const std::vector<std::uint8_t> block = sealSettingsBlock(kText, kNonce);
    std::wstring text;
    for (size_t size = 0; size < block.size(); ++size) {
        std::vector<std::uint8_t> cut(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(openSettingsBlock(cut.data(), cut.size(), text)) << size;
    }
    std::vector<std::uint8_t> longer = block;
    longer.push_back(0);
    EXPECT_FALSE(openSettingsBlock(longer.data(), longer.size(), text));
    EXPECT_FALSE(openSettingsBlock(nullptr, 0, text));
    // A block whose length field was rewritten to match a cut is still caught.
    std::vector<std::uint8_t> shortened(block.begin(), block.end() - 2);
    shortened[20] = static_cast<std::uint8_t>(shortened[20] - 2);
    EXPECT_FALSE(openSettingsBlock(shortened.data(), shortened.size(), text));
}
