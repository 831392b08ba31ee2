// Starting a Java application through vexa.exe and the stand-in runtime: JVM
// loading and creation, the main class, its arguments, output redirection,
// uncaught exceptions and the "Java Exception" dialog.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ImageFiles.h"
#include "JavaApp.h"
#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

// The launcher's "Java Exception" dialog texts.
constexpr int kTraceEdit = 208;

const char kHello[] =
    "class demo.Hello\n"
    "method main\n"
    "    println out Hello from main: ${args}\n"
    "    println err to the error stream\n";

}  // namespace

TEST(JavaLaunch, NormalRunEndsWithZeroOnceBackgroundWorkIsDone) {
    JavaApp app(
        "class demo.Hello\n"
        "method main\n"
        "    background 1500 work\n"
        "    println out main returns\n"
        "    return\n");
    EXPECT_EQ(app.run(L"one two"), 0);
    Record record = app.record();

    auto creation = record.creation();
    ASSERT_TRUE(creation) << record.text();
    EXPECT_EQ(creation->version, 0x00010002);
    EXPECT_FALSE(creation->ignoreUnrecognized);
    ASSERT_GE(creation->options.size(), 2u);
    EXPECT_EQ(creation->options[creation->options.size() - 2], "abort");
    EXPECT_EQ(creation->options.back(), "exit");
    EXPECT_TRUE(creation->exitHook);
    EXPECT_TRUE(creation->abortHook);
    EXPECT_EQ(creation->optionCount, static_cast<int>(creation->options.size()));
    EXPECT_EQ(record.property("java.class.path"), narrow(app / L"lib\\app.jar"));

    EXPECT_EQ(record.output("out"), "main returns\r\n");
    // main returns, its thread leaves the JVM, and destroying the JVM waits
    // for the background thread before the process ends.
    EXPECT_TRUE(record.inOrder({"create-result", "invoke", "returned", "detach", "destroy-begin", "background-end",
                                "destroy-end"}))
        << record.text();
    const Event* destroy = record.first("destroy-begin");
    ASSERT_NE(destroy, nullptr);
    EXPECT_EQ(destroy->number("waiting"), 1);
    expectCleanJniUse(record);
}

TEST(JavaLaunch, SystemExitStatusBecomesTheExitCode) {
    for (int status : {0, 3, 42, -7}) {
        JavaApp app("class demo.Hello\nmethod main\n    background 5000 never\n    exit " + std::to_string(status) +
                    "\n");
        EXPECT_EQ(app.run(), status);
        Record record = app.record();
        // The launcher's exit hook hands the status back to the runtime unchanged.
        EXPECT_TRUE(record.inOrder({"system-exit", "exit-hook", "exit-hook-returned", "process-exit"}))
            << record.text();
        const Event* hook = record.first("exit-hook");
        ASSERT_NE(hook, nullptr);
        EXPECT_EQ(hook->number("status"), status);
        EXPECT_FALSE(record.contains("background-end"));
    }
}

TEST(JavaLaunch, ArgumentsArriveAsExactUtf16) {
    struct Case {
        std::wstring commandLine;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {L"", {}},
        {L"plain \"two words\" \"\"", {L"plain", L"two words", L""}},
        {L"caf\x00E9 \x65E5\x672C\x8A9E \xD83D\xDE00 \x0391\x03B2", {L"caf\x00E9", L"\x65E5\x672C\x8A9E", L"\xD83D\xDE00", L"\x0391\x03B2"}},
    };
    for (const Case& c : cases) {
        JavaApp app(kHello);
        EXPECT_EQ(app.run(c.commandLine), 0);
        Record record = app.record();
        auto invocations = record.invocations("main");
        ASSERT_EQ(invocations.size(), 1u) << record.text();
        // No arguments is an empty array, never null.
        ASSERT_TRUE(invocations[0].args.has_value()) << record.text();
        std::vector<std::wstring> received;
        for (const auto& arg : *invocations[0].args) {
            ASSERT_TRUE(arg.has_value());
            received.push_back(*arg);
        }
        EXPECT_EQ(received, c.expected) << narrow(c.commandLine);
    }
}

