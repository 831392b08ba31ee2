// The settings reader end to end, through real settings files under Wine. A
// probe program runs the reader on its own LauncherApp and writes the fields
// it filled; copies of it stand in for the launcher under the names a test
// needs. The launcher itself shows the "Main Class" message.
#include <gtest/gtest.h>

#include <windows.h>
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "SettingsProbeSupport.h"
#include "TestSupport.h"

using namespace vexa::test;

namespace {

using Fields = ProbeFields;

// A copy of the settings probe named `exeName` in `folder`, with its settings
// file when `iniText` is given.
struct Probe {
    std::wstring exePath;
    std::wstring iniPath;

    Probe(const std::wstring& folder, const std::wstring& exeName, const std::optional<std::string>& iniText,
          const std::wstring& iniName = L"")
        : exePath(folder + exeName) {
        size_t dot = exeName.rfind(L'.');
        iniPath = folder + (iniName.empty() ? (dot == std::wstring::npos ? exeName : exeName.substr(0, dot)) + L".ini"
                                            : iniName);
        copyFile(artefact(L"settingsprobe.exe"), exePath);
        if (iniText) writeFile(iniPath, *iniText);
    }

    // Runs the probe; `appData` is the value of APPDATA (unset when nullopt).
    Fields run(const std::optional<std::wstring>& appData, const std::wstring& arguments = L"",
               std::int32_t* exitCode = nullptr) const {
        return runSettingsProbe(exePath, appData, arguments, exitCode);
    }
};

// "JRE Path" as the system's profile function reads it.
std::wstring profileValue(const std::wstring& file) {
    wchar_t value[MAX_PATH] = {};
    GetPrivateProfileStringW(L"Java Runtime Environment", L"JRE Path", L"", value, MAX_PATH, file.c_str());
    return value;
}

const char kMinimal[] = "[Java Runtime Environment]\r\nMain Class=com.example.Main\r\n";

}  // namespace

TEST(SettingsReader, DottedExecutableNameKeepsAllButItsExtension) {
    TempDir dir;
    TempDir appData;
    Probe probe(dir.path(), L"Tool.2024.exe",
                "[Product Information]\r\nProduct Name=Prod\r\nProduct Code=C1\r\n"
                "[Java Runtime Environment]\r\nMain Class=org.tool.Main\r\n");
    Fields f = probe.run(appData.path());
    EXPECT_EQ(f["ok"], L"1");
    EXPECT_EQ(f["mainPath"], dir / L"Tool.2024.ini");
    EXPECT_EQ(f["mainClass"], L"org/tool/Main");
    EXPECT_EQ(f["perUserPath"], appData.path() + L"\\Prod\\C1\\Tool.2024.ini");
}

TEST(SettingsReader, ExecutableWithoutExtensionReadsTheFileBesideIt) {
    TempDir dir;
    TempDir appData;
    // A dot in the folder name belongs to the folder: the file beside the
    // executable is read, never one named after the folder.
    writeFile(dir / L"x.ini", "[Java Runtime Environment]\r\nMain Class=wrong.Folder\r\n");
    Probe probe(dir / L"x.y\\", L"launcher", "[Java Runtime Environment]\r\nMain Class=right.Beside\r\n");
    Fields f = probe.run(appData.path());
    EXPECT_EQ(f["ok"], L"1");
    EXPECT_EQ(f["mainPath"], dir / L"x.y\\launcher.ini");
    EXPECT_EQ(f["mainClass"], L"right/Beside");
    // Neither "Product Name" nor "Product Code": a folder of its own.
    EXPECT_EQ(f["perUserPath"], appData.path() + L"\\launcher\\launcher.ini");
}

