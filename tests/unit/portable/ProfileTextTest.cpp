// The settings-file parser on its own, natively under the sanitizers too;
// SettingsFileTest compares it with the system's profile function itself.
#include <gtest/gtest.h>

#include <string>

#include "config/ProfileText.h"

using namespace vexa;

TEST(ProfileText, EdgesOfLinesNamesAndQuotesStayInsideTheText) {
    struct Case {
        std::wstring text, section, key, value;
    };
    const Case cases[] = {
        {L"[", L"", L"[", L""},
        {L"[]", L"", L"K", L""},
        {L"]\r[S]\r=", L"S", L"", L""},
        {L"[S]\nK=\"", L"S", L"K", L"\""},
        {L"[S]\nK=''", L"S", L"K", L""},
        {L"[S]\nK= 'x' \x1A", L"S", L"K", L"x"},
        {L"\r\n\r\n[ s ]\r\n k \r\n K = v", L"S", L"K", L""},
        {L"[S]]\nK=v", L"S]", L"k", L"v"},
        {std::wstring(L"[S]\nK=a\0b", 9), L"S", L"K", L"a"},
    };
    for (const Case& c : cases) {
        ProfileText text;
        text.parse(c.text);
        EXPECT_EQ(text.value(c.section, c.key), c.value);
    }
}

TEST(ProfileText, MarksNameTheEncoding) {
    std::size_t mark = 9;
    EXPECT_EQ(detectProfileEncoding("\xFF\xFE[", mark), ProfileEncoding::Utf16Le);
    EXPECT_EQ(mark, 2u);
    EXPECT_EQ(detectProfileEncoding("\xFE\xFF", mark), ProfileEncoding::Utf16Be);
    EXPECT_EQ(detectProfileEncoding("\xEF\xBB\xBF", mark), ProfileEncoding::Utf8);
    EXPECT_EQ(mark, 3u);
    EXPECT_EQ(detectProfileEncoding("\xEF\xBB", mark), ProfileEncoding::Ansi);
    EXPECT_EQ(mark, 0u);
    EXPECT_EQ(decodeUtf16(std::string("A\0\xE9\0z", 5), false), L"A\u00e9");
}
