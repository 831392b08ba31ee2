// The resources of a Windows executable, read from and written back into its
// image file without the Windows API, so that a launcher can be branded on any
// build machine. Free of the platform API.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexa::pack {

using Bytes = std::vector<std::uint8_t>;

// A fault in an input file, with a message for the user.
class PackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A resource type or name: a number, or a string (stored upper-case, as
// resource compilers store names).
struct ResourceKey {
    bool isName = false;
    std::uint16_t id = 0;
    std::u16string name;

    static ResourceKey number(std::uint16_t id) { return {false, id, {}}; }
    static ResourceKey text(std::u16string name) { return {true, 0, std::move(name)}; }

    // Named entries come before numbered ones, each in ascending order: the
    // order the loader's binary search needs.
    std::strong_ordering operator<=>(const ResourceKey& other) const {
        if (isName != other.isName) return isName ? std::strong_ordering::less : std::strong_ordering::greater;
        if (isName) return name <=> other.name;
        return id <=> other.id;
    }
    bool operator==(const ResourceKey& other) const = default;
};

struct ResourceData {
    Bytes bytes;
    std::uint32_t codePage = 0;
    bool operator==(const ResourceData& other) const = default;
};

// type -> name -> language -> data
using ResourceTree = std::map<ResourceKey, std::map<ResourceKey, std::map<std::uint16_t, ResourceData>>>;

namespace resource_type {
inline constexpr std::uint16_t kIcon = 3;
inline constexpr std::uint16_t kString = 6;
inline constexpr std::uint16_t kGroupIcon = 14;
inline constexpr std::uint16_t kVersion = 16;
inline constexpr std::uint16_t kManifest = 24;
}  // namespace resource_type

// A PE image whose resource section can be replaced. The resource section
// must be the last one but for the base relocations, which are moved behind
// it. Sections lie behind the headers and apart from each other. Behind the
// last section the image may carry a jar (kept apart, and placed again behind
// the rewritten image) and then a signature; anything else appended is
// refused, as rewriting would damage it. A signed image is read but never
// rebuilt.
class PeImage {
public:
    // Throws PackError when `file` is not such an image.
    explicit PeImage(Bytes file);

    std::uint16_t machine() const { return machine_; }
    bool isSigned() const { return signed_; }
    const ResourceTree& resources() const { return resources_; }
    // The appended jar, its offsets counted from its own start; empty when
    // there is none.
    const Bytes& jar() const { return jar_; }
    void setJar(Bytes jar) { jar_ = std::move(jar); }
    ResourceTree& resources() { return resources_; }

    // The image with the current resources, every header that depends on
    // them updated, and the jar behind it. Throws PackError for a signed
    // image.
    Bytes build() const;

private:
    struct Section {
        std::size_t header = 0;  // offset of the section header in the file
        std::uint32_t virtualAddress = 0;
        std::uint32_t virtualSize = 0;
        std::uint32_t rawPointer = 0;
        std::uint32_t rawSize = 0;
        std::uint32_t characteristics = 0;
    };

    Bytes file_;
    std::uint16_t machine_ = 0;
    std::size_t optionalHeader_ = 0;
    bool pe32Plus_ = false;
    std::uint32_t fileAlignment_ = 0;
    std::uint32_t sectionAlignment_ = 0;
    std::size_t dataDirectories_ = 0;  // offset of the data directory array
    std::uint32_t directoryCount_ = 0;
    std::vector<Section> sections_;
    std::size_t resourceSection_ = 0;  // index into sections_
    bool signed_ = false;
    Bytes jar_;
    ResourceTree resources_;
};

// The resource section bytes for `tree`, placed at `sectionRva`.
Bytes serialiseResources(const ResourceTree& tree, std::uint32_t sectionRva);

// Reads a resource section of `size` bytes placed at `sectionRva`. Every
// directory, name and data block must lie inside it.
ResourceTree parseResources(const std::uint8_t* section, std::size_t size, std::uint32_t sectionRva);

}  // namespace vexa::pack
