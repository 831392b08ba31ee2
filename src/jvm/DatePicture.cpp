#include "jvm/DatePicture.h"

#include "foundation/Text.h"

namespace vexa {

std::optional<DatePicture> splitDatePicture(std::wstring_view name) {
    const size_t first = name.find(L'%');
    if (first == std::wstring_view::npos) return std::nullopt;
    const size_t last = name.rfind(L'%');
    DatePicture parts;
    parts.before = name.substr(0, first);
    if (last > first) parts.picture = name.substr(first + 1, last - first - 1);
    parts.after = name.substr(last + 1);
    return parts;
}

std::wstring insertMilliseconds(std::wstring_view picture, unsigned milliseconds) {
    const std::wstring digits = unsignedDecimalText(milliseconds);
    std::wstring out;
    out.reserve(picture.size() + 8);
    for (wchar_t c : picture) {
        if (c == L'L') out += digits;
        else out += c;
    }
    return out;
}

}  // namespace vexa
