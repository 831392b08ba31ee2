// The Java runtimes installed today outside the registration keys of the
// JavaSoft, JRockit and IBM families: the folder named by JAVA_HOME, the keys
// where the common OpenJDK distributions record their installs, and their
// install folders under %ProgramFiles%. This file holds the tables and the
// value logic of that search; free of the platform API.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/JavaVersion.h"
#include "foundation/JrePolicy.h"
#include "jre/JreSelection.h"

namespace vexa::jre {

// A key under HKEY_LOCAL_MACHINE (and, for a per-user install,
// HKEY_CURRENT_USER) where a distribution records its installs:
// one subkey per runtime, whose `subPath` key holds the install folder in the
// value `valueName`.
struct VendorKey {
    std::wstring_view path;     // ends in "\"
    std::wstring_view subPath;  // below each runtime's subkey, without a trailing "\"; may be empty
    std::wstring_view valueName;
};

// The vendor keys, in the order they are searched.
const std::vector<VendorKey>& vendorKeys();

// The folders below %ProgramFiles% (and the per-user programs folder,
// %LOCALAPPDATA%\Programs) whose sub-folders are runtimes, in the order they
// are searched. Each ends in "\".
const std::vector<std::wstring_view>& vendorFolders();

// Where a "Program Files" folder is recorded: a value of the key
// HKLM\Software\Microsoft\Windows\CurrentVersion read in the 64-bit view, else
// an environment variable.
struct FolderRecord {
    std::wstring_view registryValue;
    std::wstring_view environmentVariable;
};

// The "Program Files" folders a launcher scans: first its own
// architecture's, then (`otherArchitecture`) the other one's, which only a
// paired launcher can use. Each is the first of its records that names an
// absolute folder.
struct ProgramFilesFolder {
    std::vector<FolderRecord> records;
    bool otherArchitecture;
};
const std::vector<ProgramFilesFolder>& programFilesFolders(bool launcherIs64Bit);

// The version named by the line JAVA_VERSION="17.0.2" (or "1.8.0_392") of a
// runtime's "release" file, missing components 0; nothing when the text has
// no such line or its value holds no version.
std::optional<JavaVersion> releaseFileVersion(std::string_view releaseText);

// The version in a folder or key name ("jdk-17.0.2+8", "zulu-21"), missing
// components 0; nothing when the name holds no digit.
std::optional<JavaVersion> nameVersion(std::wstring_view name);

// The highest version a runtime whose folder name gives `named` is taken to
// have: the name's first three groups, the rest open ("jdk-17.0.9.9-hotspot"
// holds 17.0.9 with a build number, "zulu-17" any 17). A name's fourth
// group is left open because installers put a build number there.
JavaVersion nameCeiling(const JavaVersion& named);

// The last component of a folder path ("C:\Java\jdk-17\" gives "jdk-17").
std::wstring_view folderName(std::wstring_view folder);

// An absolute folder (drive letter or UNC) from a value such as JAVA_HOME:
// blanks and one pair of enclosing quotes removed, a backslash appended.
// Nothing for an empty or relative value, which would name a folder below
// whatever the working directory happens to be.
std::optional<std::wstring> absoluteFolder(std::wstring_view value);

// The machine type in the headers of a PE image, given its first bytes
// (0x8664 for x64, 0x014C for x86); 0 when they are not a PE image's.
std::uint16_t imageMachine(std::string_view head);

// How much of a JVM library is read for its machine type: its headers lie
// well within.
constexpr std::uint32_t kImageHeadSize = 4096;
// The machine of the runtimes this launcher cannot host itself.
#ifdef _WIN64
constexpr std::uint16_t kOtherMachine = 0x014C;  // x86
#else
constexpr std::uint16_t kOtherMachine = 0x8664;  // x64
#endif

// The first `limit` bytes of a file (fewer when it is shorter); empty when
// it cannot be read.
std::string readFileStart(const std::wstring& path, std::uint32_t limit);

// Whether the extra search runs at all: the setting allows it and the
// JavaSoft family, to which these OpenJDK builds belong, is allowed.
bool commonSearchOpen(const JrePolicy& policy);

// Whether a runtime of this kind may be used under "JVM Source".
bool kindSearched(RuntimeKind kind, const JrePolicy& policy);

// Whether a runtime of this kind is favoured, as a JavaSoft runtime of that
// kind would be.
bool kindFavoured(RuntimeKind kind, const JrePolicy& policy);

// Why a runtime with this version is not admitted, or nothing when it is.
// `known` is false when neither the "release" file nor the name gave a
// version: such a runtime is admitted only when no bound is set.
std::optional<std::wstring_view> versionRejection(const JavaVersion& version, bool known, const JrePolicy& policy);

}  // namespace vexa::jre
