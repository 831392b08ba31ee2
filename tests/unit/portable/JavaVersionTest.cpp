#include <gtest/gtest.h>

#include "foundation/JavaVersion.h"

using namespace vexa;

namespace {

std::wstring show(const JavaVersion& v) {
    std::wstring s;
    for (auto c : v.components) s += std::to_wstring(c) + L".";
    return s + L"#" + std::to_wstring(v.groupCount);
}

}  // namespace

TEST(JavaVersionParse, ReadsDigitGroupsSeparatedByAnyText) {
    struct Case {
        std::wstring text;
        std::int32_t fill;
        bool ok;
        JavaVersion expected;
    };
    const Case cases[] = {
        {L"1.8.0_202", 0, true, JavaVersion::of(1, 8, 0, 202, 4)},
        {L"1.8", 65535, true, JavaVersion::of(1, 8, 65535, 65535, 2)},
        {L"jdk-11.0.2", 0, true, JavaVersion::of(11, 0, 2, 0, 3)},
        {L"1.8.0_202-b08", 0, true, JavaVersion::of(1, 8, 0, 202, 5)},
        {L"jre1.6", 0, true, JavaVersion::of(1, 6, 0, 0, 2)},
        {L"jre1.8.0_31", 0, true, JavaVersion::of(1, 8, 0, 31, 4)},
        {L"180", 0, true, JavaVersion::of(180, 0, 0, 0, 1)},
        {L"1", 65535, true, JavaVersion::of(1, 65535, 65535, 65535, 1)},
        {L"1.2.3.4.5.6", 0, true, JavaVersion::of(1, 2, 3, 4, 5)},
        {L"  1 -- 2 x3", 7, true, JavaVersion::of(1, 2, 3, 7, 3)},
        {L"007.08", 0, true, JavaVersion::of(7, 8, 0, 0, 2)},
        {L"1.8.", 0, true, JavaVersion::of(1, 8, 0, 0, 2)},
        {L"abc", 0, false, JavaVersion::of(0, 0, 0, 0, 0)},
        {L"", 65535, false, JavaVersion::of(0, 0, 0, 0, 0)},
        {L"ANY", 0, false, JavaVersion::of(0, 0, 0, 0, 0)},
        // Overflow: the largest value that fits, one above it, eleven digits.
        {L"2147483647", 0, true, JavaVersion::of(2147483647, 0, 0, 0, 1)},
        {L"1.2147483648", 0, false, JavaVersion::of(0, 0, 0, 0, 0)},
        {L"1.2147483649", 0, false, JavaVersion::of(0, 0, 0, 0, 0)},
        {L"1.8.0.12345678901", 65535, false, JavaVersion::of(0, 0, 0, 0, 0)},
        {L"99999999999.8", 0, false, JavaVersion::of(0, 0, 0, 0, 0)},
        // A fifth group is only counted, however large.
        {L"1.8.0.1.99999999999", 0, true, JavaVersion::of(1, 8, 0, 1, 5)},
        // Digits outside 0-9 (Arabic-Indic, full-width) separate groups.
        {L"1\x0661" L"2\xFF13", 0, true, JavaVersion::of(1, 2, 0, 0, 2)},
    };
    for (const auto& c : cases) {
        JavaVersion v = JavaVersion::of(9, 9, 9, 9, 9);
        EXPECT_EQ(v.parse(c.text, c.fill), c.ok) << c.text;
        EXPECT_EQ(show(v), show(c.expected)) << c.text;
    }
}

