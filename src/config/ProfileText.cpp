#include "config/ProfileText.h"

namespace vexa {
namespace {

std::wstring_view trimmed(std::wstring_view text) {
    while (!text.empty() && isProfileSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isProfileSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Names and values end at a zero character, as C strings do.
std::wstring upToZero(std::wstring_view text) { return std::wstring(text.substr(0, text.find(L'\0'))); }

}  // namespace

ProfileEncoding detectProfileEncoding(std::string_view bytes, std::size_t& markSize) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        markSize = 3;
        return ProfileEncoding::Utf8;
    }
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        markSize = 2;
        return ProfileEncoding::Utf16Le;
    }
    if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        markSize = 2;
        return ProfileEncoding::Utf16Be;
    }
    markSize = 0;
    return ProfileEncoding::Ansi;
}

std::wstring decodeUtf16(std::string_view bytes, bool bigEndian) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
}

bool isProfileSpace(wchar_t c) {
    // The C locale's white space, plus Ctrl-Z, an old end-of-file mark; a
    // no-break space or any other white space beyond ASCII stays.
    return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A;
}

bool profileNamesEqual(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i];
        wchar_t y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x + 32);
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y + 32);
        if (x != y) return false;
    }
    return true;
}

void ProfileText::parse(std::wstring_view text) {
    sections_.clear();
    sections_.push_back(Section{});  // keys before the first section
    std::size_t next = 0;
    while (next < text.size()) {
        const std::size_t start = next;
        while (next < text.size() && text[next] != L'\r' && text[next] != L'\n') ++next;
        std::wstring_view line = trimmed(text.substr(start, next - start));
        while (next < text.size() && (text[next] == L'\r' || text[next] == L'\n')) ++next;
        if (line.empty()) continue;

        if (line.front() == L'[') {
            const std::size_t close = line.rfind(L']');
            if (close != 0 && close != std::wstring_view::npos) {
                sections_.push_back(Section{upToZero(trimmed(line.substr(1, close - 1))), {}});
                continue;
            }
        }
        const std::size_t equals = line.find(L'=');
        std::wstring_view name = line.substr(0, equals);
        while (!name.empty() && isProfileSpace(name.back())) name.remove_suffix(1);
        Key key{upToZero(name), std::nullopt};
        if (equals != std::wstring_view::npos) {
            std::wstring_view value = line.substr(equals + 1);
            while (!value.empty() && isProfileSpace(value.front())) value.remove_prefix(1);
            key.value = upToZero(value);
        }
        sections_.back().keys.push_back(std::move(key));
    }
}

std::wstring ProfileText::value(std::wstring_view section, std::wstring_view key) const {
    section = trimmed(section);
    key = trimmed(key);
    for (const Section& s : sections_) {
        if (!profileNamesEqual(s.name, section)) continue;
        for (const Key& k : s.keys) {
            if (!profileNamesEqual(k.name, key)) continue;
            if (!k.value) return {};
            const std::wstring& v = *k.value;
            if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front())
                return v.substr(1, v.size() - 2);
            return v;
        }
        return {};  // only the first section of a name is searched
    }
    return {};
}

}  // namespace vexa
