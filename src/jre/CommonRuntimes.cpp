#include "jre/CommonRuntimes.h"

#include <algorithm>
#include <cwctype>

#include "foundation/Text.h"

namespace vexa::jre {

const std::vector<VendorKey>& vendorKeys() {
    // Add a distribution here and in vendorFolders(); the README lists both.
    static const std::vector<VendorKey> keys{
        {L"Software\\Eclipse Adoptium\\JDK\\", L"hotspot\\MSI", L"Path"},
        {L"Software\\Eclipse Adoptium\\JRE\\", L"hotspot\\MSI", L"Path"},
        {L"Software\\Eclipse Foundation\\JDK\\", L"hotspot\\MSI", L"Path"},
        {L"Software\\AdoptOpenJDK\\JDK\\", L"hotspot\\MSI", L"Path"},
        {L"Software\\AdoptOpenJDK\\JRE\\", L"hotspot\\MSI", L"Path"},
        {L"Software\\Microsoft\\JDK\\", L"hotspot\\MSI", L"Path"},
        {L"Software\\Azul Systems\\Zulu\\", L"", L"InstallationPath"},
        // The OpenJ9 builds record themselves beside the HotSpot ones.
        {L"Software\\Eclipse Adoptium\\JDK\\", L"openj9\\MSI", L"Path"},
        {L"Software\\Eclipse Adoptium\\JRE\\", L"openj9\\MSI", L"Path"},
        {L"Software\\AdoptOpenJDK\\JDK\\", L"openj9\\MSI", L"Path"},
        {L"Software\\AdoptOpenJDK\\JRE\\", L"openj9\\MSI", L"Path"},
        {L"Software\\Semeru\\JDK\\", L"openj9\\MSI", L"Path"},
        {L"Software\\Semeru\\JRE\\", L"openj9\\MSI", L"Path"},
        {L"Software\\IBM\\Semeru\\JDK\\", L"openj9\\MSI", L"Path"},
        {L"Software\\IBM\\Semeru\\JRE\\", L"openj9\\MSI", L"Path"},
    };
    return keys;
}

const std::vector<ProgramFilesFolder>& programFilesFolders(bool launcherIs64Bit) {
    // The 64-bit view records both folders on 64-bit Windows; 32-bit Windows
    // records only "ProgramFilesDir", its one (32-bit) folder. A 32-bit
    // process sees %ProgramFiles% as the 32-bit folder.
    static const std::vector<ProgramFilesFolder> forX64{
        {{{L"ProgramFilesDir", L"ProgramW6432"}, {L"", L"ProgramFiles"}}, false},
        {{{L"ProgramFilesDir (x86)", L"ProgramFiles(x86)"}}, true},
    };
    static const std::vector<ProgramFilesFolder> forX86{
        {{{L"ProgramFilesDir (x86)", L"ProgramFiles(x86)"}, {L"ProgramFilesDir", L"ProgramFiles"}}, false},
        {{{L"ProgramFilesDir", L"ProgramW6432"}}, true},
    };
    return launcherIs64Bit ? forX64 : forX86;
}

const std::vector<std::wstring_view>& vendorFolders() {
    static const std::vector<std::wstring_view> folders{
        L"Eclipse Adoptium\\", L"Microsoft\\", L"Zulu\\",        L"Java\\",
        L"Amazon Corretto\\",  L"BellSoft\\",  L"AdoptOpenJDK\\", L"Semeru\\", L"IBM\\Semeru\\",
    };
    return folders;
}

std::optional<JavaVersion> releaseFileVersion(std::string_view text) {
    constexpr std::string_view kKey = "JAVA_VERSION=";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.substr(0, kKey.size()) != kKey) continue;
        std::string_view value = line.substr(kKey.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.remove_suffix(1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        // A version is digits and separators; anything else makes the line
        // unusable rather than a guess.
        std::wstring wide;
        for (char c : value) {
            const bool allowed = (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-' || c == '+';
            if (!allowed) return std::nullopt;
            wide += static_cast<wchar_t>(c);
        }
        JavaVersion version;
        if (!version.parse(wide, 0)) return std::nullopt;
        return version;
    }
    return std::nullopt;
}

std::optional<JavaVersion> nameVersion(std::wstring_view name) {
    JavaVersion version;
    if (!version.parse(std::wstring(name), 0)) return std::nullopt;
    return version;
}

JavaVersion nameCeiling(const JavaVersion& named) {
    JavaVersion ceiling = named;
    for (std::int32_t i = std::min(named.groupCount, 3); i < 4; ++i) ceiling.components[static_cast<std::size_t>(i)] = 65535;
    return ceiling;
}

std::wstring_view folderName(std::wstring_view folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.remove_suffix(1);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? folder : folder.substr(slash + 1);
}

std::optional<std::wstring> absoluteFolder(std::wstring_view value) {
    std::wstring text = trimSpace(value);
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') text = trimSpace(text.substr(1, text.size() - 2));
    const bool drive = text.size() >= 3 && std::iswalpha(text[0]) && text[1] == L':' && (text[2] == L'\\' || text[2] == L'/');
    const bool unc = text.size() >= 3 && text[0] == L'\\' && text[1] == L'\\';
    if (!drive && !unc) return std::nullopt;
    return withTrailingBackslash(std::move(text));
}

std::uint16_t imageMachine(std::string_view head) {
    auto byteAt = [&head](size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(head[i])); };
    if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') return 0;
    const std::uint32_t offset = byteAt(0x3C) | byteAt(0x3D) << 8 | byteAt(0x3E) << 16 | byteAt(0x3F) << 24;
    if (offset > head.size() || head.size() - offset < 6) return 0;
    if (head.substr(offset, 4) != std::string_view("PE\0\0", 4)) return 0;
    return static_cast<std::uint16_t>(byteAt(offset + 4) | byteAt(offset + 5) << 8);
}

bool commonSearchOpen(const JrePolicy& policy) {
    return policy.searchCommonLocations && (policy.sunAllowed || policy.sunFavoured);
}

bool kindSearched(RuntimeKind kind, const JrePolicy& policy) {
    return policy.bothSources || (kind == RuntimeKind::Jdk ? policy.jdkSource : policy.jreSource);
}

bool kindFavoured(RuntimeKind kind, const JrePolicy& policy) {
    return policy.sunFavoured && (kind == RuntimeKind::Jdk ? policy.jdkSource : policy.jreSource);
}

std::optional<std::wstring_view> versionRejection(const JavaVersion& version, bool known, const JrePolicy& policy) {
    if (!known) {
        if (policy.minVersion.isOpenBound() && policy.maxVersion.isOpenBound()) return std::nullopt;
        return L"its version is unknown and a version bound is set";
    }
    if (!policy.maxVersion.isOpenBound() && JavaVersion::compare(version, policy.maxVersion) > 0)
        return L"above \"Maximum Version\"";
    if (JavaVersion::compare(version, policy.minVersion) < 0) return L"below \"Minimum Version\"";
    return std::nullopt;
}

}  // namespace vexa::jre
