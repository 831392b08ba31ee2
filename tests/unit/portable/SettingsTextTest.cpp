#include <gtest/gtest.h>

#include "config/LauncherSettings.h"
#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"

using namespace vexa;

TEST(SplitList, KeepsEmptyInnerEntriesAndDropsATrailingSeparator) {
    struct Case {
        std::wstring text;
        std::wstring separator;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"", L";", {}},
        {L"1.6;1.7", L";", {L"1.6", L"1.7"}},
        {L"1.6;;1.7", L";", {L"1.6", L"", L"1.7"}},
        {L"1.6;", L";", {L"1.6"}},
        {L"1.6;;", L";", {L"1.6", L""}},
        {L";", L";", {L""}},
        {L";1.8", L";", {L"", L"1.8"}},
        {L" 1.6 ; 1.7 ", L";", {L" 1.6 ", L" 1.7 "}},
        {L"1.8", L";", {L"1.8"}},
        {L"a\r\nb\r\n", L"\r\n", {L"a", L"b"}},
        {L"a\r\n\r\nb", L"\r\n", {L"a", L"", L"b"}},
        {L"a\nb\rc", L"\r\n", {L"a\nb\rc"}},
        {L"a\r\r\nb", L"\r\n", {L"a\r", L"b"}},
        {L"abc", L"", {L"abc"}},
    };
    for (const auto& c : cases) EXPECT_EQ(LauncherSettings::splitList(c.text, c.separator), c.expected) << c.text;
}

TEST(SettingsPaths, DeriveFileNamesFromTheExecutable) {
    struct Case {
        std::wstring executable;
        std::wstring beside;
        std::wstring fileName;
    };
    const Case cases[] = {
        {L"C:\\apps\\MyApp.exe", L"C:\\apps\\MyApp.ini", L"MyApp.ini"},
        {L"C:\\apps\\Tool.2024.exe", L"C:\\apps\\Tool.2024.ini", L"Tool.2024.ini"},
        // No extension: the dot of a folder name is not the file's.
        {L"C:\\x.y\\launcher", L"C:\\x.y\\launcher.ini", L"launcher.ini"},
        {L"C:\\apps\\launcher", L"C:\\apps\\launcher.ini", L"launcher.ini"},
        {L"launcher", L"launcher.ini", L"launcher.ini"},
        {L"D:/tools/pair.v2/Pair.EXE", L"D:/tools/pair.v2/Pair.ini", L"Pair.ini"},
        {L"C:\\apps\\.hidden", L"C:\\apps\\.ini", L".ini"},
        {L"", L".ini", L".ini"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settingsPathBeside(c.executable), c.beside) << c.executable;
        EXPECT_EQ(settingsFileName(c.executable), c.fileName) << c.executable;
    }
}

TEST(SettingsPaths, PerUserPathDropsForbiddenCharactersOfTheProductName) {
    EXPECT_EQ(productFolderName(L"A:B/C"), L"ABC");
    EXPECT_EQ(productFolderName(L"\\?\"|><:/*"), L"");
    EXPECT_EQ(productFolderName(L" My App (x64) "), L" My App (x64)");
    EXPECT_EQ(perUserSettingsPath(L"C:\\Users\\u\\AppData\\Roaming", L"A:B/C", L"X1", L"C:\\apps\\Tool.2024.exe"),
              L"C:\\Users\\u\\AppData\\Roaming\\ABC\\X1\\Tool.2024.ini");
    // No application-data folder: no per-user file.
    EXPECT_EQ(perUserSettingsPath(L"", L"Prod", L"Code", L"C:\\apps\\Tool.exe"), L"");
    // Neither name nor code: a folder named after the executable.
    EXPECT_EQ(perUserSettingsPath(L"R:", L"", L"", L"Tool"), L"R:\\Tool\\Tool.ini");
    EXPECT_EQ(perUserSettingsPath(L"R:", L":/", L"", L"C:\\a\\Tool.2024.exe"), L"R:\\Tool.2024\\Tool.2024.ini");
    EXPECT_EQ(perUserSettingsPath(L"R:", L"", L"7", L"Tool"), L"R:\\\\7\\Tool.ini");
}

