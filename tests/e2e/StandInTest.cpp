// The stand-in Java runtime driven by standin-host.exe through the calls the
// launcher makes: creation, the record, the scripted main class, exits,
// exceptions, redirection, destruction.
#include <gtest/gtest.h>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

TEST(StandIn, CreationOptionsAreRecordedExactly) {
    TempDir dir;
    // Bytes that no code page conversion may touch: Latin-1 and UTF-8
    // sequences, a blank, a percent sign and an equals sign.
    const std::string latin = "-Dname=caf\xE9 %20=x";
    const std::string utf8 = "-Dpath=C:\\\xC3\xA4\xE2\x82\xAC";
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" option-hex " + hex(latin) + L" option-hex " + hex(utf8) +
                                   L" option -Xmx256m option -Xss2m option -Xint create");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    auto creation = run.record.creation();
    ASSERT_TRUE(creation);
    EXPECT_EQ(creation->version, 0x00010002);
    EXPECT_EQ(creation->optionCount, 7);
    EXPECT_FALSE(creation->ignoreUnrecognized);
    EXPECT_TRUE(creation->exitHook);
    EXPECT_TRUE(creation->abortHook);
    EXPECT_FALSE(creation->vfprintfHook);
    std::vector<std::string> expected = {latin, utf8, "-Xmx256m", "-Xss2m", "-Xint", "abort", "exit"};
    EXPECT_EQ(creation->options, expected);
    EXPECT_EQ(creation->result, 0);
    EXPECT_EQ(run.record.property("name"), "caf\xE9 %20=x");
    const Event* settings = run.record.first("settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->number("xmx"), 256LL << 20);
    EXPECT_EQ(settings->number("xss"), 2LL << 20);
}

TEST(StandIn, CreationResultsFollowTheOptionsAndKnobs) {
    struct Case {
        const wchar_t* steps;
        std::map<std::wstring, std::wstring> knobs;
        std::int32_t result;
    } cases[] = {
        {L"option -Xbogus create", {}, -1},
        {L"option -Xbogus ignore-unrecognized create", {}, 0},
        {L"option --no-such-thing create", {}, -1},
        {L"option -Xmxlots create", {}, -6},
        {L"option -Xms2g option -Xmx1g create", {}, -6},
        {L"option -Xmx2g create", {{L"HEAP_LIMIT", L"1073741824"}}, -4},
        {L"option -XX:+UseG1GC option -XX:MaxRAMPercentage=50 option -ea option -verbose:gc create", {}, 0},
        {L"version 00010001 create", {}, -3},
        {L"version 00010008 create", {}, 0},
        {L"create", {{L"CREATE_RESULT", L"-5"}}, -5},
        {L"create", {{L"CREATE_RESULT", L"7"}}, 7},
    };
    for (const auto& c : cases) {
        TempDir dir;
        HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" " + c.steps, c.knobs);
        auto creation = run.record.creation();
        ASSERT_TRUE(creation) << narrow(c.steps);
        EXPECT_EQ(creation->result, c.result) << narrow(c.steps) << "\n" << run.record.text();
        EXPECT_EQ(run.exitCode, c.result == 0 ? 0 : 1) << narrow(c.steps);
        const Event* host = run.record.first("host-create");
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(host->flag("vm"), c.result == 0) << narrow(c.steps);
    }
}

TEST(StandIn, UnrecognizedOptionIsReportedOnTheErrorOutput) {
    TempDir dir;
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" option -Xbogus create");
    EXPECT_EQ(run.record.creation()->result, -1);
    const Event* out = run.record.first("output");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->bytes("bytes"), "Unrecognized option: -Xbogus\r\n");
}

TEST(StandIn, DefaultInitArgsReportTheChosenStackSize) {
    struct Case {
        std::map<std::wstring, std::wstring> knobs;
        long long stack;
    } cases[] = {{{}, 1048576}, {{{L"DEFAULT_STACK_SIZE", L"8388608"}}, 8388608}, {{{L"DEFAULT_STACK_SIZE", L"0"}}, 0}};
    for (const auto& c : cases) {
        TempDir dir;
        HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" default-args", c.knobs);
        const Event* e = run.record.first("host-default-args");
        ASSERT_NE(e, nullptr) << run.record.text();
        EXPECT_EQ(e->number("stack"), c.stack);
        EXPECT_EQ(e->number("version"), 0x00010002);  // updated as a runtime does
        EXPECT_EQ(e->number("result"), -1);           // the 1.1 record itself is no longer supported
    }
}

