// The runtime search as a user meets it: a launcher copy beside its settings
// file, runtime folders on disk and runtimes registered in the registry of
// the test prefix. Which runtime was chosen is read from the search probe, a
// program that runs the launcher's init steps up to the search; the paired
// launcher and the "JRE not found" message are seen through vexa.exe itself.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using standin::JavaRegistry;

namespace {

const wchar_t* const kClient = L"bin\\client\\jvm.dll";
const wchar_t* const kServer = L"bin\\server\\jvm.dll";

const wchar_t* const kJdkKey = L"Software\\JavaSoft\\JDK";
const wchar_t* const kJreKey = L"Software\\JavaSoft\\JRE";
const wchar_t* const kOldJreKey = L"Software\\JavaSoft\\Java Runtime Environment";

// A runtime folder with the stand-in JVM library under each relative name,
// with "bin\java.dll" unless `javaDll` is false.
standin::JavaHome makeRuntime(const std::wstring& home, const std::vector<const wchar_t*>& libraries,
                              bool javaDll = true, standin::Jvm jvm = standin::Jvm::Full) {
    standin::RuntimeOptions options;
    options.jvmPath = libraries.front();
    options.javaDll = javaDll;
    options.jvm = jvm;
    standin::JavaHome runtime(home, options);
    for (size_t i = 1; i < libraries.size(); ++i) runtime.addJvm(libraries[i], jvm);
    return runtime;
}

std::string jreSection(const std::string& keys) {
    return "[Java Runtime Environment]\r\nMain Class=demo.Main\r\n" + keys;
}

struct SearchResult {
    int exitCode = 0;
    bool found = false;
    std::wstring library;
    bool runPairProduct = false;
};

// The search probe copied as MyApp.exe into `folder`, beside MyApp.ini.
class SearchProbe {
public:
    SearchProbe(const std::wstring& folder, const std::string& ini) : folder_(folder) {
        copyFile(artefact(L"jreprobe.exe"), folder + L"MyApp.exe");
        writeFile(folder + L"MyApp.ini", ini);
    }

    // JAVA_HOME is unset unless `environment` sets it, so that only what a
    // test lays out is found.
    SearchResult run(const std::wstring& workingDirectory = L"",
                     const std::map<std::wstring, std::optional<std::wstring>>& environment = {}) const {
        const std::wstring out = folder_ + L"search.txt";
        ChildProcess::Options options;
        options.application = folder_ + L"MyApp.exe";
        options.commandLine = vexa::test::quoted(options.application);
        options.workingDirectory = workingDirectory.empty() ? folder_ : workingDirectory;
        options.environment = {{L"VEXA_JREPROBE_OUT", out},
                               {L"APPDATA", folder_ + L"appdata"},
                               {L"JAVA_HOME", std::nullopt}};
        for (const auto& [name, value] : environment) options.environment[name] = value;
        ChildProcess process(options);
        SearchResult result;
        result.exitCode = process.exitCode();
        std::string text = readFile(out);
        size_t first = text.find('\n');
        size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
        if (second != std::string::npos) {
            result.found = text.substr(0, first) == "found";
            result.library = widen(text.substr(first + 1, second - first - 1));
            result.runPairProduct = text.compare(second + 1, 1, "1") == 0;
        }
        return result;
    }

private:
    std::wstring folder_;
};

SearchResult search(const TempDir& dir, const std::string& ini, const std::wstring& sub = L"app\\") {
    return SearchProbe(dir / sub, ini).run();
}

}  // namespace

TEST(JreDiscoveryE2E, SourcesAreTriedInTheirOrder) {
    TempDir dir;
    JavaRegistry registry;
    makeRuntime(dir / L"explicit\\", {kClient, kServer});
    makeRuntime(dir / L"clientOnly\\", {kClient});
    makeRuntime(dir / L"registered\\", {kClient, kServer});
    registry.add(kJreKey, L"1.8.0_202", dir / L"registered");

    // "JRE Path", with or without its backslash, comes before a runtime
    // beside the launcher and the registered one.
    makeRuntime(dir / L"a\\", {kClient});
    for (const std::wstring& jrePath : {dir / L"explicit", dir / L"explicit\\"}) {
        SearchResult r = search(dir, jreSection("JRE Path=" + narrow(jrePath) + "\r\n"), L"a\\");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.library, dir / L"explicit\\bin\\client\\jvm.dll");
        EXPECT_FALSE(r.runPairProduct);
    }
    // A "JRE Path" without the server library that "JVM Type" asks for is
    // passed over.
    SearchResult server = search(dir, jreSection("JRE Path=" + narrow(dir / L"clientOnly") + "\r\nJVM Type=server\r\n"));
    EXPECT_EQ(server.library, dir / L"registered\\bin\\server\\jvm.dll");

    // A launcher in a runtime's root folder uses that runtime.
    EXPECT_EQ(search(dir, jreSection(""), L"a\\").library, dir / L"a\\bin\\client\\jvm.dll");
    // Or the runtime in its "jre64\" folder.
    makeRuntime(dir / L"b\\jre64\\", {kClient});
    EXPECT_EQ(search(dir, jreSection(""), L"b\\").library, dir / L"b\\jre64\\bin\\client\\jvm.dll");
    // A JVM library beside the launcher without "bin\java.dll" is no runtime.
    makeRuntime(dir / L"c\\", {kClient}, false);
    EXPECT_EQ(search(dir, jreSection(""), L"c\\").library, dir / L"registered\\bin\\client\\jvm.dll");
    // Nor is a runtime in the working directory.
    makeRuntime(dir / L"cwd\\", {kClient});
    makeDirs(dir / L"d");
    SearchResult fromCwd = SearchProbe(dir / L"d\\", jreSection("")).run(dir / L"cwd\\");
    EXPECT_EQ(fromCwd.library, dir / L"registered\\bin\\client\\jvm.dll");
}

