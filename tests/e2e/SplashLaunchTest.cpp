// The splash screen through vexa.exe with the stand-in Java runtime: shown
// while the application starts, suppressed by "-nosplash", closed by an
// uncaught exception and at teardown, and the runtime's native splash
// library when the settings prefer it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ImageFiles.h"
#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

constexpr DWORD kDropShadow = 0x00020000;  // CS_DROPSHADOW
constexpr int kWidth = 321, kHeight = 123;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

// A Java application shipped with a renamed vexa.exe: a stand-in runtime
// named by "JRE Path", the main class demo.Hello as a script, a splash image
// and the "Display" settings. In the settings and the script, @IMAGE@ stands
// for the splash image and @GO@ for the file the test writes to let a
// waiting main method go on.
class SplashApp {
public:
    SplashApp(const std::string& display, const std::string& mainScript, const RuntimeOptions& runtime = {},
              const std::string& moreSettings = "")
        : runtime_(dir_ / L"runtime", runtime), record_(dir_.path()) {
        writeBmp(image(), kWidth, kHeight, [](int x, int y) {
            return Rgba{static_cast<std::uint8_t>(x), 90, static_cast<std::uint8_t>(2 * y)};
        });
        // In a script a backslash starts an escape.
        writeScript(dir_.path(), L"classes\\demo\\Hello.class",
                    "class demo.Hello\nmethod main\n" + replaced(substitute(mainScript), "\\", "\\\\"));
        app_ = std::make_unique<LauncherCopy>(
            dir_.path(), L"SplashApp.exe",
            "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nJRE Path=" + narrow(runtime_.home()) + "\r\n" +
                moreSettings + "[Class Path]\r\nClass Path=" + narrow(dir_ / L"classes") + "\r\n[Display]\r\n" +
                substitute(display));
    }

    std::wstring image() const { return dir_ / L"splash.bmp"; }
    Record record() const { return record_.read(); }

    ChildProcess start(const std::wstring& arguments = L"", const std::map<std::wstring, std::wstring>& knobs = {}) const {
        return app_->start(arguments, record_.environment(knobs));
    }

    // Waits until the record holds `count` events of this name.
    bool waitFor(const std::string& name, size_t count = 1, DWORD timeoutMs = 60000) const {
        return waitUntil([&] { return record().named(name).size() >= count; }, timeoutMs);
    }
    void go() const { writeFile(dir_ / L"go", "go"); }
    std::wstring goFile() const { return dir_ / L"go"; }

private:
    std::string substitute(const std::string& text) const {
        return replaced(replaced(text, "@IMAGE@", narrow(image())), "@GO@", narrow(dir_ / L"go"));
    }

    TempDir dir_;
    JavaHome runtime_;
    RecordFile record_;
    std::unique_ptr<LauncherCopy> app_;
};

// A main method that marks its start and waits for the test's go.
const char kWaitingMain[] = "    record main-started\n    wait-file @GO@ 30000\n    return\n";

// The visible splash window of process `pid`, looked for up to `timeoutMs`.
WindowSnapshot splashOf(const ChildProcess& process, DWORD timeoutMs = 60000) {
    return waitForWindow(process.pid(), {}, timeoutMs, L"SplashScreenWindow");
}

// Waits until process `pid` shows no splash window any more.
bool splashGone(DWORD pid, DWORD timeoutMs) {
    return waitUntil(
        [pid] {
            for (HWND w = FindWindowExW(nullptr, nullptr, L"SplashScreenWindow", nullptr); w;
                 w = FindWindowExW(nullptr, w, L"SplashScreenWindow", nullptr)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(w, &owner);
                if (owner == pid && IsWindowVisible(w)) return false;
            }
            return true;
        },
        timeoutMs);
}

}  // namespace