TEST(SettingsReader, PerUserPathWithAndWithoutAppData) {
    TempDir dir;
    TempDir appData;
    Probe probe(dir.path(), L"Tool.exe",
                "[Product Information]\r\nProduct Name=A:B/C \"x\"\r\nProduct Code=X1\r\n"
                "[Java Runtime Environment]\r\nMain Class=m.M\r\n");
    Fields f = probe.run(appData.path());
    EXPECT_EQ(f["productName"], L"A:B/C \"x\"");
    EXPECT_EQ(f["productCode"], L"X1");
    EXPECT_EQ(f["perUserPath"], appData.path() + L"\\ABC x\\X1\\Tool.ini");
    // Without APPDATA (or with a relative one) the shell's folder for the
    // user's roaming data, never a folder at the root of the current drive,
    // where a file planted by anyone would name the runtime.
    PWSTR roaming = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming), S_OK);
    const std::wstring known = roaming;
    CoTaskMemFree(roaming);
    const std::wstring planted = L"C:\\ABC x\\X1\\Tool.ini";
    const std::wstring own = known + L"\\ABC x\\X1\\Tool.ini";
    writeFile(planted, "[Java Runtime Environment]\r\nJRE Path=C:\\planted\\\r\n");
    writeFile(own, "[Java Runtime Environment]\r\nJRE Path=C:\\own\\\r\n");
    // The probe starts in a folder on C:, whose root holds the planted file.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.path().c_str());
    for (const std::optional<std::wstring>& value : {std::optional<std::wstring>(), std::optional<std::wstring>(L"rel")}) {
        f = probe.run(value);
        EXPECT_EQ(f["perUserPath"], own);
        EXPECT_EQ(f["jrePath"], L"C:\\own\\");
    }
    SetCurrentDirectoryW(previous);
    removeTree(L"C:\\ABC x");
    removeTree(known + L"\\ABC x");
}

TEST(SettingsReader, PlusSectionsExtendOnlyWhatTheFileLeavesEmpty) {
    TempDir dir;
    TempDir appData;
    Probe probe(dir.path(), L"Plus.exe",
                "[Product Information]\r\nProduct Name=\r\n"
                "[Product Information+]\r\nProduct Name=not layered\r\n"
                "[Java Runtime Environment]\r\nSystem Path=C:\\own\r\nLibrary Path=\r\n"
                "[Java Runtime Environment+]\r\nMain Class=com.plus.Main\r\nLibrary Path=lib\\native\r\n"
                "System Path=C:\\ignored\r\nPreferred versions=1.8;11\r\n"
                "[Application+]\r\nPair Product=C:\\pair\\Pair.exe\r\nFailure Check=Yes\r\n");
    Fields f = probe.run(appData.path());
    EXPECT_EQ(f["ok"], L"1");
    EXPECT_EQ(f["productName"], L"");
    EXPECT_EQ(f["mainClass"], L" com/plus/Main");
    EXPECT_EQ(f["libraryPath"], L" lib\\native");
    EXPECT_EQ(f["systemPath"], L"C:\\own");
    // "Pair Product" is a full path, without the blank of the join.
    EXPECT_EQ(f["pairProduct"], L"C:\\pair\\Pair.exe");
    // " Yes" is not "Yes".
    EXPECT_EQ(f["failureCheck"], L"0");
    EXPECT_EQ(f["preferred"], L"< 1.8><11>");
}

TEST(SettingsReader, ARelativePairProductLiesBesideTheLauncherNotInTheWorkingFolder) {
    TempDir dir;
    makeDirs(dir / L"app");
    Probe probe(dir / L"app\\", L"App.exe", std::string(kMinimal) + "[Application]\r\nPair Product=pair/B.exe\r\n");
    // The probe runs in the folder of the test, which is not the launcher's.
    EXPECT_EQ(probe.run(dir.path())["pairProduct"], dir / L"app\\pair\\B.exe");
}

