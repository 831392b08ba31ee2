// Text that the JVM hands out as modified UTF-8 bytes.
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy, so that a read past the end is caught.
    std::unique_ptr<char[]> bytes(new char[size]);
    std::copy(data, data + size, bytes.get());
    const std::wstring units = vexa::decodeModifiedUtf8(std::string_view(bytes.get(), size));
    FUZZ_CHECK(units.size() <= size);
    for (wchar_t c : units) FUZZ_CHECK(static_cast<std::uint32_t>(c) <= 0xFFFF);
    // Written again by the launcher's encoder, the code units read back as themselves.
    FUZZ_CHECK(vexa::decodeModifiedUtf8(vexa::encodeModifiedUtf8(units)) == units);
    return 0;
}
