// vexac.exe, the console twin, started as a shell starts a command-line tool
// whose output goes to files: what reaches standard output and standard
// error, the exit code, no window, and Ctrl+Break reaching the application.
// The 32-bit run (VEXA_TEST_LAUNCHER=vexa32.exe) starts vexa32c.exe.
#include <gtest/gtest.h>

#include <map>
#include <optional>
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

HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition, 0, nullptr);
}

// A console launcher copy with its settings, a stand-in runtime, and the main
// class in a scripted jar. In the settings and the script, @DIR@
// stands for the application's folder (ending in "\").
class ConsoleApp {
public:
    // `mainClass` and `more` settings: the "Main Class" value, and whole
    // sections after the class path.
    ConsoleApp(const std::string& script, const std::string& mainClass, const std::string& more = "",
               bool jrePath = true, Jvm jvm = Jvm::Full)
        : runtime_(dir_ / L"jre\\", RuntimeOptions{.jvm = jvm}), record_(dir_.path()) {
        // In a script a backslash starts an escape.
        writeScript(dir_.path(), L"lib\\app.jar", replaced(script, "@DIR@", scriptPath(dir_.path())));
        LauncherCopy copy(dir_.path(), L"MyTool.exe",
                          "[Java Runtime Environment]\r\nMain Class=" + mainClass + "\r\n" +
                              (jrePath ? "JRE Path=" + narrow(runtime_.home()) + "\r\n" : std::string()) +
                              "[Class Path]\r\nClass Path=\\lib\\app.jar\r\n" + substitute(more));
        copyFile(consoleLauncher(), copy.exePath());
        exe_ = copy.exePath();
    }

