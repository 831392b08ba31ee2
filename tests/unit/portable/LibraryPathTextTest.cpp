#include <gtest/gtest.h>

#include "jvm/ClassPathText.h"
#include "jvm/LibraryPath.h"

using namespace vexa;

TEST(ClassPathText, ClassifiesEntries) {
    using K = ClassPathEntryKind;
    struct Case {
        std::wstring entry;
        K withWildcards;
        K withoutWildcards;
    };
    const Case cases[] = {
        {L"C:\\Libs\\x.jar", K::Absolute, K::Absolute},
        {L"\\\\server\\share\\app.jar", K::Absolute, K::Absolute},
        {L"\\\\server\\share\\*.jar", K::Wildcard, K::Absolute},
        {L"\\lib\\*.jar", K::Wildcard, K::Relative},
        {L"\\classes", K::Relative, K::Relative},
        {L"lib\\a.jar", K::Relative, K::Relative},
        {L"a", K::Relative, K::Relative},
        {L"", K::Relative, K::Relative},
        {L"*", K::Wildcard, K::Relative},
        {L"C:", K::Absolute, K::Absolute},
        {L"\\x", K::Relative, K::Relative},
        {L"/\\x", K::Relative, K::Relative},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyClassPathEntry(c.entry), c.withWildcards) << testing::PrintToString(c.entry);
        EXPECT_EQ(ClassifyClassPathEntry(c.entry, false), c.withoutWildcards) << testing::PrintToString(c.entry);
    }
}

TEST(ClassPathText, SearchPatternAndFolder) {
    struct Case {
        std::wstring entry;
        std::wstring pattern;
        std::wstring folder;
    };
    const Case cases[] = {
        {L"\\lib\\*.jar", L"C:\\App\\lib\\*.jar", L"C:\\App\\lib\\"},
        {L"\\classes", L"C:\\App\\classes", L"C:\\App\\"},
        // Without its own leading "\" an entry lies below the folder all the same.
        {L"lib\\a.jar", L"C:\\App\\lib\\a.jar", L"C:\\App\\lib\\"},
        {L"\\lib/b.jar", L"C:\\App\\lib\\b.jar", L"C:\\App\\lib\\"},
        {L"\\.", L"C:\\App", L"C:\\"},
        {L"\\lib\\..\\ext\\*.jar", L"C:\\App\\ext\\*.jar", L"C:\\App\\ext\\"},
        {L"Z:/apps/lib/*.jar", L"Z:\\apps\\lib\\*.jar", L"Z:\\apps\\lib\\"},
        {L"\\\\server\\share\\*.jar", L"\\\\server\\share\\*.jar", L"\\\\server\\share\\"},
        {L"D:*.jar", L"D:*.jar", L""},
        {L"D:\\x\\*", L"D:\\x\\*", L"D:\\x\\"},
    };
    for (const auto& c : cases) {
        std::wstring pattern = ClassPathSearchPattern(c.entry, L"C:\\App");
        EXPECT_EQ(pattern, c.pattern);
        EXPECT_EQ(SearchPatternFolder(pattern), c.folder);
    }
}

TEST(ClassPathText, PiecesLoseSurroundingBlanks) {
    EXPECT_EQ(TrimClassPathPiece(L" \\lib\\*.jar"), L"\\lib\\*.jar");
    EXPECT_EQ(TrimClassPathPiece(L"a b.jar  "), L"a b.jar");
    EXPECT_EQ(TrimClassPathPiece(L"   "), L"");
    EXPECT_EQ(TrimClassPathPiece(L""), L"");
    EXPECT_EQ(TrimClassPathPiece(L"\tx"), L"\tx");
}

TEST(LibraryPathText, StripPathComponents) {
    struct Case {
        std::wstring text;
        std::size_t count;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\Java\\jre\\bin\\server\\jvm.dll", 3, L"C:\\Java\\jre"},
        {L"C:\\Java\\jre\\bin\\server\\jvm.dll", 2, L"C:\\Java\\jre\\bin"},
        {L"C:\\Java\\jre\\bin\\server\\jvm.dll", 0, L"C:\\Java\\jre\\bin\\server\\jvm.dll"},
        {L"C:\\jvm.dll", 3, L"C:"},
        {L"jvm.dll", 2, L"jvm.dll"},
        {L"C:\\App\\", 1, L"C:\\App"},
        {L"", 1, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(StripPathComponents(c.text, c.count), c.expected);
}

TEST(LibraryPathText, RuntimeFoldersOfTheJvmLibrary) {
    struct Case {
        std::wstring library;
        std::wstring home, bin, lib;
    };
    const Case cases[] = {
        {L"C:\\Java\\jre\\bin\\server\\jvm.dll", L"C:\\Java\\jre", L"C:\\Java\\jre\\bin", L"C:\\Java\\jre\\lib"},
        {L"C:\\Jdk\\jre\\bin\\server\\jvm.dll", L"C:\\Jdk\\jre", L"C:\\Jdk\\jre\\bin", L"C:\\Jdk\\jre\\lib"},
        {L"D:\\j\\bin\\client\\jvm.dll", L"D:\\j", L"D:\\j\\bin", L"D:\\j\\lib"},
        {L"\\\\srv\\java\\bin\\server\\jvm.dll", L"\\\\srv\\java", L"\\\\srv\\java\\bin", L"\\\\srv\\java\\lib"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JavaHomeOf(c.library), c.home);
        EXPECT_EQ(RuntimeBinFolderOf(c.library), c.bin);
        EXPECT_EQ(RuntimeLibFolderOf(c.library), c.lib);
    }
}

TEST(LibraryPathText, ComposesLibraryPathAndSystemPath) {
    const std::wstring lib = L"C:\\Java\\jre\\lib";
    const std::wstring bin = L"C:\\Java\\jre\\bin";
    struct LibCase {
        std::wstring setting;
        bool inherited;
        std::wstring expected;
    };
    const LibCase libCases[] = {
        {L"C:\\Natives", true, L"C:\\Natives;C:\\App\\;.;%Path%;C:\\Java\\jre\\lib"},
        {L"C:\\Natives;", true, L"C:\\Natives;C:\\App\\;.;%Path%;C:\\Java\\jre\\lib"},
        {L" C:\\Natives ", true, L"C:\\Natives;C:\\App\\;.;%Path%;C:\\Java\\jre\\lib"},
        {L"%ProgramFiles%\\Lib", true, L"%ProgramFiles%\\Lib;C:\\App\\;.;%Path%;C:\\Java\\jre\\lib"},
        {L"C:\\Natives", false, L"C:\\Natives;C:\\App\\;.;C:\\Java\\jre\\lib"},
    };
    for (const auto& c : libCases) EXPECT_EQ(ComposeLibraryPath(c.setting, L"C:\\App\\", lib, c.inherited), c.expected);

    struct PathCase {
        std::wstring setting;
        bool inherited;
        std::wstring expected;
    };
    const PathCase pathCases[] = {
        {L"C:\\Tools", true, L"C:\\Tools;%Path%;C:\\Java\\jre\\bin"},
        {L"C:\\Tools;", true, L"C:\\Tools;%Path%;C:\\Java\\jre\\bin"},
        {L"", true, L"%Path%;C:\\Java\\jre\\bin"},
        {L" ", true, L"%Path%;C:\\Java\\jre\\bin"},
        {L"", false, L"C:\\Java\\jre\\bin"},
        {L"C:\\Tools", false, L"C:\\Tools;C:\\Java\\jre\\bin"},
    };
    for (const auto& c : pathCases) EXPECT_EQ(ComposeSystemPath(c.setting, bin, c.inherited), c.expected);
}
