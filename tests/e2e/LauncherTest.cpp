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