    // Starts the launcher with standard output and error going to files and
    // the given knobs of the stand-in, in a console without a window.
    void start(const std::wstring& arguments, const std::map<std::wstring, std::wstring>& knobs = {},
               DWORD flags = 0) {
        HANDLE in = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
        HANDLE out = inheritable(dir_ / L"stdout.txt", GENERIC_WRITE, CREATE_ALWAYS);
        HANDLE err = inheritable(dir_ / L"stderr.txt", GENERIC_WRITE, CREATE_ALWAYS);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = err;
        // The child's environment: this process's, with the record and the knobs.
        std::map<std::wstring, std::optional<std::wstring>> saved;
        auto environment = record_.environment(knobs);
        environment[L"APPDATA"] = dir_ / L"appdata";
        for (const auto& [name, value] : environment) {
            wchar_t old[2048];
            const DWORD length = GetEnvironmentVariableW(name.c_str(), old, 2048);
            saved[name] = length ? std::optional<std::wstring>(std::wstring(old, length)) : std::nullopt;
            SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
        }
        std::wstring commandLine = vexa::test::quoted(exe_) + (arguments.empty() ? L"" : L" " + arguments);
        PROCESS_INFORMATION info{};
        const BOOL started = CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                            CREATE_NO_WINDOW | flags, nullptr, nullptr, &startup, &info);
        for (const auto& [name, value] : saved) SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
        CloseHandle(in);
        CloseHandle(out);
        CloseHandle(err);
        ASSERT_TRUE(started) << GetLastError();
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
    }
    ~ConsoleApp() {
        if (!process_) return;
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 0xDEAD);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
    }

    std::int32_t exitCode(DWORD timeoutMs = 60000) const {
        if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return 0x7FFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return static_cast<std::int32_t>(code);
    }
    DWORD pid() const { return pid_; }
    std::string out() const { return readFile(dir_ / L"stdout.txt"); }
    std::string err() const { return readFile(dir_ / L"stderr.txt"); }
    std::string substitute(const std::string& text) const { return replaced(text, "@DIR@", narrow(dir_.path())); }
    std::wstring operator/(const std::wstring& relative) const { return dir_ / relative; }
    Record record() const { return record_.read(); }

    // Polls until standard output holds `text`.
    bool waitForOutput(const std::string& text, DWORD timeoutMs = 20000) const {
        for (const ULONGLONG deadline = GetTickCount64() + timeoutMs; out().find(text) == std::string::npos; Sleep(20))
            if (GetTickCount64() > deadline) return false;
        return true;
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
    struct Search {
        DWORD pid;
        bool found;
    } search{pid, false};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->pid && IsWindowVisible(window)) s->found = true;
            return !s->found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
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
    const std::string failureCheck = "[Application]\r\nFailure Check=Yes\r\n";
    const std::string exception =
        "class demo.Hello\nmethod main\n    println out about to fail\n    throw java.lang.IllegalStateException boom\n";
    const Situation situations[] = {
        {"the application exits with 42", std::string(kHello) + "    exit 42\n", "demo.Hello", "",
         true, 42, "Hello a b\r\n", {"to the error stream\r\n"}, "", ""},
        {"a negative exit status", "class demo.Hello\nmethod main\n    exit -7\n",
         "demo.Hello", "", true, -7, "", {}, "", ""},
        {"no runtime", kHello, "demo.Hello", "", false, -1, "",
         {"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (latest version) from:\r\n"
          "https://adoptium.net/\r\n"
          "If you have a JRE installed, set \"JRE Path\" in the section [Java Runtime Environment] of @DIR@MyTool.ini "
          "to its folder.\r\n"}, "", ""},
        {"no main class in the settings", kHello, "", "", true, -1, "",
         {"Main class was not specified in INI file.\r\n"}, "", ""},
        {"the main class is missing", kHello, "com.example.Missing", "", true, -1, "", {"java.lang.NoClassDefFoundError", "Could not find the main class com/example/Missing.\r\n"}, "", ""},
        {"an uncaught exception with \"Failure Check\"", exception,
         "demo.Hello", failureCheck, true, -1,
         "about to fail\r\n",
         // The runtime prints it, then the launcher.
         {"Exception in thread \"main\" java.lang.IllegalStateException: boom",
          "java.lang.IllegalStateException: boom\r\n\tat demo.Hello.main(Hello.java:4)\r\n"}, "", ""},
        {"an uncaught exception without \"Failure Check\"", exception,
         "demo.Hello", "", true, 0, "about to fail\r\n",
         {"Exception in thread \"main\" java.lang.IllegalStateException: boom\r\n\tat demo.Hello.main(Hello.java:4)\r\n"}, "", ""},
        {"output and error redirected to files", kHello,
         "demo.Hello", "[Application]\r\nOutput File=@DIR@out.log\r\n"
         "Error File=@DIR@err.log\r\n",
         true, 0, "", {}, "Hello a b\r\n", "to the error stream\r\n"},
    };
    JavaRegistry registry;  // no runtime registered meanwhile
    for (const Situation& s : situations) {
        SCOPED_TRACE(s.what);
        ConsoleApp app(s.script, s.mainClass, s.more, s.jrePath);
        app.start(L"a b");
        EXPECT_EQ(app.exitCode(), s.exitCode);
        EXPECT_EQ(app.out(), s.out);
        const std::string err = app.err();
        if (s.err.empty()) {
            EXPECT_EQ(err, "");
        } else {
            std::vector<std::string> expected;
            for (const std::string& part : s.err) expected.push_back(app.substitute(part));
            EXPECT_TRUE(holdsInOrder(err, expected)) << err;
        }
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
            bool shown = false;
            for (const ULONGLONG deadline = GetTickCount64() + 15000; !shown && GetTickCount64() < deadline; Sleep(20))
                shown = hasVisibleWindow(app.pid());
            EXPECT_TRUE(shown);
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
    ConsoleApp app(std::string(kHello) + "    exit 42\n", "demo.Hello", "[Application]\r\nPair Product=@DIR@MyTool32.exe\r\n",
                   true, Jvm::X86);
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
