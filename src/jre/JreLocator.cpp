#include "jre/JreLocator.h"

#include "foundation/Diagnostics.h"
#include "foundation/Handle.h"
#include "foundation/WinText.h"
#include "jre/CommonRuntimes.h"

namespace vexa {
namespace {

// The "JavaHome" value of a runtime's version key as text, up to its first
// NUL; empty when it is missing, unreadable or empty. Any value type is read
// as text, and data without a terminating NUL is terminated here.
std::wstring readJavaHome(HKEY versionKey) {
    DWORD size = 0;
    if (RegQueryValueExW(versionKey, L"JavaHome", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    std::wstring buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD read = size;
    if (RegQueryValueExW(versionKey, L"JavaHome", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &read) !=
        ERROR_SUCCESS)
        return {};
    return std::wstring(buffer.c_str());
}

}  // namespace

JreLocator::JreLocator(JrePolicy policy, RuntimeSearchPlaces places)
    : policy_(std::move(policy)), places_(std::move(places)) {}

bool needsPairedLauncher(const std::wstring& library, const std::wstring& pairProduct) {
    if (pairProduct.empty()) return false;
    if (jre::imageMachine(jre::readFileStart(library, jre::kImageHeadSize)) != jre::kOtherMachine) return false;
    diag::log(L"JVM library %s is for the other architecture: the launch goes to \"Pair Product\" %s", library,
              pairProduct);
    return true;
}

std::wstring JreLocator::probeJvmLibrary(const std::wstring& home, JvmType type, bool& isServer) {
    for (std::wstring_view name : jre::jvmLibraryNames(type)) {
        std::wstring path = home;
        path += name;
        // A folder of that name is no library, whatever the name says.
        if (fileExists(path)) {
            isServer = jre::isServerLibrary(name);
            return path;
        }
    }
    return {};
}

bool JreLocator::hasJavaDll(const std::wstring& folder) { return pathExists(folder + L"bin\\java.dll"); }

std::optional<RuntimeChoice> JreLocator::locate() {
    bool isServer = false;
    choice_ = RuntimeChoice();

    // The folder the settings name.
    const std::wstring& jrePath = places_.jrePath;
    if (!jrePath.empty() && takeJrePath(jrePath, places_.jrePathRemembered)) return choice_;
    if (places_.jrePathRemembered && !places_.mainJrePath.empty() && takeJrePath(places_.mainJrePath, false))
        return choice_;

    // A runtime shipped with the application: the launcher's own folder, or
    // its "jre64\" folder. A folder that is neither is not probed, so that no
    // library is looked for relative to the working directory.
    const std::wstring& folder = places_.launcherFolder;
    if (!folder.empty()) {
        std::wstring home = folder;
        if (!hasJavaDll(home)) {
            home += L"jre64\\";
            if (!hasJavaDll(home)) home.clear();
        }
        if (home.empty()) diag::log(L"launcher folder %s: no runtime (no bin\\java.dll there or in jre64\\)", folder);
        if (!home.empty()) {
            std::wstring library = probeJvmLibrary(home, policy_.jvmType, isServer);
            if (library.empty()) diag::log(L"runtime beside the launcher %s: rejected, no JVM library for its \"JVM Type\"", home);
            else diag::log(L"runtime beside the launcher %s: chosen, %s", home, library);
            if (!library.empty()) {
                choice_.jvmLibraryPath = std::move(library);
                return choice_;
            }
        }
    }

    // The registered runtimes: the process's own view, then the 32-bit one.
    std::optional<std::wstring> home = searchRegistry(RegistryView::Native);
    if (!home) home = searchRegistry(RegistryView::Wow32);
    if (!home) {
        if (searchCommonRuntimes()) return choice_;
        return std::nullopt;
    }
    choice_.jvmLibraryPath = probeJvmLibrary(*home, policy_.jvmType, isServer);
    if (choice_.jvmLibraryPath.empty()) return std::nullopt;
    return choice_;
}

std::optional<std::wstring> JreLocator::searchRegistry(RegistryView view) {
    // Only a paired launcher can host a runtime of the 32-bit view.
    if (view == RegistryView::Wow32 && (places_.pairProduct.empty() || !JreLocator::hasOtherView())) {
        diag::log(L"registry, 32-bit view: not searched without \"Pair Product\"");
        return std::nullopt;
    }
    std::vector<JreCandidate> candidates;
    for (const jre::RuntimeKey& key : jre::runtimeKeys()) {
        if (jre::isKeySearched(key, policy_)) scanKey(key, view, candidates);
    }
    std::optional<JreCandidate> choice = chooseCandidate(candidates, policy_);
    logChoice(view == RegistryView::Wow32 ? L"registry, 32-bit view" : L"registry", candidates, choice);
    if (!choice) return std::nullopt;
    if (view == RegistryView::Wow32) choice_.runPairProduct = true;
    choice_.ibmRegistryRuntime = choice->isIbmFamily;
    return std::move(choice->home);
}

void JreLocator::scanKey(const jre::RuntimeKey& key, RegistryView view, std::vector<JreCandidate>& candidates) const {
    const REGSAM access = JreLocator::registryAccess(view);
    RegistryKey runtimes;
    const std::wstring path(key.path);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, runtimes.put()) != ERROR_SUCCESS) return;

