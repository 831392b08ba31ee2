// The runtime search against real folders and the registry of the test
// prefix: the library probe, the sources in their order, the registration
// keys in both views, and the architecture check of the chosen library.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "StandIn.h"
#include "TestSupport.h"
#include "foundation/ProcessView.h"
#include "jre/JreLocator.h"
#include "launcher/LauncherApp.h"

using namespace vexa;
using namespace vexa::test;

namespace {

const wchar_t* const kClient = L"bin\\client\\jvm.dll";
const wchar_t* const kServer = L"bin\\server\\jvm.dll";

// A runtime folder with the stand-in JVM library under each relative name.
standin::JavaHome makeRuntime(const std::wstring& home, const std::vector<const wchar_t*>& libraries,
                              standin::Jvm jvm = standin::Jvm::Full) {
    standin::RuntimeOptions options;
    options.jvmPath = *libraries.begin();
    options.jvm = jvm;
    standin::JavaHome runtime(home, options);
    for (auto it = libraries.begin() + 1; it != libraries.end(); ++it) runtime.addJvm(*it, jvm);
    return runtime;
}

// What the search reads, as the settings leave it by default (an empty "JVM
// Source" allows and favours both kinds), the test program's folder as the
// launcher's, and what the search chose.
struct Launcher {
    JrePolicy policy;
    RuntimeSearchPlaces places;
    RuntimeChoice choice;
    Launcher() {
        policy.jdkSource = true;
        policy.jreSource = true;
        policy.minVersion = JavaVersion::of(0, 0, 0, 0);
        policy.maxVersion = JavaVersion::of(65535, 65535, 65535, 65535);
        std::wstring executable;
        queryExecutablePath(executable);
        places.launcherFolder = folderOf(executable);
    }
    // "VM Provider" set to "any": every family allowed, none favoured.
    void anyProvider() {
        policy.jrockitAllowed = policy.sunAllowed = policy.ibmAllowed = true;
        policy.jrockitFavoured = policy.sunFavoured = policy.ibmFavoured = false;
    }
    bool locate() {
        std::optional<RuntimeChoice> found = JreLocator(policy, places).locate();
        choice = found.value_or(RuntimeChoice());
        return found.has_value();
    }
};

const std::vector<std::wstring>& kKeys = standin::JavaRegistry::searchedKeys();
constexpr auto kWow32 = standin::RegistryView::Wow32;

}  // namespace

TEST(JreLocator, ProbeTriesTheLibraryNamesOfEachJvmType) {
    struct Row {
        std::vector<const wchar_t*> files;
        JvmType type;
        const wchar_t* found;  // relative name, or null
        bool server;
    };
    const Row rows[] = {
        {{kClient, kServer}, JvmType::Default, kClient, false},
        {{kClient, kServer}, JvmType::FavorServer, kServer, true},
        {{kClient, kServer}, JvmType::Server, kServer, true},
        {{kClient}, JvmType::Server, nullptr, false},
        {{kClient}, JvmType::FavorServer, kClient, false},
        {{L"bin\\hotspot\\jvm.dll", L"bin\\classic\\jvm.dll"}, JvmType::Default, L"bin\\classic\\jvm.dll", false},
        {{L"bin\\hotspot\\jvm.dll", kServer}, JvmType::Default, L"bin\\hotspot\\jvm.dll", false},
        {{kServer, L"bin\\jrockit\\jvm.dll"}, JvmType::Default, kServer, true},
        {{L"bin\\jrockit\\jvm.dll"}, JvmType::FavorServer, L"bin\\jrockit\\jvm.dll", false},
        {{L"bin\\jvm.dll", L"jvm.dll"}, JvmType::Default, nullptr, false},
    };
    for (const Row& row : rows) {
        TempDir dir;
        makeRuntime(dir.path(), row.files);
        for (bool initial : {false, true}) {
            bool server = initial;
            std::wstring found = JreLocator::probeJvmLibrary(dir.path(), row.type, server);
            EXPECT_EQ(found, row.found ? dir / row.found : L"") << narrow(row.files[0]);
            // Nothing found leaves the mark as it was.
            EXPECT_EQ(server, row.found ? row.server : initial);
        }
    }
    TempDir dir;
    standin::RuntimeOptions withoutJavaDll;
    withoutJavaDll.javaDll = false;
    standin::JavaHome runtime(dir / L"rt", {});
    standin::JavaHome library(dir / L"lib", withoutJavaDll);
    EXPECT_TRUE(JreLocator::hasJavaDll(runtime.home()));
    EXPECT_FALSE(JreLocator::hasJavaDll(runtime.home() + L"bin\\"));
    EXPECT_FALSE(JreLocator::hasJavaDll(library.home()));
}

