// Starts the launcher's image splash exactly as the launcher does and lets a
// test look at it:
//
//   splashprobe IMAGE SHADOW [--error TEXT] [--close-at-once]
//
// The splash stays up until the test signals the event named
// "VexaSplashProbe.<pid>" (at most 60 s); then the probe closes it and writes
// what it saw to the file named by VEXA_SPLASHPROBE_OUT:
//   window <handle the splash thread published, 0x0 when none>
//   alive <1 when that window still exists after closing, else 0>
//   owner <messageOwner after closing>
//   again <1 when a second close did nothing harmful>
// With --error the probe first shows an error box owned by the splash window;
// with --close-at-once it closes the splash right after starting it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "launcher/LauncherApp.h"
#include "splash/SplashController.h"
#include "splash/SplashScreenWindow.h"
#include "ui/Messages.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    std::wstring errorText;
    bool closeAtOnce = false;
    for (int i = 3; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--error" && i + 1 < argc) errorText = argv[++i];
        else if (arg == L"--close-at-once") closeAtOnce = true;
        else return 2;
    }
    const std::wstring eventName = L"VexaSplashProbe." + std::to_wstring(GetCurrentProcessId());
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    if (!quit) return 3;

    HWND published = nullptr;
    {
        vexa::LauncherApp app;
        app.splashImagePath = argv[1];
        app.splashShadow = argv[2];
        vexa::startImageSplash(app);
        if (!closeAtOnce) {
            if (!errorText.empty()) {
                for (int i = 0; i < 1000 && !app.messageOwner.load(); ++i) Sleep(10);
                vexa::showErrorBox(app.messageOwner, errorText);
            }
            WaitForSingleObject(quit, 60000);
        }
        published = app.messageOwner;
        app.closeSplashWindow();
        const bool alive = published && IsWindow(published);
        HWND ownerAfter = app.messageOwner;
        app.closeSplashWindow();
        const bool again = !app.splashWindow && !app.splashThread;

        wchar_t path[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"VEXA_SPLASHPROBE_OUT", path, MAX_PATH)) {
            if (FILE* out = _wfopen(path, L"wb")) {
                std::fprintf(out, "window %p\nalive %d\nowner %p\nagain %d\n", static_cast<void*>(published),
                             alive ? 1 : 0, static_cast<void*>(ownerAfter), again ? 1 : 0);
                std::fclose(out);
            }
        }
    }
    CloseHandle(quit);
    return 0;
}
