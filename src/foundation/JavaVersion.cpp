#include "foundation/JavaVersion.h"

#include <cstdint>

#include "foundation/Text.h"

namespace vexa {
namespace {

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

size_t nextDigit(const std::wstring& text, size_t from) {
    while (from < text.size() && !isDigit(text[from])) ++from;
    return from;
}

}  // namespace

bool JavaVersion::parse(const std::wstring& text, std::int32_t fill) {
    components = {0, 0, 0, 0};
    groupCount = 0;
    size_t pos = nextDigit(text, 0);
    if (pos == text.size()) return false;

    std::int32_t groups = 0;
    for (;;) {
        std::int32_t value = 0;
        for (; pos < text.size() && isDigit(text[pos]); ++pos) {
            const std::int32_t digit = text[pos] - L'0';
            // A group that does not fit a signed 32-bit value spoils the
            // whole version rather than wrapping into a wrong one.
            if (value > 214748364 || (value == 214748364 && digit > 7)) {
                components = {0, 0, 0, 0};
                return false;
            }
            value = value * 10 + digit;
        }
        components[static_cast<size_t>(groups)] = value;
        ++groups;
        pos = nextDigit(text, pos);
        if (pos == text.size()) break;
        if (groups == 4) {
            ++groups;  // more than four groups: counted, not read
            break;
        }
    }
    groupCount = groups;
    for (std::int32_t i = groups; i < 4; ++i) components[static_cast<size_t>(i)] = fill;
    return true;
}

int JavaVersion::compare(const JavaVersion& a, const JavaVersion& b) {
    for (size_t i = 0; i < 4; ++i) {
        if (a.components[i] < b.components[i]) return -1;
        if (a.components[i] > b.components[i]) return 1;
    }
    return 0;
}

std::wstring JavaVersion::toText() const {
    int last = -1;
    for (int i = 3; i >= 0; --i) {
        std::int32_t c = components[static_cast<size_t>(i)];
        if (c != 0 && c != 65535) {
            last = i;
            break;
        }
    }
    if (last < 0) return L"0.0.0.0";
    if (last < 1) last = 1;
    std::wstring text;
    for (int i = 0; i <= last; ++i) {
        if (i > 0) text += L'.';
        text += decimalText(components[static_cast<size_t>(i)]);
    }
    return text;
}

bool JavaVersion::isOpenBound() const {
    const std::int32_t first = components[0];
    if (first != 0 && first != 65535) return false;
    for (std::int32_t c : components) {
        if (c != first) return false;
    }
    return true;
}

bool JavaVersion::matchesPreferred(const JavaVersion& candidate, const JavaVersion& preferred) {
    size_t significant = 4;
    while (significant > 0 && preferred.components[significant - 1] == 0) --significant;
    for (size_t i = 0; i < significant; ++i) {
        if (candidate.components[i] != preferred.components[i]) return false;
    }
    return true;
}

}  // namespace vexa
