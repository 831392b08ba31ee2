// Process entry of vexa.exe.
#include <windows.h>

#include <cstdlib>

#include "foundation/StepTiming.h"
#include "foundation/SystemLibrary.h"
#include "foundation/Diagnostics.h"
#include "launcher/LauncherApp.h"
#include "ui/Window.h"

// An exception that nothing catches ends the process at once. The library's
// own handler would print the exception's type on a standard error that a GUI
// program has not got, and pulls in a name demangler of some 45 KB for it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    VEXA_STEP("entry");
    // Before anything loads a DLL: none may come from the working folder.
    vexa::keepWorkingFolderOutOfDllSearch();
    int result;
    {
        vexa::LauncherApp app;
        SetThreadLocale(GetSystemDefaultLCID());
        // Lets the window manager set the thread up before any window exists.
        DefWindowProcW(nullptr, 0, 0, 0);
        VEXA_STEP("locale and window-system start-up");
        const bool ready = app.init();
        result = ready ? app.run() : -1;
        vexa::diag::log(ready ? L"launcher ends with exit code %d" : L"launcher ends before starting Java: exit code %d",
                        result);
    }
    vexa::releaseWindowClasses();
    VEXA_STEP("teardown (rest)");
    VEXA_STEP_REPORT();
    return result;
}
