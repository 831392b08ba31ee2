// Settings files as the launcher reads them (once, with the profile rules).
// Input: the file's bytes; UTF-16 with a mark is decoded, anything else is
// taken as text.
#include "FuzzInput.h"
#include "config/ProfileText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t mark = 0;
    const vexa::ProfileEncoding encoding = vexa::detectProfileEncoding(bytes, mark);
    FUZZ_CHECK(mark <= size);
    std::wstring text;
    if (encoding == vexa::ProfileEncoding::Utf16Le || encoding == vexa::ProfileEncoding::Utf16Be)
        text = vexa::decodeUtf16(bytes.substr(mark), encoding == vexa::ProfileEncoding::Utf16Be);
    else
        text = fuzz::textOf(data + mark, size - mark);
    vexa::ProfileText profile;
    profile.parse(text);
    for (const auto& section : profile.sections()) {
        for (const auto& key : section.keys) {
            // A value lies within one line of the text.
            const std::wstring value = profile.value(section.name, key.name);
            FUZZ_CHECK(value.size() <= text.size());
            FUZZ_CHECK(value.find_first_of(L"\r\n") == std::wstring::npos);
        }
    }
    return 0;
}
