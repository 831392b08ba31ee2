#include "PeResources.h"

#include <algorithm>
#include <cstring>

#include "LittleEndian.h"
#include "Zip.h"

namespace vexa::pack {
namespace {

std::uint32_t alignUp(std::uint32_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}
std::uint64_t alignUp64(std::uint64_t value, std::uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

constexpr std::uint32_t kSubdirectory = 0x80000000u;
constexpr std::uint32_t kNamed = 0x80000000u;
constexpr std::size_t kDirectoryHeader = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kSecurityDirectory = 4;
constexpr std::uint32_t kRelocationDirectory = 5;
constexpr std::uint32_t kInitialisedData = 0x40;
constexpr std::uint32_t kMaxDirectories = 16;

struct Reader {
    const std::uint8_t* base;
    std::size_t size;
    std::uint32_t rva;

    void need(std::size_t offset, std::size_t length) const {
        if (offset > size || length > size - offset) throw PackError("the resource section is damaged");
    }
    ResourceKey key(std::uint32_t field) const {
        if (!(field & kNamed)) return ResourceKey::number(static_cast<std::uint16_t>(field));
        const std::size_t at = field & ~kNamed;
        need(at, 2);
        const std::size_t length = get16(base + at);
        need(at + 2, length * 2);
        std::u16string name;
        for (std::size_t i = 0; i < length; ++i) name += static_cast<char16_t>(get16(base + at + 2 + 2 * i));
        return ResourceKey::text(std::move(name));
    }
    // The entries of the directory at `offset`: key and the raw offset field.
    std::vector<std::pair<ResourceKey, std::uint32_t>> entries(std::size_t offset) const {
        need(offset, kDirectoryHeader);
        const std::size_t count = std::size_t{get16(base + offset + 12)} + get16(base + offset + 14);
        need(offset + kDirectoryHeader, count * kEntrySize);
        std::vector<std::pair<ResourceKey, std::uint32_t>> out;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = base + offset + kDirectoryHeader + i * kEntrySize;
            out.emplace_back(key(get32(e)), get32(e + 4));
        }
        return out;
    }
    std::size_t directory(std::uint32_t field) const {
        if (!(field & kSubdirectory)) throw PackError("the resource section is damaged");
        return field & ~kSubdirectory;
    }
    ResourceData data(std::uint32_t field) const {
        if (field & kSubdirectory) throw PackError("the resource section is damaged");
        need(field, kDataEntrySize);
        const std::uint32_t dataRva = get32(base + field);
        const std::uint32_t length = get32(base + field + 4);
        if (dataRva < rva) throw PackError("a resource lies outside the resource section");
        need(dataRva - rva, length);
        ResourceData d;
        d.bytes.assign(base + (dataRva - rva), base + (dataRva - rva) + length);
        d.codePage = get32(base + field + 8);
        return d;
    }
};

}  // namespace

ResourceTree parseResources(const std::uint8_t* section, std::size_t size, std::uint32_t sectionRva) {
    Reader r{section, size, sectionRva};
    ResourceTree tree;
    // Exactly three levels (type, name, language), so a damaged section that
    // points back at itself cannot loop; a bounded number of resources, and
    // no more data than the section holds, so that directories or data shared
    // many times over cannot make a small file fill the memory.
    std::size_t leaves = 0;  // names and languages read
    std::size_t bytes = 0;
    for (const auto& [type, typeField] : r.entries(0)) {
        for (const auto& [name, nameField] : r.entries(r.directory(typeField))) {
            if (++leaves > 65536) throw PackError("the resource section is damaged");
            for (const auto& [language, dataField] : r.entries(r.directory(nameField))) {
                if (language.isName || ++leaves > 65536) throw PackError("the resource section is damaged");
                ResourceData data = r.data(dataField);
                bytes += data.bytes.size();
                if (bytes > size) throw PackError("the resource section is damaged");
                tree[type][name][language.id] = std::move(data);
            }
        }
    }
    return tree;
}

Bytes serialiseResources(const ResourceTree& tree, std::uint32_t sectionRva) {
    // Layout: every directory (types, then names, then languages), the data
    // entries, the name strings, then the data, each block 8-byte aligned.
    std::size_t directories = kDirectoryHeader + tree.size() * kEntrySize;
    std::size_t dataEntries = 0;
    for (const auto& [type, names] : tree) {
        directories += kDirectoryHeader + names.size() * kEntrySize;
        for (const auto& [name, languages] : names) {
            directories += kDirectoryHeader + languages.size() * kEntrySize;
            dataEntries += languages.size();
        }
    }
    std::size_t stringsAt = directories + dataEntries * kDataEntrySize;
    std::size_t stringsSize = 0;
    auto countName = [&](const ResourceKey& k) {
        if (k.isName) stringsSize += 2 + 2 * k.name.size();
    };
    for (const auto& [type, names] : tree) {
        countName(type);
        for (const auto& [name, languages] : names) countName(name);
    }
    std::size_t dataAt = alignUp(static_cast<std::uint32_t>(stringsAt + stringsSize), 8);
    std::size_t total = dataAt;
    for (const auto& [type, names] : tree)
        for (const auto& [name, languages] : names)
            for (const auto& [language, data] : languages) total = alignUp(static_cast<std::uint32_t>(total + data.bytes.size()), 8);
    if (total > 0x7FFFFFFF) throw PackError("the resources are too large");

    Bytes out(total, 0);
    std::size_t nextDirectory = 0;
    std::size_t nextDataEntry = directories;
    std::size_t nextString = stringsAt;
    std::size_t nextData = dataAt;

    auto writeName = [&](const ResourceKey& k) -> std::uint32_t {
        if (!k.isName) return k.id;
        const std::size_t at = nextString;
        put16(&out[at], static_cast<std::uint32_t>(k.name.size()));
        for (std::size_t i = 0; i < k.name.size(); ++i) put16(&out[at + 2 + 2 * i], k.name[i]);
        nextString += 2 + 2 * k.name.size();
        return kNamed | static_cast<std::uint32_t>(at);
    };
    auto startDirectory = [&](std::size_t named, std::size_t numbered) {
        const std::size_t at = nextDirectory;
        put16(&out[at + 12], static_cast<std::uint32_t>(named));
        put16(&out[at + 14], static_cast<std::uint32_t>(numbered));
        nextDirectory += kDirectoryHeader + (named + numbered) * kEntrySize;
        return at;
    };
    auto countNamed = [](const auto& map) {
        std::size_t n = 0;
        for (const auto& entry : map) n += entry.first.isName ? 1 : 0;
        return n;
    };

    // Breadth first: the type directory, then each type's name directory,
    // then each name's language directory.
    const std::size_t root = startDirectory(countNamed(tree), tree.size() - countNamed(tree));
    std::size_t i = 0;
    std::vector<std::pair<std::size_t, const std::map<ResourceKey, std::map<std::uint16_t, ResourceData>>*>> nameDirs;
    for (const auto& [type, names] : tree) {
        std::uint8_t* e = &out[root + kDirectoryHeader + i++ * kEntrySize];
        put32(e, writeName(type));
        const std::size_t at = startDirectory(countNamed(names), names.size() - countNamed(names));
        put32(e + 4, kSubdirectory | static_cast<std::uint32_t>(at));
        nameDirs.emplace_back(at, &names);
    }
    std::vector<std::pair<std::size_t, const std::map<std::uint16_t, ResourceData>*>> languageDirs;
    for (const auto& [at, names] : nameDirs) {
        std::size_t j = 0;
        for (const auto& [name, languages] : *names) {
            std::uint8_t* e = &out[at + kDirectoryHeader + j++ * kEntrySize];
            put32(e, writeName(name));
            const std::size_t dir = startDirectory(0, languages.size());
            put32(e + 4, kSubdirectory | static_cast<std::uint32_t>(dir));
            languageDirs.emplace_back(dir, &languages);
        }
    }
    for (const auto& [at, languages] : languageDirs) {
        std::size_t j = 0;
        for (const auto& [language, data] : *languages) {
            std::uint8_t* e = &out[at + kDirectoryHeader + j++ * kEntrySize];
            put32(e, language);
            put32(e + 4, static_cast<std::uint32_t>(nextDataEntry));
            put32(&out[nextDataEntry], sectionRva + static_cast<std::uint32_t>(nextData));
            put32(&out[nextDataEntry + 4], static_cast<std::uint32_t>(data.bytes.size()));
            put32(&out[nextDataEntry + 8], data.codePage);
            nextDataEntry += kDataEntrySize;
            if (!data.bytes.empty()) std::memcpy(&out[nextData], data.bytes.data(), data.bytes.size());
            nextData = alignUp(static_cast<std::uint32_t>(nextData + data.bytes.size()), 8);
        }
    }
    return out;
}

PeImage::PeImage(Bytes file) : file_(std::move(file)) {
    const std::size_t size = file_.size();
    auto need = [&](std::size_t offset, std::size_t length) {
        if (offset > size || length > size - offset) throw PackError("it is not a Windows executable (cut short)");
    };
    need(0, 64);
    if (file_[0] != 'M' || file_[1] != 'Z') throw PackError("it is not a Windows executable");
    const std::size_t pe = get32(&file_[0x3C]);
    need(pe, 24);
    if (std::memcmp(&file_[pe], "PE\0\0", 4) != 0) throw PackError("it is not a Windows executable");
    machine_ = get16(&file_[pe + 4]);
    const std::size_t sectionCount = get16(&file_[pe + 6]);
    const std::size_t optionalSize = get16(&file_[pe + 20]);
    optionalHeader_ = pe + 24;
    need(optionalHeader_, optionalSize);
    need(optionalHeader_, 2);
    const std::uint16_t magic = get16(&file_[optionalHeader_]);
    if (magic != 0x10B && magic != 0x20B) throw PackError("it is not a Windows executable");
    pe32Plus_ = magic == 0x20B;
    const std::size_t directoriesField = pe32Plus_ ? 108 : 92;
    if (optionalSize < directoriesField + 4) throw PackError("it is not a Windows executable");
    sectionAlignment_ = get32(&file_[optionalHeader_ + 32]);
    fileAlignment_ = get32(&file_[optionalHeader_ + 36]);
    const std::size_t headersSize = get32(&file_[optionalHeader_ + 60]);  // SizeOfHeaders
    directoryCount_ = get32(&file_[directoriesField + optionalHeader_]);
    dataDirectories_ = optionalHeader_ + directoriesField + 4;
    // A loader reads at most 16 directories; more is a damaged or crafted
    // header, and the count must not make the sizes below wrap.
    if (directoryCount_ > kMaxDirectories)
        throw PackError("its headers are damaged: " + std::to_string(directoryCount_) +
                        " data directories, more than the 16 there are");
    if (directoryCount_ <= kRelocationDirectory ||
        dataDirectories_ + std::size_t{directoryCount_} * 8 > optionalHeader_ + optionalSize)
        throw PackError("it is not a Windows executable");
    // A file alignment is a power of two up to 64 KiB (the section is padded
    // to it).
    if (fileAlignment_ == 0 || fileAlignment_ > 0x10000 || sectionAlignment_ == 0 ||
        (fileAlignment_ & (fileAlignment_ - 1)) || (sectionAlignment_ & (sectionAlignment_ - 1)))
        throw PackError("its headers are damaged");

    // Every section lies behind the headers, in the file and in memory, and
    // no two share a byte: the rewritten image is built from these ranges.
    const std::size_t sectionTable = optionalHeader_ + optionalSize;
    need(sectionTable, sectionCount * 40);
    if (sectionCount == 0 || headersSize < sectionTable + sectionCount * 40 || headersSize > size)
        throw PackError("its headers are damaged");
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* h = &file_[sectionTable + i * 40];
        Section s;
        s.header = sectionTable + i * 40;
        s.virtualSize = get32(h + 8);
        s.virtualAddress = get32(h + 12);
        s.rawSize = get32(h + 16);
        s.rawPointer = get32(h + 20);
        s.characteristics = get32(h + 36);
        need(s.rawPointer, s.rawSize);
        auto memorySize = [](const Section& x) -> std::uint64_t { return x.virtualSize ? x.virtualSize : x.rawSize; };
        if ((s.rawSize && s.rawPointer < headersSize) || s.virtualAddress < headersSize ||
            std::uint64_t{s.virtualAddress} + memorySize(s) > 0xFFFFFFFFu)
            throw PackError("section " + std::to_string(i + 1) + " overlaps the headers");
        for (std::size_t k = 0; k < sections_.size(); ++k) {
            const Section& o = sections_[k];
            const bool inFile = s.rawSize && o.rawSize && s.rawPointer < o.rawPointer + o.rawSize &&
                                o.rawPointer < s.rawPointer + s.rawSize;
            const bool inMemory = std::uint64_t{s.virtualAddress} < std::uint64_t{o.virtualAddress} + memorySize(o) &&
                                  std::uint64_t{o.virtualAddress} < std::uint64_t{s.virtualAddress} + memorySize(s);
            if (inFile || inMemory)
                throw PackError("sections " + std::to_string(k + 1) + " and " + std::to_string(i + 1) + " overlap");
        }
        sections_.push_back(s);
    }

