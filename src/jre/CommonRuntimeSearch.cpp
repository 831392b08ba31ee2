// The search for today's runtimes: JAVA_HOME, the vendor keys and the install
// folders of the common OpenJDK distributions (tables in CommonRuntimes.cpp).
#include <algorithm>

#include "foundation/Handle.h"
#include "foundation/WinText.h"
#include "jre/CommonRuntimes.h"
#include "jre/JreLocator.h"
#include "foundation/Diagnostics.h"

namespace vexa {
namespace {

constexpr DWORD kReleaseFileLimit = 64 * 1024;  // a real one is under 2 KiB

const wchar_t* jvmTypeName(JvmType type) {
    switch (type) {
        case JvmType::Server: return L"server";
        case JvmType::FavorServer: return L"favor_server";
        case JvmType::Default: break;
    }
    return L"default";
}

// A string value of an open key, up to its first NUL; empty when it is
// missing, unreadable, empty or not text.
std::wstring readText(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    std::wstring buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD read = size;
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &read) != ERROR_SUCCESS)
        return {};
    std::wstring text(buffer.c_str());
    if (type != REG_EXPAND_SZ) return text;
    // "%LOCALAPPDATA%\Programs\..." and the like, as the installer meant it.
    const DWORD size2 = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size2 == 0) return {};
    std::wstring expanded(size2, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), size2);
    if (written == 0 || written > size2) return {};
    return std::wstring(expanded.c_str());
}

// A "Program Files" folder as Windows records it, so that a launcher
// started with a scant environment finds it too; the environment's when the
// record is missing.
std::optional<std::wstring> programFilesFolder(const jre::ProgramFilesFolder& folder) {
    RegistryKey key;
    const bool opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0,
                                      KEY_READ | KEY_WOW64_64KEY, key.put()) == ERROR_SUCCESS;
    for (const jre::FolderRecord& record : folder.records) {
        if (opened && !record.registryValue.empty()) {
            if (std::optional<std::wstring> found =
                    jre::absoluteFolder(readText(key.get(), std::wstring(record.registryValue).c_str())))
                return found;
        }
        if (std::optional<std::wstring> found =
                jre::absoluteFolder(environmentValue(std::wstring(record.environmentVariable).c_str())))
            return found;
    }
    return std::nullopt;
}

class CommonSearch {
public:
    CommonSearch(const JrePolicy& policy, bool paired) : policy_(policy), paired_(paired) {}

    // Notes the runtime in `folder`, named `source` in the log, as a
    // candidate of `out` when its version and kind may be chosen. A `name`
    // that gives a version ranks the runtime until the choice reaches it
    // (settle reads its "release" file then); otherwise the "release" file
    // is read now. Its JVM library is looked for only when the choice
    // reaches it (examine).
    void consider(const std::wstring& source, const std::wstring& folder, std::wstring_view name,
                  std::vector<JreCandidate>& out) {
        Runtime runtime{source, jre::withTrailingBackslash(folder), std::nullopt, L"name", std::nullopt, jre::nameVersion(name)};
        JreCandidate candidate;
        std::optional<JavaVersion> version;
        if (runtime.named) {
            candidate.estimated = true;
            candidate.version = jre::nameCeiling(*runtime.named);
            runtime.version = runtime.named;
        } else {
            version = readVersion(runtime);
            candidate.version = version.value_or(JavaVersion());
        }
        // The kind is looked at now only when it decides whether the runtime
        // may be chosen or where it ranks.
        const bool kindMatters = !jre::kindSearched(jre::RuntimeKind::Jdk, policy_) ||
                                 !jre::kindSearched(jre::RuntimeKind::Jre, policy_) ||
                                 jre::kindFavoured(jre::RuntimeKind::Jdk, policy_) !=
                                     jre::kindFavoured(jre::RuntimeKind::Jre, policy_);
        if (kindMatters) runtime.kind = kindOf(runtime.root);
        const jre::RuntimeKind kind = runtime.kind.value_or(jre::RuntimeKind::Jdk);
        if (runtime.kind && !jre::kindSearched(kind, policy_)) {
            diag::log(L"runtime %s (%s): %s, version %s: rejected, a %s is not allowed by \"JVM Source\"", runtime.root,
                      source, kindName(kind), described(runtime), kindName(kind));
            return;
        }
        // An estimate is only a ceiling: below "Minimum Version" it rules
        // the runtime out, above "Maximum Version" it does not.
        std::optional<std::wstring_view> why =
            candidate.estimated
                ? (JavaVersion::compare(candidate.version, policy_.minVersion) < 0
                       ? std::optional<std::wstring_view>(L"below \"Minimum Version\"")
                       : std::nullopt)
                : jre::versionRejection(candidate.version, version.has_value(), policy_);
        if (why) {
            reject(runtime, *why);
            return;
        }
        candidate.isFavoured = jre::kindFavoured(kind, policy_);
        candidate.source = runtimes_.size();
        runtimes_.push_back(std::move(runtime));
        out.push_back(std::move(candidate));
    }

