// The image splash window in-process: image sizes, position, the class that
// is registered once per process, and windows made on several threads at once.
#include <gtest/gtest.h>

#include "ImageFiles.h"

#include <thread>
#include <vector>

#include "splash/Gdiplus.h"
#include "splash/SplashScreenWindow.h"

using namespace vexa;

namespace {

// A 24-bit BMP of one colour.
std::string bmp(int width, int height) {
    return vexa::test::bmpBytes(width, height, [](int, int) { return vexa::test::Rgba{0x40, 0x40, 0x40}; });
}

// A temporary file removed at the end of the scope.
class TempFile {
public:
    TempFile(const std::wstring& name, const std::string& bytes) {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"vexa-splash-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    ~TempFile() { DeleteFileW(path_.c_str()); }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

struct Made {
    SIZE image{};
    RECT rect{};
    bool created = false;
    bool visible = false;
};

// Makes a splash window on a thread of its own, as the splash thread does.
Made makeSplash(const std::wstring& path, bool shadow) {
    Made made;
    std::thread([&] {
        vexa::GdiplusSession gdiplus;
        SplashScreenWindow window;
        HWND hwnd = window.create(gdiplus, path, shadow);
        made.created = hwnd != nullptr;
        made.image = window.imageSize();
        if (hwnd) {
            GetWindowRect(hwnd, &made.rect);
            made.visible = IsWindowVisible(hwnd);
            DestroyWindow(hwnd);
        }
    }).join();
    return made;
}

}  // namespace

TEST(SplashScreenWindow, IsMadeHiddenAtTheImageSizeCentredOnThePrimaryScreen) {
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        int width, height;
    };
    for (Case c : {Case{1, 1}, Case{2, 3}, Case{333, 77}, Case{cx, cy}, Case{cx + 1, 5}, Case{7, cy + 3}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        TempFile image(L"size.bmp", bmp(c.width, c.height));
        Made made = makeSplash(image.path(), false);
        ASSERT_TRUE(made.created);
        EXPECT_FALSE(made.visible);
        EXPECT_EQ(made.image.cx, c.width);
        EXPECT_EQ(made.image.cy, c.height);
        EXPECT_EQ(made.rect.left, (cx - c.width) / 2);
        EXPECT_EQ(made.rect.top, (cy - c.height) / 2);
        EXPECT_EQ(made.rect.right - made.rect.left, c.width);
        EXPECT_EQ(made.rect.bottom - made.rect.top, c.height);
    }
}

TEST(SplashScreenWindow, WindowsMadeOnSeveralThreadsAtOnceGetTheirOwnImages) {
    constexpr int kThreads = 6;
    std::vector<TempFile> images;
    images.reserve(kThreads);
    for (int i = 0; i < kThreads; ++i) images.emplace_back(L"thread" + std::to_wstring(i) + L".bmp", bmp(10 + i, 20 + i));
    Made made[kThreads];
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] { made[i] = makeSplash(images[i].path(), i % 2 == 0); });
    for (auto& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_TRUE(made[i].created) << i;
        EXPECT_EQ(made[i].image.cx, 10 + i) << i;
        EXPECT_EQ(made[i].image.cy, 20 + i) << i;
        EXPECT_EQ(made[i].rect.right - made[i].rect.left, 10 + i) << i;
    }
}

TEST(SplashScreenWindow, TheClassIsRegisteredOncePerProcess) {
    TempFile image(L"class.bmp", bmp(4, 4));
    // Whatever the first window asked for stays the class's style.
    Made first = makeSplash(image.path(), false);
    ASSERT_TRUE(first.created);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), SplashScreenWindow::kClassName, &info));
    const UINT style = info.style;
    EXPECT_EQ(style & ~static_cast<UINT>(CS_DROPSHADOW), static_cast<UINT>(CS_SAVEBITS | CS_DBLCLKS));
    Made second = makeSplash(image.path(), !(style & CS_DROPSHADOW));
    ASSERT_TRUE(second.created);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), SplashScreenWindow::kClassName, &info));
    EXPECT_EQ(info.style, style);
    EXPECT_EQ(info.hCursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
}

TEST(SplashScreenWindow, NeverErasesItsBackgroundAndIgnoresInput) {
    TempFile image(L"erase.bmp", bmp(30, 20));
    std::thread([&] {
        vexa::GdiplusSession gdiplus;
        SplashScreenWindow window;
        HWND hwnd = window.create(gdiplus, image.path(), false);
        ASSERT_NE(hwnd, nullptr);
        HDC dc = GetDC(hwnd);
        // Erasing is refused (handled, nothing drawn) so that the one bitmap copy never flickers.
        EXPECT_EQ(SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
        ReleaseDC(hwnd, dc);
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_KEYDOWN, WM_CHAR})
            SendMessageW(hwnd, message, 0, 0);
        EXPECT_TRUE(IsWindow(hwnd));
        EXPECT_EQ(window.hwnd(), hwnd);
        DestroyWindow(hwnd);
        EXPECT_EQ(window.hwnd(), nullptr);
    }).join();
}
