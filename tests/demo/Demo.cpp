// vexa-demo: lays out a small Java application the way a Java team ships it
// (a renamed vexa.exe beside its settings file), starts it as a user would,
// and reports what it showed and how it ended.
#include <cstdio>

#include "TestSupport.h"

using namespace vexa::test;

int wmain() {
    const std::wstring folder = artefact(L"..\\demo\\");
    makeDirs(folder);
    LauncherCopy app(folder, L"VexaDemo.exe",
                     "[Java Runtime Environment]\r\n"
                     "Main Class=demo.Hello\r\n"
                     "[Class Path]\r\n"
                     "Class Path=\\lib\\*.jar\r\n");
    std::printf("Demo application: %s\n", narrow(app.exePath()).c_str());
    auto process = app.start(L"hello \"from Vexa\"");
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
    std::printf("Exit code: %d\n", process.exitCode());
    return 0;
}
