#include "splash/SplashController.h"

#include <memory>
#include <string>

#include "foundation/PathText.h"
#include "foundation/WinText.h"
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

using SplashInitFn = void(__stdcall*)();
using SplashLoadFileFn = void(__stdcall*)(const char* path);
using SplashSetFileJarNameFn = void(__stdcall*)(const char* path, const char* jarName);

}  // namespace

// Shows the image through the runtime's own splash library. False when the
// library cannot be loaded or lacks one of the three start calls; its close
// function, when it has one, is kept in either case.
bool SplashController::startNative(const std::wstring& libraryPath, const std::wstring& imagePathText) {
    // Never freed: the runtime's splash keeps running on the library's own
    // threads, and its close function is called at the end.
    HMODULE library = Module(LoadLibraryW(libraryPath.c_str())).release();
    if (!library) return false;
    auto init = reinterpret_cast<SplashInitFn>(GetProcAddress(library, "SplashInit"));
    auto loadFile = reinterpret_cast<SplashLoadFileFn>(GetProcAddress(library, "SplashLoadFile"));
    auto setFileJarName = reinterpret_cast<SplashSetFileJarNameFn>(GetProcAddress(library, "SplashSetFileJarName"));
    nativeClose_.replace(reinterpret_cast<NativeSplashClose::Function>(GetProcAddress(library, "SplashClose")));
    if (!init || !loadFile || !setFileJarName) return false;

    const std::string imagePath = toThreadAnsi(imagePathText);
    init();
    loadFile(imagePath.c_str());
    setFileJarName(imagePath.c_str(), "");
    return true;
}

SplashController::SplashController() = default;
SplashController::~SplashController() { close(); }

void SplashController::start(const SplashSettings& settings, const std::wstring& jvmLibraryPath) {
    if (settings.imagePath.empty()) return;
    const std::wstring nativeLibrary = findNativeSplashLibrary(jvmLibraryPath);
    if (settings.preferNative && !nativeLibrary.empty() && startNative(nativeLibrary, settings.imagePath)) return;
    startImage(settings.imagePath, settings.shadow);
}

std::wstring findNativeSplashLibrary(const std::wstring& jvmLibraryPath) {
    std::wstring path = StripPathComponents(jvmLibraryPath, 2);
    if (path.empty()) return {};
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += L"splashscreen.dll";
    return pathExists(path) ? path : std::wstring();
}

void SplashController::startImage(const std::wstring& imagePath, const std::wstring& shadow) {
    imagePath_ = imagePath;
    shadow_ = shadow == L"true";
    window_ = std::make_unique<SplashScreenWindow>();
    DWORD threadId = 0;
    thread_.reset(CreateThread(nullptr, 0, &SplashController::threadMain, this, 0, &threadId));
    threadId_ = threadId;
    // Error boxes shown from here on stand in front of the splash, not behind it.
    if (thread_) window_->waitPublished(kPublishWaitMs);
}

DWORD WINAPI SplashController::threadMain(void* param) {
    auto& splash = *static_cast<SplashController*>(param);
    // The window exists before the image is decoded, so that it owns every
    // error box from the start; it takes the image's size once that is ready.
    HWND window = splash.window_->createLoading(splash.imagePath_, splash.shadow_);
    splash.owner_ = window;  // error boxes from now on stand in front of the splash
    splash.window_->markPublished();

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (window) DestroyWindow(window);
    return 0;
}

void SplashController::close() {
    if (!window_) return;
    if (thread_) {
        // Repost until the thread has ended, sleeping on its handle in between
        // rather than spinning.
        do {
            PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        } while (WaitForSingleObject(thread_.get(), kQuitRepostMs) == WAIT_TIMEOUT);
    }
    thread_.reset();
    threadId_ = 0;
    window_.reset();
    // The window is gone: a later error box is shown without owner instead of
    // failing on a dead owner handle.
    owner_ = nullptr;
}

}  // namespace vexa
