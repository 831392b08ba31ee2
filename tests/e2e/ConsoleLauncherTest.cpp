// vexac.exe, the console twin, started as a shell starts a command-line tool
// whose output goes to files: what reaches standard output and standard
// error, the exit code, no window, Ctrl+C reaching the application, and the
// hand-over to the paired console launcher.
// The 32-bit run (VEXA_TEST_LAUNCHER=vexa32.exe) starts vexa32c.exe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageFiles.h"
#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

// The console twin of the launcher under test.
std::wstring consoleLauncher() {
    std::wstring path = launcherUnderTest();
    return path.insert(path.size() - 4, L"c");
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

// A console launcher copy (MyTool.exe) with its settings, a stand-in runtime,
// and the main class in a scripted jar. In the settings and the script,
// @DIR@ stands for the application's folder (ending in "\").
class ConsoleApp {
public:
    // `more`: whole sections after the class path.
    ConsoleApp(const std::string& script, const std::string& mainClass, const std::string& more = "",
               bool jrePath = true, Jvm jvm = Jvm::Full)
        : runtime_(dir_ / L"jre\\", RuntimeOptions{.jvm = jvm}), record_(dir_.path()) {
        writeScript(dir_.path(), L"lib\\app.jar", replaced(script, "@DIR@", scriptPath(dir_.path())));
        LauncherCopy copy(dir_.path(), L"MyTool.exe",
                          "[Java Runtime Environment]\r\nMain Class=" + mainClass + "\r\n" +
                              (jrePath ? "JRE Path=" + narrow(runtime_.home()) + "\r\n" : std::string()) +
                              "[Class Path]\r\nClass Path=\\lib\\app.jar\r\n" + substitute(more));
        copyFile(consoleLauncher(), copy.exePath());
        exe_ = copy.exePath();
    }
    ~ConsoleApp() {
        if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 0xDEAD);
        if (process_) CloseHandle(process_);
    }

    // Starts the launcher in a console without a window, its standard output
    // and error going to files, with the record's environment.
    void start(const std::wstring& arguments) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        auto open = [&](const std::wstring& path, DWORD access, DWORD disposition) {
            return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition, 0, nullptr);
        };
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = open(L"NUL", GENERIC_READ, OPEN_EXISTING);
        startup.hStdOutput = open(dir_ / L"stdout.txt", GENERIC_WRITE, CREATE_ALWAYS);
        startup.hStdError = open(dir_ / L"stderr.txt", GENERIC_WRITE, CREATE_ALWAYS);
        for (const auto& [name, value] : record_.environment()) SetEnvironmentVariableW(name.c_str(), value->c_str());
        SetEnvironmentVariableW(L"APPDATA", (dir_ / L"appdata").c_str());
        std::wstring commandLine = vexa::test::quoted(exe_) + L" " + arguments;
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   nullptr, &startup, &info));
        for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError, info.hThread}) CloseHandle(h);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
    }
    std::int32_t exitCode(DWORD timeoutMs = 60000) const {
        DWORD code = 0x7FFFFFFF;  // still running
        if (WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
        return static_cast<std::int32_t>(code);
    }
    DWORD pid() const { return pid_; }
    std::string out() const { return readFile(dir_ / L"stdout.txt"); }
    std::string err() const { return readFile(dir_ / L"stderr.txt"); }
    std::string substitute(const std::string& text) const { return replaced(text, "@DIR@", narrow(dir_.path())); }
    std::wstring operator/(const std::wstring& relative) const { return dir_ / relative; }
    Record record() const { return record_.read(); }
    bool waitForOutput(const std::string& text) const {
        return waitUntil([&] { return out().find(text) != std::string::npos; });
    }

private:
    TempDir dir_;
    JavaHome runtime_;
    RecordFile record_;
    std::wstring exe_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// Whether `text` holds each of `parts`, in this order.
bool holdsInOrder(const std::string& text, const std::vector<std::string>& parts) {
    size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos) return false;
        at += part.size();
    }
    return true;
}

const char kHello[] =
    "class demo.Hello\n"
    "method main\n"
    "    println out Hello ${args}\n"
    "    println err to the error stream\n";

bool hasVisibleWindow(DWORD pid) {
    DWORD owner = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetWindowThreadProcessId(w, &owner) && owner == pid && IsWindowVisible(w)) return true;
    return false;
}

}  // namespace

