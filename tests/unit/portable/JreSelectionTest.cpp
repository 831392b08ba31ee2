// The registration key table, the bounds of a registry pass, the order and
// choice among runtimes and the requirement phrase.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "jre/JreSelection.h"

using namespace vexa;
using namespace vexa::jre;

namespace {

JavaVersion lowerBound(const std::wstring& text) {
    if (text == L"any") return JavaVersion::of(0, 0, 0, 0);
    JavaVersion v;
    v.parse(text, 0);
    return v;
}

JavaVersion upperBound(const std::wstring& text) {
    if (text == L"any") return JavaVersion::of(65535, 65535, 65535, 65535);
    JavaVersion v;
    v.parse(text, 65535);
    return v;
}

JavaVersion version(const std::wstring& text) {
    JavaVersion v;
    v.parse(text, 0);
    return v;
}

// A policy written out flag by flag, as the settings probe reports them (the
// settings behind each are read from real files in SettingsTest): sources
// "both jdk jre", vendors "jrockit allowed, favoured, sun allowed, favoured,
// ibm allowed, favoured", each '1' or '0'.
JrePolicy policy(const char* sources, const char* vendors = "001100") {
    JrePolicy p;
    p.bothSources = sources[0] == '1', p.jdkSource = sources[1] == '1', p.jreSource = sources[2] == '1';
    p.jrockitAllowed = vendors[0] == '1', p.jrockitFavoured = vendors[1] == '1';
    p.sunAllowed = vendors[2] == '1', p.sunFavoured = vendors[3] == '1';
    p.ibmAllowed = vendors[4] == '1', p.ibmFavoured = vendors[5] == '1';
    return p;
}

JreCandidate candidate(const std::wstring& v, const std::wstring& home, bool server = false, bool favoured = false) {
    JreCandidate c;
    c.version = version(v);
    c.home = home;
    c.isServer = server;
    c.isFavoured = favoured;
    return c;
}

std::wstring homes(const std::vector<JreCandidate>& candidates) {
    std::wstring out;
    for (const auto& c : candidates) out += c.home + L" ";
    return out;
}

}  // namespace

TEST(JreSelection, KeyTableInSearchOrderWithItsAdjustments) {
    // Per key, in search order: where the runtime of a home "C:\\jdk" lies,
    // and what a "favor_server" pass probes for.
    struct Row {
        const wchar_t* path;
        const wchar_t* runtime;
        JvmType favorServerProbe;
    };
    const Row rows[] = {
        {L"Software\\JavaSoft\\JDK\\", L"C:\\jdk\\", JvmType::FavorServer},
        {L"Software\\JavaSoft\\JRE\\", L"C:\\jdk\\", JvmType::FavorServer},
        {L"Software\\JavaSoft\\Java Development Kit\\", L"C:\\jdk\\jre\\", JvmType::FavorServer},
        {L"Software\\JavaSoft\\Java Runtime Environment\\", L"C:\\jdk\\", JvmType::Default},
        {L"Software\\JRockit\\Java Runtime Environment\\", L"C:\\jdk\\", JvmType::FavorServer},
        {L"Software\\JRockit\\Java Development Kit\\", L"C:\\jdk\\jre\\", JvmType::FavorServer},
        {L"Software\\IBM\\Java2 Runtime Environment\\", L"C:\\jdk\\", JvmType::FavorServer},
    };
    const auto& keys = runtimeKeys();
    ASSERT_EQ(keys.size(), std::size(rows));
    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(keys[i].path, rows[i].path);
        EXPECT_EQ(runtimeHome(L"C:\\jdk", keys[i]), rows[i].runtime);
        EXPECT_EQ(runtimeHome(L"C:\\jdk\\", keys[i]), rows[i].runtime);
        EXPECT_EQ(runtimeHome(L"", keys[i]), L"");
        for (JvmType t : {JvmType::Default, JvmType::Server}) EXPECT_EQ(scanProbeType(keys[i], t), t);
        EXPECT_EQ(scanProbeType(keys[i], JvmType::FavorServer), rows[i].favorServerProbe);
    }
}

