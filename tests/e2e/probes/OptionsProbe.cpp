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

#include "config/LauncherSettings.h"
#include "config/SettingsPaths.h"
#include "foundation/ProcessView.h"
#include "foundation/WinText.h"
#include "jvm/JvmOptions.h"
#include "jvm/LibraryPath.h"
#include "ui/Messages.h"

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
    std::wstring executable;
    vexa::queryExecutablePath(executable);
    std::vector<std::wstring> arguments = vexa::readArguments(executable);
    // The settings the steps read: the file beside the probe, and the fields
    // the environment gives.
    vexa::LauncherSettings settings;
    settings.executable = executable;
    settings.mainFile = vexa::settingsPathBeside(executable);
    const std::wstring jvmLibraryPath = environmentValue(L"VEXA_OPTPROBE_JVM");
    std::wstring libraryPath = environmentValue(L"VEXA_OPTPROBE_LIBRARY");
    const std::wstring systemPath = environmentValue(L"VEXA_OPTPROBE_SYSTEM");
    const std::wstring steps = environmentValue(L"VEXA_OPTPROBE_STEPS");
    const std::wstring outPath = environmentValue(L"VEXA_OPTPROBE_OUT");
    if (outPath.empty()) return 2;

    vexa::JvmOptionList jvmOptions;
    if (steps.find(L"library") != std::wstring::npos) {
        if (std::optional<std::wstring> composed =
                vexa::prepareLibraryPath(jvmLibraryPath, libraryPath, systemPath, vexa::folderOf(executable))) {
            libraryPath = *composed;
            jvmOptions.Add(L"-Djava.library.path=" + libraryPath);
        }
    }
    int built = -1;
    vexa::JvmLaunchOptions launch;
    if (steps.find(L"options") != std::wstring::npos) {
        vexa::Result<vexa::JvmLaunchOptions> result = vexa::buildJvmOptions(settings);
        built = result ? 1 : 0;
        if (result) {
            launch = std::move(result.value());
            for (const std::wstring& option : launch.options) jvmOptions.Add(option);
            for (const std::wstring& argument : launch.commandArguments) arguments.push_back(argument);
        } else {
            vexa::showFailure(nullptr, result.failure());  // as the launcher does
        }
    }

    FILE* out = _wfopen(outPath.c_str(), L"wb");
    if (!out) return 3;
    std::fprintf(out, "built %d\n", built);
    for (const auto& option : jvmOptions.entries()) writeBytes(out, "option", option);
    std::fprintf(out, "stack %llu\n", static_cast<unsigned long long>(launch.threadStackSize));
    for (const auto& argument : arguments) writeWide(out, "argument", argument);
    writeWide(out, "outputFile", launch.output.outputFile);
    std::fprintf(out, "outputAppend %d\n", launch.output.outputAppend ? 1 : 0);
    writeWide(out, "errorFile", launch.output.errorFile);
    std::fprintf(out, "errorAppend %d\n", launch.output.errorAppend ? 1 : 0);
    writeWide(out, "commandText", launch.commandText);
    writeWide(out, "libraryPath", libraryPath);
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
