// The name of an application's single-instance objects, from the path of its
// executable. Free of the platform API.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexa {

// The longest name formed: it also names a registered window message (at most
// 255 characters) and carries the request mapping's suffix.
inline constexpr std::size_t kMaxInstanceNameLength = 160;

// A final path as the system gives it (\\?\C:\... or \\?\UNC\server\share\...)
// in its usual form (C:\... or \\server\share\...); any other text unchanged.
std::wstring withoutVerbatimPrefix(std::wstring_view path);

// "Vexa." + the file name (at most 64 characters) + "." + the SHA-256 of the
// path's UTF-16 units in hexadecimal. `normalisedPath` is the long, final,
// upper-cased path of the executable: two spellings of one file give one
// name, two files two names. The name holds no "\".
std::wstring instanceNameOf(std::wstring_view normalisedPath);

}  // namespace vexa
