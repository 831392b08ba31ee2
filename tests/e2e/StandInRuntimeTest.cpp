// The stand-in runtime's variants, its Java classes and scripted
// applications, its splash library, and the misuses it refuses.
#include <gtest/gtest.h>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

std::wstring classPathOption(const std::wstring& entries) { return L"option " + quoted(L"-Djava.class.path=" + entries); }

std::wstring start(Jvm jvm = Jvm::Full) { return L"load " + quoted(jvmDll(jvm)) + L" "; }

}  // namespace

TEST(StandInRuntime, EachVariantLacksItsExport) {
    struct Case {
        Jvm jvm;
        const char* variant;
        bool create, defaults, bootLoader;
    } cases[] = {
        {Jvm::Full, "full", true, true, true},
        {Jvm::NoCreate, "no-create", false, true, true},
        {Jvm::NoDefaults, "no-defaults", true, false, true},
        {Jvm::NoBootLoader, "no-bootloader", true, true, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        HostRun run = runHost(dir.path(), start(c.jvm));
        const Event* load = run.record.first("load");
        ASSERT_NE(load, nullptr) << c.variant;
        EXPECT_EQ(load->bytes("variant"), c.variant);
        EXPECT_EQ(load->bytes("arch"), "x64");
        EXPECT_EQ(load->text("module"), jvmDll(c.jvm));
        const Event* host = run.record.first("host-load");
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(host->flag("create"), c.create) << c.variant;
        EXPECT_EQ(host->flag("defaults"), c.defaults) << c.variant;
        EXPECT_EQ(host->flag("bootloader"), c.bootLoader) << c.variant;
    }
}

TEST(StandInRuntime, ThirtyTwoBitLibraryCannotBeLoadedByA64BitProcess) {
    std::string image = readFile(jvmDll(Jvm::X86));
    ASSERT_GT(image.size(), 0x100u);
    auto u32 = [&](size_t at) { return *reinterpret_cast<const std::uint32_t*>(image.data() + at); };
    auto u16 = [&](size_t at) { return *reinterpret_cast<const std::uint16_t*>(image.data() + at); };
    std::uint32_t pe = u32(0x3C);
    EXPECT_EQ(u32(pe), 0x00004550u);
    EXPECT_EQ(u16(pe + 4), 0x014C);

    SetLastError(0);
    HMODULE module = LoadLibraryW(jvmDll(Jvm::X86).c_str());
    DWORD error = GetLastError();
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(error, 193u);

    TempDir dir;
    HostRun run = runHost(dir.path(), start(Jvm::X86));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.record.first("host-load")->number("error"), 193);
    EXPECT_FALSE(run.record.contains("load"));
}

TEST(StandInRuntime, SplashLibraryRecordsEachCall) {
    TempDir dir;
    const std::wstring image = dir / L"splash image.png";
    writeFile(image, "not really a picture");
    HostRun run = runHost(dir.path(), L"splash " + quoted(splashDll()) + L" " + quoted(image) + L" splash-close");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    EXPECT_TRUE(run.record.inOrder({"splash-load", "host-splash", "splash-init", "splash-load-file", "splash-jar-name",
                                    "splash-close"}))
        << run.record.text();
    EXPECT_EQ(run.record.first("splash-load")->bytes("variant"), "full");
    EXPECT_EQ(run.record.first("splash-load-file")->bytes("path"), narrow(image));
    EXPECT_TRUE(run.record.first("splash-load-file")->flag("exists"));
    const Event* jar = run.record.first("splash-jar-name");
    EXPECT_EQ(jar->bytes("path"), narrow(image));
    EXPECT_TRUE(jar->has("jar"));
    EXPECT_EQ(jar->bytes("jar"), "");

    TempDir other;
    HostRun partial =
        runHost(other.path(), L"splash " + quoted(splashDll(Splash::NoJarName)) + L" " + quoted(image) + L" splash-close");
    const Event* host = partial.record.first("host-splash");
    ASSERT_NE(host, nullptr) << partial.record.text();
    EXPECT_FALSE(host->flag("jar-name"));
    EXPECT_TRUE(host->flag("close"));
    EXPECT_FALSE(partial.record.contains("splash-init"));
    EXPECT_TRUE(partial.record.contains("splash-close"));
    EXPECT_EQ(partial.record.first("splash-load")->bytes("variant"), "no-jarname");
}

