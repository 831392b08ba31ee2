// The JVM's option list as the settings make it: the class path, the user's
// parameters with the memory and stack forms worked out, the output files
// and the arguments of "Cmd".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/LauncherSettings.h"
#include "foundation/Failure.h"
#include "jvm/JvmHost.h"

namespace vexa {

struct JvmLaunchOptions {
    std::vector<std::wstring> options;  // in order, environment references expanded
    std::uint64_t threadStackSize = 0;  // from "-Xss"; 0 when no option sets it
    OutputRedirection output;
    std::wstring commandText;                    // "Cmd", expanded
    std::vector<std::wstring> commandArguments;  // its pieces, appended to the arguments
};

// Fails with the missing-class-path message when no class-path entry is left;
// nothing else is read then.
Result<JvmLaunchOptions> buildJvmOptions(const LauncherSettings& settings);

// Appends the files that the relative or pattern class-path entry `entry`
// names to `accumulator`, each followed by ";". A relative entry lies below
// `launcherFolder` (with its "\").
void ExpandClassPathEntry(const std::wstring& entry, const std::wstring& launcherFolder, std::wstring& accumulator);

// One token of "Virtual Machine Parameters": quotes stripped, a memory
// percentage worked out, a stack size noted in `threadStackSize`.
void ProcessVmParameter(std::wstring token, std::vector<std::wstring>& options, std::uint64_t& threadStackSize);

}  // namespace vexa
