// The "Class Path" setting: pieces, their kinds and search patterns. Input
// fields: the setting, then the launcher folder.
#include "FuzzInput.h"
#include "config/LauncherSettings.h"
#include "jvm/ClassPathText.h"

using vexa::ClassPathEntryKind;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> fields = fuzz::fieldsOf(fuzz::textOf(data, size), 2);
    const std::wstring& folder = fields[1];
    for (const std::wstring& piece : vexa::LauncherSettings::splitList(fields[0], L";")) {
        const fuzz::ExactText exactPiece(piece);
        const std::wstring_view entry = vexa::TrimClassPathPiece(exactPiece.view());
        FUZZ_CHECK(entry.empty() || (entry.front() != L' ' && entry.back() != L' '));
        FUZZ_CHECK(piece.find(entry) != std::wstring::npos);

        const fuzz::ExactText exact(entry);
        const ClassPathEntryKind kind = vexa::ClassifyClassPathEntry(exact.view());
        const ClassPathEntryKind plain = vexa::ClassifyClassPathEntry(exact.view(), false);
        const bool star = entry.find(L'*') != std::wstring_view::npos;
        FUZZ_CHECK((kind == ClassPathEntryKind::Wildcard) == star);
        FUZZ_CHECK(plain != ClassPathEntryKind::Wildcard);
        if (!star) FUZZ_CHECK(kind == plain);
        const bool absolute = entry.size() >= 2 && (entry[1] == L':' || (entry[0] == L'\\' && entry[1] == L'\\'));
        FUZZ_CHECK((plain == ClassPathEntryKind::Absolute) == absolute);

        const std::wstring pattern = vexa::ClassPathSearchPattern(exact.view(), folder);
        // Written plainly: "/" is "\", and a full path on a drive keeps no
        // "." or ".." folder.
        const bool onDrive = pattern.size() >= 3 && pattern[1] == L':' && pattern[2] == L'\\';
        if (onDrive) {
            FUZZ_CHECK(pattern.find(L'/') == std::wstring::npos);
            FUZZ_CHECK(pattern.find(L"\\.\\") == std::wstring::npos && pattern.find(L"\\..\\") == std::wstring::npos);
        }
        // An entry that names no folder above it lies below the launcher
        // folder: a class path entry never escapes it by accident.
        const bool climbs = entry.find(L"..") != std::wstring_view::npos;
        if (!absolute && !climbs && folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\' &&
            folder.find_first_of(L"./") == std::wstring::npos &&
            folder.find(L"\\\\") == std::wstring::npos && !folder.empty() && folder.back() != L'\\')
            FUZZ_CHECK(pattern.rfind(folder, 0) == 0);
        const fuzz::ExactText exactPattern(pattern);
        const std::wstring_view prefix = vexa::SearchPatternFolder(exactPattern.view());
        FUZZ_CHECK(pattern.compare(0, prefix.size(), prefix) == 0);
        FUZZ_CHECK(prefix.empty() ? pattern.find(L'\\') == std::wstring::npos : prefix.back() == L'\\');
        FUZZ_CHECK(pattern.find(L'\\', prefix.size()) == std::wstring::npos);
    }
    return 0;
}
