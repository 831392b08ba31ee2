#include "jvm/ClassPathText.h"

#include "foundation/PathText.h"

namespace vexa {

ClassPathEntryKind ClassifyClassPathEntry(std::wstring_view entry, bool wildcards) {
    if (wildcards && entry.find(L'*') != std::wstring_view::npos) return ClassPathEntryKind::Wildcard;
    if (entry.size() < 2) return ClassPathEntryKind::Relative;
    if (entry[1] == L':') return ClassPathEntryKind::Absolute;
    if (entry[0] == L'\\' && entry[1] == L'\\') return ClassPathEntryKind::Absolute;
    return ClassPathEntryKind::Relative;
}

std::wstring ClassPathSearchPattern(std::wstring_view entry, std::wstring_view launcherFolder) {
    if (ClassifyClassPathEntry(entry, false) == ClassPathEntryKind::Absolute) return normalisePath(entry);
    std::wstring pattern(launcherFolder);
    // "\lib\app.jar" and "lib\app.jar" both lie below the launcher folder.
    if (entry.empty() || (entry[0] != L'\\' && entry[0] != L'/')) pattern += L'\\';
    pattern += entry;
    return normalisePath(pattern);
}

std::wstring_view SearchPatternFolder(std::wstring_view pattern) {
    std::size_t slash = pattern.rfind(L'\\');
    return slash == std::wstring_view::npos ? std::wstring_view() : pattern.substr(0, slash + 1);
}

std::wstring_view TrimClassPathPiece(std::wstring_view piece) {
    std::size_t begin = piece.find_first_not_of(L' ');
    if (begin == std::wstring_view::npos) return {};
    std::size_t end = piece.find_last_not_of(L' ');
    return piece.substr(begin, end - begin + 1);
}

}  // namespace vexa
