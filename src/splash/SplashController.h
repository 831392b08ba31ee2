// The splash controller: chooses between the Java runtime's native splash
// library and the launcher's own image window, runs the image window's
// thread, and owns all of it until the splash is closed.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "foundation/Handle.h"

namespace vexa {

class SplashScreenWindow;

// Holds the native splash library's close function and calls it at most once,
// whoever asks first.
class NativeSplashClose {
public:
    using Function = void(__stdcall*)();

    void callOnce() {
        if (Function f = function_.exchange(nullptr)) f();
    }
    // Storing a different function first closes with the old one.
    void replace(Function f) {
        if (f != function_.load()) callOnce();
        function_.store(f);
    }
    bool isSet() const { return function_.load() != nullptr; }

private:
    std::atomic<Function> function_{nullptr};
};

// The "Display" settings.
struct SplashSettings {
    std::wstring imagePath;  // "Splash Screen"; empty: no splash
    std::wstring shadow;     // "Splash Screen Shadow"
    bool preferNative = false;  // "Preffer Native Splash Screen" is "Yes"
};

// The runtime's "splashscreen.dll" in the parent folder of the JVM library's
// folder (C:\Java\jre\bin\server\jvm.dll gives C:\Java\jre\bin\splashscreen.dll);
// empty when that file does not exist.
std::wstring findNativeSplashLibrary(const std::wstring& jvmLibraryPath);

class SplashController {
public:
    SplashController();
    ~SplashController();
    SplashController(const SplashController&) = delete;
    SplashController& operator=(const SplashController&) = delete;

    // Shows the splash the settings ask for: the runtime's own when it is
    // preferred and the runtime has one, else the image window.
    void start(const SplashSettings& settings, const std::wstring& jvmLibraryPath);

    // Creates the image window and starts the splash thread for the image;
    // returns once the thread has made its window (it does not wait for the
    // image).
    void startImage(const std::wstring& imagePath, const std::wstring& shadow);

    // Stops the splash thread and deletes the window; a second call does
    // nothing. The native splash is closed apart (`nativeClose`).
    void close();

    // The window that error boxes stand in front of: the splash window while
    // it is up, else none. Safe from any thread.
    HWND messageOwner() const { return owner_.load(); }
    bool hasWindow() const { return window_ != nullptr; }
    bool hasThread() const { return static_cast<bool>(thread_); }
    NativeSplashClose& nativeClose() { return nativeClose_; }

private:
    static DWORD WINAPI threadMain(void* controller);
    bool startNative(const std::wstring& libraryPath, const std::wstring& imagePath);

    Handle thread_;
    DWORD threadId_ = 0;
    std::unique_ptr<SplashScreenWindow> window_;
    std::atomic<HWND> owner_{nullptr};
    NativeSplashClose nativeClose_;
    std::wstring imagePath_;
    bool shadow_ = false;
};

}  // namespace vexa
