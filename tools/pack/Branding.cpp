#include "Branding.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/SettingsBlock.h"

namespace vexa::pack {
namespace {

using namespace resource_type;

constexpr std::uint16_t kBritishEnglish = 0x0809;
constexpr std::uint16_t kLauncherIcon = 1;  // IDI_VEXA

std::uint16_t get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
void add16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void add32(Bytes& out, std::uint32_t v) {
    add16(out, v & 0xFFFF);
    add16(out, v >> 16);
}
void set16(Bytes& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void pad4(Bytes& out) {
    while (out.size() % 4) out.push_back(0);
}

// The language of the launcher's own resources of a type (British English as
// built), so that replacements sit where the originals were.
std::uint16_t languageOf(const ResourceTree& resources, std::uint16_t type) {
    auto t = resources.find(ResourceKey::number(type));
    if (t == resources.end() || t->second.empty() || t->second.begin()->second.empty()) return kBritishEnglish;
    return t->second.begin()->second.begin()->first;
}

ResourceData* manifestOf(ResourceTree& resources) {
    auto t = resources.find(ResourceKey::number(kManifest));
    if (t == resources.end()) return nullptr;
    auto n = t->second.find(ResourceKey::number(1));
    if (n == t->second.end() || n->second.empty()) return nullptr;
    return &n->second.begin()->second;
}

// ---- version information ---------------------------------------------------------

struct Version {
    std::uint16_t parts[4] = {0, 0, 0, 0};
};

Version parseVersion(const std::string& text, const char* what) {
    Version v;
    std::size_t part = 0;
    std::size_t i = 0;
    if (text.empty()) throw PackError(std::string(what) + " is empty");
    while (i <= text.size()) {
        if (part == 4)
            throw PackError(std::string(what) + " \"" + text + "\" does not fit: at most four numbers, as 1.2.3.4");
        std::size_t start = i;
        std::uint32_t value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
            if (value > 65535)
                throw PackError(std::string(what) + " \"" + text + "\" does not fit: each number is at most 65535");
            ++i;
        }
        if (i == start || (i < text.size() && text[i] != '.'))
            throw PackError(std::string(what) + " \"" + text + "\" is not a version such as 1.2.3.4");
        v.parts[part++] = static_cast<std::uint16_t>(value);
        ++i;
    }
    if (!text.empty() && text.back() == '.')
        throw PackError(std::string(what) + " \"" + text + "\" is not a version such as 1.2.3.4");
    return v;
}

// The version resource is one block of at most 64 KiB that holds every text.
struct VersionTooLong : PackError {
    using PackError::PackError;
};

// A version text such as "2.1.0-SNAPSHOT": the numbers it leads with.
Version leadingVersion(const std::string& text, const char* what) {
    const std::size_t end = text.find_first_not_of("0123456789.");
    if (end == 0) throw PackError(std::string(what) + " \"" + text + "\" does not start with a version such as 1.2.3.4");
    try {
        return parseVersion(text.substr(0, end), what);
    } catch (const PackError&) {
        return parseVersion(text, what);  // the message names the whole text
    }
}

// One block of the version resource: length, value length, type, key, value,
// children.
Bytes versionBlock(const std::u16string& key, const Bytes& value, std::uint16_t valueLength, bool text,
                   const std::vector<Bytes>& children) {
    Bytes out;
    add16(out, 0);
    add16(out, valueLength);
    add16(out, text ? 1 : 0);
    for (char16_t c : key) add16(out, c);
    add16(out, 0);
    pad4(out);
    out.insert(out.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        pad4(out);
        out.insert(out.end(), child.begin(), child.end());
    }
    if (out.size() > 0xFFFF) throw VersionTooLong("the version information does not fit");
    set16(out, 0, static_cast<std::uint32_t>(out.size()));
    return out;
}

Bytes stringEntry(const std::u16string& key, const std::u16string& value) {
    Bytes bytes;
    for (char16_t c : value) add16(bytes, c);
    add16(bytes, 0);
    if (value.size() + 1 > 0x7FFF) throw VersionTooLong("the version information does not fit");
    return versionBlock(key, bytes, static_cast<std::uint16_t>(value.size() + 1), true, {});
}

std::u16string ascii(const char* text) { return std::u16string(text, text + std::strlen(text)); }

std::u16string versionText(const Version& v) {
    std::string s = std::to_string(v.parts[0]) + "." + std::to_string(v.parts[1]) + "." + std::to_string(v.parts[2]) +
                    "." + std::to_string(v.parts[3]);
    return ascii(s.c_str());
}

// A block of a version resource as read back: its key, its value bytes and
// its children.
struct VersionNode {
    std::u16string key;
    Bytes value;
    bool text = false;
    std::vector<VersionNode> children;
};

// Reads the block at data[0..size); throws PackError when it is damaged.
VersionNode readVersionNode(const std::uint8_t* data, std::size_t size, int depth) {
    if (size < 6 || depth > 4) throw PackError("its version information is damaged");
    const std::size_t length = get16(data);
    if (length < 6 || length > size) throw PackError("its version information is damaged");
    VersionNode node;
    const std::size_t valueLength = get16(data + 2);
    node.text = get16(data + 4) == 1;
    std::size_t at = 6;
    for (;;) {
        if (at + 2 > length) throw PackError("its version information is damaged");
        const char16_t c = static_cast<char16_t>(get16(data + at));
        at += 2;
        if (c == 0) break;
        node.key += c;
    }
    at = (at + 3) & ~std::size_t{3};
    const std::size_t valueBytes = node.text ? valueLength * 2 : valueLength;
    if (at + valueBytes > length) {
        if (!node.text) throw PackError("its version information is damaged");
        node.value.assign(data + std::min(at, length), data + length);  // some writers count bytes, not characters
        return node;
    }
    node.value.assign(data + at, data + at + valueBytes);
    at = (at + valueBytes + 3) & ~std::size_t{3};
    while (at + 6 <= length) {
        node.children.push_back(readVersionNode(data + at, length - at, depth + 1));
        at = (at + get16(data + at) + 3) & ~std::size_t{3};
    }
    return node;
}

std::u16string textValue(const Bytes& value) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(get16(&value[i]));
        if (c == 0) break;
        text += c;
    }
    return text;
}

}  // namespace

