// The content of one settings file read the way the system's profile-string
// functions read it, so that a store can read the file once and answer every
// key from memory. Free of the platform API.
//
// The rules, as the profile functions apply them:
// - Bytes: UTF-16 LE after the mark FF FE, UTF-16 BE after FE FF, UTF-8
//   after EF BB BF, anything else in the ANSI code page (decoded by the
//   caller).
// - Lines end at any run of CR and LF characters (CR LF, LF, a lone CR).
// - Each line is trimmed of white space (tab, LF, VT, FF, CR, blank and
//   Ctrl-Z; not the no-break space nor other white space beyond ASCII) at
//   both ends; empty lines are skipped.
// - A line that begins with "[" and holds a "]" opens a section named by the
//   text between the "[" and the last "]", trimmed of white space; the rest
//   of the line is ignored.
// - Any other line is a key: the text before the first "=" with white space
//   trimmed at its end, and the value after it with white space trimmed at
//   its start. A line without "=" is a key without a value, which reads as
//   the empty string.
// - Section and key names are compared ignoring the case of the ASCII
//   letters only (an "E" with an accent does not match a small one); only the
//   first section of a name is searched, and the first key of a name in it is
//   the one read.
// - A value that begins and ends with the same quote character (" or ') and
//   is at least two characters long is read without those two quotes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

enum class ProfileEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

// The encoding of a settings file's bytes, and the size of its byte order
// mark (0 for ANSI).
ProfileEncoding detectProfileEncoding(std::string_view bytes, std::size_t& markSize);

// The text of UTF-16 bytes (the mark already removed); an odd last byte is
// dropped.
std::wstring decodeUtf16(std::string_view bytes, bool bigEndian);

// White space as the profile functions trim it.
bool isProfileSpace(wchar_t c);

// Section and key names as the profile functions match them.
bool profileNamesEqual(std::wstring_view a, std::wstring_view b);

class ProfileText {
public:
    struct Key {
        std::wstring name;
        std::optional<std::wstring> value;  // nothing for a line without "="
    };
    struct Section {
        std::wstring name;
        std::vector<Key> keys;
    };

    // Replaces the content with the sections of `text`. Keys before the first
    // section belong to a section with the empty name.
    void parse(std::wstring_view text);

    // The value of `key` in `section` as the profile functions return it
    // with room enough; empty when the section, key or value is missing.
    std::wstring value(std::wstring_view section, std::wstring_view key) const;

    const std::vector<Section>& sections() const { return sections_; }

private:
    std::vector<Section> sections_;
};

}  // namespace vexa
