// What the fuzz targets share: the input bytes read as text, and a check that
// stops the run when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jvm/ModifiedUtf8.h"

namespace fuzz {

// The input as UTF-16 code units, one per wchar_t: UTF-8, with surrogates in
// their three-byte form and C0 80 or a zero byte for U+0000; a byte that
// starts no sequence is U+FFFD. So the seeds are readable text, and every code
// unit can be reached.
inline std::wstring textOf(const std::uint8_t* data, std::size_t size) {
    return vexa::decodeModifiedUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
}

// The first `count` fields of `text`, separated by U+0000, which no settings
// value or command line can hold; missing fields are empty, the last one
// takes the rest.
inline std::vector<std::wstring> fieldsOf(const std::wstring& text, std::size_t count) {
    std::vector<std::wstring> fields;
    std::size_t pos = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        std::size_t zero = text.find(L'\0', pos);
        if (zero == std::wstring::npos) {
            fields.push_back(text.substr(pos));
            pos = text.size();
        } else {
            fields.push_back(text.substr(pos, zero - pos));
            pos = zero + 1;
        }
    }
    fields.push_back(text.substr(pos));
    return fields;
}

// A copy of a text in a buffer of exactly its length: unlike a std::wstring,
// which keeps a terminator behind its last character, reading past the end of
// this one is caught by AddressSanitizer.
class ExactText {
public:
    explicit ExactText(std::wstring_view text) : size_(text.size()), units_(new wchar_t[text.size()]) {
        text.copy(units_.get(), size_);
    }
    std::wstring_view view() const { return {units_.get(), size_}; }

private:
    std::size_t size_;
    std::unique_ptr<wchar_t[]> units_;
};

inline std::size_t countOf(std::wstring_view text, wchar_t c) {
    std::size_t n = 0;
    for (wchar_t x : text) n += x == c;
    return n;
}

}  // namespace fuzz

// An invariant of the parser under test; a failure is reported as a crash so
// that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                       \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                           \
        }                                                                                           \
    } while (0)
