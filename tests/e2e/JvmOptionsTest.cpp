// The JVM option list, class path, output settings and "Cmd" arguments that
// the launcher builds from its settings file, against real folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "OptionsProbe.h"

using namespace vexa::test;

namespace {

using Strings = std::vector<std::string>;

ProbeResult build(const OptionsProbe& probe, std::map<std::wstring, std::optional<std::wstring>> environment = {},
                  const std::wstring& arguments = L"") {
    ProbeRun run;
    run.steps = L"options";
    run.environment = std::move(environment);
    run.arguments = arguments;
    return probe.run(run);
}

std::string classPathOption(const std::wstring& classPath) { return narrow(L"-Djava.class.path=" + classPath); }

// The entries of a class-path option, in order; none of them empty.
std::vector<std::wstring> entriesOf(const std::string& option) {
    std::wstring text = widen(option.substr(std::string("-Djava.class.path=").size()));
    std::vector<std::wstring> entries;
    size_t pos = 0;
    for (size_t semi; (semi = text.find(L';', pos)) != std::wstring::npos; pos = semi + 1)
        entries.push_back(text.substr(pos, semi - pos));
    entries.push_back(text.substr(pos));
    for (const auto& entry : entries) EXPECT_FALSE(entry.empty()) << "an empty class-path entry in " << option;
    return entries;
}

std::set<std::wstring> asSet(const std::vector<std::wstring>& entries) { return {entries.begin(), entries.end()}; }

void touch(const std::wstring& path) { writeFile(path, "PK"); }

// The folder that Wine serves as \\server\share: dosdevices\unc\server\share
// of the prefix, which the test's drive Z: reaches.
std::wstring uncShareFolder(const std::wstring& server, const std::wstring& share) {
    std::wstring prefix(1024, L'\0');
    DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", prefix.data(), 1024);
    if (length == 0 || length >= 1024) return {};
    prefix.resize(length);
    std::replace(prefix.begin(), prefix.end(), L'/', L'\\');
    return L"Z:" + prefix + L"\\dosdevices\\unc\\" + server + L"\\" + share + L"\\";
}

}  // namespace

TEST(JvmOptions, ClassPathKeepsAbsoluteEntriesAndExpandsWildcards) {
    TempDir dir;
    touch(dir / L"lib\\a.jar");
    touch(dir / L"lib\\b.jar");
    touch(dir / L"lib\\notes.txt");
    OptionsProbe probe(dir.path(), L"App.exe", "[Class Path]\r\nClass Path=C:\\Libs\\x.jar;\\lib\\*.jar\r\n"
                                             "[Java Runtime Environment]\r\nMain Class=a.B\r\n");
    ProbeResult result = build(probe);
    EXPECT_EQ(result.built, 1);
    ASSERT_EQ(result.options.size(), 1u);
    std::vector<std::wstring> entries = entriesOf(result.options[0]);
    ASSERT_EQ(entries.size(), 3u);
    // The absolute entry is kept although it does not exist.
    EXPECT_EQ(entries[0], L"C:\\Libs\\x.jar");
    EXPECT_EQ(asSet({entries[1], entries[2]}), (std::set<std::wstring>{dir / L"lib\\a.jar", dir / L"lib\\b.jar"}));
    EXPECT_TRUE(result.message.empty());
}

TEST(JvmOptions, RelativeEntriesNeedTheFileAndCarryTheirOwnSeparator) {
    TempDir dir;
    touch(dir / L"app.jar");
    makeDirs(dir / L"classes");
    touch(dir / L"lib\\a.jar");
    makeDirs(dir / L"lib\\sub");
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=\\app.jar;\\missing.jar;\\classes;lib\\a.jar;\\lib\\*\r\n");
    ProbeResult result = build(probe);
    ASSERT_EQ(result.options.size(), 1u);
    std::vector<std::wstring> entries = entriesOf(result.options[0]);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], dir / L"app.jar");
    EXPECT_EQ(entries[1], dir / L"classes");
    // "lib\a.jar" without a leading "\" lies below the launcher folder too;
    // "\lib\*" gives the file and the folder, not "." and "..".
    EXPECT_EQ(entries[2], dir / L"lib\\a.jar");
    EXPECT_EQ(asSet({entries[3], entries[4]}), (std::set<std::wstring>{dir / L"lib\\a.jar", dir / L"lib\\sub"}));
}

