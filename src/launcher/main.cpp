// Process entry of vexa.exe and, built with VEXA_CONSOLE, of its console
// twin vexac.exe: the same launch, with every message written to standard
// error instead of shown in a box.
#include <windows.h>

#include <cstdlib>

#include "foundation/StepTiming.h"
#include "foundation/SystemLibrary.h"
#include "foundation/Diagnostics.h"
#include "launcher/LauncherApp.h"
#include "ui/Messages.h"
#include "ui/Window.h"

// An exception that nothing catches ends the process at once. The library's
// own handler would print the exception's type on a standard error that a GUI
// program has not got, and pulls in a name demangler of some 45 KB for it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

int launch() {
    VEXA_STEP("entry");
    // Before anything loads a DLL: none may come from the working folder.
    vexa::keepWorkingFolderOutOfDllSearch();
#ifdef VEXA_CONSOLE
    // Ctrl+C and Ctrl+Break are left to the Java runtime, which installs its
    // own handler: the launcher installs none.
    vexa::setMessageWriter(&vexa::writeToStandardError);
#endif
    int result;
    {
        vexa::LauncherApp app;
        SetThreadLocale(GetSystemDefaultLCID());
#ifndef VEXA_CONSOLE
        // Lets the window manager set the thread up before any window exists.
        DefWindowProcW(nullptr, 0, 0, 0);
#endif
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

}  // namespace

#ifdef VEXA_CONSOLE
int wmain(int, wchar_t**) { return launch(); }
#else
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return launch(); }
#endif
