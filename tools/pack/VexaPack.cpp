// vexa-pack: brands a copy of a Vexa launcher (vexa.exe, vexac.exe, vexa32.exe, vexa32c.exe), on Linux or Windows.
//
//   vexa-pack brand  EXECUTABLE [options]       icon, version, manifest, settings, jar
//   vexa-pack write  EXECUTABLE SETTINGS.ini    write or replace the embedded settings
//   vexa-pack print  EXECUTABLE [OUTPUT.ini]    print the embedded settings as INI text
//   vexa-pack remove EXECUTABLE [--jar]         remove the embedded settings, or the jar
//   vexa-pack sign   EXECUTABLE --cert C --key K   sign with Authenticode (osslsigncode)
//   vexa-pack msi    --app-dir DIR --exe ... --output F.msi   an installer (wixl)
//
// Exit codes as vexa-embed: 0 done, 1 bad usage, 2 failed, 3 no block to
// print, 4 the block is damaged. On any failure the executable is untouched:
// the new image is written beside it and takes its place only when complete.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "Branding.h"
#include "Installer.h"
#include "PeResources.h"
#include "Shipping.h"
#include "Zip.h"
#include "config/ProfileWriter.h"
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

const char kUsage_[] =
    "usage:\n"
    "  vexa-pack brand  EXECUTABLE [--output FILE] [--settings SETTINGS.ini] [--icon ICON.ico] [--jar APP.jar]\n"
    "                   [--file-version 1.2.3.4] [--product-version 1.2.3[-TEXT]] [--product-name TEXT]\n"
    "                   [--company TEXT] [--description TEXT] [--copyright TEXT] [--internal-name TEXT]\n"
    "                   [--original-filename TEXT] [--manifest FILE.manifest]\n"
    "                   [--execution-level asInvoker|highestAvailable|requireAdministrator]\n"
    "  vexa-pack write  EXECUTABLE SETTINGS.ini   write or replace the embedded settings\n"
    "  vexa-pack print  EXECUTABLE [OUTPUT.ini]   print the embedded settings as INI text\n"
    "  vexa-pack remove EXECUTABLE [--jar]        remove the embedded settings, or the jar\n"
    "  vexa-pack sign   EXECUTABLE --cert CERT.pem --key KEY.pem [--pass-file FILE] [--timestamp URL]\n"
    "  vexa-pack msi    --app-dir DIR --exe MyApp.exe --output MyApp.msi --product-name TEXT\n"
    "                   --manufacturer TEXT --version X.Y.Z [--upgrade-code GUID] [--per-user]\n"
    "                   [--associate .EXT ...] [--icon ICON.ico]";

int usage(const std::string& fault = {}) {
    if (!fault.empty()) say(fault);
    say(kUsage_);
    return kUsage;
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
    randomBytes(nonce.data(), nonce.size());
    return nonce;
}

// Text for files and messages: a lone surrogate becomes U+FFFD.
std::string utf8Of(const std::wstring& text) { return *encodeUtf8(text, true); }

constexpr std::uintmax_t kExecutableLimit = 1024u * 1024u * 1024u;  // with a jar inside

// Reads a launcher; one that is to be changed must not be signed.
PeImage openLauncher(const fs::path& path, bool toChange) {
    Bytes bytes = readWhole(path, kExecutableLimit);
    try {
        PeImage image(std::move(bytes));
        checkIsLauncher(image);
        if (toChange && image.isSigned()) throw PackError("it is signed; brand it first and sign it afterwards");
        return image;
    } catch (const PackError& e) {
        throw PackError(show(path) + " is not a launcher (a copy of vexa.exe, vexac.exe, vexa32.exe or vexa32c.exe): " + e.what() +
                        "; nothing was changed");
    }
}

// The embedded settings as text: empty when there are none.
std::wstring embeddedText(const PeImage& image, const fs::path& executable) {
    const Bytes* block = findSettingsBlock(image.resources());
    std::wstring text;
    if (block && !openSettingsBlock(block->data(), block->size(), text))
        throw PackError("the settings embedded in " + show(executable) +
                        " are damaged or have been altered; nothing was changed");
    return text;
}

void sealText(PeImage& image, const std::wstring& text) {
    const auto sealed = sealSettingsBlock(text, freshNonce());
    const Bytes block(sealed.begin(), sealed.end());
    setSettingsBlock(image.resources(), &block);
}

// "Embedded Jar=Yes" in [Application] of the embedded settings exactly when
// the image carries a jar.
void markJar(PeImage& image, const fs::path& executable) {
    const std::wstring text = embeddedText(image, executable);
    const std::wstring marked = withEmbeddedJarKey(text, !image.jar().empty());
    if (marked == text) return;
    EmbeddedSettings parsed;
    parsed.parse(marked);
    const bool empty = std::all_of(parsed.sections().begin(), parsed.sections().end(),
                                   [](const EmbeddedSettings::Section& s) { return s.values.empty(); });
    if (empty) setSettingsBlock(image.resources(), nullptr);  // it held the jar's key alone
    else sealText(image, marked);
}