TEST(SplashLaunch, TheImageSplashIsUpWhileTheApplicationStartsAndGoesAtTeardown) {
    const SIZE screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    for (const char* shadow : {"true", "True"}) {
        SCOPED_TRACE(shadow);
        SplashApp app(std::string("Splash Screen=@IMAGE@\r\nSplash Screen Shadow=") + shadow + "\r\n", kWaitingMain);
        ChildProcess process = app.start();
        WindowSnapshot splash = splashOf(process);
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.left, (screen.cx - kWidth) / 2);
        EXPECT_EQ(splash.rect.top, (screen.cy - kHeight) / 2);
        EXPECT_EQ(splash.rect.right - splash.rect.left, kWidth);
        EXPECT_EQ(splash.rect.bottom - splash.rect.top, kHeight);
        EXPECT_EQ(splash.classStyle, (std::string(shadow) == "true" ? kDropShadow : 0) | CS_SAVEBITS | CS_DBLCLKS);
        EXPECT_TRUE(splash.exStyle & WS_EX_TOOLWINDOW);
        // It stays while main runs; it does not end by itself.
        ASSERT_TRUE(app.waitFor("mark"));
        HWND window = splashWindowOf(process.pid());
        ASSERT_NE(window, nullptr);
        DWORD_PTR unused = 0;
        // Once the splash thread has answered, it has handled all sent before.
        EXPECT_NE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 60000, &unused), 0);
        EXPECT_TRUE(IsWindowVisible(window));
        app.go();
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_FALSE(app.record().contains("splash-load"));
    }
}

TEST(SplashLaunch, NoSplashSwitchesSuppressTheSplashOnlyWhenWrittenExactly) {
    struct Case {
        const wchar_t* arguments;
        bool splash;
        std::vector<std::wstring> mainArguments;
    };
    const Case cases[] = {
        {L"-nosplash", false, {L"-nosplash"}},
        {L"/nosplash", false, {L"/nosplash"}},
        {L"one -nosplash two", false, {L"one", L"-nosplash", L"two"}},
        {L"-NOSPLASH", true, {L"-NOSPLASH"}},
        {L"/NoSplash", true, {L"/NoSplash"}},
        {L"--nosplash", true, {L"--nosplash"}},
        {L"-nosplash2", true, {L"-nosplash2"}},
        {L"x/nosplash", true, {L"x/nosplash"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.arguments));
        SplashApp app("Splash Screen=@IMAGE@\r\n", kWaitingMain);
        ChildProcess process = app.start(c.arguments);
        ASSERT_TRUE(app.waitFor("mark"));
        // The splash thread starts before the runtime is loaded: by the time
        // main runs, a splash has had every chance to appear.
        EXPECT_EQ(c.splash ? splashOf(process).found : splashWindowOf(process.pid()) != nullptr, c.splash);
        app.go();
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(app.record().mainArguments(), std::optional(c.mainArguments));
    }
}

TEST(SplashLaunch, AnUnreadableImageGivesAnInvisibleSplashAndANormalLaunch) {
    SplashApp app("Splash Screen=@IMAGE@.missing\r\nSplash Screen Shadow=true\r\n", kWaitingMain);
    ChildProcess process = app.start(L"a b");
    WindowSnapshot splash = splashOf(process);
    ASSERT_TRUE(splash.found);
    EXPECT_EQ(splash.rect.right - splash.rect.left, 0);
    EXPECT_EQ(splash.rect.bottom - splash.rect.top, 0);
    ASSERT_TRUE(app.waitFor("mark"));
    app.go();
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(app.record().mainArguments(), std::optional(std::vector<std::wstring>{L"a", L"b"}));
}

TEST(SplashLaunch, AnUncaughtExceptionClosesTheSplashAtOnce) {
    // The application keeps a non-daemon thread running after main threw, so
    // the process stays while the splash must already be gone.
    const char script[] =
        "    record main-started\n    wait-file @GO@ 30000\n    background 8000 worker\n"
        "    throw java.lang.IllegalStateException boom\n";
    {
        SplashApp app("Splash Screen=@IMAGE@\r\n", script);
        ChildProcess process = app.start();
        ASSERT_TRUE(splashOf(process).found);
        ASSERT_TRUE(app.waitFor("mark"));
        app.go();
        EXPECT_TRUE(splashGone(process.pid(), 60000));
        EXPECT_FALSE(process.wait(0)) << "the application's thread still runs";
        EXPECT_FALSE(app.record().contains("background-end"));
        EXPECT_EQ(process.exitCode(), 0);
    }
    {
        // With "Failure Check", the splash is gone before the exception dialog shows.
        SplashApp app("Splash Screen=@IMAGE@\r\n", script, {}, "[Application]\r\nFailure Check=Yes\r\n");
        ChildProcess process = app.start();
        ASSERT_TRUE(splashOf(process).found);
        ASSERT_TRUE(app.waitFor("mark"));
        app.go();
        WindowSnapshot dialog = waitForWindow(process.pid());
        ASSERT_TRUE(dialog.found);
        EXPECT_EQ(dialog.caption, L"Java Exception");
        EXPECT_TRUE(splashGone(process.pid(), 0));
        UiAction ignore;
        ignore.press = IDOK;
        EXPECT_TRUE(waitForWindow(process.pid(), ignore).found);
        EXPECT_EQ(process.exitCode(), 0);
    }
}

