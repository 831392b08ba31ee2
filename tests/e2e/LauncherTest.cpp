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

TEST(Launcher, SingleInstanceModeIsReportedAsNotAvailable) {
    struct Case {
        const char* application;
        bool reported;
    };
    // Only the exact "yes" asks for single-instance mode, and never for a service.
    const Case cases[] = {
        {"Single Instance=yes\r\n", true},
        {"Single Instance=Yes\r\n", false},
        {"Single Instance=yes\r\nApplication Type=service\r\n", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        LauncherCopy app(dir.path(), L"MyApp.exe",
                         // No registry key is searched for an unknown "JVM Source", so
                         // runtimes other tests register meanwhile are not found.
                         std::string("[Java Runtime Environment]\r\nMain Class=demo.Main\r\nJVM Source=none\r\n"
                                     "[Application]\r\n") + c.application);
        auto process = app.start(L"", {{L"APPDATA", dir.path()}});
        ASSERT_TRUE(process.started());
        // Without the mode the launch goes on to the runtime search, which
        // finds nothing here: the "JRE Not Found" dialog, cancelled.
        UiAction answer;
        answer.press = c.reported ? IDOK : IDCANCEL;
        WindowSnapshot box = waitForWindow(process.pid(), answer);
        ASSERT_TRUE(box.found) << c.application;
        if (c.reported)
            EXPECT_EQ(box.message(), L"This launcher cannot run as a single instance yet: that step is not built.");
        else
            EXPECT_NE(box.text(203).find(L"was not found"), std::wstring::npos) << narrow(box.text(203));
        EXPECT_EQ(process.exitCode(), -1);
    }
}
