// Writes one value into the bytes of a settings file, the counterpart of
// ProfileText: the result reads back through ProfileText (and the system's
// profile functions) with the new value, and every other byte stays as it
// was. Free of the platform API.
//
// - A file without bytes becomes UTF-16 LE with its byte order mark and CR LF
//   line ends, which the profile functions of every Windows version read.
// - An existing file keeps its encoding (its mark, or none for the ANSI code
//   page), its other sections and keys byte for byte, and its line ends: the
//   changed or added line takes the end of the file's first line (CR LF when
//   it has none).
// - The first section of the name and its first key of the name are the ones
//   changed, as they are the ones read; a missing key is added after the last
//   key of that section, a missing section at the end of the file.
// - A value that the file's encoding cannot hold, or that holds a line break
//   or a zero character, is refused: nothing is written rather than a value
//   that reads back different.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vexa {

// The ANSI code page of the system, for files without a mark. `decode` gives
// the text of bytes; `encode` gives the bytes of a text, or nothing when a
// character has no exact form in the code page.
struct AnsiCodePage {
    std::function<std::wstring(std::string_view)> decode;
    std::function<std::optional<std::string>(std::wstring_view)> encode;
};

enum class ProfileWriteError { None, ValueNotRepresentable, ValueHasLineBreak, NameInvalid };

struct ProfileWrite {
    std::string bytes;  // the new content, when error is None
    ProfileWriteError error = ProfileWriteError::None;
};

// The content of a settings file whose bytes are `bytes` after setting `key`
// in `section` to `value`.
ProfileWrite writeProfileValue(std::string_view bytes, std::wstring_view section, std::wstring_view key,
                               std::wstring_view value, const AnsiCodePage& ansi);

// UTF-8 without a mark, for text that is valid UTF-16 (a lone surrogate
// gives nothing, or U+FFFD with `replaceLone`); and the text of UTF-8 bytes,
// U+FFFD for a broken sequence.
std::optional<std::string> encodeUtf8(std::wstring_view text, bool replaceLone = false);
std::wstring decodeUtf8(std::string_view bytes);

}  // namespace vexa
