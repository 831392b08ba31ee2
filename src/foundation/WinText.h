// Conversions and file-system tests that need the platform.
#pragma once

#include <string>
#include <string_view>

namespace vexa {

// Wide text in the calling thread's ANSI code page, as the runtime expects
// option strings and class names.
std::string toThreadAnsi(std::wstring_view text);
std::wstring fromThreadAnsi(std::string_view text);

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

// Whether a file or folder exists at exactly this path (find-first lookup).
bool pathExists(const std::wstring& path);
// Whether a file (not a folder) exists at exactly this path.
bool fileExists(const std::wstring& path);

// The value of an environment variable, whole; empty when it is not set.
std::wstring environmentValue(const wchar_t* name);

}  // namespace vexa