std::u16string utf16FromUtf8(const std::string& text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = 0;
        std::size_t n = 0;
        if (b < 0x80) { cp = b; n = 1; }
        else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; n = 2; }
        else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; n = 3; }
        else if ((b & 0xF8) == 0xF0) { cp = b & 0x07; n = 4; }
        else throw PackError("a text is not UTF-8");
        if (i + n > text.size()) throw PackError("a text is not UTF-8");
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) throw PackError("a text is not UTF-8");
            cp = (cp << 6) | (c & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) throw PackError("a text is not UTF-8");
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (cp >> 10));
            out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
    return out;
}

void checkIsLauncher(const PeImage& image) {
    if (image.machine() != 0x8664 && image.machine() != 0x014C)
        throw PackError("it is neither an x64 nor an x86 executable");
    const ResourceTree& resources = image.resources();
    auto t = resources.find(ResourceKey::number(kManifest));
    bool launcher = false;
    if (t != resources.end()) {
        auto n = t->second.find(ResourceKey::number(1));
        if (n != t->second.end() && !n->second.empty()) {
            const Bytes& m = n->second.begin()->second.bytes;
            const std::string text(m.begin(), m.end());
            launcher = text.find("name=\"Vexa.Launcher\"") != std::string::npos;
        }
    }
    // A launcher whose manifest has been replaced is known by its messages.
    auto strings = resources.find(ResourceKey::number(kString));
    if (!launcher && strings != resources.end()) {
        const std::u16string marker = u"The settings embedded in ";
        Bytes wanted;
        for (char16_t c : marker) add16(wanted, c);
        for (const auto& [name, languages] : strings->second)
            for (const auto& [language, data] : languages)
                launcher = launcher || std::search(data.bytes.begin(), data.bytes.end(), wanted.begin(), wanted.end()) !=
                                           data.bytes.end();
    }
    if (!launcher || strings == resources.end())
        throw PackError("it carries no launcher manifest and message table");
}