// Builds the image, proves that it reads back with the same resources and
// jar, and puts it in place of `target`.
void store(const PeImage& image, const fs::path& source, const fs::path& target) {
    Bytes built = image.build();
    PeImage check{Bytes(built)};
    if (check.resources() != image.resources() || check.jar() != image.jar())
        throw PackError("the rewritten image does not read back unchanged; nothing was changed");
    replaceFile(target, built, source);
}

struct BrandOptions {
    fs::path output;
    std::optional<fs::path> settings;
    std::optional<fs::path> icon;
    std::optional<fs::path> jar;
    std::optional<fs::path> manifest;
    VersionFields version;
    std::optional<std::string> executionLevel;
};

int brand(const fs::path& executable, const BrandOptions& options) {
    PeImage image = openLauncher(executable, true);
    if (options.icon) {
        Bytes ico = readWhole(*options.icon, 16u * 1024u * 1024u);
        try {
            setIcon(image.resources(), ico);
        } catch (const PackError& e) {
            throw PackError(show(*options.icon) + ": " + e.what() + "; nothing was changed");
        }
    }
    if (options.manifest) {
        try {
            setManifest(image.resources(), readWhole(*options.manifest, 1024u * 1024u));
        } catch (const PackError& e) {
            throw PackError(show(*options.manifest) + ": " + e.what() + "; nothing was changed");
        }
    } else if (options.version.productName || options.version.description) {
        setManifestIdentity(image.resources(), options.version.productName.value_or(""),
                            options.version.description.value_or(options.version.productName.value_or("")));
    }
    if (options.version.any()) setVersion(image.resources(), options.version);
    if (options.executionLevel) setExecutionLevel(image.resources(), *options.executionLevel);
    if (options.settings) {
        sealText(image, settingsText(readWhole(*options.settings, 4 * kEmbeddedTextLimit), *options.settings));
    }
    if (options.jar) {
        try {
            image.setJar(checkJar(readWhole(*options.jar, kExecutableLimit)));
        } catch (const PackError& e) {
            throw PackError(show(*options.jar) + ": " + e.what() + "; nothing was changed");
        }
    }
    markJar(image, executable);
    const fs::path target = options.output.empty() ? executable : options.output;
    store(image, executable, target);
    say("branded " + show(target));
    return kDone;
}

int print(const fs::path& executable, const std::optional<fs::path>& output) {
    PeImage image = openLauncher(executable, false);
    if (image.jar().empty()) say(show(executable) + " carries no jar.");
    else say(show(executable) + " carries a jar of " + std::to_string(image.jar().size()) + " bytes.");
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

int removeCommand(const fs::path& executable, bool jar) {
    PeImage image = openLauncher(executable, true);
    if (jar) {
        if (image.jar().empty()) {
            say(show(executable) + " carries no jar; nothing to remove.");
            return kDone;
        }
        image.setJar({});
        markJar(image, executable);
        store(image, executable, executable);
        say("removed the jar of " + show(executable));
        return kDone;
    }
    if (!findSettingsBlock(image.resources())) {
        say(show(executable) + " carries no embedded settings; nothing to remove.");
        return kDone;
    }
    setSettingsBlock(image.resources(), nullptr);
    markJar(image, executable);  // a jar inside keeps its key
    store(image, executable, executable);
    say("removed the embedded settings of " + show(executable));
    return kDone;
}

// The commands that hand their work to Debian's programs.
void linuxOnly(const char* command) {
#ifdef _WIN32
    throw PackError(std::string("vexa-pack ") + command + " runs on Linux: use the Linux vexa-pack");
#else
    (void)command;
#endif
}

// Signs through osslsigncode. The signature goes behind the jar, so the
// jar's end record must say that its comment reaches the new end of the
// file: sign once to learn the signature's size, set the comment length, sign
// again; a timestamp may change the size, so this repeats until it holds.
int sign(const fs::path& executable, const fs::path& cert, const fs::path& key, const std::optional<fs::path>& passFile,
         const std::optional<std::string>& timestamp) {
    linuxOnly("sign");
    PeImage image = openLauncher(executable, false);
    if (image.isSigned()) throw PackError(show(executable) + " is signed already; nothing was changed");
    for (const fs::path* file : {&cert, &key}) {
        std::error_code error;
        if (!fs::is_regular_file(*file, error)) throw PackError("cannot read " + show(*file) + "; nothing was changed");
    }
    Bytes work = readWhole(executable, kExecutableLimit);
    const bool jar = !image.jar().empty();
    const std::size_t record = jar ? jarEndRecord(work) : 0;
    const std::size_t comment = jar ? work.size() - record - 22 : 0;
    PrivateFolder folder(executable);
    const fs::path in = folder.path() / "unsigned.exe";
    const fs::path out = folder.path() / "signed.exe";
    std::size_t expected = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (jar && expected) setJarCommentLength(work, record, comment + (expected - work.size()));
        std::error_code ignored;
        fs::remove(in, ignored);
        fs::remove(out, ignored);
        replaceFile(in, work, executable);
        // Full paths: a name starting with "-" is never taken for an option.
        std::vector<std::string> command = {"osslsigncode", "sign", "-h", "sha256", "-certs",
                                            show(fs::absolute(cert)), "-key", show(fs::absolute(key))};
        if (passFile) command.insert(command.end(), {"-readpass", show(fs::absolute(*passFile))});
        if (timestamp) command.insert(command.end(), {"-ts", *timestamp});
        command.insert(command.end(), {"-in", show(in), "-out", show(out)});
        const int code = runProgram(command, "osslsigncode");
        if (code != 0)
            throw PackError("osslsigncode could not sign " + show(executable) + " (exit code " + std::to_string(code) +
                            "); nothing was changed");
        Bytes result = readWhole(out, kExecutableLimit);
        if (!jar || result.size() == expected) {
            PeImage check{Bytes(result)};
            if (!check.isSigned() || check.jar().empty() != !jar)
                throw PackError("the signed file does not read back with its jar; nothing was changed");
            replaceFile(executable, result, executable);
            say("signed " + show(executable));
            return kDone;
        }
        if (result.size() < work.size()) throw PackError("osslsigncode made a file shorter than its input");
        expected = result.size();
    }
    throw PackError("the signature changes its size at every signing; nothing was changed");
}