TEST(JavaLaunch, MainClassIsFoundThroughEachLookup) {
    struct Case {
        const char* what;
        Jvm jvm;
        std::map<std::wstring, std::wstring> knobs;
        bool helperCalled;
    };
    const Case cases[] = {
        {"the runtime's launcher helper", Jvm::Full, {}, true},
        {"no boot loader lookup in the runtime", Jvm::NoBootLoader, {}, false},
        {"no launcher helper class", Jvm::Full, {{L"LAUNCHER_HELPER", L"absent"}}, false},
        {"the launcher helper gives null", Jvm::Full, {{L"LAUNCHER_HELPER", L"null"}}, true},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.mainClass = "com.example.App";
        settings.runtime.jvm = c.jvm;
        JavaApp app("class com.example.App\nmethod main\n    println out found\n", settings);
        EXPECT_EQ(app.run(L"", c.knobs), 0) << c.what;
        Record record = app.record();
        EXPECT_EQ(record.output("out"), "found\r\n") << c.what;
        const Event* helper = record.first("check-and-load-main");
        EXPECT_EQ(helper != nullptr, c.helperCalled) << c.what << "\n" << record.text();
        if (helper) {
            EXPECT_EQ(helper->text("name"), L"com.example.App");
            EXPECT_EQ(helper->number("mode"), 1);
            EXPECT_TRUE(helper->flag("stderr"));
        }
        // FindClass gets the slash form first, so that the helper is only
        // ever asked about a class that is there.
        bool foundByName = false;
        for (const Event& e : record.named("find-class"))
            foundByName |= e.bytes("name") == "com/example/App" && e.flag("found");
        EXPECT_TRUE(foundByName) << c.what << "\n" << record.text();
        if (helper) {
            EXPECT_TRUE(record.inOrder({"find-class", "check-and-load-main"})) << c.what;
        }
        // No Java code runs before main but the launcher helper's check.
        const auto beforeMain = record.named("before-main");
        EXPECT_EQ(beforeMain.size(), c.helperCalled ? 1u : 0u) << c.what << "\n" << record.text();
        for (const Event& e : beforeMain)
            EXPECT_EQ(e.bytes("class") + "." + e.bytes("method"), "sun/launcher/LauncherHelper.checkAndLoadMain") << c.what;
        auto invocations = record.invocations("main");
        ASSERT_EQ(invocations.size(), 1u) << c.what;
        EXPECT_EQ(invocations[0].className, "com/example/App");
        expectCleanJniUse(record);
    }
}

TEST(JavaLaunch, MissingMainClassIsReportedAndTheLaunchEnds) {
    // Through FindClass: the runtime's error is printed, then the message.
    AppSettings settings;
    settings.mainClass = "com.example.Missing";
    settings.runtime.jvm = Jvm::NoBootLoader;
    JavaApp app(kHello, settings);
    ChildProcess process = app.start();
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.message(), L"Could not find the main class com/example/Missing.\n");
    // The Java main thread left the JVM, so destroying it does not wait for it.
    EXPECT_EQ(process.exitCode(), -1);
    Record record = app.record();
    const Event* describe = record.first("describe");
    ASSERT_NE(describe, nullptr) << record.text();
    EXPECT_EQ(describe->bytes("class"), "java/lang/NoClassDefFoundError");
    EXPECT_TRUE(record.inOrder({"describe", "detach", "destroy-end"})) << record.text();

}

TEST(JavaLaunch, AWrongMainClassIsReportedAlsoWithTheRuntimesLauncherHelper) {
    // The helper would end the process with System.exit(1) and say so only on
    // a standard error that a GUI program has not got: it is never asked
    // about a class that is missing or has no main method.
    struct Case {
        const char* what;
        std::string mainClass;
        std::string script;
        std::wstring message;
        const char* printed;  // the runtime's error printed first
    };
    const Case cases[] = {
        {"missing class", "com.example.Missing", kHello, L"Could not find the main class com/example/Missing.\n",
         "java/lang/NoClassDefFoundError"},
        {"no main method", "demo.Hello", "class demo.Hello\nmethod run\n    return\n",
         L"No main method found in specified class.\n", "java/lang/NoSuchMethodError"},
        {"main returns int", "demo.Hello", "class demo.Hello\nmethod main int\n    return 0\n",
         L"No main method found in specified class.\n", "java/lang/NoSuchMethodError"},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.mainClass = c.mainClass;
        JavaApp app(c.script, settings);
        ChildProcess process = app.start();
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found) << c.what;
        EXPECT_EQ(box.message(), c.message) << c.what;
        EXPECT_EQ(process.exitCode(), -1) << c.what;
        Record record = app.record();
        EXPECT_FALSE(record.contains("check-and-load-main")) << c.what << "\n" << record.text();
        EXPECT_FALSE(record.contains("system-exit")) << c.what;
        const Event* describe = record.first("describe");
        ASSERT_NE(describe, nullptr) << c.what << "\n" << record.text();
        EXPECT_EQ(describe->bytes("class"), c.printed) << c.what;
        EXPECT_FALSE(record.contains("invoke")) << c.what;
    }
}

TEST(JavaLaunch, ARuntimeCallFailingOnTheWayToMainEndsTheLaunchCleanly) {
    // One of the launcher's calls fails as in a runtime out of memory (the
    // stand-in's FAIL_AT: the Nth call of that function). Whichever it is,
    // the user is told or main still runs, and the launcher never goes on
    // with the exception pending or unchecked.
    struct Row {
        const char* failAt;
        const wchar_t* message;  // the message box the user gets; null: none
        bool mainRuns;
        std::int32_t exitCode;
    };
    const Row rows[] = {
        // The main class and its main method.
        {"FindClass:1", L"Could not find the main class demo/Hello.\n", false, -1},
        {"GetStaticMethodID:1", L"No main method found in specified class.\n", false, -1},
        // The runtime's launcher helper failing, or its argument, costs
        // nothing: the class found through the class path is called.
        {"NewString:1", nullptr, true, 0},
        {"CallStaticObjectMethod:1", nullptr, true, 0},
        // main's arguments: the array, then the second of its two elements.
        {"NewObjectArray:1", nullptr, false, -1},
        {"SetObjectArrayElement:2", nullptr, false, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.failAt);
        JavaApp app(kHello);
        ChildProcess process = app.start(L"a b", {{L"FAIL_AT", widen(row.failAt)}});
        if (row.message) {
            WindowSnapshot box = answerMessageBox(process.pid());
            EXPECT_EQ(box.message(), row.message);
        }
        EXPECT_EQ(process.exitCode(60000), row.exitCode);
        Record record = app.record();
        EXPECT_TRUE(record.contains("fail-at")) << record.text();
        EXPECT_EQ(record.invocations("main").size(), row.mainRuns ? 1u : 0u) << record.text();
        expectCleanJniUse(record);
    }
}

