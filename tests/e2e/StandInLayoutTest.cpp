// The runtime layout and registry helpers that discovery tests build on.
#include <gtest/gtest.h>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

std::optional<std::wstring> readJavaHome(const std::wstring& path, RegistryView view) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    REGSAM flag = view == RegistryView::Wow32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | flag, &key) != ERROR_SUCCESS) return std::nullopt;
    LONG status = RegQueryValueExW(key, L"JavaHome", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buffer);
}

bool keyExists(const std::wstring& path, RegistryView view) {
    REGSAM flag = view == RegistryView::Wow32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | flag, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST(StandInLayout, RuntimeFoldersHoldTheStandInLibraries) {
    struct Case {
        RuntimeOptions options;
        const wchar_t* jvm;     // relative to the home
        const wchar_t* splash;  // relative to the home, or null
    } cases[] = {
        {{}, L"bin\\server\\jvm.dll", nullptr},
        {{L"bin\\client\\jvm.dll", Jvm::NoBootLoader, true, true}, L"bin\\client\\jvm.dll", L"bin\\splashscreen.dll"},
        {{L"bin\\jrockit\\jvm.dll", Jvm::Full, true, false, Splash::Full, true}, L"jre\\bin\\jrockit\\jvm.dll", nullptr},
        {{L"bin\\hotspot\\jvm.dll", Jvm::X86, true, true, Splash::NoJarName}, L"bin\\hotspot\\jvm.dll",
         L"bin\\splashscreen.dll"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        JavaHome home(dir / L"java", c.options);
        EXPECT_EQ(home.home(), dir / L"java\\");
        EXPECT_EQ(home.jvmPath(), home.home() + c.jvm);
        EXPECT_EQ(readFile(home.jvmPath()), readFile(jvmDll(c.options.jvm)));
        EXPECT_EQ(exists(home.runtimeHome() + L"bin\\java.dll"), c.options.javaDll);
        if (c.splash != nullptr) {
            EXPECT_EQ(home.splashPath(), home.home() + c.splash);
            EXPECT_EQ(readFile(home.splashPath()), readFile(splashDll(c.options.splashVariant)));
        } else {
            EXPECT_FALSE(exists(home.splashPath()));
        }
    }
}

TEST(StandInRegistry, EntriesAreRemovedWhenTheScopeEnds) {
    const std::wstring key = L"Software\\JavaSoft\\JRE";
    for (RegistryView view : {RegistryView::Native, RegistryView::Wow32}) {
        {
            JavaRegistry registry;
            registry.add(key, L"1.8", L"C:\\java\\jre8", view);
            registry.add(L"Software\\IBM\\Java2 Runtime Environment", L"1.7", L"C:\\ibm", view);
            registry.add(key, L"11.0.2", std::nullopt, view);
            EXPECT_EQ(readJavaHome(key + L"\\1.8", view), L"C:\\java\\jre8");
            EXPECT_EQ(readJavaHome(L"Software\\IBM\\Java2 Runtime Environment\\1.7", view), L"C:\\ibm");
            EXPECT_TRUE(keyExists(key + L"\\11.0.2", view));
            EXPECT_FALSE(readJavaHome(key + L"\\11.0.2", view));
            // The other view does not see them.
            RegistryView other = view == RegistryView::Native ? RegistryView::Wow32 : RegistryView::Native;
            EXPECT_FALSE(keyExists(key + L"\\1.8", other));
        }
        JavaRegistry check;
        EXPECT_FALSE(keyExists(key + L"\\1.8", view));
        EXPECT_FALSE(keyExists(key + L"\\11.0.2", view));
        EXPECT_FALSE(keyExists(L"Software\\IBM", view));
    }
}

TEST(StandInRegistry, ExistingValuesAreRestored) {
    const std::wstring key = L"Software\\JavaSoft\\JDK";
    JavaRegistry outer;
    outer.add(key, L"17", L"C:\\first");
    {
        JavaRegistry inner;  // the same thread may hold several
        inner.add(key, L"17", L"C:\\second");
        EXPECT_EQ(readJavaHome(key + L"\\17", RegistryView::Native), L"C:\\second");
    }
    EXPECT_EQ(readJavaHome(key + L"\\17", RegistryView::Native), L"C:\\first");
}

TEST(StandInRegistry, LauncherRunsAScriptedApplicationFromARegisteredRuntime) {
    TempDir dir;
    JavaRegistry registry;
    JavaHome java(dir / L"jre", {L"bin\\client\\jvm.dll"});
    registry.add(L"Software\\JavaSoft\\JRE", L"1.8.0_202", java.home());
    writeScript(dir.path(), L"app\\lib\\app.jar",
                "class demo.Hello\n"
                "method main\n"
                "    println out Hello ${args}\n"
                "    exit 3\n");
    LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                     "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nMaximum Version=any\r\n"
                     "[Class Path]\r\nClass Path=\\lib\\*.jar\r\n");
    RecordFile record(dir.path());
    auto process = app.start(L"a \"b c\"", record.environment());
    ASSERT_TRUE(process.started());
    EXPECT_EQ(process.exitCode(), 3);
    Record run = record.read();
    ASSERT_NE(run.first("load"), nullptr) << run.text();
    EXPECT_EQ(run.first("load")->text("module"), java.jvmPath());
    EXPECT_EQ(run.mainArguments(), (std::vector<std::wstring>{L"a", L"b c"}));
    EXPECT_EQ(run.output("out"), "Hello a b c\r\n");
    EXPECT_TRUE(run.inOrder({"create", "invoke", "system-exit", "exit-hook", "process-exit"}));
}

TEST(StandInLauncher, DemoApplicationRunsFromJrePath) {
    TempDir dir;
    JavaHome java(dir / L"jre");
    copyFile(exampleApp(L"demo-app.jar"), dir / L"app\\lib\\demo-app.jar");
    LauncherCopy app(dir / L"app\\", L"Demo.exe",
                     "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nJRE Path=" + narrow(java.home()) +
                         "\r\n[Class Path]\r\nClass Path=\\lib\\*.jar\r\n");
    RecordFile record(dir.path());
    auto process = app.start(L"one \"two three\"", record.environment());
    ASSERT_TRUE(process.started());
    EXPECT_EQ(process.exitCode(), 0);
    Record run = record.read();
    EXPECT_EQ(run.mainArguments(), (std::vector<std::wstring>{L"one", L"two three"}));
    std::string out = run.output("out");
    EXPECT_EQ(out.rfind("Hello from a Java application started by Vexa!\r\nArguments (2): one two three\r\n", 0), 0u)
        << out;
    EXPECT_NE(out.find("java.class.path=" + narrow(dir / L"app\\lib\\demo-app.jar")), std::string::npos) << out;
    EXPECT_EQ(run.output("err"), "Working in thread main...\r\n");
    // The launcher's teardown destroys the VM, which waits for the worker.
    EXPECT_TRUE(run.inOrder({"detach", "destroy-begin", "background-end", "destroy-end"})) << run.text();
}