TEST(JreDiscoveryE2E, EveryRegistrationKeyAndItsHome) {
    // What a user gets from a runtime registered under each key: the JVM
    // library found below the registered home (a key of the old JDKs names
    // the JDK, whose runtime lies in "jre\"), and which settings look there.
    struct Row {
        const wchar_t* key;
        const wchar_t* library;
        bool byDefault;  // no "VM Provider"
        bool jrockit;    // "VM Provider=jrockit"
        bool ibm;        // "VM Provider=IBM": the value's case does not matter
        bool onlyJdk;    // "VM Provider=any" and "JVM Source=only_JDK"
        bool onlyJre;    // "VM Provider=any" and "JVM Source=only_JRE"
    };
    const Row rows[] = {
        {L"Software\\JavaSoft\\JDK", L"\\bin\\client\\jvm.dll", true, false, false, true, false},
        {L"Software\\JavaSoft\\JRE", L"\\bin\\client\\jvm.dll", true, false, false, false, true},
        {L"Software\\JavaSoft\\Java Development Kit", L"\\jre\\bin\\server\\jvm.dll", true, false, false, true, false},
        {L"Software\\JavaSoft\\Java Runtime Environment", L"\\bin\\client\\jvm.dll", true, false, false, false, true},
        {L"Software\\JRockit\\Java Runtime Environment", L"\\bin\\client\\jvm.dll", false, true, false, false, true},
        {L"Software\\JRockit\\Java Development Kit", L"\\jre\\bin\\server\\jvm.dll", false, true, false, true, false},
        {L"Software\\IBM\\Java2 Runtime Environment", L"\\bin\\client\\jvm.dll", false, false, true, false, true},
    };
    TempDir dir;
    JavaRegistry outer;  // nothing else registered meanwhile
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.key));
        const std::wstring javaHome = dir / (L"rt" + std::to_wstring(n++));
        makeRuntime(javaHome + L"\\", {kClient});
        makeRuntime(javaHome + L"\\jre\\", {kServer});
        JavaRegistry registry;
        registry.add(row.key, L"1.7.0_" + std::to_wstring(n), javaHome);

        EXPECT_EQ(search(dir, jreSection("VM Provider=any\r\n")).library, javaHome + row.library);
        EXPECT_EQ(search(dir, jreSection("")).found, row.byDefault);
        EXPECT_EQ(search(dir, jreSection("VM Provider=jrockit\r\n")).found, row.jrockit);
        EXPECT_EQ(search(dir, jreSection("VM Provider=IBM\r\n")).found, row.ibm);
        EXPECT_EQ(search(dir, jreSection("VM Provider=any\r\nJVM Source=only_JDK\r\n")).found, row.onlyJdk);
        EXPECT_EQ(search(dir, jreSection("VM Provider=any\r\nJVM Source=only_JRE\r\n")).found, row.onlyJre);
        // The source values are exact: a lower-case one closes every key.
        EXPECT_FALSE(search(dir, jreSection("VM Provider=any\r\nJVM Source=only_jre\r\n")).found);
    }
}

TEST(JreDiscoveryE2E, BothViewsAndThePairedLauncher) {
    TempDir dir;
    JavaRegistry registry;
    makeRuntime(dir / L"x86\\", {kClient}, true, standin::Jvm::X86);
    makeRuntime(dir / L"x64\\", {kClient});
    registry.add(kOldJreKey, L"1.8.0_202", dir / L"x86", standin::RegistryView::Wow32);
    const std::string paired = "[Application]\r\nPair Product=" + narrow(dir / L"Paired.exe") + "\r\n";

    // Without "Pair Product" the 32-bit view is not searched.
    SearchResult unpaired = search(dir, jreSection(""));
    EXPECT_EQ(unpaired.exitCode, 1);
    EXPECT_FALSE(unpaired.found);

    SearchResult r = search(dir, jreSection("") + paired);
    EXPECT_EQ(r.library, dir / L"x86\\bin\\client\\jvm.dll");
    EXPECT_TRUE(r.runPairProduct);

    // A runtime of the 64-bit view comes first, even an older one.
    registry.add(kOldJreKey, L"1.6", dir / L"x64");
    SearchResult both = search(dir, jreSection("") + paired);
    EXPECT_EQ(both.library, dir / L"x64\\bin\\client\\jvm.dll");
    EXPECT_FALSE(both.runPairProduct);
}

