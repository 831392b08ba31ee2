// The pair vexa.exe and vexa32.exe: a runtime of the other architecture is
// handed to the paired launcher, which runs the application with the exact
// command line and passes its exit status back; and no launcher hands over
// to itself or back to the launcher that handed over to it.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

const std::wstring kArguments = L"one \"two three\"  \"\" \"Jürgen €\"";
const std::vector<std::wstring> kMainArguments = {L"one", L"two three", L"", L"Jürgen €"};

std::string settings(const std::string& jre, const std::wstring& pair) {
    return "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n" + jre +
           "[Class Path]\r\nClass Path=\\lib\\app.jar\r\n[Application]\r\n" +
           (pair.empty() ? "" : "Pair Product=" + narrow(pair) + "\r\nPair Return Code=yes\r\n");
}

// A copy of the named launcher build (not the one under test) with its
// settings.
LauncherCopy launcherOf(const std::wstring& build, const std::wstring& folder, const std::wstring& name,
                        const std::string& ini) {
    LauncherCopy copy(folder, name, ini);
    copyFile(artefact(build), copy.exePath());
    return copy;
}

// The process that `parent` started, once it is there (0 after the time out).
// Waiting for a window of "any process" could answer another test's box.
DWORD childProcessOf(DWORD parent, DWORD timeoutMs = 60000) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot != INVALID_HANDLE_VALUE) {
            PROCESSENTRY32W entry{};
            entry.dwSize = sizeof(entry);
            DWORD child = 0;
            for (BOOL more = Process32FirstW(snapshot, &entry); more && !child; more = Process32NextW(snapshot, &entry))
                if (entry.th32ParentProcessID == parent) child = entry.th32ProcessID;
            CloseHandle(snapshot);
            if (child) return child;
        }
        Sleep(50);
    }
    return 0;
}

// The load events of the record: which architecture hosted the runtime, in
// which process.
std::vector<std::string> loadedArchitectures(const Record& record) {
    std::vector<std::string> arch;
    for (const auto& event : record.named("load")) arch.push_back(event.bytes("arch"));
    return arch;
}

}  // namespace

// MyApp.exe finds only a runtime of the other architecture, registered in the
// other registry view only, and hands it to MyApp32.exe (or the mirror).
TEST(PairedLauncher, TheOtherArchitecturesRuntimeRunsInThePairedLauncher) {
    struct Row {
        const wchar_t* first;
        const wchar_t* paired;
        Jvm runtime;  // as laid out from the 64-bit test program
        RegistryView view;
        const char* arch;
    };
    const Row rows[] = {
        {L"vexa.exe", L"vexa32.exe", Jvm::X86, RegistryView::Wow32, "x86"},
        {L"vexa32.exe", L"vexa.exe", Jvm::Full, RegistryView::Native, "x64"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.first));
        TempDir dir;
        JavaRegistry registry;
        RuntimeOptions options;
        options.jvm = row.runtime;
        options.jvmPath = L"bin\\client\\jvm.dll";
        JavaHome java(dir / L"jre\\", options);
        registry.add(L"Software\\JavaSoft\\JRE", L"1.8.0_202", java.home(), row.view);
        writeScript(dir.path(), L"app\\lib\\app.jar",
                    "class demo.Hello\nmethod main\n    args out\n    exit 42\n");
        const std::wstring paired = dir / L"app\\MyApp32.exe";
        LauncherCopy first = launcherOf(row.first, dir / L"app\\", L"MyApp.exe", settings("", paired));
        launcherOf(row.paired, dir / L"app\\", L"MyApp32.exe", settings("", L""));
        RecordFile record(dir.path());
        auto env = record.environment();
        env[L"APPDATA"] = dir / L"appdata";
        auto process = first.start(kArguments, env);
        ASSERT_TRUE(process.started());
        EXPECT_EQ(process.exitCode(60000), 42);
        Record r = record.read();
        EXPECT_EQ(loadedArchitectures(r), std::vector<std::string>{row.arch}) << r.text();
        EXPECT_EQ(r.mainArguments(), kMainArguments);
        // The runtime ran in another process than the first launcher's.
        ASSERT_TRUE(r.contains("load"));
        EXPECT_NE(r.first("load")->pid, process.pid());
    }
}

