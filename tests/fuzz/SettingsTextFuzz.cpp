// The settings text of the embedded block: sections, keys and values.
#include <cwctype>
#include <set>

#include "FuzzInput.h"
#include "config/SettingsStore.h"

using vexa::EmbeddedSettings;

namespace {

bool blankAtEnds(const std::wstring& text) {
    return !text.empty() && (std::iswspace(text.front()) || std::iswspace(text.back()));
}

// The text that the sections stand for, one line each.
std::wstring written(const EmbeddedSettings& settings) {
    std::wstring text;
    for (const EmbeddedSettings::Section& section : settings.sections()) {
        text += L"[" + section.name + L"]\r\n";
        for (const auto& [key, value] : section.values) text += key + L"=" + value + L"\r\n";
    }
    return text;
}

bool sameContent(const EmbeddedSettings& a, const EmbeddedSettings& b) {
    if (a.sections().size() != b.sections().size()) return false;
    for (std::size_t i = 0; i < a.sections().size(); ++i) {
        if (a.sections()[i].name != b.sections()[i].name || a.sections()[i].values != b.sections()[i].values)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::textOf(data, size);
    EmbeddedSettings settings;
    settings.parse(text);

    std::set<std::wstring> seen;
    for (const EmbeddedSettings::Section& section : settings.sections()) {
        FUZZ_CHECK(section.name.find(L"\r\n") == std::wstring::npos);
        const bool first = seen.insert(section.name).second;
        std::set<std::wstring> keys;
        for (const auto& [key, value] : section.values) {
            FUZZ_CHECK(key.find(L'=') == std::wstring::npos && key.find(L"\r\n") == std::wstring::npos);
            FUZZ_CHECK(!blankAtEnds(key) && !blankAtEnds(value));
            // The lookup finds the first key of the first section of a name.
            if (first && keys.insert(key).second) FUZZ_CHECK(settings.find(section.name, key) == value);
        }
    }

    // Written out again, the sections read back the same.
    EmbeddedSettings again;
    again.parse(written(settings));
    FUZZ_CHECK(sameContent(settings, again));
    return 0;
}
