// Starts the launcher's splash exactly as the launcher does and lets a test
// look at it. Two ways:
//
//   splashprobe --image IMAGE --shadow SHADOW [--error TEXT] [--close-at-once]
//       starts the image splash for IMAGE and SHADOW directly;
//   splashprobe --settings --jvm JVMPATH [--fail]
//       starts the splash as the launcher does for the JVM library JVMPATH,
//       reading the "Display" settings from the settings file beside the probe; with
//       --fail the failed-run path closes the native splash before teardown.
//
// The splash stays up until the test signals the event named
// "VexaSplashProbe.<pid>" (at most 60 s); then the probe closes it (the
// launcher's own teardown does) and writes what it saw to the file named by
// VEXA_SPLASHPROBE_OUT:
//   started <startSplash's result, 1 for --image>
//   native <1 when a native close function was kept>
//   image <splashImagePath, UTF-8> / shadow <splashShadow, UTF-8>
//   window <handle the splash thread published, 0 when none>
//   alive <1 when that window still exists after closing, else 0>
//   owner <messageOwner after closing, 0 when none>
//   again <1 when a second close did nothing harmful>
// With --error the probe first shows an error box while the splash is up;
// with --close-at-once it closes the splash right after starting it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"
#include "foundation/ProcessView.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "splash/SplashController.h"
#include "splash/SplashScreenWindow.h"
#include "ui/Messages.h"

namespace {

std::string handleText(HWND window) { return window ? std::to_string(reinterpret_cast<UINT_PTR>(window)) : "0"; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring image, shadow, jvmPath, errorText;
    bool settings = false, closeAtOnce = false, fail = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto next = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
        if (arg == L"--image") image = next();
        else if (arg == L"--shadow") shadow = next();
        else if (arg == L"--settings") settings = true;
        else if (arg == L"--jvm") jvmPath = next();
        else if (arg == L"--error") errorText = next();
        else if (arg == L"--close-at-once") closeAtOnce = true;
        else if (arg == L"--fail") fail = true;
        else return 2;
    }
    const std::wstring eventName = L"VexaSplashProbe." + std::to_wstring(GetCurrentProcessId());
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    if (!quit) return 3;

    std::string report;
    {
        vexa::SplashController app;
        bool started = true;
        std::wstring shownImage = image, shownShadow = shadow;
        if (settings) {
            std::wstring executable;
            vexa::queryExecutablePath(executable);
            vexa::SettingsFile file(vexa::settingsPathBeside(executable));
            vexa::SplashSettings read;
            read.imagePath = shownImage = file.readValue(L"Display", L"Splash Screen");
            read.shadow = shownShadow = file.readValue(L"Display", L"Splash Screen Shadow");
            read.preferNative = vexa::equalsIgnoreCase(file.readValue(L"Display", L"Preffer Native Splash Screen"), L"Yes");
            app.start(read, jvmPath);
        } else {
            app.startImage(image, shadow);
        }
        report += "started " + std::to_string(started ? 1 : 0) + "\n";
        report += "native " + std::to_string(app.nativeClose().isSet() ? 1 : 0) + "\n";
        report += "image " + vexa::toUtf8(shownImage) + "\n";
        report += "shadow " + vexa::toUtf8(shownShadow) + "\n";
        if (!closeAtOnce) {
            if (!errorText.empty()) {
                // Starting the image splash returns once its window is published.
                vexa::showErrorBox(app.messageOwner(), errorText);
            }
            WaitForSingleObject(quit, 60000);
        }
        if (fail) app.nativeClose().callOnce();  // as a failed run does

        HWND published = app.messageOwner();
        app.close();
        report += "window " + handleText(published) + "\n";
        report += "alive " + std::to_string(published && IsWindow(published) ? 1 : 0) + "\n";
        report += "owner " + handleText(app.messageOwner()) + "\n";
        app.close();
        report += "again " + std::to_string(!app.hasWindow() && !app.hasThread() ? 1 : 0) + "\n";

        wchar_t path[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"VEXA_SPLASHPROBE_OUT", path, MAX_PATH)) {
            if (FILE* out = _wfopen(path, L"wb")) {
                std::fwrite(report.data(), 1, report.size(), out);
                std::fclose(out);
            }
        }
    }  // teardown: closes what is still open
    CloseHandle(quit);
    return 0;
}
