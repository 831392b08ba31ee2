// vexa-demo: lays out a small Java application the way a Java team ships it
// (a renamed vexa.exe beside its settings file and its jar), with a Java
// runtime of its own named by "JRE Path" (the test suite's stand-in runtime,
// since no Windows Java runtime can be installed on the build machines),
// starts it as a user would, and shows what the application printed.
#include <cstdio>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;

namespace {

void printIndented(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            std::printf("    %s\n", line.c_str());
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) std::printf("    %s\n", line.c_str());
}

}  // namespace

int wmain() {
    wchar_t full[MAX_PATH];
    GetFullPathNameW(artefact(L"..\\demo\\").c_str(), MAX_PATH, full, nullptr);
    const std::wstring folder = full;
    removeTree(folder);
    makeDirs(folder);
    standin::JavaHome runtime(folder + L"runtime\\");
    // The application: the stand-in's example jar (tests/standin/examples).
    makeDirs(folder + L"lib\\");
    copyFile(standin::exampleApp(L"demo-app.jar"), folder + L"lib\\demo-app.jar");
    // The splash image shown while the application starts (tests/demo/splash.png).
    copyFile(artefact(L"demo-splash.png"), folder + L"splash.png");
    const std::string settings =
        "[Java Runtime Environment]\r\n"
        "Main Class=demo.Hello\r\n"
        "JRE Path=" + narrow(runtime.home()) + "\r\n"
        "Virtual Machine Parameters=-Xmx64m\r\n"
        "[Class Path]\r\n"
        "Class Path=\\lib\\*.jar\r\n"
        "[Application]\r\n"
        "Output File=" + narrow(folder) + "logs\\output.txt\r\n"
        "Error File=" + narrow(folder) + "logs\\error.txt\r\n"
        "[Display]\r\n"
        "Splash Screen=" + narrow(folder) + "splash.png\r\n"
        "Splash Screen Shadow=true\r\n";
    LauncherCopy app(folder, L"VexaDemo.exe", settings);

    std::printf("Demo application: %s\n", narrow(app.exePath()).c_str());
    std::printf("Java runtime:     %s\n", narrow(runtime.jvmPath()).c_str());
    std::printf("Settings (%s):\n", narrow(app.iniPath()).c_str());
    printIndented(settings);

    const std::wstring arguments = L"hello \"from Vexa\" caf\x00E9";
    std::printf("\nStarting: VexaDemo.exe %s\n", narrow(arguments).c_str());
    auto process = app.start(arguments);
    if (!process.started()) {
        std::printf("could not start the demo (error %lu)\n", process.startError());
        return 1;
    }
    // Any message box the launcher shows is printed and answered.
    while (!process.wait(200)) {
        UiAction ok;
        ok.press = 1;
        WindowSnapshot box = waitForWindow(process.pid(), ok, 500);
        if (box.found) std::printf("The launcher showed: %s\n", narrow(box.message()).c_str());
    }
    const int exitCode = process.exitCode();
    std::printf("Exit code: %d\n", exitCode);

    std::printf("\nThe application wrote to its \"Output File\" (logs\\output.txt):\n");
    printIndented(readFile(folder + L"logs\\output.txt"));
    std::printf("and to its \"Error File\" (logs\\error.txt):\n");
    printIndented(readFile(folder + L"logs\\error.txt"));
    return exitCode == 0 ? 0 : 1;
}