TEST(ConsoleLauncher, EveryLaunchReportsOnTheStandardStreamsWithTheLaunchersExitCode) {
    struct Situation {
        const char* what;
        std::string script;
        std::string mainClass;
        std::string more;  // sections after the class path
        bool jrePath;
        std::int32_t exitCode;
        std::string out;
        std::vector<std::string> err;  // in this order; none: nothing at all
        std::string outputFile, errorFile;
    };
    const std::string exit42 = std::string(kHello) + "    exit 42\n";
    const std::string exitMinus7 = "class demo.Hello\nmethod main\n    exit -7\n";
    const std::string thrower =
        "class demo.Hello\nmethod main\n    println out about to fail\n    throw java.lang.IllegalStateException boom\n";
    const std::string trace = "java.lang.IllegalStateException: boom\r\n\tat demo.Hello.main(Hello.java:4)\r\n";
    const Situation situations[] = {
        {"the application exits with 42", exit42, "demo.Hello", "", true, 42, "Hello a b\r\n",
         {"to the error stream\r\n"}, "", ""},
        {"a negative exit status", exitMinus7, "demo.Hello", "", true, -7, "", {}, "", ""},
        {"no runtime", kHello, "demo.Hello", "", false, -1, "",
         {"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (latest version) from:\r\n"
          "https://adoptium.net/\r\nIf you have a JRE installed, set \"JRE Path\" in the section [Java Runtime "
          "Environment] of @DIR@MyTool.ini to its folder.\r\n"}, "", ""},
        {"no main class in the settings", kHello, "", "", true, -1, "",
         {"Main class was not specified in INI file.\r\n"}, "", ""},
        {"the main class is missing", kHello, "com.example.Missing", "", true, -1, "",
         {"java.lang.NoClassDefFoundError", "Could not find the main class com/example/Missing.\r\n"}, "", ""},
        // The runtime prints the exception, then the launcher its trace.
        {"an uncaught exception with \"Failure Check\"", thrower, "demo.Hello",
         "[Application]\r\nFailure Check=Yes\r\n", true, -1, "about to fail\r\n",
         {"Exception in thread \"main\" " + trace, trace}, "", ""},
        {"an uncaught exception without \"Failure Check\"", thrower, "demo.Hello", "", true, 0, "about to fail\r\n",
         {"Exception in thread \"main\" " + trace}, "", ""},
        {"output and error redirected to files", kHello, "demo.Hello",
         "[Application]\r\nOutput File=@DIR@out.log\r\nError File=@DIR@err.log\r\n", true, 0, "", {},
         "Hello a b\r\n", "to the error stream\r\n"},
    };
    JavaRegistry registry;  // no runtime registered meanwhile
    for (const Situation& s : situations) {
        SCOPED_TRACE(s.what);
        ConsoleApp app(s.script, s.mainClass, s.more, s.jrePath);
        app.start(L"a b");
        EXPECT_EQ(app.exitCode(), s.exitCode);
        EXPECT_EQ(app.out(), s.out);
        std::vector<std::string> expected;
        for (const std::string& part : s.err) expected.push_back(app.substitute(part));
        EXPECT_TRUE(expected.empty() ? app.err().empty() : holdsInOrder(app.err(), expected)) << app.err();
        EXPECT_EQ(readFile(app / L"out.log"), s.outputFile);
        EXPECT_EQ(readFile(app / L"err.log"), s.errorFile);
    }
}

TEST(ConsoleLauncher, NoWindowAppearsUnlessTheSettingsAskForASplash) {
    for (bool splash : {false, true}) {
        SCOPED_TRACE(splash ? "with a splash" : "without a splash");
        const std::string script = "class demo.Hello\nmethod main\n    println out started\n"
                                   "    wait-file @DIR@go 30000\n";
        ConsoleApp app(script, "demo.Hello", splash ? "[Display]\r\nSplash Screen=@DIR@splash.bmp\r\n" : "");
        writeBmp(app / L"splash.bmp", 64, 32, [](int, int) { return Rgba{200, 90, 20}; });
        app.start(L"");
        ASSERT_TRUE(app.waitForOutput("started"));
        if (splash) {
            // The splash is up while main runs: the same look finds it.
            EXPECT_TRUE(waitUntil([&] { return hasVisibleWindow(app.pid()); }));
        } else {
            EXPECT_FALSE(hasVisibleWindow(app.pid()));
        }
        writeFile(app / L"go", "");
        EXPECT_EQ(app.exitCode(), 0);
    }
}

namespace {
BOOL WINAPI ignoreEvent(DWORD) { return TRUE; }
}  // namespace

TEST(ConsoleLauncher, CtrlCReachesTheApplicationWhoseShutdownHooksRun) {
    ConsoleApp app("class demo.Hello\nmethod main\n    shutdown-hook saving work\n    println out waiting\n"
                   "    wait-file @DIR@go 30000\n",
                   "demo.Hello");
    app.start(L"");
    ASSERT_TRUE(app.waitForOutput("waiting"));
    // As typed in the console: the event goes to every process attached to
    // it, this test's too, which lets it pass. (Wine delivers Ctrl+C so, but
    // fails Ctrl+Break with ERROR_INVALID_HANDLE.)
    FreeConsole();
    ASSERT_TRUE(AttachConsole(app.pid())) << GetLastError();
    SetConsoleCtrlHandler(&ignoreEvent, TRUE);
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    EXPECT_EQ(app.exitCode(20000), 130);
    FreeConsole();
    EXPECT_EQ(app.out(), "waiting\r\nsaving work\r\n");
}

TEST(ConsoleLauncher, TheHandOverToThePairedConsoleLauncherKeepsTheStreamsAndTheExitCode) {
    // A 32-bit runtime: vexac.exe hands over to vexa32c.exe, and waits for it
    // also without "Pair Return Code".
    ConsoleApp app(std::string(kHello) + "    exit 42\n", "demo.Hello",
                   "[Application]\r\nPair Product=@DIR@MyTool32.exe\r\n", true, Jvm::X86);
    copyFile(artefact(L"vexa32c.exe"), app / L"MyTool32.exe");
    copyFile(app / L"MyTool.ini", app / L"MyTool32.ini");
    app.start(L"a b");
    EXPECT_EQ(app.exitCode(), 42);
    EXPECT_EQ(app.out(), "Hello a b\r\n");
    EXPECT_EQ(app.err(), "to the error stream\r\n");
    const Event* load = app.record().first("load");
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(load->bytes("arch"), "x86");
}
