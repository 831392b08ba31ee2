// Image headers read before a splash image is decoded: any file, however
// damaged, gives a size or nothing, and no read goes outside the file.
#include <cstring>

#include "FuzzInput.h"
#include "splash/ImageHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t reads = 0;
    const vexa::ReadAt read = [&](std::uint64_t offset, void* buffer, std::size_t wanted) -> std::size_t {
        ++reads;
        if (offset >= size) return 0;
        const std::size_t count = std::min<std::uint64_t>(wanted, size - offset);
        std::memcpy(buffer, data + offset, count);
        return count;
    };
    const auto dimensions = vexa::readImageDimensions(read);
    // A few reads per JPEG segment or TIFF entry: never a loop over the file.
    FUZZ_CHECK(reads <= 4 + size);
    (void)dimensions;  // a damaged header may state any size, zero included: the decoder decides
    return 0;
}
