#include <windows.h>

#include "config/ProfileWriter.h"
#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"
#include "foundation/Handle.h"
#include "foundation/Diagnostics.h"

namespace vexa {
namespace {

// Beyond this a profile value or section list is no settings file any more;
// the reads stop growing their buffer there instead of looping on.
constexpr DWORD kLargestRead = 64u * 1024u * 1024u;

// The text of a settings file's bytes in the encoding its mark names, or the
// ANSI code page without one.
std::wstring decodeProfileBytes(std::string_view bytes) {
    std::size_t mark = 0;
    const ProfileEncoding encoding = detectProfileEncoding(bytes, mark);
    bytes.remove_prefix(mark);
    if (encoding == ProfileEncoding::Utf16Le || encoding == ProfileEncoding::Utf16Be)
        return decodeUtf16(bytes, encoding == ProfileEncoding::Utf16Be);
    const UINT codePage = encoding == ProfileEncoding::Utf8 ? CP_UTF8 : CP_ACP;
    if (bytes.empty()) return {};
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

// The system's ANSI code page, exact both ways: a character without its own
// byte form gives nothing instead of a best-fit stand-in or "?".
const AnsiCodePage& systemAnsiCodePage() {
    static const AnsiCodePage codePage{
        [](std::string_view bytes) {
            if (bytes.empty()) return std::wstring();
            const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
            std::wstring text(size > 0 ? static_cast<std::size_t>(size) : 0, L'\0');
            if (size > 0) MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
            return text;
        },
        [](std::wstring_view text) -> std::optional<std::string> {
            if (text.empty()) return std::string();
            BOOL lossy = FALSE;
            const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                                 nullptr, 0, nullptr, &lossy);
            if (size <= 0 || lossy) return std::nullopt;
            std::string bytes(static_cast<std::size_t>(size), '\0');
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                                nullptr, &lossy);
            if (lossy) return std::nullopt;
            return bytes;
        },
    };
    return codePage;
}

// The whole content of a file, or nothing when it is there but cannot be
// read; a missing file reads as no bytes.
std::optional<std::string> readWholeFile(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::string();
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart >= 2 * kLargestRead) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// Puts `bytes` in place of the file at `path` in one step: they go to a new
// file in the same folder first, which replaces the old one only when it is
// complete and on disk. A crash or a full disk leaves the old file whole, and
// of two writers at once each replaces the file with a whole one.
std::uint32_t replaceFileContent(const std::wstring& path, const std::string& bytes) {
    const size_t slash = path.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
    // A read-only file stays as it is, as the profile functions leave it
    // (replacing it by a rename would otherwise succeed on some systems).
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
    wchar_t temporary[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(folder.c_str(), L"vx", 0, temporary)) return GetLastError();
    DWORD error = ERROR_SUCCESS;
    {
        FileHandle file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file) error = GetLastError();
        else if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
                 written != bytes.size() || !FlushFileBuffers(file.get()))
            error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }
    if (error == ERROR_SUCCESS && !MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) DeleteFileW(temporary);
    return error;
}

const wchar_t* writeErrorText(ProfileWriteError error) {
    switch (error) {
        case ProfileWriteError::ValueNotRepresentable: return L"the value has characters the file's encoding cannot hold";
        case ProfileWriteError::ValueHasLineBreak: return L"the value holds a line break";
        case ProfileWriteError::NameInvalid: return L"the section or key name cannot stand in a settings file";
        case ProfileWriteError::None: break;
    }
    return L"";
}

}  // namespace

std::wstring SettingsFile::profilePath() const {
    if (path_.size() < MAX_PATH) return path_;
    const size_t slash = path_.rfind(L'\\');
    if (slash == std::wstring::npos) return path_;
    const std::wstring folder = path_.substr(0, slash);
    std::wstring shortFolder(folder.size() + 1, L'\0');
    DWORD length = GetShortPathNameW(folder.c_str(), shortFolder.data(), static_cast<DWORD>(shortFolder.size()));
    if (length == 0 || length >= shortFolder.size()) return path_;  // no short names on this volume
    shortFolder.resize(length);
    return shortFolder + path_.substr(slash);
}