TEST(SplashLaunch, APreferredNativeSplashIsStartedInTheRuntimesLibrary) {
    RuntimeOptions withSplash;
    withSplash.splash = true;
    for (const char* preference : {"Yes", "yes", "YES"}) {
        SCOPED_TRACE(preference);
        SplashApp app(std::string("Splash Screen=@IMAGE@\r\nPreffer Native Splash Screen=") + preference + "\r\n",
                      kWaitingMain, withSplash);
        ChildProcess process = app.start();
        ASSERT_TRUE(app.waitFor("mark"));
        EXPECT_EQ(splashWindowOf(process.pid()), nullptr);  // the runtime's splash, not the launcher's
        Record during = app.record();
        EXPECT_TRUE(during.inOrder({"splash-load", "splash-init", "splash-load-file", "splash-jar-name", "load"}))
            << during.text();
        EXPECT_EQ(during.named("splash-init").size(), 1u);
        const Event* loadFile = during.first("splash-load-file");
        ASSERT_NE(loadFile, nullptr);
        EXPECT_EQ(loadFile->bytes("path"), narrow(app.image()));
        const Event* jarName = during.first("splash-jar-name");
        ASSERT_NE(jarName, nullptr);
        EXPECT_EQ(jarName->bytes("path"), narrow(app.image()));
        EXPECT_TRUE(jarName->has("jar"));
        EXPECT_EQ(jarName->bytes("jar"), "");
        EXPECT_FALSE(during.contains("splash-close"));
        app.go();
        EXPECT_EQ(process.exitCode(), 0);
        // Teardown closes it, once.
        Record after = app.record();
        EXPECT_EQ(after.named("splash-close").size(), 1u) << after.text();
        EXPECT_TRUE(after.inOrder({"invoke", "splash-close"}));
    }
}

TEST(SplashLaunch, TheImageWindowIsUsedWhenTheNativeSplashIsNotPreferredOrIncomplete) {
    struct Case {
        const char* settings;
        Splash library;
        bool loaded;  // the native library was loaded (and its close function kept)
    };
    const Case cases[] = {
        {"Preffer Native Splash Screen=No\r\n", Splash::Full, false},
        {"Preffer Native Splash Screen=true\r\n", Splash::Full, false},
        {"", Splash::Full, false},
        // The key is read only as spelled, with the double f.
        {"Prefer Native Splash Screen=Yes\r\n", Splash::Full, false},
        // A library without "SplashSetFileJarName": the image window, and its
        // "SplashClose" still runs at teardown.
        {"Preffer Native Splash Screen=Yes\r\n", Splash::NoJarName, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        RuntimeOptions runtime;
        runtime.splash = true;
        runtime.splashVariant = c.library;
        SplashApp app(std::string("Splash Screen=@IMAGE@\r\n") + c.settings, kWaitingMain, runtime);
        ChildProcess process = app.start();
        WindowSnapshot splash = splashOf(process);
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.right - splash.rect.left, kWidth);
        ASSERT_TRUE(app.waitFor("mark"));
        app.go();
        EXPECT_EQ(process.exitCode(), 0);
        Record record = app.record();
        EXPECT_EQ(record.contains("splash-load"), c.loaded) << record.text();
        EXPECT_FALSE(record.contains("splash-init"));
        EXPECT_FALSE(record.contains("splash-load-file"));
        EXPECT_EQ(record.named("splash-close").size(), c.loaded ? 1u : 0u) << record.text();
    }
}

TEST(SplashLaunch, AFailedRunClosesTheNativeSplashExactlyOnce) {
    RuntimeOptions withSplash;
    withSplash.splash = true;
    // Creating the JVM fails: the launch ends with -1 after an error box.
    SplashApp app("Splash Screen=@IMAGE@\r\nPreffer Native Splash Screen=Yes\r\n", kWaitingMain, withSplash);
    ChildProcess process = app.start(L"", {{L"CREATE_RESULT", L"-1"}});
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.ownerClass, L"");  // no image window owns it
    EXPECT_EQ(process.exitCode(), -1);
    Record record = app.record();
    EXPECT_TRUE(record.inOrder({"splash-init", "splash-load-file", "splash-jar-name", "create-result", "splash-close"}))
        << record.text();
    EXPECT_EQ(record.named("splash-close").size(), 1u) << record.text();
    EXPECT_FALSE(record.contains("invoke"));
}