TEST(JavaLaunch, MainClassNamesBeyondTheCodePageAreShownExactly) {
    // The name comes back from the runtime as modified UTF-8.
    AppSettings settings;
    settings.mainClass = narrow(L"demo.Caf\x00E9\x65E5\x672C\xD83D\xDE00");
    settings.runtime.jvm = Jvm::NoBootLoader;
    JavaApp app(kHello, settings);
    app.storeSettingsAsUtf16();
    ChildProcess process = app.start();
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.message(), L"Could not find the main class demo/Caf\x00E9\x65E5\x672C\xD83D\xDE00.\n");
    EXPECT_EQ(process.exitCode(), -1);
    // FindClass is handed the JVM's modified UTF-8: the emoji as two surrogates.
    std::vector<std::string> looked;
    for (const Event& e : app.record().named("find-class")) looked.push_back(e.bytes("name"));
    EXPECT_EQ(looked, std::vector<std::string>{"demo/Caf\xC3\xA9\xE6\x97\xA5\xE6\x9C\xAC\xED\xA0\xBD\xED\xB8\x80"});
}

TEST(JavaLaunch, MainWithoutStaticMainMethodPrintsTheRuntimeError) {
    AppSettings settings;
    settings.runtime.jvm = Jvm::NoBootLoader;
    JavaApp app("class demo.Hello\nmethod main int\n    return 0\n", settings);
    ChildProcess process = app.start();
    // The runtime's error is printed, and the user is told as well.
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.message(), L"No main method found in specified class.\n");
    EXPECT_EQ(process.exitCode(), -1);
    Record record = app.record();
    const Event* describe = record.first("describe");
    ASSERT_NE(describe, nullptr) << record.text();
    EXPECT_EQ(describe->bytes("class"), "java/lang/NoSuchMethodError");
    EXPECT_FALSE(record.contains("invoke"));
}

TEST(JavaLaunch, CreationFailuresShowTheirReasons) {
    struct Case {
        const wchar_t* result;
        std::wstring reason;
    };
    const Case cases[] = {
        {L"-1", L"unknown"},           {L"-2", L"thread detached from VM"}, {L"-3", L"JNI version error"},
        {L"-4", L"not enough memory"}, {L"-5", L"VM already created"},      {L"-6", L"invalid arguments"},
        {L"1", L""},                   {L"-7", L""},                        {L"-2147483648", L""},
    };
    for (const Case& c : cases) {
        JavaApp app(kHello);
        ChildProcess process = app.start(L"", {{L"CREATE_RESULT", c.result}});
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found) << narrow(c.result);
        EXPECT_EQ(box.message(), L"JNI exception: failed to create the Java VM\nReason: " + c.reason + L".\n");
        EXPECT_EQ(process.exitCode(), -1) << narrow(c.result);
        Record record = app.record();
        EXPECT_FALSE(record.contains("invoke"));
        EXPECT_FALSE(record.contains("destroy-begin")) << "no JVM to destroy";
    }
}

TEST(JavaLaunch, SuccessWithoutTheJvmOrItsEnvironmentIsACreationFailure) {
    // A runtime that returns 0 but leaves a pointer null has created nothing
    // usable; an ordinary creation still goes on to main.
    for (const wchar_t* missing : {L"vm", L"env", L"both", L""}) {
        JavaApp app(kHello);
        std::map<std::wstring, std::wstring> knobs;
        if (*missing) knobs[L"CREATE_NULL"] = missing;
        ChildProcess process = app.start(L"", knobs);
        if (*missing) {
            WindowSnapshot box = answerMessageBox(process.pid());
            ASSERT_TRUE(box.found) << narrow(missing);
            EXPECT_EQ(box.message(), L"JNI exception: failed to create the Java VM\nReason: unknown.\n");
        }
        EXPECT_EQ(process.exitCode(), *missing ? -1 : 0) << narrow(missing);
        EXPECT_EQ(app.record().contains("invoke"), !*missing) << narrow(missing);
    }
}

