// The splash controller: chooses between the Java runtime's native splash
// library and the launcher's own image window, and runs the image window's
// thread. LauncherApp::startSplash and LauncherApp::closeSplashWindow are the
// launcher's entry points; these are the pieces they are made of.
#pragma once

#include <windows.h>

#include <string>

namespace vexa {

class LauncherApp;

// The runtime's "splashscreen.dll" in the parent folder of the JVM library's
// folder (C:\Java\jre\bin\server\jvm.dll gives C:\Java\jre\bin\splashscreen.dll);
// empty when that file does not exist.
std::wstring findNativeSplashLibrary(const std::wstring& jvmLibraryPath);

// Creates the image window object in `app.splashWindow` and starts the splash
// thread for `app.splashImagePath` and `app.splashShadow`; returns once the
// thread has made its window (it does not wait for the image).
void startImageSplash(LauncherApp& app);

// The splash thread: creates the window, publishes it as the owner of error
// boxes and runs its message loop until WM_QUIT; the window shows itself once
// its image is decoded. Always 0.
DWORD WINAPI splashThreadMain(void* app);

}  // namespace vexa