TEST(JvmOptions, UncEntriesVerbatimOrThroughTheFileSystem) {
    const std::wstring share = uncShareFolder(L"vexaoptsrv", L"share");
    if (share.empty()) GTEST_SKIP() << "no Wine prefix to serve a share from";
    touch(share + L"one.jar");
    touch(share + L"two.jar");
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=\\\\server\\share\\app.jar;\\\\vexaoptsrv\\share\\*.jar;"
                       "\\\\vexaoptsrv\\share\\none*.jar\r\n");
    ProbeResult result = build(probe);
    removeTree(uncShareFolder(L"vexaoptsrv", L""));
    ASSERT_EQ(result.options.size(), 1u);
    std::vector<std::wstring> entries = entriesOf(result.options[0]);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], L"\\\\server\\share\\app.jar");
    EXPECT_EQ(asSet({entries[1], entries[2]}),
              (std::set<std::wstring>{L"\\\\vexaoptsrv\\share\\one.jar", L"\\\\vexaoptsrv\\share\\two.jar"}));
}

TEST(JvmOptions, DrivePathWildcardAndEnvironmentReferences) {
    TempDir dir;
    touch(dir / L"ext\\e.jar");
    touch(dir / L"lib\\l.jar");
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=%VEXA_T_EXT%\\*.jar;%VEXA_T_REL%\\l.jar;%VEXA_T_UNSET%\\x.jar\r\n");
    ProbeResult result = build(probe, {{L"VEXA_T_EXT", dir / L"ext"}, {L"VEXA_T_REL", L"\\lib"}});
    ASSERT_EQ(result.options.size(), 1u);
    // A reference that holds a drive path makes the entry absolute; one that
    // holds "\lib" keeps it relative to the launcher folder; an unset one
    // stays as written and, being relative, matches nothing.
    EXPECT_EQ(result.options[0], classPathOption(dir / L"ext\\e.jar;" + dir / L"lib\\l.jar"));
}

TEST(JvmOptions, MissingClassPathIsReported) {
    TempDir dir;
    const char* settings[] = {
        "[Class Path]\r\nClass Path=\\missing.jar\r\n[Application]\r\nEmbedded Jar=y\r\nCmd=x\r\n"
        "[Java Runtime Environment]\r\nVirtual Machine Parameters=-ea\r\n",
        "[Application]\r\nOutput File=out.txt\r\n",
        "[Class Path]\r\nClass Path=;;\r\n",
    };
    for (const char* ini : settings) {
        OptionsProbe probe(dir.path(), L"App.exe", ini);
        ProbeRun run;
        run.steps = L"options";
        run.answerMessage = true;
        ProbeResult result = probe.run(run);
        EXPECT_EQ(result.built, 0) << ini;
        // Entries that match nothing are named; no entry at all is "not specified".
        EXPECT_EQ(result.message, ini == settings[0]
                                      ? L"No file matches the Java Class Path given in the INI file: \\missing.jar"
                                      : L"Java Class Path was not specified in INI file.");
        // Nothing further is read: no options, no output file, no "Cmd".
        EXPECT_TRUE(result.options.empty());
        EXPECT_TRUE(result.text("outputFile").empty());
        EXPECT_TRUE(result.arguments.empty());
    }
}

TEST(JvmOptions, EmbeddedJarLeadsTheClassPath) {
    TempDir dir;
    struct Case {
        const char* value;
        bool first;
    };
    const Case cases[] = {{"YES", true}, {"Yes", true}, {"yes", true}, {"y", false}, {"", false}};
    for (const auto& c : cases) {
        OptionsProbe probe(dir.path(), L"App.exe",
                           std::string("[Class Path]\r\nClass Path=C:\\x.jar\r\n[Application]\r\nEmbedded Jar=") +
                               c.value + "\r\n");
        ProbeResult result = build(probe);
        ASSERT_EQ(result.options.size(), 1u);
        EXPECT_EQ(result.options[0], classPathOption((c.first ? probe.exePath() + L";" : L"") + L"C:\\x.jar"))
            << c.value;
    }
    // The executable alone is a class path.
    OptionsProbe alone(dir.path(), L"App.exe", "[Application]\r\nEmbedded Jar=Yes\r\n");
    ProbeResult result = build(alone);
    EXPECT_EQ(result.built, 1);
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(result.options[0], classPathOption(alone.exePath()));
}

