// A jar carried behind a launcher's image: found, checked and placed again so
// that a zip reader opens the whole executable as the jar. Free of the
// platform API.
//
// A zip reader finds the end record by searching back from the end of the
// file, and the JDK's takes it without further checks only when the record's
// comment reaches the end of the file. So a jar is always placed last, with
// its offsets counted from the start of the file (as if the executable before
// it were part of the zip), and a signature appended later is covered by the
// comment.
#pragma once

#include <cstddef>
#include <optional>

#include "PeResources.h"

namespace vexa::pack {

// The jar in file[start, end), its offsets counted from `start`, its comment
// ending at `end`; none when those bytes are no jar. Offsets counted from
// the start of the file or of the jar are both read; the end record's
// comment may reach past `end` to the end of the file (a signature covered).
std::optional<Bytes> findAppendedJar(const Bytes& file, std::size_t start, std::size_t end);

// The jar file `bytes`, its offsets as they are; throws PackError with the
// reason when it is no jar this tool can carry (damaged, zip64, spanned).
Bytes checkJar(const Bytes& bytes);

// Counts the offsets of the jar at file[at, end of file) from the start of
// the file. Throws PackError when they no longer fit in 32 bits.
void placeJar(Bytes& file, std::size_t at);

// The offset of the end record in a file that ends with a jar whose comment
// ends the file.
std::size_t jarEndRecord(const Bytes& file);

// Sets the comment length of the end record at `record` to `length`.
void setJarCommentLength(Bytes& file, std::size_t record, std::size_t length);

// The settings text with "Embedded Jar=Yes" in its first [Application]
// section (or without the key when `on` is false); other lines stay.
std::wstring withEmbeddedJarKey(const std::wstring& text, bool on);

}  // namespace vexa::pack