TEST(JavaLaunch, AFolderNamedLikeTheJvmLibraryIsPassedOver) {
    // The client library is tried before the server one; a folder in its
    // place is skipped and the real library is loaded.
    for (bool folderInTheWay : {true, false}) {
        JavaApp app(kHello);
        if (folderInTheWay) makeDirs(app.runtime().home() + L"bin\\client\\jvm.dll");
        EXPECT_EQ(app.run(L"x"), 0) << folderInTheWay;
        EXPECT_EQ(app.record().output("out"), "Hello from main: x\r\n") << folderInTheWay;
    }
}

TEST(JavaLaunch, LibraryFailuresShowTheirMessages) {
    struct Case {
        const char* what;
        Jvm jvm;
        bool pathMessage;  // 222 with the path, else 202 with 212
        int error;
    };
    const Case cases[] = {
        {"no JNI_CreateJavaVM", Jvm::NoCreate, false, 127},
        {"no JNI_GetDefaultJavaVMInitArgs", Jvm::NoDefaults, false, 127},
        {"a 32-bit library", Jvm::X86, true, 193},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.runtime.jvm = c.jvm;
        JavaApp app(kHello, settings);
        ChildProcess process = app.start();
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found) << c.what;
        const std::wstring error = std::to_wstring(c.error);
        if (c.pathMessage)
            EXPECT_EQ(box.message(),
                      L"Failed to load Java VM library: " + app.runtime().jvmPath() + L" (errno = " + error + L").\n");
        else
            EXPECT_EQ(box.message(), L"Windows exception: cannot find CreateJavaVM JNI (errno = " + error + L").\n");
        EXPECT_EQ(process.exitCode(), -1) << c.what;
        EXPECT_FALSE(app.record().contains("create")) << c.what;
    }
}

TEST(JavaLaunch, OutputAndErrorFilesAreReplacedOrAppendedTo) {
    struct Case {
        const char* append;
        std::string expectedOut;
        std::string expectedErr;
    };
    const Case cases[] = {
        {"no", "Hello from main: a b\r\n", "to the error stream\r\n"},
        {"yes", "old out\r\nHello from main: a b\r\n", "old err\r\nto the error stream\r\n"},
        {"Yes", "Hello from main: a b\r\n", "to the error stream\r\n"},  // only "yes" appends
    };
    for (const Case& c : cases) {
        TempDir files;
        const std::wstring out = files / L"out.txt";
        const std::wstring err = files / L"err.txt";
        writeFile(out, "old out\r\n");
        writeFile(err, "old err\r\n");
        AppSettings settings;
        settings.applicationLines = "Output File=" + narrow(out) + "\r\nOutput Append=" + c.append +
                                    "\r\nError File=" + narrow(err) + "\r\nError Append=" + c.append + "\r\n";
        JavaApp app(kHello, settings);
        EXPECT_EQ(app.run(L"a b"), 0);
        EXPECT_EQ(readFile(out), c.expectedOut) << c.append;
        EXPECT_EQ(readFile(err), c.expectedErr) << c.append;
        expectCleanJniUse(app.record());
    }
}

TEST(JavaLaunch, OutputFileNamesTakeTheDateAndMissingFoldersAreMade) {
    TempDir files;
    AppSettings settings;
    // Both pictures are formatted from the same instant, milliseconds included.
    settings.applicationLines = "Output File=" + narrow(files.path()) + "logs\\new\\out-%yyyyMMdd-HHmmss-L%.txt\r\n" +
                                "Error File=" + narrow(files.path()) + "logs\\err-%yyyyMMdd-HHmmss-L%.txt\r\n";
    JavaApp app(kHello, settings);
    EXPECT_EQ(app.run(L"x"), 0);
    Record record = app.record();
    const Event* setOut = record.first("set-out");
    const Event* setErr = record.first("set-err");
    ASSERT_NE(setOut, nullptr) << record.text();
    ASSERT_NE(setErr, nullptr) << record.text();
    const std::wstring outPath = setOut->text("path");
    const std::wstring errPath = setErr->text("path");
    const std::wstring outPrefix = files.path() + L"logs\\new\\out-";
    const std::wstring errPrefix = files.path() + L"logs\\err-";
    ASSERT_EQ(outPath.substr(0, outPrefix.size()), outPrefix);
    ASSERT_EQ(errPath.substr(0, errPrefix.size()), errPrefix);
    const std::wstring stamp = outPath.substr(outPrefix.size());
    EXPECT_EQ(errPath.substr(errPrefix.size()), stamp);
    // yyyyMMdd-HHmmss-<milliseconds>.txt
    ASSERT_GE(stamp.size(), 21u) << narrow(stamp);
    for (size_t i : {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 16}) EXPECT_TRUE(iswdigit(stamp[i])) << narrow(stamp);
    EXPECT_EQ(stamp.substr(stamp.size() - 4), L".txt");
    EXPECT_EQ(readFile(outPath), "Hello from main: x\r\n");
    EXPECT_EQ(readFile(errPath), "to the error stream\r\n");
}

