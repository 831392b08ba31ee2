// The option list, environment and arguments that vexa.exe hands to a Java
// runtime, read back from the stand-in runtime's record.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
namespace si = vexa::test::standin;

namespace {

const char kScript[] =
    "class demo.Hello\n"
    "method main\n"
    "    args out\n"
    "    env out VEXA_JVM_PATH\n"
    "    env out VEXA_JVM_HOME\n"
    "    env out Path\n"
    "    return\n";

// A launcher copy in dir\app\ with a stand-in runtime in dir\jre\ named by
// "JRE Path" and the main class in app\lib\app.jar.
struct Launch {
    TempDir dir;
    si::JavaHome runtime{dir / L"jre\\"};
    std::wstring appDir = dir / L"app\\";
    si::RecordFile record{dir.path()};
    std::string jrePath = narrow(runtime.home());  // "JRE Path" as written

    std::string settings(const std::string& more) const {
        return "[Product Information]\r\nProduct Name=Vexa Options Test\r\nProduct Code=options-launch\r\n"
               "[Java Runtime Environment]\r\nMain Class=demo.Hello\r\nJRE Path=" +
               jrePath + "\r\n" + more;
    }

    // Starts the copy with "-nosplash" and `arguments`, waits, reads the record.
    si::Record run(const std::string& more, const std::wstring& arguments = L"",
                   std::map<std::wstring, std::optional<std::wstring>> environment = {}) {
        si::writeScript(appDir, L"lib\\app.jar", kScript);
        LauncherCopy app(appDir, L"App.exe", settings(more));
        auto env = record.environment();
        env.insert(environment.begin(), environment.end());
        ChildProcess child = app.start(L"-nosplash" + (arguments.empty() ? L"" : L" " + arguments), env);
        EXPECT_EQ(child.exitCode(60000), 0);
        return record.read();
    }
};

// The options in front of the runtime's own hooks.
std::vector<std::string> launcherOptions(const si::Record& record) {
    auto creation = record.creation();
    if (!creation) return {};
    std::vector<std::string> options;
    for (const auto& option : creation->options) {
        if (option == "exit" || option == "abort" || option == "vfprintf") break;
        options.push_back(option);
    }
    return options;
}

std::set<std::string> entriesAfter(const std::string& option, size_t skip) {
    std::set<std::string> entries;
    std::string text = option.substr(skip);
    size_t pos = 0;
    for (size_t semi; (semi = text.find(';', pos)) != std::string::npos; pos = semi + 1)
        entries.insert(text.substr(pos, semi - pos));
    entries.insert(text.substr(pos));
    return entries;
}

}  // namespace

