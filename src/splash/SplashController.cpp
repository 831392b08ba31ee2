#include "splash/SplashController.h"

#include <memory>
#include <string>

#include "config/SettingsStore.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "jvm/LibraryPath.h"
#include "launcher/Diagnostics.h"
#include "launcher/LauncherApp.h"
#include "splash/SplashScreenWindow.h"

namespace vexa {
namespace {

// How long closing waits for the splash thread between two WM_QUIT posts. A
// post is lost while the thread has no message queue yet; the wait ends as
// soon as the thread does.
constexpr DWORD kQuitRepostMs = 10;

// How long starting the splash waits for its window to exist. Making it takes
// milliseconds (the image is decoded afterwards, elsewhere); the bound only
// keeps a stuck window system from holding up the launch.
constexpr DWORD kPublishWaitMs = 2000;

using SplashInitFn = void(JNICALL*)();
using SplashLoadFileFn = void(JNICALL*)(const char* path);
using SplashSetFileJarNameFn = void(JNICALL*)(const char* path, const char* jarName);

// Shows the image through the runtime's own splash library. False when the
// library cannot be loaded or lacks one of the three start calls; its close
// function, when it has one, is kept in either case.
bool startNativeSplash(LauncherApp& app, const std::wstring& libraryPath) {
    // Never freed: the runtime's splash keeps running on the library's own
    // threads, and its close function is called at the end.
    HMODULE library = Module(LoadLibraryW(libraryPath.c_str())).release();
    if (!library) return false;
    auto init = reinterpret_cast<SplashInitFn>(GetProcAddress(library, "SplashInit"));
    auto loadFile = reinterpret_cast<SplashLoadFileFn>(GetProcAddress(library, "SplashLoadFile"));
    auto setFileJarName = reinterpret_cast<SplashSetFileJarNameFn>(GetProcAddress(library, "SplashSetFileJarName"));
    app.nativeSplashClose.replace(
        reinterpret_cast<NativeSplashClose::Function>(GetProcAddress(library, "SplashClose")));
    if (!init || !loadFile || !setFileJarName) return false;

    const std::string imagePath = toThreadAnsi(app.splashImagePath);
    init();
    loadFile(imagePath.c_str());
    setFileJarName(imagePath.c_str(), "");
    return true;
}

}  // namespace

bool LauncherApp::startSplash() {
    std::wstring settingsPath;
    if (!SettingsFile::mainPath(*this, settingsPath)) return false;
    SettingsFile settings(settingsPath, settingsContent);
    splashImagePath = settings.readValue(L"Display", L"Splash Screen");
    splashShadow = settings.readValue(L"Display", L"Splash Screen Shadow");
    const std::wstring preferNative = settings.readValue(L"Display", L"Preffer Native Splash Screen");
    diag::log(L"setting [Display] \"Splash Screen\" = \"%s\", \"Splash Screen Shadow\" = \"%s\", "
              L"\"Preffer Native Splash Screen\" = \"%s\" from the file only",
              splashImagePath, splashShadow, preferNative);
    if (splashImagePath.empty()) return true;

    const std::wstring nativeLibrary = findNativeSplashLibrary(jvmLibraryPath);
    if (equalsIgnoreCase(preferNative, L"Yes") && !nativeLibrary.empty() && startNativeSplash(*this, nativeLibrary))
        return true;
    startImageSplash(*this);
    return true;
}

std::wstring findNativeSplashLibrary(const std::wstring& jvmLibraryPath) {
    std::wstring path = StripPathComponents(jvmLibraryPath, 2);
    if (path.empty()) return {};
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += L"splashscreen.dll";
    return pathExists(path) ? path : std::wstring();
}

void startImageSplash(LauncherApp& app) {
    app.splashWindow = std::make_unique<SplashScreenWindow>();
    DWORD threadId = 0;
    app.splashThread.reset(CreateThread(nullptr, 0, &splashThreadMain, &app, 0, &threadId));
    app.splashThreadId = threadId;
    // Error boxes shown from here on stand in front of the splash, not behind it.
    if (app.splashThread) app.splashWindow->waitPublished(kPublishWaitMs);
}

DWORD WINAPI splashThreadMain(void* param) {
    auto& app = *static_cast<LauncherApp*>(param);
    const bool shadow = app.splashShadow == L"true";
    // The window exists before the image is decoded, so that it owns every
    // error box from the start; it takes the image's size once that is ready.
    HWND window = app.splashWindow->createLoading(app.splashImagePath, shadow);
    app.messageOwner = window;  // error boxes from now on stand in front of the splash
    app.splashWindow->markPublished();

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