TEST(StandInRuntime, MisuseEndsTheProcessLoudly) {
    struct Case {
        const wchar_t* steps;
        const char* function;
        const char* reason;
    } cases[] = {
        {L"unattached-call", "FindClass", "called from a thread that is not attached to the Java VM"},
        {L"detach find java/lang/String", "FindClass", "called from a thread that is not attached to the Java VM"},
        {L"deleted-ref", "GetStringLength", "reference used after it was deleted or its thread left the VM"},
        {L"foreign-local", "GetStringLength", "local reference of another thread"},
        {L"release-twice", "ReleaseStringUTFChars", "buffer was not handed out by this runtime or is released twice"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        HostRun run = runHost(dir.path(), start() + L"create " + c.steps);
        EXPECT_EQ(run.exitCode, 0x5108) << narrow(c.steps) << "\n" << run.record.text();
        const Event* misuse = run.record.first("misuse");
        ASSERT_NE(misuse, nullptr) << narrow(c.steps);
        EXPECT_EQ(misuse->bytes("name"), c.function);
        EXPECT_EQ(misuse->bytes("reason"), c.reason);
        EXPECT_FALSE(run.record.contains("host-misuse-returned"));
    }
}

TEST(StandInRuntime, CallsWithAnExceptionPendingAreRecordedOrRefused) {
    TempDir dir;
    HostRun lenient =
        runHost(dir.path(), start() + L"create find-keep demo/Nope find java/lang/String", {{L"STRICT", L"0"}});
    EXPECT_EQ(lenient.exitCode, 0);
    const Event* pending = lenient.record.first("pending-call");
    ASSERT_NE(pending, nullptr) << lenient.record.text();
    EXPECT_EQ(pending->bytes("name"), "FindClass");
    EXPECT_EQ(pending->bytes("exception"), "java/lang/NoClassDefFoundError");

    TempDir other;
    HostRun strict = runHost(other.path(), start() + L"create find-keep demo/Nope find java/lang/String");
    EXPECT_EQ(strict.exitCode, 0x5108);
    EXPECT_EQ(strict.record.first("misuse")->bytes("reason"), "called while java.lang.NoClassDefFoundError is pending");
}

TEST(StandInRuntime, GetStringUtfCharsGivesModifiedUtf8) {
    struct Case {
        const wchar_t* units;
        std::string bytes;
    } cases[] = {
        {L"0041", "A"},
        {L"0000", "\xC0\x80"},
        {L"00E9", "\xC3\xA9"},
        {L"20AC", "\xE2\x82\xAC"},
        {L"D83DDE00", "\xED\xA0\xBD\xED\xB8\x80"},
        {L"D800", "\xED\xA0\x80"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        HostRun run = runHost(dir.path(), start() + L"create utf16-hex " + c.units);
        const Event* utf = run.record.first("host-utf");
        ASSERT_NE(utf, nullptr) << run.record.text();
        EXPECT_EQ(utf->bytes("bytes"), c.bytes) << narrow(c.units);
        EXPECT_EQ(utf->number("length"), static_cast<long long>(c.bytes.size()));
    }
}

TEST(StandInRuntime, LauncherHelperFindsTheMainClassOrEndsTheProcess) {
    const std::string define = "   public static void main(String[] args)\r\n";
    struct Case {
        const wchar_t* mainClass;
        Jvm jvm;
        std::map<std::wstring, std::wstring> knobs;
        int exitCode;
        bool helperFound;
        std::string err;  // what System.err received
    } cases[] = {
        {L"demo.Hello", Jvm::Full, {}, 0, true, ""},
        {L"demo.Nope", Jvm::Full, {}, 1, false, "Error: Could not find or load main class demo.Nope\r\n"},
        {L"demo.NoMain", Jvm::Full, {}, 1, false,
         "Error: Main method not found in class demo.NoMain, please define the main method as:\r\n" + define +
             "or a JavaFX application class must extend javafx.application.Application\r\n"},
        {L"demo.IntMain", Jvm::Full, {}, 1, false,
         "Error: Main method must return a value of type void in class demo.IntMain, please \r\n"
         "define the main method as:\r\n" + define},
        {L"demo.Instance", Jvm::Full, {}, 1, false,
         "Error: Main method is not static in class demo.Instance, please define the main method as:\r\n" + define},
        {L"demo.Hello", Jvm::Full, {{L"LAUNCHER_HELPER", L"absent"}}, 0, false, ""},
        {L"demo.Hello", Jvm::Full, {{L"LAUNCHER_HELPER", L"null"}}, 0, false, ""},
        {L"demo.Hello", Jvm::NoBootLoader, {}, 0, false, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeScript(dir.path(), L"classes\\demo\\Hello.class", "method main\n    println out hi\n");
        writeScript(dir.path(), L"classes\\demo\\NoMain.class", "method other\n");
        writeScript(dir.path(), L"classes\\demo\\IntMain.class", "method main int\n");
        writeScript(dir.path(), L"classes\\demo\\Instance.class", "method main instance\n");
        const std::wstring err = dir / L"err.txt";
        HostRun run = runHost(dir.path(),
                              start(c.jvm) + classPathOption(dir / L"classes") + L" create err " + quoted(err) +
                                  L" main " + c.mainClass,
                              c.knobs);
        std::string label = narrow(c.mainClass) + " " + std::to_string(c.knobs.size());
        EXPECT_EQ(run.exitCode, c.exitCode) << label << "\n" << run.record.text();
        EXPECT_EQ(readFile(err), c.err) << label;
        if (c.exitCode == 1) {
            EXPECT_TRUE(run.record.inOrder({"check-and-load-main", "system-exit", "host-exit-hook", "process-exit"}))
                << label;
        } else {
            const Event* helper = run.record.first("host-helper");
            ASSERT_NE(helper, nullptr) << label;
            EXPECT_EQ(helper->flag("found"), c.helperFound) << label;
            EXPECT_EQ(run.record.output("out"), "hi\r\n") << label;
            // The fallback lookup found the class on the class path.
            if (!c.helperFound) {
                EXPECT_TRUE(run.record.inOrder({"host-helper", "class-load", "find-class"})) << label;
            }
        }
    }
}

TEST(StandInRuntime, MainClassWithoutMainLeavesNoSuchMethodErrorPending) {
    TempDir dir;
    writeScript(dir.path(), L"classes\\demo\\NoMain.class", "method other\n");
    HostRun run = runHost(dir.path(), start(Jvm::NoBootLoader) + classPathOption(dir / L"classes") + L" create main demo.NoMain");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.record.first("host-main")->bytes("result"), "no-main-exception");
    const Event* describe = run.record.first("describe");
    ASSERT_NE(describe, nullptr) << run.record.text();
    EXPECT_EQ(describe->bytes("class"), "java/lang/NoSuchMethodError");
    EXPECT_EQ(describe->text("message"), L"main");
    EXPECT_EQ(run.record.output("err"), "java.lang.NoSuchMethodError: main\r\n");
}

TEST(StandInRuntime, ClassesAreFoundAlongTheClassPathInOrder) {
    TempDir dir;
    writeScript(dir.path(), L"first\\demo\\Only.class", "method main\n");
    writeScript(dir.path(), L"lib\\app.jar",
                "# two classes in one text jar\nclass demo.A\nmethod main\nclass demo/B\nmethod main\n");
    writeScript(dir.path(), L"second\\demo\\B.class", "method main\n");
    writeScript(dir.path(), L"second\\demo\\C.class", "class demo.C\nmethod main\n");
    writeScript(dir.path(), L"second\\demo\\Bad.class", "method main\n    println out fine\n    bogus command\n");
    writeScript(dir.path(), L"second\\demo\\Named.class", "class demo.Other\nmethod main\n");
    // Relative entries are taken from the working folder, as a runtime does.
    HostRun run = runHost(dir.path(), start() + classPathOption(L"first;lib\\app.jar;" + dir / L"second") +
                                          L" create find demo/Only find demo/A find demo/B find demo/C find demo/c"
                                          L" find demo/Bad find demo/Named find demo/Missing find demo.A");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    auto loads = run.record.named("class-load");
    std::map<std::string, std::wstring> sources;
    for (const auto& e : loads) sources[e.bytes("name")] = e.text("source");
    EXPECT_EQ(sources["demo/Only"], L"first\\demo\\Only.class");
    EXPECT_EQ(sources["demo/A"], L"lib\\app.jar");
    EXPECT_EQ(sources["demo/B"], L"lib\\app.jar");
    EXPECT_EQ(sources["demo/C"], dir / L"second\\demo\\C.class");
    std::vector<std::pair<std::string, std::wstring>> errors;
    for (const auto& e : run.record.named("describe")) errors.emplace_back(e.bytes("class"), e.text("message"));
    std::vector<std::pair<std::string, std::wstring>> expected = {
        {"java/lang/NoClassDefFoundError", L"demo/c (wrong name: demo/C)"},
        {"java/lang/ClassFormatError", L"demo/Bad (line 3: unknown command bogus)"},
        {"java/lang/NoClassDefFoundError", L"demo/Named (wrong name: demo/Other)"},
        {"java/lang/NoClassDefFoundError", L"demo/Missing"},
        {"java/lang/NoClassDefFoundError", L"demo.A"},
    };
    EXPECT_EQ(errors, expected);
}

TEST(StandInRuntime, UncaughtExceptionTraceHasItsCause) {
    const char* script =
        "method main\n"
        "    cause java.io.IOException disk \\u00e4\n"
        "    throw com.example.AppException Something went wrong: \\u00e4\\u00f6\\u00fc\n";
    const std::wstring trace =
        L"com.example.AppException: Something went wrong: \u00e4\u00f6\u00fc\r\n"
        L"\tat demo.Boom.main(Boom.java:3)\r\n"
        L"Caused by: java.io.IOException: disk \u00e4\r\n"
        L"\t... 1 more\r\n";
    {
        // The launcher's trace text: printStackTrace into a byte buffer.
        TempDir dir;
        writeScript(dir.path(), L"classes\\demo\\Boom.class", script);
        HostRun run = runHost(dir.path(), start() + classPathOption(dir / L"classes") + L" create failure-check main demo.Boom");
        ASSERT_EQ(run.exitCode, 0) << run.record.text();
        EXPECT_EQ(run.record.first("host-trace")->text("text"), trace);
        EXPECT_EQ(run.record.first("returned")->bytes("exception"), "com/example/AppException");
    }
    {
        // Left pending, it is printed as uncaught when the thread detaches.
        TempDir dir;
        writeScript(dir.path(), L"classes\\demo\\Boom.class", script);
        const std::wstring err = dir / L"err.txt";
        HostRun run = runHost(dir.path(), start() + classPathOption(dir / L"classes") + L" create err " + quoted(err) +
                                              L" main demo.Boom");
        ASSERT_EQ(run.exitCode, 0) << run.record.text();
        EXPECT_EQ(widen(readFile(err)), L"Exception in thread \"main\" " + trace);
        EXPECT_TRUE(run.record.inOrder({"detach", "uncaught", "host-detach"}));
    }
}

TEST(StandInRuntime, UncaughtExceptionOfAThreadIsPrintedWithItsName) {
    TempDir dir;
    writeScript(dir.path(), L"classes\\demo\\T.class",
                "method main\n    thread worker\nmethod worker\n    throw java.lang.IllegalStateException boom\n");
    const std::wstring err = dir / L"err.txt";
    HostRun run = runHost(dir.path(), start() + classPathOption(dir / L"classes") + L" create err " + quoted(err) +
                                          L" main demo.T destroy");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    EXPECT_EQ(readFile(err),
              "Exception in thread \"Thread-0\" java.lang.IllegalStateException: boom\r\n"
              "\tat demo.T.worker(T.java:4)\r\n"
              "\tat java.lang.Thread.run(Thread.java:748)\r\n");
    // Printed before the runtime is gone, whenever the thread ends.
    EXPECT_TRUE(run.record.inOrder({"uncaught", "destroy-end"}));
}

TEST(StandInRuntime, SecondaryMainRunsOnAnAttachedThread) {
    struct Case {
        const char* script;
        int status;
        bool isInt;
        long long result;
    } cases[] = {
        {"method main\nmethod secondaryMain int\n    args out\n    return 7\n", 0, true, 7},
        {"method main\nmethod secondaryMain\n    args out\n    return\n", 0, false, 0},
        {"method main\n", 1, false, 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeScript(dir.path(), L"classes\\demo\\App.class", c.script);
        HostRun run = runHost(dir.path(), start() + classPathOption(dir / L"classes") +
                                              L" create no-detach sarg x sarg \"y z\" secondary demo.App");
        ASSERT_EQ(run.exitCode, 0) << run.record.text();
        EXPECT_EQ(run.record.first("host-secondary-thread")->number("status"), c.status) << c.script;
        if (c.status != 0) {
            EXPECT_EQ(run.record.last("describe")->bytes("class"), "java/lang/NoSuchMethodError");
            continue;
        }
        const Event* secondary = run.record.first("host-secondary");
        EXPECT_EQ(secondary->flag("int"), c.isInt);
        EXPECT_EQ(secondary->number("result"), c.result);
        auto calls = run.record.invocations("secondaryMain");
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].thread, L"Thread-0");
        std::vector<std::optional<std::wstring>> args = {L"x", L"y z"};
        EXPECT_EQ(calls[0].args, args);
        EXPECT_EQ(run.record.output("out"), "x\r\ny z\r\n");
        EXPECT_TRUE(run.record.inOrder({"attach", "find-class", "invoke", "returned", "detach"}));
    }
}

TEST(StandInRuntime, ScriptCommandsDoWhatTheySay) {
    TempDir dir;
    writeScript(dir.path(), L"classes\\demo\\Cmd.class",
                "class demo.Cmd\n"
                "method main\n"
                "    property out app.name\n"
                "    property out no.such.property\n"
                "    env out VEXA_STANDIN_RECORD\n"
                "    env out VEXA_STANDIN_UNSET_VARIABLE\n"
                "    print err no newline\n"
                "    write \"${prop:user.dir}\\written file.txt\" first\\nline\n"
                "    append \"${prop:user.dir}\\written file.txt\" \\u00e4\n"
                "    call helper\n"
                "    record done ${argc} ${thread}\n"
                "    return\n"
                "    println out not reached\n"
                "method helper\n"
                "    println out helper ${arg0}\\t${arg1}\n");
    HostRun run = runHost(dir.path(), start() + classPathOption(dir / L"classes") +
                                          L" option -Dapp.name=Demo create arg one arg \"two 2\" main demo.Cmd");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    EXPECT_EQ(run.record.output("out"), "app.name=Demo\r\nno.such.property=null\r\nVEXA_STANDIN_RECORD=" +
                                            narrow(dir / L"standin-record.txt") +
                                            "\r\nVEXA_STANDIN_UNSET_VARIABLE=null\r\nhelper one\ttwo 2\r\n");
    EXPECT_EQ(run.record.output("err"), "no newline");
    EXPECT_EQ(readFile(dir / L"written file.txt"), "first\nline\xC3\xA4");
    EXPECT_EQ(run.record.first("mark")->text("text"), L"done 2 main");
}

TEST(StandInRuntime, AbortAndFatalErrorCallTheAbortHook) {
    struct Case {
        const wchar_t* steps;
        std::string message;
    } cases[] = {
        {L" main demo.Abort", "bye"},
        {L" fatal-error oops", "FATAL ERROR in native method: oops\r\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeScript(dir.path(), L"classes\\demo\\Abort.class", "method main\n    abort bye\n");
        HostRun run = runHost(dir.path(), start() + classPathOption(dir / L"classes") + L" create" + c.steps);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.record.first("abort")->bytes("message"), c.message);
        EXPECT_TRUE(run.record.inOrder({"abort", "abort-hook", "host-abort-hook", "abort-hook-returned", "process-exit"}))
            << run.record.text();
    }
}

TEST(StandInRuntime, VfprintfHookReceivesTheRuntimesMessages) {
    TempDir dir;
    HostRun run = runHost(dir.path(), start() + L"vfprintf-hook option -Xbogus create");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.record.creation()->vfprintfHook);
    const Event* hook = run.record.first("host-vfprintf");
    ASSERT_NE(hook, nullptr) << run.record.text();
    EXPECT_EQ(hook->bytes("text"), "Unrecognized option: -Xbogus\r\n");
}

