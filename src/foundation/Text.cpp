#include "foundation/Text.h"

#include <cwctype>

namespace vexa {

bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<std::wint_t>(a[i])) != std::towlower(static_cast<std::wint_t>(b[i])))
            return false;
    }
    return true;
}

bool startsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::wstring replaceAll(std::wstring text, wchar_t from, wchar_t to) {
    for (wchar_t& c : text) {
        if (c == from) c = to;
    }
    return text;
}

std::wstring trimSpace(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(static_cast<std::wint_t>(text[begin]))) ++begin;
    while (end > begin && std::iswspace(static_cast<std::wint_t>(text[end - 1]))) --end;
    return std::wstring(text.substr(begin, end - begin));
}

std::wstring formatMessage(std::wstring_view format, const std::vector<MessageInsert>& inserts) {
    std::wstring out;
    out.reserve(format.size() + 64);
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        wchar_t c = format[i];
        if (c != L'%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        wchar_t conversion = format[i + 1];
        if (conversion == L'%') {
            out += L'%';
            ++i;
        } else if (conversion == L's' || conversion == L'd') {
            if (next < inserts.size()) {
                const MessageInsert& insert = inserts[next];
                if (const auto* text = std::get_if<std::wstring>(&insert)) {
                    out += *text;
                } else {
                    out += decimalText(std::get<std::int32_t>(insert));
                }
            } else if (conversion == L'd') {
                out += L'0';
            }
            ++next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring unsignedDecimalText(std::uint64_t number) {
    wchar_t digits[20];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + number % 10);
        number /= 10;
    } while (number != 0);
    std::wstring text;
    text.reserve(count);
    while (count > 0) text += digits[--count];
    return text;
}

std::wstring decimalText(std::int64_t number) {
    if (number >= 0) return unsignedDecimalText(static_cast<std::uint64_t>(number));
    // The magnitude in unsigned arithmetic: -INT64_MIN does not exist.
    return L"-" + unsignedDecimalText(0 - static_cast<std::uint64_t>(number));
}

}  // namespace vexa
