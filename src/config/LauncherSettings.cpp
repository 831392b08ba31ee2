#include "config/LauncherSettings.h"

#include "config/EmbeddedBlock.h"
#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"
#include "foundation/StepTiming.h"
#include "foundation/PathText.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "launcher/Diagnostics.h"
#include "launcher/LauncherApp.h"
#include "resources/resource.h"
#include "ui/Messages.h"

namespace vexa {
namespace {

const std::wstring kProductInformation = L"Product Information";
const std::wstring kJre = L"Java Runtime Environment";
const std::wstring kApplication = L"Application";
const std::wstring kJrePathKey = L"JRE Path";

bool isYes(const std::wstring& value) { return equalsIgnoreCase(value, L"Yes"); }

JavaVersion readBound(const std::wstring& value, bool upper) {
    const std::int32_t filler = upper ? 65535 : 0;
    if (value == L"any") return JavaVersion::of(filler, filler, filler, filler, 4);
    JavaVersion version;
    version.parse(value, filler);  // a text that does not parse stays 0.0.0.0, count 0
    return version;
}

void applyJvmSource(LauncherApp& app, const std::wstring& value) {
    struct Choice {
        const wchar_t* name;
        bool both, jdk, jre;
    };
    static const Choice choices[] = {
        {L"", true, true, true},
        {L"favor_JRE", true, false, true},
        {L"favor_JDK", true, true, false},
        {L"only_JDK", false, true, false},
        {L"only_JRE", false, false, true},
    };
    for (const Choice& c : choices) {
        if (value == c.name) {
            app.bothSources = c.both;
            app.jdkSource = c.jdk;
            app.jreSource = c.jre;
            return;
        }
    }
    // An unknown source opens no registry key at all.
    app.bothSources = app.jdkSource = app.jreSource = false;
}

void applyVmProvider(LauncherApp& app, const std::wstring& value) {
    if (value.empty()) return;
    struct Choice {
        const wchar_t* name;
        bool jrockitAllowed, jrockitFavoured, sunAllowed, sunFavoured, ibmAllowed, ibmFavoured;
    };
    static const Choice choices[] = {
        {L"jrockit", true, true, false, false, false, false},
        {L"ibm", false, false, false, false, true, true},
        {L"favor_sun", true, false, true, true, true, false},
        {L"favor_jrockit", true, true, true, false, true, false},
        {L"favor_ibm", true, false, true, false, true, true},
        {L"any", true, false, true, false, true, false},
    };
    for (const Choice& c : choices) {
        if (!equalsIgnoreCase(value, c.name)) continue;
        app.jrockitAllowed = c.jrockitAllowed;
        app.jrockitFavoured = c.jrockitFavoured;
        app.sunAllowed = c.sunAllowed;
        app.sunFavoured = c.sunFavoured;
        app.ibmAllowed = c.ibmAllowed;
        app.ibmFavoured = c.ibmFavoured;
        return;
    }
}

JvmType jvmTypeOf(const std::wstring& value) {
    if (value == L"server") return JvmType::Server;
    if (value == L"favor_server") return JvmType::FavorServer;
    return JvmType::Default;
}

// "JRE Path" of a non-service application lives in the per-user file once
// that file exists: the main file's value is then ignored, even when the
// per-user file lacks the key.
std::wstring readJrePath(LauncherApp& app, LayeredSettingsFile& layered) {
    if (app.isService) return layered.readValue(kJre, kJrePathKey);
    std::wstring executable;
    std::wstring perUser;
    if (app.GetExecutablePath(executable)) perUser = SettingsFile::perUserPath(app, executable, false);
    if (!perUser.empty() && pathExists(perUser)) {
        std::wstring value = SettingsFile(perUser).readValue(kJre, kJrePathKey);
        diag::log(L"setting [%s] \"%s\" = \"%s\" from the per-user file %s (the main file's value does not count)",
                  kJre, kJrePathKey, value, perUser);
        return value;
    }
    diag::log(L"per-user settings file %s: none", perUser);
    return layered.readValue(kJre, kJrePathKey);
}

// "JRE Path" as a full path: a relative folder lies beside the launcher,
// wherever the process was started from, and "/" separates folders too.
std::wstring fullJrePath(LauncherApp& app, const std::wstring& value) {
    const std::wstring path = trimSpace(value);
    if (path.empty()) return {};
    std::wstring folder;
    if (!app.GetLauncherFolder(folder) || folder.empty()) return normalisePath(path);
    return resolveAgainstFolder(path, folder);
}

// The settings block embedded in the executable, read whole or not at all.
bool loadEmbeddedSettings(LauncherApp& app) {
    std::wstring text;
    switch (readOwnEmbeddedBlock(text)) {
    case EmbeddedBlockState::Absent:
        app.embeddedSettings = EmbeddedSettings();
        diag::log(L"embedded settings block: none");
        return true;
    case EmbeddedBlockState::Read:
        app.embeddedSettings.parse(text);
        diag::log(L"embedded settings block: read, %d sections",
                  static_cast<std::int32_t>(app.embeddedSettings.sections().size()));
        return true;
    case EmbeddedBlockState::Damaged:
        diag::log(L"embedded settings block: damaged");
        break;
    }
    app.embeddedSettings = EmbeddedSettings();
    std::wstring executable;
    app.GetExecutablePath(executable);
    showFormattedError(app.messageOwner, loadMessage(IDS_EMBEDDED_SETTINGS_DAMAGED), executable);
    return false;
}

}  // namespace

bool LauncherSettings::read(LauncherApp& app) {
    if (!loadEmbeddedSettings(app)) return false;
    VEXA_STEP("embedded block");
    std::wstring path;
    if (!SettingsFile::mainPath(app, path)) return false;
    // A missing file reads as all keys empty; one that is there but cannot be
    // read (locked, a folder, no access) would read the same, and is reported
    // as what it is instead.
    const std::uint32_t error = SettingsFile(path).checkReadable();
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        showFormattedError(app.messageOwner, loadMessage(IDS_SETTINGS_UNREADABLE), path,
                           static_cast<std::int32_t>(error));
        return false;
    }
    diag::log(error == ERROR_SUCCESS ? L"settings file %s: read" : L"settings file %s: missing, every key reads empty",
              path);