TEST(StandInRuntime, GetEnvFollowsTheThreadsAttachment) {
    TempDir dir;
    HostRun run = runHost(dir.path(), start() + L"create getenv detach getenv");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    auto results = run.record.named("host-getenv");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].number("result"), 0);
    EXPECT_TRUE(results[0].flag("same"));
    EXPECT_EQ(results[1].number("result"), -2);
    EXPECT_EQ(run.record.first("detach")->number("result"), 0);
}

TEST(StandInRuntime, NativeThreadsAreWaitedForUnlessDaemons) {
    TempDir dir;
    HostRun run = runHost(dir.path(), start() + L"create native-thread 1200 daemon-thread 60000 detach destroy-twice");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    const Event* begin = run.record.first("destroy-begin");
    ASSERT_NE(begin, nullptr);
    EXPECT_EQ(begin->number("waiting"), 1);
    EXPECT_EQ(begin->text("thread"), L"worker");
    EXPECT_TRUE(run.record.inOrder({"destroy-begin", "host-native-thread-end", "destroy-end"})) << run.record.text();
    auto destroys = run.record.named("host-destroy");
    ASSERT_EQ(destroys.size(), 2u);
    EXPECT_EQ(destroys[0].number("result"), 0);
    EXPECT_EQ(destroys[1].number("result"), -1);  // the VM is gone
    const Event* daemon = run.record.first("attach-daemon");
    ASSERT_NE(daemon, nullptr);
    EXPECT_EQ(daemon->text("name"), L"worker");
    EXPECT_EQ(daemon->number("result"), 0);
}

