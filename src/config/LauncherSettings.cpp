#include "config/LauncherSettings.h"

#include "config/EmbeddedBlock.h"
#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"
#include "foundation/Diagnostics.h"
#include "foundation/MessageIds.h"
#include "foundation/PathText.h"
#include "foundation/ProcessView.h"
#include "foundation/StepTiming.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"

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

void applyJvmSource(JrePolicy& policy, const std::wstring& value) {
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
            policy.bothSources = c.both;
            policy.jdkSource = c.jdk;
            policy.jreSource = c.jre;
            return;
        }
    }
    // An unknown source opens no registry key at all.
    policy.bothSources = policy.jdkSource = policy.jreSource = false;
}

void applyVmProvider(JrePolicy& policy, const std::wstring& value) {
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
        policy.jrockitAllowed = c.jrockitAllowed;
        policy.jrockitFavoured = c.jrockitFavoured;
        policy.sunAllowed = c.sunAllowed;
        policy.sunFavoured = c.sunFavoured;
        policy.ibmAllowed = c.ibmAllowed;
        policy.ibmFavoured = c.ibmFavoured;
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
std::wstring readJrePath(LauncherSettings& settings, LayeredSettingsFile& layered) {
    if (settings.isService) return layered.readValue(kJre, kJrePathKey);
    const std::wstring perUser = settings.perUserPath(settings.executable, false);
    if (!perUser.empty() && pathExists(perUser)) {
        std::wstring value = SettingsFile(perUser).readValue(kJre, kJrePathKey);
        diag::log(L"setting [%s] \"%s\" = \"%s\" from the per-user file %s (the main file's value does not count "
                  L"while it qualifies)",
                  kJre, kJrePathKey, value, perUser);
        settings.jrePathRemembered = !trimSpace(value).empty();
        return value;
    }
    diag::log(L"per-user settings file %s: none", perUser);
    return layered.readValue(kJre, kJrePathKey);
}

// "JRE Path" or "Pair Product" as a full path: a relative one lies beside the
// launcher, wherever the process was started from, and "/" separates folders
// too.
std::wstring fullJrePath(const std::wstring& executable, const std::wstring& value) {
    const std::wstring path = trimSpace(value);
    if (path.empty()) return {};
    const std::wstring folder = folderOf(executable);
    if (folder.empty()) return normalisePath(path);
    return resolveAgainstFolder(path, folder);
}

// The switches as the launcher's parts read them: the one word each takes
// (in that case only, unless `anyCase`), and whether that word turns it on
// (the others then leave it at the opposite).
struct Switch {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* word;
    bool anyCase;
    bool wordMeansOn;
    bool layered;  // read over the embedded block, or from the file only
};
constexpr Switch kSwitches[] = {
    {L"Application", L"Single Instance", L"yes", false, true, true},
    {L"Application", L"Failure Check", L"Yes", true, true, true},
    {L"Application", L"Override WorkingDir", L"Yes", true, true, true},
    {L"Application", L"Pair Return Code", L"Yes", true, true, true},
    {L"Application", L"Embedded Jar", L"Yes", true, true, true},
    {L"Application", L"Output Append", L"yes", false, true, true},
    {L"Application", L"Error Append", L"yes", false, true, true},
    {L"Java Runtime Environment", L"Search Common Locations", L"No", true, false, true},
    {L"Display", L"Preffer Native Splash Screen", L"Yes", true, true, false},
};

// Logs every switch whose value is none its key accepts: a "Yes" where only
// "yes" counts reads as no, which is hard to see in the file.
void logUnacceptedSwitches(LayeredSettingsFile& layered) {
    for (const Switch& s : kSwitches) {
        const std::wstring value = s.layered ? layered.readValue(s.section, s.key) : layered.SettingsFile::readValue(s.section, s.key);
        const std::wstring_view word = s.word;
        const bool matches = s.anyCase ? equalsIgnoreCase(value, word) : value == word;
        // The other answer, in any case, is what it says.
        const bool opposite = equalsIgnoreCase(value, s.wordMeansOn ? L"no" : L"yes");
        if (value.empty() || matches || (opposite && !equalsIgnoreCase(value, word))) continue;
        diag::log(L"setting [%s] \"%s\" = \"%s\": not \"%s\"%s, so %s", s.section, s.key, value, s.word,
                  s.anyCase ? L" (in any case)" : L"", s.wordMeansOn ? L"off" : L"on");
    }
}

// The settings block embedded in the executable, read whole or not at all.
bool loadEmbeddedSettings(EmbeddedSettings& embedded) {
    std::wstring text;
    switch (readOwnEmbeddedBlock(text)) {
    case EmbeddedBlockState::Absent:
        diag::log(L"embedded settings block: none");
        return true;
    case EmbeddedBlockState::Read:
        embedded.parse(text);
        diag::log(L"embedded settings block: read, %d sections", static_cast<std::int32_t>(embedded.sections().size()));
        return true;
    case EmbeddedBlockState::Damaged:
        diag::log(L"embedded settings block: damaged");
        break;
    }
    embedded = EmbeddedSettings();
    return false;
}

}  // namespace