    // Replaces a candidate's estimate with the version its "release" file
    // gives (its name's when the file gives none): whether it may still be
    // chosen.
    bool settle(JreCandidate& candidate) {
        Runtime& runtime = runtimes_[candidate.source];
        const std::optional<JavaVersion> version = readVersion(runtime);
        candidate.version = version.value_or(JavaVersion());
        if (std::optional<std::wstring_view> why = jre::versionRejection(candidate.version, version.has_value(), policy_)) {
            reject(runtime, *why);
            return false;
        }
        return true;
    }

    // Looks for the candidate's JVM library: whether it qualifies.
    bool examine(JreCandidate& candidate) const {
        const Runtime& runtime = runtimes_[candidate.source];
        const std::wstring& root = runtime.root;
        candidate.home = root;
        std::wstring library = JreLocator::probeJvmLibrary(root, policy_.jvmType, candidate.isServer);
        if (library.empty()) {
            // A Java 8 JDK keeps its runtime in "jre\".
            candidate.home = root + L"jre\\";
            library = JreLocator::probeJvmLibrary(candidate.home, policy_.jvmType, candidate.isServer);
        }
        if (library.empty()) {
            diag::log(L"runtime %s (%s): rejected, no JVM library for \"JVM Type\" %s", root, runtime.source,
                      jvmTypeName(policy_.jvmType));
            return false;
        }
        // This process cannot load a 32-bit runtime; only a paired launcher
        // can run one.
        if (!paired_ && jre::imageMachine(jre::readFileStart(library, jre::kImageHeadSize)) == jre::kOtherMachine) {
            diag::log(L"runtime %s (%s): rejected, a 32-bit runtime and no \"Pair Product\" to run it", root,
                      runtime.source);
            return false;
        }
        if (diag::on())
            diag::log(L"runtime %s (%s): %s, version %s, library %s: qualifies", root, runtime.source,
                      kindName(runtime.kind.value_or(kindOf(root))), described(runtime), library);
        return true;
    }