void setIcon(ResourceTree& resources, const Bytes& ico) {
    // ICONDIR, then one 16-byte entry per image, each naming its bytes.
    if (ico.size() < 6 || get16(&ico[0]) != 0 || get16(&ico[2]) != 1)
        throw PackError("the icon file is not an .ico file");
    const std::size_t count = get16(&ico[4]);
    if (count == 0) throw PackError("the icon file holds no image");
    if (6 + count * 16 > ico.size()) throw PackError("the icon file is damaged: its directory is cut short");
    const std::uint16_t language = languageOf(resources, kGroupIcon);

    std::map<ResourceKey, std::map<std::uint16_t, ResourceData>> icons;
    Bytes group;
    add16(group, 0);
    add16(group, 1);
    add16(group, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = &ico[6 + i * 16];
        const std::uint32_t size = get32(e + 8);
        const std::uint32_t offset = get32(e + 12);
        if (size < 8 || offset > ico.size() || size > ico.size() - offset)
            throw PackError("the icon file is damaged: image " + std::to_string(i + 1) + " lies beyond its end");
        const std::uint8_t* image = &ico[offset];
        const bool png = std::memcmp(image, "\x89PNG\r\n\x1a\n", 8) == 0;
        const bool dib = get32(image) == 40 && size >= 40;
        if (!png && !dib)
            throw PackError("the icon file is damaged: image " + std::to_string(i + 1) + " is neither PNG nor a bitmap");
        const auto id = static_cast<std::uint16_t>(i + 1);
        icons[ResourceKey::number(id)][language].bytes.assign(image, image + size);
        group.insert(group.end(), e, e + 12);  // width .. bytes in resource
        add16(group, id);
    }
    resources.erase(ResourceKey::number(kIcon));
    resources.erase(ResourceKey::number(kGroupIcon));
    resources[ResourceKey::number(kIcon)] = std::move(icons);
    resources[ResourceKey::number(kGroupIcon)][ResourceKey::number(kLauncherIcon)][language].bytes = std::move(group);
}

