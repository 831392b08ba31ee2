// vexa-pack: brands a copy of vexa.exe or vexa32.exe, on Linux or Windows.
//
//   vexa-pack brand  EXECUTABLE [options]       icon, version, execution level, settings
//   vexa-pack write  EXECUTABLE SETTINGS.ini    write or replace the embedded settings
//   vexa-pack print  EXECUTABLE [OUTPUT.ini]    print the embedded settings as INI text
//   vexa-pack remove EXECUTABLE                 remove the embedded settings
//
// Exit codes as vexa-embed: 0 done, 1 bad usage, 2 failed, 3 no block to
// print, 4 the block is damaged. On any failure the executable is untouched:
// the new image is written beside it and takes its place only when complete.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Branding.h"
#include "PeResources.h"
#include "config/SettingsBlock.h"
#include "config/SettingsStore.h"

namespace {

using namespace vexa;
using namespace vexa::pack;
namespace fs = std::filesystem;

constexpr int kDone = 0;
constexpr int kUsage = 1;
constexpr int kFailed = 2;
constexpr int kNoBlock = 3;
constexpr int kDamaged = 4;

void say(const std::string& text) { std::cerr << "vexa-pack: " << text << "\n"; }

int usage() {
    say("usage:\n"
        "  vexa-pack brand  EXECUTABLE [--output FILE] [--settings SETTINGS.ini] [--icon ICON.ico]\n"
        "                   [--file-version 1.2.3.4] [--product-version 1.2.3.4] [--product-name TEXT]\n"
        "                   [--company TEXT] [--description TEXT] [--copyright TEXT]\n"
        "                   [--original-filename TEXT] [--execution-level asInvoker|highestAvailable|requireAdministrator]\n"
        "  vexa-pack write  EXECUTABLE SETTINGS.ini   write or replace the embedded settings\n"
        "  vexa-pack print  EXECUTABLE [OUTPUT.ini]   print the embedded settings as INI text\n"
        "  vexa-pack remove EXECUTABLE                remove the embedded settings");
    return kUsage;
}

std::string show(const fs::path& path) {
    auto u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

Bytes readWhole(const fs::path& path, std::uintmax_t limit) {
    std::error_code error;
    if (fs::is_directory(path, error)) throw PackError("cannot read " + show(path) + ": it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PackError("cannot read " + show(path));
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::uintmax_t>(in.tellg());
    if (size > limit) throw PackError("cannot read " + show(path) + ": it is too large");
    in.seekg(0);
    Bytes bytes(static_cast<std::size_t>(size));
    if (size && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        throw PackError("cannot read " + show(path));
    return bytes;
}

// Writes `bytes` to a new file beside `target`, then puts it in its place.
void replaceFile(const fs::path& target, const Bytes& bytes, const fs::path& permissionsFrom) {
    fs::path temporary = target;
    temporary += ".vexa-pack.tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
            !out.flush()) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw PackError("cannot write " + show(temporary));
        }
    }
    std::error_code error;
    fs::permissions(temporary, fs::status(permissionsFrom, error).permissions(), error);
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw PackError("cannot replace " + show(target) + ": " + error.message());
    }
}

// Settings text: UTF-16 with a byte order mark, or UTF-8 (with or without
// one); every line ending becomes CR LF, as the launcher splits the block.
std::wstring settingsText(const Bytes& bytes, const fs::path& path) {
    std::u16string units;
    if (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        const bool big = bytes[0] == 0xFE;
        if (bytes.size() % 2) throw PackError(show(path) + " is cut short: an odd number of bytes in UTF-16");
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            units += static_cast<char16_t>(big ? (bytes[i] << 8) | bytes[i + 1] : (bytes[i + 1] << 8) | bytes[i]);
    } else {
        std::string text(bytes.begin(), bytes.end());
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
        try {
            units = utf16FromUtf8(text);
        } catch (const PackError&) {
            throw PackError(show(path) + " is neither UTF-8 nor UTF-16 with a byte order mark: save it as UTF-8");
        }
    }
    std::wstring out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c == u'\0') throw PackError(show(path) + " holds a zero character: it is not a settings text");
        if (c == u'\r') {
            out += L"\r\n";
            if (i + 1 < units.size() && units[i + 1] == u'\n') ++i;
        } else if (c == u'\n') {
            out += L"\r\n";
        } else if (!(i == 0 && c == 0xFEFF)) {
            out += static_cast<wchar_t>(c);
        }
    }
    if (out.size() > kEmbeddedTextLimit) throw PackError(show(path) + " is too large for embedded settings");
    EmbeddedSettings parsed;
    parsed.parse(out);
    if (parsed.sections().empty())
        throw PackError(show(path) + " holds no [section]: the launcher would read nothing from it");
    return out;
}

std::array<std::uint8_t, 12> freshNonce() {
    std::array<std::uint8_t, 12> nonce{};
#ifdef _WIN32
    std::random_device random;  // the system's cryptographic generator
    for (std::size_t i = 0; i < nonce.size(); i += 4) {
        const auto value = random();
        for (std::size_t k = 0; k < 4 && i + k < nonce.size(); ++k) nonce[i + k] = static_cast<std::uint8_t>(value >> (8 * k));
    }
#else
    std::ifstream random("/dev/urandom", std::ios::binary);
    if (!random.read(reinterpret_cast<char*>(nonce.data()), nonce.size()))
        throw PackError("cannot obtain random numbers from the system");
#endif
    return nonce;
}