    // One read of the file serves both the plain and the layered keys.
    LayeredSettingsFile layered(path, app.embeddedSettings);
    app.productCode = layered.SettingsFile::readValue(kProductInformation, L"Product Code");
    app.productName = layered.SettingsFile::readValue(kProductInformation, L"Product Name");
    diag::log(L"setting [%s] \"Product Code\" = \"%s\", \"Product Name\" = \"%s\" from the file only",
              kProductInformation, app.productCode, app.productName);

    app.minVersion = readBound(layered.readValue(kJre, L"Minimum Version"), false);
    app.maxVersion = readBound(layered.readValue(kJre, L"Maximum Version"), true);
    app.isService = layered.readValue(kApplication, L"Application Type") == L"service";
    app.preferredVersions = splitList(layered.readValue(kJre, L"Preferred versions"), L";");
    VEXA_STEP("settings reads");
    app.jrePath = fullJrePath(app, readJrePath(app, layered));
    if (!app.jrePath.empty()) diag::log(L"\"JRE Path\" resolves to %s", app.jrePath);
    VEXA_STEP("per-user file");
    app.jvmType = jvmTypeOf(layered.readValue(kJre, L"JVM Type"));
    applyJvmSource(app, layered.readValue(kJre, L"JVM Source"));
    applyVmProvider(app, layered.readValue(kJre, L"VM Provider"));
    app.searchCommonLocations = !equalsIgnoreCase(layered.readValue(kJre, L"Search Common Locations"), L"No");

    app.settingsContent = layered.content();

    std::wstring mainClass = layered.readValue(kJre, L"Main Class");
    if (mainClass.empty()) {
        showErrorBox(app.messageOwner, loadMessage(IDS_NO_MAIN_CLASS));
        return false;
    }
    app.mainClass = replaceAll(std::move(mainClass), L'.', L'/');
    app.failureCheck = isYes(layered.readValue(kApplication, L"Failure Check"));
    app.overrideWorkingDir = isYes(layered.readValue(kApplication, L"Override WorkingDir"));
    app.systemPath = layered.readValue(kJre, L"System Path");
    app.libraryPath = layered.readValue(kJre, L"Library Path");
    app.pairProduct = layered.readValue(kApplication, L"Pair Product");
    app.pairReturnCode = isYes(layered.readValue(kApplication, L"Pair Return Code"));
    VEXA_STEP("settings reads (rest)");
    return true;
}

void LauncherSettings::storeJrePath(LauncherApp& app, const std::wstring& folder) {
    std::wstring mainFile;
    if (!SettingsFile::mainPath(app, mainFile)) return;  // nothing is written
    diag::log(L"\"JRE Path\" %s chosen in the dialog: stored in the %s settings", folder,
              app.isService ? L"main" : L"per-user");
    if (app.isService) {
        app.settingsContent.reset();  // what is read from now on includes the new value
        SettingsFile(mainFile).writeValue(kJre, kJrePathKey, folder);
        if (!app.pairProduct.empty())
            SettingsFile(settingsPathBeside(app.pairProduct)).writeValue(kJre, kJrePathKey, folder);
        return;
    }
    std::wstring executable;
    if (!app.GetExecutablePath(executable)) return;
    // Without an application-data folder there is no per-user file to write.
    const std::wstring own = SettingsFile::perUserPath(app, executable, true);
    if (!own.empty()) SettingsFile(own).writeValue(kJre, kJrePathKey, folder);
    if (app.pairProduct.empty()) return;
    const std::wstring paired = SettingsFile::perUserPath(app, app.pairProduct, true);
    if (!paired.empty()) SettingsFile(paired).writeValue(kJre, kJrePathKey, folder);
}

}  // namespace vexa
