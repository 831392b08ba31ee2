#include <gtest/gtest.h>

#include "config/SettingsStore.h"
#include "foundation/PathText.h"
#include "jvm/LibraryPath.h"

using namespace vexa;

TEST(PathText, NormalisesSeparatorsDotsAndDoubledBackslashes) {
    struct Case {
        std::wstring path, expected;
    };
    const Case cases[] = {
        {L"C:/logs/out.txt", L"C:\\logs\\out.txt"},
        {L"C:\\logs\\new\\..\\out.txt", L"C:\\logs\\out.txt"},
        {L"C:\\logs\\missing.txt\\..\\.\\out.txt", L"C:\\logs\\out.txt"},
        {L"C:\\..\\..\\x", L"C:\\x"},
        {L"C:\\logs\\\\x\\", L"C:\\logs\\x\\"},
        {L"\\\\srv\\share\\..\\a", L"\\\\srv\\share\\a"},
        {L"//srv/share/a/./b", L"\\\\srv\\share\\a\\b"},
        {L"..\\logs\\..\\..\\out.txt", L"..\\..\\out.txt"},
        {L"a\\..", L"."},
        {L"C:x\\..\\..\\y", L"C:..\\y"},
        {L"\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b"},
        {L"", L"."},
    };
    for (const auto& c : cases) EXPECT_EQ(normalisePath(c.path), c.expected) << testing::PrintToString(c.path);
}

TEST(PathText, ResolvesAgainstAFolderAsWindowsResolvesAgainstTheCurrentOne) {
    struct Case {
        std::wstring path, expected;
    };
    const Case cases[] = {
        {L"jre", L"C:\\Apps\\App\\jre"},
        {L"..\\jre\\", L"C:\\Apps\\jre\\"},
        {L"../jre/", L"C:\\Apps\\jre\\"},
        {L".", L"C:\\Apps\\App"},
        {L"\\Java\\jre", L"C:\\Java\\jre"},
        {L"c:jre", L"C:\\Apps\\App\\jre"},
        {L"D:jre", L"D:\\jre"},
        {L"D:\\Java\\jre\\", L"D:\\Java\\jre\\"},
        {L"\\\\srv\\java\\jre", L"\\\\srv\\java\\jre"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolveAgainstFolder(c.path, L"C:\\Apps\\App\\"), c.expected) << testing::PrintToString(c.path);
    EXPECT_EQ(resolveAgainstFolder(L"\\jre", L"\\\\srv\\share\\app\\"), L"\\\\srv\\share\\jre");
    EXPECT_TRUE(samePathText(L"c:/Logs/./OUT.txt", L"C:\\logs\\x\\..\\out.txt"));
    EXPECT_FALSE(samePathText(L"C:\\logs\\out.txt", L"C:\\logs\\err.txt"));
}

TEST(PlusSectionJoin, ListsJoinWithASemicolonOtherValuesWithABlank) {
    struct Case {
        std::wstring key, value, extension, expected;
    };
    const Case cases[] = {
        {L"Library Path", L"C:\\Natives", L"lib", L"C:\\Natives;lib"},
        {L"Class Path", L"\\lib\\*.jar", L" \\plugins\\*.jar", L"\\lib\\*.jar;\\plugins\\*.jar"},
        {L"System Path", L"C:\\Tools;", L"C:\\More", L"C:\\Tools;C:\\More"},
        {L"Preferred versions", L"1.8", L";11", L"1.8;11"},
        // Nothing to join with: as before, one leading blank.
        {L"Library Path", L"", L"lib", L" lib"},
        {L"Virtual Machine Parameters", L"-Xmx1g", L"-ea", L"-Xmx1g -ea"},
        {L"Virtual Machine Parameters", L"-Xmx1g", L" -ea", L"-Xmx1g -ea"},
        {L"Main Class", L"", L"a.B", L" a.B"},
        {L"Class Path", L"\\a.jar", L"", L"\\a.jar"},
    };
    for (const auto& c : cases) EXPECT_EQ(joinExtendedValue(c.key, c.value, c.extension), c.expected);
}

TEST(LibraryPathText, ALongPathKeepsTheSystemPathAndTheRuntimeBinFolder) {
    const std::wstring front = L"C:\\Tools;";
    const std::wstring bin = L"C:\\Java\\jre\\bin";
    // Fits: everything, as composed without a limit.
    EXPECT_EQ(FitSystemPath(front, L"C:\\A;C:\\B", bin, 100), L"C:\\Tools;C:\\A;C:\\B;C:\\Java\\jre\\bin");
    // 9 + 5 + 5 + 15 = 34 characters: C:\B no longer fits whole and is dropped.
    EXPECT_EQ(FitSystemPath(front, L"C:\\A;C:\\B", bin, 33), L"C:\\Tools;C:\\A;C:\\Java\\jre\\bin");
    EXPECT_EQ(FitSystemPath(front, L"C:\\A;;C:\\B;", bin, 34), L"C:\\Tools;C:\\A;C:\\B;C:\\Java\\jre\\bin");
    EXPECT_EQ(FitSystemPath(front, L"C:\\A;C:\\B", bin, 10), L"C:\\Tools;C:\\Java\\jre\\bin");
    EXPECT_EQ(FitSystemPath(L"", L"", bin, 10), bin);
}
