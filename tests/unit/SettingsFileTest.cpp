// The settings file access through the profile-string functions, on real
// files in a temporary folder.
#include <gtest/gtest.h>

#include <optional>

#include "TestSupport.h"
#include "config/SettingsStore.h"

using namespace vexa;
using vexa::test::TempDir;
using vexa::test::writeFile;
using vexa::test::utf16Bytes;

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
    writeFile(dir / L"wide.ini", utf16Bytes(L"\xFEFF" + wide));
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

namespace {

std::string utf16(const std::wstring& text, bool bigEndian = false) { return utf16Bytes(L"\xFEFF" + text, bigEndian); }

// What the system's profile function returns with room enough.
std::wstring systemValue(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
    std::wstring buffer(100000, L'\0');
    DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(),
                                            static_cast<DWORD>(buffer.size()), path.c_str());
    buffer.resize(length);
    return buffer;
}

}  // namespace

// The settings file reads its content once and answers from memory; every
// value must be what the profile function itself returns for the same file.
TEST(SettingsFileRead, TrickyFilesReadAsTheProfileFunctionReadsThem) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::pair<std::wstring, std::wstring>> reads;
    };
    const std::vector<std::pair<std::wstring, std::wstring>> sk = {{L"S", L"K"}, {L"S", L"L"}, {L"T", L"K"}};
    std::string longValue(70000, 'v');
    const std::vector<Case> cases = {
        {"duplicates: first key, first section", "[S]\r\nK=1\r\nK=2\r\n[T]\r\nK=t\r\n[S]\r\nK=3\r\nL=second\r\n", sk},
        {"names ignore case", "[s]\r\nk=lower\r\n[t]\r\nK=x\r\n", {{L"S", L"K"}, {L"T", L"k"}, {L"S", L"k"}}},
        {"blanks around names and values", "  [S]  \r\n \t K \t = \t v a l \t \r\nL=\x0B\x0C v \x1A\r\n", sk},
        {"control characters", "[S]\r\nK=\x1C\x1Dv\x1E\x1F\r\nL=\x01w\x7F\r\n[T]\r\nK=\x85x\x85\r\n", sk},
        {"no-break space in the ANSI page", "[S]\r\nK=\xA0v\xA0\r\nL\xA0=w\r\n", sk},
        {"wide white space",
         utf16(L"[S]\r\nK=\u3000\u2000\u200Av\u2028\u205F\r\nL=\u200Bw\u200B\u0085\u1680\u180E\u202F\r\n"
               L"[T]\r\nK=\uFEFFx\u00A0\u2029\r\n"),
         sk},
        {"quotes",
         "[S]\r\nK=\"quoted\"\r\nL='single'\r\nM=\"mixed'\r\nN=\"\r\nO=\"\"\r\nP='\r\nQ=\"a\"b\"\r\n"
         "R= \"spaced\" \r\nU=\"\"\"\r\nV=x\"y\"\r\n",
         {{L"S", L"K"}, {L"S", L"L"}, {L"S", L"M"}, {L"S", L"N"}, {L"S", L"O"}, {L"S", L"P"}, {L"S", L"Q"},
          {L"S", L"R"}, {L"S", L"U"}, {L"S", L"V"}}},
        {"line feeds only", "[S]\nK=lf\nL=2\n[T]\nK=3", sk},
        {"lone carriage returns", "[S]\rK=cr\r\r\rL=2\r[T]\rK=3\r", sk},
        {"mixed line ends", "[S]\r\r\nK=a\n\r\nL=b\r\n\n\r[T]\n\rK=c", sk},
        {"UTF-16 LE", utf16(L"[S]\r\nK=\u00e9t\u00e9 \u65e5\u672c\r\n[T]\r\nK=\U0001F600\r\n"), sk},
        {"UTF-16 BE", utf16(L"[S]\r\nK=\u00e9t\u00e9 \u65e5\u672c\r\n[T]\nK=t\r\n", true), sk},
        {"UTF-8 with mark", "\xEF\xBB\xBF[S]\r\nK=\xC3\xA9t\xC3\xA9\r\nL=\xE6\x97\xA5\r\n", sk},
        {"UTF-8 without mark", "[S]\r\nK=\xC3\xA9t\xC3\xA9\r\n", sk},
        {"ANSI", "[S]\r\nK=\xE9t\xE9\r\n[\xC9T\xC9]\r\nK=accent\r\n", {{L"S", L"K"}, {L"\u00e9t\u00e9", L"K"}}},
        {"mark only", "\xFF\xFE", sk},
        {"empty", "", sk},
        {"section forms",
         "[ S ]\r\nK=spaced\r\n[S]trailing\r\nK=trail\r\n[T]]\r\nK=double\r\n[[U]\r\nK=open\r\n[]\r\nK=none\r\n"
         "[V\r\nK=unterminated\r\n[W]trailing\r\nK=w\r\n[X] ]\r\nK=x\r\n",
         {{L"S", L"K"}, {L" S ", L"K"}, {L"T", L"K"}, {L"T]", L"K"}, {L"[U", L"K"}, {L"", L"K"}, {L"V", L"K"},
          {L"W", L"K"}, {L"X", L"K"}, {L"X ]", L"K"}, {L"X]", L"K"}}},
        {"key forms",
         "[S]\r\nK\r\nK=later\r\n=empty name\r\nL==v\r\nM = a = b\r\n;N=comment\r\nN\t=\ttab\r\nO  P=inner\r\n",
         {{L"S", L"K"}, {L"S", L"L"}, {L"S", L"M"}, {L"S", L"N"}, {L"S", L";N"}, {L"S", L"O  P"}, {L"S", L""}}},
        {"keys before the first section", "K=orphan\r\n[S]\r\nL=1\r\n", {{L"", L"K"}, {L"S", L"K"}, {L"S", L"L"}}},
        {"zero character in a value", utf16(std::wstring(L"[S]\r\nK=ab\0cd\r\nL=\"q\0\"\r\n", 22)), sk},
        {"letters beyond ASCII in names",
         utf16(L"[\u00c9T\u00c9]\r\nK=1\r\n[\u017F]\r\nK=long s\r\n[T]\r\n\u212A=kelvin\r\n\u0131=dotless\r\n"
               L"\u0130=dotted\r\n"),
         {{L"\u00e9t\u00e9", L"K"}, {L"s", L"K"}, {L"S", L"K"}, {L"T", L"k"}, {L"T", L"K"}, {L"T", L"I"},
          {L"T", L"i"}}},
        {"long value", "[S]\r\nK=" + longValue + "\r\nL=\"" + longValue + "\"\r\n", sk},
    };
    TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        const std::wstring path = dir / (L"tricky" + std::to_wstring(n++) + L".ini");
        writeFile(path, c.bytes);
        SettingsFile file(path);
        for (const auto& [section, key] : c.reads) {
            EXPECT_EQ(file.readValue(section, key), systemValue(path, section, key))
                << c.name << ": [" << vexa::test::narrow(section) << "] " << vexa::test::narrow(key);
        }
    }
}