TEST(JavaVersionCompare, ComparesComponentsInOrderIgnoringGroupCount) {
    struct Case {
        JavaVersion a, b;
        int expected;
    };
    const Case cases[] = {
        {JavaVersion::of(1, 8, 0, 0, 2), JavaVersion::of(1, 8, 0, 0, 3), 0},
        {JavaVersion::of(1, 7, 0, 80), JavaVersion::of(1, 8, 0, 0), -1},
        {JavaVersion::of(11, 0, 0, 0), JavaVersion::of(1, 8, 0, 202), 1},
        {JavaVersion::of(1, 8, 0, 202), JavaVersion::of(1, 8, 0, 201), 1},
        {JavaVersion::of(1, 8, 65535, 65535), JavaVersion::of(1, 8, 0, 202), 1},
        {JavaVersion::of(-1, 0, 0, 0), JavaVersion::of(0, 0, 0, 0), -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JavaVersion::compare(c.a, c.b), c.expected) << show(c.a) << L" vs " << show(c.b);
        EXPECT_EQ(JavaVersion::compare(c.b, c.a), -c.expected);
    }
    JavaVersion fromShort, fromLong;
    fromShort.parse(L"1.8", 0);
    fromLong.parse(L"1.8.0", 0);
    EXPECT_EQ(JavaVersion::compare(fromShort, fromLong), 0);
}

TEST(JavaVersionText, PrintsAtLeastTwoComponentsUpToTheLastSignificantOne) {
    struct Case {
        JavaVersion v;
        std::wstring expected;
    };
    const Case cases[] = {
        {JavaVersion::of(1, 0, 0, 0), L"1.0"},
        {JavaVersion::of(1, 8, 0, 202), L"1.8.0.202"},
        {JavaVersion::of(1, 8, 65535, 65535), L"1.8"},
        {JavaVersion::of(11, 0, 2, 0), L"11.0.2"},
        {JavaVersion::of(1, 0, 5, 0), L"1.0.5"},
        {JavaVersion::of(0, 0, 0, 0), L"0.0.0.0"},
        {JavaVersion::of(65535, 65535, 65535, 65535), L"0.0.0.0"},
        {JavaVersion::of(1, 65535, 65535, 65535), L"1.65535"},
        {JavaVersion::of(0, 65535, 3, 65535), L"0.65535.3"},
        {JavaVersion::of(0, 0, 0, 7), L"0.0.0.7"},
        {JavaVersion::of(2147483647, 0, 0, 0), L"2147483647.0"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.v.toText(), c.expected);
}

TEST(JavaVersionOpenBound, OnlyAllZeroOrAll65535) {
    EXPECT_TRUE(JavaVersion::of(0, 0, 0, 0, 0).isOpenBound());
    EXPECT_TRUE(JavaVersion::of(65535, 65535, 65535, 65535).isOpenBound());
    EXPECT_FALSE(JavaVersion::of(0, 0, 0, 65535).isOpenBound());
    EXPECT_FALSE(JavaVersion::of(1, 8, 65535, 65535).isOpenBound());
    EXPECT_FALSE(JavaVersion::of(1, 1, 1, 1).isOpenBound());
}

TEST(JavaVersionPreferred, TrailingZerosOfThePreferenceMatchAnything) {
    struct Case {
        std::wstring preferred;
        JavaVersion candidate;
        bool expected;
    };
    const Case cases[] = {
        {L"1.8", JavaVersion::of(1, 8, 0, 202), true},
        {L"1.8", JavaVersion::of(1, 8, 5, 0), true},
        {L"1.8", JavaVersion::of(1, 7, 0, 80), false},
        {L"1.8.0", JavaVersion::of(1, 8, 1, 0), true},
        {L"1.8.0_202", JavaVersion::of(1, 8, 0, 202), true},
        {L"1.8.0_202", JavaVersion::of(1, 8, 0, 201), false},
        {L"", JavaVersion::of(17, 0, 1, 0), true},
        {L"none", JavaVersion::of(1, 2, 3, 4), true},
        {L"11", JavaVersion::of(11, 0, 2, 0), true},
        {L"11", JavaVersion::of(1, 11, 0, 0), false},
        {L"1.0.5", JavaVersion::of(1, 0, 5, 9), true},
        {L"1.0.5", JavaVersion::of(1, 1, 5, 0), false},
    };
    for (const auto& c : cases) {
        JavaVersion preferred;
        preferred.parse(c.preferred, 0);
        EXPECT_EQ(JavaVersion::matchesPreferred(c.candidate, preferred), c.expected) << c.preferred;
    }
}
