// Process entry of vexa.exe.
#include <windows.h>

#include "foundation/SystemLibrary.h"
#include "launcher/Diagnostics.h"
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
        const bool ready = app.init();
        result = ready ? app.run() : -1;
        vexa::diag::log(ready ? L"launcher ends with exit code %d" : L"launcher ends before starting Java: exit code %d",
                        result);
    }
    vexa::releaseWindowClasses();
    return result;
}
