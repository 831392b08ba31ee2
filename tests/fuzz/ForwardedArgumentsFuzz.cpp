// The block a second start writes for the running copy: whatever another
// process puts there is decoded without a read outside it, and a block that
// decodes is the encoding of what it decoded to.
#include "FuzzInput.h"
#include "launcher/ForwardedArguments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[size]);
    std::copy(data, data + size, block.get());
    const auto arguments = vexa::decodeForwardedArguments(block.get(), size);
    if (arguments) {
        const auto again = vexa::encodeForwardedArguments(*arguments);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(again->size() <= size);
        FUZZ_CHECK(std::equal(again->begin(), again->end(), data));
    }
    // Any list of texts goes through whole.
    const std::vector<std::wstring> texts = fuzz::fieldsOf(fuzz::textOf(data, size), 4);
    const auto encoded = vexa::encodeForwardedArguments(texts);
    FUZZ_CHECK(encoded.has_value());
    const auto decoded = vexa::decodeForwardedArguments(encoded->data(), encoded->size());
    FUZZ_CHECK(decoded.has_value() && *decoded == texts);
    return 0;
}