TEST(SettingsFileWrite, EachEncodingTakesAnyValueItCanHoldAndKeepsTheRestByteForByte) {
    // (The byte-for-byte rules in full are ProfileWriterTest's; here the
    // system's own reader reads what was written, in the system's code page.)
    const std::wstring cyrillic = L"C:\\Users\\\u042e\u0440\u0438\u0439\\jdk-21\\", emoji = L"D:\\\xD83D\xDE00\\jdk\\";
    const std::string latin1 = "[A]\r\nname=caf\xE9\r\n";  // code page 1252
    struct Case {
        std::string before;
        std::wstring value;
        std::optional<std::string> after;  // nothing: refused, the file stays
    };
    const Case cases[] = {
        {"", emoji, utf16(L"[Java Runtime Environment]\r\nJRE Path=" + emoji + L"\r\n")},
        {"\xEF\xBB\xBF[Java Runtime Environment]\nMain Class=M\n\n[B]\ny=\xC3\xA9", emoji,
         "\xEF\xBB\xBF[Java Runtime Environment]\nMain Class=M\nJRE Path=D:\\\xF0\x9F\x98\x80\\jdk\\\n\n[B]\ny=\xC3\xA9"},
        {latin1, L"C:\\J\u00fcrgen\\", latin1 + "[Java Runtime Environment]\r\nJRE Path=C:\\J\xFCrgen\\\r\n"},
        {latin1, cyrillic, std::nullopt},
        {latin1, emoji, std::nullopt},
    };
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI cases are written for code page 1252, this is " << GetACP();
    TempDir dir;
    for (const Case& c : cases) {
        const std::wstring path = dir / L"w.ini";
        DeleteFileW(path.c_str());
        if (!c.before.empty()) writeFile(path, c.before);
        EXPECT_EQ(SettingsFile(path).writeValue(L"Java Runtime Environment", L"JRE Path", c.value) != 0, c.after.has_value());
        EXPECT_EQ(vexa::test::readFile(path), c.after.value_or(c.before));
        wchar_t read[MAX_PATH] = {};
        GetPrivateProfileStringW(L"Java Runtime Environment", L"JRE Path", L"", read, MAX_PATH, path.c_str());
        if (c.after) {
            EXPECT_EQ(read, c.value);
        }
    }
    // Nothing of the writing is left beside the file.
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir / L"*").c_str(), &entry);
    int files = 0;
    do files += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    while (FindNextFileW(find, &entry));
    FindClose(find);
    EXPECT_EQ(files, 1);
}

TEST(SettingsFileWrite, AFileThatCannotBeReplacedStaysAsItWas) {
    TempDir dir;
    const std::wstring path = dir / L"ro.ini";
    writeFile(path, "[A]\r\nx=1\r\n");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(SettingsFile(path).writeValue(L"A", L"x", L"2"), 0);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(vexa::test::readFile(path), "[A]\r\nx=1\r\n");
    // A folder that is not there: nothing written, nothing made.
    EXPECT_EQ(SettingsFile(dir / L"none\\x.ini").writeValue(L"A", L"x", L"2"), 0);
    EXPECT_FALSE(vexa::test::exists(dir / L"none"));
}
