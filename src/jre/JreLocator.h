// Finds the JVM library of an installed Java runtime: in the folder named by
// "JRE Path", beside the launcher, and among the runtimes registered in the
// registry, where the policy of the settings chooses one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/JrePolicy.h"
#include "jre/JreSelection.h"

namespace vexa {

// Where the search looks besides the registry, and whether a runtime that
// only the paired launcher can host may be chosen.
struct RuntimeSearchPlaces {
    std::wstring jrePath;         // "JRE Path" as a full path, or empty
    std::wstring launcherFolder;  // the launcher's folder, with its "\\"
    std::wstring pairProduct;     // "Pair Product", or empty
    // "JRE Path" is the user's remembered choice (the per-user file), not
    // the application's own: it is passed over when it no longer qualifies.
    bool jrePathRemembered = false;
    // The main settings file's "JRE Path" as a full path, tried when the
    // remembered one is passed over; or empty.
    std::wstring mainJrePath;
};

// The runtime the search chose.
struct RuntimeChoice {
    std::wstring jvmLibraryPath;
    // The library is for the other architecture: the paired launcher runs it.
    bool runPairProduct = false;
    // The runtime was registered under the IBM key family; only such a
    // runtime gets the IBM treatment at the end of main.
    bool ibmRegistryRuntime = false;
};

// Whether the JVM library at `library` must be run by the paired launcher:
// "Pair Product" is set and the library is an image of the other architecture.
bool needsPairedLauncher(const std::wstring& library, const std::wstring& pairProduct);

class JreLocator {
public:
    // Which registry view a pass reads.
    enum class RegistryView {
        Native,  // the process's own view: the 64-bit one for vexa.exe, the 32-bit one for vexa32.exe
        Wow32,   // the other view (32-bit for vexa.exe, 64-bit for vexa32.exe), for runtimes that only
                 // the paired launcher can host
    };

    JreLocator(JrePolicy policy, RuntimeSearchPlaces places);

    // Runs the search: the runtime chosen, or none.
    std::optional<RuntimeChoice> locate();

    // The JVM library for `type` below `home` (which ends in "\"), or empty.
    // `isServer` is set when the server library was found and cleared for any
    // other hit; it is left alone when nothing is found.
    static std::wstring probeJvmLibrary(const std::wstring& home, JvmType type, bool& isServer);

    // What a runtime folder named by the user holds: its JVM library for
    // the policy's "JVM Type" (empty when none), the version of its "release"
    // file, and why that version lies outside the bounds.
    struct RuntimeFolder {
        std::wstring library;
        std::optional<JavaVersion> version;
        std::optional<std::wstring_view> outsideBounds;
    };
    static RuntimeFolder inspectFolder(const std::wstring& home, const JrePolicy& policy);

    // Whether `folder` (ending in "\") holds "bin\java.dll".
    static bool hasJavaDll(const std::wstring& folder);
    // Registry access for a view: the other view is the other architecture's.
    static unsigned long registryAccess(RegistryView view);  // a REGSAM
    // Whether this system has a view of the other architecture at all.
    static bool hasOtherView();

    // One registry pass: the home of the chosen runtime, or nothing. A pass
    // in the 32-bit view that chooses a runtime marks the choice for the
    // paired launcher.
    std::optional<std::wstring> searchRegistry(RegistryView view);

    // After every other source has found nothing: the folder named by
    // JAVA_HOME, then the vendor keys of today's OpenJDK distributions with
    // their install folders under %ProgramFiles%, then those keys in the
    // 32-bit view (with a paired launcher only). Fills the choice as the
    // other sources do; switched off by "Search Common Locations".
    bool searchCommonRuntimes();

    // Writes to the diagnostics log why each candidate of a pass, ordered by
    // chooseCandidate, was chosen or passed over.
    static void logChoice(std::wstring_view pass, const std::vector<JreCandidate>& ordered,
                          const std::optional<JreCandidate>& choice);

    // The same after a choice that examined candidates only as far as it
    // needed (jre::chooseExamining): the qualifying ones in their order, and
    // in one line how many were never examined.
    static void logExamined(std::wstring_view pass, const std::vector<JreCandidate>& candidates,
                            const std::vector<jre::Examined>& examined, std::optional<std::size_t> chosen,
                            const JrePolicy& policy);

    static void orderCandidates(std::vector<JreCandidate>& candidates, const JrePolicy& policy);
    static std::optional<JreCandidate> chooseCandidate(std::vector<JreCandidate>& candidates, const JrePolicy& policy);

private:
    // Takes the folder named by "JRE Path" when it qualifies.
    bool takeJrePath(const std::wstring& jrePath, bool remembered);

    JrePolicy policy_;
    RuntimeSearchPlaces places_;
    RuntimeChoice choice_;
};

}  // namespace vexa
