// DLL planting: a DLL named like a Windows DLL beside the launcher (or
// vexa-embed), or any DLL in the working folder, is never loaded. Run with
// dbghelp, gdiplus and bcrypt loaded native-first, which is how Windows
// searches for DLLs that are not among its known ones (see CMakeLists.txt).
#include <gtest/gtest.h>

#include "ImageFiles.h"
#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

// Whether this test runs with the native-first load order it needs.
bool plantedNamesLoadNativeFirst() {
    wchar_t value[1024] = {};
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", value, 1024);
    const std::wstring overrides = value;
    return overrides.find(L"dbghelp") != std::wstring::npos && overrides.find(L"gdiplus") != std::wstring::npos &&
           overrides.find(L"bcrypt") != std::wstring::npos;
}

// Plants the marking DLL as `name` in `folder`; returns the path of its mark.
std::wstring plant(const std::wstring& folder, const std::wstring& name) {
    copyFile(artefact(L"planted.dll"), folder + name);
    return folder + name + L".loaded";
}

// Main runs once the file `go` is there: the splash stays up until the test
// has seen it.
std::string mainWaitingFor(const std::wstring& go) {
    return "class demo.Hello\nmethod main\n    wait-file " + scriptPath(go) + " 60000\n    println out main ran\n";
}

}  // namespace

TEST(Planting, WindowsDllsBesideTheLauncherAreNeverLoaded) {
    ASSERT_TRUE(plantedNamesLoadNativeFirst()) << "run through ctest: VEXA_WINEDLLOVERRIDES is not in effect";
    struct Row {
        const char* what;
        std::wstring dll;
        bool x86Runtime;  // with "Pair Product", the architecture check runs
        std::string moreSettings;
    };
    TempDir images;
    writePng(images / L"splash.png", 40, 30, [](int, int) { return Rgba{200, 40, 40, 255}; });
    const Row rows[] = {
        {"architecture check, 64-bit runtime", L"Dbghelp.dll", false, ""},
        {"architecture check, 32-bit runtime", L"Dbghelp.dll", true, ""},
        {"splash image", L"gdiplus.dll", false,
         "[Display]\r\nSplash Screen=" + narrow(images / L"splash.png") + "\r\n"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        JavaHome runtime(dir / L"jre\\", RuntimeOptions{.jvm = row.x86Runtime ? Jvm::X86 : Jvm::Full});
        const std::wstring go = dir / L"go";
        writeScript(dir.path(), L"app\\lib\\app.jar", mainWaitingFor(go));
        copyFile(artefact(L"argprobe.exe"), dir / L"paired\\MyApp32.exe");
        LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                         "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nJRE Path=" +
                             narrow(runtime.home()) +
                             "\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n"
                             "[Application]\r\nPair Return Code=Yes\r\nPair Product=" +
                             narrow(dir / L"paired\\MyApp32.exe") + "\r\n" + row.moreSettings);
        const std::wstring mark = plant(app.folder(), row.dll);
        RecordFile record(dir.path());
        auto environment = record.environment();
        environment[L"VEXA_ARGPROBE_OUT"] = dir / L"paired.txt";
        ChildProcess process = app.start(L"x", environment);
        if (!row.moreSettings.empty()) {
            // The system's GDI+ still draws the splash.
            EXPECT_TRUE(waitForWindow(process.pid(), {}, 60000, L"SplashScreenWindow").found) << row.what;
        }
        writeFile(go, "");
        EXPECT_EQ(process.exitCode(60000), 0) << row.what;
        EXPECT_FALSE(exists(mark)) << row.what << ": the planted " << narrow(row.dll) << " was loaded";
        // The system's image helper still tells a 32-bit runtime apart.
        EXPECT_EQ(exists(dir / L"paired.txt"), row.x86Runtime) << row.what;
        EXPECT_EQ(record.read().output("out") == "main ran\r\n", !row.x86Runtime) << row.what;
    }
}

TEST(Planting, BcryptBesideVexaEmbedDoesNotSupplyTheNonce) {
    ASSERT_TRUE(plantedNamesLoadNativeFirst()) << "run through ctest: VEXA_WINEDLLOVERRIDES is not in effect";
    TempDir dir;
    copyFile(artefact(L"vexa-embed.exe"), dir / L"vexa-embed.exe");
    const std::wstring mark = plant(dir.path(), L"bcrypt.dll");
    copyFile(artefact(L"vexa.exe"), dir / L"MyApp.exe");
    writeFile(dir / L"defaults.ini", "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n");
    ChildProcess::Options options;
    options.application = dir / L"vexa-embed.exe";
    options.commandLine = vexa::test::quoted(options.application) + L" write " + vexa::test::quoted(dir / L"MyApp.exe") + L" " +
                          vexa::test::quoted(dir / L"defaults.ini");
    options.workingDirectory = dir.path();
    ChildProcess embed(options);
    ASSERT_TRUE(embed.started()) << embed.startError();
    EXPECT_EQ(embed.exitCode(), 0);
    EXPECT_FALSE(exists(mark)) << "the planted bcrypt.dll was loaded";
}

TEST(Planting, NoDllComesFromTheWorkingFolder) {
    // The runtime's JVM library needs a DLL from its "bin\" folder; a DLL of
    // the same name in the folder the user started from must not replace it.
    TempDir dir;
    JavaHome runtime(dir / L"jre\\", RuntimeOptions{.jvm = Jvm::WithSupport});
    writeScript(dir.path(), L"app\\lib\\app.jar", "class demo.Hello\nmethod main\n    println out main ran\n");
    LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                     "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nJRE Path=" + narrow(runtime.home()) +
                         "\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n");
    copyFile(jvmSupportDll(), dir / L"downloads\\jvmsupport.dll");
    RecordFile record(dir.path());
    ChildProcess::Options options;
    options.application = app.exePath();
    options.commandLine = vexa::test::quoted(app.exePath());
    options.workingDirectory = dir / L"downloads";
    options.environment = record.environment();
    ChildProcess process(options);
    ASSERT_TRUE(process.started()) << process.startError();
    EXPECT_EQ(process.exitCode(60000), 0);
    Record seen = record.read();
    auto loads = seen.named("support-load");
    ASSERT_EQ(loads.size(), 1u) << seen.text();
    EXPECT_EQ(loads[0].text("module"), runtime.home() + L"bin\\jvmsupport.dll");
    EXPECT_EQ(seen.output("out"), "main ran\r\n");
}
