// The diagnostics log as support meets it: VEXA_LOG names a file, a launch
// writes what its runtime search saw into it, and a log that cannot be
// written changes nothing about the launch.
#include <gtest/gtest.h>

#include <map>
#include <optional>
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
        // The launcher's own files are never appended to.
        {"the launcher's settings file", L"@ini", false},
        {"the launcher itself", L"@exe", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir appDir;
        LauncherCopy app(appDir.path(), L"MyApp.exe", ini);
        const std::wstring logPath = row.log == L"@ini" ? app.iniPath() : row.log == L"@exe" ? app.exePath() : row.log;
        const std::string exe = readFile(app.exePath());
        auto process = app.start(L"-nosplash", {{L"APPDATA", appDir / L"appdata"}, {L"VEXA_LOG", logPath}});
        ASSERT_TRUE(process.started());
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(readFile(app.iniPath()), ini);
        EXPECT_TRUE(readFile(app.exePath()) == exe);
        if (!row.written) continue;

        const std::string log = readFile(row.log);
        // One event a line, each with a millisecond time stamp, process and thread.
        // (Line by line: std::regex recurses per character, and a whole log
        // overflows the stack.)
        const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+:\d+\] [^\r\n]+)");
        EXPECT_TRUE(log.size() >= 2 && log.substr(log.size() - 2) == "\r\n") << log;
        for (size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
            EXPECT_TRUE(std::regex_match(log.substr(at, end - at), line)) << log.substr(at, end - at);
        for (const std::string& expected : std::vector<std::string>{
                 "registry HKLM\\Software\\JavaSoft\\JDK\\11.0.2, version 11.0.2: rejected, outside \"Minimum Version\" and "
                 "\"Maximum Version\"",
                 // The 1.7 ranks below the 1.8 and is never looked at.
                 "registry: runtimes not examined, ranked below the chosen one: 1",
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

// What the launcher decided after the runtime search, one run per way a
// launch can end: the settings and their layers, the environment and library
// path, the JVM options, the main class lookup, and the exit code and why.
TEST(DiagnosticsLogE2E, ALaunchLogsItsSettingsEnvironmentOptionsMainClassAndHowItEnded) {
    TempDir dir;
    standin::JavaRegistry registry;  // what is registered matters to the not-found run
    const standin::JavaHome java(dir / L"jre\\");
    standin::RuntimeOptions x86;
    x86.jvm = standin::Jvm::X86;
    const standin::JavaHome java32(dir / L"jre32\\", x86);
    copyFile(artefact(L"cmdprobe.exe"), dir / L"MyApp32.exe");
    standin::writeScript(dir.path(), L"classes\\demo\\Hello.class", "method main\n    println out hello\n");
    standin::writeScript(dir.path(), L"classes\\demo\\Exit.class", "method main\n    exit 3\n");
    standin::writeScript(dir.path(), L"classes\\demo\\Abort.class", "method main\n    abort boom\n");
    standin::writeScript(dir.path(), L"classes\\demo\\Throw.class",
                         "method main\n    throw java.lang.IllegalStateException boom\n");
    const std::string jvm = narrow(java.jvmPath());
    const std::string home = narrow(java.home()).substr(0, narrow(java.home()).size() - 1);  // without its "\"

    const std::string jrePath = "JRE Path=" + narrow(java.home()) + "\r\n";
    struct Row {
        const char* what;
        std::string jre;  // settings lines after "[Java Runtime Environment]"
        std::wstring key;  // how a dialog is answered; empty: none is expected
        std::int32_t exitCode;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"main returns", jrePath + "Main Class=demo.Hello\r\n", L"", 0,
         {"settings file %INI%: read", "embedded settings block: none",
          "setting [Java Runtime Environment] \"Main Class\" = \"demo.Hello\" from the file",
          "setting [Java Runtime Environment] \"Virtual Machine Parameters\" = \" -Dfrom.plus=1\" from the file's \"+\" section",
          "setting [Java Runtime Environment] \"Minimum Version\" = \"\" not set in any layer",
          "per-user settings file ", "\"JRE Path\" resolves to " + narrow(java.home()),
          "environment VEXA_JVM_PATH=" + jvm + "\r\n", "environment VEXA_JVM_HOME=" + home + "\r\n",
          "java.library.path=native;" + narrow(dir / L"app\\;"), "environment Path=", home + "\\bin\r\n",
          "JVM library " + jvm + " loaded", "JVM option 1: -Djava.library.path=", "JVM option 2: -Djava.class.path=",
          ": -Dfrom.plus=1", "JNI_CreateJavaVM: JVM created", "main class demo/Hello: found through FindClass",
          "main class demo/Hello: accepted by sun.launcher.LauncherHelper", "calling demo/Hello.main, argument count 1",
          "main returned", "launcher ends with exit code 0", "DestroyJavaVM returned",
          "\"JRE Path\" " + narrow(java.home()) + ": chosen, version unknown (no \"release\" file)",
          "class-path entry \"none\\*.jar\": no file matches it", "splash: not shown, the -nosplash switch was given"}},
        {"uncaught exception, switches that read as no",
         jrePath + "Main Class=demo.Throw\r\n[Application]\r\nSingle Instance=Yes\r\nFailure Check=ja\r\n"
                   "Output Append=no\r\n",
         L"", 0,
         {"setting [Application] \"Single Instance\" = \"Yes\": not \"yes\", so off",
          "setting [Application] \"Failure Check\" = \"ja\": not \"Yes\" (in any case), so off",
          "the uncaught exception: java.lang.IllegalStateException: boom"}},
        {"System.exit", jrePath + "Main Class=demo.Exit\r\n", L"", 3,
         {"calling demo/Exit.main", "System.exit(3) reached the \"exit\" hook: the JVM ends the process with exit code 3"}},
        {"the JVM aborts", jrePath + "Main Class=demo.Abort\r\n", L"", 1,
         {"calling demo/Abort.main", "the JVM aborted through the \"abort\" hook"}},
        {"main class missing", jrePath + "Main Class=demo.Missing\r\n", L"enter", -1,
         {"main class demo/Missing: FindClass did not find it on the class path", "error message shown: ",
          "the JVM could not be created or its main class not called", "launcher ends with exit code -1"}},
        {"creation fails", jrePath + "Main Class=demo.Hello\r\nVirtual Machine Parameters=-Xbogus\r\n", L"enter", -1,
         {"JVM option 3: -Xbogus", "JNI_CreateJavaVM failed: result -1", "error message shown: ",
          "launcher ends with exit code -1"}},
        {"no runtime found", "Main Class=demo.Hello\r\nMinimum Version=99\r\nSearch Common Locations=no\r\n", L"escape",
         -1,
         {"\"JRE Not Found\" dialog shown: ", "\"JRE Not Found\" dialog: no runtime chosen, the launch ends",
          "launcher ends before starting Java: exit code -1"}},
        {"a 32-bit runtime", "Main Class=demo.Hello\r\nJRE Path=" + narrow(java32.home()) +
             "\r\n[Application]\r\nPair Product=" + narrow(dir / L"MyApp32.exe") + "\r\nPair Return Code=yes\r\n",
         L"", 5,
         {"JVM library " + narrow(java32.jvmPath()) + " is for the other architecture: the launch goes to \"Pair Product\" " +
              narrow(dir / L"MyApp32.exe"),
          "launch handed to the paired launcher " + narrow(dir / L"MyApp32.exe"), "paired launcher ended with exit code 5",
          "launcher ends with exit code 5"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir appDir;
        const std::string ini = "[Class Path]\r\nClass Path=none\\*.jar;" + narrow(dir / L"classes") +
                                "\r\n[Java Runtime Environment+]\r\nVirtual Machine Parameters=-Dfrom.plus=1\r\n"
                                "[Java Runtime Environment]\r\nLibrary Path=native\r\n" + row.jre;
        LauncherCopy app(dir / L"app\\", L"MyApp.exe", ini);
        const std::wstring log = appDir / L"vexa.log";
        auto process = app.start(L"-nosplash", {{L"APPDATA", appDir / L"appdata"}, {L"VEXA_LOG", log},
                                                {L"JAVA_HOME", std::nullopt},
                                                {L"VEXA_CMDPROBE_EXIT", L"5"}});
        ASSERT_TRUE(process.started());
        if (!row.key.empty()) {
            UiAction answer;
            answer.key = row.key;
            EXPECT_TRUE(waitForWindow(process.pid(), answer).found);
        }
        EXPECT_EQ(process.exitCode(), row.exitCode);
        const std::string text = readFile(log);
        for (std::string expected : row.expected) {
            if (const auto at = expected.find("%INI%"); at != std::string::npos)
                expected.replace(at, 5, narrow(app.iniPath()));
            EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        }
    }
}

TEST(DiagnosticsLogE2E, ASecondInstanceLogsWhatItForwardedAndTheReply) {
    TempDir dir;
    const standin::JavaHome java(dir / L"jre\\");
    std::string release;
    for (char c : narrow(dir / L"release")) release += c == '\\' ? "\\\\" : std::string(1, c);
    standin::writeScript(dir.path(), L"classes\\demo\\App.class",
                         "method main\n    wait-file " + release + " 60000\nmethod secondaryMain int\n    return 7\n");
    LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                     "[Java Runtime Environment]\r\nMain Class=demo.App\r\nJRE Path=" + narrow(java.home()) +
                         "\r\n[Class Path]\r\nClass Path=" + narrow(dir / L"classes") +
                         "\r\n[Application]\r\nSingle Instance=yes\r\n");
    const std::wstring log = dir / L"vexa.log";
    const std::map<std::wstring, std::optional<std::wstring>> environment{{L"APPDATA", dir / L"appdata"},
                                                                           {L"VEXA_LOG", log}};
    auto first = app.start(L"-nosplash", environment);
    ASSERT_TRUE(first.started());
    EXPECT_TRUE(waitUntil([&] { return readFile(log).find("calling demo/App.main") != std::string::npos; }));
    auto second = app.start(L"-nosplash", environment);
    EXPECT_EQ(second.exitCode(), 7);
    writeFile(dir / L"release", "");
    EXPECT_EQ(first.exitCode(), 0);

    const std::string text = readFile(log);
    for (const std::string& expected : std::vector<std::string>{
             "single instance: first instance, listening for later starts",
             "single instance: a first instance runs, arguments forwarded to it, count 1",
             "single instance: request from a later start, argument count 1",
             "single instance: secondaryMain for a later start called",
             "single instance: the first instance replied 7",
             "launcher ends with exit code 7",
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}
