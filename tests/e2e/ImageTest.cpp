// What the built vexa.exe is: a GUI-subsystem x64 image importing only
// Windows system DLLs, carrying the message table, icon and manifest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>

#include "TestSupport.h"

using namespace vexa::test;

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Reads the PE headers and import names of an image file.
struct ImageInfo {
    WORD machine = 0;
    WORD subsystem = 0;
    std::vector<std::string> imports;
};

ImageInfo readImage(const std::wstring& path) {
    std::string bytes = readFile(path);
    ImageInfo info;
    if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return info;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes.data() + dos->e_lfanew);
    info.machine = nt->FileHeader.Machine;
    if (nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return info;
    info.subsystem = nt->OptionalHeader.Subsystem;
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto toOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    if (!importRva) return info;
    for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(bytes.data() + toOffset(importRva));
         d->Name; ++d) {
        info.imports.push_back(lower(bytes.data() + toOffset(d->Name)));
    }
    return info;
}

}  // namespace

TEST(Image, IsAGuiX64ImageImportingOnlySystemDlls) {
    ImageInfo image = readImage(artefact(L"vexa.exe"));
    EXPECT_EQ(image.machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(image.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    ASSERT_FALSE(image.imports.empty());
    // DLLs that Windows always takes from its own folder (comctl32 through
    // the manifest); any other is loaded at run time by full path.
    const std::set<std::string> system = {"kernel32.dll", "user32.dll",   "gdi32.dll", "advapi32.dll",
                                          "shell32.dll",  "comctl32.dll", "ole32.dll", "oleaut32.dll",
                                          "msvcrt.dll",   "shlwapi.dll",  "comdlg32.dll"};
    wchar_t systemDir[MAX_PATH];
    GetSystemDirectoryW(systemDir, MAX_PATH);
    for (const auto& dll : image.imports) {
        EXPECT_TRUE(system.count(dll)) << dll << " is not a Windows system DLL";
        EXPECT_TRUE(exists(std::wstring(systemDir) + L"\\" + widen(dll))) << dll;
    }
}

TEST(Image, VexaEmbedImportsOnlyDllsWindowsTakesFromItsOwnFolder) {
    const std::set<std::string> known = {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll"};
    for (const auto& dll : readImage(artefact(L"vexa-embed.exe")).imports)
        EXPECT_TRUE(known.count(dll)) << dll << " could be taken from beside vexa-embed.exe";
}

TEST(Image, CarriesTheMessageTableInBritishEnglish) {
    const std::map<int, std::wstring> expected = {
        {202, L"Windows exception: %s (errno = %d).\n"},
        {203, L"JNI exception: %s\nReason: %s.\n"},
        {204, L"COM error: %s (errno = %d).\n"},
        {205, L"JNI exception: %s.\n"},
        {206, L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE with a server "
              L"JVM (%s) from:"},
        {207, L"The Java Runtime Environment (JRE) was not found. Please  download and install a JRE (%s) from:"},
        {208, L"failed to get the module path"},
        {209, L"Java Class Path was not specified in INI file."},
        {210, L"Main class was not specified in INI file."},
        {211, L"Failed to load Main Class: %s.\n"},
        {212, L"cannot find CreateJavaVM JNI"},
        {213, L"failed to create the Java VM"},
        {214, L"Browse for JRE folder"},
        {215, L"Could not find the main class %s.\n"},
        {216, L"No main method found in specified class.\n"},
        {217, L"latest version"},
        {218, L"maximum version %s"},
        {219, L"minimum version %s"},
        {220, L"version %s is required"},
        {221, L"version between %s and %s"},
        {222, L"Failed to load Java VM library: %s (errno = %d).\n"},
        {223, L"failed to initialise"},
        {224, L"failed to initialise module"},
        {225, L"unknown"},
        {226, L"thread detached from VM"},
        {227, L"JNI version error"},
        {228, L"not enough memory"},
        {229, L"VM already created"},
        {230, L"invalid arguments"},
    };
    HMODULE image = LoadLibraryExW(artefact(L"vexa.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const WORD british = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);
    for (const auto& [id, text] : expected) {
        HRSRC block = FindResourceExW(image, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), british);
        ASSERT_NE(block, nullptr) << id;
        const auto* data = static_cast<const WCHAR*>(LockResource(LoadResource(image, block)));
        for (int entry = 0; entry < id % 16; ++entry) data += 1 + *data;
        EXPECT_EQ(std::wstring(data + 1, *data), text) << "string " << id;
    }
    FreeLibrary(image);
}

TEST(Image, CarriesIconAndManifest) {
    HMODULE image = LoadLibraryExW(artefact(L"vexa.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */), nullptr);
    HRSRC manifest = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    ASSERT_NE(manifest, nullptr);
    std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                     SizeofResource(image, manifest));
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("<dpiAware"), std::string::npos);
    for (const char* os : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
        EXPECT_NE(text.find(os), std::string::npos) << os;
    }
    FreeLibrary(image);
}

// vexa32.exe: an x86 GUI image whose manifest declares x86, with the same
// message table as vexa.exe.
TEST(Image, TheThirtyTwoBitLauncherIsAnX86GuiImage) {
    std::string bytes = readFile(artefact(L"vexa32.exe"));
    ASSERT_GT(bytes.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(nt->FileHeader.TimeDateStamp, 0u) << "a reproducible image carries no link time";

    HMODULE image = LoadLibraryExW(artefact(L"vexa32.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC manifest = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    ASSERT_NE(manifest, nullptr);
    std::string text(static_cast<const char*>(LockResource(LoadResource(image, manifest))),
                     SizeofResource(image, manifest));
    EXPECT_NE(text.find("processorArchitecture=\"x86\""), std::string::npos);
    EXPECT_EQ(text.find("amd64"), std::string::npos);
    wchar_t message[512] = {};
    EXPECT_GT(LoadStringW(image, 222, message, 512), 0);
    EXPECT_EQ(std::wstring(message), L"Failed to load Java VM library: %s (errno = %d).\n");
    FreeLibrary(image);
}
