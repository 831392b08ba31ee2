// The diagnostics log as support meets it: VEXA_LOG names a file, a launch
// writes what its runtime search saw into it, and a log that cannot be
// written changes nothing about the launch.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;

TEST(DiagnosticsLogE2E, ALaunchLogsEveryRuntimeCandidateAndStillRunsWhenTheLogCannotBeWritten) {
    TempDir dir;
    standin::JavaRegistry registry;
    standin::RuntimeOptions client;
    client.jvmPath = L"bin\\client\\jvm.dll";
    const standin::JavaHome jre8(dir / L"jre8\\", client);
    const standin::JavaHome jdk11(dir / L"jdk11\\", client);
    registry.add(L"Software\\JavaSoft\\JRE", L"1.8.0_202", jre8.home());
    registry.add(L"Software\\JavaSoft\\JDK", L"11.0.2", jdk11.home());
    registry.add(L"Software\\JavaSoft\\JRE", L"1.7", dir / L"gone");
    standin::writeScript(dir.path(), L"classes\\demo\\Hello.class", "method main\n    println out hello\n");
    const std::string ini = "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nMaximum Version=1.8\r\n"
                            "[Class Path]\r\nClass Path=" + narrow(dir / L"classes") + "\r\n";

    struct Row {
        const char* what;
        std::wstring log;
        bool written;
    };
    const Row rows[] = {
        {"a log file", dir / L"vexa.log", true},
        {"a log in a missing folder", dir / L"missing\\vexa.log", false},
        {"a log path that is a folder", dir / L"classes", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir appDir;
        LauncherCopy app(appDir.path(), L"MyApp.exe", ini);
        auto process = app.start(L"-nosplash", {{L"APPDATA", appDir / L"appdata"}, {L"VEXA_LOG", row.log}});
        ASSERT_TRUE(process.started());
        EXPECT_EQ(process.exitCode(), 0);
        if (!row.written) continue;

        const std::string log = readFile(row.log);
        // One event a line, each with a millisecond time stamp, process and thread.
        EXPECT_TRUE(std::regex_match(log, std::regex(R"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+:\d+\] [^\r\n]+\r\n)+)")))
            << log;
        for (const std::string& expected : std::vector<std::string>{
                 "registry HKLM\\Software\\JavaSoft\\JDK\\11.0.2, version 11.0.2: rejected, outside \"Minimum Version\" and "
                 "\"Maximum Version\"",
                 "registry HKLM\\Software\\JavaSoft\\JRE\\1.7: home " + narrow(dir / L"gone\\") +
                     ", version 1.7: rejected, no JVM library for its \"JVM Type\"",
                 "registry HKLM\\Software\\JavaSoft\\JRE\\1.8.0_202: home " + narrow(jre8.home()) +
                     ", version 1.8.0.202: qualifies",
                 "registry: #1 " + narrow(jre8.home()) + ", version 1.8.0.202, favoured yes, server no: chosen, first in order",
             }) {
            EXPECT_NE(log.find(expected), std::string::npos) << expected << "\n" << log;
        }
    }
}

TEST(DiagnosticsLogE2E, ARunWithoutASuitableRuntimeLogsEverySourceItSearched) {
    TempDir dir;
    standin::JavaRegistry registry;
    standin::RuntimeOptions client;
    client.jvmPath = L"bin\\client\\jvm.dll";
    const standin::JavaHome jre8(dir / L"jre8\\", client);
    registry.add(L"Software\\JavaSoft\\JRE", L"1.8.0_202", jre8.home());
    LauncherCopy app(dir.path(), L"MyApp.exe", "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nMinimum Version=11\r\n");
    const std::wstring log = dir / L"vexa.log";
    auto process = app.start(L"", {{L"APPDATA", dir / L"appdata"}, {L"VEXA_LOG", log}, {L"JAVA_HOME", dir / L"jre8"}});
    ASSERT_TRUE(process.started());
    UiAction cancel;
    cancel.key = L"escape";
    EXPECT_TRUE(waitForWindow(process.pid(), cancel).found);  // the "JRE Not Found" dialog
    EXPECT_EQ(process.exitCode(), -1);

    const std::string text = readFile(log);
    for (const std::string& expected : std::vector<std::string>{
             "launcher folder " + narrow(dir.path()) + ": no runtime",
             "registry HKLM\\Software\\JavaSoft\\JRE\\1.8.0_202, version 1.8.0.202: rejected, outside",
             "registry: no runtime qualifies",
             "registry, 32-bit view: not searched without \"Pair Product\"",
             "runtime " + narrow(jre8.home()) + " (JAVA_HOME): JRE, version 8.0 (from its name): rejected, below \"Minimum Version\"",
             "vendor keys and install folders: no runtime qualifies",
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}