TEST(JvmOptions, ClassPathExtendedFromThePlusSection) {
    TempDir dir;
    touch(dir / L"plugins\\p.jar");
    // With no value of its own the layered lookup gives " \plugins\*.jar".
    OptionsProbe probe(dir.path(), L"App.exe", "[Class Path+]\r\nClass Path=\\plugins\\*.jar\r\n");
    ProbeResult result = build(probe);
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(result.options[0], classPathOption(dir / L"plugins\\p.jar"));
}

TEST(JvmOptions, VirtualMachineParametersInOrder) {
    TempDir dir;
    struct Case {
        const char* parameters;
        Strings expected;
    };
    const Case cases[] = {
        {"-Xmx512m  -Dp=\"a b\" -ea", {"-Xmx512m", "-Dp=a b", "-ea"}},
        {"-Dapp.title=\"My App\"", {"-Dapp.title=My App"}},
        {"x=\"a\"\"b\"", {"x=a\"b\""}},
        {"-ea -ea \"\"", {"-ea", "-ea", ""}},
        {"-XMX50P -Xmx512k -Dx=%VEXA_T_V%", {"-XMX50P", "-Xmx512k", "-Dx=value"}},
    };
    for (const auto& c : cases) {
        OptionsProbe probe(dir.path(), L"App.exe",
                           std::string("[Class Path]\r\nClass Path=C:\\x.jar\r\n[Java Runtime Environment]\r\n"
                                       "Virtual Machine Parameters=") +
                               c.parameters + "\r\n");
        ProbeResult result = build(probe, {{L"VEXA_T_V", L"value"}});
        Strings expected = {"-Djava.class.path=C:\\x.jar"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(result.options, expected) << c.parameters;
    }
}

TEST(JvmOptions, ParametersFromThePlusSectionGiveNoEmptyOption) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=C:\\x.jar\r\n[Java Runtime Environment+]\r\n"
                       "Virtual Machine Parameters=-ea -Xss2m\r\n");
    ProbeResult result = build(probe);
    EXPECT_EQ(result.options, (Strings{"-Djava.class.path=C:\\x.jar", "-ea", "-Xss2m"}));
    EXPECT_EQ(result.stack, 2097152u);
}

TEST(JvmOptions, PercentageFormsFollowTheReportedMemory) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=C:\\x.jar\r\n[Java Runtime Environment]\r\n"
                       "Virtual Machine Parameters=-Xmx50P -Xms1:0:64p -Xmx10:0:4096T -Xms10:2048:1024p -Xss5p "
                       "-Xmx%VEXA_T_HEAP%\r\n");
    ProbeResult result = build(probe, {{L"VEXA_T_HEAP", L"50P"}});
    const std::uint64_t physKiB = result.numbers["totalPhys"] >> 10;
    const std::uint64_t virtKiB = result.numbers["availVirtual"] >> 10;
    ASSERT_GT(physKiB, 0u);
    ASSERT_GT(virtKiB, 4194304u);
    const std::uint64_t half = physKiB / 2;
    const std::uint64_t onePercent = std::min<std::uint64_t>(physKiB / 100, 65536);
    const std::uint64_t tenth = std::max<std::uint64_t>(std::min<std::uint64_t>(physKiB / 10, 1048576), 2097152);
    const std::uint64_t stackKiB = physKiB * 5 / 100;
    const Strings expected = {
        "-Djava.class.path=C:\\x.jar",
        "-Xmx" + std::to_string(half) + "K",
        "-Xms" + std::to_string(onePercent) + "K",
        "-Xmx4194304K",
        "-Xms" + std::to_string(tenth) + "K",
        "-Xss" + std::to_string(stackKiB) + "K",
        // Expanded after the size rules: not rewritten.
        "-Xmx50P",
    };
    // Products of doubles may land one below the integer division.
    ASSERT_EQ(result.options.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        if (result.options[i] == expected[i]) continue;
        const std::string& got = result.options[i];
        ASSERT_EQ(got.substr(0, 4), expected[i].substr(0, 4));
        const auto value = std::stoull(got.substr(4));
        const auto wanted = std::stoull(expected[i].substr(4));
        EXPECT_TRUE(value + 1 == wanted) << got << " vs " << expected[i];
    }
    EXPECT_EQ(result.stack, std::stoull(result.options[5].substr(4)) * 1024);
}

