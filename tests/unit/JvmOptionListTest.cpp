#include <gtest/gtest.h>

#include <windows.h>

#include "jvm/ExpandEnvironment.h"
#include "jvm/JvmOptionList.h"

using namespace vexa;

TEST(JvmOptionList, KeepsEveryOptionInOrder) {
    JvmOptionList list;
    const std::wstring options[] = {L"-Xmx512m", L"-ea", L"-Xmx512m", L"", L"-Dp=a b"};
    for (const auto& option : options) EXPECT_TRUE(list.Add(option));
    // Duplicates stay beside each other; an empty option gives an empty entry.
    const std::vector<std::string> expected = {"-Xmx512m", "-ea", "-Xmx512m", "", "-Dp=a b"};
    EXPECT_EQ(list.entries(), expected);
}

TEST(JvmOptionList, CapacityDoublesAndTheLimitRefuses) {
    JvmOptionList list(5);
    EXPECT_EQ(list.capacity(), 0u);
    const std::size_t capacities[] = {1, 2, 4, 4, 5};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(list.Add(L"-D" + std::to_wstring(i)));
        EXPECT_EQ(list.capacity(), capacities[i]) << i;
    }
    // Full: the option is dropped, the earlier ones stay.
    EXPECT_FALSE(list.Add(L"-Dlate"));
    EXPECT_EQ(list.size(), 5u);
    EXPECT_EQ(list[4], "-D4");
    EXPECT_EQ(JvmOptionList::kMaxEntries, 0x0FFFFFFFu);
}

TEST(JvmOptionList, ConvertsToTheThreadCodePage) {
    JvmOptionList list;
    ASSERT_TRUE(list.Add(L"-Dname=Ren\u00e9e"));
    ASSERT_TRUE(list.Add(L"-Dcjk=\u65e5"));
    UINT codePage = 0;
    GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(wchar_t));
    if (codePage != 1252) GTEST_SKIP() << "thread code page " << codePage;
    EXPECT_EQ(list[0], "-Dname=Ren\xe9" "e");
    // Not in the code page: converted as the platform converts it.
    EXPECT_EQ(list[1], "-Dcjk=?");
}

TEST(ExpandEnvironment, ReplacesSetVariablesOnly) {
    SetEnvironmentVariableW(L"VEXA_TEST_HOME", L"C:\\Users\\Ann");
    SetEnvironmentVariableW(L"VEXA_TEST_UNSET", nullptr);
    const std::wstring longValue(5000, L'x');
    SetEnvironmentVariableW(L"VEXA_TEST_LONG", longValue.c_str());
    struct Case {
        std::wstring text;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"%VEXA_TEST_HOME%\\app.jar", L"C:\\Users\\Ann\\app.jar"},
        {L"%vexa_test_home%", L"C:\\Users\\Ann"},
        {L"%VEXA_TEST_UNSET%\\x", L"%VEXA_TEST_UNSET%\\x"},
        {L"-Xmx%VEXA_TEST_UNSET", L"-Xmx%VEXA_TEST_UNSET"},
        {L"100%", L"100%"},
        {L"", L""},
        {L"a;%VEXA_TEST_LONG%;b", L"a;" + longValue + L";b"},
    };
    for (const auto& c : cases) {
        std::wstring text = c.text;
        ExpandEnvironment(text);
        EXPECT_EQ(text, c.expected);
    }
    SetEnvironmentVariableW(L"VEXA_TEST_HOME", nullptr);
    SetEnvironmentVariableW(L"VEXA_TEST_LONG", nullptr);
}

TEST(ExpandEnvironment, LongTextsFollowTheSystemRule) {
    SetEnvironmentVariableW(L"VEXA_TEST_V", L"value");
    SetEnvironmentVariableW(L"VEXA_TEST_EMPTY", L"");
    SetEnvironmentVariableW(L"VEXA_TEST_UNSET", nullptr);
    // Texts beyond the system's limit are expanded by the launcher's own scan;
    // it must give what the system gives for texts it can take.
    const std::wstring texts[] = {
        L"%VEXA_TEST_V%", L"%vexa_test_v%x", L"%VEXA_TEST_UNSET%%VEXA_TEST_V%", L"%VEXA_TEST_UNSET%VEXA_TEST_V%",
        L"%VEXA_TEST_V%%", L"%%", L"%%VEXA_TEST_V%", L"a%b", L"%VEXA_TEST_EMPTY%x", L"% VEXA_TEST_V%", L"100%",
    };
    auto lookup = [](const std::wstring& name) -> std::optional<std::wstring> {
        wchar_t buffer[256];
        SetLastError(0);
        DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 256);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::wstring(buffer, length);
    };
    const std::wstring padding(40000, L'x');
    for (const auto& text : texts) {
        std::wstring system = text;
        ExpandEnvironment(system);
        EXPECT_EQ(ExpandReferences(text, lookup), system) << testing::PrintToString(text);
        std::wstring longText = padding + text;
        ExpandEnvironment(longText);
        EXPECT_TRUE(longText == padding + system) << testing::PrintToString(text);
    }
    SetEnvironmentVariableW(L"VEXA_TEST_V", nullptr);
    SetEnvironmentVariableW(L"VEXA_TEST_EMPTY", nullptr);
}

TEST(ExpandEnvironment, LongTextKeepsEveryCharacter) {
    // A class path of thousands of jars passes through here whole.
    std::wstring text;
    for (int i = 0; i < 20000; ++i) text += L"C:\\App\\lib\\library-" + std::to_wstring(i) + L".jar;";
    std::wstring expanded = text;
    ExpandEnvironment(expanded);
    ASSERT_EQ(expanded.size(), text.size());
    EXPECT_TRUE(expanded == text);
    // Also when the expansion makes a short text long.
    const std::wstring part = text.substr(0, 20000);
    SetEnvironmentVariableW(L"VEXA_TEST_CP", part.c_str());
    expanded = L"-Djava.class.path=%VEXA_TEST_CP%%VEXA_TEST_CP%";
    ExpandEnvironment(expanded);
    SetEnvironmentVariableW(L"VEXA_TEST_CP", nullptr);
    EXPECT_TRUE(expanded == L"-Djava.class.path=" + part + part);
}
