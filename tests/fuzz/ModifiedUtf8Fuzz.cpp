// Text that the JVM hands out as modified UTF-8 bytes.
#include "FuzzInput.h"

namespace {

// The modified UTF-8 form of UTF-16 code units: U+0000 as C0 80, every other
// unit in one to three bytes, surrogates one by one.
std::string encoded(const std::wstring& units) {
    std::string bytes;
    for (wchar_t c : units) {
        const auto u = static_cast<std::uint32_t>(c);
        if (u != 0 && u < 0x80) {
            bytes += static_cast<char>(u);
        } else if (u < 0x800) {
            bytes += static_cast<char>(0xC0 | (u >> 6));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (u >> 12));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that a read past the end is caught.
    std::unique_ptr<char[]> bytes(new char[size]);
    std::copy(data, data + size, bytes.get());
    const std::wstring units = vexa::decodeModifiedUtf8(std::string_view(bytes.get(), size));
    FUZZ_CHECK(units.size() <= size);
    for (wchar_t c : units) FUZZ_CHECK(static_cast<std::uint32_t>(c) <= 0xFFFF);
    // Written again, the code units read back as themselves.
    FUZZ_CHECK(vexa::decodeModifiedUtf8(encoded(units)) == units);
    return 0;
}