TEST(JvmOptions, LastXssTokenSetsTheStackSize) {
    TempDir dir;
    struct Case {
        const char* parameters;
        std::uint64_t stack;
    };
    const Case cases[] = {
        {"-Xss512k", 524288},
        {"-Xss2M -ea", 2097152},
        {"-Xss1g", 1073741824},
        {"-Xss1m -Xss=1m", 0},
        {"-Xss:1:2m", 0},
        {"-Xss=1m -Xss4m", 4194304},
        {"-Xss1048576", 1048576},
        {"-ea", 0},
    };
    for (const auto& c : cases) {
        OptionsProbe probe(dir.path(), L"App.exe",
                           std::string("[Class Path]\r\nClass Path=C:\\x.jar\r\n[Java Runtime Environment]\r\n"
                                       "Virtual Machine Parameters=") +
                               c.parameters + "\r\n");
        EXPECT_EQ(build(probe).stack, c.stack) << c.parameters;
    }
}

TEST(JvmOptions, OutputSettings) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=C:\\x.jar\r\n[Application]\r\nOutput File=%VEXA_T_LOGS%\\out.txt\r\n"
                       "Output Append=Yes\r\nError File=C:\\err.txt\r\nError Append=yes\r\n");
    ProbeResult result = build(probe, {{L"VEXA_T_LOGS", L"D:\\Logs"}});
    EXPECT_EQ(result.text("outputFile"), L"D:\\Logs\\out.txt");
    EXPECT_EQ(result.numbers["outputAppend"], 0u);  // only exactly "yes" appends
    EXPECT_EQ(result.text("errorFile"), L"C:\\err.txt");
    EXPECT_EQ(result.numbers["errorAppend"], 1u);

    OptionsProbe none(dir.path(), L"App.exe", "[Class Path]\r\nClass Path=C:\\x.jar\r\n");
    result = build(none);
    EXPECT_TRUE(result.text("outputFile").empty());
    EXPECT_TRUE(result.text("errorFile").empty());
    EXPECT_EQ(result.numbers["outputAppend"], 0u);
    EXPECT_EQ(result.numbers["errorAppend"], 0u);
}

TEST(JvmOptions, CmdArgumentsFollowTheCommandLine) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=C:\\x.jar\r\n[Application]\r\n"
                       "Cmd=one \"two three\"  %VEXA_T_ARG% \"\"\r\n");
    ProbeResult result = build(probe, {{L"VEXA_T_ARG", L"four"}}, L"-nosplash \"a b\"");
    EXPECT_EQ(result.arguments, (std::vector<std::wstring>{L"-nosplash", L"a b", L"one", L"two three", L"four"}));
    EXPECT_EQ(result.text("commandText"), L"one \"two three\"  four \"\"");
}

TEST(JvmOptions, LibraryPathOptionStaysFirst) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe",
                       "[Class Path]\r\nClass Path=C:\\x.jar\r\n[Java Runtime Environment]\r\n"
                       "Virtual Machine Parameters=-ea\r\n");
    ProbeRun run;
    run.libraryPath = L"C:\\Natives";
    run.environment[L"Path"] = L"C:\\P";
    ProbeResult result = probe.run(run);
    EXPECT_EQ(result.options,
              (Strings{narrow(L"-Djava.library.path=C:\\Natives;" + dir.path() + L";.;C:\\P;C:\\Java\\jre\\lib"),
                       "-Djava.class.path=C:\\x.jar", "-ea"}));
}

TEST(JvmOptions, LongClassPathArrivesWhole) {
    TempDir dir;
    std::wstring expected;
    for (int i = 0; i < 1500; ++i) {
        std::wstring name = L"library-with-a-long-name-" + std::to_wstring(i) + L".jar";
        touch(dir / (L"lib\\" + name));
    }
    OptionsProbe probe(dir.path(), L"App.exe", "[Class Path]\r\nClass Path=\\lib\\*.jar\r\n");
    ProbeResult result = build(probe);
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_GT(result.options[0].size(), 32768u);
    EXPECT_EQ(entriesOf(result.options[0]).size(), 1500u);
}