TEST(SettingsReader, SwitchesFollowTheirOwnCaseRules) {
    struct Case {
        std::string settings;
        Fields expected;
    };
    const std::vector<Case> cases = {
        {"", {{"isService", L"0"}, {"failureCheck", L"0"}, {"overrideWorkingDir", L"0"}, {"pairReturnCode", L"0"},
              {"minVersion", L"0.0.0.0#0"}, {"maxVersion", L"0.0.0.0#0"}, {"jvmType", L"0"}, {"sources", L"111"},
              {"vendors", L"001100"}, {"preferredCount", L"0"}}},
        {"[Application]\r\nApplication Type=Service\r\nFailure Check=YES\r\nOverride WorkingDir=yes\r\n"
         "Pair Return Code=yEs\r\n[Java Runtime Environment]\r\nMinimum Version=ANY\r\nMaximum Version=any\r\n"
         "JVM Type=Server\r\nJVM Source=ONLY_JDK\r\nVM Provider=IBM\r\n",
         {{"isService", L"0"}, {"failureCheck", L"1"}, {"overrideWorkingDir", L"1"}, {"pairReturnCode", L"1"},
          {"minVersion", L"0.0.0.0#0"}, {"maxVersion", L"65535.65535.65535.65535#4"}, {"jvmType", L"0"},
          {"sources", L"000"}, {"vendors", L"000011"}}},
        {"[Application]\r\nApplication Type=service\r\nFailure Check=no\r\nOverride WorkingDir=1\r\n"
         "[Java Runtime Environment]\r\nMinimum Version=any\r\nMaximum Version=1.8\r\n"
         "JVM Type=favor_server\r\nJVM Source=favor_JDK\r\nVM Provider=Favor_JRockit\r\n",
         {{"isService", L"1"}, {"failureCheck", L"0"}, {"overrideWorkingDir", L"0"}, {"minVersion", L"0.0.0.0#4"},
          {"maxVersion", L"1.8.65535.65535#2"}, {"jvmType", L"2"}, {"sources", L"110"}, {"vendors", L"111010"}}},
        {"[Java Runtime Environment]\r\nMinimum Version=jre1.6.0_45-b06\r\nMaximum Version=ANY\r\n"
         "JVM Type=server\r\nJVM Source=favor_JRE\r\nVM Provider=oracle\r\nPreferred versions=1.6;;1.8;\r\n",
         {{"minVersion", L"1.6.0.45#5"}, {"maxVersion", L"0.0.0.0#0"}, {"jvmType", L"1"}, {"sources", L"101"},
          {"vendors", L"001100"}, {"preferredCount", L"3"}, {"preferred", L"<1.6><><1.8>"}}},
        {"[Java Runtime Environment]\r\nMinimum Version=1.99999999999\r\nMaximum Version=2147483648\r\n"
         "JVM Source=Only_JRE\r\nVM Provider=jrockit\r\n",
         {{"minVersion", L"0.0.0.0#0"}, {"maxVersion", L"0.0.0.0#0"}, {"sources", L"000"}, {"vendors", L"110000"}}},
        {"[Java Runtime Environment]\r\nJVM Source=only_JRE\r\nVM Provider=ANY\r\nMaximum Version=11\r\n",
         {{"sources", L"001"}, {"vendors", L"101010"}, {"maxVersion", L"11.65535.65535.65535#1"}}},
        {"[Java Runtime Environment]\r\nJVM Source=only_JDK\r\nVM Provider=favor_IBM\r\n",
         {{"sources", L"010"}, {"vendors", L"101011"}}},
        {"[Java Runtime Environment]\r\nVM Provider=FAVOR_SUN\r\n", {{"vendors", L"101110"}}},
    };
    TempDir dir;
    TempDir appData;
    int n = 0;
    for (const auto& c : cases) {
        Probe probe(dir.path(), L"Case" + std::to_wstring(n++) + L".exe",
                    "[Java Runtime Environment+]\r\nMain Class=com.example.Main\r\n" + c.settings);
        Fields f = probe.run(appData.path());
        EXPECT_EQ(f["ok"], L"1") << c.settings;
        for (const auto& [name, value] : c.expected) EXPECT_EQ(f[name], value) << name << " for:\n" << c.settings;
    }
}