TEST(JvmOptionsLaunch, RuntimeReceivesLibraryPathClassPathParametersAndArguments) {
    Launch launch;
    si::writeScript(launch.appDir, L"lib\\b.jar", "class demo.Other\nmethod main\n    return\n");
    const std::wstring inherited = L"C:\\Inherited";
    si::Record record = launch.run(
        "Library Path=C:\\Natives\r\nSystem Path=C:\\Tools\r\n"
        "Virtual Machine Parameters=-Xmx256m  -Dapp.title=\"My App\" -Xss2m\r\n"
        "[Class Path]\r\nClass Path=C:\\Libs\\x.jar;\\lib\\*.jar\r\n"
        "[Application]\r\nCmd=one \"two three\"\r\n",
        L"a", {{L"Path", inherited}});
    std::vector<std::string> options = launcherOptions(record);
    ASSERT_EQ(options.size(), 5u) << record.text();
    const std::wstring jre = launch.runtime.home();  // ends in "\"
    EXPECT_EQ(options[0], narrow(L"-Djava.library.path=C:\\Natives;" + launch.appDir + L";.;" + inherited + L";" +
                                 jre + L"lib"));
    const std::string classPathPrefix = "-Djava.class.path=C:\\Libs\\x.jar;";
    ASSERT_EQ(options[1].substr(0, classPathPrefix.size()), classPathPrefix);
    EXPECT_EQ(entriesAfter(options[1], classPathPrefix.size()),
              (std::set<std::string>{narrow(launch.appDir + L"lib\\app.jar"), narrow(launch.appDir + L"lib\\b.jar")}));
    EXPECT_NE(options[1].back(), ';');  // no empty entry: a runtime would read the current folder
    EXPECT_EQ(options[2], "-Xmx256m");
    EXPECT_EQ(options[3], "-Dapp.title=My App");
    EXPECT_EQ(options[4], "-Xss2m");
    EXPECT_EQ(record.creation()->stackReserve, 2097152);

    // "Cmd" arguments come behind the command line's.
    EXPECT_EQ(record.mainArguments(), (std::vector<std::wstring>{L"-nosplash", L"a", L"one", L"two three"}));
    const std::string out = record.output("out");
    const std::string jvm = narrow(launch.runtime.jvmPath());
    const std::string home = narrow(jre.substr(0, jre.size() - 1));
    EXPECT_NE(out.find("VEXA_JVM_PATH=" + jvm + "\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("VEXA_JVM_HOME=" + home + "\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Path=C:\\Tools;" + narrow(inherited) + ";" + home + "\\bin\r\n"), std::string::npos) << out;
}

TEST(JvmOptionsLaunch, PercentageFormsBecomeSizesOfThisMachine) {
    Launch launch;
    si::Record record = launch.run(
        "Virtual Machine Parameters=-Xms10:0:64T -Xmx25:64:1024p\r\n"
        "[Class Path]\r\nClass Path=\\lib\\app.jar\r\n");
    MEMORYSTATUS memory{};
    memory.dwLength = sizeof(memory);
    GlobalMemoryStatus(&memory);
    // A 32-bit launcher is told of at most 2 GiB of memory.
    std::uint64_t total = memory.dwTotalPhys;
    if (launcherIs32Bit()) total = std::min<std::uint64_t>(total, 0x7FFFFFFF);
    const std::uint64_t quarterKiB = (total >> 10) / 4;
    const std::uint64_t heap = std::clamp<std::uint64_t>(quarterKiB, 65536, 1048576);
    std::vector<std::string> options = launcherOptions(record);
    ASSERT_EQ(options.size(), 3u) << record.text();
    EXPECT_EQ(options[1], "-Xms65536K");
    EXPECT_TRUE(options[2] == "-Xmx" + std::to_string(heap) + "K" || options[2] == "-Xmx" + std::to_string(heap - 1) + "K")
        << options[2];
    EXPECT_TRUE(record.mainArguments().has_value()) << "the runtime took the sizes";
}

TEST(JvmOptionsLaunch, EmbeddedJarAndEnvironmentReferencesInTheClassPath) {
    Launch launch;
    si::Record record = launch.run(
        "[Application]\r\nEmbedded Jar=yes\r\n[Class Path]\r\nClass Path=%VEXA_T_LIB%\\app.jar\r\n", L"",
        {{L"VEXA_T_LIB", launch.appDir + L"lib"}});
    std::vector<std::string> options = launcherOptions(record);
    ASSERT_EQ(options.size(), 1u) << record.text();
    EXPECT_EQ(options[0], narrow(L"-Djava.class.path=" + launch.appDir + L"App.exe;" + launch.appDir + L"lib\\app.jar"));
    EXPECT_TRUE(record.mainArguments().has_value()) << "the main class ran";
}

TEST(JvmOptionsLaunch, MainClassFoundThroughAUncWildcard) {
    wchar_t prefix[1024] = {};
    DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024);
    if (length == 0 || length >= 1024) GTEST_SKIP() << "no Wine prefix to serve a share from";
    std::wstring serverFolder = L"Z:" + std::wstring(prefix) + L"\\dosdevices\\unc\\vexalaunchsrv";
    std::replace(serverFolder.begin(), serverFolder.end(), L'/', L'\\');
    si::writeScript(serverFolder + L"\\share\\", L"app.jar", kScript);
    Launch launch;
    si::Record record = launch.run("[Class Path]\r\nClass Path=\\\\vexalaunchsrv\\share\\*.jar\r\n");
    removeTree(serverFolder);
    std::vector<std::string> options = launcherOptions(record);
    ASSERT_EQ(options.size(), 1u) << record.text();
    EXPECT_EQ(options[0], "-Djava.class.path=\\\\vexalaunchsrv\\share\\app.jar");
    EXPECT_TRUE(record.mainArguments().has_value()) << record.text();
}

TEST(JvmOptionsLaunch, StackSizeInBytesSizesTheJavaMainThread) {
    Launch launch;
    si::Record record = launch.run(
        "Virtual Machine Parameters=-Xss4m -Xss3145728\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n");
    EXPECT_EQ(launcherOptions(record), (std::vector<std::string>{narrow(L"-Djava.class.path=" + launch.appDir +
                                                                        L"lib\\app.jar"),
                                                                  "-Xss4m", "-Xss3145728"}));
    // The last "-Xss" wins; without a unit letter every digit counts (Wine
    // gives no thread less than 1 MiB, so the size is above that).
    ASSERT_TRUE(record.creation().has_value());
    EXPECT_EQ(record.creation()->stackReserve, 3145728);
}

TEST(JvmOptionsLaunch, MissingClassPathIsReportedAndTheLaunchGoesOn) {
    // An empty setting, and entries that all match nothing, are told apart.
    for (const char* classPath : {"", " ; lib\\*.zip"}) {
        Launch empty;
        LauncherCopy app(empty.appDir, L"App.exe",
                         empty.settings(std::string("[Class Path]\r\nClass Path=") + classPath + "\r\n"));
        ChildProcess child = app.start(L"-nosplash", empty.record.environment());
        EXPECT_EQ(answerMessageBox(child.pid()).message(),
                  *classPath ? L"No file matches the Java Class Path given in the INI file: lib\\*.zip"
                             : L"Java Class Path was not specified in INI file.");
        child.kill();  // what the runtime then makes of the main class is its own affair
    }
    Launch launch;
    si::writeScript(launch.appDir, L"lib\\app.jar", kScript);
    LauncherCopy app(launch.appDir, L"App.exe",
                     launch.settings("Virtual Machine Parameters=-ea\r\n[Class Path]\r\nClass Path=\\missing.jar\r\n"));
    ChildProcess child = app.start(L"-nosplash", launch.record.environment());
    WindowSnapshot box = answerMessageBox(child.pid());
    EXPECT_EQ(box.message(), L"No file matches the Java Class Path given in the INI file: \\missing.jar");
    // The runtime is still created, without a class path and without the
    // parameters; what it then makes of the main class is its own affair.
    waitUntil([&] { return launch.record.read().creation().has_value(); });
    std::optional<si::Creation> creation = launch.record.read().creation();
    ASSERT_TRUE(creation.has_value());
    for (const auto& option : creation->options) {
        EXPECT_NE(option.rfind("-Djava.class.path=", 0), 0u) << option;
        EXPECT_NE(option, "-ea");
    }
}

namespace {

}  // namespace

TEST(JvmOptionsLaunch, ClassPathEntriesTakeSlashesAndLieBelowTheLauncherFolder) {
    struct Case {
        std::string classPath;
        std::vector<std::wstring> expected;  // below the launcher folder; L"" is the folder itself
    };
    const Case cases[] = {
        {"/lib/app.jar", {L"lib\\app.jar"}},
        {"\\lib/app.jar", {L"lib\\app.jar"}},
        {"lib\\app.jar", {L"lib\\app.jar"}},
        {"<app>lib/*.jar", {L"lib\\app.jar"}},
        {"\\.;\\lib\\app.jar", {L"", L"lib\\app.jar"}},
        {"\\lib\\..\\lib\\app.jar;;", {L"lib\\app.jar"}},
        // As before.
        {"\\lib\\*.jar", {L"lib\\app.jar"}},
    };
    for (const Case& c : cases) {
        Launch launch;
        std::string classPath = c.classPath;
        if (classPath.rfind("<app>", 0) == 0) classPath = withSlashes(launch.appDir) + classPath.substr(5);
        si::Record record = launch.run("[Class Path]\r\nClass Path=" + classPath + "\r\n");
        std::wstring expected;
        for (const std::wstring& entry : c.expected) {
            if (!expected.empty()) expected += L";";
            expected += entry.empty() ? launch.appDir.substr(0, launch.appDir.size() - 1) : launch.appDir + entry;
        }
        // Exactly these entries, and no empty one after them.
        EXPECT_EQ(record.property("java.class.path"), narrow(expected)) << c.classPath;
        EXPECT_TRUE(record.mainArguments().has_value()) << c.classPath << "\n" << record.text();
    }
}

TEST(JvmOptionsLaunch, NoClassFromTheCurrentFolderJoinsTheApplication) {
    // The class path names only a jar without the main class; the folder the
    // launcher is started from has it.
    Launch launch;
    si::writeScript(launch.appDir, L"lib\\other.jar", "class demo.Other\nmethod main\n    return\n");
    si::writeScript(launch.dir / L"cwd\\", L"demo\\Hello.class", kScript);
    LauncherCopy app(launch.appDir, L"App.exe", launch.settings("[Class Path]\r\nClass Path=\\lib\\other.jar\r\n"));
    ChildProcess::Options options;
    options.application = app.exePath();
    options.commandLine = vexa::test::quoted(app.exePath()) + L" -nosplash";
    options.workingDirectory = launch.dir / L"cwd";
    // Without the runtime's launcher helper the launcher looks the class up
    // itself and reports it missing.
    options.environment = launch.record.environment({{L"LAUNCHER_HELPER", L"absent"}});
    ChildProcess child(options);
    EXPECT_TRUE(answerMessageBox(child.pid()).found) << "the main class is not found";
    EXPECT_EQ(child.exitCode(60000), -1);
    si::Record record = launch.record.read();
    EXPECT_EQ(record.property("java.class.path"), narrow(launch.appDir + L"lib\\other.jar"));
    EXPECT_FALSE(record.mainArguments().has_value()) << record.text();
}

TEST(JvmOptionsLaunch, PlusSectionsJoinListsWithASemicolonAndParametersWithABlank) {
    Launch launch;
    si::writeScript(launch.appDir, L"plugins\\b.jar", "class demo.Other\nmethod main\n    return\n");
    writeFile(launch.dir / L"embed.ini",
              "[Java Runtime Environment]\r\nLibrary Path=C:\\Natives\r\nSystem Path=C:\\Tools\r\n"
              "Virtual Machine Parameters=-Xmx256m\r\n[Class Path]\r\nClass Path=\\lib\\*.jar\r\n");
    si::writeScript(launch.appDir, L"lib\\app.jar", kScript);
    LauncherCopy app(launch.appDir, L"App.exe",
                     launch.settings("[Java Runtime Environment+]\r\nLibrary Path=lib\r\nSystem Path=C:\\More\r\n"
                                     "Virtual Machine Parameters=-ea\r\n[Class Path+]\r\nClass Path=\\plugins\\*.jar\r\n"));
    ChildProcess::Options embed;
    embed.application = artefact(L"vexa-embed.exe");
    embed.commandLine = vexa::test::quoted(embed.application) + L" write " + vexa::test::quoted(app.exePath()) + L" " +
                        vexa::test::quoted(launch.dir / L"embed.ini");
    ASSERT_EQ(ChildProcess(embed).exitCode(), 0);
    ChildProcess child = app.start(L"-nosplash", launch.record.environment({}));
    EXPECT_EQ(child.exitCode(60000), 0);
    si::Record record = launch.record.read();
    std::vector<std::string> options = launcherOptions(record);
    ASSERT_EQ(options.size(), 4u) << record.text();
    EXPECT_EQ(options[0].rfind("-Djava.library.path=C:\\Natives;lib;", 0), 0u) << options[0];
    EXPECT_EQ(options[1], narrow(L"-Djava.class.path=" + launch.appDir + L"lib\\app.jar;" + launch.appDir +
                                 L"plugins\\b.jar"));
    EXPECT_EQ(options[2], "-Xmx256m");
    EXPECT_EQ(options[3], "-ea");
    EXPECT_NE(record.output("out").find("\r\nPath=C:\\Tools;C:\\More;"), std::string::npos) << record.output("out");
}

TEST(JvmOptionsLaunch, RelativeJrePathLiesBesideTheLauncherWhereverItIsStartedFrom) {
    for (const char* jrePath : {"..\\jre", "../jre/", "..\\app\\..\\jre\\", "<absolute>"}) {
        Launch launch;
        if (std::string(jrePath) != "<absolute>") launch.jrePath = jrePath;
        // The test's own folder is the current folder, not the launcher's.
        si::Record record = launch.run("[Class Path]\r\nClass Path=\\lib\\app.jar\r\n");
        const std::string out = record.output("out");
        const std::wstring home = launch.runtime.home();
        EXPECT_NE(out.find("VEXA_JVM_PATH=" + narrow(launch.runtime.jvmPath()) + "\r\n"), std::string::npos)
            << jrePath << "\n" << out;
        EXPECT_NE(out.find("VEXA_JVM_HOME=" + narrow(home.substr(0, home.size() - 1)) + "\r\n"), std::string::npos)
            << jrePath << "\n" << out;
        EXPECT_NE(out.find(";" + narrow(home) + "bin\r\n"), std::string::npos) << jrePath << "\n" << out;
    }
}

TEST(JvmOptionsLaunch, ALongInheritedPathKeepsTheSystemPathAndTheRuntimeBinFolder) {
    struct Case {
        int entries;  // of 21 characters and a ";"
        bool cut;
    };
    for (const Case& c : {Case{1488, true}, Case{40, false}}) {
        std::wstring inherited;
        for (int i = 0; i < c.entries; ++i) {
            const std::wstring number = std::to_wstring(100000 + i);
            if (i > 0) inherited += L";";
            inherited += L"C:\\Inherited\\Dir" + number.substr(1);
        }
        Launch launch;
        si::Record record = launch.run("System Path=C:\\Tools\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n", L"",
                                       {{L"Path", inherited}});
        const std::string out = record.output("out");
        const size_t start = out.find("\r\nPath=");
        ASSERT_NE(start, std::string::npos) << record.text().substr(0, 2000);
        const std::string path = out.substr(start + 7, out.find("\r\n", start + 2) - start - 7);
        const std::string bin = narrow(launch.runtime.home()) + "bin";
        EXPECT_LE(path.size(), 32766u);
        EXPECT_EQ(path.substr(0, 9), "C:\\Tools;");
        ASSERT_GE(path.size(), bin.size() + 1);
        EXPECT_EQ(path.substr(path.size() - bin.size() - 1), ";" + bin);
        // What is kept of the inherited value is its first entries, whole.
        const std::string kept = path.substr(9, path.size() - 9 - bin.size() - 1);
        EXPECT_EQ(narrow(inherited).substr(0, kept.size()), kept);
        EXPECT_TRUE(kept.size() == inherited.size() || inherited[kept.size()] == L';');
        EXPECT_EQ(kept.size() < inherited.size(), c.cut) << path.size() << " " << inherited.size();
    }
}

TEST(JvmOptionsLaunch, ClassPathBeyondTheCodePageGoesByShortNames) {
    Launch launch;
    launch.appDir = launch.dir / L"\x042E\x0440\x0438\x0439\xD83D\xDE00\\";
    si::Record record = launch.run("[Class Path]\r\nClass Path=\\lib\\*.jar;\\lib\\app.jar\r\n[Application]\r\n"
                                   "Embedded Jar=Yes\r\n");
    std::optional<std::string> classPath = record.property("java.class.path");
    ASSERT_TRUE(classPath.has_value()) << record.text();
    EXPECT_EQ(classPath->find('?'), std::string::npos) << *classPath;
    EXPECT_EQ(std::count(classPath->begin(), classPath->end(), ';'), 2) << *classPath;
    EXPECT_TRUE(record.mainArguments().has_value()) << record.text();
}