std::uint32_t SettingsFile::checkReadable() {
    // Shared with everyone: another launcher or an editor that merely reads
    // the file at the same moment must not make it count as unreadable.
    FileHandle file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    char head[4];
    DWORD read = 0;
    if (!ReadFile(file.get(), head, sizeof(head), &read, nullptr)) return GetLastError();
    return 0;
}

std::shared_ptr<const ProfileText> SettingsFile::content() {
    if (content_) return content_;
    auto content = std::make_shared<ProfileText>();
    // Opened as the profile functions open it: others may read and write it
    // meanwhile; a file that cannot be opened has no values.
    FileHandle file(CreateFileW(profilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (file && GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 && size.QuadPart < 2 * kLargestRead) {
        std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
        DWORD read = 0;
        if (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
            bytes.resize(read);
            content->parse(decodeProfileBytes(bytes));
        }
    }
    content_ = std::move(content);
    return content_;
}

std::wstring SettingsFile::readValue(const std::wstring& section, const std::wstring& key) {
    return content()->value(section, key);
}

void SettingsFile::readSectionNames(std::vector<std::wstring>& names) {
    names.clear();
    const std::wstring file = profilePath();
    std::wstring buffer(256, L'\0');
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
        if (length + 2 != buffer.size() || buffer.size() >= kLargestRead) break;
        buffer.assign(buffer.size() * 2, L'\0');
    }
    if (length > buffer.size()) length = static_cast<DWORD>(buffer.size());
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (buffer[i] != L'\0') continue;
        if (i > start) names.push_back(buffer.substr(start, i - start));
        start = i + 1;
    }
    if (length > start) names.push_back(buffer.substr(start, length - start));
}

int SettingsFile::writeValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    content_.reset();  // the next read sees the file as written
    const std::wstring path = profilePath();
    const std::optional<std::string> bytes = readWholeFile(path);
    if (!bytes) {
        diag::log(L"settings file %s: not written, it cannot be read (error %d)", path_, static_cast<std::int32_t>(GetLastError()));
        return 0;
    }
    const ProfileWrite written = writeProfileValue(*bytes, section, key, value, systemAnsiCodePage());
    if (written.error != ProfileWriteError::None) {
        diag::log(L"settings file %s: [%s] \"%s\" not written, %s", path_, section, key, writeErrorText(written.error));
        return 0;
    }
    if (const std::uint32_t error = replaceFileContent(path, written.bytes)) {
        diag::log(L"settings file %s: not written (error %d)", path_, static_cast<std::int32_t>(error));
        return 0;
    }
    return 1;
}

int SettingsFile::deleteFile() { return DeleteFileW(path_.c_str()) ? 1 : 0; }

std::wstring LayeredSettingsFile::readValue(const std::wstring& section, const std::wstring& key) {
    const std::optional<std::wstring> embedded = embedded_.find(section, key);
    std::wstring result = embedded.value_or(std::wstring());
    std::wstring own = SettingsFile::readValue(section, key);
    if (!own.empty()) {
        diag::log(L"setting [%s] \"%s\" = \"%s\" from the file", section, key, own);
        return own;
    }
    const std::wstring extension = SettingsFile::readValue(section + L"+", key);
    result = joinExtendedValue(key, std::move(result), extension);
    if (diag::on()) {
        const wchar_t* layer = extension.empty()
                                   ? (embedded ? L"from the embedded block" : L"not set in any layer")
                                   : (embedded ? L"from the embedded block, extended by the file's \"+\" section"
                                               : L"from the file's \"+\" section");
        diag::log(L"setting [%s] \"%s\" = \"%s\" %s", section, key, result, layer);
    }
    return result;
}

}  // namespace vexa