    const JvmType probeType = jre::scanProbeType(key, policy_.jvmType);
    const bool favoured = jre::isFavouredKey(key, policy_);
    const wchar_t* const viewNote = view == RegistryView::Wow32 ? L" (32-bit view)" : L"";
    wchar_t name[256];  // the longest key name the registry allows, and its NUL
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(runtimes.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        JreCandidate candidate;
        candidate.version.parse(std::wstring(name, length), 0);
        if (!jre::withinBounds(candidate.version, policy_)) {
            diag::log(L"registry HKLM\\%s%s%s, version %s: rejected, outside \"Minimum Version\" and \"Maximum Version\"", path,
                      name, viewNote, candidate.version);
            continue;
        }

        RegistryKey versionKey;
        std::wstring javaHome;
        // An empty "JavaHome" names no folder (it would make the home the
        // root of the current drive), so it is passed over like a missing one.
        if (RegOpenKeyExW(runtimes.get(), name, 0, access, versionKey.put()) == ERROR_SUCCESS)
            javaHome = readJavaHome(versionKey.get());
        if (javaHome.empty()) {
            diag::log(L"registry HKLM\\%s%s%s: rejected, no \"JavaHome\"", path, name, viewNote);
            continue;
        }
        candidate.home = jre::runtimeHome(std::move(javaHome), key);
        if (probeJvmLibrary(candidate.home, probeType, candidate.isServer).empty()) {
            diag::log(L"registry HKLM\\%s%s%s: home %s, version %s: rejected, no JVM library for its \"JVM Type\"", path,
                      name, viewNote, candidate.home, candidate.version);
            continue;
        }
        candidate.isFavoured = favoured;
        candidate.isIbmFamily = key.family == jre::RuntimeFamily::Ibm;
        diag::log(L"registry HKLM\\%s%s%s: home %s, version %s: qualifies", path, name, viewNote, candidate.home,
                  candidate.version);
        candidates.push_back(std::move(candidate));
    }
}

void JreLocator::orderCandidates(std::vector<JreCandidate>& candidates, const JrePolicy& policy) {
    jre::orderCandidates(candidates, policy);
}

std::optional<JreCandidate> JreLocator::chooseCandidate(std::vector<JreCandidate>& candidates,
                                                        const JrePolicy& policy) {
    return jre::chooseCandidate(candidates, policy);
}

unsigned long JreLocator::registryAccess(RegistryView view) {
    // The other architecture's view: the 32-bit one for the 64-bit launcher,
    // the 64-bit one for the 32-bit launcher.
#ifdef _WIN64
    constexpr REGSAM otherView = KEY_WOW64_32KEY;
#else
    constexpr REGSAM otherView = KEY_WOW64_64KEY;
#endif
    return KEY_READ | (view == RegistryView::Wow32 ? otherView : 0);
}

bool JreLocator::hasOtherView() {
    // A 32-bit launcher on 32-bit Windows would read its own view again, and
    // hand its own runtimes over.
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

}  // namespace vexa
