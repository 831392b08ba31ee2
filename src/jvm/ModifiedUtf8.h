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

// The modified UTF-8 bytes of UTF-16 code units, as the JVM takes them in
// FindClass: U+0000 as C0 80, every other unit in one to three bytes,
// surrogates one by one.
std::string encodeModifiedUtf8(std::wstring_view units);

}  // namespace vexa