std::string utf8Of(const std::wstring& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const auto low = static_cast<std::uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

PeImage openLauncher(const fs::path& path) {
    Bytes bytes = readWhole(path, 64u * 1024u * 1024u);
    try {
        PeImage image(std::move(bytes));
        checkIsLauncher(image);
        return image;
    } catch (const PackError& e) {
        throw PackError(show(path) + " is not a launcher (a copy of vexa.exe or vexa32.exe): " + e.what() +
                        "; nothing was changed");
    }
}

// Builds the image, proves that it reads back with the same resources, and
// puts it in place of `target`.
void store(const PeImage& image, const fs::path& source, const fs::path& target) {
    Bytes built = image.build();
    PeImage check{Bytes(built)};
    if (check.resources() != image.resources())
        throw PackError("the rewritten image does not read back unchanged; nothing was changed");
    replaceFile(target, built, source);
}

struct BrandOptions {
    fs::path output;
    std::optional<fs::path> settings;
    std::optional<fs::path> icon;
    VersionFields version;
    std::optional<std::string> executionLevel;
};

int brand(const fs::path& executable, const BrandOptions& options) {
    PeImage image = openLauncher(executable);
    if (options.icon) {
        Bytes ico = readWhole(*options.icon, 16u * 1024u * 1024u);
        try {
            setIcon(image.resources(), ico);
        } catch (const PackError& e) {
            throw PackError(show(*options.icon) + ": " + e.what() + "; nothing was changed");
        }
    }
    if (options.version.any()) setVersion(image.resources(), options.version);
    if (options.executionLevel) setExecutionLevel(image.resources(), *options.executionLevel);
    if (options.settings) {
        const std::wstring text = settingsText(readWhole(*options.settings, 4 * kEmbeddedTextLimit), *options.settings);
        const auto sealed = sealSettingsBlock(text, freshNonce());
        const Bytes block(sealed.begin(), sealed.end());
        setSettingsBlock(image.resources(), &block);
    }
    const fs::path target = options.output.empty() ? executable : options.output;
    store(image, executable, target);
    say("branded " + show(target));
    return kDone;
}

int print(const fs::path& executable, const std::optional<fs::path>& output) {
    PeImage image = openLauncher(executable);
    const Bytes* block = findSettingsBlock(image.resources());
    if (!block) {
        say(show(executable) + " carries no embedded settings.");
        return kNoBlock;
    }
    std::wstring text;
    if (!openSettingsBlock(block->data(), block->size(), text)) {
        say("the settings embedded in " + show(executable) + " are damaged or have been altered.");
        return kDamaged;
    }
    const std::string utf8 = utf8Of(text);
    if (!output) {
        std::cout << utf8;
        return kDone;
    }
    replaceFile(*output, Bytes(utf8.begin(), utf8.end()), *output);
    return kDone;
}

int removeCommand(const fs::path& executable) {
    PeImage image = openLauncher(executable);
    if (!findSettingsBlock(image.resources())) {
        say(show(executable) + " carries no embedded settings; nothing to remove.");
        return kDone;
    }
    setSettingsBlock(image.resources(), nullptr);
    store(image, executable, executable);
    say("removed the embedded settings of " + show(executable));
    return kDone;
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) return usage();
    auto path = [](const std::string& text) { return fs::u8path(text); };
    const std::string& command = args[0];
    if (command == "write" && args.size() == 3) {
        BrandOptions options;
        options.settings = path(args[2]);
        return brand(path(args[1]), options);
    }
    if (command == "print" && (args.size() == 2 || args.size() == 3))
        return print(path(args[1]), args.size() == 3 ? std::optional<fs::path>(path(args[2])) : std::nullopt);
    if (command == "remove" && args.size() == 2) return removeCommand(path(args[1]));
    if (command != "brand" || args.size() < 2) return usage();

    BrandOptions options;
    const std::map<std::string, std::optional<std::string>*> texts = {
        {"--file-version", &options.version.fileVersion},   {"--product-version", &options.version.productVersion},
        {"--product-name", &options.version.productName},   {"--company", &options.version.company},
        {"--description", &options.version.description},    {"--copyright", &options.version.copyright},
        {"--original-filename", &options.version.originalFileName}, {"--execution-level", &options.executionLevel},
    };
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return usage();
        const std::string& name = args[i];
        const std::string& value = args[i + 1];
        if (name == "--output") options.output = path(value);
        else if (name == "--settings") options.settings = path(value);
        else if (name == "--icon") options.icon = path(value);
        else if (auto t = texts.find(name); t != texts.end()) *t->second = value;
        else return usage();
    }
    return brand(path(args[1]), options);
}

int guarded(const std::vector<std::string>& args) {
    try {
        return run(args);
    } catch (const PackError& e) {
        say(e.what());
    } catch (const std::exception& e) {
        say(std::string("failed: ") + e.what());
    }
    return kFailed;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(utf8Of(argv[i]));
    return guarded(args);
}
#else
int main(int argc, char** argv) { return guarded(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