TEST(JreDiscovery, JrePathComesFirstAndIsCheckedForItsJvmType) {
    TempDir dir;
    standin::JavaRegistry registry;
    makeRuntime(dir / L"jre\\", {kClient, kServer});
    makeRuntime(dir / L"clientOnly\\", {kClient});
    makeRuntime(dir / L"registered\\", {kClient, kServer});
    registry.add(kKeys[1], L"1.8", dir / L"registered");

    for (const std::wstring& jrePath : {dir / L"jre", dir / L"jre\\"}) {
        Launcher l;
        l.places.jrePath = jrePath;
        ASSERT_TRUE(l.locate());
        EXPECT_EQ(l.choice.jvmLibraryPath, dir / L"jre\\bin\\client\\jvm.dll");
    }
    // A "JRE Path" without a server library, when a server is required, is
    // passed over for the next source.
    Launcher server;
    server.policy.jvmType = JvmType::Server;
    server.places.jrePath = dir / L"clientOnly";
    ASSERT_TRUE(server.locate());
    EXPECT_EQ(server.choice.jvmLibraryPath, dir / L"registered\\bin\\server\\jvm.dll");
    // A folder that does not exist as well.
    Launcher missing;
    missing.places.jrePath = dir / L"nothing";
    ASSERT_TRUE(missing.locate());
    EXPECT_EQ(missing.choice.jvmLibraryPath, dir / L"registered\\bin\\client\\jvm.dll");
}

TEST(JreDiscovery, EachRegistrationKeyWithItsHomeAdjustment) {
    // Per key: the library found below the registered home with any
    // provider, and whether the default provider looks there at all.
    struct Row {
        const wchar_t* key;
        const wchar_t* library;
        bool byDefault;
    };
    const Row rows[] = {
        {L"Software\\JavaSoft\\JDK", L"\\bin\\client\\jvm.dll", true},
        {L"Software\\JavaSoft\\JRE", L"\\bin\\client\\jvm.dll", true},
        {L"Software\\JavaSoft\\Java Development Kit", L"\\jre\\bin\\server\\jvm.dll", true},
        {L"Software\\JavaSoft\\Java Runtime Environment", L"\\bin\\client\\jvm.dll", true},
        {L"Software\\JRockit\\Java Runtime Environment", L"\\bin\\client\\jvm.dll", false},
        {L"Software\\JRockit\\Java Development Kit", L"\\jre\\bin\\server\\jvm.dll", false},
        {L"Software\\IBM\\Java2 Runtime Environment", L"\\bin\\client\\jvm.dll", false},
    };
    TempDir dir;
    standin::JavaRegistry outer;  // nothing else registered meanwhile
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.key));
        const std::wstring javaHome = dir / (L"rt" + std::to_wstring(n++));
        makeRuntime(javaHome + L"\\", {kClient});
        makeRuntime(javaHome + L"\\jre\\", {kServer});
        standin::JavaRegistry registry;
        registry.add(row.key, L"1.8.0_20" + std::to_wstring(n), javaHome);

        Launcher l;
        l.anyProvider();
        ASSERT_TRUE(l.locate());
        EXPECT_EQ(l.choice.jvmLibraryPath, javaHome + row.library);
        EXPECT_FALSE(l.choice.runPairProduct);

        Launcher defaults;
        EXPECT_EQ(defaults.locate(), row.byDefault);
    }
}

