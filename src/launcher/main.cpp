// Process entry of vexa.exe.
#include <windows.h>

#include "foundation/StepTiming.h"
#include "launcher/LauncherApp.h"
#include "ui/Window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    VEXA_STEP("entry");
    int result;
    {
        vexa::LauncherApp app;
        SetThreadLocale(GetSystemDefaultLCID());
        // Lets the window manager set the thread up before any window exists.
        DefWindowProcW(nullptr, 0, 0, 0);
        VEXA_STEP("locale and window-system start-up");
        result = app.init() ? app.run() : -1;
    }
    vexa::releaseWindowClasses();
    VEXA_STEP("teardown (rest)");
    VEXA_STEP_REPORT();
    return result;
}