TEST(JreSelection, KeyGatesAndFavouredMarks) {
    struct Row {
        const char* settings;  // what gives the policy
        const char* sources;
        const char* vendors;
        const char* searched;  // one mark per key of the table: '.' closed, 's' searched, 'f' searched and favoured
    };
    const Row rows[] = {
        {"nothing set", "111", "001100", "ffff..."},
        {"VM Provider=jrockit", "111", "110000", "....ff."},
        {"VM Provider=ibm", "111", "000011", "......f"},
        {"VM Provider=favor_sun", "111", "101110", "ffffsss"},
        {"VM Provider=favor_jrockit", "111", "111010", "ssssffs"},
        {"VM Provider=favor_ibm", "111", "101011", "ssssssf"},
        {"VM Provider=any", "111", "101010", "sssssss"},
        {"JVM Source=favor_JDK", "110", "001100", "fsfs..."},
        {"JVM Source=favor_JRE", "101", "001100", "sfsf..."},
        {"favor_JDK, any", "110", "101010", "sssssss"},
        {"JVM Source=only_JDK", "010", "001100", "f.f...."},
        {"JVM Source=only_JRE", "001", "001100", ".f.f..."},
        {"only_JRE, any", "001", "101010", ".s.ss.s"},
        {"only_JDK, jrockit", "010", "110000", ".....f."},
        {"an unknown source", "000", "001100", "......."},
        {"an unknown source, any", "000", "101010", "......."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings);
        const JrePolicy p = policy(row.sources, row.vendors);
        std::string seen;
        for (const RuntimeKey& key : runtimeKeys()) {
            if (!isKeySearched(key, p)) seen += '.';
            else seen += isFavouredKey(key, p) ? 'f' : 's';
        }
        EXPECT_EQ(seen, row.searched);
    }
}

TEST(JreSelection, BoundsOfARegistryPass) {
    struct Row {
        const wchar_t* min;
        const wchar_t* max;
        const wchar_t* subkey;
        bool admitted;
    };
    const Row rows[] = {
        {L"any", L"any", L"1.8.0_202", true},
        {L"any", L"any", L"Java", true},  // no digits: 0.0.0.0
        {L"", L"any", L"nodigits", true},
        {L"1.8", L"any", L"1.8", true},   // equal passes
        {L"1.8", L"any", L"1.7.0_80", false},
        {L"1.8", L"any", L"11.0.2", true},
        // An empty upper bound, as a settings file with only a minimum gives,
        // admits every version above the minimum.
        {L"1.8", L"", L"1.8.0_202", true},
        {L"1.8", L"", L"17", true},
        {L"1.8", L"", L"1.6", false},
        {L"", L"", L"9", true},
        // An explicit maximum still applies; its missing components are 65535.
        {L"any", L"1.8", L"1.8.0_202", true},
        {L"any", L"1.8", L"1.8.65535.65535", true},
        {L"any", L"1.8", L"1.9", false},
        {L"any", L"1.8", L"11.0.2", false},
        {L"1.6", L"1.8.0_100", L"1.8.0_100", true},
        {L"1.6", L"1.8.0_100", L"1.8.0_101", false},
        {L"1.6", L"1.8.0_100", L"1.5.0_22", false},
        {L"1.8.0.1", L"1.8.0.1", L"1.8.0.1", true},
        {L"1.8.0.1", L"1.8.0.1", L"1.8.0.2", false},
        {L"1.8.0.1", L"1.8.0.1", L"1.8", false},
        // A maximum that is all 65535 is the same as "any".
        {L"any", L"65535.65535.65535.65535", L"70000", true},
    };
    for (const Row& row : rows) {
        JrePolicy p;
        p.minVersion = lowerBound(row.min);
        p.maxVersion = upperBound(row.max);
        EXPECT_EQ(withinBounds(version(row.subkey), p), row.admitted)
            << "min \"" << testing::PrintToString(std::wstring(row.min)) << "\" max "
            << testing::PrintToString(std::wstring(row.max)) << " subkey " << testing::PrintToString(std::wstring(row.subkey));
    }
}