Result<LauncherSettings> LauncherSettings::read(const std::wstring& executable) {
    LauncherSettings settings;
    settings.executable = executable;
    if (!loadEmbeddedSettings(settings.embedded)) return Failure::of(IDS_EMBEDDED_SETTINGS_DAMAGED, {executable});
    VEXA_STEP("embedded block");
    const std::wstring path = settingsPathBeside(executable);
    settings.mainFile = path;
    // A missing file reads as all keys empty; one that is there but cannot be
    // read (locked, a folder, no access) would read the same, and is reported
    // as what it is instead.
    const std::uint32_t error = SettingsFile(path).checkReadable();
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return Failure::of(IDS_SETTINGS_UNREADABLE, {path, static_cast<std::int32_t>(error)});
    }
    diag::log(error == ERROR_SUCCESS ? L"settings file %s: read" : L"settings file %s: missing, every key reads empty",
              path);

    // One read of the file serves both the plain and the layered keys.
    LayeredSettingsFile layered(path, settings.embedded);
    settings.productCode = layered.SettingsFile::readValue(kProductInformation, L"Product Code");
    settings.productName = layered.SettingsFile::readValue(kProductInformation, L"Product Name");
    diag::log(L"setting [%s] \"Product Code\" = \"%s\", \"Product Name\" = \"%s\" from the file only",
              kProductInformation, settings.productCode, settings.productName);

    settings.runtime.minVersion = readBound(layered.readValue(kJre, L"Minimum Version"), false);
    settings.runtime.maxVersion = readBound(layered.readValue(kJre, L"Maximum Version"), true);
    settings.isService = layered.readValue(kApplication, L"Application Type") == L"service";
    settings.runtime.preferredVersions = splitList(layered.readValue(kJre, L"Preferred versions"), L";");
    VEXA_STEP("settings reads");
    settings.jrePath = fullJrePath(executable, readJrePath(settings, layered));
    if (settings.jrePathRemembered) settings.mainJrePath = fullJrePath(executable, layered.readValue(kJre, kJrePathKey));
    if (!settings.jrePath.empty()) diag::log(L"\"JRE Path\" resolves to %s", settings.jrePath);
    VEXA_STEP("per-user file");
    settings.runtime.jvmType = jvmTypeOf(layered.readValue(kJre, L"JVM Type"));
    applyJvmSource(settings.runtime, layered.readValue(kJre, L"JVM Source"));
    applyVmProvider(settings.runtime, layered.readValue(kJre, L"VM Provider"));
    settings.runtime.searchCommonLocations = !equalsIgnoreCase(layered.readValue(kJre, L"Search Common Locations"), L"No");

    settings.content = layered.content();

    std::wstring mainClass = layered.readValue(kJre, L"Main Class");
    if (mainClass.empty()) {
        return Failure::of(IDS_NO_MAIN_CLASS);
    }
    settings.mainClass = replaceAll(std::move(mainClass), L'.', L'/');
    settings.failureCheck = isYes(layered.readValue(kApplication, L"Failure Check"));
    settings.overrideWorkingDir = isYes(layered.readValue(kApplication, L"Override WorkingDir"));
    settings.systemPath = layered.readValue(kJre, L"System Path");
    settings.libraryPath = layered.readValue(kJre, L"Library Path");
    // A relative "Pair Product" lies beside the launcher, as "JRE Path" does,
    // never in whatever folder the process was started from.
    settings.pairProduct = fullJrePath(executable, layered.readValue(kApplication, L"Pair Product"));
    if (!settings.pairProduct.empty()) diag::log(L"\"Pair Product\" resolves to %s", settings.pairProduct);
    const std::wstring downloadUrl = trimSpace(layered.readValue(kJre, L"Download URL"));
    if (isDownloadAddress(downloadUrl)) settings.downloadUrl = downloadUrl;
    else if (!downloadUrl.empty())
        diag::log(L"setting [%s] \"Download URL\" = \"%s\": not an http: or https: address, the dialog links to "
                  L"its built-in address",
                  kJre, downloadUrl);
    if (diag::on()) logUnacceptedSwitches(layered);
    settings.pairReturnCode = isYes(layered.readValue(kApplication, L"Pair Return Code"));
    VEXA_STEP("settings reads (rest)");
    return settings;
}

std::wstring LauncherSettings::perUserPath(const std::wstring& executablePath, bool createFolders) const {
    const std::wstring appData = userDataFolder();
    std::wstring path = perUserSettingsPath(appData, productName, productCode, executablePath);
    if (createFolders && !path.empty()) {
        // Each folder below the application-data folder, outermost first.
        for (size_t slash = path.find(L'\\', appData.size() + 1); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1))
            CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    }
    return path;
}

void LauncherSettings::storeJrePath(const std::wstring& folder) {
    diag::log(L"\"JRE Path\" %s chosen in the dialog: stored in the %s settings", folder,
              isService ? L"main" : L"per-user");
    if (isService) {
        content.reset();  // what is read from now on includes the new value
        SettingsFile(mainFile).writeValue(kJre, kJrePathKey, folder);
        if (!pairProduct.empty()) SettingsFile(settingsPathBeside(pairProduct)).writeValue(kJre, kJrePathKey, folder);
        return;
    }
    // Without an application-data folder there is no per-user file to write.
    const std::wstring own = perUserPath(executable, true);
    if (!own.empty()) SettingsFile(own).writeValue(kJre, kJrePathKey, folder);
    if (pairProduct.empty()) return;
    const std::wstring paired = perUserPath(pairProduct, true);
    if (!paired.empty()) SettingsFile(paired).writeValue(kJre, kJrePathKey, folder);
}

}  // namespace vexa
