#include <gtest/gtest.h>

#include "launcher/ForwardedArguments.h"

using namespace vexa;

TEST(ForwardedArguments, EveryListComesBackExactly) {
    const std::vector<std::vector<std::wstring>> lists = {
        {},
        {L""},
        {L"a", L"", L"b c", L""},
        {std::wstring(L"nul\0inside", 10), L"\xD83D\xDE00", std::wstring(1, L'\xDC00')},
        {std::wstring(32767, L'x')},
    };
    for (const auto& list : lists) {
        auto block = encodeForwardedArguments(list);
        ASSERT_TRUE(block);
        // Bytes after the block, as in a page-sized mapping, change nothing.
        std::vector<std::uint8_t> padded = *block;
        padded.resize(padded.size() + 100, 0xAB);
        EXPECT_EQ(decodeForwardedArguments(padded.data(), padded.size()), list);
        // Any block cut short is refused rather than read past.
        for (size_t n = 0; n < block->size(); n += 1 + n / 8)
            EXPECT_FALSE(decodeForwardedArguments(block->data(), n)) << n;
    }
}

TEST(ForwardedArguments, OversizedListsAndInconsistentBlocksAreRefused) {
    EXPECT_FALSE(encodeForwardedArguments({std::wstring(kMaxForwardedBytes / 2, L'x')}));
    EXPECT_FALSE(encodeForwardedArguments(std::vector<std::wstring>(kMaxForwardedBytes / 4, L"")));

    auto block = *encodeForwardedArguments({L"ab", L"c"});
    auto patched = [&](size_t at, std::uint8_t value) {
        auto copy = block;
        copy[at] = value;
        return decodeForwardedArguments(copy.data(), copy.size());
    };
    EXPECT_FALSE(patched(0, 'X'));   // not a block
    EXPECT_FALSE(patched(4, 0xFF));  // size beyond the bytes given
    EXPECT_FALSE(patched(4, 12));    // size shorter than the arguments
    EXPECT_FALSE(patched(8, 3));     // one argument more than the bytes hold
    EXPECT_FALSE(patched(8, 1));     // trailing bytes the count does not explain
    EXPECT_FALSE(patched(12, 0xFF)); // a length past the end
    EXPECT_FALSE(decodeForwardedArguments(nullptr, 100));
}
