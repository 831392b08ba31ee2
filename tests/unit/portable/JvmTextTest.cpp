// Text that crosses the JVM boundary: modified UTF-8 from the runtime, and the
// date picture of output file names.
#include <gtest/gtest.h>

#include "jvm/DatePicture.h"
#include "jvm/ModifiedUtf8.h"

using namespace vexa;

TEST(ModifiedUtf8, DecodesToUtf16CodeUnits) {
    struct Case {
        std::string bytes;
        std::wstring expected;
    };
    const Case cases[] = {
        {"", L""},
        {"java/lang/String", L"java/lang/String"},
        // U+0000 in the JVM's two-byte form, inside the text.
        {std::string("a\xC0\x80" "b", 4), std::wstring(L"a\0b", 3)},
        {"\xC3\xA9t\xC3\xA9", L"\x00E9t\x00E9"},             // été
        {"\xE2\x82\xAC", L"\x20AC"},                         // euro sign
        {"\xE6\x97\xA5\xE6\x9C\xAC", L"\x65E5\x672C"},       // CJK
        // U+1F600 as the JVM writes it: two three-byte surrogates.
        {"\xED\xA0\xBD\xED\xB8\x80", L"\xD83D\xDE00"},
        // The same character in standard four-byte UTF-8.
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        // A lone surrogate survives as the code unit it encodes.
        {"\xED\xA0\xBD", L"\xD83D"},
    };
    for (const auto& c : cases) {
        std::wstring decoded = decodeModifiedUtf8(c.bytes);
        EXPECT_EQ(decoded.size(), c.expected.size()) << c.bytes;
        EXPECT_EQ(decoded, c.expected) << c.bytes;
    }
}

TEST(ModifiedUtf8, MalformedBytesBecomeReplacementCharacters) {
    struct Case {
        std::string bytes;
        std::wstring expected;
    };
    const Case cases[] = {
        {"\x80", L"\xFFFD"},                 // a continuation byte alone
        {"a\xC3", L"a\xFFFD"},               // cut off at the end
        {"\xE2\x82", L"\xFFFD\xFFFD"},       // three-byte form cut short
        {"\xE2(x", L"\xFFFD(x"},             // lead byte without continuation
        {"\xFF\xFE", L"\xFFFD\xFFFD"},       // never valid
        {"\xF4\x90\x80\x80", L"\xFFFD"},     // beyond U+10FFFF
        {"\xC3\xA9\xC3", L"\x00E9\xFFFD"},
    };
    for (const auto& c : cases) EXPECT_EQ(decodeModifiedUtf8(c.bytes), c.expected);
}

TEST(ModifiedUtf8, EncodesAsTheJvmReadsNames) {
    const std::pair<std::wstring, std::string> cases[] = {
        {std::wstring(L"a\0b", 3), std::string("a\xC0\x80" "b", 4)},  // no zero byte inside
        {L"demo/Caf\x00E9\x20AC", "demo/Caf\xC3\xA9\xE2\x82\xAC"},
        {L"\xD83D\xDE00", "\xED\xA0\xBD\xED\xB8\x80"},          // surrogates one by one
        {L"\xDC00x", "\xED\xB0\x80x"},                            // a lone surrogate too
    };
    for (const auto& [units, bytes] : cases) EXPECT_EQ(encodeModifiedUtf8(units), bytes);
}

TEST(DatePicture, SplitsAtTheFirstAndLastPercentSign) {
    struct Case {
        std::wstring name;
        bool found;
        std::wstring before, picture, after;
    };
    const Case cases[] = {
        {L"C:\\logs\\out.txt", false, L"", L"", L""},
        {L"", false, L"", L"", L""},
        {L"C:\\logs\\out-%yyyyMMdd%.txt", true, L"C:\\logs\\out-", L"yyyyMMdd", L".txt"},
        // Percent signs in between belong to the picture.
        {L"a%x%y%z%b", true, L"a", L"x%y%z", L"b"},
        {L"single%sign.txt", true, L"single", L"", L"sign.txt"},
        {L"%%", true, L"", L"", L""},
        {L"%HH%", true, L"", L"HH", L""},
    };
    for (const auto& c : cases) {
        auto parts = splitDatePicture(c.name);
        ASSERT_EQ(parts.has_value(), c.found) << c.name;
        if (!parts) continue;
        EXPECT_EQ(parts->before, c.before) << c.name;
        EXPECT_EQ(parts->picture, c.picture) << c.name;
        EXPECT_EQ(parts->after, c.after) << c.name;
    }
}

TEST(DatePicture, MillisecondsReplaceEveryCapitalL) {
    EXPECT_EQ(insertMilliseconds(L"HH-mm-ss.L", 7), L"HH-mm-ss.7");
    EXPECT_EQ(insertMilliseconds(L"L_L", 999), L"999_999");
    EXPECT_EQ(insertMilliseconds(L"L", 0), L"0");
    EXPECT_EQ(insertMilliseconds(L"lowercase l stays", 42), L"lowercase l stays");
}