    // `perUser`: the key under HKEY_CURRENT_USER, where a per-user install
    // records itself, instead of HKEY_LOCAL_MACHINE.
    void scanKey(const jre::VendorKey& key, JreLocator::RegistryView view, std::vector<JreCandidate>& out,
                 bool perUser = false) {
        const REGSAM access = JreLocator::registryAccess(view);
        RegistryKey runtimes;
        const std::wstring path(key.path);
        if (RegOpenKeyExW(perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, path.c_str(), 0, access, runtimes.put()) !=
            ERROR_SUCCESS)
            return;
        wchar_t name[256];  // the longest key name the registry allows, and its NUL
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(std::size(name));
            if (RegEnumKeyExW(runtimes.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            std::wstring subkey(name, length);
            if (!key.subPath.empty()) subkey += L"\\" + std::wstring(key.subPath);
            const std::wstring source =
                (perUser ? L"HKCU\\" : L"HKLM\\") + path + subkey + L" \"" + std::wstring(key.valueName) + L"\"" + (view == JreLocator::RegistryView::Wow32 ? L", other view" : L"");
            RegistryKey runtime;
            std::wstring folder;
            if (RegOpenKeyExW(runtimes.get(), subkey.c_str(), 0, access, runtime.put()) == ERROR_SUCCESS)
                folder = readText(runtime.get(), std::wstring(key.valueName).c_str());
            if (folder.empty()) {
                diag::log(L"registry %s: rejected, no install folder recorded", source);
                continue;
            }
            consider(source, folder, name, out);
        }
    }

    void scanFolder(const std::wstring& folder, std::vector<JreCandidate>& out) {
        WIN32_FIND_DATAW entry;
        FindHandle find(FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &entry, FindExSearchLimitToDirectories,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!find) return;
        std::vector<std::wstring> names;
        do {
            const std::wstring_view name = entry.cFileName;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
                names.emplace_back(name);
        } while (FindNextFileW(find.get(), &entry));
        // File systems list names in different orders; runtimes that rank
        // alike are taken in name order everywhere.
        std::sort(names.begin(), names.end());
        for (const std::wstring& name : names) consider(L"install folder", folder + name, name, out);
    }

private:
    // What was learnt of a runtime before its library is looked for.
    struct Runtime {
        std::wstring source;     // where it was found, for the log
        std::wstring root;       // its folder, ending in "\"
        std::optional<JavaVersion> version;  // as far as known, for the log
        const wchar_t* from = L"name";       // where `version` came from
        std::optional<jre::RuntimeKind> kind;
        std::optional<JavaVersion> named;  // the version its folder or key name gives
    };

    // The version of the "release" file, else the name's; notes which.
    static std::optional<JavaVersion> readVersion(Runtime& runtime) {
        std::optional<JavaVersion> version =
            jre::releaseFileVersion(jre::readFileStart(runtime.root + L"release", kReleaseFileLimit));
        const wchar_t* from = L"release file";
        if (!version) {
            version = runtime.named;
            from = L"name";
        }
        runtime.version = version;
        runtime.from = from;
        return version;
    }

    void reject(const Runtime& runtime, std::wstring_view why) const {
        if (diag::on())
            diag::log(L"runtime %s (%s): %s, version %s: rejected, %s", runtime.root, runtime.source,
                      kindName(runtime.kind.value_or(kindOf(runtime.root))), described(runtime), why);
    }

    // Its version and where that came from, for the log.
    static std::wstring described(const Runtime& runtime) {
        if (!runtime.version) return L"unknown";
        return runtime.version->toText() + L" (from its " + runtime.from + L")";
    }

    static jre::RuntimeKind kindOf(const std::wstring& root) {
        return pathExists(root + L"bin\\javac.exe") ? jre::RuntimeKind::Jdk : jre::RuntimeKind::Jre;
    }
    static const wchar_t* kindName(jre::RuntimeKind kind) { return kind == jre::RuntimeKind::Jdk ? L"JDK" : L"JRE"; }

    const JrePolicy& policy_;
    bool paired_;  // "Pair Product" is set: a 32-bit runtime can be run
    std::vector<Runtime> runtimes_;
};

}  // namespace

std::string jre::readFileStart(const std::wstring& path, std::uint32_t limit) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    // A small first read serves the usual short file; the buffer grows
    // towards the limit only while the file fills it.
    std::string text;
    std::uint32_t size = 0;
    for (std::uint32_t chunk = std::min<std::uint32_t>(limit, 4096); size < limit; chunk = limit - size) {
        text.resize(size + chunk);
        DWORD read = 0;
        if (!ReadFile(file.get(), text.data() + size, chunk, &read, nullptr)) return {};
        size += read;
        if (read < chunk) break;
    }
    text.resize(size);
    return text;
}

