#include <gtest/gtest.h>

#include "jvm/MemoryOptions.h"

using namespace vexa;

namespace {

constexpr std::uint64_t GiB = std::uint64_t{1} << 30;
constexpr std::uint64_t TiB = std::uint64_t{1} << 40;
constexpr std::uint64_t kMax = ~std::uint64_t{0};

}  // namespace

TEST(MemoryOptions, ParseSizeNumbersReadsFieldsBeforeTheUnit) {
    struct Case {
        std::wstring text;
        std::size_t start;
        std::vector<std::uint64_t> numbers;
    };
    const Case cases[] = {
        {L"50:256:1024P", 0, {50, 256, 1024}},
        {L"-Xmx50P", 4, {50}},
        {L"-Xmx25:512:2048p", 4, {25, 512, 2048}},
        {L"abc", 3, {}},
        {L"", 0, {}},
        {L"5", 0, {0}},              // the last character is the unit, never a digit
        {L"12:", 0, {12}},
        {L":5k", 0, {0, 5}},
        {L"1a2k", 0, {12}},
        {L"=1m", 1, {1}},
        {L"99999999999999999999999k", 0, {kMax}},  // held at the largest value
        {L"18446744073709551615k", 0, {kMax}},
        {L"18446744073709551616k", 0, {kMax}},
    };
    for (const auto& c : cases) {
        SizeNumbers parsed = ParseSizeNumbers(c.text);
        EXPECT_EQ(parsed.start, c.start) << testing::PrintToString(c.text);
        EXPECT_EQ(parsed.numbers, c.numbers) << testing::PrintToString(c.text);
    }
}

TEST(MemoryOptions, PercentageFormNeedsPrefixAndUnit) {
    struct Case {
        std::wstring token;
        bool expected;
    };
    const Case cases[] = {
        {L"-Xmx50P", true},   {L"-Xms50p", true},     {L"-Xss5t", true},     {L"-Xmx10T", true},
        {L"-XMX50P", false},  {L"-xmx50P", false},    {L"-Xmx512m", false},  {L"-Xmx512k", false},
        {L"-Xmx1g", false},   {L"-Xmn50P", false},    {L"-Xm", false},       {L"P", false},
        {L"-XmxP", true},     {L"-Dx=50P", false},    {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsMemoryPercentageForm(c.token), c.expected) << testing::PrintToString(c.token);
}

TEST(MemoryOptions, PercentageBecomesKibibytes) {
    struct Case {
        std::wstring token;
        MemoryFigures memory;
        std::wstring expected;
    };
    const Case cases[] = {
        // 25 % of 16 GiB is 4 GiB; the 2048 MiB cap wins, the 512 MiB floor does not apply.
        {L"-Xmx25:512:2048p", {16 * GiB, 128 * TiB}, L"-Xmx2097152K"},
        {L"-Xmx50P", {16 * GiB, 128 * TiB}, L"-Xmx8388608K"},
        // The minimum is applied after the maximum and wins.
        {L"-Xms10:2048:1024p", {16 * GiB, 128 * TiB}, L"-Xms2097152K"},
        {L"-Xmx10:0:4096T", {16 * GiB, 128 * TiB}, L"-Xmx4194304K"},
        {L"-Xss5p", {8 * GiB, 128 * TiB}, L"-Xss419430K"},
        // Truncated towards zero: 33 % of 1000 KiB is 330 KiB.
        {L"-Xmx33P", {1000 * 1024, 0}, L"-Xmx330K"},
        // Above 2,147,483,647 KiB the true value is written.
        {L"-Xmx10T", {16 * GiB, 128 * TiB}, L"-Xmx13743895347K"},
        {L"-Xmx100P", {4 * TiB, 0}, L"-Xmx4294967296K"},
        {L"-Xmx1:3000000:0P", {16 * GiB, 0}, L"-Xmx3072000000K"},
        // A missing percentage is 0; only the floor remains.
        {L"-Xmx:256P", {16 * GiB, 0}, L"-Xmx262144K"},
        {L"-XmxP", {16 * GiB, 0}, L"-XmxP0K"},
        // More than three numbers: the rest is ignored.
        {L"-Xmx50:0:0:7P", {16 * GiB, 0}, L"-Xmx8388608K"},
        // Absurd figures are held at the largest value instead of wrapping.
        {L"-Xmx99999999999999999999P", {16 * GiB, 0}, L"-Xmx18446744073709551615K"},
        {L"-Xmx1:99999999999999999999P", {16 * GiB, 0}, L"-Xmx18446744073709551615K"},
    };
    for (const auto& c : cases) {
        std::wstring token = c.token;
        ApplyMemoryPercentage(token, c.memory);
        EXPECT_EQ(token, c.expected) << testing::PrintToString(c.token);
    }
}

TEST(MemoryOptions, StackSizeOfXssTokens) {
    struct Case {
        std::wstring token;
        std::optional<std::uint64_t> expected;
    };
    const Case cases[] = {
        {L"-Xss512k", 524288},
        {L"-Xss2M", 2097152},
        {L"-Xss1g", 1073741824},
        {L"-Xss419430K", 429496320},
        {L"-Xss=1m", 0},
        {L"-Xss:1:2m", 0},
        {L"-Xss", 0},
        {L"-Xssm", 0},
        // A value that ends in a digit is a size in bytes, all digits counted.
        {L"-Xss1048576", 1048576},
        {L"-Xss5", 5},
        {L"-Xss1:2", 0},
        {L"-Xss1x", 1},
        {L"-Xss99999999999g", kMax},
        {L"-Xmx512m", std::nullopt},
        {L"-XSS1m", std::nullopt},
        {L"-Xs", std::nullopt},
        {L"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(StackSizeOfOption(c.token), c.expected) << testing::PrintToString(c.token);
}
