// The launcher's image splash window as the splash thread makes it, looked at
// from outside: started by the splash probe, inspected through the UI helper
// and read back from the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "ImageFiles.h"
#include "TestSupport.h"

using namespace vexa::test;

namespace {

constexpr DWORD kDropShadow = 0x00020000;  // CS_DROPSHADOW

// A running splash probe and the file it reports to.
class SplashProbe {
public:
    SplashProbe(const TempDir& dir, const std::wstring& image, const std::wstring& shadow,
                const std::wstring& extra = L"")
        : report_(dir / L"probe.txt"),
          process_({L"",
                    quoted(artefact(L"splashprobe.exe")) + L" --image " + quoted(image) + L" --shadow " + quoted(shadow) +
                        (extra.empty() ? L"" : L" " + extra),
                    L"",
                    {{L"VEXA_SPLASHPROBE_OUT", report_}}}) {}

    ChildProcess& process() { return process_; }

    // Lets the probe close its splash and end; its report, one "key value" per line.
    std::string finish() {
        const std::wstring name = L"VexaSplashProbe." + std::to_wstring(process_.pid());
        if (HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
            SetEvent(quit);
            CloseHandle(quit);
        }
        exitCode_ = process_.exitCode();
        return readFile(report_);
    }
    int exitCode() const { return exitCode_; }

private:
    std::wstring report_;
    ChildProcess process_;
    int exitCode_ = -100;
};

std::string reportValue(const std::string& report, const std::string& key) {
    size_t at = report.find(key + " ");
    if (at == std::string::npos) return "<missing>";
    size_t end = report.find('\n', at);
    return report.substr(at + key.size() + 1, end - at - key.size() - 1);
}

SIZE screenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

COLORREF screenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// Waits until every point shows its colour; the points that do not, as text.
struct Probe {
    POINT at;
    COLORREF expected;
};
std::string pixelsOnScreen(const std::vector<Probe>& points, DWORD timeoutMs = 60000) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::string wrong;
        for (const Probe& p : points) {
            COLORREF seen = screenPixel(p.at.x, p.at.y);
            if (seen != p.expected) {
                char line[96];
                std::snprintf(line, sizeof(line), "(%ld,%ld) shows %06lx, expected %06lx; ", p.at.x, p.at.y,
                              static_cast<unsigned long>(seen), static_cast<unsigned long>(p.expected));
                wrong += line;
            }
        }
        if (wrong.empty() || GetTickCount64() >= deadline) return wrong;
        Sleep(50);
    }
}

// Four quadrants: red, green / blue, white.
Rgba quadrant(int x, int y, int width, int height) {
    const bool top = y < height / 2;
    const bool left = x < width / 2;
    if (top && left) return {255, 0, 0};
    if (top) return {0, 255, 0};
    if (left) return {0, 0, 255};
    return {255, 255, 255};
}

}  // namespace

TEST(SplashWindow, AppearsCentredAtTheImageSizeWithTheShadowThatTheSettingAsks) {
    struct Case {
        const wchar_t* shadow;
        bool dropShadow;
    };
    const Case cases[] = {{L"true", true}, {L"True", false}, {L"TRUE", false}, {L"yes", false},
                          {L"", false},    {L" true", false}, {L"true ", false}};
    TempDir dir;
    const std::wstring image = dir / L"splash.bmp";
    writeBmp(image, 241, 97, [](int x, int y) { return quadrant(x, y, 241, 97); });
    const SIZE screen = screenSize();
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(std::wstring(L"shadow \"") + c.shadow + L"\""));
        SplashProbe probe(dir, image, c.shadow);
        ASSERT_TRUE(probe.process().started());
        WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.caption, L"");
        EXPECT_EQ(splash.rect.left, (screen.cx - 241) / 2);
        EXPECT_EQ(splash.rect.top, (screen.cy - 97) / 2);
        EXPECT_EQ(splash.rect.right - splash.rect.left, 241);
        EXPECT_EQ(splash.rect.bottom - splash.rect.top, 97);
        EXPECT_EQ(splash.style & (WS_POPUP | WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_CHILD | WS_VISIBLE),
                  static_cast<DWORD>(WS_POPUP | WS_VISIBLE));
        EXPECT_TRUE(splash.exStyle & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(splash.exStyle & WS_EX_TOPMOST);
        EXPECT_EQ(splash.classStyle, (c.dropShadow ? kDropShadow : 0) | CS_SAVEBITS | CS_DBLCLKS);
        EXPECT_EQ(splash.ownerClass, L"");
        probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
    }
}