TEST(JavaLaunch, AnOutputFileThatCannotBeOpenedLeavesTheStreamAlone) {
    TempDir files;
    writeFile(files / L"blocked", "a file where a folder would be");
    AppSettings settings;
    settings.applicationLines = "Output File=" + narrow(files.path()) + "blocked\\out.txt\r\n";
    JavaApp app(kHello, settings);
    EXPECT_EQ(app.run(L"still runs"), 0);
    Record record = app.record();
    const Event* describe = record.first("describe");
    ASSERT_NE(describe, nullptr) << record.text();
    EXPECT_EQ(describe->bytes("class"), "java/io/FileNotFoundException");
    EXPECT_FALSE(record.contains("set-out"));
    // main's output went where System.out pointed before.
    bool toStdout = false;
    for (const Event& e : record.named("output"))
        toStdout |= e.raw("sys") == "out" && e.raw("target") == "stdout" &&
                    e.bytes("bytes").find("Hello from main: still runs") != std::string::npos;
    EXPECT_TRUE(toStdout) << record.text();
    expectCleanJniUse(record);
}

TEST(JavaLaunch, OneFileNamedForBothStreamsGetsOneStream) {
    struct Case {
        const char* what;
        std::wstring errorName;  // below the files folder; L"" for the upper-case, "/" spelling of log.txt
        bool shared;
    };
    const Case cases[] = {
        {"the same name", L"log.txt", true},
        {"another spelling", L"", true},
        {"two files, as before", L"err.txt", false},
    };
    for (const Case& c : cases) {
        TempDir files;
        const std::wstring log = files / L"log.txt";
        writeFile(log, "old text that is longer than what the application writes\r\n");
        const std::string errorName =
            c.errorName.empty() ? withSlashes(files.path()) + "LOG.TXT" : narrow(files / c.errorName);
        AppSettings settings;
        settings.applicationLines = "Output File=" + narrow(log) + "\r\nError File=" + errorName + "\r\n";
        JavaApp app(kHello, settings);
        EXPECT_EQ(app.run(L"a"), 0) << c.what;
        if (c.shared) {
            EXPECT_EQ(readFile(log), "Hello from main: a\r\nto the error stream\r\n") << c.what;
        } else {
            EXPECT_EQ(readFile(log), "Hello from main: a\r\n") << c.what;
            EXPECT_EQ(readFile(files / c.errorName), "to the error stream\r\n") << c.what;
        }
        expectCleanJniUse(app.record());
    }
}

TEST(JavaLaunch, AnOverlongDatePictureFormatsAsAFailedCall) {
    struct Case {
        std::string picture;
        std::string name;  // the file written, below the files folder; empty: a dated name
    };
    const Case cases[] = {
        {std::string(300, 'x'), "out-.txt"},
        {std::string(400, 'd'), "out-.txt"},
        // Within the limit the picture is formatted as before.
        {"'" + std::string(100, 'x') + "'", "out-" + std::string(100, 'x') + ".txt"},
    };
    for (const Case& c : cases) {
        TempDir files;
        AppSettings settings;
        settings.applicationLines = "Output File=" + narrow(files.path()) + "out-%" + c.picture + "%.txt\r\n";
        JavaApp app(kHello, settings);
        EXPECT_EQ(app.run(L"x"), 0) << c.picture.size();
        EXPECT_EQ(readFile(files / widen(c.name)), "Hello from main: x\r\n") << c.picture.size();
    }
}

TEST(JavaLaunch, OutputIsNeverWrittenIntoTheLaunchersOwnFiles) {
    struct Case {
        const char* what;
        const char* key;
        std::wstring file;   // below the launcher folder; L"" for the per-user settings file
        std::wstring shown;  // the name in the message, written plainly
    };
    const Case cases[] = {
        {"the settings file", "Output File", L"MyApp.ini", L"MyApp.ini"},
        {"the settings file, spelt otherwise", "Error File", L"sub\\..\\myapp.INI", L"myapp.INI"},
        {"the executable", "Output File", L"MyApp.exe", L"MyApp.exe"},
        {"the per-user settings file", "Error File", L"", L""},
    };
    for (const Case& c : cases) {
        TempDir appData;
        const std::wstring perUser = appData / L"Vexa Out\\own\\MyApp.ini";
        AppSettings settings;
        settings.moreSections = "[Product Information]\r\nProduct Name=Vexa Out\r\nProduct Code=own\r\n";
        JavaApp app(kHello, settings);
        // The per-user file names the runtime, as after a choice in the dialog.
        writeFile(perUser, "[Java Runtime Environment]\r\nJRE Path=" + narrow(app.runtime().home()) + "\r\n");
        const std::wstring target = c.file.empty() ? perUser : app / c.file;
        const std::wstring shown = c.file.empty() ? perUser : app / c.shown;
        const std::wstring ini = app / L"MyApp.ini";
        writeFile(ini, readFile(ini) + "[Application+]\r\n" + c.key + "=" + narrow(target) + "\r\n");
        const std::string iniBefore = readFile(ini);
        const std::string exeBefore = readFile(app / L"MyApp.exe");
        const std::string perUserBefore = readFile(perUser);

        ChildProcess process = app.startWithEnvironment(L"x", {{L"APPDATA", appData.path()}});
        WindowSnapshot box = answerMessageBox(process.pid());
        EXPECT_EQ(box.message(), L"The output file " + shown +
                                     L" is one of the launcher's own files; the Java output is not written to it.")
            << c.what;
        EXPECT_EQ(process.exitCode(60000), 0) << c.what;
        EXPECT_EQ(readFile(ini), iniBefore) << c.what;
        EXPECT_TRUE(readFile(app / L"MyApp.exe") == exeBefore) << c.what;
        EXPECT_EQ(readFile(perUser), perUserBefore) << c.what;
        // The application ran, its output where it went before.
        EXPECT_TRUE(app.record().mainArguments().has_value()) << c.what;
    }
}

