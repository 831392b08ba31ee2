// The value logic of the runtime search: the table of registration keys and
// their gates, the version bounds of a registry pass, the order and choice
// among the runtimes found, and the requirement phrase shown when none
// qualifies. Free of the platform API.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/JavaVersion.h"
#include "foundation/JrePolicy.h"

namespace vexa {

// One registered runtime that passed every test of a registry pass.
struct JreCandidate {
    JavaVersion version;  // from the subkey name, missing components 0
    std::wstring home;    // ends in "\"; a JDK's "jre\" folder for the old JDK keys
    bool isServer = false;
    bool isFavoured = false;
    bool isIbmFamily = false;  // registered under the IBM key
    // The version is only what the runtime's folder name promises at most;
    // the runtime's own version is read when the choice reaches it.
    bool estimated = false;
    std::size_t source = 0;    // which runtime of the search it is, for the search's own use
};

namespace jre {

enum class RuntimeKind { Jdk, Jre };
enum class RuntimeFamily { JavaSoft, JRockit, Ibm };

// A key under HKEY_LOCAL_MACHINE where runtimes register, one subkey per version.
struct RuntimeKey {
    std::wstring_view path;  // ends in "\"
    RuntimeKind kind;
    RuntimeFamily family;
    bool homeInJreFolder;      // the runtime lives in "jre\" below "JavaHome"
    bool clientFirstForFavor;  // probed as JvmType::Default when FavorServer is asked
};

// The registration keys in the order they are searched.
const std::array<RuntimeKey, 7>& runtimeKeys();

// Whether a key is searched at all under the policy: its kind and its family
// must both be open.
bool isKeySearched(const RuntimeKey& key, const JrePolicy& policy);

// Whether runtimes of this key are favoured: its kind's source flag and its
// family's favoured flag.
bool isFavouredKey(const RuntimeKey& key, const JrePolicy& policy);

// The JVM kind a home of this key is probed for during the scan.
JvmType scanProbeType(const RuntimeKey& key, JvmType requested);

// Whether a version read from a subkey name lies within the bounds. An upper
// bound that stands for no bound (0.0.0.0 from an empty "Maximum Version",
// or "any") admits every version; both bounds are inclusive.
bool withinBounds(const JavaVersion& version, const JrePolicy& policy);

// `folder` with a backslash at its end (an empty text stays empty).
std::wstring withTrailingBackslash(std::wstring folder);

// The runtime home named by a "JavaHome" value under `key`.
std::wstring runtimeHome(std::wstring javaHome, const RuntimeKey& key);

// The JVM library names, relative to a home, tried for `type` in order.
const std::vector<std::wstring_view>& jvmLibraryNames(JvmType type);

// Whether `relativeName` is the server JVM library.
bool isServerLibrary(std::wstring_view relativeName);

// Orders the candidates of one registry pass in place, best first; equal
// candidates keep their discovery order.
void orderCandidates(std::vector<JreCandidate>& candidates, const JrePolicy& policy);

// Orders the candidates and picks one: the first that matches the first
// preferred version that any candidate matches, else the first in order.
// Nothing for an empty array.
std::optional<JreCandidate> chooseCandidate(std::vector<JreCandidate>& candidates, const JrePolicy& policy);

// What a lazy choice learnt about one candidate.
enum class Examined : unsigned char { No, Qualifies, Rejected };

// The choice chooseCandidate would make among the candidates that qualify,
// made by examining as few as it takes. `candidates` hold what is known
// before a runtime is looked at (version, favoured mark) and are put in their
// order without the server mark; `examine` looks at one (it sets its home and
// server mark) and tells whether it qualifies. Each candidate is examined at
// most once; `examined` tells, per candidate in the new order, what was
// learnt. The index of the choice, or nothing.
//
// A candidate with an estimated version is ranked by its estimate, which
// must not be below its real version, until the choice reaches it; then
// `settle` replaces the estimate with the real version (false when the
// runtime may not be chosen with it) and the candidate takes its place among
// those not reached yet. The choice is then the one the real versions give.
std::optional<std::size_t> chooseExamining(std::vector<JreCandidate>& candidates, const JrePolicy& policy,
                                           const std::function<bool(JreCandidate&)>& examine,
                                           std::vector<Examined>& examined,
                                           const std::function<bool(JreCandidate&)>& settle = {});

// The message formats of the requirement phrase, as the string table holds
// them: "latest version", "maximum version %s", "minimum version %s",
// "version %s is required", "version between %s and %s".
struct RequirementTexts {
    std::wstring latest;
    std::wstring maximum;
    std::wstring minimum;
    std::wstring exact;
    std::wstring between;
};

// The phrase that says which versions the bounds of `policy` admit.
std::wstring describeRequirement(const JrePolicy& policy, const RequirementTexts& texts);

}  // namespace jre
}  // namespace vexa
