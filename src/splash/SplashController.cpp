#include "splash/SplashController.h"

#include <memory>

#include "launcher/LauncherApp.h"
#include "splash/SplashScreenWindow.h"

namespace vexa {
namespace {

// How long closing waits for the splash thread between two WM_QUIT posts. A
// post is lost while the thread has no message queue yet; the wait ends as
// soon as the thread does.
constexpr DWORD kQuitRepostMs = 10;

}  // namespace

bool LauncherApp::startSplash() { return true; }

void startImageSplash(LauncherApp& app) {
    app.splashWindow = std::make_unique<SplashScreenWindow>();
    DWORD threadId = 0;
    app.splashThread.reset(CreateThread(nullptr, 0, &splashThreadMain, &app, 0, &threadId));
    app.splashThreadId = threadId;
}

DWORD WINAPI splashThreadMain(void* param) {
    auto& app = *static_cast<LauncherApp*>(param);
    const bool shadow = app.splashShadow == L"true";
    HWND window = app.splashWindow->create(app.splashImagePath, shadow);
    app.messageOwner = window;  // error boxes from now on stand in front of the splash
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (window) DestroyWindow(window);
    return 0;
}

void LauncherApp::closeSplashWindow() {
    if (!splashWindow) return;
    if (splashThread) {
        // Repost until the thread has ended, sleeping on its handle in between
        // rather than spinning.
        do {
            PostThreadMessageW(splashThreadId, WM_QUIT, 0, 0);
        } while (WaitForSingleObject(splashThread.get(), kQuitRepostMs) == WAIT_TIMEOUT);
    }
    splashThread.reset();
    splashThreadId = 0;
    splashWindow.reset();
    // The window is gone: a later error box is shown without owner instead of
    // failing on a dead owner handle.
    messageOwner = nullptr;
}

}  // namespace vexa