TEST(StandInRuntime, LocalFrameKeepsOnlyItsResult) {
    TempDir dir;
    HostRun run = runHost(dir.path(), start() + L"create frames");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    const Event* frames = run.record.first("host-frames");
    ASSERT_NE(frames, nullptr);
    EXPECT_EQ(frames->number("push"), 0);
    EXPECT_EQ(frames->number("inner", -1), 0);  // JNIInvalidRefType: released with the frame
    EXPECT_EQ(frames->number("kept", -1), 0);
    EXPECT_EQ(frames->number("result"), 1);  // JNILocalRefType in the outer frame
    EXPECT_EQ(frames->number("length"), 4);
}

TEST(StandInRuntime, CallThroughAnotherResultTypeIsRecordedOrRefused) {
    TempDir dir;
    HostRun run = runHost(dir.path(), start() + L"create mismatch", {{L"STRICT", L"0"}});
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    const Event* mismatch = run.record.first("result-mismatch");
    ASSERT_NE(mismatch, nullptr);
    EXPECT_EQ(mismatch->bytes("name"), "CallObjectMethod");
    EXPECT_EQ(mismatch->bytes("method"), "printStackTrace");
    const Event* host = run.record.first("host-mismatch");
    EXPECT_TRUE(host->flag("null"));
    EXPECT_EQ(host->number("size"), static_cast<long long>(std::string("java.lang.IllegalStateException\r\n").size()));

    TempDir other;
    HostRun strict = runHost(other.path(), start() + L"create mismatch");
    EXPECT_EQ(strict.exitCode, 0x5108);
}

