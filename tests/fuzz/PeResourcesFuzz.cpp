// vexa-pack's image reader and writer: any file is refused with a message or
// read; an image it reads and rewrites reads back with the same resources and
// jar, and rewriting that again changes nothing.
#include <optional>

#include "FuzzInput.h"
#include "PeResources.h"

using vexa::pack::Bytes;
using vexa::pack::PackError;
using vexa::pack::PeImage;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes built;
    std::optional<PeImage> image;
    try {
        image.emplace(Bytes(data, data + size));
        built = image->build();
    } catch (const PackError&) {
        return 0;  // refused: a signed, damaged or crafted file
    }
    FUZZ_CHECK(built.size() >= image->jar().size());
    try {
        PeImage again{Bytes(built)};
        FUZZ_CHECK(again.resources() == image->resources());
        FUZZ_CHECK(again.jar() == image->jar());
        FUZZ_CHECK(again.build() == built);
    } catch (const PackError& e) {
        std::fprintf(stderr, "the rewritten image is refused: %s\n", e.what());
        FUZZ_CHECK(false);
    }
    return 0;
}
