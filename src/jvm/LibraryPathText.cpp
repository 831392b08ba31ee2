#include "jvm/LibraryPath.h"

#include "foundation/PathText.h"

namespace vexa {
namespace {

std::wstring_view trimBlanks(std::wstring_view text) {
    std::size_t begin = text.find_first_not_of(L' ');
    if (begin == std::wstring_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(L' ') - begin + 1);
}

// `text` followed by ";" unless it is empty or already ends with one.
void appendList(std::wstring& out, std::wstring_view text) {
    out += text;
    if (!text.empty() && text.back() != L';') out += L';';
}

}  // namespace

std::wstring JavaHomeOf(std::wstring_view jvmLibraryPath) { return StripPathComponents(jvmLibraryPath, 3); }

std::wstring RuntimeBinFolderOf(std::wstring_view jvmLibraryPath) { return StripPathComponents(jvmLibraryPath, 2); }

std::wstring RuntimeLibFolderOf(std::wstring_view jvmLibraryPath) {
    std::wstring bin = RuntimeBinFolderOf(jvmLibraryPath);
    std::size_t slash = bin.rfind(L'\\');
    bin.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return bin + L"lib";
}

std::wstring ComposeLibraryPath(std::wstring_view libraryPath, std::wstring_view launcherFolder,
                                std::wstring_view runtimeLibFolder, bool withInheritedPath) {
    std::wstring out;
    appendList(out, trimBlanks(libraryPath));
    out += launcherFolder;
    out += L";.;";
    if (withInheritedPath) out += L"%Path%;";
    out += runtimeLibFolder;
    return out;
}

std::wstring ComposeSystemPath(std::wstring_view systemPath, std::wstring_view runtimeBinFolder,
                               bool withInheritedPath) {
    std::wstring out;
    appendList(out, trimBlanks(systemPath));
    if (withInheritedPath) out += L"%Path%;";
    out += runtimeBinFolder;
    return out;
}

std::wstring FitSystemPath(std::wstring_view front, std::wstring_view inherited, std::wstring_view runtimeBinFolder,
                          std::size_t limit) {
    std::wstring out(front);
    const std::size_t fixed = front.size() + runtimeBinFolder.size();
    std::size_t pos = 0;
    while (pos < inherited.size()) {
        std::size_t end = inherited.find(L';', pos);
        if (end == std::wstring_view::npos) end = inherited.size();
        std::wstring_view entry = inherited.substr(pos, end - pos);
        pos = end + 1;
        if (entry.empty()) continue;
        // Entries are kept from the front, as far as they fit whole.
        if (fixed + (out.size() - front.size()) + entry.size() + 1 > limit) break;
        out += entry;
        out += L';';
    }
    out += runtimeBinFolder;
    return out;
}

}  // namespace vexa
