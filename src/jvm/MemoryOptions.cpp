#include "jvm/MemoryOptions.h"

#include <limits>

#include "foundation/Text.h"

namespace vexa {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// a * b, held at the largest value instead of wrapping round.
std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > kMax / a) return kMax;
    return a * b;
}

// The numbers of `text` between the first digit or ":" and `end`.
SizeNumbers parseNumbers(std::wstring_view text, std::size_t end) {
    SizeNumbers result;
    result.start = text.size();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isDigit(text[i]) || text[i] == L':') {
            result.start = i;
            break;
        }
    }
    if (result.start == text.size()) return result;
    result.numbers.push_back(0);
    for (std::size_t i = result.start; i < end; ++i) {
        wchar_t c = text[i];
        if (c == L':') {
            result.numbers.push_back(0);
        } else if (isDigit(c)) {
            std::uint64_t& n = result.numbers.back();
            std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
            n = (n > (kMax - digit) / 10) ? kMax : n * 10 + digit;
        }
    }
    return result;
}

std::uint64_t numberAt(const std::vector<std::uint64_t>& numbers, std::size_t index) {
    return index < numbers.size() ? numbers[index] : 0;
}

}  // namespace

SizeNumbers ParseSizeNumbers(std::wstring_view text) {
    return parseNumbers(text, text.empty() ? 0 : text.size() - 1);
}

bool IsMemoryPercentageForm(std::wstring_view token) {
    if (token.size() < 4) return false;
    std::wstring_view prefix = token.substr(0, 4);
    if (prefix != L"-Xms" && prefix != L"-Xmx" && prefix != L"-Xss") return false;
    wchar_t unit = token.back();
    return unit == L'P' || unit == L'p' || unit == L'T' || unit == L't';
}

void ApplyMemoryPercentage(std::wstring& token, const MemoryFigures& memory) {
    if (token.empty()) return;
    SizeNumbers parsed = ParseSizeNumbers(token);
    const std::uint64_t percentage = numberAt(parsed.numbers, 0);
    const std::uint64_t minimumMiB = numberAt(parsed.numbers, 1);
    const std::uint64_t maximumMiB = numberAt(parsed.numbers, 2);

    wchar_t unit = token.back();
    std::uint64_t base = (unit == L'T' || unit == L't') ? memory.availableVirtual : memory.totalPhysical;
    double kib = static_cast<double>(base >> 10) * (static_cast<double>(percentage) / 100.0);
    // 2^64 as a double; anything at or above it does not fit the result.
    constexpr double kLimit = 18446744073709551616.0;
    std::uint64_t size = kib >= kLimit ? kMax : static_cast<std::uint64_t>(kib);

    if (maximumMiB != 0 && size > saturatingMultiply(maximumMiB, 1024)) size = saturatingMultiply(maximumMiB, 1024);
    if (size < saturatingMultiply(minimumMiB, 1024)) size = saturatingMultiply(minimumMiB, 1024);

    token = token.substr(0, parsed.start) + unsignedDecimalText(size) + L"K";
}

std::optional<std::uint64_t> StackSizeOfOption(std::wstring_view token) {
    if (token.substr(0, 4) != L"-Xss") return std::nullopt;
    std::wstring_view value = token.substr(4);
    if (value.empty()) return 0;
    wchar_t unit = value.back();
    // A value that ends in a digit has no unit letter: every digit counts.
    SizeNumbers parsed = isDigit(unit) ? parseNumbers(value, value.size()) : ParseSizeNumbers(value);
    if (parsed.start != 0 || parsed.numbers.size() != 1) return 0;
    std::uint64_t factor = 1;
    switch (unit) {
        case L'G': case L'g': factor = std::uint64_t{1} << 30; break;
        case L'M': case L'm': factor = std::uint64_t{1} << 20; break;
        case L'K': case L'k': factor = 1024; break;
        default: break;
    }
    return saturatingMultiply(parsed.numbers[0], factor);
}

}  // namespace vexa
