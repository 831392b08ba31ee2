// The platform-free half of the settings: file names, list splitting and the
// embedded settings text.
#include <cwctype>

#include "config/LauncherSettings.h"
#include "config/SettingsPaths.h"
#include "config/SettingsStore.h"
#include "foundation/Text.h"

namespace vexa {
namespace {

// Where the file name of a path begins ("\" and "/" both separate folders).
size_t fileNameStart(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

// The position of the file name's extension dot, or npos when it has none.
size_t extensionDot(const std::wstring& path) {
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < fileNameStart(path)) return std::wstring::npos;
    return dot;
}

bool isBlank(wchar_t c) { return c <= L' '; }

}  // namespace

std::wstring settingsPathBeside(const std::wstring& executablePath) {
    size_t dot = extensionDot(executablePath);
    if (dot == std::wstring::npos) return executablePath + L".ini";
    return executablePath.substr(0, dot + 1) + L"ini";
}

std::wstring settingsFileName(const std::wstring& executablePath) {
    std::wstring name = executablePath.substr(fileNameStart(executablePath));
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name + L".ini";
}

std::wstring productFolderName(const std::wstring& productName) {
    std::wstring folder;
    folder.reserve(productName.size());
    for (wchar_t c : productName) {
        if (std::wstring_view(L"\\?\"|><:/*").find(c) == std::wstring_view::npos) folder += c;
    }
    // Windows drops dots and blanks at the end of a folder name, so ". ." or
    // ".." would name the folder itself or the one above: such ends go, and
    // a name of only dots and blanks goes whole.
    while (!folder.empty() && (folder.back() == L'.' || folder.back() == L' ')) folder.pop_back();
    return folder;
}

std::wstring perUserSettingsPath(const std::wstring& appData, const std::wstring& productName,
                                 const std::wstring& productCode, const std::wstring& executablePath) {
    if (appData.empty()) return {};  // no per-user file at all
    const std::wstring fileName = settingsFileName(executablePath);
    const std::wstring product = productFolderName(productName);
    const std::wstring code = productFolderName(productCode);
    // Without product name and code the file would lie loose in the user's
    // application-data folder, where any file of that name would stand in
    // for it: the executable's base name gives it a folder of its own.
    if (product.empty() && code.empty())
        return appData + L"\\" + fileName.substr(0, fileName.size() - 4) + L"\\" + fileName;
    return appData + L"\\" + product + L"\\" + code + L"\\" + fileName;
}

std::vector<std::wstring> LauncherSettings::splitList(const std::wstring& text, const std::wstring& separator) {
    std::vector<std::wstring> pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.push_back(text);
        return pieces;
    }
    size_t pos = 0;
    while (pos < text.size()) {
        size_t found = text.find(separator, pos);
        if (found == std::wstring::npos) {
            pieces.push_back(text.substr(pos));
            break;
        }
        pieces.push_back(text.substr(pos, found - pos));
        pos = found + separator.size();
    }
    return pieces;
}

bool LauncherSettings::isDownloadAddress(std::wstring_view address) {
    for (std::wstring_view scheme : {std::wstring_view(L"https://"), std::wstring_view(L"http://")}) {
        if (address.size() <= scheme.size() || !equalsIgnoreCase(address.substr(0, scheme.size()), scheme)) continue;
        for (wchar_t c : address) {
            if (c <= L' ' || c == 0x7F) return false;
        }
        return true;
    }
    return false;
}

std::wstring joinExtendedValue(const std::wstring& key, std::wstring value, const std::wstring& extension) {
    static const wchar_t* const listKeys[] = {L"Class Path", L"Library Path", L"System Path", L"Preferred versions"};
    bool list = false;
    for (const wchar_t* listKey : listKeys) list |= key == listKey;
    if (extension.empty()) return value;
    const std::wstring tail = trimSpace(extension);
    if (!list || value.find_first_not_of(L' ') == std::wstring::npos || tail.empty()) {
        if (extension.front() != L' ') value += L' ';
        return value + extension;
    }
    // Two lists become one: blanks at the seam would stick to an entry.
    while (!value.empty() && value.back() == L' ') value.pop_back();
    if (value.back() != L';' && tail.front() != L';') value += L';';
    return value + tail;
}

void EmbeddedSettings::parse(const std::wstring& text) {
    sections_.clear();
    std::vector<std::wstring> lines = LauncherSettings::splitList(text, L"\r\n");
    if (!lines.empty() && !lines.front().empty() && lines.front().front() == L'\xFEFF') lines.front().erase(0, 1);

    Section* current = nullptr;
    for (const std::wstring& line : lines) {
        size_t first = 0;
        while (first < line.size() && isBlank(line[first])) ++first;
        if (first == line.size()) continue;  // empty or blank
        if (line[first] == L'[') {
            size_t last = line.size() - 1;
            while (isBlank(line[last])) --last;  // stops at `first` at the latest
            if (last > first && line[last] == L']') {
                sections_.push_back(Section{line.substr(first + 1, last - first - 1), {}});
                current = &sections_.back();
                continue;
            }
        }
        if (!current) continue;  // before the first section
        size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        current->values.emplace_back(trimSpace(std::wstring_view(line).substr(0, equals)),
                                     trimSpace(std::wstring_view(line).substr(equals + 1)));
    }
}

std::optional<std::wstring> EmbeddedSettings::find(const std::wstring& section, const std::wstring& key) const {
    for (const Section& s : sections_) {
        if (s.name != section) continue;
        for (const auto& [k, v] : s.values) {
            if (k == key) return v;
        }
        return std::nullopt;  // a later section of the same name is never consulted
    }
    return std::nullopt;
}

}  // namespace vexa
