// What the image splash costs: decoding and rendering an image once, each
// repaint (a single bitmap copy), and closing the splash thread. Closing
// reposts WM_QUIT while waiting on the thread's handle; for comparison the
// program also stops an identical thread by posting and polling its exit
// code without pause, and prints the processor time each way takes on the
// closing thread.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "ImageFiles.h"
#include "TestSupport.h"
#include "splash/SplashController.h"
#include "splash/Gdiplus.h"
#include "splash/SplashScreenWindow.h"

namespace {

using vexa::bench::median;
using vexa::bench::nowMs;

// A 24-bit BMP with a colour gradient.
std::wstring writeBmp(const std::wstring& folder, int width, int height) {
    std::wstring path = folder + L"bench-" + std::to_wstring(width) + L"x" + std::to_wstring(height) + L".bmp";
    vexa::test::writeBmp(path, width, height, [&](int x, int y) {
        return vexa::test::Rgba{static_cast<std::uint8_t>((x + y) & 0xFF), static_cast<std::uint8_t>(y * 255 / height),
                                static_cast<std::uint8_t>(x * 255 / width)};
    });
    return path;
}

// Processor time (user and kernel) of the calling thread, in ms.
double threadCpuMs() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// Creating the window: loading, decoding and rendering the image once.
double createMs(const std::wstring& image) {
    double elapsed = 0;
    std::thread([&] {
        vexa::GdiplusSession gdiplus;
        vexa::SplashScreenWindow window;
        double start = nowMs();
        HWND hwnd = window.create(gdiplus, image, true);
        elapsed = nowMs() - start;
        if (hwnd) DestroyWindow(hwnd);
    }).join();
    return elapsed;
}

// One repaint of the shown window: invalidate and paint at once.
double paintMs(const std::wstring& image, int repaints) {
    double perPaint = 0;
    std::thread([&] {
        vexa::GdiplusSession gdiplus;
        vexa::SplashScreenWindow window;
        HWND hwnd = window.create(gdiplus, image, true);
        if (!hwnd) return;
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        UpdateWindow(hwnd);
        double start = nowMs();
        for (int i = 0; i < repaints; ++i) RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        perPaint = (nowMs() - start) / repaints;
        DestroyWindow(hwnd);
    }).join();
    return perPaint;
}

struct Closing {
    double wallMs;
    double cpuMs;
};

// Closing the splash right after starting it, while its thread still loads
// the image and has no message queue yet.
Closing closeAtOnce(const std::wstring& image) {
    vexa::SplashController splash;
    splash.startImage(image, L"true");
    double wall = nowMs(), cpu = threadCpuMs();
    splash.close();
    return {nowMs() - wall, threadCpuMs() - cpu};
}

}  // namespace

int wmain() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::printf("Image splash (screen %dx%d)\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    std::vector<std::wstring> files;
    for (auto [w, h] : {std::pair{320, 240}, std::pair{1024, 768}, std::pair{2560, 2048}}) {
        std::wstring image = writeBmp(temp, w, h);
        files.push_back(image);
        std::vector<double> creates, paints;
        for (int i = 0; i < 5; ++i) creates.push_back(createMs(image));
        for (int i = 0; i < 3; ++i) paints.push_back(paintMs(image, 50));
        std::printf("  %5dx%-5d create (load, decode, render once): %8.2f ms   repaint: %6.3f ms\n", w, h,
                    median(creates), median(paints));
    }
    std::printf("Closing right after the start, 2560x2048 image (median of 5):\n");
    {
        std::vector<double> walls, cpus;
        for (int i = 0; i < 5; ++i) {
            Closing c = closeAtOnce(files.back());
            walls.push_back(c.wallMs);
            cpus.push_back(c.cpuMs);
        }
        std::printf("  %-44s wall %8.1f ms   closing thread's processor time %8.1f ms\n",
                    "posting and waiting on the thread:", median(walls), median(cpus));
    }
    // Large compressed PNGs: one within the size limit, one refused by its
    // header; and how long closing takes while such an image is decoded.
    std::printf("Large one-colour PNGs (median of 3):\n");
    for (auto [w, h] : {std::pair{4096, 4096}, std::pair{16000, 16000}}) {
        std::wstring image = std::wstring(temp) + L"bench-" + std::to_wstring(w) + L".png";
        vexa::test::writeFile(image, vexa::test::compressedPngBytes(w, h, {40, 80, 160}));
        files.push_back(image);
        std::vector<double> creates, closes;
        for (int i = 0; i < 3; ++i) creates.push_back(createMs(image));
        for (int i = 0; i < 3; ++i) closes.push_back(closeAtOnce(image).wallMs);
        std::printf("  %5dx%-5d create: %8.1f ms   closing right after the start: %6.1f ms\n", w, h, median(creates),
                    median(closes));
    }
    for (const auto& f : files) DeleteFileW(f.c_str());
    return 0;
}
