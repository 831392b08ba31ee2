#include "Installer.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "Branding.h"
#include "foundation/Crypto.h"

namespace vexa::pack {
namespace {

bool isGuid(const std::string& text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct Folder {
    std::string id;
    std::map<std::string, Folder> folders;                        // by name
    std::vector<std::pair<std::string, std::size_t>> files;  // name, index into plan.files
};

void writeFolder(std::string& out, const Folder& folder, const InstallerPlan& plan, const std::string& root,
                 int depth) {
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    for (const auto& [name, index] : folder.files) {
        const std::string& relative = plan.files[index];
        const bool main = relative == plan.exe;
        std::string id = "MainExe";
        if (!main) id = std::string(1, 'f').append(std::to_string(index));
        out += indent + "<Component Id=\"c" + std::to_string(index) + "\" Guid=\"" +
               guidOf(plan.upgradeCode + "/" + relative) + "\"" + (plan.x64 ? " Win64=\"yes\"" : "") + ">\n";
        out += indent + "  <File Id=\"" + id + "\" Name=\"" + xmlEscaped(name) + "\" Source=\"" + xmlEscaped(root + "/" + relative) +
               "\" KeyPath=\"yes\"/>\n";
        out += indent + "</Component>\n";
    }
    for (const auto& [name, child] : folder.folders) {
        out += indent + "<Directory Id=\"" + child.id + "\" Name=\"" + xmlEscaped(name) + "\">\n";
        writeFolder(out, child, plan, root, depth + 1);
        out += indent + "</Directory>\n";
    }
}

}  // namespace

std::string guidOf(const std::string& text) {
    auto digest = Sha256::of(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | 0x50);  // a name-based GUID
    digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);
    char out[37];
    std::snprintf(out, sizeof(out), "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", digest[0],
                  digest[1], digest[2], digest[3], digest[4], digest[5], digest[6], digest[7], digest[8], digest[9],
                  digest[10], digest[11], digest[12], digest[13], digest[14], digest[15]);
    return out;
}

void checkInstaller(InstallerPlan& plan) {
    if (plan.productName.empty()) throw PackError("--product-name is missing");
    if (plan.manufacturer.empty()) throw PackError("--manufacturer is missing");
    // An MSI product version: major and minor up to 255, build up to 65535.
    unsigned major = 0, minor = 0, build = 0;
    char rest = 0;
    const int read = std::sscanf(plan.version.c_str(), "%u.%u.%u%c", &major, &minor, &build, &rest);
    if (read != 3 || plan.version.find_first_not_of("0123456789.") != std::string::npos || major > 255 ||
        minor > 255 || build > 65535)
        throw PackError("the version \"" + plan.version +
                        "\" is not an installer version X.Y.Z (X and Y at most 255, Z at most 65535)");
    if (plan.upgradeCode.empty()) plan.upgradeCode = guidOf("upgrade/" + plan.manufacturer + "/" + plan.productName);
    if (!isGuid(plan.upgradeCode))
        throw PackError("the upgrade code \"" + plan.upgradeCode + "\" is not a GUID such as " +
                        guidOf("example"));
    plan.upgradeCode = upper(plan.upgradeCode);
    if (std::find(plan.files.begin(), plan.files.end(), plan.exe) == plan.files.end())
        throw PackError("the launcher " + plan.exe + " is not in the application folder");
    std::set<std::string> seen;
    for (const std::string& extension : plan.associations) {
        const bool plain = extension.size() >= 2 && extension[0] == '.' &&
                           extension.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-",
                                                       1) == std::string::npos;
        if (!plain) throw PackError("the file type \"" + extension + "\" is not an extension such as .myapp");
        if (!seen.insert(upper(extension)).second) throw PackError("the file type " + extension + " is given twice");
    }
}

