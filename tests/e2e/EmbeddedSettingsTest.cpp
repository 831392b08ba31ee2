// The settings block embedded in the executable: vexa-embed writes, prints and
// removes it in copies of vexa.exe; the reader honours it under the settings
// file; a damaged block stops the launch with its own message.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "SettingsProbeSupport.h"
#include "TestSupport.h"

using namespace vexa::test;

namespace {

const std::string kBlockStart("VXES\x01\x00\x00\x00", 8);

std::int32_t runEmbed(const std::wstring& arguments) {
    ChildProcess::Options options;
    options.application = artefact(L"vexa-embed.exe");
    options.commandLine = vexa::test::quoted(options.application) + L" " + arguments;
    ChildProcess process(options);
    EXPECT_TRUE(process.started());
    return process.exitCode();
}

std::wstring q(const std::wstring& path) { return vexa::test::quoted(path); }

// Where the block starts in the executable file; npos unless there is
// exactly one.
size_t blockOffset(const std::wstring& exe) {
    std::string bytes = readFile(exe);
    size_t first = bytes.find(kBlockStart);
    if (first == std::string::npos || bytes.find(kBlockStart, first + 1) != std::string::npos) return std::string::npos;
    return first;
}

size_t blockCount(const std::wstring& exe) {
    std::string bytes = readFile(exe);
    size_t count = 0;
    for (size_t at = bytes.find(kBlockStart); at != std::string::npos; at = bytes.find(kBlockStart, at + 1)) ++count;
    return count;
}

// Whether the executable still carries the launcher's own resources.
bool keepsLauncherResources(const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return false;
    wchar_t text[128] = {};
    bool ok = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST) &&
              FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON) &&
              LoadStringW(module, 210, text, 128) > 0 && std::wstring(text) == L"Main class was not specified in INI file.";
    FreeLibrary(module);
    return ok;
}

const std::wstring kDamaged = L" are damaged or have been altered; the application cannot be started.";

}  // namespace

TEST(VexaEmbed, RoundTripsSettingsTextThroughACopiedLauncher) {
    TempDir dir;
    LauncherCopy app(dir.path(), L"App.exe", std::nullopt);
    const std::wstring input = dir / L"embed.ini";
    const std::wstring output = dir / L"printed.ini";

    // UTF-8 with a byte order mark and mixed line endings: printed back as
    // UTF-8 with CR LF, the line ending the launcher splits at.
    writeFile(input, "\xEF\xBB\xBF[Java Runtime Environment]\nMain Class=emb.Main\nLibrary Path=C:\\Biblioth\xC3\xA8que\n"
                     "\n[Application]\r\nFailure Check=Yes\r");
    ASSERT_EQ(runEmbed(L"write " + q(app.exePath()) + L" " + q(input)), 0);
    ASSERT_EQ(runEmbed(L"print " + q(app.exePath()) + L" " + q(output)), 0);
    EXPECT_EQ(readFile(output), "[Java Runtime Environment]\r\nMain Class=emb.Main\r\nLibrary Path=C:\\Biblioth\xC3\xA8que\r\n"
                                "\r\n[Application]\r\nFailure Check=Yes\r\n");
    EXPECT_EQ(blockCount(app.exePath()), 1u);
    EXPECT_EQ(readFile(app.exePath()).find("emb.Main"), std::string::npos);
    EXPECT_TRUE(keepsLauncherResources(app.exePath()));

    // Replacing: UTF-16 input; still one block.
    writeFile(input, std::string("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0v\0", 18));
    ASSERT_EQ(runEmbed(L"write " + q(app.exePath()) + L" " + q(input)), 0);
    ASSERT_EQ(runEmbed(L"print " + q(app.exePath()) + L" " + q(output)), 0);
    EXPECT_EQ(readFile(output), "[A]\r\nk=v");
    EXPECT_EQ(blockCount(app.exePath()), 1u);

    // Removing leaves an executable without block that still starts.
    ASSERT_EQ(runEmbed(L"remove " + q(app.exePath())), 0);
    EXPECT_EQ(runEmbed(L"print " + q(app.exePath()) + L" " + q(output)), 3);
    EXPECT_EQ(blockCount(app.exePath()), 0u);
    EXPECT_TRUE(keepsLauncherResources(app.exePath()));
    EXPECT_EQ(runEmbed(L"remove " + q(app.exePath())), 0);
    auto process = app.start(L"", {{L"APPDATA", dir.path()}});
    WindowSnapshot box = answerMessageBox(process.pid());
    EXPECT_EQ(box.message(), L"Main class was not specified in INI file.");
    EXPECT_EQ(process.exitCode(), -1);
}