TEST(StandInRuntime, WhatCheckJniWarnsAboutIsFatalUnlessLenient) {
    struct Row {
        const wchar_t* steps;
        const char* event;     // recorded in both modes; null: a use without fault
        const char* function;  // whose call breaks the rule
    };
    const Row rows[] = {
        // A Call function may leave an exception: the next call must check.
        {L"unchecked", "unchecked-call", "FindClass"},
        // U+1F600 in standard UTF-8; modified UTF-8 has two 3-byte surrogates.
        {L"utf-hex F09F9880", "bad-utf8", "NewStringUTF"},
        {L"utf-hex EDA0BDEDB880", nullptr, nullptr},
        // Sixteen local references without asking, more after EnsureLocalCapacity.
        {L"locals 40", "local-capacity", "NewStringUTF"},
        {L"ensure 60 locals 40", nullptr, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.steps));
        TempDir dir;
        HostRun strict = runHost(dir.path(), start() + L"create " + row.steps);
        TempDir other;
        HostRun lenient = runHost(other.path(), start() + L"create " + row.steps, {{L"STRICT", L"0"}});
        EXPECT_EQ(lenient.exitCode, 0) << lenient.record.text();
        if (!row.event) {
            EXPECT_EQ(strict.exitCode, 0) << strict.record.text();
            EXPECT_FALSE(strict.record.contains("misuse")) << strict.record.text();
            continue;
        }
        EXPECT_EQ(strict.exitCode, 0x5108) << strict.record.text();
        const Event* misuse = strict.record.first("misuse");
        ASSERT_NE(misuse, nullptr) << strict.record.text();
        EXPECT_EQ(misuse->bytes("name"), row.function);
        const Event* warned = lenient.record.first(row.event);
        ASSERT_NE(warned, nullptr) << lenient.record.text();
        EXPECT_EQ(warned->bytes("name"), row.function);
    }
}

