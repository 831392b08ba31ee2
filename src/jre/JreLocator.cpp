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

// The runtimes registered for one registry pass, known by their subkey
// names until the choice reaches them.
class RegisteredRuntimes {
public:
    RegisteredRuntimes(const JrePolicy& policy, JreLocator::RegistryView view)
        : policy_(policy), access_(JreLocator::registryAccess(view)),
          viewNote_(view == JreLocator::RegistryView::Wow32 ? L" (32-bit view)" : L"") {}

    // Adds a candidate for each runtime under `key` whose version, read from
    // its subkey name, is within the bounds.
    void readKey(const jre::RuntimeKey& key, std::vector<JreCandidate>& candidates) {
        RegistryKey runtimes;
        const std::wstring path(key.path);
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access_, runtimes.put()) != ERROR_SUCCESS) return;
        const bool favoured = jre::isFavouredKey(key, policy_);
        wchar_t name[256];  // the longest key name the registry allows, and its NUL
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(std::size(name));
            if (RegEnumKeyExW(runtimes.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            JreCandidate candidate;
            candidate.version.parse(std::wstring(name, length), 0);
            if (!jre::withinBounds(candidate.version, policy_)) {
                diag::log(L"registry HKLM\\%s%s%s, version %s: rejected, outside \"Minimum Version\" and \"Maximum Version\"",
                          path, name, viewNote_, candidate.version);
                continue;
            }
            candidate.isFavoured = favoured;
            candidate.isIbmFamily = key.family == jre::RuntimeFamily::Ibm;
            candidate.source = registrations_.size();
            registrations_.push_back({keys_.size(), std::wstring(name, length)});
            candidates.push_back(std::move(candidate));
        }
        keys_.push_back({&key, std::move(runtimes)});
    }

    // Reads the candidate's "JavaHome" and probes it for a JVM library:
    // whether it qualifies.
    bool examine(JreCandidate& candidate) const {
        const Registration& registration = registrations_[candidate.source];
        const auto& [key, runtimes] = keys_[registration.key];
        const std::wstring_view path = key->path;
        const std::wstring& name = registration.name;
        RegistryKey versionKey;
        std::wstring javaHome;
        // An empty "JavaHome" names no folder (it would make the home the
        // root of the current drive), so it is passed over like a missing one.
        if (RegOpenKeyExW(runtimes.get(), name.c_str(), 0, access_, versionKey.put()) == ERROR_SUCCESS)
            javaHome = readJavaHome(versionKey.get());
        if (javaHome.empty()) {
            diag::log(L"registry HKLM\\%s%s%s: rejected, no \"JavaHome\"", path, name, viewNote_);
            return false;
        }
        candidate.home = jre::runtimeHome(std::move(javaHome), *key);
        if (JreLocator::probeJvmLibrary(candidate.home, jre::scanProbeType(*key, policy_.jvmType), candidate.isServer)
                .empty()) {
            diag::log(L"registry HKLM\\%s%s%s: home %s, version %s: rejected, no JVM library for its \"JVM Type\"", path,
                      name, viewNote_, candidate.home, candidate.version);
            return false;
        }
        diag::log(L"registry HKLM\\%s%s%s: home %s, version %s: qualifies", path, name, viewNote_, candidate.home,
                  candidate.version);
        return true;
    }

private:
    struct Registration {
        std::size_t key;    // in keys_
        std::wstring name;  // the subkey
    };
    const JrePolicy& policy_;
    const REGSAM access_;
    const wchar_t* const viewNote_;
    std::vector<std::pair<const jre::RuntimeKey*, RegistryKey>> keys_;
    std::vector<Registration> registrations_;
};

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
    // The subkey names say the version of every registered runtime; a
    // runtime's key is opened and its folder probed only when the choice
    // reaches it, best first.
    RegisteredRuntimes registered(policy_, view);
    std::vector<JreCandidate> candidates;
    for (const jre::RuntimeKey& key : jre::runtimeKeys()) {
        if (jre::isKeySearched(key, policy_)) registered.readKey(key, candidates);
    }
    std::vector<jre::Examined> examined;
    auto examine = [&registered](JreCandidate& candidate) { return registered.examine(candidate); };
    std::optional<std::size_t> chosen = jre::chooseExamining(candidates, policy_, examine, examined);
    logExamined(view == RegistryView::Wow32 ? L"registry, 32-bit view" : L"registry", candidates, examined, chosen,
                policy_);
    if (!chosen) return std::nullopt;
    if (view == RegistryView::Wow32) choice_.runPairProduct = true;
    choice_.ibmRegistryRuntime = candidates[*chosen].isIbmFamily;
    return std::move(candidates[*chosen].home);
}

void JreLocator::logExamined(std::wstring_view pass, const std::vector<JreCandidate>& candidates,
                 const std::vector<jre::Examined>& examined, std::optional<std::size_t> chosen, const JrePolicy& policy) {
    if (!diag::on()) return;
    std::vector<JreCandidate> qualified;
    std::int32_t unexamined = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (examined[i] == jre::Examined::Qualifies) qualified.push_back(candidates[i]);
        unexamined += examined[i] == jre::Examined::No;
    }
    orderCandidates(qualified, policy);
    logChoice(pass, qualified, chosen ? std::optional<JreCandidate>(candidates[*chosen]) : std::nullopt);
    if (unexamined > 0)
        diag::log(L"%s: runtimes not examined, ranked below the chosen one: %d", pass, unexamined);
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
