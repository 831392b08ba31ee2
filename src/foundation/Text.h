// Text helpers over wide strings. Free of the platform API so that they build
// and test natively as well.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vexa {

bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b);
bool startsWith(std::wstring_view text, std::wstring_view prefix);
bool endsWith(std::wstring_view text, std::wstring_view suffix);

// The decimal digits of a number, a negative one with "-" in front. (The
// library's to_wstring formats through the C runtime's printf engine, which
// would bring its floating-point formatting into the launcher.)
std::wstring decimalText(std::int64_t number);
std::wstring unsignedDecimalText(std::uint64_t number);

// Every occurrence of `from` (a single character) replaced by `to`.
std::wstring replaceAll(std::wstring text, wchar_t from, wchar_t to);

// White space (iswspace) removed at both ends.
std::wstring trimSpace(std::wstring_view text);

// A printf-style message: "%s" takes the next text insert, "%d" the next
// number, "%%" is a percent sign. Inserts are copied as they are, so a "%"
// inside an insert is never read as a format. A missing insert is empty (or 0).
using MessageInsert = std::variant<std::wstring, std::int32_t>;
std::wstring formatMessage(std::wstring_view format, const std::vector<MessageInsert>& inserts);

}  // namespace vexa
