// The splash controller as the launcher runs it: LauncherApp::startSplash
// reading the "Display" settings beside the executable, choosing the image
// window or the runtime's native splash library, and teardown closing each.
#include <gtest/gtest.h>

#include <string>

#include "ImageFiles.h"
#include "TestSupport.h"

using namespace vexa::test;

namespace {

constexpr DWORD kDropShadow = 0x00020000;  // CS_DROPSHADOW

// The splash probe copied as SplashApp.exe beside its settings file, running
// LauncherApp::startSplash for a given JVM library path.
class ControllerProbe {
public:
    ControllerProbe(const TempDir& dir, const std::string& iniText, const std::wstring& jvmPath,
                    const std::wstring& extra = L"", std::map<std::wstring, std::optional<std::wstring>> env = {},
                    const std::wstring& workingDir = L"")
        : dir_(dir) {
        const std::wstring exe = dir / L"SplashApp.exe";
        if (!exists(exe)) copyFile(artefact(L"splashprobe.exe"), exe);
        if (!iniText.empty()) writeFile(dir / L"SplashApp.ini", iniText);
        else DeleteFileW((dir / L"SplashApp.ini").c_str());
        env[L"VEXA_SPLASHPROBE_OUT"] = report_ = dir / L"probe.txt";
        DeleteFileW(report_.c_str());
        process_ = std::make_unique<ChildProcess>(ChildProcess::Options{
            exe, quoted(exe) + L" --settings --jvm " + quoted(jvmPath) + (extra.empty() ? L"" : L" " + extra),
            workingDir, env});
    }
    ChildProcess& process() { return *process_; }

    // Lets the probe close everything and end; its report.
    std::string finish() {
        const std::wstring name = L"VexaSplashProbe." + std::to_wstring(process_->pid());
        waitUntil([&] {
            if (HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
                SetEvent(quit);
                CloseHandle(quit);
                return true;
            }
            return process_->wait(0);
        });
        exitCode_ = process_->exitCode();
        return readFile(report_);
    }
    int exitCode() const { return exitCode_; }

private:
    const TempDir& dir_;
    std::wstring report_;
    std::unique_ptr<ChildProcess> process_;
    int exitCode_ = -100;
};

std::string reportValue(const std::string& report, const std::string& key) {
    size_t at = report.find(key + " ");
    if (at == std::string::npos) return "<missing>";
    size_t end = report.find('\n', at);
    return report.substr(at + key.size() + 1, end - at - key.size() - 1);
}

std::string display(const std::wstring& image, const std::string& more = "") {
    return "[Display]\r\nSplash Screen=" + narrow(image) + "\r\n" + more;
}

void writeImage(const std::wstring& path, int width, int height) {
    writeBmp(path, width, height, [](int x, int) { return x % 2 ? Rgba{200, 10, 10} : Rgba{10, 10, 200}; });
}

}  // namespace

TEST(SplashController, ReadsTheImageAndShadowFromTheDisplaySettings) {
    TempDir dir;
    const std::wstring image = dir / L"splash.bmp";
    writeImage(image, 123, 45);
    struct Case {
        std::string shadowLine;
        std::string shadowRead;
        bool dropShadow;
    };
    const Case cases[] = {
        {"Splash Screen Shadow=true\r\n", "true", true},
        {"Splash Screen Shadow=True\r\n", "True", false},
        {"Splash Screen Shadow=yes\r\n", "yes", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shadowLine);
        ControllerProbe probe(dir, display(image, c.shadowLine), dir / L"jre\\bin\\server\\jvm.dll");
        WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.right - splash.rect.left, 123);
        EXPECT_EQ(splash.rect.bottom - splash.rect.top, 45);
        EXPECT_EQ(splash.classStyle & kDropShadow, c.dropShadow ? kDropShadow : 0);
        std::string report = probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(reportValue(report, "started"), "1");
        EXPECT_EQ(reportValue(report, "native"), "0");
        EXPECT_EQ(reportValue(report, "image"), narrow(image));
        EXPECT_EQ(reportValue(report, "shadow"), c.shadowRead);
        EXPECT_NE(reportValue(report, "window"), "0");
        EXPECT_EQ(reportValue(report, "alive"), "0");
    }
}

TEST(SplashController, ARelativeImagePathIsTakenFromTheCurrentFolder) {
    TempDir dir;
    writeImage(dir / L"images\\splash.bmp", 64, 32);
    const std::string ini = display(L"images\\splash.bmp");
    const std::wstring jvm = dir / L"jre\\bin\\server\\jvm.dll";
    {
        ControllerProbe probe(dir, ini, jvm, L"", {}, dir.path());
        WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.right - splash.rect.left, 64);
        EXPECT_EQ(splash.rect.bottom - splash.rect.top, 32);
        probe.finish();
    }
    {
        // Started from another folder, the same setting names no file: an invisible window.
        TempDir elsewhere;
        ControllerProbe probe(dir, ini, jvm, L"", {}, elsewhere.path());
        WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.right - splash.rect.left, 0);
        EXPECT_EQ(splash.rect.bottom - splash.rect.top, 0);
        probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
    }
}

TEST(SplashController, NoImageSettingShowsNothingWhateverTheOtherKeysSay) {
    TempDir dir;
    writeImage(dir / L"splash.bmp", 20, 20);
    const std::wstring jvm = dir / L"jre\\bin\\server\\jvm.dll";
    const std::string cases[] = {
        "[Display]\r\nSplash Screen=\r\nSplash Screen Shadow=true\r\nPreffer Native Splash Screen=Yes\r\n",
        "[Display]\r\nSplash Screen Shadow=true\r\n",
        "[Splash]\r\nSplash Screen=" + narrow(dir / L"splash.bmp") + "\r\n",
        "",  // no settings file at all
    };
    for (const std::string& ini : cases) {
        SCOPED_TRACE(ini);
        ControllerProbe probe(dir, ini, jvm);
        std::string report = probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(reportValue(report, "started"), "1");
        EXPECT_EQ(reportValue(report, "native"), "0");
        EXPECT_EQ(reportValue(report, "image"), "");
        EXPECT_EQ(reportValue(report, "window"), "0");
    }
}

TEST(SplashController, APreferredNativeSplashWithoutItsLibraryFallsBackToTheImageWindow) {
    TempDir dir;
    const std::wstring image = dir / L"splash.bmp";
    writeImage(image, 50, 40);
    // A runtime folder without splashscreen.dll, and a JVM library one level deep.
    writeFile(dir / L"jre\\bin\\server\\jvm.dll", "");
    writeFile(dir / L"jre\\bin\\splashscreen.dll.txt", "");
    for (const std::wstring& jvm : {dir / L"jre\\bin\\server\\jvm.dll", dir / L"jre\\bin\\jvm.dll"}) {
        SCOPED_TRACE(narrow(jvm));
        ControllerProbe probe(dir, display(image, "Preffer Native Splash Screen=Yes\r\n"), jvm);
        WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.right - splash.rect.left, 50);
        std::string report = probe.finish();
        EXPECT_EQ(reportValue(report, "native"), "0");
    }
}