void setVersion(ResourceTree& resources, const VersionFields& fields) {
    // What the executable carries already stays unless a field replaces it.
    std::optional<Version> file;
    std::optional<Version> product;
    std::map<std::u16string, std::u16string> strings;
    auto present = resources.find(ResourceKey::number(kVersion));
    if (present != resources.end() && !present->second.empty() && !present->second.begin()->second.empty()) {
        const Bytes& old = present->second.begin()->second.begin()->second.bytes;
        VersionNode root = readVersionNode(old.data(), old.size(), 0);
        if (root.value.size() >= 52 && get32(root.value.data()) == 0xFEEF04BD) {
            auto version = [&](std::size_t at) {
                Version v;
                const std::uint32_t ms = get32(&root.value[at]);
                const std::uint32_t ls = get32(&root.value[at + 4]);
                v.parts[0] = static_cast<std::uint16_t>(ms >> 16);
                v.parts[1] = static_cast<std::uint16_t>(ms);
                v.parts[2] = static_cast<std::uint16_t>(ls >> 16);
                v.parts[3] = static_cast<std::uint16_t>(ls);
                return v;
            };
            file = version(8);
            product = version(16);
        }
        for (const VersionNode& info : root.children) {
            if (info.key != u"StringFileInfo" || info.children.empty()) continue;
            for (const VersionNode& entry : info.children.front().children) strings[entry.key] = textValue(entry.value);
        }
    }
    if (fields.fileVersion) file = parseVersion(*fields.fileVersion, "the file version");
    if (fields.productVersion) product = leadingVersion(*fields.productVersion, "the product version");
    if (!file) file = product.value_or(Version{});
    if (!product) product = *file;

    auto set = [&](const char* key, const std::optional<std::string>& value) {
        if (value) strings[ascii(key)] = utf16FromUtf8(*value);
    };
    set("CompanyName", fields.company);
    set("FileDescription", fields.description);
    set("FileVersion", fields.fileVersion);
    set("LegalCopyright", fields.copyright);
    set("OriginalFilename", fields.originalFileName);
    set("InternalName", fields.internalName);
    set("ProductName", fields.productName);
    set("ProductVersion", fields.productVersion);
    if (!strings.count(u"FileVersion")) strings[u"FileVersion"] = versionText(*file);
    if (!strings.count(u"ProductVersion")) strings[u"ProductVersion"] = versionText(*product);

    const std::uint16_t language = languageOf(resources, kString);
    Bytes fixed;
    add32(fixed, 0xFEEF04BD);
    add32(fixed, 0x00010000);
    add32(fixed, (std::uint32_t{file->parts[0]} << 16) | file->parts[1]);
    add32(fixed, (std::uint32_t{file->parts[2]} << 16) | file->parts[3]);
    add32(fixed, (std::uint32_t{product->parts[0]} << 16) | product->parts[1]);
    add32(fixed, (std::uint32_t{product->parts[2]} << 16) | product->parts[3]);
    add32(fixed, 0x3F);     // flags mask
    add32(fixed, 0);        // flags
    add32(fixed, 0x40004);  // Windows NT, 32-bit API
    add32(fixed, 1);        // an application
    add32(fixed, 0);
    add32(fixed, 0);
    add32(fixed, 0);

    std::vector<Bytes> entries;
    char tableName[9];
    std::snprintf(tableName, sizeof(tableName), "%04X04B0", language);
    Bytes stringInfo;
    try {
        for (const auto& [key, value] : strings) entries.push_back(stringEntry(key, value));
        Bytes table = versionBlock(ascii(tableName), {}, 0, true, entries);
        stringInfo = versionBlock(ascii("StringFileInfo"), {}, 0, true, {table});
    } catch (const VersionTooLong&) {
        // Name the longest text: the one to shorten.
        const std::pair<const std::u16string, std::u16string>* longest = &*strings.begin();
        for (const auto& entry : strings)
            if (entry.second.size() > longest->second.size()) longest = &entry;
        std::string name(longest->first.begin(), longest->first.end());
        const std::map<std::string, std::string> options = {
            {"CompanyName", "--company"}, {"FileDescription", "--description"}, {"LegalCopyright", "--copyright"},
            {"OriginalFilename", "--original-filename"}, {"ProductName", "--product-name"},
            {"ProductVersion", "--product-version"}, {"FileVersion", "--file-version"},
            {"InternalName", "--internal-name"}};
        if (auto option = options.find(name); option != options.end()) name = option->second;
        throw PackError("the version information does not fit: all its texts together must fit in the version "
                        "block of 64 KiB; the longest is " + name + " (" +
                        std::to_string(longest->second.size()) + " characters)");
    }
    Bytes translation;
    add16(translation, language);
    add16(translation, 1200);  // UTF-16
    Bytes var = versionBlock(ascii("Translation"), translation, 4, false, {});
    Bytes varInfo = versionBlock(ascii("VarFileInfo"), {}, 0, true, {var});
    Bytes root = versionBlock(ascii("VS_VERSION_INFO"), fixed, static_cast<std::uint16_t>(fixed.size()), false,
                              {stringInfo, varInfo});

    resources.erase(ResourceKey::number(kVersion));
    resources[ResourceKey::number(kVersion)][ResourceKey::number(1)][language].bytes = std::move(root);
}