TEST(JreDiscovery, FavorServerProbesTheFourthKeyForAnyLibraryFirst) {
    TempDir dir;
    standin::JavaRegistry outer;
    outer.add(kKeys[1], L"1.8", makeRuntime(dir / L"server\\", {kServer}).home());
    makeRuntime(dir / L"both\\", {kClient, kServer});
    for (int key : {0, 3}) {
        SCOPED_TRACE(key + 1);
        standin::JavaRegistry registry;
        registry.add(kKeys[key], L"11", dir / L"both");
        Launcher l;
        l.policy.jvmType = JvmType::FavorServer;
        ASSERT_TRUE(l.locate());
        // Under the fourth key the newer runtime counts as a client one, so
        // the older server runtime comes first; its library is the server one
        // all the same.
        EXPECT_EQ(l.choice.jvmLibraryPath, key == 3 ? dir / L"server\\bin\\server\\jvm.dll" : dir / L"both\\bin\\server\\jvm.dll");
    }
}

TEST(JreDiscovery, BoundsAndUnusableRegistrations) {
    TempDir dir;
    standin::JavaRegistry registry;
    for (const wchar_t* name : {L"a", L"b", L"c", L"e"}) makeRuntime(dir / name + L"\\", {kClient});
    registry.add(kKeys[1], L"17.0.1", dir / L"a");
    registry.add(kKeys[1], L"11.0.2", dir / L"b");
    registry.add(kKeys[1], L"1.8.0_202", dir / L"c");
    registry.add(kKeys[1], L"21", std::nullopt);
    registry.add(kKeys[1], L"22", L"");
    registry.add(kKeys[1], L"23", dir / L"absent");
    registry.add(kKeys[0], L"Latest", dir / L"e");

    struct Row {
        JavaVersion min, max;
        const wchar_t* chosen;  // folder, or null for none
    };
    auto v = [](const wchar_t* text, std::int32_t fill) {
        JavaVersion version;
        version.parse(text, fill);
        return version;
    };
    const Row rows[] = {
        {JavaVersion::of(0, 0, 0, 0), JavaVersion::of(65535, 65535, 65535, 65535), L"a"},
        // A minimum with an empty maximum admits everything above it.
        {v(L"1.8", 0), v(L"", 65535), L"a"},
        {v(L"1.8", 0), v(L"11", 65535), L"b"},
        {v(L"1.8", 0), v(L"1.8", 65535), L"c"},
        {v(L"1.8.0_203", 0), v(L"11.0.1", 65535), nullptr},
        {v(L"12", 0), v(L"16", 65535), nullptr},
        // The subkey without digits is 0.0.0.0: only a zero minimum admits it.
        {v(L"", 0), v(L"1.5", 65535), L"e"},
        {v(L"1", 0), v(L"1.5", 65535), nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.min.toText() + L" - " + row.max.toText()));
        Launcher l;
        l.policy.minVersion = row.min;
        l.policy.maxVersion = row.max;
        EXPECT_EQ(l.locate(), row.chosen != nullptr);
        EXPECT_EQ(l.choice.jvmLibraryPath, row.chosen ? dir / row.chosen + L"\\bin\\client\\jvm.dll" : L"");
    }
}

TEST(JreDiscovery, JavaHomeOfAnyValueType) {
    TempDir dir;
    standin::JavaRegistry registry;
    const std::wstring home = makeRuntime(dir / L"rt\\", {kClient}).home();
    const std::wstring text = dir / L"rt";
    const std::string bytes(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t));
    struct Row {
        const char* what;
        DWORD type;
        std::string data;
        bool found;
    };
    const Row rows[] = {
        {"expandable text", REG_EXPAND_SZ, bytes + std::string(2, '\0'), true},
        {"binary data without a terminating NUL", REG_BINARY, bytes, true},
        {"text cut at its first NUL", REG_SZ, bytes + std::string(2, '\0') + "x\0y\0", true},
        {"an odd byte count", REG_BINARY, bytes + "\x01", false},
        {"an empty value", REG_SZ, std::string(), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        standin::JavaRegistry inner;
        inner.setValue(kKeys[1], L"1.8", L"JavaHome", row.type, row.data);
        Launcher l;
        EXPECT_EQ(l.locate(), row.found);
        EXPECT_EQ(l.choice.jvmLibraryPath, row.found ? home + kClient : L"");
    }
}

