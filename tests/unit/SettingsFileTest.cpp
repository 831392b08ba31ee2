// The settings file access through the profile-string functions, on real
// files in a temporary folder.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "config/SettingsStore.h"

using namespace vexa;
using vexa::test::TempDir;
using vexa::test::writeFile;

TEST(SettingsFileRead, ValuesOfAnyLengthAreReadWhole) {
    TempDir dir;
    const std::wstring path = dir / L"long.ini";
    const size_t lengths[] = {0, 1, 254, 255, 256, 510, 511, 512, 1023, 1024, 5000, 70000};
    std::string text = "[S]\r\n";
    for (size_t n : lengths) {
        std::string value;
        for (size_t i = 0; i < n; ++i) value += static_cast<char>('a' + i % 26);
        text += 'k';
        text += std::to_string(n);
        text += '=';
        text += value;
        text += "\r\n";
    }
    writeFile(path, text);
    SettingsFile file(path);
    for (size_t n : lengths) {
        std::wstring value = file.readValue(L"S", L"k" + std::to_wstring(n));
        ASSERT_EQ(value.size(), n);
        for (size_t i = 0; i < n; ++i) ASSERT_EQ(value[i], static_cast<wchar_t>(L'a' + i % 26)) << n << " at " << i;
    }
    EXPECT_EQ(file.readValue(L"S", L"missing"), L"");
    EXPECT_EQ(file.readValue(L"Missing", L"k1"), L"");
    EXPECT_EQ(SettingsFile(dir / L"absent.ini").readValue(L"S", L"k1"), L"");
}

TEST(SettingsFileRead, Utf16AndBareLineFeedFilesReadAsThePlatformReadsThem) {
    TempDir dir;
    std::wstring wide = L"[S]\r\nName=Gr\u00fc\u00dfe \u65e5\u672c\r\nPlain=x\r\n";
    std::string utf16 = "\xFF\xFE";
    for (wchar_t c : wide) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>((c >> 8) & 0xFF);
    }
    writeFile(dir / L"wide.ini", utf16);
    EXPECT_EQ(SettingsFile(dir / L"wide.ini").readValue(L"S", L"Name"), L"Gr\u00fc\u00dfe \u65e5\u672c");
    EXPECT_EQ(SettingsFile(dir / L"wide.ini").readValue(L"S", L"Plain"), L"x");

    writeFile(dir / L"lf.ini", "[S]\nA=1\n[T]\nB=2\n");
    EXPECT_EQ(SettingsFile(dir / L"lf.ini").readValue(L"S", L"A"), L"1");
    EXPECT_EQ(SettingsFile(dir / L"lf.ini").readValue(L"T", L"B"), L"2");
}

TEST(SettingsFileSections, ListsNonEmptyNamesInFileOrderWhateverTheirTotalLength) {
    TempDir dir;
    std::string text;
    std::vector<std::wstring> expected;
    for (int i = 0; i < 120; ++i) {
        std::string name = "Section number " + std::to_string(i);
        text += "[" + name + "]\r\nk=v\r\n";
        expected.push_back(std::wstring(name.begin(), name.end()));
    }
    writeFile(dir / L"many.ini", text);
    std::vector<std::wstring> names{L"stale"};
    SettingsFile(dir / L"many.ini").readSectionNames(names);
    EXPECT_EQ(names, expected);

    SettingsFile(dir / L"absent.ini").readSectionNames(names);
    EXPECT_TRUE(names.empty());
}

TEST(SettingsFileAccess, CheckReadableWriteAndDelete) {
    TempDir dir;
    const std::wstring path = dir / L"rw.ini";
    SettingsFile file(path);
    EXPECT_EQ(file.checkReadable(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(file.writeValue(L"Java Runtime Environment", L"JRE Path", L"C:\\Java\\jre\\"), 0);
    EXPECT_EQ(file.checkReadable(), 0u);
    EXPECT_EQ(file.readValue(L"Java Runtime Environment", L"JRE Path"), L"C:\\Java\\jre\\");
    {
        // Opened elsewhere without sharing: not readable now.
        HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_EQ(file.checkReadable(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
        CloseHandle(other);
    }
    {
        // Read at the same moment by another reader that shares: still readable.
        HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_EQ(file.checkReadable(), 0u);
        CloseHandle(other);
    }
    EXPECT_NE(file.deleteFile(), 0);
    EXPECT_FALSE(vexa::test::exists(path));
    EXPECT_EQ(file.deleteFile(), 0);
}

TEST(LayeredSettings, EmbeddedValueReplacedByTheFileOrExtendedFromThePlusSection) {
    struct Case {
        const char* embedded;  // value of S/K in the embedded block, or null
        const char* file;      // value of S/K in the file, or null
        const char* plus;      // value of "S+"/K in the file, or null
        std::wstring expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, L""},
        {"emb", nullptr, nullptr, L"emb"},
        {nullptr, "file", nullptr, L"file"},
        {"emb", "file", nullptr, L"file"},
        {"emb", "file", "plus", L"file"},
        // "Library Path" is a list: the two join with ";".
        {"emb", nullptr, "plus", L"emb;plus"},
        {"emb", "", "plus", L"emb;plus"},
        {"emb", nullptr, " plus", L"emb;plus"},
        {"emb;", nullptr, "plus", L"emb;plus"},
        {nullptr, nullptr, "abc", L" abc"},
        {nullptr, "", "abc", L" abc"},
        {"", nullptr, "abc", L" abc"},
        {"emb", "", "", L"emb"},
    };
    TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        std::string text = "[Java Runtime Environment]\r\n";
        if (c.file) text += std::string("Library Path=") + c.file + "\r\n";
        text += "[Java Runtime Environment+]\r\n";
        if (c.plus) text += std::string("Library Path=") + c.plus + "\r\n";
        const std::wstring path = dir / (L"layer" + std::to_wstring(n++) + L".ini");
        writeFile(path, text);
        EmbeddedSettings embedded;
        if (c.embedded) embedded.parse(vexa::test::widen(std::string("[Java Runtime Environment]\r\nLibrary Path=") + c.embedded));
        LayeredSettingsFile layered(path, embedded);
        EXPECT_EQ(layered.readValue(L"Java Runtime Environment", L"Library Path"), c.expected) << n - 1;
        // The plain file never sees the embedded layer.
        EXPECT_EQ(SettingsFile(path).readValue(L"Java Runtime Environment", L"Library Path"),
                  vexa::test::widen(c.file ? c.file : ""));
    }
}