TEST(JavaLaunch, OutputPathsAreWrittenPlainlyBeforeFoldersAreMade) {
    struct Case {
        std::string name;     // below the files folder, as written
        std::wstring file;    // where the output lands
        std::wstring absent;  // no folder of this name may be left
    };
    const Case cases[] = {
        {"logs\\new\\..\\out.txt", L"logs\\out.txt", L"logs\\new"},
        {"missing.txt\\..\\out.txt", L"out.txt", L"missing.txt"},
        {"logs/deeper/out.txt", L"logs\\deeper\\out.txt", L"logs/deeper/out.txt"},
    };
    for (const Case& c : cases) {
        TempDir files;
        AppSettings settings;
        settings.applicationLines = "Output File=" + narrow(files.path()) + c.name + "\r\n";
        JavaApp app(kHello, settings);
        EXPECT_EQ(app.run(L"x"), 0) << c.name;
        EXPECT_EQ(readFile(files / c.file), "Hello from main: x\r\n") << c.name;
        EXPECT_FALSE(isFolder(files / c.absent)) << c.name;
    }
}

TEST(JavaLaunch, JavaMainThreadStackSizeComesFromXssOrTheRuntimeDefault) {
    struct Case {
        const char* what;
        std::string parameters;
        std::map<std::wstring, std::wstring> knobs;
        long long reserve;
    };
    const Case cases[] = {
        {"-Xss", "Virtual Machine Parameters=-Xss4m\r\n", {}, 4LL << 20},
        {"the runtime's default", "", {{L"DEFAULT_STACK_SIZE", L"3145728"}}, 3LL << 20},
        {"-Xss over the default", "Virtual Machine Parameters=-Xss6m\r\n", {{L"DEFAULT_STACK_SIZE", L"3145728"}},
         6LL << 20},
        // No size from anywhere: the executable's own default reserve.
        {"no size", "", {{L"DEFAULT_STACK_SIZE", L"0"}}, 2LL << 20},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.jreLines = c.parameters;
        JavaApp app(kHello, settings);
        EXPECT_EQ(app.run(L"", c.knobs), 0) << c.what;
        auto creation = app.record().creation();
        ASSERT_TRUE(creation) << c.what;
        EXPECT_EQ(creation->stackReserve, c.reserve) << c.what;
    }
}

namespace {

// main starts a thread that goes on once the test allows it, then throws.
std::string throwerScript(const std::wstring& goFile) {
    return "class demo.Hello\n"
           "method main\n"
           "    thread worker\n"
           "    println out about to fail\n"
           "    cause java.lang.IllegalArgumentException inner \\u00E9\n"
           "    throw java.lang.IllegalStateException boom \\u00E9\\u65E5\\uD83D\\uDE00\n"
           "method worker\n"
           "    wait-file " + scriptPath(goFile) + " 20000\n"
           "    record went on\n";
}

const wchar_t kThrowerTrace[] =
    L"java.lang.IllegalStateException: boom \x00E9\x65E5\xD83D\xDE00\r\n"
    L"\tat demo.Hello.main(Hello.java:6)\r\n"
    L"Caused by: java.lang.IllegalArgumentException: inner \x00E9\r\n"
    L"\t... 1 more\r\n";

}  // namespace

TEST(JavaLaunch, JavaExceptionDialogShowsTheWholeTrace) {
    AppSettings settings;
    settings.applicationLines = "Failure Check=Yes\r\n";
    TempDir scratch;
    JavaApp app(throwerScript(scratch / L"go"), settings);
    ChildProcess process = app.start(L"", {{L"STRICT", L"1"}});
    UiAction ignore;
    ignore.press = 1;
    WindowSnapshot dialog = waitForWindow(process.pid(), ignore);
    ASSERT_TRUE(dialog.found);
    EXPECT_EQ(dialog.caption, L"Java Exception");
    EXPECT_EQ(dialog.text(kTraceEdit), kThrowerTrace);
    EXPECT_EQ(dialog.text(209), L"Uncaught Exception");
    EXPECT_EQ(dialog.text(210), L"The java process has thrown the following uncaught exception:");
    EXPECT_EQ(dialog.text(211),
              L"Press Ignore to continue and ignore the exception or press Stop to close the application.");
    EXPECT_EQ(dialog.text(212), L"WARNING: If you choose to Stop the application any unsaved data will be lost.");
    EXPECT_EQ(dialog.text(1), L"Ignore");
    EXPECT_EQ(dialog.text(2), L"Stop");
    EXPECT_TRUE(dialog.style & WS_THICKFRAME);
    writeFile(scratch / L"go", "");
    EXPECT_EQ(process.exitCode(), 0);
    Record record = app.record();
    // The exception was printed on the error stream as well, and no JNI call
    // was made while it was pending (fatal in strict mode).
    const Event* describe = record.first("describe");
    ASSERT_NE(describe, nullptr) << record.text();
    EXPECT_EQ(describe->bytes("class"), "java/lang/IllegalStateException");
    expectCleanJniUse(record);
}