bool JreLocator::searchCommonRuntimes() {
    if (!policy_.searchCommonLocations) {
        diag::log(L"JAVA_HOME, vendor keys and install folders: not searched (\"Search Common Locations\" is no)");
        return false;
    }
    if (!jre::commonSearchOpen(policy_)) {
        diag::log(L"JAVA_HOME, vendor keys and install folders: not searched (\"VM Provider\" excludes them)");
        return false;
    }
    CommonSearch search(policy_, !places_.pairProduct.empty());
    std::vector<JreCandidate> candidates;

    // The candidates of a pass are examined best first, only until the
    // choice is certain.
    auto choose = [&](std::wstring_view pass, bool wow32) {
        std::vector<jre::Examined> examined;
        auto examine = [&search](JreCandidate& candidate) { return search.examine(candidate); };
        auto settle = [&search](JreCandidate& candidate) { return search.settle(candidate); };
        std::optional<std::size_t> chosen = jre::chooseExamining(candidates, policy_, examine, examined, settle);
        logExamined(pass, candidates, examined, chosen, policy_);
        std::optional<JreCandidate> choice;
        if (chosen) choice = candidates[*chosen];
        candidates.clear();
        if (!choice) return false;
        bool isServer = false;
        choice_.jvmLibraryPath = probeJvmLibrary(choice->home, policy_.jvmType, isServer);
        if (choice_.jvmLibraryPath.empty()) return false;
        // A 32-bit runtime runs in the paired launcher, as from "JRE Path".
        choice_.runPairProduct = wow32 || needsPairedLauncher(choice_.jvmLibraryPath, places_.pairProduct);
        return true;
    };

    // The folder the user or the system names for Java.
    const std::wstring javaHome = environmentValue(L"JAVA_HOME");
    if (std::optional<std::wstring> folder = jre::absoluteFolder(javaHome)) {
        search.consider(L"JAVA_HOME", *folder, jre::folderName(*folder), candidates);
        if (choose(L"JAVA_HOME", false)) return true;
    } else if (!javaHome.empty()) {
        diag::log(L"JAVA_HOME %s: rejected, not an absolute folder", javaHome);
    } else {
        diag::log(L"JAVA_HOME: not set");
    }

    // Today's distributions: their keys and their install folders.
    for (const jre::VendorKey& key : jre::vendorKeys()) search.scanKey(key, RegistryView::Native, candidates);
    for (const jre::VendorKey& key : jre::vendorKeys()) search.scanKey(key, RegistryView::Native, candidates, true);
    // This launcher's own "Program Files" and the user's own programs folder;
    // the other architecture's "Program Files" comes last, for a paired
    // launcher only.
    std::vector<std::wstring> scanned;
    auto scanBelow = [&](const std::wstring& root) {
        if (std::find(scanned.begin(), scanned.end(), root) != scanned.end()) return;
        scanned.push_back(root);
        diag::log(L"install folders below %s", root);
        for (std::wstring_view vendor : jre::vendorFolders()) search.scanFolder(root + std::wstring(vendor), candidates);
    };
    const std::vector<jre::ProgramFilesFolder>& programFiles = jre::programFilesFolders(sizeof(void*) == 8);
    for (const jre::ProgramFilesFolder& folder : programFiles) {
        if (std::optional<std::wstring> root = folder.otherArchitecture ? std::nullopt : programFilesFolder(folder))
            scanBelow(*root);
    }
    if (std::optional<std::wstring> local = jre::absoluteFolder(environmentValue(L"LOCALAPPDATA")))
        scanBelow(*local + L"Programs\\");
    if (choose(L"vendor keys and install folders", false)) return true;

    // Only a paired launcher can host a runtime of the other architecture.
    if (places_.pairProduct.empty() || !hasOtherView()) return false;
    for (const jre::VendorKey& key : jre::vendorKeys()) search.scanKey(key, RegistryView::Wow32, candidates);
    for (const jre::ProgramFilesFolder& folder : programFiles) {
        if (std::optional<std::wstring> root = folder.otherArchitecture ? programFilesFolder(folder) : std::nullopt)
            scanBelow(*root);
    }
    return choose(L"vendor keys and install folders of the other architecture", true);
}

void JreLocator::logChoice(std::wstring_view pass, const std::vector<JreCandidate>& ordered,
                           const std::optional<JreCandidate>& choice) {
    if (!diag::on()) return;
    if (!choice) {
        diag::log(L"%s: no runtime qualifies", pass);
        return;
    }
    size_t chosen = 0;
    while (chosen < ordered.size() && !(ordered[chosen].home == choice->home &&
                                        ordered[chosen].version.components == choice->version.components))
        ++chosen;
    for (size_t i = 0; i < ordered.size(); ++i) {
        const JreCandidate& c = ordered[i];
        const wchar_t* verdict = i == chosen ? (chosen == 0 ? L"chosen, first in order" : L"chosen, matches a \"Preferred versions\" entry")
                                 : i < chosen ? L"passed over, the chosen runtime matches an earlier \"Preferred versions\" entry"
                                              : L"passed over, ranked below the chosen runtime";
        diag::log(L"%s: #%d %s, version %s, favoured %s, server %s: %s", pass, static_cast<std::int32_t>(i + 1), c.home,
                  c.version, c.isFavoured, c.isServer, verdict);
    }
}

}  // namespace vexa
