// Finding the embedded settings block among an executable's resources.
#pragma once

#include <windows.h>

#include <string>

namespace vexa {

enum class EmbeddedBlockState {
    Absent,   // the executable carries no block
    Read,     // the block was intact; its text was read
    Damaged,  // a block is there but failed its integrity check
};

// The block of the running executable.
EmbeddedBlockState readOwnEmbeddedBlock(std::wstring& text);

// The block of the executable file at `path`. `error` is set (and Absent
// returned) when the file cannot be opened as an executable.
EmbeddedBlockState readEmbeddedBlockOf(const std::wstring& path, std::wstring& text, DWORD& error);

}  // namespace vexa