TEST(SettingsReader, PerUserJrePathOverridesTheMainFileOnceThatFileExists) {
    TempDir dir;
    TempDir appData;
    const std::string head = "[Product Information]\r\nProduct Name=P\r\nProduct Code=C\r\n"
                             "[Java Runtime Environment]\r\nMain Class=m.M\r\nJRE Path=C:\\main\\jre\\\r\n";
    Probe probe(dir.path(), L"App.exe", head);
    Probe service(dir.path(), L"Svc.exe", head + "[Application]\r\nApplication Type=service\r\n");
    const std::wstring appPerUser = appData.path() + L"\\P\\C\\App.ini";
    const std::wstring svcPerUser = appData.path() + L"\\P\\C\\Svc.ini";

    // No per-user file: the main file's value.
    EXPECT_EQ(probe.run(appData.path())["jrePath"], L"C:\\main\\jre\\");
    // A per-user file without the key: empty, whatever the main file says.
    writeFile(appPerUser, "[Other]\r\nx=y\r\n");
    EXPECT_EQ(probe.run(appData.path())["jrePath"], L"");
    // A per-user file with the key: its value.
    writeFile(appPerUser, "[Java Runtime Environment]\r\nJRE Path=D:\\user\\jre\\\r\n");
    EXPECT_EQ(probe.run(appData.path())["jrePath"], L"D:\\user\\jre\\");
    // A service reads the main file only.
    writeFile(svcPerUser, "[Java Runtime Environment]\r\nJRE Path=D:\\user\\jre\\\r\n");
    EXPECT_EQ(service.run(appData.path())["jrePath"], L"C:\\main\\jre\\");
}