TEST(StandIn, CreatingThreadStackReservationIsRecorded) {
    TempDir dir;
    RecordFile record(dir.path());
    ChildProcess::Options options;
    options.commandLine = quoted(hostExe()) + L" --thread-stack 8388608 load " + quoted(jvmDll()) + L" create";
    options.environment = record.environment();
    ChildProcess child(options);
    ASSERT_EQ(child.exitCode(60000), 0);
    EXPECT_EQ(record.read().creation()->stackReserve, 8388608);
}

TEST(StandIn, MainReceivesItsArgumentsAsExactUtf16) {
    TempDir dir;
    writeScript(dir.path(), L"classes\\demo\\Hello.class", "method main\n    args out\n");
    // An empty string, a blank, non-ASCII text, a surrogate pair and a lone surrogate.
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" option " + quoted(L"-Djava.class.path=" + dir / L"classes") +
                                   L" create arg \"\" arg \"two words\" arg " + quoted(L"\u00e4\u20ac") +
                                   L" arg-hex D83DDE00 arg-hex D800 main demo.Hello");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    std::vector<std::wstring> expected = {L"", L"two words", L"\u00e4\u20ac", L"\xD83D\xDE00", L"\xD800"};
    EXPECT_EQ(run.record.mainArguments(), expected);
    // Printed through System.out in UTF-8; the lone surrogate becomes '?'.
    EXPECT_EQ(run.record.output("out"), "\r\ntwo words\r\n\xC3\xA4\xE2\x82\xAC\r\n\xF0\x9F\x98\x80\r\n?\r\n");
}

TEST(StandIn, SystemExitCallsTheExitHookThenEndsTheProcess) {
    TempDir dir;
    writeScript(dir.path(), L"classes\\demo\\Quit.class", "method main\n    println out leaving\n    exit 42\n    println out never\n");
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" option " + quoted(L"-Djava.class.path=" + dir / L"classes") +
                                   L" create main demo.Quit");
    EXPECT_EQ(run.exitCode, 42);
    EXPECT_EQ(run.record.exitStatus(), 42);
    EXPECT_TRUE(run.record.inOrder({"system-exit", "exit-hook", "host-exit-hook", "exit-hook-returned", "process-exit"}))
        << run.record.text();
    EXPECT_EQ(run.record.output("out"), "leaving\r\n");
    EXPECT_FALSE(run.record.contains("host-main"));  // main never returned
}

TEST(StandIn, SystemExitThroughJniEndsTheProcess) {
    TempDir dir;
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" create exit -1");
    EXPECT_EQ(run.exitCode, -1);
    EXPECT_EQ(run.record.exitStatus(), -1);
    EXPECT_FALSE(run.record.contains("host-exit-returned"));
}

TEST(StandIn, ExceptionDescribePrintsThePendingExceptionOnSystemErr) {
    TempDir dir;
    const std::wstring err = dir / L"logs\\err.txt";
    makeDirs(dir / L"logs");
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" create err " + quoted(err) + L" find demo/Missing");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    EXPECT_EQ(readFile(err),
              "java.lang.NoClassDefFoundError: demo/Missing\r\n"
              "Caused by: java.lang.ClassNotFoundException: demo.Missing\r\n"
              "\tat java.net.URLClassLoader.findClass(URLClassLoader.java:382)\r\n"
              "\tat java.lang.ClassLoader.loadClass(ClassLoader.java:424)\r\n"
              "\tat sun.misc.Launcher$AppClassLoader.loadClass(Launcher.java:349)\r\n"
              "\tat java.lang.ClassLoader.loadClass(ClassLoader.java:357)\r\n");
    const Event* describe = run.record.first("describe");
    ASSERT_NE(describe, nullptr);
    EXPECT_EQ(describe->bytes("class"), "java/lang/NoClassDefFoundError");
    EXPECT_EQ(describe->text("message"), L"demo/Missing");
    // The runtime's own "Exception in thread" prefix goes to its error output, not System.err.
    bool prefix = false;
    for (const auto& e : run.record.named("output"))
        prefix |= e.raw("sys") == "-" && e.bytes("bytes") == "Exception in thread \"main\" ";
    EXPECT_TRUE(prefix) << run.record.text();
}

