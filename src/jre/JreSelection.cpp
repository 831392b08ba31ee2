#include "jre/JreSelection.h"

#include <algorithm>

#include "foundation/Text.h"

namespace vexa::jre {
namespace {

constexpr std::wstring_view kServer = L"bin\\server\\jvm.dll";
constexpr std::wstring_view kClient = L"bin\\client\\jvm.dll";
constexpr std::wstring_view kClassic = L"bin\\classic\\jvm.dll";
constexpr std::wstring_view kHotspot = L"bin\\hotspot\\jvm.dll";
constexpr std::wstring_view kJrockit = L"bin\\jrockit\\jvm.dll";

bool familyAllowed(RuntimeFamily family, const JrePolicy& policy) {
    switch (family) {
        case RuntimeFamily::JavaSoft: return policy.sunAllowed || policy.sunFavoured;
        case RuntimeFamily::JRockit: return policy.jrockitAllowed || policy.jrockitFavoured;
        case RuntimeFamily::Ibm: return policy.ibmAllowed || policy.ibmFavoured;
    }
    return false;
}

bool familyFavoured(RuntimeFamily family, const JrePolicy& policy) {
    switch (family) {
        case RuntimeFamily::JavaSoft: return policy.sunFavoured;
        case RuntimeFamily::JRockit: return policy.jrockitFavoured;
        case RuntimeFamily::Ibm: return policy.ibmFavoured;
    }
    return false;
}

bool kindSource(RuntimeKind kind, const JrePolicy& policy) {
    return kind == RuntimeKind::Jdk ? policy.jdkSource : policy.jreSource;
}

// Whether `later`, found after `earlier`, must be placed before it: favoured
// runtimes first when both sources are allowed, then server libraries when a
// server is favoured, then higher versions.
bool laterComesFirst(const JreCandidate& earlier, const JreCandidate& later, const JrePolicy& policy) {
    if (policy.bothSources && earlier.isFavoured != later.isFavoured) return later.isFavoured;
    if (policy.jvmType == JvmType::FavorServer && earlier.isServer != later.isServer) return later.isServer;
    return JavaVersion::compare(later.version, earlier.version) > 0;
}

}  // namespace

const std::array<RuntimeKey, 7>& runtimeKeys() {
    using K = RuntimeKind;
    using F = RuntimeFamily;
    static const std::array<RuntimeKey, 7> keys{{
        {L"Software\\JavaSoft\\JDK\\", K::Jdk, F::JavaSoft, false, false},
        {L"Software\\JavaSoft\\JRE\\", K::Jre, F::JavaSoft, false, false},
        {L"Software\\JavaSoft\\Java Development Kit\\", K::Jdk, F::JavaSoft, true, false},
        {L"Software\\JavaSoft\\Java Runtime Environment\\", K::Jre, F::JavaSoft, false, true},
        {L"Software\\JRockit\\Java Runtime Environment\\", K::Jre, F::JRockit, false, false},
        {L"Software\\JRockit\\Java Development Kit\\", K::Jdk, F::JRockit, true, false},
        {L"Software\\IBM\\Java2 Runtime Environment\\", K::Jre, F::Ibm, false, false},
    }};
    return keys;
}

bool isKeySearched(const RuntimeKey& key, const JrePolicy& policy) {
    return (policy.bothSources || kindSource(key.kind, policy)) && familyAllowed(key.family, policy);
}

bool isFavouredKey(const RuntimeKey& key, const JrePolicy& policy) {
    return kindSource(key.kind, policy) && familyFavoured(key.family, policy);
}

JvmType scanProbeType(const RuntimeKey& key, JvmType requested) {
    if (key.clientFirstForFavor && requested == JvmType::FavorServer) return JvmType::Default;
    return requested;
}

bool withinBounds(const JavaVersion& version, const JrePolicy& policy) {
    if (!policy.maxVersion.isOpenBound() && JavaVersion::compare(version, policy.maxVersion) > 0) return false;
    return JavaVersion::compare(version, policy.minVersion) >= 0;
}

std::wstring withTrailingBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring runtimeHome(std::wstring javaHome, const RuntimeKey& key) {
    if (javaHome.empty()) return javaHome;
    std::wstring home = withTrailingBackslash(std::move(javaHome));
    if (key.homeInJreFolder) home += L"jre\\";
    return home;
}

const std::vector<std::wstring_view>& jvmLibraryNames(JvmType type) {
    static const std::vector<std::wstring_view> server{kServer};
    // The server library is named twice, as the search has always done; the
    // second look finds nothing the first did not.
    static const std::vector<std::wstring_view> favorServer{kServer, kClient, kClassic, kHotspot, kServer, kJrockit};
    static const std::vector<std::wstring_view> any{kClient, kClassic, kHotspot, kServer, kJrockit};
    switch (type) {
        case JvmType::Server: return server;
        case JvmType::FavorServer: return favorServer;
        case JvmType::Default: break;
    }
    return any;
}

bool isServerLibrary(std::wstring_view relativeName) { return relativeName == kServer; }

void orderCandidates(std::vector<JreCandidate>& candidates, const JrePolicy& policy) {
    // The rules compare favoured mark, server mark and version one after the
    // other, so a stable sort gives exactly the order of repeated exchanges of
    // adjacent pairs, without their quadratic cost.
    std::stable_sort(candidates.begin(), candidates.end(), [&policy](const JreCandidate& a, const JreCandidate& b) {
        return laterComesFirst(b, a, policy);
    });
}

std::optional<JreCandidate> chooseCandidate(std::vector<JreCandidate>& candidates, const JrePolicy& policy) {
    if (candidates.empty()) return std::nullopt;
    orderCandidates(candidates, policy);
    for (const std::wstring& entry : policy.preferredVersions) {
        JavaVersion preferred;
        preferred.parse(entry, 0);  // an entry without digits is 0.0.0.0 and matches every runtime
        for (const JreCandidate& candidate : candidates) {
            if (JavaVersion::matchesPreferred(candidate.version, preferred)) return candidate;
        }
    }
    return candidates.front();
}

std::optional<std::size_t> chooseExamining(std::vector<JreCandidate>& candidates, const JrePolicy& policy,
                                           const std::function<bool(JreCandidate&)>& examine,
                                           std::vector<Examined>& examined,
                                           const std::function<bool(JreCandidate&)>& settle) {
    // The order without the server mark, which only an examination tells:
    // favoured runtimes first (when both sources are allowed), then by version.
    JrePolicy unexamined = policy;
    unexamined.jvmType = JvmType::Default;
    orderCandidates(candidates, unexamined);
    examined.assign(candidates.size(), Examined::No);
    auto qualifies = [&](std::size_t i) {
        if (examined[i] == Examined::No) examined[i] = examine(candidates[i]) ? Examined::Qualifies : Examined::Rejected;
        return examined[i] == Examined::Qualifies;
    };
    // Replaces the estimate of candidate `i` with the real version and moves
    // the candidate down to its place among those after it; another one may
    // stand at `i` then. Candidates are numbered (`source`) in the order
    // they were found.
    auto settleAt = [&](std::size_t i) {
        JreCandidate& candidate = candidates[i];
        candidate.estimated = false;
        if (!settle || !settle(candidate)) {
            examined[i] = Examined::Rejected;
            return;
        }
        const auto first = candidates.begin() + static_cast<std::ptrdiff_t>(i);
        const auto place = std::upper_bound(first + 1, candidates.end(), candidate,
                                            [&](const JreCandidate& a, const JreCandidate& b) {
                                                // alike ones stay in the order they were found
                                                if (laterComesFirst(b, a, unexamined)) return true;
                                                return !laterComesFirst(a, b, unexamined) && a.source < b.source;
                                            });
        const std::ptrdiff_t distance = place - first;
        std::rotate(first, first + 1, place);
        std::rotate(examined.begin() + static_cast<std::ptrdiff_t>(i),
                    examined.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                    examined.begin() + static_cast<std::ptrdiff_t>(i) + distance);
    };
    const bool serverFirst = policy.jvmType == JvmType::FavorServer;
    auto group = [&](std::size_t i) { return policy.bothSources && candidates[i].isFavoured; };
    // The first qualifying candidate in the full order among those `wanted`:
    // in the first group that has one, a server library before any other.
    auto firstInOrder = [&](auto wanted) -> std::optional<std::size_t> {
        std::optional<std::size_t> other;  // the group's first that qualifies without a server library
        for (std::size_t i = 0; i < candidates.size();) {
            if (other && group(i) != group(*other)) return other;
            if (candidates[i].estimated) {
                settleAt(i);
                continue;
            }
            if (!wanted(candidates[i]) || !qualifies(i)) {
                ++i;
                continue;
            }
            if (!serverFirst || candidates[i].isServer) return i;
            if (!other) other = i;
            ++i;
        }
        return other;
    };
    for (const std::wstring& entry : policy.preferredVersions) {
        JavaVersion preferred;
        preferred.parse(entry, 0);  // an entry without digits is 0.0.0.0 and matches every runtime
        auto matches = [&](const JreCandidate& c) { return JavaVersion::matchesPreferred(c.version, preferred); };
        if (std::optional<std::size_t> found = firstInOrder(matches)) return found;
    }
    return firstInOrder([](const JreCandidate&) { return true; });
}

namespace {

// The text of an upper bound: one written as a single number ("17") is
// printed as written, not with the filler that stands for its open rest
// ("17.65535").
std::wstring upperBoundText(const JavaVersion& upper) {
    const auto& c = upper.components;
    if (upper.groupCount == 1 && c[1] == 65535 && c[2] == 65535 && c[3] == 65535) return decimalText(c[0]);
    return upper.toText();
}

}  // namespace

std::wstring describeRequirement(const JrePolicy& policy, const RequirementTexts& texts) {
    const JavaVersion& lower = policy.minVersion;
    const JavaVersion& upper = policy.maxVersion;
    const bool lowerOpen = lower.isOpenBound();
    const bool upperOpen = upper.isOpenBound();
    if (lowerOpen && upperOpen) return texts.latest;
    if (lowerOpen) return formatMessage(texts.maximum, {upperBoundText(upper)});
    if (upperOpen) return formatMessage(texts.minimum, {lower.toText()});
    if (lower.components == upper.components) return formatMessage(texts.exact, {lower.toText()});
    return formatMessage(texts.between, {lower.toText(), upperBoundText(upper)});
}

}  // namespace vexa::jre
