// The link colours a user keeps in the registry: the value's type, then its
// raw bytes. Input: one byte picks the type, the rest are the value's bytes.
#include "FuzzInput.h"
#include "ui/LinkColour.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint32_t type = data[0] % 8;  // REG_NONE to REG_RESOURCE_LIST, the two string types among them
    // An exact copy, so that a read past the value is caught.
    std::unique_ptr<std::uint8_t[]> value(new std::uint8_t[size - 1]);
    std::copy(data + 1, data + size, value.get());
    const std::optional<std::uint32_t> colour = vexa::parseAnchorColour(type, value.get(), size - 1);
    if (colour) {
        FUZZ_CHECK(*colour <= 0xFFFFFF);
        FUZZ_CHECK(type == 1 || type == 2);  // REG_SZ or REG_EXPAND_SZ only
        FUZZ_CHECK(size - 1 <= 24 && (size - 1) % 2 == 0);
    }
    return 0;
}