TEST(VexaEmbed, RefusesWhatItCannotUseAndLeavesTheExecutableAlone) {
    TempDir dir;
    LauncherCopy app(dir.path(), L"App.exe", std::nullopt);
    const std::wstring exe = q(app.exePath());
    writeFile(dir / L"nosection.ini", "Main Class=demo.Main\r\n; no section header\r\n");
    writeFile(dir / L"zero.ini", std::string("[A]\r\nk=v\0w\r\n", 12));
    writeFile(dir / L"good.ini", "[A]\r\nk=v\r\n");
    writeFile(dir / L"notexe.exe", "this is not an executable");
    struct Case {
        std::wstring arguments;
        std::int32_t code;
    };
    const Case cases[] = {
        {L"", 1},
        {L"frobnicate " + exe, 1},
        {L"write " + exe, 1},
        {L"print", 1},
        {L"write " + exe + L" " + q(dir / L"missing.ini"), 2},
        {L"write " + exe + L" " + q(dir / L"nosection.ini"), 2},
        {L"write " + exe + L" " + q(dir / L"zero.ini"), 2},
        {L"write " + q(dir / L"notexe.exe") + L" " + q(dir / L"good.ini"), 2},
        {L"write " + q(dir / L"missing.exe") + L" " + q(dir / L"good.ini"), 2},
        {L"print " + q(dir / L"missing.exe"), 2},
        {L"print " + exe, 3},
    };
    const std::string before = readFile(app.exePath());
    for (const auto& c : cases) EXPECT_EQ(runEmbed(c.arguments), c.code) << narrow(c.arguments);
    EXPECT_TRUE(readFile(app.exePath()) == before);
    EXPECT_EQ(readFile(dir / L"notexe.exe"), "this is not an executable");
}

TEST(EmbeddedSettings, FileValuesReplaceEmbeddedOnesAndPlusSectionsExtendThem) {
    TempDir dir;
    TempDir appData;
    const std::wstring exe = dir / L"Tool.exe";
    copyFile(artefact(L"settingsprobe.exe"), exe);
    writeFile(dir / L"embed.ini",
              "[Product Information]\r\nProduct Name=Embedded\r\n"
              "[Java Runtime Environment]\r\nMain Class=emb.Main\r\nLibrary Path=emb-lib\r\nSystem Path=emb-sys\r\n"
              "JVM Type=server\r\nMinimum Version=1.8\r\nJRE Path=C:\\emb\\jre\\\r\n"
              "[Application]\r\nFailure Check=Yes\r\n");
    ASSERT_EQ(runEmbed(L"write " + q(exe) + L" " + q(dir / L"embed.ini")), 0);

    // No settings file: every layered value comes from the block; the plain
    // ones ("Product Name") never do.
    auto f = runSettingsProbe(exe, appData.path());
    EXPECT_EQ(f["ok"], L"1");
    EXPECT_EQ(f["mainClass"], L"emb/Main");
    EXPECT_EQ(f["libraryPath"], L"emb-lib");
    EXPECT_EQ(f["systemPath"], L"emb-sys");
    EXPECT_EQ(f["jvmType"], L"1");
    EXPECT_EQ(f["minVersion"], L"1.8.0.0#2");
    EXPECT_EQ(f["failureCheck"], L"1");
    EXPECT_EQ(f["jrePath"], L"C:\\emb\\jre\\");
    EXPECT_EQ(f["productName"], L"");

    writeFile(dir / L"Tool.ini",
              "[Java Runtime Environment]\r\nLibrary Path=file-lib\r\nMain Class=\r\nJVM Type=favor_server\r\n"
              "[Java Runtime Environment+]\r\nSystem Path=more\r\nLibrary Path=ignored\r\n"
              "[Application]\r\nFailure Check=no\r\n");
    f = runSettingsProbe(exe, appData.path());
    EXPECT_EQ(f["ok"], L"1");
    EXPECT_EQ(f["mainClass"], L"emb/Main");
    EXPECT_EQ(f["libraryPath"], L"file-lib");
    // "System Path" holds a list: the "+" value joins it with ";".
    EXPECT_EQ(f["systemPath"], L"emb-sys;more");
    EXPECT_EQ(f["jvmType"], L"2");
    EXPECT_EQ(f["failureCheck"], L"0");
}

