#include "foundation/PathText.h"

#include <vector>

#include "foundation/Text.h"

namespace vexa {
namespace {

bool isDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool hasDrive(std::wstring_view path) { return path.size() >= 2 && path[1] == L':' && isDriveLetter(path[0]); }

// Length of the root of a path with "\" separators: "\\server\share\",
// "C:\", "C:", "\" or nothing. `rooted` says whether ".." may not climb it.
std::size_t rootLength(std::wstring_view path, bool& rooted) {
    rooted = true;
    if (startsWith(path, L"\\\\")) {
        // The server and the share form the root.
        std::size_t server = path.find(L'\\', 2);
        if (server == std::wstring_view::npos) return path.size();
        std::size_t share = path.find(L'\\', server + 1);
        return share == std::wstring_view::npos ? path.size() : share + 1;
    }
    if (hasDrive(path)) {
        if (path.size() > 2 && path[2] == L'\\') return 3;
        rooted = false;  // "C:x" is relative to the drive's current folder
        return 2;
    }
    if (!path.empty() && path[0] == L'\\') return 1;
    rooted = false;
    return 0;
}

}  // namespace

std::wstring withBackslashes(std::wstring_view path) {
    std::wstring out(path);
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

bool isFullPath(std::wstring_view path) {
    if (path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/'))
        return true;
    return hasDrive(path) && path.size() > 2 && (path[2] == L'\\' || path[2] == L'/');
}

std::wstring normalisePath(std::wstring_view path) {
    std::wstring text = withBackslashes(path);
    if (startsWith(text, L"\\\\?\\") || startsWith(text, L"\\\\.\\")) return text;

    bool rooted = false;
    const std::size_t root = rootLength(text, rooted);
    std::wstring out = text.substr(0, root);

    std::vector<std::wstring_view> parts;
    std::wstring_view rest = std::wstring_view(text).substr(root);
    const bool trailing = !rest.empty() && rest.back() == L'\\';
    std::size_t pos = 0;
    while (pos <= rest.size()) {
        std::size_t end = rest.find(L'\\', pos);
        if (end == std::wstring_view::npos) end = rest.size();
        std::wstring_view part = rest.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (!parts.empty() && parts.back() != L"..") parts.pop_back();
            else if (!rooted) parts.push_back(part);
            continue;
        }
        parts.push_back(part);
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += L'\\';
        out += parts[i];
    }
    if (trailing && !parts.empty()) out += L'\\';
    if (out.empty()) out = L".";
    return out;
}

std::wstring resolveAgainstFolder(std::wstring_view path, std::wstring_view folder) {
    const std::wstring text = withBackslashes(path);
    if (isFullPath(text)) return normalisePath(text);
    std::wstring base = withBackslashes(folder);
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    if (hasDrive(text)) {
        // "D:jre": the folder itself when it lies on D:, else the root of D:.
        if (hasDrive(base) && (base[0] | 0x20) == (text[0] | 0x20)) return normalisePath(base + text.substr(2));
        return normalisePath(text.substr(0, 2) + L"\\" + text.substr(2));
    }
    if (!text.empty() && text[0] == L'\\') {
        bool rooted = false;
        std::size_t root = rootLength(base, rooted);
        std::wstring drive = base.substr(0, root);
        if (!drive.empty() && drive.back() == L'\\') drive.pop_back();
        return normalisePath(drive + text);
    }
    return normalisePath(base + text);
}

bool samePathText(std::wstring_view a, std::wstring_view b) {
    return equalsIgnoreCase(normalisePath(a), normalisePath(b));
}

std::wstring StripPathComponents(std::wstring_view text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t slash = text.rfind(L'\\');
        if (slash == std::wstring_view::npos) break;
        text = text.substr(0, slash);
    }
    return std::wstring(text);
}

}  // namespace vexa