struct MsiOptions {
    std::optional<fs::path> appDir, output, icon;
    InstallerPlan plan;
};

int msi(MsiOptions& options) {
    linuxOnly("msi");
    if (!options.appDir) return usage("--app-dir is missing");
    if (options.plan.exe.empty()) return usage("--exe is missing");
    if (!options.output) return usage("--output is missing");
    std::error_code error;
    if (!fs::is_directory(*options.appDir, error)) throw PackError(show(*options.appDir) + " is not a folder");
    const fs::path root = fs::absolute(*options.appDir);
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_symlink()) throw PackError(show(it->path()) + " is a link: an installer holds files only");
        if (it->is_regular_file()) options.plan.files.push_back(show(fs::relative(it->path(), root)));
    }
    if (error) throw PackError("cannot read " + show(root) + ": " + error.message());
    std::sort(options.plan.files.begin(), options.plan.files.end());  // the same package every time
    const PeImage launcher = openLauncher(root / fs::u8path(options.plan.exe), false);
    options.plan.x64 = launcher.machine() == 0x8664;
    if (options.icon) {
        try {
            ResourceTree probe;
            setIcon(probe, readWhole(*options.icon, 16u * 1024u * 1024u));
        } catch (const PackError& e) {
            throw PackError(show(*options.icon) + ": " + e.what());
        }
    }
    checkInstaller(options.plan);
    // wixl reads files by paths relative to its source file (and takes no
    // absolute ones): the source, the icon and a link to the application
    // folder share a private folder.
    PrivateFolder folder(fs::absolute(*options.output));
    fs::create_directory_symlink(root, folder.path() / "app");
    if (options.icon) {
        fs::copy_file(*options.icon, folder.path() / "icon.ico");
        options.plan.iconFile = "icon.ico";
    }
    const std::string source = installerSource(options.plan, "app");
    const fs::path wxs = folder.path() / "installer.wxs";
    const fs::path built = folder.path() / "installer.msi";
    replaceFile(wxs, Bytes(source.begin(), source.end()), wxs);
    // In that folder: wixl looks for relative paths in the current folder first.
    const int code = runProgram({"wixl", "-a", options.plan.x64 ? "x64" : "x86", "-o", show(built), show(wxs)}, "wixl",
                                folder.path());
    if (code != 0) throw PackError("wixl could not build the installer (exit code " + std::to_string(code) + ")");
    replaceFile(*options.output, readWhole(built, 4ull * 1024u * 1024u * 1024u), *options.output);
    say("built " + show(*options.output));
    return kDone;
}

