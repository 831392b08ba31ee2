#include <gtest/gtest.h>

#include "jvm/VmParameters.h"

using namespace vexa;

namespace {

using Tokens = std::vector<std::wstring>;

// What the option list receives: the tokens with their quotes stripped.
Tokens strippedTokens(const std::wstring& text) {
    Tokens tokens = SplitVmParameters(text);
    for (auto& token : tokens) StripParameterQuotes(token);
    return tokens;
}

}  // namespace

TEST(VmParameters, SplitAndStripLikeTheSettingsExamples) {
    struct Case {
        std::wstring text;
        Tokens expected;
    };
    const Case cases[] = {
        {L"-Xmx512m  -Dp=\"a b\" -ea", {L"-Xmx512m", L"-Dp=a b", L"-ea"}},
        {L"-Dapp.title=\"My App\"", {L"-Dapp.title=My App"}},
        {L"x=\"a\"\"b\"", {L"x=a\"b\""}},
        {L"", {}},
        {L"   ", {}},
        // A leading blank (the layered lookup adds one) gives no empty option.
        {L" -ea", {L"-ea"}},
        {L"-ea   ", {L"-ea"}},
        {L"\"\"", {L""}},
        {L"a \"\" b", {L"a", L"", L"b"}},
        // An unclosed quote protects nothing.
        {L"-Da=\"b c", {L"-Da=\"b", L"c"}},
        // A quote behind the space belongs to the next token.
        {L"a b\"c d\"", {L"a", L"bc d"}},
        {L"\"a b\"\"c d\"", {L"a b\"c", L"d\""}},
        {L"\"a b\"x\"c d\" e", {L"a bxc d", L"e"}},
        {L"tab\tstays", {L"tab\tstays"}},
        {L"-cp \"C:\\Program Files\\x.jar\"", {L"-cp", L"C:\\Program Files\\x.jar"}},
    };
    for (const auto& c : cases) EXPECT_EQ(strippedTokens(c.text), c.expected) << testing::PrintToString(c.text);
}

TEST(VmParameters, NextParameterEndFindsTheTokenEnd) {
    struct Case {
        std::wstring text;
        std::size_t start;
        std::size_t expected;
    };
    const Case cases[] = {
        {L"abc def", 0, 3},
        {L"abc def", 4, 7},
        {L"abc", 3, 3},
        {L" abc", 0, 0},
        {L"\"a b\" c", 0, 5},
        {L"\"a b", 0, 2},           // unclosed: the first space ends it
        {L"\"a\"\"b c\" d", 0, 5},  // the doubled quote belongs to the run, which ends there
        {L"x\"a b\"", 0, 6},        // quoted run up to the end
        {L"a \"b c\"", 0, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextParameterEnd(c.text, c.start), c.expected) << testing::PrintToString(c.text) << " @" << c.start;
    }
}

TEST(VmParameters, StripParameterQuotesKeepsUnpairedQuotes) {
    struct Case {
        std::wstring token;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"abc", L"abc"},
        {L"\"a\"", L"a"},
        {L"x=\"a\"\"b\"", L"x=a\"b\""},
        {L"\"\"", L""},
        {L"\"\"\"", L"\""},
        {L"\"\"\"\"", L"\"\""},
        {L"a\"b", L"a\"b"},
        {L"\"a\"b\"c\"", L"abc"},
        {L"-D\"x y\"=\"1 2\"", L"-Dx y=1 2"},
        {L"\"", L"\""},
    };
    for (const auto& c : cases) {
        std::wstring token = c.token;
        StripParameterQuotes(token);
        EXPECT_EQ(token, c.expected) << testing::PrintToString(c.token);
    }
}
