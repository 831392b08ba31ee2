#include "foundation/WinText.h"

#include <windows.h>

#include "foundation/Handle.h"

namespace vexa {
namespace {

std::string narrow(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                            nullptr);
    }
    return out;
}

std::wstring widen(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    }
    return out;
}

}  // namespace

std::string toThreadAnsi(std::wstring_view text) { return narrow(text, CP_THREAD_ACP); }
std::wstring fromThreadAnsi(std::string_view text) { return widen(text, CP_THREAD_ACP); }
std::string toUtf8(std::wstring_view text) { return narrow(text, CP_UTF8); }
std::wstring fromUtf8(std::string_view text) { return widen(text, CP_UTF8); }

bool pathExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(path.c_str(), &data));
    return static_cast<bool>(find);
}

bool fileExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(path.c_str(), &data));
    return find && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring environmentValue(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

}  // namespace vexa