int run(const std::vector<std::string>& args) {
    if (args.empty()) return usage();
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h" || a == "help") {
            std::cout << kUsage_ << "\n";
            return kDone;
        }
    }
    auto path = [](const std::string& text) { return fs::u8path(text); };
    const std::string& command = args[0];
    if (command == "write" && args.size() == 3) {
        BrandOptions options;
        options.settings = path(args[2]);
        return brand(path(args[1]), options);
    }
    if (command == "print" && (args.size() == 2 || args.size() == 3))
        return print(path(args[1]), args.size() == 3 ? std::optional<fs::path>(path(args[2])) : std::nullopt);
    if (command == "remove" && args.size() == 2) return removeCommand(path(args[1]), false);
    if (command == "remove" && args.size() == 3 && args[2] == "--jar") return removeCommand(path(args[1]), true);
    if (command == "remove" && args.size() == 3) return usage("unknown option " + args[2]);

    // Options of the form --name VALUE, and the flags in `flags`.
    auto options = [&](std::size_t from, const std::map<std::string, std::function<void(const std::string&)>>& take,
                       const std::map<std::string, std::function<void()>>& flags) -> std::string {
        for (std::size_t i = from; i < args.size(); ++i) {
            if (auto f = flags.find(args[i]); f != flags.end()) {
                f->second();
                continue;
            }
            auto t = take.find(args[i]);
            if (t == take.end()) return "unknown option " + args[i];
            if (i + 1 >= args.size()) return args[i] + " needs a value";
            t->second(args[++i]);
        }
        return {};
    };

    if (command == "sign") {
        if (args.size() < 2 || args[1].rfind("--", 0) == 0) return usage("sign needs the executable first");
        std::optional<fs::path> cert, key, passFile;
        std::optional<std::string> timestamp;
        const std::string fault = options(2,
                                          {{"--cert", [&](const std::string& v) { cert = path(v); }},
                                           {"--key", [&](const std::string& v) { key = path(v); }},
                                           {"--pass-file", [&](const std::string& v) { passFile = path(v); }},
                                           {"--timestamp", [&](const std::string& v) { timestamp = v; }}},
                                          {});
        if (!fault.empty()) return usage(fault);
        if (!cert || !key) return usage("sign needs --cert and --key");
        return sign(path(args[1]), *cert, *key, passFile, timestamp);
    }
    if (command == "msi") {
        MsiOptions msiOptions;
        InstallerPlan& plan = msiOptions.plan;
        const std::string fault = options(1,
                                          {{"--app-dir", [&](const std::string& v) { msiOptions.appDir = path(v); }},
                                           {"--exe", [&](const std::string& v) { plan.exe = v; }},
                                           {"--output", [&](const std::string& v) { msiOptions.output = path(v); }},
                                           {"--product-name", [&](const std::string& v) { plan.productName = v; }},
                                           {"--manufacturer", [&](const std::string& v) { plan.manufacturer = v; }},
                                           {"--version", [&](const std::string& v) { plan.version = v; }},
                                           {"--upgrade-code", [&](const std::string& v) { plan.upgradeCode = v; }},
                                           {"--associate", [&](const std::string& v) { plan.associations.push_back(v); }},
                                           {"--icon", [&](const std::string& v) { msiOptions.icon = path(v); }}},
                                          {{"--per-user", [&] { plan.perUser = true; }}});
        if (!fault.empty()) return usage(fault);
        return msi(msiOptions);
    }
    if (command != "brand") return usage(command == "write" || command == "print" || command == "remove"
                                             ? command + ": wrong number of arguments"
                                             : "unknown command " + command);
    if (args.size() < 2 || args[1].rfind("--", 0) == 0) return usage("brand needs the executable first");

    BrandOptions brandOptions;
    VersionFields& v = brandOptions.version;
    std::map<std::string, std::function<void(const std::string&)>> take = {
        {"--output", [&](const std::string& x) { brandOptions.output = path(x); }},
        {"--settings", [&](const std::string& x) { brandOptions.settings = path(x); }},
        {"--icon", [&](const std::string& x) { brandOptions.icon = path(x); }},
        {"--jar", [&](const std::string& x) { brandOptions.jar = path(x); }},
        {"--manifest", [&](const std::string& x) { brandOptions.manifest = path(x); }},
        {"--execution-level", [&](const std::string& x) { brandOptions.executionLevel = x; }},
    };
    const std::map<std::string, std::optional<std::string>*> texts = {
        {"--file-version", &v.fileVersion}, {"--product-version", &v.productVersion},
        {"--product-name", &v.productName}, {"--company", &v.company},
        {"--description", &v.description},  {"--copyright", &v.copyright},
        {"--original-filename", &v.originalFileName}, {"--internal-name", &v.internalName},
    };
    for (const auto& [name, field] : texts) take[name] = [field](const std::string& x) { *field = x; };
    const std::string fault = options(2, take, {});
    if (!fault.empty()) return usage(fault);
    return brand(path(args[1]), brandOptions);
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
