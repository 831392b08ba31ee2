// Java version numbers: registry key names, bounds and preferred versions.
#include "FuzzInput.h"
#include "foundation/JavaVersion.h"

using vexa::JavaVersion;

namespace {

bool hasDigit(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c >= L'0' && c <= L'9') return true;
    }
    return false;
}

void checkParse(const std::wstring& text, std::int32_t fill, JavaVersion& v) {
    const bool ok = v.parse(text, fill);
    if (!ok) {
        FUZZ_CHECK(v.groupCount == 0);
        FUZZ_CHECK((v.components == std::array<std::int32_t, 4>{0, 0, 0, 0}));
        return;
    }
    FUZZ_CHECK(hasDigit(text));
    FUZZ_CHECK(v.groupCount >= 1 && v.groupCount <= 5);
    for (int i = 0; i < 4; ++i) {
        if (i >= v.groupCount) FUZZ_CHECK(v.components[i] == fill);
        else FUZZ_CHECK(v.components[i] >= 0);
    }
    // The text form reads back as itself.
    const std::wstring shown = v.toText();
    JavaVersion again;
    FUZZ_CHECK(again.parse(shown, fill));
    FUZZ_CHECK(again.toText() == shown);
    FUZZ_CHECK(JavaVersion::compare(v, v) == 0);
    FUZZ_CHECK(JavaVersion::matchesPreferred(v, v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> fields = fuzz::fieldsOf(fuzz::textOf(data, size), 2);
    JavaVersion a, b, upper;
    checkParse(fields[0], 0, a);
    checkParse(fields[0], 65535, upper);
    checkParse(fields[1], 0, b);
    FUZZ_CHECK(JavaVersion::compare(a, upper) <= 0);
    FUZZ_CHECK(JavaVersion::compare(a, b) == -JavaVersion::compare(b, a));
    if (JavaVersion::compare(a, b) == 0) FUZZ_CHECK(JavaVersion::matchesPreferred(a, b));
    (void)a.isOpenBound();
    return 0;
}
