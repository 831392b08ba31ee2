// Environment references (%NAME%) in settings values.
#include "FuzzInput.h"
#include "jvm/ExpandEnvironment.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::textOf(data, size);
    const std::size_t percents = fuzz::countOf(text, L'%');
    std::size_t lookups = 0;

    // Unknown names leave the text as written.
    const auto none = [&](const std::wstring& name) -> std::optional<std::wstring> {
        FUZZ_CHECK(!name.empty() && name.find(L'%') == std::wstring::npos);
        ++lookups;
        return std::nullopt;
    };
    FUZZ_CHECK(vexa::ExpandReferences(text, none) == text);
    FUZZ_CHECK(lookups <= percents / 2);

    // A name that stands for its own reference changes nothing either.
    const auto itself = [](const std::wstring& name) -> std::optional<std::wstring> { return L"%" + name + L"%"; };
    FUZZ_CHECK(vexa::ExpandReferences(text, itself) == text);

    // Values are put in as they are, never read again for references, so an
    // expansion cannot loop or grow past one value per reference.
    const std::wstring value = L"%" + text + L"%";
    const auto every = [&](const std::wstring&) -> std::optional<std::wstring> { return value; };
    const std::wstring expanded = vexa::ExpandReferences(text, every);
    FUZZ_CHECK(expanded.size() <= text.size() + (percents / 2) * value.size());
    const auto empty = [](const std::wstring&) -> std::optional<std::wstring> { return std::wstring(); };
    FUZZ_CHECK(vexa::ExpandReferences(text, empty).size() <= text.size());
    return 0;
}
