// Heap and stack sizes given as a share of the machine's memory, and the
// stack size of an "-Xss" option. Free of the platform API: the memory
// figures come in as values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// The numbers of a size text such as "50:256:1024P".
struct SizeNumbers {
    // Index of the first decimal digit or ":"; the text's length when there is none.
    std::size_t start = 0;
    // One number per ":"-separated field from `start` on; empty when `start`
    // is the length. Numbers too large for 64 bits stay at the largest value.
    std::vector<std::uint64_t> numbers;
};

// Reads the numbers from `start` up to, but not including, the last
// character, which is the unit letter. Characters other than digits and ":"
// are skipped.
SizeNumbers ParseSizeNumbers(std::wstring_view text);

// The memory a percentage refers to, in bytes.
struct MemoryFigures {
    std::uint64_t totalPhysical = 0;    // "P", "p": the machine's physical memory
    std::uint64_t availableVirtual = 0; // "T", "t": the process's free address space
};

// "-Xms", "-Xmx" or "-Xss" (exact case) ending in "P", "p", "T" or "t".
bool IsMemoryPercentageForm(std::wstring_view token);

// Rewrites a percentage form such as "-Xmx50:256:1024P" (50 % of physical
// memory, at least 256 MiB, at most 1024 MiB) in place to a size in KiB such
// as "-Xmx1048576K". The size is written as its true value, however large.
void ApplyMemoryPercentage(std::wstring& token, const MemoryFigures& memory);

// The stack size in bytes that an "-Xss" token asks for: one number, then an
// optional unit letter "K", "M" or "G" (any case; another letter counts as
// bytes); a value that ends in a digit is a size in bytes. 0 when the value
// has another shape. std::nullopt when the token is not an "-Xss" token.
std::optional<std::uint64_t> StackSizeOfOption(std::wstring_view token);

}  // namespace vexa
