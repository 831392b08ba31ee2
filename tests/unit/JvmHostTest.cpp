// The JVM host's file name helpers, against the real file system.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "jvm/JvmHost.h"

using namespace vexa;
using vexa::test::isFolder;

TEST(ExpandDateTimePattern, FormatsThePictureBetweenTheOuterPercentSigns) {
    SYSTEMTIME time{};
    time.wYear = 2024;
    time.wMonth = 3;
    time.wDayOfWeek = 4;
    time.wDay = 7;
    time.wHour = 14;
    time.wMinute = 5;
    time.wSecond = 9;
    time.wMilliseconds = 42;
    struct Case {
        std::wstring name;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\logs\\out.txt", L"C:\\logs\\out.txt"},
        {L"C:\\logs\\out-%yyyy-MM-dd_HH-mm-ss.L%.txt", L"C:\\logs\\out-2024-03-07_14-05-09.42.txt"},
        {L"C:\\logs\\%yyyyMMdd%\\%HHmm%.log", L"C:\\logs\\20240307%\\%1405.log"},
        {L"out-%HH%.log", L"out-14.log"},
        {L"one%sign.txt", L"onesign.txt"},
        {L"%%x", L"x"},
    };
    for (const auto& c : cases) {
        std::wstring name = c.name;
        expandDateTimePattern(name, time);
        EXPECT_EQ(name, c.expected);
    }
}

TEST(CreateParentFolders, MakesEveryMissingFolderOfTheFile) {
    vexa::test::TempDir scratch;
    const std::wstring root = scratch.path();
    // Absolute, several levels missing.
    EXPECT_EQ(createParentFolders(root + L"a\\b\\c\\out.txt"), 0u);
    EXPECT_TRUE(isFolder(root + L"a\\b\\c"));
    EXPECT_FALSE(isFolder(root + L"a\\b\\c\\out.txt"));
    // Folders that exist already are no error.
    EXPECT_EQ(createParentFolders(root + L"a\\b\\d\\out.txt"), 0u);
    EXPECT_TRUE(isFolder(root + L"a\\b\\d"));
    // A doubled backslash gives an empty component, which is skipped over.
    EXPECT_EQ(createParentFolders(root + L"e\\\\f\\out.txt"), 0u);
    EXPECT_TRUE(isFolder(root + L"e\\f"));
    // The long-path prefix stays in front of the drive.
    EXPECT_EQ(createParentFolders(L"\\\\?\\" + root + L"g\\h\\out.txt"), 0u);
    EXPECT_TRUE(isFolder(root + L"g\\h"));
}

TEST(CreateParentFolders, AnExistingFileNeedsNothing) {
    vexa::test::TempDir scratch;
    const std::wstring file = scratch.path() + L"present.txt";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    EXPECT_EQ(createParentFolders(file), 0u);
    EXPECT_EQ(createParentFolders(L"bare-name.txt"), 0u);
}

TEST(CreateParentFolders, RelativePathsStartInTheWorkingDirectory) {
    vexa::test::TempDir scratch;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
    const DWORD result = createParentFolders(L"logs\\today\\out.txt");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(result, 0u);
    EXPECT_TRUE(isFolder(scratch.path() + L"logs\\today"));
}

TEST(CreateParentFolders, AFailureStopsAndTakesBackTheFolderMadeJustBefore) {
    vexa::test::TempDir scratch;
    const std::wstring root = scratch.path();
    // "blocker" is a file: nothing can be made below it.
    HANDLE handle = CreateFileW((root + L"blocker").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    EXPECT_NE(createParentFolders(root + L"blocker\\sub\\out.txt"), 0u);
    EXPECT_FALSE(isFolder(root + L"blocker\\sub"));

    // "fresh" is made, the invalid name below it is not, and "fresh" goes again.
    EXPECT_NE(createParentFolders(root + L"fresh\\bad|name\\deeper\\out.txt"), 0u);
    EXPECT_FALSE(isFolder(root + L"fresh"));
    // Only the folder one level up is taken back.
    EXPECT_NE(createParentFolders(root + L"kept\\made\\bad|name\\out.txt"), 0u);
    EXPECT_TRUE(isFolder(root + L"kept"));
    EXPECT_FALSE(isFolder(root + L"kept\\made"));
}