TEST(JavaLaunch, JavaExceptionDialogIgnoreGoesOnAndStopEndsWithMinusOne) {
    struct Case {
        const char* what;
        UiAction action;
        std::int32_t exitCode;
    };
    UiAction ignore, enter, stop, escape, close;
    ignore.press = 1;
    enter.key = L"enter";
    stop.press = 2;
    escape.key = L"escape";
    close.close = true;
    const Case cases[] = {
        {"Ignore", ignore, 0}, {"Enter", enter, 0}, {"Stop", stop, -1}, {"Escape", escape, -1}, {"close box", close, -1},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.applicationLines = "Failure Check=yes\r\n";
        TempDir scratch;
        JavaApp app(throwerScript(scratch / L"go"), settings);
        ChildProcess process = app.start();
        WindowSnapshot dialog = waitForWindow(process.pid(), c.action);
        ASSERT_TRUE(dialog.found) << c.what;
        EXPECT_TRUE(dialog.gone) << c.what;
        // Going on lets the application's other thread finish its work;
        // stopping ends the process while that thread still waits.
        if (c.exitCode == 0) writeFile(scratch / L"go", "");
        EXPECT_EQ(process.exitCode(), c.exitCode) << c.what;
        Record record = app.record();
        EXPECT_EQ(record.contains("mark"), c.exitCode == 0) << c.what << "\n" << record.text();
        if (c.exitCode != 0) {
            const Event* exit = record.first("system-exit");
            ASSERT_NE(exit, nullptr) << c.what;
            EXPECT_EQ(exit->number("status"), -1);
        }
    }
}

TEST(JavaLaunch, WithoutFailureCheckAnUncaughtExceptionShowsNothing) {
    TempDir scratch;
    JavaApp app(throwerScript(scratch / L"go"));
    ChildProcess process = app.start();
    EXPECT_FALSE(waitForWindow(process.pid(), {}, 1500).found);
    writeFile(scratch / L"go", "");
    EXPECT_EQ(process.exitCode(), 0);
    Record record = app.record();
    // The runtime reports it when the main thread leaves.
    const Event* uncaught = record.first("uncaught");
    ASSERT_NE(uncaught, nullptr) << record.text();
    EXPECT_EQ(uncaught->bytes("class"), "java/lang/IllegalStateException");
    EXPECT_FALSE(record.contains("describe"));
    EXPECT_TRUE(record.contains("mark"));
}

TEST(JavaLaunch, AnUncaughtExceptionClosesTheSplashWindowFirst) {
    TempDir scratch;
    writeBmp(scratch / L"splash.bmp", 40, 20, [](int, int) { return Rgba{20, 120, 220}; });
    AppSettings settings;
    settings.applicationLines = "Failure Check=Yes\r\n";
    settings.moreSections = "[Display]\r\nSplash Screen=" + narrow(scratch / L"splash.bmp") + "\r\n";
    // main waits until the test has seen the splash, then throws.
    JavaApp app("class demo.Hello\n"
                "method main\n"
                "    wait-file " + scriptPath(scratch / L"throw") + " 20000\n"
                "    throw java.lang.IllegalStateException boom\n",
                settings);
    ChildProcess process = app.start();
    EXPECT_TRUE(waitForWindow(process.pid(), {}, 60000, L"SplashScreenWindow").found);
    writeFile(scratch / L"throw", "");
    // While the exception dialog is up, the splash is already gone.
    ASSERT_TRUE(waitForWindow(process.pid()).found);
    EXPECT_FALSE(waitForWindow(process.pid(), {}, 300, L"SplashScreenWindow").found);
    UiAction ignore;
    ignore.press = 1;
    EXPECT_TRUE(waitForWindow(process.pid(), ignore).found);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST(JavaLaunch, OnlyARuntimeFromTheIbmRegistryKeyKeepsTheProcessAfterMain) {
    // Every provider setting but "jrockit" opens the IBM key; what counts is
    // where the chosen runtime came from.
    struct Case {
        const char* provider;
        const wchar_t* registeredUnder;  // nullptr: named by "JRE Path"
        bool stays;
    };
    const Case cases[] = {
        {"any", L"Software\\JavaSoft\\JRE", false},
        {"favor_ibm", L"Software\\JavaSoft\\JRE", false},
        {"ibm", nullptr, false},
        {"any", L"Software\\IBM\\Java2 Runtime Environment", true},
        {"ibm", L"Software\\IBM\\Java2 Runtime Environment", true},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.provider) + (c.registeredUnder ? " " + narrow(c.registeredUnder) : "");
        SCOPED_TRACE(what);
        JavaRegistry registry;  // also keeps other registrations away meanwhile
        TempDir scratch;
        writeBmp(scratch / L"splash.bmp", 40, 20, [](int, int) { return Rgba{20, 120, 220}; });
        AppSettings settings;
        settings.jrePath = c.registeredUnder == nullptr;
        settings.jreLines = std::string("VM Provider=") + c.provider + "\r\n";
        settings.moreSections = "[Display]\r\nSplash Screen=" + narrow(scratch / L"splash.bmp") + "\r\n";
        // A daemon thread ends the application with System.exit(7) once the
        // test asks for it.
        JavaApp app("class demo.Hello\nmethod main\n    thread stopper daemon\n    wait-file " +
                        scriptPath(scratch / L"go") + " 20000\n    println out done\n"
                        "method stopper\n    wait-file " + scriptPath(scratch / L"stop") + " 30000\n    exit 7\n",
                    settings);
        if (c.registeredUnder) registry.add(c.registeredUnder, L"1.8.0_202", app.runtime().home());
        ChildProcess process = app.start();
        ASSERT_TRUE(waitForWindow(process.pid(), {}, 60000, L"SplashScreenWindow").found);
        writeFile(scratch / L"go", "");
        if (!c.stays) {
            EXPECT_EQ(process.exitCode(), 0);
            EXPECT_TRUE(app.record().inOrder({"returned", "detach", "destroy-end"})) << app.record().text();
            continue;
        }
        // The JVM alone ends such a process; the splash goes when main returns.
        EXPECT_TRUE(waitUntil([&] { return app.record().contains("returned"); })) << app.record().text();
        EXPECT_TRUE(waitUntil([&] { return splashWindowOf(process.pid()) == nullptr; }));
        // Only the daemon's System.exit(7) ends it: main's thread never left
        // the JVM, and nothing destroyed the JVM when main returned.
        writeFile(scratch / L"stop", "");
        EXPECT_EQ(process.exitCode(60000), 7);
        Record record = app.record();
        EXPECT_FALSE(record.contains("detach")) << record.text();
        EXPECT_FALSE(record.contains("destroy-begin")) << record.text();
    }
}

