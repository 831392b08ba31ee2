// Runs the launcher's settings reader for its own executable and writes the
// resulting fields to the file named by VEXA_SETTINGSPROBE_OUT, one
// "name=value" line each (UTF-8; "\" "\r" "\n" escaped as \\ \r \n).
// With the arguments "store FOLDER" it then remembers FOLDER as the chosen
// runtime folder, as the launcher does after the "JRE Not Found" dialog.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/LauncherSettings.h"
#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"
#include "foundation/ProcessView.h"
#include "foundation/WinText.h"
#include "ui/Messages.h"

namespace {

std::string escaped(const std::wstring& text) {
    std::string out;
    for (char c : vexa::toUtf8(text)) {
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::wstring version(const vexa::JavaVersion& v) {
    std::wstring text;
    for (auto c : v.components) text += std::to_wstring(c) + L".";
    text.back() = L'#';
    return text + std::to_wstring(v.groupCount);
}

std::wstring flag(bool b) { return b ? L"1" : L"0"; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring executable;
    vexa::queryExecutablePath(executable);
    vexa::Result<vexa::LauncherSettings> read = vexa::LauncherSettings::read(executable);
    const bool ok = static_cast<bool>(read);
    if (!ok) vexa::showFailure(nullptr, read.failure());  // as the launcher does
    vexa::LauncherSettings app = ok ? std::move(read.value()) : vexa::LauncherSettings();
    if (ok && argc >= 3 && std::wstring(argv[1]) == L"store") app.storeJrePath(argv[2]);
    const std::wstring mainPath = vexa::settingsPathBeside(executable);
    std::vector<std::pair<const char*, std::wstring>> fields = {
        {"ok", flag(ok)},
        {"mainPath", mainPath},
        {"perUserPath", app.perUserPath(executable, false)},
        {"productCode", app.productCode},
        {"productName", app.productName},
        {"minVersion", version(app.runtime.minVersion)},
        {"maxVersion", version(app.runtime.maxVersion)},
        {"isService", flag(app.isService)},
        {"preferredCount", std::to_wstring(app.runtime.preferredVersions.size())},
        {"jrePath", app.jrePath},
        {"jvmType", std::to_wstring(static_cast<int>(app.runtime.jvmType))},
        {"sources", flag(app.runtime.bothSources) + flag(app.runtime.jdkSource) + flag(app.runtime.jreSource)},
        {"vendors", flag(app.runtime.jrockitAllowed) + flag(app.runtime.jrockitFavoured) + flag(app.runtime.sunAllowed) +
                        flag(app.runtime.sunFavoured) + flag(app.runtime.ibmAllowed) + flag(app.runtime.ibmFavoured)},
        {"mainClass", app.mainClass},
        {"failureCheck", flag(app.failureCheck)},
        {"overrideWorkingDir", flag(app.overrideWorkingDir)},
        {"systemPath", app.systemPath},
        {"libraryPath", app.libraryPath},
        {"pairProduct", app.pairProduct},
        {"pairReturnCode", flag(app.pairReturnCode)},
    };
    std::wstring preferred;
    for (const auto& entry : app.runtime.preferredVersions) preferred += L"<" + entry + L">";
    fields.emplace_back("preferred", preferred);

    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VEXA_SETTINGSPROBE_OUT", path, MAX_PATH)) return 2;
    FILE* out = _wfopen(path, L"wb");
    if (!out) return 3;
    for (const auto& [name, value] : fields) std::fprintf(out, "%s=%s\n", name, escaped(value).c_str());
    std::fclose(out);
    return ok ? 0 : 1;
}