TEST(JreDiscoveryE2E, VersionBounds) {
    TempDir dir;
    const wchar_t* versions[] = {L"1.6.0_45", L"1.7.0_80", L"1.8.0_202", L"11.0.2", L"17.0.1"};
    JavaRegistry registry;
    for (const wchar_t* version : versions) {
        makeRuntime(dir / version + L"\\", {kClient});
        registry.add(kJreKey, version, dir / version);
    }
    struct Row {
        const char* keys;
        const wchar_t* chosen;  // null: none
    };
    const Row rows[] = {
        {"Minimum Version=any\r\nMaximum Version=any\r\n", L"17.0.1"},
        {"", L"17.0.1"},
        // Only a minimum: the missing maximum sets no upper bound.
        {"Minimum Version=1.8\r\n", L"17.0.1"},
        {"Minimum Version=1.8\r\nMaximum Version=\r\n", L"17.0.1"},
        {"Maximum Version=11\r\n", L"11.0.2"},
        {"Minimum Version=1.6\r\nMaximum Version=1.8\r\n", L"1.8.0_202"},
        {"Minimum Version=1.7.0_80\r\nMaximum Version=1.7.0_80\r\n", L"1.7.0_80"},
        {"Maximum Version=1.5\r\n", nullptr},
        {"Minimum Version=12\r\nMaximum Version=16\r\n", nullptr},
        {"Minimum Version=18\r\n", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        SearchResult r = search(dir, jreSection(row.keys));
        EXPECT_EQ(r.found, row.chosen != nullptr);
        EXPECT_EQ(r.library, row.chosen ? dir / row.chosen + L"\\bin\\client\\jvm.dll" : L"");
    }
}

TEST(JreDiscoveryE2E, PreferredVersionsAndFavouredOrders) {
    TempDir dir;
    struct Runtime {
        const wchar_t* key;
        const wchar_t* version;
        const wchar_t* folder;
    };
    const Runtime runtimes[] = {
        {L"Software\\JavaSoft\\JDK", L"1.7.0_80", L"jdk17"},
        {kJreKey, L"1.8.0_202", L"jre18"},
        {kJreKey, L"1.7.0_80", L"jre17"},  // the same version as the JDK
        {L"Software\\JRockit\\Java Runtime Environment", L"1.6.0_45", L"jrockit16"},
    };
    JavaRegistry registry;
    for (const Runtime& rt : runtimes) {
        makeRuntime(dir / rt.folder + L"\\", {kClient});
        registry.add(rt.key, rt.version, dir / rt.folder);
    }
    struct Row {
        const char* keys;
        const wchar_t* chosen;
    };
    const Row rows[] = {
        {"", L"jre18"},
        {"Preferred versions=1.7;1.8\r\n", L"jdk17"},  // equal versions keep the key order
        {"Preferred versions=1.6;;1.8\r\n", L"jre18"},  // the empty entry takes the first in order
        {"Preferred versions=1.7.0_80\r\nJVM Source=favor_JRE\r\n", L"jre17"},
        {"Preferred versions=1.9;1.8.0_202\r\n", L"jre18"},
        {"Preferred versions=1.6\r\n", L"jre18"},  // JRockit is not searched by default
        {"JVM Source=favor_JDK\r\n", L"jdk17"},
        {"JVM Source=favor_JRE\r\n", L"jre18"},
        {"JVM Source=only_JDK\r\n", L"jdk17"},
        {"VM Provider=favor_jrockit\r\n", L"jrockit16"},
        {"VM Provider=Favor_JRockit\r\nPreferred versions=1.7\r\n", L"jdk17"},
        {"VM Provider=any\r\n", L"jre18"},
        {"VM Provider=any\r\nJVM Source=favor_JDK\r\n", L"jre18"},  // nothing is favoured
        {"VM Provider=jrockit\r\nPreferred versions=1.8\r\n", L"jrockit16"},  // a preference never opens a key
        {"Preferred versions=1.7\r\nMaximum Version=1.6\r\n", nullptr},  // nor passes the bounds
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        SearchResult r = search(dir, jreSection(row.keys));
        EXPECT_EQ(r.library, row.chosen ? dir / row.chosen + L"\\bin\\client\\jvm.dll" : L"");
    }
}

TEST(JreDiscoveryE2E, JvmTypes) {
    TempDir dir;
    JavaRegistry registry;
    makeRuntime(dir / L"client11\\", {kClient});
    makeRuntime(dir / L"both18\\", {kClient, kServer});
    makeRuntime(dir / L"server17\\", {kServer});
    registry.add(kJreKey, L"11.0.2", dir / L"client11");
    registry.add(kJreKey, L"1.8.0_202", dir / L"both18");
    struct Row {
        const char* keys;
        const wchar_t* library;
    };
    const Row rows[] = {
        {"", L"client11\\bin\\client\\jvm.dll"},
        {"JVM Type=client\r\n", L"client11\\bin\\client\\jvm.dll"},
        {"JVM Type=server\r\n", L"both18\\bin\\server\\jvm.dll"},
        {"JVM Type=Server\r\n", L"client11\\bin\\client\\jvm.dll"},  // compared exactly: the default
        {"JVM Type=favor_server\r\n", L"both18\\bin\\server\\jvm.dll"},
        {"JVM Type=favor_server\r\nPreferred versions=11\r\n", L"client11\\bin\\client\\jvm.dll"},
        {"JVM Type=server\r\nMaximum Version=1.7\r\n", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        EXPECT_EQ(search(dir, jreSection(row.keys)).library, row.library ? dir / row.library : L"");
    }
    // The fourth key is probed for any library first under "favor_server", so
    // a runtime there that has both counts as a client one.
    makeRuntime(dir / L"both17\\", {kClient, kServer});
    registry.add(kOldJreKey, L"17.0.1", dir / L"both17");
    EXPECT_EQ(search(dir, jreSection("JVM Type=favor_server\r\n")).library, dir / L"both18\\bin\\server\\jvm.dll");
    registry.add(kJdkKey, L"17.0.2", dir / L"server17");
    EXPECT_EQ(search(dir, jreSection("JVM Type=favor_server\r\n")).library, dir / L"server17\\bin\\server\\jvm.dll");
}

TEST(JreDiscoveryE2E, ArchitectureOfTheRuntimeInJrePath) {
    TempDir dir;
    makeRuntime(dir / L"x86\\", {kClient}, true, standin::Jvm::X86);
    makeRuntime(dir / L"x64\\", {kClient});
    const std::string pair = "[Application]\r\nPair Product=" + narrow(dir / L"Paired.exe") + "\r\n";
    struct Row {
        const wchar_t* folder;
        bool paired;
        bool runPairProduct;
    };
    const Row rows[] = {{L"x86", true, true}, {L"x86", false, false}, {L"x64", true, false}};
    for (const Row& row : rows) {
        SearchResult r = search(dir, jreSection("JRE Path=" + narrow(dir / row.folder) + "\r\n") + (row.paired ? pair : ""));
        EXPECT_EQ(r.library, dir / row.folder + L"\\bin\\client\\jvm.dll");
        EXPECT_EQ(r.runPairProduct, row.runPairProduct) << narrow(row.folder) << (row.paired ? " paired" : "");
    }
}

TEST(JreDiscoveryE2E, PairedLauncherRunsWithTheLaunchersCommandLine) {
    TempDir dir;
    JavaRegistry registry;
    makeRuntime(dir / L"x86\\", {kClient}, true, standin::Jvm::X86);
    copyFile(artefact(L"cmdprobe.exe"), dir / L"paired\\MyApp32.exe");
    makeRuntime(dir / L"reg32\\", {kClient}, true, standin::Jvm::X86);
    registry.add(kJreKey, L"1.8.0_202", dir / L"reg32", standin::RegistryView::Wow32);

    struct Row {
        const char* what;
        std::string jre;
        bool returnCode;
    };
    const Row rows[] = {
        {"a 32-bit library in JRE Path", "JRE Path=" + narrow(dir / L"x86") + "\r\n", true},
        {"a runtime of the 32-bit view", "", true},
        {"without \"Pair Return Code\"", "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempDir appDir;
        LauncherCopy app(appDir.path(), L"My App.exe",
                         jreSection(row.jre) + "[Application]\r\nPair Product=" + narrow(dir / L"paired\\MyApp32.exe") +
                             (row.returnCode ? "\r\nPair Return Code=yes" : "") + "\r\n");
        const std::wstring out = appDir / L"cmdline.txt";
        const std::wstring arguments = L"one \"two three\"  -nosplash \"\"";
        auto process = app.start(arguments, {{L"VEXA_CMDPROBE_OUT", out},
                                             {L"VEXA_CMDPROBE_EXIT", L"42"},
                                             {L"APPDATA", appDir / L"appdata"}});
        ASSERT_TRUE(process.started());
        EXPECT_EQ(process.exitCode(), row.returnCode ? 42 : 0);
        waitUntil([&] { return !readFile(out).empty(); });
        EXPECT_EQ(widen(readFile(out)), vexa::test::quoted(app.exePath()) + L" " + arguments);
    }
}

TEST(JreDiscoveryE2E, RequirementMessageWhenNoRuntimeIsFound) {
    const std::wstring start = L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE ";
    struct Row {
        const char* keys;
        const wchar_t* message;
    };
    const Row rows[] = {
        {"", L"(latest version) from:"},
        {"Minimum Version=any\r\nMaximum Version=any\r\n", L"(latest version) from:"},
        {"Minimum Version=1.6\r\nMaximum Version=any\r\n", L"(minimum version 1.6) from:"},
        {"Minimum Version=1.8\r\n", L"(minimum version 1.8) from:"},
        {"Maximum Version=1.7\r\n", L"(maximum version 1.7) from:"},
        {"Maximum Version=17\r\n", L"(maximum version 17) from:"},
        {"Minimum Version=1.8\r\nMaximum Version=1.8\r\n", L"(version between 1.8 and 1.8) from:"},
        {"Minimum Version=1.6\r\nMaximum Version=11.0.2\r\n", L"(version between 1.6 and 11.0.2) from:"},
        {"Minimum Version=1.8.0.1\r\nMaximum Version=1.8.0.1\r\n", L"(version 1.8.0.1 is required) from:"},
        {"JVM Type=server\r\nMinimum Version=11\r\n", L"with a server JVM (minimum version 11.0) from:"},
        {"JVM Type=favor_server\r\n", L"(latest version) from:"},
        {"Preferred versions=1.8\r\nJVM Source=only_JDK\r\nVM Provider=ibm\r\n", L"(latest version) from:"},
    };
    JavaRegistry registry;  // nothing registered meanwhile
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        TempDir dir;
        LauncherCopy app(dir.path(), L"MyApp.exe", jreSection(row.keys));
        auto process = app.start(L"", {{L"APPDATA", dir / L"appdata"}});
        ASSERT_TRUE(process.started());
        // The "JRE Not Found" dialog says it; Cancel ends the launch.
        UiAction cancel;
        cancel.press = IDCANCEL;
        WindowSnapshot dialog = waitForWindow(process.pid(), cancel);
        ASSERT_TRUE(dialog.found);
        EXPECT_EQ(dialog.text(203), start + row.message);
        EXPECT_EQ(process.exitCode(), -1);
    }
}

TEST(JreDiscoveryE2E, TheLauncherLoadsTheChosenRuntime) {
    TempDir dir;
    JavaRegistry registry;
    const auto older = makeRuntime(dir / L"jre8\\", {kClient, kServer});
    const auto newer = makeRuntime(dir / L"jdk11\\", {kServer});
    registry.add(kJreKey, L"1.8.0_202", older.home());
    registry.add(kJdkKey, L"11.0.2", newer.home());
    const std::wstring out = dir / L"jvm-path.txt";
    const std::string escaped = withSlashes(out);  // backslashes are escapes in a script; Windows takes "/" as well
    standin::writeScript(dir.path(), L"classes\\demo\\Hello.class",
                         "method main\n    write \"" + escaped + "\" ${env:VEXA_JVM_PATH}\n");
    struct Row {
        const char* keys;
        std::wstring library;
    };
    const Row rows[] = {
        {"Minimum Version=1.8\r\n", newer.jvmPath()},
        {"Maximum Version=1.8\r\n", dir / L"jre8\\bin\\client\\jvm.dll"},
        {"Maximum Version=1.8\r\nJVM Type=favor_server\r\n", dir / L"jre8\\bin\\server\\jvm.dll"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        TempDir appDir;
        LauncherCopy app(appDir.path(), L"MyApp.exe",
                         "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n" + std::string(row.keys) +
                             "[Class Path]\r\nClass Path=" + narrow(dir / L"classes") + "\r\n");
        auto process = app.start(L"-nosplash", {{L"APPDATA", appDir / L"appdata"}});
        ASSERT_TRUE(process.started());
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(widen(readFile(out)), row.library);
    }
}

TEST(JreDiscoveryE2E, AThirtyTwoBitRuntimeWithoutAPairedLauncherIsLoadedInProcess) {
    TempDir dir;
    const auto x86 = makeRuntime(dir / L"x86\\", {kClient}, true, standin::Jvm::X86);
    LauncherCopy app(dir.path(), L"MyApp.exe", jreSection("JRE Path=" + narrow(x86.home()) + "\r\n"));
    auto process = app.start(L"-nosplash", {{L"APPDATA", dir / L"appdata"}});
    ASSERT_TRUE(process.started());
    WindowSnapshot box = answerMessageBox(process.pid());
    ASSERT_TRUE(box.found);
    // A 64-bit process cannot load it: ERROR_BAD_EXE_FORMAT.
    EXPECT_EQ(box.message().substr(0, box.message().find(L")") + 1),
              L"Failed to load Java VM library: " + x86.jvmPath() + L" (errno = 193)");
    EXPECT_EQ(process.exitCode(), -1);
}

namespace {

// A runtime as today's installers lay it out: a "release" file (none when
// `release` is empty) and, for a JDK, "bin\javac.exe".
std::wstring todaysRuntime(const std::wstring& home, const std::string& release, bool jdk,
                           const std::vector<const wchar_t*>& libraries = {kClient},
                           standin::Jvm jvm = standin::Jvm::Full) {
    makeRuntime(home, libraries, true, jvm);
    if (!release.empty()) writeFile(home + L"release", release);
    if (jdk) writeFile(home + L"bin\\javac.exe", "");
    return home;
}

std::string releaseFile(const std::string& version) {
    return "IMPLEMENTOR=\"Test\"\nJAVA_VERSION=\"" + version + "\"\nJAVA_VERSION_DATE=\"2024-01-16\"\n";
}

// A REG_SZ value's data.
// Points the "Program Files" folder that Windows records at `folder` until
// `registry` ends.
void setProgramFiles(JavaRegistry& registry, const std::wstring& folder) {
    registry.setValue(L"Software\\Microsoft\\Windows", L"CurrentVersion", L"ProgramFilesDir", REG_SZ, registryString(folder));
}

}  // namespace

TEST(JreDiscoveryE2E, TodaysRuntimesAfterTheRegistryFamilies) {
    TempDir dir;
    JavaRegistry registry;
    const std::wstring javaHome = todaysRuntime(dir / L"home\\jdk-11.0.21\\", releaseFile("11.0.21"), true);
    const std::wstring temurin = todaysRuntime(dir / L"temurin\\", releaseFile("17.0.2"), true, {kClient, kServer});
    registry.setValue(L"Software\\Eclipse Adoptium\\JDK", L"17.0.2.8\\hotspot\\MSI", L"Path", REG_SZ,
                      registryString(dir / L"temurin"));
    const std::wstring programs = dir / L"programs";
    makeDirs(dir / L"no-programs");
    const std::wstring zulu = todaysRuntime(programs + L"\\Zulu\\zulu-21\\", releaseFile("21.0.1"), false);  // a JRE
    // A Java 8 JDK without "release": the version comes from its folder name,
    // its JVM library from its "jre\" folder.
    todaysRuntime(programs + L"\\Java\\jdk1.8.0_392\\jre\\", "", false);
    writeFile(programs + L"\\Java\\jdk1.8.0_392\\bin\\javac.exe", "");
    const std::wstring java8 = programs + L"\\Java\\jdk1.8.0_392\\jre\\";
    // No version anywhere: a garbage "release" file, a name without digits.
    const std::wstring unknown = todaysRuntime(programs + L"\\BellSoft\\latest\\", "\x01\x02JAVA_VERSION=\"x\"\n", true);
    // A folder whose name promises more than its "release" file holds: it
    // ranks by the file.
    const std::wstring renamed = todaysRuntime(programs + L"\\Eclipse Adoptium\\jdk-25\\", releaseFile("11.0.2"), true);

    struct Row {
        const char* keys;
        std::optional<std::wstring> javaHome;
        bool programFiles;
        std::wstring library;  // empty: none
    };
    const std::wstring client = kClient;
    const Row rows[] = {
        {"", javaHome, true, javaHome + client},  // JAVA_HOME first, when it qualifies
        {"", std::nullopt, true, zulu + client},  // else the highest version of keys and folders
        {"", std::nullopt, false, temurin + client},  // a vendor key alone
        {"", dir / L"home\\jdk-11.0.21", false, javaHome + client},  // JAVA_HOME without its backslash
        {"", L"\"" + javaHome + L"\"", false, javaHome + client},  // or in quotes
        {"", L"home\\jdk-11.0.21", false, temurin + client},  // a relative JAVA_HOME is ignored
        {"Minimum Version=17\r\n", javaHome, true, zulu + client},
        {"Maximum Version=17\r\n", std::nullopt, true, temurin + client},
        {"Maximum Version=1.8\r\n", javaHome, true, java8 + client},
        {"Maximum Version=1.7\r\n", javaHome, true, L""},
        {"Preferred versions=17\r\n", std::nullopt, true, temurin + client},
        {"Preferred versions=11\r\n", std::nullopt, true, renamed + client},
        {"JVM Source=only_JDK\r\n", std::nullopt, true, temurin + client},  // the Zulu runtime is a JRE
        {"JVM Source=only_JRE\r\n", javaHome, true, zulu + client},
        {"JVM Source=favor_JDK\r\n", std::nullopt, true, temurin + client},
        {"JVM Source=bogus\r\n", javaHome, true, L""},
        {"JVM Type=server\r\n", javaHome, true, temurin + kServer},
        {"VM Provider=any\r\n", javaHome, true, javaHome + client},
        {"VM Provider=ibm\r\n", javaHome, true, L""},
        {"Search Common Locations=NO\r\n", javaHome, true, L""},
        // A runtime of unknown version qualifies only without bounds.
        {"", unknown, false, unknown + client},
        {"Minimum Version=any\r\nMaximum Version=any\r\n", unknown, false, unknown + client},
        {"Minimum Version=1.1\r\n", unknown, false, temurin + client},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys + std::string(" JAVA_HOME=") + (row.javaHome ? narrow(*row.javaHome) : "unset") +
                     (row.programFiles ? " with" : " without") + " program folders");
        setProgramFiles(registry, row.programFiles ? programs : dir / L"no-programs");
        SearchResult r = SearchProbe(dir / L"app\\", jreSection(row.keys)).run(L"", {{L"JAVA_HOME", row.javaHome}});
        EXPECT_EQ(r.library, row.library);
        EXPECT_FALSE(r.runPairProduct);
    }

    // The registry families still come first, even with an older runtime.
    makeRuntime(dir / L"old\\", {kClient});
    registry.add(kJreKey, L"1.6", dir / L"old");
    setProgramFiles(registry, programs);
    SearchResult old = SearchProbe(dir / L"app\\", jreSection("")).run(L"", {{L"JAVA_HOME", javaHome}});
    EXPECT_EQ(old.library, dir / L"old\\bin\\client\\jvm.dll");
}

TEST(JreDiscoveryE2E, TodaysRuntimesInThe32BitViewNeedAPairedLauncher) {
    TempDir dir;
    JavaRegistry registry;
    const std::wstring zulu = todaysRuntime(dir / L"zulu32\\", releaseFile("1.8.0_392"), true, {kClient}, standin::Jvm::X86);
    registry.setValue(L"Software\\Azul Systems\\Zulu", L"zulu-8", L"InstallationPath", REG_SZ, registryString(dir / L"zulu32"),
                      standin::RegistryView::Wow32);
    const std::string paired = "[Application]\r\nPair Product=" + narrow(dir / L"Paired.exe") + "\r\n";

    EXPECT_FALSE(search(dir, jreSection("")).found);
    // Nor is a 32-bit runtime that JAVA_HOME names, unless a paired launcher
    // can run it.
    const std::wstring app = dir / L"app\\";
    EXPECT_FALSE(SearchProbe(app, jreSection("")).run(L"", {{L"JAVA_HOME", zulu}}).found);
    SearchResult home = SearchProbe(app, jreSection("") + paired).run(L"", {{L"JAVA_HOME", zulu}});
    EXPECT_EQ(home.library, zulu + kClient);
    EXPECT_TRUE(home.runPairProduct);

    SearchResult r = search(dir, jreSection("Minimum Version=1.8.0_300\r\n") + paired);
    EXPECT_EQ(r.library, zulu + kClient);
    EXPECT_TRUE(r.runPairProduct);
    EXPECT_FALSE(search(dir, jreSection("Minimum Version=1.8.0_400\r\n") + paired).found);
}

TEST(JreDiscoveryE2E, ARememberedRuntimeThatNoLongerQualifiesIsPassedOver) {
    TempDir dir;
    JavaRegistry registry;
    const std::wstring registered = todaysRuntime(dir / L"registered\\", releaseFile("17.0.9"), true);
    registry.add(kJdkKey, L"17.0.9", registered);
    const std::wstring java8 = todaysRuntime(dir / L"jdk8\\", releaseFile("1.8.0_392"), true);
    const std::wstring java21 = todaysRuntime(dir / L"jdk21\\", releaseFile("21.0.1"), true);
    const std::wstring bare = todaysRuntime(dir / L"bare\\", "", true);  // no "release": version unknown
    const std::wstring bundled = todaysRuntime(dir / L"app\\bundled\\", releaseFile("11.0.2"), true);
    const std::wstring client = kClient;
    struct Row {
        const char* what;
        std::string mainKeys;  // more of [Java Runtime Environment] in the main file
        std::wstring remembered;
        std::wstring library;  // empty: none qualifies, the dialog would come
        std::string logged = "";
    };
    const Row rows[] = {
        {"fitting", "Minimum Version=11\r\n", java21, java21 + client, "chosen, version 21.0.1"},
        {"unknown version, taken on trust", "Minimum Version=11\r\n", bare, bare + client},
        {"too old: the registered one", "Minimum Version=11\r\n", java8, registered + client,
         "version 1.8.0.392, passed over, below \"Minimum Version\"; the search goes on"},
        {"too new: the registered one", "Maximum Version=17.0.9\r\n", java21, registered + client},
        {"gone: the registered one", "", dir / L"gone\\", registered + client, "passed over, it is gone"},
        {"too old, nothing else qualifies", "Minimum Version=21.0.2\r\n", java8, L""},
        {"gone: the main file's bundled runtime", "JRE Path=bundled\r\n", dir / L"gone\\", bundled + client},
        // The main file's own "JRE Path" is used even outside the bounds.
        {"the main file's, too old", "JRE Path=" + narrow(java8) + "\r\nMinimum Version=11\r\n", L"", java8 + client,
         "warning, version 1.8.0.392 is below \"Minimum Version\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::wstring app = dir / L"app\\";
        removeTree(app + L"appdata");
        if (!row.remembered.empty())
            writeFile(app + L"appdata\\P\\C\\MyApp.ini",
                      "[Java Runtime Environment]\r\nJRE Path=" + narrow(row.remembered) + "\r\n");
        const std::string ini = "[Product Information]\r\nProduct Name=P\r\nProduct Code=C\r\n" + jreSection(row.mainKeys);
        const std::wstring log = dir / L"log.txt";
        DeleteFileW(log.c_str());
        SearchResult r = SearchProbe(app, ini).run(L"", {{L"VEXA_LOG", log}});
        EXPECT_EQ(r.library, row.library);
        EXPECT_NE(readFile(log).find(row.logged), std::string::npos) << readFile(log);
    }
}

TEST(JreDiscoveryE2E, EachLauncherScansItsOwnProgramFilesAndThePairedOneTheOther) {
    TempDir dir;
    JavaRegistry registry;
    // Both folders as 64-bit Windows records them, in its 64-bit view.
    const standin::RegistryView view64 = launcherIs32Bit() ? standin::RegistryView::Wow32 : standin::RegistryView::Native;
    const std::wstring programs64 = dir / L"pf64", programs32 = dir / L"pf32";
    registry.setValue(L"Software\\Microsoft\\Windows", L"CurrentVersion", L"ProgramFilesDir", REG_SZ,
                      registryString(programs64), view64);
    registry.setValue(L"Software\\Microsoft\\Windows", L"CurrentVersion", L"ProgramFilesDir (x86)", REG_SZ,
                      registryString(programs32), view64);
    const std::wstring own = launcherIs32Bit() ? programs32 : programs64;
    const std::wstring other = launcherIs32Bit() ? programs64 : programs32;
    const std::wstring ownRuntime = todaysRuntime(own + L"\\Zulu\\zulu-17\\", releaseFile("17.0.9"), true);
    todaysRuntime(other + L"\\Zulu\\zulu-21\\", releaseFile("21.0.1"), true, {kClient}, standin::Jvm::X86);

    // The launcher itself loads the runtime of its own "Program Files".
    const std::wstring out = dir / L"jvm-path.txt";
    std::string escaped = narrow(out);
    for (char& c : escaped) c = c == '\\' ? '/' : c;
    standin::writeScript(dir.path(), L"classes\\demo\\Hello.class",
                         "method main\n    write \"" + escaped + "\" ${env:VEXA_JVM_PATH}\n");
    LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                     "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\n[Class Path]\r\nClass Path=" +
                         narrow(dir / L"classes") + "\r\n");
    auto process = app.start(L"-nosplash", {{L"APPDATA", dir / L"appdata"}, {L"JAVA_HOME", std::nullopt},
                                            {L"LOCALAPPDATA", dir / L"local"}});
    ASSERT_TRUE(process.started());
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(widen(readFile(out)), ownRuntime + kClient);
    if (launcherIs32Bit()) return;  // the search probe below is the 64-bit launcher's code

    // The other architecture's folder only for a paired launcher, after its
    // own; per-user installs (keys under HKEY_CURRENT_USER with expandable
    // values, the user's programs folder) and the OpenJ9 builds as well.
    const std::wstring local = dir / L"local";
    const std::wstring perUser = todaysRuntime(local + L"\\Programs\\Eclipse Adoptium\\jdk-11\\", releaseFile("11.0.21"), true);
    const std::wstring semeru = todaysRuntime(dir / L"semeru\\jdk-8-openj9\\", releaseFile("1.8.0_402"), true);
    HKEY key = nullptr;
    const std::wstring keyPath = L"Software\\Semeru\\JDK\\8.0.402.6\\openj9\\MSI";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    const std::wstring expandable = L"%VEXA_TEST_SEMERU%\\jdk-8-openj9";
    RegSetValueExW(key, L"Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expandable.c_str()),
                   static_cast<DWORD>((expandable.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    struct Cleanup {
        ~Cleanup() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Semeru"); }
    } cleanup;
    const std::string paired = "[Application]\r\nPair Product=" + narrow(dir / L"Paired.exe") + "\r\n";
    struct Row {
        std::string keys;
        std::wstring library;
        bool runPairProduct;
    };
    const Row rows[] = {
        {jreSection(""), ownRuntime + kClient, false},
        {jreSection("Minimum Version=21\r\n"), L"", false},
        {jreSection("Minimum Version=21\r\n") + paired, other + L"\\Zulu\\zulu-21\\" + kClient, true},
        {jreSection("Maximum Version=11.0.21\r\n"), perUser + kClient, false},
        {jreSection("Maximum Version=1.8\r\n"), semeru + kClient, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.keys);
        SearchResult r = SearchProbe(dir / L"app\\", row.keys)
                             .run(L"", {{L"LOCALAPPDATA", local}, {L"VEXA_TEST_SEMERU", dir / L"semeru"}});
        EXPECT_EQ(r.library, row.library);
        EXPECT_EQ(r.runPairProduct, row.runPairProduct);
    }
}