TEST(SplashWindow, ShowsTheImagePixelsOnTheScreenAndIgnoresClicks) {
    TempDir dir;
    const SIZE screen = screenSize();
    struct Case {
        const wchar_t* file;
        bool png;
    };
    for (const Case c : {Case{L"quad.bmp", false}, Case{L"quad.png", true}}) {
        SCOPED_TRACE(narrow(c.file));
        const int width = 200, height = 120;
        const std::wstring image = dir / c.file;
        if (c.png) {
            // The PNG has a transparent band at its right edge: the splash shows it black.
            writePng(image, width, height, [&](int x, int y) {
                return x >= width - 20 ? Rgba{255, 255, 0, 0} : quadrant(x, y, width, height);
            });
        } else {
            writeBmp(image, width, height, [&](int x, int y) { return quadrant(x, y, width, height); });
        }
        SplashProbe probe(dir, image, L"true");
        WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
        ASSERT_TRUE(splash.found);
        const LONG left = (screen.cx - width) / 2, top = (screen.cy - height) / 2;
        ASSERT_EQ(splash.rect.left, left);
        ASSERT_EQ(splash.rect.top, top);
        std::vector<Probe> points = {
            {{left + 1, top + 1}, RGB(255, 0, 0)},
            {{left + 50, top + 30}, RGB(255, 0, 0)},
            {{left + 150, top + 30}, RGB(0, 255, 0)},
            {{left + 50, top + 90}, RGB(0, 0, 255)},
            {{left + 150, top + 90}, RGB(255, 255, 255)},
            {{left + 99, top + 59}, RGB(255, 0, 0)},
            {{left + 100, top + 60}, RGB(255, 255, 255)},
        };
        if (c.png) points.push_back({{left + width - 10, top + 10}, RGB(0, 0, 0)});
        else points.push_back({{left + width - 1, top + height - 1}, RGB(255, 255, 255)});
        EXPECT_EQ(pixelsOnScreen(points), "");

        // Clicks change nothing: the splash stays until the launcher closes it.
        HWND window = splashWindowOf(probe.process().pid());
        ASSERT_NE(window, nullptr);
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP}) {
            DWORD_PTR unused = 0;
            EXPECT_NE(SendMessageTimeoutW(window, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0,
                                          MAKELPARAM(10, 10), SMTO_ABORTIFHUNG, 60000, &unused),
                      0);
        }
        EXPECT_TRUE(IsWindow(window) && IsWindowVisible(window));
        EXPECT_EQ(pixelsOnScreen(points, 1000), "");

        std::string report = probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(reportValue(report, "alive"), "0");
        EXPECT_FALSE(IsWindow(window));
    }
}

TEST(SplashWindow, AnUnreadableImageGivesAnInvisibleWindowAndTheThreadRunsOn) {
    TempDir dir;
    writeFile(dir / L"garbage.png", "this is not an image");
    writeFile(dir / L"empty.bmp", "");
    makeDirs(dir / L"folder");
    const SIZE screen = screenSize();
    for (const std::wstring& image :
         {dir / L"missing.bmp", dir / L"garbage.png", dir / L"empty.bmp", dir / L"folder", std::wstring(L"")}) {
        SCOPED_TRACE(narrow(image));
        SplashProbe probe(dir, image, L"true");
        WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
        ASSERT_TRUE(splash.found);
        EXPECT_EQ(splash.rect.right - splash.rect.left, 0);
        EXPECT_EQ(splash.rect.bottom - splash.rect.top, 0);
        EXPECT_EQ(splash.rect.left, screen.cx / 2);
        EXPECT_EQ(splash.rect.top, screen.cy / 2);
        std::string report = probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_NE(reportValue(report, "window"), "0");
        EXPECT_EQ(reportValue(report, "alive"), "0");
    }
}