void setExecutionLevel(ResourceTree& resources, const std::string& level) {
    if (level != "asInvoker" && level != "highestAvailable" && level != "requireAdministrator")
        throw PackError("the execution level \"" + level +
                        "\" is none of asInvoker, highestAvailable, requireAdministrator");
    ResourceData* manifest = manifestOf(resources);
    if (!manifest) throw PackError("it has no manifest");
    std::string text(manifest->bytes.begin(), manifest->bytes.end());
    const std::size_t element = text.find("<requestedExecutionLevel");
    const std::size_t attribute = element == std::string::npos ? element : text.find("level=\"", element);
    const std::size_t end = attribute == std::string::npos ? attribute : text.find('"', attribute + 7);
    if (end == std::string::npos || text.find('>', element) < attribute)
        throw PackError("its manifest has no execution level to set");
    text.replace(attribute + 7, end - attribute - 7, level);
    manifest->bytes.assign(text.begin(), text.end());
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

namespace {

// Replaces the value of `attribute` in the first `element`, or the text of
// the element when `attribute` is empty. False when there is none.
bool replaceInManifest(std::string& text, const std::string& element, const std::string& attribute,
                       const std::string& value) {
    const std::size_t start = text.find("<" + element);
    if (start == std::string::npos) return false;
    const std::size_t close = text.find('>', start);
    if (close == std::string::npos) return false;
    if (attribute.empty()) {
        const std::size_t end = text.find("</" + element + ">", close);
        if (end == std::string::npos) return false;
        text.replace(close + 1, end - close - 1, value);
        return true;
    }
    const std::size_t at = text.find(" " + attribute + "=\"", start);
    if (at == std::string::npos || at > close) return false;
    const std::size_t from = at + attribute.size() + 3;
    const std::size_t to = text.find('"', from);
    if (to == std::string::npos) return false;
    text.replace(from, to - from, value);
    return true;
}

}  // namespace

void setManifestIdentity(ResourceTree& resources, const std::string& product, const std::string& description) {
    ResourceData* manifest = manifestOf(resources);
    if (!manifest) throw PackError("it has no manifest");
    std::string text(manifest->bytes.begin(), manifest->bytes.end());
    if (!product.empty()) {
        // An assembly name is letters, digits and dots.
        std::string name;
        for (char c : product) {
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                c == '_')
                name += c;
            else if (!name.empty() && name.back() != '.')
                name += '.';
        }
        while (!name.empty() && name.back() == '.') name.pop_back();
        if (name.empty()) name = "Application";
        replaceInManifest(text, "assemblyIdentity", "name", name);
    }
    if (!description.empty() && !replaceInManifest(text, "description", "", xmlEscaped(description))) {
        const std::size_t identity = text.find("<assemblyIdentity");
        const std::size_t end = identity == std::string::npos ? identity : text.find("/>", identity);
        if (end != std::string::npos) text.insert(end + 2, "\n  <description>" + xmlEscaped(description) + "</description>");
    }
    manifest->bytes.assign(text.begin(), text.end());
}

void setManifest(ResourceTree& resources, const Bytes& manifest) {
    const std::string text(manifest.begin(), manifest.end());
    try {
        utf16FromUtf8(text);
    } catch (const PackError&) {
        throw PackError("it is not UTF-8");
    }
    if (text.find("<assembly") == std::string::npos || text.find("</assembly>") == std::string::npos)
        throw PackError("it is not an application manifest: it has no <assembly> element");
    ResourceData* present = manifestOf(resources);
    if (!present) throw PackError("it has no manifest");
    present->bytes = manifest;
}

const Bytes* findSettingsBlock(const ResourceTree& resources) {
    std::u16string type(kEmbeddedBlockType, kEmbeddedBlockType + std::char_traits<wchar_t>::length(kEmbeddedBlockType));
    auto t = resources.find(ResourceKey::text(type));
    if (t == resources.end()) return nullptr;
    auto n = t->second.find(ResourceKey::number(kEmbeddedBlockName));
    if (n == t->second.end() || n->second.empty()) return nullptr;
    return &n->second.begin()->second.bytes;
}

void setSettingsBlock(ResourceTree& resources, const Bytes* block) {
    std::u16string type(kEmbeddedBlockType, kEmbeddedBlockType + std::char_traits<wchar_t>::length(kEmbeddedBlockType));
    resources.erase(ResourceKey::text(type));
    if (block) resources[ResourceKey::text(type)][ResourceKey::number(kEmbeddedBlockName)][0].bytes = *block;
}

}  // namespace vexa::pack