    auto directory = [&](std::uint32_t index) {
        return std::pair{get32(&file_[dataDirectories_ + index * 8]), get32(&file_[dataDirectories_ + index * 8 + 4])};
    };
    const std::uint32_t resourceRva = directory(kResourceDirectory).first;
    const std::uint32_t resourceSize = directory(kResourceDirectory).second;
    if (resourceRva == 0) throw PackError("it has no resources");
    auto found = std::find_if(sections_.begin(), sections_.end(),
                              [&](const Section& s) { return s.virtualAddress == resourceRva; });
    if (found == sections_.end()) throw PackError("its resources do not start a section of their own");
    resourceSection_ = static_cast<std::size_t>(found - sections_.begin());

    // Only the base relocations may follow the resources, in memory and in
    // the file; behind the last section there may be a jar, then a
    // signature.
    const auto [relocRva, relocSize] = directory(kRelocationDirectory);
    std::size_t fileEnd = 0;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (s.rawSize) fileEnd = std::max<std::size_t>(fileEnd, std::size_t{s.rawPointer} + s.rawSize);
        if (i == resourceSection_) continue;
        // Whatever follows the resources in the section table is moved
        // behind them: it must be the relocations.
        const bool after = s.virtualAddress > resourceRva || (s.rawSize && s.rawPointer > found->rawPointer) ||
                           i > resourceSection_;
        if (!after) continue;
        const bool relocations = relocRva == s.virtualAddress && relocSize <= s.virtualSize;
        if (!relocations || i != sections_.size() - 1 || i != resourceSection_ + 1)
            throw PackError("sections other than the base relocations follow its resources");
    }
    fileEnd = std::max(fileEnd, headersSize);
    std::size_t appendedEnd = size;
    const auto [certificates, certificatesSize] = directory(kSecurityDirectory);
    if (certificates != 0 || certificatesSize != 0) {
        // The certificate table ends the file.
        if (certificates < fileEnd || std::size_t{certificates} + certificatesSize != size)
            throw PackError("its signature is damaged");
        signed_ = true;
        appendedEnd = certificates;
    }
    // A signing tool pads the file to eight bytes before its signature.
    const bool padding = signed_ && appendedEnd - fileEnd < 8 &&
                         std::all_of(file_.begin() + static_cast<std::ptrdiff_t>(fileEnd),
                                     file_.begin() + static_cast<std::ptrdiff_t>(appendedEnd),
                                     [](std::uint8_t b) { return b == 0; });
    if (appendedEnd > fileEnd && !padding) {
        auto jar = findAppendedJar(file_, fileEnd, appendedEnd);
        if (!jar) throw PackError("data that is not a jar is appended after its last section");
        jar_ = std::move(*jar);
    }
    file_.resize(fileEnd);  // the image alone; the jar is kept apart, the signature dropped
    const Section& rs = sections_[resourceSection_];
    resources_ = parseResources(&file_[rs.rawPointer], std::min(rs.rawSize, std::max(rs.virtualSize, resourceSize)),
                                resourceRva);
}

