// Launchers branded on Linux by vexa-pack (tests/e2e/pack.sh brands them and
// then runs these tests with VEXA_PACKED_DIR naming the folder): they still
// start the application, carry the new icon and report the version through
// the version API.
#include <gtest/gtest.h>

#include <string>

#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using namespace vexa::test::standin;

namespace {

std::wstring packedDir() {
    wchar_t buffer[1024] = {};
    DWORD length = GetEnvironmentVariableW(L"VEXA_PACKED_DIR", buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) + L"\\" : L"";
}

std::wstring versionString(const std::vector<BYTE>& info, const std::wstring& name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\080904B0\\" + name;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return L"<none>";
    return std::wstring(value, length && value[length - 1] == 0 ? length - 1 : length);
}

}  // namespace

TEST(PackedLauncher, StartsCarriesTheIconAndReportsTheVersion) {
    const std::wstring packed = packedDir();
    if (packed.empty()) GTEST_SKIP() << "run by tests/e2e/pack.sh after branding";
    struct Row {
        const wchar_t* exe;
        Jvm runtime;
        const wchar_t* fileVersion;
        const wchar_t* productVersion;
        DWORD fixedMs;
    };
    const Row rows[] = {
        {L"MyApp.exe", Jvm::Full, L"1.2.3.4", L"5.6.7.8", 0x00010002},
        {L"MyApp32.exe", Jvm::X86, L"1.2.3.4", L"1.2.3.4", 0x00010002},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(narrow(row.exe));
        const std::wstring exe = packed + row.exe;
        DWORD handle = 0;
        std::vector<BYTE> info(GetFileVersionInfoSizeW(exe.c_str(), &handle));
        ASSERT_FALSE(info.empty());
        ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, row.fixedMs);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x00030004u);
        EXPECT_EQ(versionString(info, L"FileVersion"), row.fileVersion);
        EXPECT_EQ(versionString(info, L"ProductVersion"), row.productVersion);
        EXPECT_EQ(versionString(info, L"ProductName"), L"My Äpp");
        EXPECT_EQ(versionString(info, L"CompanyName"), L"Example Ltd");
        EXPECT_EQ(versionString(info, L"FileDescription"), L"My application");
        EXPECT_EQ(versionString(info, L"LegalCopyright"), L"© 2026 Example Ltd");
        EXPECT_EQ(versionString(info, L"OriginalFilename"), row.exe);

        // The icon group holds the three images of the .ico file, each
        // loadable as an icon.
        HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
        HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
        ASSERT_NE(group, nullptr);
        const auto* header = static_cast<const WORD*>(LockResource(LoadResource(module, group)));
        EXPECT_EQ(header[2], 3);
        for (WORD id = 1; id <= 3; ++id) EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3)), nullptr);
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
        EXPECT_NE(icon, nullptr);
        if (icon) DestroyIcon(icon);
        FreeLibrary(module);

        // It still starts the application: the main class comes from the
        // embedded settings, the runtime from the settings file beside it.
        TempDir dir;
        RuntimeOptions options;
        options.jvm = row.runtime;
        JavaHome java(dir / L"jre\\", options);
        writeScript(dir.path(), L"app\\lib\\app.jar", "class demo.Hello\nmethod main\n    args out\n    exit 7\n");
        copyFile(exe, dir / L"app\\" + row.exe);
        const std::wstring ini = dir / L"app\\" + std::wstring(row.exe).substr(0, wcslen(row.exe) - 3) + L"ini";
        writeFile(ini, "[Java Runtime Environment]\r\nJRE Path=" + narrow(java.home()) +
                           "\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n");
        RecordFile record(dir.path());
        ChildProcess::Options start;
        start.commandLine = quoted(dir / L"app\\" + row.exe) + L" -nosplash x";
        start.environment = record.environment();
        ChildProcess process(start);
        ASSERT_TRUE(process.started());
        EXPECT_EQ(process.exitCode(60000), 7);
        EXPECT_EQ(record.read().mainArguments(), (std::vector<std::wstring>{L"-nosplash", L"x"}));
    }
}
