// The launcher's reading of its own command line, through real process starts.
#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"

using namespace vexa::test;

namespace {

std::vector<std::wstring> argumentsSeenBy(const std::wstring& application, const std::wstring& commandLine,
                                          const std::wstring& workingDirectory = L"") {
    TempDir dir;
    ChildProcess::Options options;
    options.application = application;
    options.commandLine = commandLine;
    options.workingDirectory = workingDirectory;
    options.environment[L"VEXA_ARGPROBE_OUT"] = dir / L"args.txt";
    ChildProcess probe(options);
    EXPECT_TRUE(probe.started()) << probe.startError();
    EXPECT_EQ(probe.exitCode(), 0);
    std::istringstream in(readFile(dir / L"args.txt"));
    size_t count = 0;
    in >> count;
    std::string line;
    std::getline(in, line);
    std::vector<std::wstring> arguments;
    for (size_t i = 0; i < count && std::getline(in, line); ++i) {
        std::wstring argument;
        std::istringstream units(line);
        unsigned unit = 0;
        while (units >> std::hex >> unit) argument += static_cast<wchar_t>(unit);
        arguments.push_back(argument);
    }
    return arguments;
}

using Args = std::vector<std::wstring>;

}  // namespace

TEST(CommandLine, SplitsLikeTheLauncherTable) {
    const std::wstring probe = artefact(L"argprobe.exe");
    struct Case {
        std::wstring commandLine;
        Args expected;
    };
    const Case cases[] = {
        {L"\"C:\\Apps\\Demo\\demo.exe\" -nosplash file.txt", {L"-nosplash", L"file.txt"}},
        {L"demo.exe   one    two", {L"one", L"two"}},
        {L"demo.exe \"\" x", {L"", L"x"}},
        {L"demo.exe \"unterminated text", {L"unterminated text"}},
        {L"demo.exe a\"b c\"", {L"a\"b", L"c\""}},
        {L"demo.exe -NOSPLASH", {L"-NOSPLASH"}},
        {L"demo.exe \"a b\"c", {L"a b", L"c"}},
        {L"demo.exe tab\there back\\slash", {L"tab\there", L"back\\slash"}},
        {L"demo.exe \"\"", {L""}},
        {L"demo.exe \"", {L""}},
        {L"demo.exe", {}},
        {L"  demo.exe  trailing  ", {L"trailing"}},
        {L"demo.exe \u00e9t\u00e9 \u65e5\u672c", {L"\u00e9t\u00e9", L"\u65e5\u672c"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(argumentsSeenBy(probe, c.commandLine), c.expected) << narrow(c.commandLine);
    }
}

TEST(CommandLine, EmptyCommandLineGivesNoArguments) {
    EXPECT_EQ(argumentsSeenBy(artefact(L"argprobe.exe"), L""), Args{});
}

TEST(CommandLine, UnquotedProgramPathWithSpacesIsRemovedWhole) {
    TempDir dir;
    const std::wstring folder = dir / L"My Apps\\Demo Tool\\";
    copyFile(artefact(L"argprobe.exe"), folder + L"Tool Name.exe");
    EXPECT_EQ(argumentsSeenBy(folder + L"Tool Name.exe", folder + L"Tool Name.exe one \"two three\""),
              (Args{L"one", L"two three"}));
    // Also when the program is named without its extension.
    EXPECT_EQ(argumentsSeenBy(folder + L"Tool Name.exe", folder + L"Tool Name x"), (Args{L"x"}));
}

TEST(CommandLine, AMultiWordProgramNameMustBeTheLaunchersOwnPath) {
    TempDir dir;
    const std::wstring folder = dir / L"My Apps\\Demo Tool\\";
    copyFile(artefact(L"argprobe.exe"), folder + L"App.exe");
    copyFile(artefact(L"argprobe.exe"), dir / L"App.exe");
    copyFile(artefact(L"argprobe.exe"), folder + L"Tool Name.exe");
    struct Case {
        std::wstring program;
        std::wstring commandLine;
        std::wstring workingDirectory;
        Args expected;
    };
    const Case cases[] = {
        // The first word is some other name (a short name, a paired
        // launcher): only it goes, even when a later run ends in the name.
        {L"App.exe", L"MyLauncher D:\\docs\\App one", L"", {L"D:\\docs\\App", L"one"}},
        {L"..\\..\\App.exe", L"MyLauncher " + dir / L"App.exe one", L"", {dir / L"App.exe", L"one"}},
        // A tab behind the program name belongs to the first argument.
        {L"Tool Name.exe", folder + L"Tool Name.exe \tone two", L"", {L"\tone", L"two"}},
        // Relative to the working folder, as the system resolves it.
        {L"Tool Name.exe", L"Tool Name.exe a", folder, {L"a"}},
        {L"Tool Name.exe", L"Tool Name a", folder, {L"a"}},
        // Elsewhere that relative name is not this program.
        {L"Tool Name.exe", L"Tool Name a", dir.path(), {L"Name", L"a"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(argumentsSeenBy(folder + c.program, c.commandLine, c.workingDirectory), c.expected)
            << narrow(c.commandLine);
    }
}