Bytes PeImage::build() const {
    if (signed_) throw PackError("it is signed; brand it first and sign it afterwards");
    const Section& rs = sections_[resourceSection_];
    Bytes resources = serialiseResources(resources_, rs.virtualAddress);
    const auto resourceSize = static_cast<std::uint32_t>(resources.size());
    const std::uint32_t resourceRaw = alignUp(resourceSize, fileAlignment_);

    Bytes out(file_.begin(), file_.begin() + rs.rawPointer);
    out.insert(out.end(), resources.begin(), resources.end());
    out.resize(rs.rawPointer + std::size_t{resourceRaw}, 0);
    put32(&out[rs.header + 8], resourceSize);
    put32(&out[rs.header + 16], resourceRaw);
    put32(&out[dataDirectories_ + kResourceDirectory * 8 + 4], resourceSize);

    // Addresses in 64 bits: a section placed near the top of the address
    // space must not make them wrap.
    std::uint64_t imageEnd = alignUp64(std::uint64_t{rs.virtualAddress} + resourceSize, sectionAlignment_);
    for (std::size_t i = resourceSection_ + 1; i < sections_.size(); ++i) {  // the base relocations
        const Section& s = sections_[i];
        const std::uint64_t rva = imageEnd;
        const auto raw = static_cast<std::uint32_t>(out.size());
        if (s.rawSize) out.insert(out.end(), file_.begin() + s.rawPointer, file_.begin() + s.rawPointer + s.rawSize);
        if (rva > 0xFFFFFFFFu) break;
        put32(&out[s.header + 12], static_cast<std::uint32_t>(rva));
        put32(&out[s.header + 20], s.rawSize ? raw : 0);
        const std::size_t relocField = dataDirectories_ + kRelocationDirectory * 8;
        if (get32(&out[relocField]) == s.virtualAddress) put32(&out[relocField], static_cast<std::uint32_t>(rva));
        imageEnd = alignUp64(rva + std::max(s.virtualSize, s.rawSize), sectionAlignment_);
    }
    if (imageEnd > 0xFFFFFFFFu || out.size() > 0xFFFFFFFFu) throw PackError("the image would be too large");
    put32(&out[optionalHeader_ + 56], static_cast<std::uint32_t>(imageEnd));  // SizeOfImage

    std::uint32_t initialised = 0;
    for (const Section& s : sections_) {
        if (!(s.characteristics & kInitialisedData)) continue;
        initialised += &s == &rs ? resourceRaw : s.rawSize;
    }
    put32(&out[optionalHeader_ + 8], initialised);  // SizeOfInitializedData

    if (!jar_.empty()) {
        const std::size_t at = out.size();
        out.insert(out.end(), jar_.begin(), jar_.end());
        placeJar(out, at);
    }

    // The image checksum, when the original carries one.
    const std::size_t checksumField = optionalHeader_ + 64;
    if (get32(&file_[checksumField]) != 0) {
        put32(&out[checksumField], 0);
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
            sum += get16(&out[i]);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
        if (out.size() % 2) sum += out.back();
        sum = (sum & 0xFFFF) + (sum >> 16);
        sum = (sum & 0xFFFF) + (sum >> 16);
        put32(&out[checksumField], static_cast<std::uint32_t>(sum + out.size()));
    }
    return out;
}

}  // namespace vexa::pack
