// The "release" file of a runtime folder and runtime folder names, read for a
// version: a version that comes out is one that the version rules accept.
#include "FuzzInput.h"
#include "jre/CommonRuntimes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<char[]> bytes(new char[size]);
    std::copy(data, data + size, bytes.get());
    if (const auto version = vexa::jre::releaseFileVersion(std::string_view(bytes.get(), size))) {
        vexa::JavaVersion again;
        FUZZ_CHECK(again.parse(version->toText(), 0));
        FUZZ_CHECK(vexa::JavaVersion::compare(again, *version) == 0);
    }
    const std::wstring name = fuzz::textOf(data, size);
    (void)vexa::jre::nameVersion(name);
    (void)vexa::jre::folderName(name);
    (void)vexa::jre::absoluteFolder(name);
    (void)vexa::jre::imageMachine(std::string_view(bytes.get(), size));
    return 0;
}