TEST(StandIn, RedirectedSystemOutLandsInTheFile) {
    struct Case {
        const wchar_t* step;
        std::string expected;
    } cases[] = {{L"out", "one\r\n"}, {L"out-append", "old\r\none\r\n"}};
    for (const auto& c : cases) {
        TempDir dir;
        writeScript(dir.path(), L"classes\\demo\\Hello.class", "method main\n    println out ${arg0}\n");
        const std::wstring out = dir / L"out.txt";
        writeFile(out, "old\r\n");
        HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" option " +
                                       quoted(L"-Djava.class.path=" + dir / L"classes") + L" create " + c.step + L" " +
                                       quoted(out) + L" arg one main demo.Hello");
        ASSERT_EQ(run.exitCode, 0) << run.record.text();
        EXPECT_EQ(readFile(out), c.expected) << narrow(c.step);
        const Event* set = run.record.first("set-out");
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(set->text("path"), out);
    }
}

TEST(StandIn, FileThatCannotBeOpenedThrowsFileNotFoundException) {
    TempDir dir;
    const std::wstring bad = dir / L"no\\such\\folder\\out.txt";
    const std::wstring err = dir / L"err.txt";
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" create err " + quoted(err) + L" out " + quoted(bad));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.record.contains("set-out"));
    const Event* describe = run.record.first("describe");
    ASSERT_NE(describe, nullptr);
    EXPECT_EQ(describe->bytes("class"), "java/io/FileNotFoundException");
    std::string text = readFile(err);
    EXPECT_EQ(text.rfind("java.io.FileNotFoundException: " + narrow(bad) + " (", 0), 0u) << text;
    EXPECT_NE(text.find("\tat java.io.FileOutputStream.<init>(FileOutputStream.java:213)\r\n"), std::string::npos);
}

TEST(StandIn, DestroyJavaVmWaitsForANonDaemonBackgroundTask) {
    TempDir dir;
    writeScript(dir.path(), L"classes\\demo\\Worker.class",
                "method main\n    background 1500 work\n    thread helper daemon\n    return\n"
                "method helper\n    sleep 60000\n");
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" option " + quoted(L"-Djava.class.path=" + dir / L"classes") +
                                   L" create main demo.Worker destroy");
    ASSERT_EQ(run.exitCode, 0) << run.record.text();
    EXPECT_TRUE(run.record.inOrder({"host-detach", "destroy-begin", "background-end", "destroy-end", "host-destroy"}))
        << run.record.text();
    EXPECT_EQ(run.record.first("destroy-begin")->number("waiting"), 1);  // the daemon thread is not waited for
    EXPECT_GE(run.record.first("host-destroy")->number("ms"), 1000);
}

TEST(StandIn, UnimplementedSlotFailsLoudly) {
    TempDir dir;
    HostRun run = runHost(dir.path(), L"load " + quoted(jvmDll()) + L" create slot 94");  // GetFieldID
    EXPECT_EQ(run.exitCode, 0x5107);
    const Event* trap = run.record.first("trap");
    ASSERT_NE(trap, nullptr) << run.record.text();
    EXPECT_EQ(trap->number("slot"), 94);
    EXPECT_EQ(trap->bytes("name"), "GetFieldID");
    EXPECT_FALSE(run.record.contains("host-slot-returned"));
}

TEST(StandIn, RecordParserDecodesEscapedValues) {
    Record record(
        "12 34 option index=0 bytes=-Da%3Db%20c%C3%A4%25 extra=0\n"
        "12 34 invoke class=demo/Hello method=main argc=3 arg=x%u0020y arg-null= arg=%uD83D%uDE00\n"
        "12 35 system-exit status=-3\n"
        "12 35 partial line without end");
    ASSERT_EQ(record.events().size(), 3u);
    EXPECT_EQ(record.events()[0].bytes("bytes"), "-Da=b c\xC3\xA4%");
    auto calls = record.invocations("main");
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_TRUE(calls[0].args);
    ASSERT_EQ(calls[0].args->size(), 3u);
    EXPECT_EQ((*calls[0].args)[0], L"x y");
    EXPECT_FALSE((*calls[0].args)[1].has_value());
    EXPECT_EQ((*calls[0].args)[2], L"\xD83D\xDE00");
    EXPECT_EQ(record.exitStatus(), -3);
    EXPECT_EQ(record.events()[2].tid, 35u);
    EXPECT_TRUE(record.inOrder({"option", "system-exit"}));
    EXPECT_FALSE(record.inOrder({"system-exit", "option"}));
}