TEST(JreSelection, LibraryNamesPerJvmType) {
    using V = std::vector<std::wstring_view>;
    EXPECT_EQ(jvmLibraryNames(JvmType::Server), (V{L"bin\\server\\jvm.dll"}));
    EXPECT_EQ(jvmLibraryNames(JvmType::FavorServer),
              (V{L"bin\\server\\jvm.dll", L"bin\\client\\jvm.dll", L"bin\\classic\\jvm.dll", L"bin\\hotspot\\jvm.dll",
                 L"bin\\server\\jvm.dll", L"bin\\jrockit\\jvm.dll"}));
    EXPECT_EQ(jvmLibraryNames(JvmType::Default),
              (V{L"bin\\client\\jvm.dll", L"bin\\classic\\jvm.dll", L"bin\\hotspot\\jvm.dll", L"bin\\server\\jvm.dll",
                 L"bin\\jrockit\\jvm.dll"}));
    EXPECT_TRUE(isServerLibrary(L"bin\\server\\jvm.dll"));
    EXPECT_FALSE(isServerLibrary(L"bin\\client\\jvm.dll"));
    EXPECT_FALSE(isServerLibrary(L"bin\\jrockit\\jvm.dll"));
    EXPECT_EQ(withTrailingBackslash(L"C:\\jre"), L"C:\\jre\\");
    EXPECT_EQ(withTrailingBackslash(L"D:\\"), L"D:\\");
    EXPECT_EQ(withTrailingBackslash(L""), L"");
}