std::string installerSource(const InstallerPlan& plan, const std::string& sourceRoot) {
    Folder root;
    int folders = 0;
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        Folder* folder = &root;
        std::string path = plan.files[i];
        for (std::size_t slash; (slash = path.find('/')) != std::string::npos; path.erase(0, slash + 1)) {
            Folder& child = folder->folders[path.substr(0, slash)];
            if (child.id.empty()) child.id = std::string(1, 'd').append(std::to_string(++folders));
            folder = &child;
        }
        folder->files.emplace_back(path, i);
    }
    const std::string product = xmlEscaped(plan.productName);
    const std::string exeName = plan.exe.substr(plan.exe.rfind('/') + 1);
    const std::string progIdBase = exeName.substr(0, exeName.rfind('.'));
    const std::string iconId = plan.iconFile.empty() ? "AppIcon.exe" : "AppIcon.ico";
    const std::string registryRoot = plan.perUser ? "HKCU" : "HKLM";
    const std::string win64 = plan.x64 ? " Win64=\"yes\"" : "";

    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n";
    out += "<Product Id=\"" + guidOf(plan.upgradeCode + "/" + plan.version) + "\" Name=\"" + product +
           "\" Language=\"1033\" Version=\"" + plan.version + "\" Manufacturer=\"" + xmlEscaped(plan.manufacturer) +
           "\" UpgradeCode=\"" + plan.upgradeCode + "\">\n";
    out += "<Package InstallerVersion=\"200\" Compressed=\"yes\" InstallScope=\"" +
           std::string(plan.perUser ? "perUser" : "perMachine") + "\" Description=\"" + product + "\" Manufacturer=\"" + xmlEscaped(plan.manufacturer) + "\"/>\n";
    out += "<MajorUpgrade DowngradeErrorMessage=\"A newer version of " + product + " is already installed.\"/>\n";
    out += "<Media Id=\"1\" Cabinet=\"app.cab\" EmbedCab=\"yes\"/>\n";
    out += "<Icon Id=\"" + iconId + "\" SourceFile=\"" +
           xmlEscaped(plan.iconFile.empty() ? sourceRoot + "/" + plan.exe : plan.iconFile) + "\"/>\n";
    out += "<Property Id=\"ARPPRODUCTICON\" Value=\"" + iconId + "\"/>\n";
    out += "<Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n";
    out += std::string("  <Directory Id=\"") +
           (plan.perUser ? "LocalAppDataFolder" : plan.x64 ? "ProgramFiles64Folder" : "ProgramFilesFolder") + "\">\n";
    if (plan.perUser) out += "  <Directory Id=\"UserPrograms\" Name=\"Programs\">\n";
    out += "    <Directory Id=\"INSTALLDIR\" Name=\"" + product + "\">\n";
    writeFolder(out, root, plan, sourceRoot, 3);
    // The Start-menu shortcut and the file types, in components of their own
    // whose key is a registry value (what a per-user installation needs).
    out += "      <Component Id=\"Integration\" Guid=\"" + guidOf(plan.upgradeCode + "/integration") + "\"" + win64 +
           ">\n";
    out += "        <RegistryValue Root=\"" + registryRoot + "\" Key=\"Software\\" + xmlEscaped(plan.manufacturer) + "\\" +
           product + "\" Name=\"Installed\" Type=\"integer\" Value=\"1\" KeyPath=\"yes\"/>\n";
    for (const std::string& extension : plan.associations) {
        const std::string progId = xmlEscaped(progIdBase + extension);
        const std::string classes = "Software\\Classes\\";
        out += "        <RegistryValue Root=\"" + registryRoot + "\" Key=\"" + classes + xmlEscaped(extension) +
               "\" Type=\"string\" Value=\"" + progId + "\"/>\n";
        out += "        <RegistryValue Root=\"" + registryRoot + "\" Key=\"" + classes + progId +
               "\" Type=\"string\" Value=\"" + product + "\"/>\n";
        out += "        <RegistryValue Root=\"" + registryRoot + "\" Key=\"" + classes + progId +
               "\\DefaultIcon\" Type=\"string\" Value=\"[#MainExe],0\"/>\n";
        out += "        <RegistryValue Root=\"" + registryRoot + "\" Key=\"" + classes + progId +
               "\\shell\\open\\command\" Type=\"string\" Value=\"&quot;[#MainExe]&quot; &quot;%1&quot;\"/>\n";
    }
    out += "      </Component>\n";
    out += "    </Directory>\n";
    if (plan.perUser) out += "  </Directory>\n";
    out += "  </Directory>\n";
    out += "  <Directory Id=\"ProgramMenuFolder\">\n";
    out += "    <Component Id=\"StartMenu\" Guid=\"" + guidOf(plan.upgradeCode + "/start-menu") + "\"" + win64 + ">\n";
    out += "      <Shortcut Id=\"StartMenuShortcut\" Name=\"" + product + "\" Target=\"[#MainExe]\" "
           "WorkingDirectory=\"INSTALLDIR\" Icon=\"" + iconId + "\"/>\n";
    out += "      <RegistryValue Root=\"" + registryRoot + "\" Key=\"Software\\" + xmlEscaped(plan.manufacturer) + "\\" +
           product + "\" Name=\"StartMenu\" Type=\"integer\" Value=\"1\" KeyPath=\"yes\"/>\n";
    out += "    </Component>\n";
    out += "  </Directory>\n";
    out += "</Directory>\n";
    out += "<Feature Id=\"Application\" Level=\"1\">\n";
    for (std::size_t i = 0; i < plan.files.size(); ++i) out += "  <ComponentRef Id=\"c" + std::to_string(i) + "\"/>\n";
    out += "  <ComponentRef Id=\"Integration\"/>\n  <ComponentRef Id=\"StartMenu\"/>\n";
    out += "</Feature>\n</Product>\n</Wix>\n";
    return out;
}

}  // namespace vexa::pack
