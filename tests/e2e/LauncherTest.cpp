// Starting vexa.exe as a user would: a renamed copy beside its settings file.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace vexa::test;

TEST(Launcher, StepNotBuiltYetFailsWithAClearMessage) {
    TempDir dir;
    LauncherCopy app(dir.path(), L"MyApp.exe", "[Java Runtime Environment]\r\nMain Class=demo.Main\r\n");
    auto process = app.start();
    ASSERT_TRUE(process.started());
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.message(), L"This launcher cannot read its settings yet: that step is not built.");
    EXPECT_EQ(process.exitCode(), -1);
}