TEST(SettingsPaths, NoProductNameOrCodeLeadsOutOfTheApplicationDataFolder) {
    struct Case {
        std::wstring name, code, path;
    };
    const Case cases[] = {
        {L"..", L"..", L"R:\\Tool\\Tool.ini"},
        {L".", L". .", L"R:\\Tool\\Tool.ini"},
        {L"..\\..", L"x", L"R:\\\\x\\Tool.ini"},
        {L"My App.. ", L"..\\..\\Win", L"R:\\My App\\....Win\\Tool.ini"},
        {L"A.B", L"1.0", L"R:\\A.B\\1.0\\Tool.ini"},
    };
    for (const Case& c : cases) EXPECT_EQ(perUserSettingsPath(L"R:", c.name, c.code, L"C:\\a\\Tool.exe"), c.path) << c.name;
}

namespace {

struct Expected {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> values;
};

void expectSections(const EmbeddedSettings& settings, const std::vector<Expected>& expected, const std::wstring& text) {
    ASSERT_EQ(settings.sections().size(), expected.size()) << text;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(settings.sections()[i].name, expected[i].name) << text;
        EXPECT_EQ(settings.sections()[i].values, expected[i].values) << text;
    }
}

}  // namespace

TEST(EmbeddedSettingsParse, ReadsSectionsAndPairsLineByLine) {
    struct Case {
        std::wstring text;
        std::vector<Expected> expected;
    };
    const std::vector<Case> cases = {
        {L"", {}},
        {L"\r\n\r\n", {}},
        {L"Main Class=x\r\n[A]\r\n", {{L"A", {}}}},
        {L"[Main]\r\nk=v\r\n", {{L"Main", {{L"k", L"v"}}}}},
        {L"\xFEFF[Main]\r\nk=v", {{L"Main", {{L"k", L"v"}}}}},
        {L"  [Main]  \r\n", {{L"Main", {}}}},
        {L"\t[ Main ]\t\r\n", {{L" Main ", {}}}},
        {L"[A] [B]\r\n", {{L"A] [B", {}}}},
        {L"[]\r\n=v\r\n", {{L"", {{L"", L"v"}}}}},
        {L"[A\r\nk=v\r\n", {}},
        {L"[A]\r\n  key  =  a = b  \r\nno equals sign\r\n[A]\r\nkey=second", {{L"A", {{L"key", L"a = b"}}}, {L"A", {{L"key", L"second"}}}}},
        {L"[A]\r\nk=1\r\nk=2\r\n", {{L"A", {{L"k", L"1"}, {L"k", L"2"}}}}},
        {L"[A]\r\nk=\r\n", {{L"A", {{L"k", L""}}}}},
        // Only CR LF ends a line: a bare LF stays inside the line.
        {L"[A]\r\nk=v\nj=w\r\n", {{L"A", {{L"k", L"v\nj=w"}}}}},
        {L"[A]\nk=v\r\n", {}},
        {L"[A]\r\n;k=v\r\n", {{L"A", {{L";k", L"v"}}}}},
        {L"[A]\r\n[B]=x\r\n", {{L"A", {{L"[B]", L"x"}}}}},
        {L"\xFEFF", {}},
    };
    for (const auto& c : cases) {
        EmbeddedSettings settings;
        settings.parse(L"[Old]\r\nx=y");
        settings.parse(c.text);
        expectSections(settings, c.expected, c.text);
    }
}

TEST(EmbeddedSettingsFind, FirstSectionOfTheNameThenFirstKeyExactly) {
    EmbeddedSettings settings;
    settings.parse(L"[A]\r\nk=1\r\nk=2\r\n[A]\r\nj=3\r\n[B]\r\nK=4\r\n[b]\r\nk=5\r\n");
    struct Case {
        std::wstring section, key;
        std::optional<std::wstring> expected;
    };
    const Case cases[] = {
        {L"A", L"k", L"1"}, {L"A", L"j", std::nullopt}, {L"B", L"K", L"4"},  {L"B", L"k", std::nullopt},
        {L"b", L"k", L"5"}, {L"a", L"k", std::nullopt}, {L"C", L"k", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(settings.find(c.section, c.key), c.expected) << c.section << L"/" << c.key;
}

TEST(SettingsText, OnlyWebAddressesMayStandAsTheDownloadLink) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"https://java.example.com/get", true}, {L"HTTP://intranet/jre", true}, {L"https://", false},
        {L"file:///C:/x", false},  {L"javascript:alert(1)", false}, {L"\\\\server\\share", false},
        {L"https://a b", false},    {L"https://a\tb", false},  {L"", false},
    };
    for (const auto& [address, taken] : cases) EXPECT_EQ(LauncherSettings::isDownloadAddress(address), taken) << address;
}
