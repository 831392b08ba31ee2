#include "config/ProfileWriter.h"

#include <cstdint>
#include <vector>

#include "config/ProfileText.h"

namespace vexa {
namespace {

// One line of the file in its own bytes: [start, contentEnd) is the line,
// [contentEnd, end) the run of CR and LF after it.
struct RawLine {
    std::size_t start, contentEnd, end;
};

class EncodedText {
public:
    EncodedText(std::string_view body, ProfileEncoding encoding, const AnsiCodePage& ansi)
        : body_(body), encoding_(encoding), ansi_(ansi) {}

    std::size_t unitSize() const { return isUtf16() ? 2 : 1; }
    bool isUtf16() const { return encoding_ == ProfileEncoding::Utf16Le || encoding_ == ProfileEncoding::Utf16Be; }

    // The code unit at byte `at`; an odd last byte of UTF-16 counts as none.
    unsigned unitAt(std::size_t at) const {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(body_[i]); };
        if (!isUtf16()) return byte(at);
        return encoding_ == ProfileEncoding::Utf16Be ? (byte(at) << 8) | byte(at + 1) : (byte(at + 1) << 8) | byte(at);
    }
    std::size_t units() const { return body_.size() / unitSize(); }

    std::vector<RawLine> lines() const {
        std::vector<RawLine> result;
        const std::size_t step = unitSize();
        const std::size_t size = units() * step;
        std::size_t at = 0;
        while (at < size) {
            RawLine line{at, at, at};
            while (at < size && unitAt(at) != '\r' && unitAt(at) != '\n') at += step;
            line.contentEnd = at;
            while (at < size && (unitAt(at) == '\r' || unitAt(at) == '\n')) at += step;
            line.end = at;
            result.push_back(line);
        }
        return result;
    }

    std::wstring text(std::size_t from, std::size_t to) const {
        const std::string_view bytes = body_.substr(from, to - from);
        switch (encoding_) {
            case ProfileEncoding::Utf16Le: return decodeUtf16(bytes, false);
            case ProfileEncoding::Utf16Be: return decodeUtf16(bytes, true);
            case ProfileEncoding::Utf8: return decodeUtf8(bytes);
            case ProfileEncoding::Ansi: break;
        }
        return ansi_.decode ? ansi_.decode(bytes) : std::wstring();
    }

    std::optional<std::string> encode(std::wstring_view text) const {
        switch (encoding_) {
            case ProfileEncoding::Utf16Le:
            case ProfileEncoding::Utf16Be: {
                std::string bytes;
                for (wchar_t c : text) {
                    const char high = static_cast<char>((c >> 8) & 0xFF), low = static_cast<char>(c & 0xFF);
                    bytes += encoding_ == ProfileEncoding::Utf16Be ? high : low;
                    bytes += encoding_ == ProfileEncoding::Utf16Be ? low : high;
                }
                return bytes;
            }
            case ProfileEncoding::Utf8: return encodeUtf8(text);
            case ProfileEncoding::Ansi: break;
        }
        if (!ansi_.encode) return std::nullopt;
        std::optional<std::string> bytes = ansi_.encode(text);
        // Only an exact round trip counts: a best-fit stand-in would read
        // back as another character.
        if (bytes && ansi_.decode && ansi_.decode(*bytes) != text) return std::nullopt;
        return bytes;
    }

private:
    std::string_view body_;
    ProfileEncoding encoding_;
    const AnsiCodePage& ansi_;
};

std::wstring_view trimmed(std::wstring_view text) {
    while (!text.empty() && isProfileSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isProfileSpace(text.back())) text.remove_suffix(1);
    return text;
}

// The section a line opens, as ProfileText reads it, or nothing.
std::optional<std::wstring_view> sectionOf(std::wstring_view line) {
    line = trimmed(line);
    if (line.empty() || line.front() != L'[') return std::nullopt;
    const std::size_t close = line.rfind(L']');
    if (close == 0 || close == std::wstring_view::npos) return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

std::wstring_view keyOf(std::wstring_view line) {
    line = trimmed(line);
    std::wstring_view name = line.substr(0, line.find(L'='));
    while (!name.empty() && isProfileSpace(name.back())) name.remove_suffix(1);
    return name;
}

// The value as written so that it reads back unchanged: in quotes when its
// own ends would be trimmed or taken as quotes.
std::wstring storedValue(std::wstring_view value) {
    const bool edgeSpace = !value.empty() && (isProfileSpace(value.front()) || isProfileSpace(value.back()));
    const bool quoted = value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front();
    if (edgeSpace || quoted) return L"\"" + std::wstring(value) + L"\"";
    return std::wstring(value);
}

bool hasBreakOrZero(std::wstring_view text) { return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos; }

}  // namespace

std::optional<std::string> encodeUtf8(std::wstring_view text, bool replaceLone) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint16_t>(text[++i]) - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            if (!replaceLone) return std::nullopt;
            c = 0xFFFD;
        }
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            bytes += static_cast<char>(0xC0 | (c >> 6));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += static_cast<char>(0xE0 | (c >> 12));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (c >> 18));
            bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return bytes;
}

