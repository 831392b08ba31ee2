// The environment and library-path option that the launcher prepares for the
// JVM, seen from the launcher's own process.
#include <gtest/gtest.h>

#include "OptionsProbe.h"

using namespace vexa::test;

namespace {

const std::wstring kJvm = L"C:\\Java\\jre\\bin\\server\\jvm.dll";
const std::wstring kInherited = L"C:\\Inherited\\One;C:\\Inherited\\Two";

ProbeResult prepare(const OptionsProbe& probe, const std::wstring& libraryPath, const std::wstring& systemPath,
                    std::map<std::wstring, std::optional<std::wstring>> environment = {{L"Path", kInherited}},
                    const std::wstring& jvm = kJvm) {
    ProbeRun run;
    run.steps = L"library";
    run.jvm = jvm;
    run.libraryPath = libraryPath;
    run.systemPath = systemPath;
    run.environment = std::move(environment);
    return probe.run(run);
}

}  // namespace

TEST(LibraryPath, ComposesOptionAndPathLikeTheExample) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe", std::nullopt);
    ProbeResult result = prepare(probe, L"C:\\Natives", L"C:\\Tools");
    EXPECT_EQ(result.text("VEXA_JVM_PATH"), kJvm);
    EXPECT_EQ(result.text("VEXA_JVM_HOME"), L"C:\\Java\\jre");
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(widen(result.options[0]),
              L"-Djava.library.path=C:\\Natives;" + dir.path() + L";.;" + kInherited + L";C:\\Java\\jre\\lib");
    EXPECT_EQ(result.text("libraryPath"),
              L"C:\\Natives;" + dir.path() + L";.;" + kInherited + L";C:\\Java\\jre\\lib");
    EXPECT_EQ(result.text("Path"), L"C:\\Tools;" + kInherited + L";C:\\Java\\jre\\bin");
}

TEST(LibraryPath, EmptySettingsAddNoOptionAndKeepTheInheritedPath) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe", std::nullopt);
    ProbeResult result = prepare(probe, L"", L"");
    EXPECT_TRUE(result.options.empty());
    EXPECT_EQ(result.text("Path"), kInherited + L";C:\\Java\\jre\\bin");
    // Blanks alone are no setting either.
    result = prepare(probe, L"  ", L" ");
    EXPECT_TRUE(result.options.empty());
    EXPECT_EQ(result.text("Path"), kInherited + L";C:\\Java\\jre\\bin");
}

TEST(LibraryPath, SeparatorsAreNotDoubled) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe", std::nullopt);
    ProbeResult result = prepare(probe, L"C:\\Natives;", L"C:\\Tools;");
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(widen(result.options[0]),
              L"-Djava.library.path=C:\\Natives;" + dir.path() + L";.;" + kInherited + L";C:\\Java\\jre\\lib");
    EXPECT_EQ(result.text("Path"), L"C:\\Tools;" + kInherited + L";C:\\Java\\jre\\bin");
}

TEST(LibraryPath, ExpandsEnvironmentReferencesInBothTexts) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe", std::nullopt);
    ProbeResult result = prepare(probe, L"%VEXA_T_BASE%\\Lib", L"%VEXA_T_BASE%\\Bin;%VEXA_T_UNSET%",
                                 {{L"Path", kInherited}, {L"VEXA_T_BASE", L"D:\\Program Files"}, {L"VEXA_T_UNSET", std::nullopt}});
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(widen(result.options[0]), L"-Djava.library.path=D:\\Program Files\\Lib;" + dir.path() + L";.;" +
                                            kInherited + L";C:\\Java\\jre\\lib");
    EXPECT_EQ(result.text("Path"),
              L"D:\\Program Files\\Bin;%VEXA_T_UNSET%;" + kInherited + L";C:\\Java\\jre\\bin");
}

TEST(LibraryPath, JdkRuntimeFolders) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe", std::nullopt);
    ProbeResult result = prepare(probe, L"C:\\N", L"", {{L"Path", kInherited}}, L"C:\\Jdk\\jre\\bin\\server\\jvm.dll");
    EXPECT_EQ(result.text("VEXA_JVM_PATH"), L"C:\\Jdk\\jre\\bin\\server\\jvm.dll");
    EXPECT_EQ(result.text("VEXA_JVM_HOME"), L"C:\\Jdk\\jre");
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(widen(result.options[0]),
              L"-Djava.library.path=C:\\N;" + dir.path() + L";.;" + kInherited + L";C:\\Jdk\\jre\\lib");
    EXPECT_EQ(result.text("Path"), kInherited + L";C:\\Jdk\\jre\\bin");
}

TEST(LibraryPath, WithoutAnInheritedPathNoReferenceIsLeft) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe", std::nullopt);
    ProbeResult result = prepare(probe, L"C:\\N", L"C:\\Tools", {{L"Path", std::nullopt}});
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(widen(result.options[0]), L"-Djava.library.path=C:\\N;" + dir.path() + L";.;C:\\Java\\jre\\lib");
    EXPECT_EQ(result.text("Path"), L"C:\\Tools;C:\\Java\\jre\\bin");
}

TEST(LibraryPath, SlashesSeparateFoldersAsBackslashesDo) {
    TempDir dir;
    OptionsProbe probe(dir.path(), L"App.exe", std::nullopt);
    ProbeResult result = prepare(probe, L"C:/Natives;D:/More/", L"C:/Tools");
    ASSERT_EQ(result.options.size(), 1u);
    EXPECT_EQ(widen(result.options[0]), L"-Djava.library.path=C:\\Natives;D:\\More\\;" + dir.path() + L";.;" +
                                            kInherited + L";C:\\Java\\jre\\lib");
    EXPECT_EQ(result.text("Path"), L"C:\\Tools;" + kInherited + L";C:\\Java\\jre\\bin");
}