TEST(SplashLaunch, NoSplashAlsoKeepsTheNativeLibraryUnloaded) {
    RuntimeOptions withSplash;
    withSplash.splash = true;
    SplashApp app("Splash Screen=@IMAGE@\r\nPreffer Native Splash Screen=Yes\r\n", kWaitingMain, withSplash);
    ChildProcess process = app.start(L"/nosplash");
    ASSERT_TRUE(app.waitFor("mark"));
    app.go();
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_FALSE(app.record().contains("splash-load"));
}

TEST(SplashLaunch, AnImageBeyondTheSizeLimitIsNotDecodedAndDoesNotHoldTheLaunchUp) {
    // A few megabytes on disk that would cost seconds and gigabytes to decode.
    struct Case {
        const char* what;
        int width, height;
        bool shown;
    };
    const Case cases[] = {
        {"16000 x 16000", 16000, 16000, false},
        {"8193 pixels wide", 8193, 2, false},
        {"4096 x 4097", 4096, 4097, false},
        {"4096 x 4096, the largest", 4096, 4096, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SplashApp app("Splash Screen=@IMAGE@\r\n", kWaitingMain);
        writeFile(app.image(), compressedPngBytes(c.width, c.height, {200, 30, 30}));
        ChildProcess process = app.start();
        // Refused, it shows nothing, as an unreadable image does.
        WindowSnapshot splash = splashOf(process);
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.right - splash.rect.left, c.shown ? c.width : 0);
        EXPECT_EQ(splash.rect.bottom - splash.rect.top, c.shown ? c.height : 0);
        ASSERT_TRUE(app.waitFor("mark"));
        app.go();
        EXPECT_TRUE(process.wait(10000));
        EXPECT_EQ(process.exitCode(), 0);
    }
}

TEST(SplashLaunch, AnErrorBoxWhileTheImageIsStillDecodedStandsInFrontOfTheSplash) {
    // The JVM fails at once, while a large image may still be decoded.
    for (bool large : {false, true}) {
        SCOPED_TRACE(large ? "4096 x 4096 PNG" : "small BMP");
        SplashApp app("Splash Screen=@IMAGE@\r\n", kWaitingMain);
        if (large) writeFile(app.image(), compressedPngBytes(4096, 4096, {30, 30, 200}));
        ChildProcess process = app.start(L"", {{L"CREATE_RESULT", L"-1"}});
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.message(), L"JNI exception: failed to create the Java VM\nReason: unknown.\n");
        EXPECT_EQ(box.ownerClass, L"SplashScreenWindow");
        EXPECT_EQ(process.exitCode(), -1);
    }
}

TEST(SplashLaunch, TheSplashIgnoresCloseRequestsSoLaterErrorBoxesStillShow) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Case cases[] = {
        {"WM_CLOSE", WM_CLOSE, 0, 0},
        {"the close command", WM_SYSCOMMAND, SC_CLOSE, 0},
        {"Alt+F4", WM_SYSKEYDOWN, VK_F4, 0x203E0001},  // repeat 1, scan code 0x3E, Alt held
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SplashApp app("Splash Screen=@IMAGE@\r\n", kWaitingMain);
        // Creating the JVM waits for the test, then fails.
        ChildProcess process = app.start(L"", {{L"CREATE_RESULT", L"-1"}, {L"CREATE_WAIT", app.goFile()}});
        ASSERT_TRUE(splashOf(process).found);
        HWND splash = splashWindowOf(process.pid());
        ASSERT_NE(splash, nullptr);
        DWORD_PTR unused = 0;
        EXPECT_NE(SendMessageTimeoutW(splash, c.message, c.wParam, c.lParam, SMTO_ABORTIFHUNG, 60000, &unused), 0);
        app.go();
        // The failure's message comes later and is still owned by the splash:
        // what the splash was asked before (an Alt+F4 turned into a close
        // command too) did not close it.
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.ownerClass, L"SplashScreenWindow");
        EXPECT_EQ(box.message(), L"JNI exception: failed to create the Java VM\nReason: unknown.\n");
        EXPECT_EQ(process.exitCode(), -1);
    }
}
