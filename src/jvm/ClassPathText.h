// Text rules of the "Class Path" setting. Free of the platform API.
#pragma once

#include <string>
#include <string_view>

namespace vexa {

enum class ClassPathEntryKind {
    Wildcard,  // holds "*": expanded through the file system
    Relative,  // joined to the launcher folder and looked up
    Absolute,  // a drive path ("C:...") or a UNC path ("\\..."), kept as written
};

// The kind of one class-path entry. With `wildcards` false the "*" rule is
// left out and the entry is either relative or absolute.
ClassPathEntryKind ClassifyClassPathEntry(std::wstring_view entry, bool wildcards = true);

// The search pattern of a wildcard or relative entry: a relative entry lies
// below the launcher folder (given without its trailing "\"), with or without
// its own leading "\", so "\lib\*.jar" and "lib\*.jar" in C:\App both give
// C:\App\lib\*.jar, and "\." is the folder itself. An absolute entry is
// itself. Either is written plainly ("/" as "\", no "." or "..").
std::wstring ClassPathSearchPattern(std::wstring_view entry, std::wstring_view launcherFolder);

// The pattern up to and including its last "\"; empty when it has none.
std::wstring_view SearchPatternFolder(std::wstring_view pattern);

// One piece of the setting as an entry: blanks around it removed (the layered
// settings lookup may put one in front of a value it extends).
std::wstring_view TrimClassPathPiece(std::wstring_view piece);

}  // namespace vexa