TEST(JreSelection, OrderExamples) {
    struct Row {
        const char* what;
        const char* sources;  // as in policy()
        JvmType type;
        std::vector<JreCandidate> found;  // in discovery order
        const wchar_t* expected;          // homes, best first
    };
    const Row rows[] = {
        {"higher versions first", "111", JvmType::Default,
         {candidate(L"1.7.0_80", L"a", false, true), candidate(L"11.0.2", L"b", false, true),
          candidate(L"1.8.0_202", L"c", false, true)},
         L"b c a "},
        {"equal candidates keep discovery order", "111", JvmType::Default,
         {candidate(L"1.8", L"a", false, true), candidate(L"1.8.0", L"b", false, true),
          candidate(L"1.8.0.0", L"c", false, true)},
         L"a b c "},
        {"favour_JDK: a favoured JDK 1.7 before a JRE 1.8", "110", JvmType::Default,
         {candidate(L"1.8", L"jre18", false, false), candidate(L"1.7", L"jdk17", false, true)},
         L"jdk17 jre18 "},
        {"only_JDK ignores the favoured marks", "010", JvmType::Default,
         {candidate(L"1.7", L"jdk17", false, true), candidate(L"1.8", L"jdk18", false, false)},
         L"jdk18 jdk17 "},
        {"favor_server: server first, then versions", "111", JvmType::FavorServer,
         {candidate(L"11", L"client11", false, true), candidate(L"1.8", L"server8", true, true),
          candidate(L"1.7", L"server7", true, true), candidate(L"17", L"client17", false, true)},
         L"server8 server7 client17 client11 "},
        {"server marks count only under favor_server", "111", JvmType::Server,
         {candidate(L"1.8", L"server8", true, true), candidate(L"11", L"client11", false, true)},
         L"client11 server8 "},
        {"favoured before server", "101", JvmType::FavorServer,
         {candidate(L"11", L"jdkServer", true, false), candidate(L"1.6", L"jreClient", false, true),
          candidate(L"1.7", L"jreServer", true, true)},
         L"jreServer jreClient jdkServer "},
        {"a single candidate", "111", JvmType::Default, {candidate(L"1.8", L"only", false, false)}, L"only "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        JrePolicy p = policy(row.sources);
        p.jvmType = row.type;
        std::vector<JreCandidate> list = row.found;
        orderCandidates(list, p);
        EXPECT_EQ(homes(list), row.expected);
    }
}

// The order must be exactly what repeated exchanges of adjacent pairs give,
// as many passes as there are candidates.
TEST(JreSelection, OrderMatchesRepeatedAdjacentExchanges) {
    std::mt19937 random(20240611);
    auto reference = [](std::vector<JreCandidate> list, const JrePolicy& p) {
        for (size_t pass = 0; pass < list.size(); ++pass) {
            for (size_t i = 0; i + 1 < list.size(); ++i) {
                const JreCandidate& earlier = list[i];
                const JreCandidate& later = list[i + 1];
                bool swap;
                if (p.jvmType == JvmType::FavorServer && earlier.isServer != later.isServer) swap = later.isServer;
                else swap = JavaVersion::compare(later.version, earlier.version) > 0;
                if (p.bothSources && earlier.isFavoured != later.isFavoured) swap = later.isFavoured;
                if (swap) std::swap(list[i], list[i + 1]);
            }
        }
        return list;
    };
    for (int round = 0; round < 400; ++round) {
        JrePolicy p;
        p.bothSources = random() % 2;
        p.jvmType = static_cast<JvmType>(random() % 3);
        std::vector<JreCandidate> list;
        const size_t count = random() % 12;
        for (size_t i = 0; i < count; ++i) {
            JreCandidate c;
            c.version = JavaVersion::of(1, static_cast<int>(random() % 3) + 6, 0, static_cast<int>(random() % 3));
            c.home = std::to_wstring(i);
            c.isServer = random() % 2;
            c.isFavoured = random() % 2;
            list.push_back(c);
        }
        std::vector<JreCandidate> expected = reference(list, p);
        orderCandidates(list, p);
        ASSERT_EQ(homes(list), homes(expected)) << "round " << round;
    }
}

TEST(JreSelection, ChoiceWithPreferredVersions) {
    struct Row {
        const char* what;
        std::vector<std::wstring> preferred;
        std::vector<JreCandidate> found;
        const wchar_t* chosen;
    };
    const Row rows[] = {
        {"no preference: the first in order", {},
         {candidate(L"1.7.0_80", L"a"), candidate(L"1.8.0_202", L"b")}, L"b"},
        {"1.7;1.8 chooses the 1.7", {L"1.7", L"1.8"},
         {candidate(L"1.8.0_202", L"b"), candidate(L"1.7.0_80", L"a")}, L"a"},
        {"an entry without a match is passed over", {L"1.6", L"1.7"},
         {candidate(L"1.8.0_202", L"b"), candidate(L"1.7.0_80", L"a")}, L"a"},
        {"1.6;;1.8: the empty entry takes the first in order", {L"1.6", L"", L"1.8"},
         {candidate(L"1.8.0_202", L"b"), candidate(L"11.0.2", L"c"), candidate(L"1.7.0_80", L"a")}, L"c"},
        {"a full version matches only itself", {L"1.8.0_202"},
         {candidate(L"1.8.0_212", L"x"), candidate(L"1.8.0_202", L"y"), candidate(L"1.8.0_2", L"z")}, L"y"},
        {"1.8.0 matches 1.8.1.0 as well", {L"1.8.0"},
         {candidate(L"11", L"x"), candidate(L"1.8.1", L"y")}, L"y"},
        {"the first ordered match of an entry wins", {L"1.8"},
         {candidate(L"1.8.0_101", L"old"), candidate(L"1.8.0_202", L"new")}, L"new"},
        {"nothing matches: the first in order", {L"1.5", L"9"},
         {candidate(L"1.7", L"a"), candidate(L"1.8", L"b")}, L"b"},
        {"a preference outranks the favoured mark", {L"1.7"},
         {candidate(L"1.8", L"favoured", false, true), candidate(L"1.7", L"plain", false, false)}, L"plain"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        JrePolicy p;
        p.preferredVersions = row.preferred;
        std::vector<JreCandidate> list = row.found;
        auto choice = chooseCandidate(list, p);
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(choice->home, row.chosen);
    }
    JrePolicy p;
    p.preferredVersions = {L"1.8"};
    std::vector<JreCandidate> none;
    EXPECT_FALSE(chooseCandidate(none, p).has_value());
}

// Examining candidates only as far as the choice needs chooses exactly what
// the choice among every qualifying candidate gives, and examines each at
// most once; when the best candidate qualifies at once, no other is examined.
// Some candidates are ranked by a ceiling from their folder name until the
// choice reaches them; their real version may then fall out of the bounds.
TEST(JreSelection, ExaminingChoiceMatchesTheChoiceAmongAllThatQualify) {
    std::mt19937 random(20261207);
    const std::vector<std::vector<std::wstring>> preferences = {{}, {L"1.7"}, {L"1.5", L"1.6"}, {L"", L"1.8"}};
    for (int round = 0; round < 1000; ++round) {
        JrePolicy p;
        p.bothSources = random() % 2;
        p.jvmType = static_cast<JvmType>(random() % 3);
        p.preferredVersions = preferences[random() % preferences.size()];
        const bool withEstimates = round % 2;
        std::vector<JreCandidate> unexamined, qualifying;
        std::vector<bool> qualifies, server, settles;
        std::vector<JavaVersion> real;
        for (size_t i = 0, count = random() % 10; i < count; ++i) {
            JreCandidate c;
            c.version = JavaVersion::of(1, static_cast<int>(random() % 3) + 6, 0, static_cast<int>(random() % 3));
            real.push_back(c.version);
            c.isFavoured = random() % 2;
            c.source = i;
            qualifies.push_back(random() % 4 != 0);
            settles.push_back(true);
            server.push_back(random() % 2);
            if (withEstimates && random() % 2) {
                c.estimated = true;
                settles.back() = random() % 5 != 0;
                c.version.components[3] = 65535;  // the name gave "1.7.0" only
                if (random() % 3 == 0) c.version.components[2] = 65535;  // "1.7" only
            }
            unexamined.push_back(c);
            c.version = real[i];
            c.estimated = false;
            c.home = std::to_wstring(i);
            c.isServer = server[i];
            if (qualifies[i] && settles[i]) qualifying.push_back(c);
        }
        std::vector<int> looks(unexamined.size(), 0);
        auto examine = [&](JreCandidate& c) {
            EXPECT_FALSE(c.estimated);
            ++looks[c.source];
            c.home = std::to_wstring(c.source);
            c.isServer = server[c.source];
            return static_cast<bool>(qualifies[c.source]);
        };
        auto settle = [&](JreCandidate& c) {
            c.version = real[c.source];
            return static_cast<bool>(settles[c.source]);
        };
        std::vector<Examined> examined;
        const auto chosen = chooseExamining(unexamined, p, examine, examined, settle);
        const auto expected = chooseCandidate(qualifying, p);
        ASSERT_EQ(chosen.has_value(), expected.has_value()) << "round " << round;
        if (chosen) EXPECT_EQ(unexamined[*chosen].home, expected->home) << "round " << round;
        for (int n : looks) ASSERT_LE(n, 1) << "round " << round;
        const bool bestAtOnce = !withEstimates && !unexamined.empty() && p.preferredVersions.empty() &&
                                qualifies[unexamined[0].source] &&
                                (p.jvmType != JvmType::FavorServer || server[unexamined[0].source]);
        if (bestAtOnce) EXPECT_EQ(std::count(looks.begin(), looks.end(), 1), 1) << "round " << round;
    }
}

TEST(JreSelection, RequirementPhrase) {
    const RequirementTexts texts{L"latest version", L"maximum version %s", L"minimum version %s",
                                 L"version %s is required", L"version between %s and %s"};
    struct Row {
        const wchar_t* min;
        const wchar_t* max;
        const wchar_t* phrase;
    };
    const Row rows[] = {
        {L"any", L"any", L"latest version"},
        {L"", L"", L"latest version"},
        {L"", L"any", L"latest version"},
        {L"1.6", L"any", L"minimum version 1.6"},
        {L"1.8", L"", L"minimum version 1.8"},
        {L"1.8.0_202", L"any", L"minimum version 1.8.0.202"},
        {L"any", L"1.7", L"maximum version 1.7"},
        {L"", L"11.0.2", L"maximum version 11.0.2"},
        {L"1.8", L"1.8", L"version between 1.8 and 1.8"},
        {L"1.6", L"1.8.0_202", L"version between 1.6 and 1.8.0.202"},
        {L"1.8.0.1", L"1.8.0.1", L"version 1.8.0.1 is required"},
        {L"11.0.2.3", L"11.0.2.3", L"version 11.0.2.3 is required"},
        // A one-number upper bound reads as written, never with its filler.
        {L"any", L"17", L"maximum version 17"},
        {L"11", L"17", L"version between 11.0 and 17"},
        {L"any", L"17.0", L"maximum version 17.0"},
    };
    for (const Row& row : rows) {
        JrePolicy p;
        p.minVersion = lowerBound(row.min);
        p.maxVersion = upperBound(row.max);
        EXPECT_EQ(describeRequirement(p, texts), row.phrase)
            << testing::PrintToString(std::wstring(row.min)) << " / " << testing::PrintToString(std::wstring(row.max));
    }
    // The phrase is taken from the texts given, with a "%" in a version text
    // never read as a format.
    JrePolicy p;
    p.minVersion = lowerBound(L"1.8");
    p.maxVersion = upperBound(L"any");
    EXPECT_EQ(describeRequirement(p, {L"l", L"max %s", L"ab %s cd %s", L"x", L"y"}), L"ab 1.8 cd ");
}