TEST(StandInRuntime, FailAtMakesTheNthCallFailAsOutOfMemory) {
    TempDir dir;
    HostRun run = runHost(dir.path(), start() + L"create find java/lang/String find java/lang/String find java/lang/String",
                          {{L"FAIL_AT", L"FindClass:2"}});
    EXPECT_EQ(run.exitCode, 0) << run.record.text();
    const Event* failed = run.record.first("fail-at");
    ASSERT_NE(failed, nullptr) << run.record.text();
    EXPECT_EQ(failed->bytes("name"), "FindClass");
    EXPECT_EQ(failed->number("call"), 2);
    const Event* described = run.record.first("describe");
    ASSERT_NE(described, nullptr) << run.record.text();
    EXPECT_EQ(described->bytes("class"), "java/lang/OutOfMemoryError");
    EXPECT_EQ(run.record.named("find-class").size(), 2u) << run.record.text();  // the failed call finds nothing
}

TEST(StandInRuntime, ScriptFaultsAreClassFormatErrors) {
    struct Case {
        const char* script;
        const wchar_t* reason;
    } cases[] = {
        {"method\n", L"line 1: method needs a name"},
        {"method main long\n", L"line 1: unknown method modifier long"},
        {"println out x\n", L"line 1: println outside a method"},
        {"method main\n    exit soon\n", L"line 2: exit needs a status"},
        {"method main\n# a comment\nmethod main\n", L"line 3: method main defined twice"},
        {"method main\n    println nowhere x\n", L"line 2: println needs out or err"},
        {"method main\n    launch rockets\n", L"line 2: unknown command launch"},
        {"class demo.Bad7\nmethod main\nclass demo.Other\n", L"a class file holds one class"},
    };
    TempDir dir;
    std::wstring steps = start() + classPathOption(dir / L"classes") + L" create";
    for (size_t i = 0; i < std::size(cases); ++i) {
        writeScript(dir.path(), L"classes\\demo\\Bad" + std::to_wstring(i) + L".class", cases[i].script);
        steps += L" find demo/Bad" + std::to_wstring(i);
    }
    HostRun run = runHost(dir.path(), steps);
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    auto described = run.record.named("describe");
    ASSERT_EQ(described.size(), std::size(cases)) << run.record.text();
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(described[i].bytes("class"), "java/lang/ClassFormatError");
        EXPECT_EQ(described[i].text("message"), L"demo/Bad" + std::to_wstring(i) + L" (" + cases[i].reason + L")");
    }
}

TEST(StandInRuntime, OutputFollowsTheDefaultEncoding) {
    const std::wstring text = L"\u00e4\u20ac";
    char ansi[16] = {};
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), 2, ansi, sizeof ansi, "?", nullptr);
    struct Case {
        const wchar_t* option;
        std::string bytes;
    } cases[] = {
        {L"", "\xC3\xA4\xE2\x82\xAC\r\n"},
        {L" option -Dfile.encoding=Cp1252", std::string(ansi, static_cast<size_t>(length)) + "\r\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeScript(dir.path(), L"classes\\demo\\Enc.class", "method main\n    println out \\u00e4\\u20ac\n");
        HostRun run = runHost(dir.path(), start() + classPathOption(dir / L"classes") + c.option + L" create main demo.Enc");
        ASSERT_EQ(run.exitCode, 0) << run.record.text();
        EXPECT_EQ(run.record.output("out"), c.bytes) << narrow(c.option);
    }
}
