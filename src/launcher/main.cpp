// Process entry of vexa.exe.
#include <windows.h>

#include "foundation/SystemLibrary.h"
#include "launcher/LauncherApp.h"
#include "ui/Window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a DLL: none may come from the working folder.
    vexa::keepWorkingFolderOutOfDllSearch();
    int result;
    {
        vexa::LauncherApp app;
        SetThreadLocale(GetSystemDefaultLCID());
        // Lets the window manager set the thread up before any window exists.
        DefWindowProcW(nullptr, 0, 0, 0);
        result = app.init() ? app.run() : -1;
    }
    vexa::releaseWindowClasses();
    return result;
}