TEST(SettingsReader, ChosenRuntimeIsRememberedWhereTheNextStartLooks) {
    TempDir dir;
    TempDir appData;
    const std::wstring pair = dir / L"pair\\Pair.v2.exe";
    const std::string head = "[Product Information]\r\nProduct Name=Big: App\r\nProduct Code=7\r\n"
                             "[Java Runtime Environment]\r\nMain Class=m.M\r\nJRE Path=C:\\old\\\r\n"
                             "[Application]\r\nPair Product=" + narrow(pair) + "\r\n";
    Probe app(dir.path(), L"App.exe", head);
    std::int32_t code = 0;
    app.run(appData.path(), L"store C:\\chosen\\jre\\", &code);
    EXPECT_EQ(code, 0);
    // A user application: the per-user files of both products, folders created.
    // New files are UTF-16 with their mark.
    for (const wchar_t* name : {L"App.ini", L"Pair.v2.ini"}) {
        const std::wstring file = appData.path() + L"\\Big App\\7\\" + name;
        EXPECT_EQ(readFile(file).substr(0, 2), "\xFF\xFE") << narrow(name);
        EXPECT_EQ(profileValue(file), L"C:\\chosen\\jre\\") << narrow(name);
    }
    EXPECT_NE(readFile(app.iniPath).find("JRE Path=C:\\old\\"), std::string::npos);
    EXPECT_FALSE(exists(dir / L"pair\\Pair.v2.ini"));
    EXPECT_EQ(app.run(appData.path())["jrePath"], L"C:\\chosen\\jre\\");

    // A service: the main file and the file beside the paired executable.
    TempDir serviceData;
    makeDirs(dir / L"pair");
    Probe service(dir.path(), L"Svc.exe", head + "Application Type=service\r\n");
    service.run(serviceData.path(), L"store C:\\svc\\jre\\", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(readFile(service.iniPath).find("JRE Path=C:\\svc\\jre\\"), std::string::npos);
    EXPECT_EQ(profileValue(dir / L"pair\\Pair.v2.ini"), L"C:\\svc\\jre\\");
    EXPECT_FALSE(exists(serviceData.path() + L"\\Big App"));
    EXPECT_EQ(service.run(serviceData.path())["jrePath"], L"C:\\svc\\jre\\");
}

TEST(SettingsReader, LongValuesAreReadWhole) {
    TempDir dir;
    TempDir appData;
    std::string longPath;
    for (int i = 0; longPath.size() < 3000; ++i) longPath += "C:\\lib\\folder" + std::to_string(i) + ";";
    Probe probe(dir.path(), L"Long.exe",
                std::string(kMinimal) + "Library Path=" + longPath + "\r\nSystem Path=" + longPath.substr(0, 255) +
                    "\r\nPreferred versions=" + longPath.substr(0, 256) + "\r\n");
    Fields f = probe.run(appData.path());
    EXPECT_EQ(f["libraryPath"], widen(longPath));
    EXPECT_EQ(f["systemPath"], widen(longPath.substr(0, 255)));
    EXPECT_EQ(f["preferredCount"], L"17");
}

TEST(SettingsReader, Utf16AndOddLineEndingsReadAsThePlatformReadsThem) {
    TempDir dir;
    TempDir appData;
    const std::wstring wide = L"\xFEFF[Java Runtime Environment]\r\nMain Class=\u00e9t\u00e9.Main\r\n"
                              L"Library Path=C:\\\u65e5\u672c\r\n";
    Probe wideProbe(dir.path(), L"Wide.exe", utf16Bytes(wide));
    Fields f = wideProbe.run(appData.path());
    EXPECT_EQ(f["mainClass"], L"\u00e9t\u00e9/Main");
    EXPECT_EQ(f["libraryPath"], L"C:\\\u65e5\u672c");

    Probe lf(dir.path(), L"Lf.exe", "[Java Runtime Environment]\nMain Class=lf.Main\nLibrary Path=x\n");
    f = lf.run(appData.path());
    EXPECT_EQ(f["mainClass"], L"lf/Main");
    EXPECT_EQ(f["libraryPath"], L"x");

    Probe mixed(dir.path(), L"Mixed.exe", "[Java Runtime Environment]\r\r\nMain Class=mixed.Main\r\r\n\n\r\n");
    f = mixed.run(appData.path());
    EXPECT_EQ(f["mainClass"], L"mixed/Main");

    Probe cr(dir.path(), L"Cr.exe", "[Java Runtime Environment]\rMain Class=cr.Main\rLibrary Path=y\r");
    f = cr.run(appData.path());
    EXPECT_EQ(f["mainClass"], L"cr/Main");
    EXPECT_EQ(f["libraryPath"], L"y");
}

// The launcher itself stops with message 210 when no main class is named.
TEST(SettingsReader, MissingMainClassIsReportedAndTheLaunchStops) {
    struct Case {
        const char* name;
        std::optional<std::string> ini;
    };
    std::string garbage;
    for (int i = 0; i < 70000; ++i) garbage += static_cast<char>((i * 7919 + i / 13) & 0xFF);
    const Case cases[] = {
        {"no settings file", std::nullopt},
        {"empty file", std::string()},
        {"empty value", std::string("[Java Runtime Environment]\r\nMain Class=\r\nClass Path=x.jar\r\n")},
        {"blank value", std::string("[Java Runtime Environment]\r\nMain Class=   \r\n")},
        {"other section", std::string("[Application]\r\nMain Class=demo.Main\r\n")},
        {"binary garbage", garbage},
        {"unterminated section", std::string("[Java Runtime Environment\r\nMain Class=demo.Main")},
    };
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        LauncherCopy app(dir.path(), L"NoMain" + std::to_wstring(n++) + L".exe", c.ini);
        auto process = app.start(L"", {{L"APPDATA", dir.path()}});
        ASSERT_TRUE(process.started());
        WindowSnapshot box = answerMessageBox(process.pid());
        ASSERT_TRUE(box.found) << c.name;
        EXPECT_EQ(box.caption, L"Error") << c.name;
        EXPECT_EQ(box.message(), L"Main class was not specified in INI file.") << c.name;
        EXPECT_EQ(process.exitCode(), -1) << c.name;
    }
}
