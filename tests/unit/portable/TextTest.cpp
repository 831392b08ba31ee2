#include <gtest/gtest.h>

#include <cstdint>

#include "foundation/Text.h"
#include "foundation/CommandLine.h"

using namespace vexa;

TEST(FormatMessage, FillsTextAndNumberInserts) {
    struct Case {
        std::wstring format;
        std::vector<MessageInsert> inserts;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Windows exception: %s (errno = %d).\n", {std::wstring(L"x"), 193}, L"Windows exception: x (errno = 193).\n"},
        {L"%d", {-1}, L"-1"},
        {L"100%% %s", {std::wstring(L"done")}, L"100% done"},
        {L"insert %s kept", {std::wstring(L"%d%s")}, L"insert %d%s kept"},
        {L"missing %s and %d", {}, L"missing  and 0"},
        {L"trailing %", {}, L"trailing %"},
        {L"other %x", {}, L"other %x"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatMessage(c.format, c.inserts), c.expected);
}

TEST(SplitArguments, FollowsTheQuoteRules) {
    struct Case {
        std::wstring text;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"", {}},
        // A leading space ends an empty plain argument; callers trim first.
        {L"   ", {L""}},
        {L" a", {L"", L"a"}},
        {L"a", {L"a"}},
        {L"one two", {L"one", L"two"}},
        {L"\"a b\"c", {L"a b", L"c"}},
        {L"a\"b c\"", {L"a\"b", L"c\""}},
        {L"\"\" x", {L"", L"x"}},
        {L"\"unterminated text", {L"unterminated text"}},
        {L"x \"", {L"x", L""}},
        {L"tab\tinside", {L"tab\tinside"}},
        {L"trailing  ", {L"trailing"}},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> out;
        SplitArguments(c.text, out);
        EXPECT_EQ(out, c.expected);
    }
}

TEST(CommandLineArguments, DropTheProgramName) {
    struct Case {
        std::wstring commandLine;
        std::wstring executable;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"\"C:\\Apps\\demo.exe\" a", L"C:\\Apps\\demo.exe", {L"a"}},
        {L"C:\\Program Files\\App\\app.exe a b", L"C:\\Program Files\\App\\app.exe", {L"a", L"b"}},
        {L"C:\\Program Files\\App\\app a", L"C:\\Program Files\\App\\app.exe", {L"a"}},
        {L"demo.exe C:\\x\\demo.exe", L"C:\\Apps\\demo.exe", {L"C:\\x\\demo.exe"}},
        {L"other name a", L"C:\\Apps\\demo.exe", {L"name", L"a"}},
        {L"C:\\My App\\app.exe", L"C:\\My App\\app.exe", {}},
        {L"MyLauncher D:\\docs\\App one", L"C:\\Apps\\App.exe", {L"D:\\docs\\App", L"one"}},
        {L"C:\\My App\\app.exe \tx", L"C:\\My App\\app.exe", {L"\tx"}},
        {L"", L"C:\\a.exe", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(argumentsOfCommandLine(c.commandLine, c.executable), c.expected);
}

TEST(Text, DecimalTextOfTheWholeRange) {
    EXPECT_EQ(decimalText(0), L"0");
    EXPECT_EQ(decimalText(-7), L"-7");
    EXPECT_EQ(decimalText(INT64_MIN), L"-9223372036854775808");
    EXPECT_EQ(unsignedDecimalText(UINT64_MAX), L"18446744073709551615");
    EXPECT_EQ(formatMessage(L"errno = %d", {std::int32_t{-2147483647 - 1}}), L"errno = -2147483648");
}