std::wstring decodeUtf8(std::string_view bytes) {
    std::wstring text;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        std::uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && c >= least[length] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!valid) {
            text += L'\xFFFD';
            ++i;
            continue;
        }
        i += length;
        if (c >= 0x10000) {
            text += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<wchar_t>(c);
        }
    }
    return text;
}

ProfileWrite writeProfileValue(std::string_view bytes, std::wstring_view section, std::wstring_view key,
                               std::wstring_view value, const AnsiCodePage& ansi) {
    ProfileWrite result;
    const bool badSection = section != trimmed(section) || section.find(L']') != std::wstring_view::npos;
    const bool badKey = key.empty() || key != trimmed(key) || key.find(L'=') != std::wstring_view::npos ||
                        key.front() == L'[';
    if (badSection || badKey || hasBreakOrZero(section) || hasBreakOrZero(key)) {
        result.error = ProfileWriteError::NameInvalid;
        return result;
    }
    if (hasBreakOrZero(value)) {
        result.error = ProfileWriteError::ValueHasLineBreak;
        return result;
    }

    std::size_t markSize = 0;
    ProfileEncoding encoding = detectProfileEncoding(bytes, markSize);
    std::string mark(bytes.substr(0, markSize));
    if (bytes.empty()) {
        encoding = ProfileEncoding::Utf16Le;
        mark = "\xFF\xFE";
    }
    const std::string_view body = bytes.substr(markSize);
    const EncodedText file(body, encoding, ansi);
    const std::vector<RawLine> lines = file.lines();

    // The file's own line end: that of its first line.
    std::wstring lineEnd = L"\r\n";
    for (const RawLine& line : lines) {
        if (line.end == line.contentEnd) continue;
        const std::size_t step = file.unitSize();
        const unsigned first = file.unitAt(line.contentEnd);
        const bool pair = first == '\r' && line.end - line.contentEnd >= 2 * step && file.unitAt(line.contentEnd + step) == '\n';
        lineEnd = pair ? L"\r\n" : first == '\r' ? L"\r" : L"\n";
        break;
    }

    // Where the new text goes, what it replaces, and what it is.
    std::size_t from = body.size(), to = body.size();
    std::wstring inserted;
    std::optional<std::size_t> sectionLine;
    std::size_t lastOfSection = 0;
    bool replaced = false;
    for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
        const std::wstring text = file.text(lines[i].start, lines[i].contentEnd);
        if (trimmed(text).empty()) continue;
        if (std::optional<std::wstring_view> name = sectionOf(text)) {
            if (sectionLine) break;  // only the first section of the name is read
            if (profileNamesEqual(*name, section)) sectionLine = lastOfSection = i;
            continue;
        }
        if (!sectionLine) continue;
        lastOfSection = i;
        if (!profileNamesEqual(keyOf(text), key)) continue;
        // The key's line keeps everything up to its "=", then the new value.
        const std::size_t equals = text.find(L'=');
        std::size_t at = lines[i].start;
        if (equals != std::wstring::npos) {
            while (file.unitAt(at) != '=') at += file.unitSize();
            from = at + file.unitSize();
            inserted = storedValue(value);
        } else {
            from = lines[i].contentEnd;
            inserted = L"=" + storedValue(value);
        }
        to = lines[i].contentEnd;
        replaced = true;
    }
    if (!replaced && sectionLine) {
        from = to = lines[lastOfSection].contentEnd;
        inserted = lineEnd + std::wstring(key) + L"=" + storedValue(value);
    } else if (!replaced) {
        // After the last whole line: a stray odd byte of UTF-16 stays last.
        from = to = lines.empty() ? 0 : lines.back().end;
        const bool needsBreak = !lines.empty() && lines.back().end == lines.back().contentEnd;
        inserted = (needsBreak ? lineEnd : L"") + L"[" + std::wstring(section) + L"]" + lineEnd + std::wstring(key) + L"=" +
                   storedValue(value) + lineEnd;
    }

    std::optional<std::string> encoded = file.encode(inserted);
    if (!encoded) {
        result.error = ProfileWriteError::ValueNotRepresentable;
        return result;
    }
    result.bytes = mark;
    result.bytes.append(body.substr(0, from));
    result.bytes += *encoded;
    result.bytes.append(body.substr(to));
    return result;
}

}  // namespace vexa