TEST(EmbeddedSettings, LauncherTakesItsMainClassFromTheBlock) {
    TempDir dir;
    LauncherCopy app(dir.path(), L"App.exe", std::nullopt);
    writeFile(dir / L"embed.ini", "[Java Runtime Environment]\r\nMain Class=emb.Main\r\n");
    ASSERT_EQ(runEmbed(L"write " + q(app.exePath()) + L" " + q(dir / L"embed.ini")), 0);
    auto process = app.start(L"", {{L"APPDATA", dir.path()}});
    // The launch goes on past the settings: whatever the next step shows, it
    // is not the missing main class nor a damaged block.
    WindowSnapshot window = waitForWindow(process.pid());
    ASSERT_TRUE(window.found);
    EXPECT_NE(window.message(), L"Main class was not specified in INI file.");
    EXPECT_EQ(window.message().find(kDamaged), std::wstring::npos);
}

TEST(EmbeddedSettings, DamagedBlockIsReportedAndTheLaunchStops) {
    TempDir dir;
    LauncherCopy sealed(dir.path(), L"Sealed.exe", std::nullopt);
    const std::string text = "[Java Runtime Environment]\r\nMain Class=emb.Main\r\n";
    writeFile(dir / L"embed.ini", text);
    ASSERT_EQ(runEmbed(L"write " + q(sealed.exePath()) + L" " + q(dir / L"embed.ini")), 0);
    const size_t start = blockOffset(sealed.exePath());
    ASSERT_NE(start, std::string::npos);
    const size_t blockSize = 56 + 2 * text.size();
    const std::string original = readFile(sealed.exePath());
    ASSERT_GE(original.size(), start + blockSize);

    struct Case {
        const char* what;
        size_t offset;
    };
    const Case cases[] = {
        {"magic", 1}, {"version", 4}, {"nonce", 11}, {"length", 20}, {"text", 24 + 7}, {"tag", blockSize - 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring exe = dir / (L"Damaged" + std::to_wstring(n++) + L".exe");
        std::string bytes = original;
        bytes[start + c.offset] = static_cast<char>(bytes[start + c.offset] ^ 0x20);
        writeFile(exe, bytes);
        writeFile(exe.substr(0, exe.size() - 3) + L"ini", "[Java Runtime Environment]\r\nMain Class=file.Main\r\n");

        ChildProcess::Options options;
        options.application = exe;
        options.commandLine = vexa::test::quoted(exe);
        options.environment = {{L"APPDATA", dir.path()}};
        ChildProcess process(options);
        ASSERT_TRUE(process.started());
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found) << c.what;
        EXPECT_EQ(box.caption, L"Error");
        EXPECT_EQ(box.message(), L"The settings embedded in " + exe + kDamaged) << c.what;
        EXPECT_EQ(process.exitCode(), -1) << c.what;
        EXPECT_EQ(runEmbed(L"print " + q(exe)), 4) << c.what;
    }
}
