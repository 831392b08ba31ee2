// Starting vexa.exe as a user would: a renamed copy beside its settings file.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace vexa::test;

TEST(Launcher, SettingsWithoutMainClassStopTheLaunchWithAClearMessage) {
    TempDir dir;
    LauncherCopy app(dir.path(), L"MyApp.exe", "[Java Runtime Environment]\r\nMinimum Version=1.8\r\n");
    auto process = app.start(L"", {{L"APPDATA", dir.path()}});
    ASSERT_TRUE(process.started());
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.message(), L"Main class was not specified in INI file.");
    EXPECT_EQ(process.exitCode(), -1);
}

TEST(Launcher, ASettingsFileThatCannotBeReadIsReportedWithTheWindowsError) {
    enum class Kind { Folder, Locked, Missing };
    struct Row {
        const char* what;
        Kind kind;
        std::wstring message;  // after the path; empty: "Main Class" missing, as before
    };
    const Row rows[] = {
        {"a folder", Kind::Folder, L" (errno = 5).\n"},
        {"locked by another program", Kind::Locked, L" (errno = 32).\n"},
        {"missing", Kind::Missing, L""},
    };
    for (const Row& row : rows) {
        TempDir dir;
        LauncherCopy app(dir.path(), L"MyApp.exe", std::nullopt);
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (row.kind == Kind::Folder) makeDirs(app.iniPath());
        if (row.kind == Kind::Locked) {
            writeFile(app.iniPath(), "[Java Runtime Environment]\r\nMain Class=demo.Main\r\n");
            lock = CreateFileW(app.iniPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        }
        auto process = app.start(L"", {{L"APPDATA", dir.path()}});
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found) << row.what;
        EXPECT_EQ(box.message(), row.message.empty() ? L"Main class was not specified in INI file."
                                                     : L"Failed to read the settings file: " + app.iniPath() + row.message)
            << row.what;
        EXPECT_EQ(process.exitCode(), -1) << row.what;
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    }
}