TEST(JavaLaunch, TheJavaExceptionDialogShowsWhatWasPrintedWhenTheTraceItselfFails) {
    struct Case {
        const char* what;
        const wchar_t* printing;  // the stand-in's PRINT_STACK_TRACE knob
        std::wstring trace;
    };
    const Case cases[] = {
        {"the trace prints", nullptr, L"java.lang.IllegalStateException: boom\r\n\tat demo.Hello.main(Hello.java:3)\r\n"},
        {"the trace fails after its first line", L"throws", L"java.lang.IllegalStateException: boom\r\n"},
        // Nothing printed: the exception's class still says what happened.
        {"the trace fails at once", L"throws-at-once", L"java.lang.IllegalStateException"},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.applicationLines = "Failure Check=Yes\r\n";
        JavaApp app("class demo.Hello\nmethod main\n    throw java.lang.IllegalStateException boom\n", settings);
        std::map<std::wstring, std::wstring> knobs;
        if (c.printing) knobs[L"PRINT_STACK_TRACE"] = c.printing;
        ChildProcess process = app.start(L"", knobs);
        UiAction stop;
        stop.press = 2;
        WindowSnapshot dialog = waitForWindow(process.pid(), stop);
        ASSERT_TRUE(dialog.found) << c.what;
        EXPECT_EQ(dialog.caption, L"Java Exception") << c.what;
        EXPECT_EQ(dialog.text(kTraceEdit), c.trace) << c.what;
        EXPECT_EQ(process.exitCode(), -1) << c.what;
        expectCleanJniUse(app.record());
    }
}

TEST(JavaLaunch, AJavaFxApplicationClassWithoutMainIsLeftToTheRuntimesLauncherHelper) {
    const std::string script =
        "class javafx.application.Application\nmethod launch\n    return\n"
        "class demo.FxApp extends javafx.application.Application\nmethod start instance\n    return\n";
    for (Jvm jvm : {Jvm::Full, Jvm::NoBootLoader}) {
        const bool helper = jvm == Jvm::Full;
        SCOPED_TRACE(helper ? "with the launcher helper" : "without it");
        AppSettings settings;
        settings.mainClass = "demo.FxApp";
        settings.runtime.jvm = jvm;
        JavaApp app(script, settings);
        ChildProcess process = app.start();
        if (helper) {
            // The runtime's JavaFX main starts it.
            EXPECT_EQ(process.exitCode(), 0);
            const Event* fxMain = app.record().first("fx-main");
            ASSERT_NE(fxMain, nullptr) << app.record().text();
            EXPECT_EQ(fxMain->bytes("class"), "demo/FxApp");
        } else {
            WindowSnapshot box = answerMessageBox(process.pid());
            ASSERT_TRUE(box.found);
            EXPECT_EQ(box.message(), L"No main method found in specified class.\n");
            EXPECT_EQ(process.exitCode(), -1);
        }
        expectCleanJniUse(app.record());
    }
}
