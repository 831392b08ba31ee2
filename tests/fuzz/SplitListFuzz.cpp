// List splitting: "Preferred versions", the class path and settings lines.
// Input fields: the text, then the separator.
#include "FuzzInput.h"
#include "config/LauncherSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> fields = fuzz::fieldsOf(fuzz::textOf(data, size), 2);
    const std::wstring& text = fields[0];
    for (const std::wstring& separator : {fields[1], std::wstring(L";"), std::wstring(L"\r\n")}) {
        const std::vector<std::wstring> pieces = vexa::LauncherSettings::splitList(text, separator);
        FUZZ_CHECK(text.empty() == pieces.empty());
        if (separator.empty()) {
            FUZZ_CHECK(pieces.size() <= 1);
            continue;
        }
        // Joined again, the pieces give the text, less a separator at its end.
        std::wstring joined;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            FUZZ_CHECK(pieces[i].find(separator) == std::wstring::npos);
            if (i > 0) joined += separator;
            joined += pieces[i];
        }
        FUZZ_CHECK(joined == text || joined + separator == text);
    }
    return 0;
}