TEST(JreDiscovery, ThirtyTwoBitViewOnlyWithAPairedLauncher) {
    TempDir dir;
    standin::JavaRegistry registry;
    makeRuntime(dir / L"x86\\", {kClient}, standin::Jvm::X86);
    makeRuntime(dir / L"x64\\", {kClient});
    registry.add(kKeys[1], L"1.8", dir / L"x86", kWow32);

    Launcher unpaired;
    EXPECT_FALSE(unpaired.locate());
    EXPECT_EQ(unpaired.choice.jvmLibraryPath, L"");

    Launcher paired;
    paired.places.pairProduct = dir / L"Paired.exe";
    ASSERT_TRUE(paired.locate());
    EXPECT_EQ(paired.choice.jvmLibraryPath, dir / L"x86\\bin\\client\\jvm.dll");
    EXPECT_TRUE(paired.choice.runPairProduct);

    // A runtime of the process's own view wins, even an older one.
    registry.add(kKeys[1], L"1.7", dir / L"x64");
    Launcher both;
    both.places.pairProduct = dir / L"Paired.exe";
    ASSERT_TRUE(both.locate());
    EXPECT_EQ(both.choice.jvmLibraryPath, dir / L"x64\\bin\\client\\jvm.dll");
    EXPECT_FALSE(both.choice.runPairProduct);
}

namespace {

// The first bytes of a PE image for `machine`, as far as the header check reads.
std::string peImageHeader(WORD machine) {
    std::string bytes(0x200, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3c] = static_cast<char>(0x80);  // e_lfanew
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    bytes[0x84] = static_cast<char>(machine & 0xff);
    bytes[0x85] = static_cast<char>(machine >> 8);
    return bytes;
}

}  // namespace

TEST(JreDiscovery, ArchitectureOfTheLibraryFromJrePath) {
    TempDir dir;
    makeRuntime(dir / L"x86\\", {kClient}, standin::Jvm::X86);
    makeRuntime(dir / L"x64\\", {kClient});
    struct Row {
        const wchar_t* folder;
        std::optional<std::string> bytes;  // replaces the stand-in library
        bool paired;
        bool runPaired;
    };
    const Row rows[] = {
        {L"x86", std::nullopt, true, true},
        {L"x86", std::nullopt, false, false},
        {L"x64", std::nullopt, true, false},
        {L"header32", peImageHeader(IMAGE_FILE_MACHINE_I386), true, true},
        {L"text", std::string(0x200, 'x'), true, false},
        {L"empty", std::string(), true, false},
        {L"short", peImageHeader(IMAGE_FILE_MACHINE_I386).substr(0, 0x84), true, false},
        {L"farHeader", [] { std::string b = peImageHeader(IMAGE_FILE_MACHINE_I386); b[0x3e] = 0x70; return b; }(), true, false},
        {L"negativeOffset", [] { std::string b = peImageHeader(IMAGE_FILE_MACHINE_I386); b[0x3f] = '\x80'; return b; }(), true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.folder) + (row.paired ? " paired" : ""));
        if (row.bytes) writeFile(dir / row.folder + L"\\bin\\client\\jvm.dll", *row.bytes);
        Launcher l;
        l.places.jrePath = dir / row.folder;
        if (row.paired) l.places.pairProduct = dir / L"Paired.exe";
        l.choice.runPairProduct = true;  // cleared by the check when the library is not 32-bit
        ASSERT_TRUE(l.locate());
        EXPECT_EQ(l.choice.runPairProduct, row.runPaired);
    }
}

TEST(JreDiscovery, RequirementPhraseFromTheMessageTable) {
    JrePolicy policy;
    policy.minVersion = JavaVersion::of(1, 6, 0, 0, 2);
    policy.maxVersion = JavaVersion::of(65535, 65535, 65535, 65535);
    EXPECT_EQ(describeRequirement(policy), L"minimum version 1.6");
    policy.maxVersion = JavaVersion::of(1, 8, 65535, 65535, 2);
    EXPECT_EQ(describeRequirement(policy), L"version between 1.6 and 1.8");
    policy.minVersion = JavaVersion::of(0, 0, 0, 0);
    EXPECT_EQ(describeRequirement(policy), L"maximum version 1.8");
    policy.maxVersion = JavaVersion::of(0, 0, 0, 0, 0);
    EXPECT_EQ(describeRequirement(policy), L"latest version");
    policy.minVersion = policy.maxVersion = JavaVersion::of(1, 8, 0, 1);
    EXPECT_EQ(describeRequirement(policy), L"version 1.8.0.1 is required");
}