TEST(SplashWindow, AnImageLargerThanTheScreenGetsNegativeCoordinates) {
    TempDir dir;
    const SIZE screen = screenSize();
    // Odd differences to the screen size: the position rounds toward zero.
    const int width = screen.cx + 21, height = screen.cy + 27;
    const std::wstring image = dir / L"large.bmp";
    writeBmp(image, width, height, [&](int x, int y) { return quadrant(x, y, width, height); });
    SplashProbe probe(dir, image, L"false");
    WindowSnapshot splash = waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow");
    ASSERT_TRUE(splash.found);
    EXPECT_EQ(splash.rect.left, -10);
    EXPECT_EQ(splash.rect.top, -13);
    EXPECT_EQ(splash.rect.right - splash.rect.left, width);
    EXPECT_EQ(splash.rect.bottom - splash.rect.top, height);
    // The image is cut at the screen's edges: its corners' quadrants fill the screen's corners.
    EXPECT_EQ(pixelsOnScreen({{{0, 0}, RGB(255, 0, 0)},
                              {{screen.cx - 1, 0}, RGB(0, 255, 0)},
                              {{0, screen.cy - 1}, RGB(0, 0, 255)},
                              {{screen.cx - 1, screen.cy - 1}, RGB(255, 255, 255)}}),
              "");
    probe.finish();
    EXPECT_EQ(probe.exitCode(), 0);
}

TEST(SplashWindow, ErrorBoxesShownWhileItIsUpAreOwnedByIt) {
    TempDir dir;
    const std::wstring image = dir / L"splash.bmp";
    writeBmp(image, 64, 64, [](int, int) { return Rgba{10, 20, 30}; });
    SplashProbe probe(dir, image, L"true", L"--error \"Something went wrong.\"");
    WindowSnapshot box = answerMessageBox(probe.process().pid());
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.ownerClass, L"SplashScreenWindow");
    EXPECT_EQ(box.message(), L"Something went wrong.");
    EXPECT_EQ(box.caption, L"Error");
    std::string report = probe.finish();
    EXPECT_EQ(probe.exitCode(), 0);
    // After closing, error boxes no longer name the destroyed window as owner.
    EXPECT_EQ(reportValue(report, "owner"), "0");
}

TEST(SplashWindow, ClosingEndsTheThreadWhenever) {
    TempDir dir;
    const std::wstring image = dir / L"splash.bmp";
    writeBmp(image, 300, 200, [](int x, int y) { return quadrant(x, y, 300, 200); });
    {
        // While it is up: the window goes, a second close does nothing.
        SplashProbe probe(dir, image, L"true");
        ASSERT_TRUE(waitForWindow(probe.process().pid(), {}, 60000, L"SplashScreenWindow").found);
        std::string report = probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_NE(reportValue(report, "window"), "0");
        EXPECT_EQ(reportValue(report, "alive"), "0");
        EXPECT_EQ(reportValue(report, "again"), "1");
    }
    for (int i = 0; i < 5; ++i) {
        // Right after the start, before the thread may have a message queue.
        SplashProbe probe(dir, image, L"true", L"--close-at-once");
        EXPECT_TRUE(probe.process().wait(20000));
        std::string report = probe.finish();
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(reportValue(report, "alive"), "0");
        EXPECT_EQ(reportValue(report, "again"), "1");
    }
}

TEST(SplashWindow, TheGraphicsLibraryIsBoundAtRunTimeNotImported) {
    HMODULE image = LoadLibraryExW(artefact(L"vexa.exe").c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr);
    // The low bits of a resource-mapped module handle are flags.
    const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(image) & ~ULONG_PTR(3));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    ASSERT_NE(importRva, 0u);
    std::vector<std::string> imports;
    for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + importRva); d->Name; ++d) {
        std::string name = reinterpret_cast<const char*>(base + d->Name);
        for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        imports.push_back(name);
    }
    FreeLibrary(image);
    EXPECT_NE(std::find(imports.begin(), imports.end(), "user32.dll"), imports.end());
    EXPECT_EQ(std::find(imports.begin(), imports.end(), "gdiplus.dll"), imports.end());
}
