// Runs the launcher's init steps up to the runtime search (arguments,
// settings, search) and writes what the search left behind to the file named
// by VEXA_JREPROBE_OUT, as UTF-8 lines: "found" or "none", the JVM library
// path, and 1 or 0 for "run the paired launcher". VEXA_LOG is honoured as by
// the launcher. Exit code 0 when a runtime
// was found, 1 when none was, 2 when the settings could not be read.
#include <windows.h>

#include <cstdio>
#include <string>

#include "config/LauncherSettings.h"
#include "foundation/Diagnostics.h"
#include "foundation/DiagnosticsLog.h"
#include "foundation/ProcessView.h"
#include "foundation/WinText.h"
#include "jre/JreLocator.h"

int wmain() {
    // The diagnostics log, as the launcher opens it.
    vexa::DiagnosticsLog log;
    const std::wstring logPath = vexa::environmentValue(vexa::diag::kVariable);
    if (!logPath.empty() && log.open(logPath)) vexa::diag::installSink(&log);
    struct Uninstall {
        ~Uninstall() { vexa::diag::installSink(nullptr); }
    } uninstall;
    std::wstring executable;
    vexa::queryExecutablePath(executable);
    vexa::Result<vexa::LauncherSettings> read = vexa::LauncherSettings::read(executable);
    if (!read) return 2;
    const vexa::LauncherSettings& settings = read.value();
    if (settings.overrideWorkingDir) vexa::applyWorkingDirectory(executable);
    const std::optional<vexa::RuntimeChoice> choice =
        vexa::JreLocator(settings.runtime, {settings.jrePath, vexa::folderOf(executable), settings.pairProduct,
                                            settings.jrePathRemembered, settings.mainJrePath})
            .locate();
    const bool found = choice.has_value();
    const vexa::RuntimeChoice chosen = choice.value_or(vexa::RuntimeChoice());
    std::wstring out = vexa::environmentValue(L"VEXA_JREPROBE_OUT");
    if (out.empty()) return 3;
    FILE* file = _wfopen(out.c_str(), L"wb");
    if (!file) return 3;
    std::fprintf(file, "%s\n%s\n%d\n", found ? "found" : "none", vexa::toUtf8(chosen.jvmLibraryPath).c_str(),
                 chosen.runPairProduct ? 1 : 0);
    std::fclose(file);
    return found ? 0 : 1;
}
