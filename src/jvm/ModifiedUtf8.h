// Text that the JVM hands out as bytes (GetStringUTFChars, class names) is
// "modified UTF-8": U+0000 is written as the two bytes C0 80, and characters
// beyond U+FFFF as two three-byte surrogates. Free of the platform API.
#pragma once

#include <string>
#include <string_view>

namespace vexa {

// The UTF-16 code units that `bytes` encode, one per wchar_t. Standard
// four-byte UTF-8 sequences are accepted as well and become a surrogate pair;
// a byte that starts no valid sequence becomes U+FFFD.
std::wstring decodeModifiedUtf8(std::string_view bytes);

}  // namespace vexa