// Without "Pair Product", vexa32.exe reports a 64-bit runtime as vexa.exe
// reports a 32-bit one: it cannot load it.
TEST(PairedLauncher, TheThirtyTwoBitLauncherCannotLoadASixtyFourBitRuntime) {
    TempDir dir;
    JavaHome java(dir / L"jre\\");
    LauncherCopy app = launcherOf(L"vexa32.exe", dir.path(), L"MyApp.exe",
                                  settings("JRE Path=" + narrow(java.home()) + "\r\n", L""));
    auto process = app.start(L"-nosplash", {{L"APPDATA", dir / L"appdata"}});
    ASSERT_TRUE(process.started());
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.message(), L"Failed to load Java VM library: " + java.jvmPath() + L" (errno = 193).\n");
    EXPECT_EQ(process.exitCode(), -1);
}

// "Pair Product" naming the launcher itself, in any spelling, or two
// launchers naming each other: one refusal, no chain of copies.
TEST(PairedLauncher, NeverHandsOverToItselfOrBack) {
    TempDir dir;
    RuntimeOptions options;
    options.jvm = Jvm::X86;  // the architecture the launcher under test cannot load
    JavaHome java(dir / L"jre\\", options);
    const std::string jre = "JRE Path=" + narrow(java.home()) + "\r\n";
    const std::wstring self = dir / L"MyApp.exe";
    std::wstring upper = self;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    for (const std::wstring& pair : {self, upper}) {
        SCOPED_TRACE(narrow(pair));
        LauncherCopy app(dir.path(), L"MyApp.exe", settings(jre, pair));
        auto process = app.start(L"a", {{L"APPDATA", dir / L"appdata"}});
        ASSERT_TRUE(process.started());
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.message(), L"\"Pair Product\" names this launcher itself (" + pair +
                                     L"): it cannot hand the Java runtime over to itself. Name the launcher built "
                                     L"for the other architecture.");
        EXPECT_EQ(process.exitCode(), -1);
    }

    // A.exe hands over to B.exe, which names A.exe: B refuses, and its -1
    // comes back through A.
    LauncherCopy a(dir / L"a\\", L"A.exe", settings(jre, dir / L"b\\B.exe"));
    LauncherCopy b(dir / L"b\\", L"B.exe", settings(jre, dir / L"a\\A.exe"));
    auto process = a.start(L"a", {{L"APPDATA", dir / L"appdata"}});
    ASSERT_TRUE(process.started());
    UiAction ok;
    ok.press = IDOK;
    const DWORD child = childProcessOf(process.pid());
    ASSERT_NE(child, 0u);
    WindowSnapshot box = waitForWindow(child, ok);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.message(), L"This launcher was started by its paired launcher and does not hand over again: it "
                             L"cannot load the Java runtime " +
                                 java.jvmPath() +
                                 L" either. Check \"Pair Product\" and \"JRE Path\" in the settings of both "
                                 L"launchers.");
    EXPECT_EQ(process.exitCode(), -1);
}

// The marker that tells the paired launcher not to hand over again is gone
// before the application runs, so that a launcher the application starts may
// hand over.
TEST(PairedLauncher, TheApplicationDoesNotInheritTheHandOverMarker) {
    TempDir dir;
    RuntimeOptions options;
    options.jvm = Jvm::X86;
    options.jvmPath = L"bin\\client\\jvm.dll";
    JavaHome java(dir / L"jre\\", options);
    writeScript(dir.path(), L"app\\lib\\app.jar",
                "class demo.Hello\nmethod main\n    env out VEXA_PAIRED_LAUNCHER\n    exit 3\n");
    const std::wstring paired = dir / L"app\\MyApp32.exe";
    const std::string jre = "JRE Path=" + narrow(java.home()) + "\r\n";
    LauncherCopy first = launcherOf(L"vexa.exe", dir / L"app\\", L"MyApp.exe", settings(jre, paired));
    launcherOf(L"vexa32.exe", dir / L"app\\", L"MyApp32.exe", settings(jre, L""));
    RecordFile record(dir.path());
    auto env = record.environment();
    env[L"APPDATA"] = dir / L"appdata";
    auto process = first.start(L"-nosplash", env);
    ASSERT_TRUE(process.started());
    EXPECT_EQ(process.exitCode(60000), 3);
    EXPECT_NE(record.read().output("out").find("VEXA_PAIRED_LAUNCHER=null"), std::string::npos)
        << record.read().text();
}
