// Lexical rules for paths as the settings give them. Free of the platform
// API: nothing here looks at the file system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexa {

// The path with every "/" turned into "\": the settings accept either as the
// folder separator.
std::wstring withBackslashes(std::wstring_view path);

// Whether the path names one place whatever the current folder is: a drive
// and its root ("C:\...") or a network path ("\\server\...").
bool isFullPath(std::wstring_view path);

// The path written plainly: "/" as "\", "." components and doubled "\"
// dropped, and each ".." taking back the component before it. A ".." never
// climbs above a root ("C:\", "\\server\share", "\"); at the start of a
// relative path it stays. A trailing "\" stays. "\\?\" paths are taken as
// written and only get their "/" turned.
std::wstring normalisePath(std::wstring_view path);

// The full path that `path` names when `folder` (a full path) is the current
// folder, as Windows resolves a relative path: "jre" and "..\jre" below and
// beside it, "\jre" on its drive, "D:jre" in the root of D: when that is
// another drive. A full path stays where it is. The result is normalised.
std::wstring resolveAgainstFolder(std::wstring_view path, std::wstring_view folder);

// True when both name the same path, ignoring letter case and how the path
// is written ("/" or "\", ".", "..").
bool samePathText(std::wstring_view a, std::wstring_view b);

// `text` with its last path component removed `count` times: each removal cuts
// at the last "\", dropping it and what follows. Text without "\" stays.
std::wstring StripPathComponents(std::wstring_view text, std::size_t count);

}  // namespace vexa
