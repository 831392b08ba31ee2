// Runs the launcher's library-path and option-building steps in its own
// process and writes what they left to the file named by VEXA_OPTPROBE_OUT,
// one item per line: a key, a blank, then the value in hex (option strings as
// their bytes, wide texts as UTF-16 code units of four hex digits).
//
// Steps and fields come from the environment:
//   VEXA_OPTPROBE_STEPS     "library", "options" or "library,options"
//   VEXA_OPTPROBE_JVM       jvmLibraryPath
//   VEXA_OPTPROBE_LIBRARY   libraryPath ("Library Path")
//   VEXA_OPTPROBE_SYSTEM    systemPath ("System Path")
// Settings are read from the settings file beside the probe, as the launcher
// reads them; the arguments come from the probe's own command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "foundation/WinText.h"
#include "launcher/LauncherApp.h"

namespace {

void writeWide(FILE* out, const char* key, const std::wstring& text) {
    std::fprintf(out, "%s ", key);
    for (wchar_t unit : text) std::fprintf(out, "%04x", static_cast<unsigned>(unit));
    std::fprintf(out, "\n");
}

void writeBytes(FILE* out, const char* key, const std::string& bytes) {
    std::fprintf(out, "%s ", key);
    for (unsigned char byte : bytes) std::fprintf(out, "%02x", byte);
    std::fprintf(out, "\n");
}

}  // namespace

int wmain() {
    using vexa::environmentValue;
    vexa::LauncherApp app;
    app.ReadArguments(app.arguments);
    app.jvmLibraryPath = environmentValue(L"VEXA_OPTPROBE_JVM");
    app.libraryPath = environmentValue(L"VEXA_OPTPROBE_LIBRARY");
    app.systemPath = environmentValue(L"VEXA_OPTPROBE_SYSTEM");
    const std::wstring steps = environmentValue(L"VEXA_OPTPROBE_STEPS");
    const std::wstring outPath = environmentValue(L"VEXA_OPTPROBE_OUT");
    if (outPath.empty()) return 2;

    if (steps.find(L"library") != std::wstring::npos) app.PrepareLibraryPath();
    int built = -1;
    if (steps.find(L"options") != std::wstring::npos) built = app.BuildJvmOptions() ? 1 : 0;

    FILE* out = _wfopen(outPath.c_str(), L"wb");
    if (!out) return 3;
    std::fprintf(out, "built %d\n", built);
    for (const auto& option : app.jvmOptions.entries()) writeBytes(out, "option", option);
    std::fprintf(out, "stack %llu\n", static_cast<unsigned long long>(app.threadStackSize));
    for (const auto& argument : app.arguments) writeWide(out, "argument", argument);
    writeWide(out, "outputFile", app.outputFile);
    std::fprintf(out, "outputAppend %d\n", app.outputAppend ? 1 : 0);
    writeWide(out, "errorFile", app.errorFile);
    std::fprintf(out, "errorAppend %d\n", app.errorAppend ? 1 : 0);
    writeWide(out, "commandText", app.commandText);
    writeWide(out, "libraryPath", app.libraryPath);
    writeWide(out, "VEXA_JVM_PATH", environmentValue(L"VEXA_JVM_PATH"));
    writeWide(out, "VEXA_JVM_HOME", environmentValue(L"VEXA_JVM_HOME"));
    writeWide(out, "Path", environmentValue(L"Path"));
    MEMORYSTATUS memory{};
    memory.dwLength = sizeof(memory);
    GlobalMemoryStatus(&memory);
    std::fprintf(out, "totalPhys %llu\n", static_cast<unsigned long long>(memory.dwTotalPhys));
    std::fprintf(out, "availVirtual %llu\n", static_cast<unsigned long long>(memory.dwAvailVirtual));
    std::fclose(out);
    return 0;
}
