// The date and time picture of an output file name.
#include "FuzzInput.h"
#include "jvm/DatePicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring name = fuzz::textOf(data, size);
    const fuzz::ExactText exact(name);
    const std::optional<vexa::DatePicture> parts = vexa::splitDatePicture(exact.view());
    const std::size_t percents = fuzz::countOf(name, L'%');
    FUZZ_CHECK(parts.has_value() == (percents > 0));
    if (!parts) return 0;

    // The pieces and the percent signs between them make up the name.
    FUZZ_CHECK(parts->before.find(L'%') == std::wstring::npos && parts->after.find(L'%') == std::wstring::npos);
    const std::wstring joined = parts->before + L"%" + parts->picture + (percents > 1 ? L"%" : L"") + parts->after;
    FUZZ_CHECK(joined == name);

    const unsigned milliseconds = size % 1000;
    const std::wstring picture = vexa::insertMilliseconds(parts->picture, milliseconds);
    const std::size_t letters = fuzz::countOf(parts->picture, L'L');
    FUZZ_CHECK(picture.find(L'L') == std::wstring::npos);
    FUZZ_CHECK(picture.size() == parts->picture.size() - letters + letters * std::to_wstring(milliseconds).size());
    return 0;
}
