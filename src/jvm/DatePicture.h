// The date and time picture of an output file name: the text between the
// first and the last percent sign. Free of the platform API; the formatting
// itself is done by the platform's date and time functions (JvmHost.cpp).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexa {

// The longest picture handed to the system's date and time formatting; a
// longer one formats as a failed call does.
constexpr std::size_t kLongestDatePicture = 120;

struct DatePicture {
    std::wstring before;   // text before the first percent sign
    std::wstring picture;  // text strictly between the first and the last one
    std::wstring after;    // text after the last one
};

// Splits `name` at its first and last percent sign; none when it has none.
// With a single percent sign the picture is empty.
std::optional<DatePicture> splitDatePicture(std::wstring_view name);

// Every "L" of `picture` replaced by the milliseconds in decimal (0 to 999,
// no leading zeros).
std::wstring insertMilliseconds(std::wstring_view picture, unsigned milliseconds);

}  // namespace vexa
