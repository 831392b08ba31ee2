#include <gtest/gtest.h>

#include <map>

#include "jvm/ExpandEnvironment.h"

using namespace vexa;

TEST(ExpandReferences, ReplacesKnownNamesOnly) {
    const std::map<std::wstring, std::wstring> variables = {
        {L"HOME", L"C:\\Users\\Ann"}, {L"V", L"v"}, {L"EMPTY", L""}, {L"PCT", L"%V%"}};
    auto lookup = [&](const std::wstring& name) -> std::optional<std::wstring> {
        auto it = variables.find(name);
        if (it == variables.end()) return std::nullopt;
        return it->second;
    };
    struct Case {
        std::wstring text;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"%HOME%\\app.jar", L"C:\\Users\\Ann\\app.jar"},
        {L"a%V%b%V%c", L"avbvc"},
        {L"%UNSET%%V%", L"%UNSET%v"},
        {L"%UNSET%V%", L"%UNSET%V%"},
        {L"%V%%", L"v%"},
        {L"%%", L"%%"},
        {L"%%V%", L"%%V%"},
        {L"%V%V%", L"vV%"},
        {L"a%b", L"a%b"},
        {L"%EMPTY%x", L"x"},
        // A value is not expanded again.
        {L"%PCT%", L"%V%"},
        {L"", L""},
        {L"100%", L"100%"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandReferences(c.text, lookup), c.expected) << testing::PrintToString(c.text);
}
