// Heap and stack sizes: percentage forms and "-Xss" values. Input fields: the
// token, then the physical memory and the free address space in bytes.
#include <limits>

#include "FuzzInput.h"
#include "jvm/MemoryOptions.h"

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// The digits of `text` as a number, held at the largest value.
std::uint64_t numberIn(const std::wstring& text) {
    std::uint64_t n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') continue;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
        n = n > (kMax - digit) / 10 ? kMax : n * 10 + digit;
    }
    return n;
}

std::uint64_t kibOfMiB(std::uint64_t mib) { return mib > kMax / 1024 ? kMax : mib * 1024; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> fields = fuzz::fieldsOf(fuzz::textOf(data, size), 3);
    const std::wstring& token = fields[0];
    const vexa::MemoryFigures memory{numberIn(fields[1]), numberIn(fields[2])};

    const fuzz::ExactText exact(token);
    const vexa::SizeNumbers parsed = vexa::ParseSizeNumbers(exact.view());
    FUZZ_CHECK(parsed.start <= token.size());
    FUZZ_CHECK(parsed.numbers.empty() == (parsed.start == token.size()));
    if (!parsed.numbers.empty()) {
        const std::wstring_view read = exact.view().substr(parsed.start, token.size() - 1 - parsed.start);
        FUZZ_CHECK(parsed.numbers.size() == 1 + fuzz::countOf(read, L':'));
    }

    std::wstring option = token;
    if (vexa::IsMemoryPercentageForm(exact.view())) {
        vexa::ApplyMemoryPercentage(option, memory);
        // The prefix stays; a size in KiB, written in decimal, follows.
        FUZZ_CHECK(option.compare(0, parsed.start, token, 0, parsed.start) == 0);
        FUZZ_CHECK(option.size() >= parsed.start + 2 && option.back() == L'K');
        std::uint64_t kib = 0;
        for (std::size_t i = parsed.start; i + 1 < option.size(); ++i) {
            FUZZ_CHECK(option[i] >= L'0' && option[i] <= L'9');
            const std::uint64_t digit = static_cast<std::uint64_t>(option[i] - L'0');
            FUZZ_CHECK(kib <= (kMax - digit) / 10);
            kib = kib * 10 + digit;
        }
        const auto at = [&](std::size_t i) { return i < parsed.numbers.size() ? parsed.numbers[i] : 0; };
        const std::uint64_t minimum = kibOfMiB(at(1));
        const std::uint64_t maximum = kibOfMiB(at(2));
        FUZZ_CHECK(kib >= minimum);
        if (at(2) != 0 && maximum >= minimum) FUZZ_CHECK(kib <= maximum);
        const wchar_t unit = token.back();
        const std::uint64_t base = (unit == L'T' || unit == L't') ? memory.availableVirtual : memory.totalPhysical;
        // At most the whole base, give or take the rounding of a double.
        if (at(0) <= 100 && kib > minimum)
            FUZZ_CHECK(static_cast<double>(kib) <= static_cast<double>(base >> 10) * (1 + 1e-15));
    }

    const std::optional<std::uint64_t> stack = vexa::StackSizeOfOption(option);
    FUZZ_CHECK(stack.has_value() == (option.compare(0, 4, L"-Xss") == 0));

    // A plain "-Xss" value reads back as written.
    const std::uint64_t n = numberIn(fields[1]);
    static const wchar_t* const kUnits[] = {L"", L"k", L"K", L"m", L"M", L"g", L"G"};
    static const std::uint64_t kFactors[] = {1, 1024, 1024, 1 << 20, 1 << 20, 1 << 30, 1 << 30};
    const std::size_t unit = token.size() % 7;
    const std::optional<std::uint64_t> plain = vexa::StackSizeOfOption(L"-Xss" + std::to_wstring(n) + kUnits[unit]);
    FUZZ_CHECK(plain && *plain == (n > kMax / kFactors[unit] ? kMax : n * kFactors[unit]));
    return 0;
}
