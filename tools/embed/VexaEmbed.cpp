// vexa-embed: manages the settings block embedded in a copy of vexa.exe.
//
//   vexa-embed write  EXECUTABLE SETTINGS.ini   write or replace the block
//   vexa-embed print  EXECUTABLE [OUTPUT.ini]   print the block as INI text
//   vexa-embed remove EXECUTABLE                remove the block
//
// Exit codes: 0 done, 1 bad usage, 2 failed, 3 no block to print, 4 the
// block is damaged.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/EmbeddedBlock.h"
#include "config/SettingsBlock.h"
#include "config/SettingsStore.h"
#include "foundation/Handle.h"
#include "foundation/SystemLibrary.h"
#include "foundation/WinText.h"

namespace {

using namespace vexa;

constexpr int kDone = 0;
constexpr int kUsage = 1;
constexpr int kFailed = 2;
constexpr int kNoBlock = 3;
constexpr int kDamaged = 4;

void writeStream(DWORD which, const std::wstring& text) {
    HANDLE stream = GetStdHandle(which);
    if (!stream || stream == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(stream, &mode)) {
        WriteConsoleW(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        std::string bytes = toUtf8(text);
        WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

void say(const std::wstring& text) { writeStream(STD_ERROR_HANDLE, L"vexa-embed: " + text + L"\n"); }

std::wstring systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : L"";
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text + L" (error " + std::to_wstring(error) + L")";
}

int usage() {
    say(L"usage:\n"
        L"  vexa-embed write  EXECUTABLE SETTINGS.ini   write or replace the embedded settings\n"
        L"  vexa-embed print  EXECUTABLE [OUTPUT.ini]   print the embedded settings as INI text\n"
        L"  vexa-embed remove EXECUTABLE                remove the embedded settings");
    return kUsage;
}

bool readWholeFile(const std::wstring& path, std::string& bytes, DWORD& error) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        error = GetLastError();
        return false;
    }
    if (size.QuadPart > static_cast<LONGLONG>(4 * kEmbeddedTextLimit)) {
        error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
        return false;
    }
    return true;
}

// Settings text from a file: UTF-16 with a byte order mark, otherwise UTF-8
// (with or without one), otherwise the ANSI code page, as the profile
// functions read a file without mark.
std::wstring decodeText(const std::string& bytes) {
    auto unit = [&](size_t i, bool big) {
        auto hi = static_cast<unsigned char>(bytes[i + (big ? 0 : 1)]);
        auto lo = static_cast<unsigned char>(bytes[i + (big ? 1 : 0)]);
        return static_cast<wchar_t>((hi << 8) | lo);
    };
    if (bytes.size() >= 2 && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)) {
        const bool big = bytes[0] == '\xFE';
        std::wstring text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += unit(i, big);
        return text;
    }
    std::string_view body(bytes);
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    if (body.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, body.data(), static_cast<int>(body.size()), nullptr, 0);
    if (size > 0) return fromUtf8(body);
    int ansi = MultiByteToWideChar(CP_ACP, 0, body.data(), static_cast<int>(body.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(ansi > 0 ? ansi : 0), L'\0');
    if (ansi > 0) MultiByteToWideChar(CP_ACP, 0, body.data(), static_cast<int>(body.size()), text.data(), ansi);
    return text;
}

// Every line ending (CR LF, LF or CR alone) becomes CR LF, the one the
// launcher splits the block at; a byte order mark is dropped.
std::wstring normaliseLines(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    size_t i = (!text.empty() && text[0] == L'\xFEFF') ? 1 : 0;
    for (; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\r') {
            out += L"\r\n";
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else if (c == L'\n') {
            out += L"\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// One resource of an executable, copied out of it.
struct ResourceCopy {
    std::wstring typeName;  // empty when the type is a number
    WORD typeId = 0;
    std::wstring name;  // empty when the name is a number
    WORD nameId = 0;
    WORD language = 0;
    std::vector<std::uint8_t> data;

    LPCWSTR type() const { return typeName.empty() ? MAKEINTRESOURCEW(typeId) : typeName.c_str(); }
    LPCWSTR id() const { return name.empty() ? MAKEINTRESOURCEW(nameId) : name.c_str(); }
};

struct ResourceScan {
    HMODULE module = nullptr;
    std::vector<ResourceCopy> kept;
    size_t blocks = 0;
    bool failed = false;
};

bool isBlockType(LPCWSTR type) { return !IS_INTRESOURCE(type) && lstrcmpiW(type, kEmbeddedBlockType) == 0; }

BOOL CALLBACK copyLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param) {
    auto* scan = reinterpret_cast<ResourceScan*>(param);
    if (isBlockType(type)) {
        ++scan->blocks;
        return TRUE;
    }
    ResourceCopy copy;
    if (IS_INTRESOURCE(type)) copy.typeId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
    else copy.typeName = type;
    if (IS_INTRESOURCE(name)) copy.nameId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    else copy.name = name;
    copy.language = language;
    HRSRC found = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* data = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!data && size) {
        scan->failed = true;
        return FALSE;
    }
    if (size) copy.data.assign(data, data + size);
    scan->kept.push_back(std::move(copy));
    return TRUE;
}

BOOL CALLBACK copyName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    EnumResourceLanguagesW(module, type, name, copyLanguage, param);
    return !reinterpret_cast<ResourceScan*>(param)->failed;
}

BOOL CALLBACK copyType(HMODULE module, LPWSTR type, LONG_PTR param) {
    EnumResourceNamesW(module, type, copyName, param);
    return !reinterpret_cast<ResourceScan*>(param)->failed;
}

// Rewrites the executable's resources: every resource but the settings block
// as it was, then `block` when one is given. The resources are written anew
// as a whole because removing a single one is not honoured everywhere. Zero
// on success, else the Windows error code.
DWORD updateBlock(const std::wstring& executable, const std::vector<std::uint8_t>* block, size_t& removed) {
    ResourceScan scan;
    {
        Module module(
            LoadLibraryExW(executable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        if (!module) return GetLastError() ? GetLastError() : ERROR_BAD_EXE_FORMAT;
        EnumResourceTypesW(module.get(), copyType, reinterpret_cast<LONG_PTR>(&scan));
        if (scan.failed) return ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    removed = scan.blocks;
    if (!block && scan.blocks == 0) return ERROR_SUCCESS;  // nothing to change

    HANDLE update = BeginUpdateResourceW(executable.c_str(), TRUE);
    if (!update) return GetLastError();
    bool ok = true;
    for (const ResourceCopy& r : scan.kept) {
        ok = ok && UpdateResourceW(update, r.type(), r.id(), r.language, const_cast<std::uint8_t*>(r.data.data()),
                                   static_cast<DWORD>(r.data.size()));
    }
    if (ok && block) {
        ok = UpdateResourceW(update, kEmbeddedBlockType, MAKEINTRESOURCEW(kEmbeddedBlockName),
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<std::uint8_t*>(block->data()),
                             static_cast<DWORD>(block->size()));
    }
    if (!ok) {
        DWORD error = GetLastError();
        EndUpdateResourceW(update, TRUE);  // discard
        return error ? error : ERROR_GEN_FAILURE;
    }
    if (!EndUpdateResourceW(update, FALSE)) return GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
    return ERROR_SUCCESS;
}

// Fills `bytes` from the system's random number generator. bcrypt.dll is
// no DLL that Windows always takes from its own folder, so it is loaded
// from there by full path instead of being imported: a copy beside this
// program must never supply the nonce.
bool systemRandom(std::uint8_t* bytes, size_t count) {
    using GenRandomFn = LONG(WINAPI*)(void* algorithm, UCHAR* buffer, ULONG size, ULONG flags);
    constexpr ULONG kUseSystemPreferredRng = 0x00000002;
    Module bcrypt = loadSystemLibrary(L"bcrypt.dll");
    if (!bcrypt) return false;
    auto genRandom = reinterpret_cast<GenRandomFn>(GetProcAddress(bcrypt.get(), "BCryptGenRandom"));
    return genRandom && genRandom(nullptr, bytes, static_cast<ULONG>(count), kUseSystemPreferredRng) >= 0;
}

int writeCommand(const std::wstring& executable, const std::wstring& settingsPath) {
    std::string bytes;
    DWORD error = ERROR_SUCCESS;
    if (!readWholeFile(settingsPath, bytes, error)) {
        say(L"cannot read " + settingsPath + L": " + systemMessage(error));
        return kFailed;
    }
    const std::wstring text = normaliseLines(decodeText(bytes));
    if (text.find(L'\0') != std::wstring::npos) {
        say(settingsPath + L" holds a zero character: it is not a settings text.");
        return kFailed;
    }
    if (text.size() > kEmbeddedTextLimit) {
        say(settingsPath + L" is too large for embedded settings.");
        return kFailed;
    }
    EmbeddedSettings parsed;
    parsed.parse(text);
    size_t values = 0;
    for (const auto& section : parsed.sections()) values += section.values.size();
    if (parsed.sections().empty()) {
        say(settingsPath + L" holds no [section]: the launcher would read nothing from it. Nothing was written.");
        return kFailed;
    }

    std::array<std::uint8_t, 12> nonce{};
    if (!systemRandom(nonce.data(), nonce.size())) {
        say(L"cannot obtain random numbers from the system.");
        return kFailed;
    }
    const std::vector<std::uint8_t> block = sealSettingsBlock(text, nonce);
    size_t replaced = 0;
    error = updateBlock(executable, &block, replaced);
    if (error != ERROR_SUCCESS) {
        say(L"cannot write the settings into " + executable + L": " + systemMessage(error));
        return kFailed;
    }

    // Read back what the launcher will read.
    std::wstring check;
    if (readEmbeddedBlockOf(executable, check, error) != EmbeddedBlockState::Read || check != text) {
        say(L"the settings written into " + executable + L" do not read back unchanged.");
        return kFailed;
    }
    say(std::wstring(replaced ? L"replaced" : L"wrote") + L" the embedded settings of " + executable + L": " +
        std::to_wstring(parsed.sections().size()) + L" section(s), " + std::to_wstring(values) + L" value(s).");
    return kDone;
}

int printCommand(const std::wstring& executable, const std::wstring& outputPath) {
    std::wstring text;
    DWORD error = ERROR_SUCCESS;
    switch (readEmbeddedBlockOf(executable, text, error)) {
    case EmbeddedBlockState::Absent:
        if (error != ERROR_SUCCESS) {
            say(L"cannot open " + executable + L": " + systemMessage(error));
            return kFailed;
        }
        say(executable + L" carries no embedded settings.");
        return kNoBlock;
    case EmbeddedBlockState::Damaged:
        say(L"the settings embedded in " + executable + L" are damaged or have been altered.");
        return kDamaged;
    case EmbeddedBlockState::Read:
        break;
    }
    if (outputPath.empty()) {
        writeStream(STD_OUTPUT_HANDLE, text);
        return kDone;
    }
    FileHandle out(CreateFileW(outputPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    std::string bytes = toUtf8(text);
    DWORD written = 0;
    if (!out || !WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        say(L"cannot write " + outputPath + L": " + systemMessage(GetLastError()));
        return kFailed;
    }
    return kDone;
}

int removeCommand(const std::wstring& executable) {
    size_t removed = 0;
    DWORD error = updateBlock(executable, nullptr, removed);
    if (error != ERROR_SUCCESS) {
        say(L"cannot remove the settings from " + executable + L": " + systemMessage(error));
        return kFailed;
    }
    std::wstring left;
    if (readEmbeddedBlockOf(executable, left, error) != EmbeddedBlockState::Absent || error != ERROR_SUCCESS) {
        say(L"the settings of " + executable + L" are still there after removing them.");
        return kFailed;
    }
    say(removed ? L"removed the embedded settings of " + executable
                : executable + L" carries no embedded settings; nothing to remove.");
    return kDone;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    keepWorkingFolderOutOfDllSearch();
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.empty()) return usage();
    const std::wstring& command = args[0];
    if (command == L"write" && args.size() == 3) return writeCommand(args[1], args[2]);
    if (command == L"print" && (args.size() == 2 || args.size() == 3))
        return printCommand(args[1], args.size() == 3 ? args[2] : L"");
    if (command == L"remove" && args.size() == 2) return removeCommand(args[1]);
    return usage();
}
