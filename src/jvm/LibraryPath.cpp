#include "jvm/LibraryPath.h"

#include <windows.h>

#include "foundation/PathText.h"
#include "foundation/WinText.h"
#include "jvm/ExpandEnvironment.h"
#include "foundation/Diagnostics.h"

namespace vexa {

std::optional<std::wstring> prepareLibraryPath(const std::wstring& jvmLibraryPath, const std::wstring& configured,
                                               const std::wstring& systemPath, const std::wstring& launcherFolder) {
    std::optional<std::wstring> libraryPath;
    SetEnvironmentVariableW(L"VEXA_JVM_PATH", jvmLibraryPath.c_str());
    const std::wstring javaHome = JavaHomeOf(jvmLibraryPath);
    SetEnvironmentVariableW(L"VEXA_JVM_HOME", javaHome.c_str());
    diag::log(L"environment VEXA_JVM_PATH=%s", jvmLibraryPath);
    diag::log(L"environment VEXA_JVM_HOME=%s", javaHome);

    // Without an inherited Path there is nothing to keep: a "%Path%" left
    // unexpanded would only put a bogus folder on both paths.
    const bool inheritedPath = !environmentValue(L"Path").empty();

    if (configured.find_first_not_of(L' ') != std::wstring::npos) {
        // "/" separates folders in the setting as "\" does.
        libraryPath = ComposeLibraryPath(withBackslashes(configured), launcherFolder,
                                         RuntimeLibFolderOf(jvmLibraryPath), inheritedPath);
        ExpandEnvironment(*libraryPath);
        diag::log(L"java.library.path=%s", *libraryPath);
    } else {
        diag::log(L"java.library.path: not set, \"Library Path\" is empty");
    }

    const std::wstring bin = RuntimeBinFolderOf(jvmLibraryPath);
    const std::wstring system = withBackslashes(systemPath);
    std::wstring path = ComposeSystemPath(system, bin, inheritedPath);
    ExpandEnvironment(path);
    if (path.size() > kLongestVariableValue || path.find(L"%Path%") != std::wstring::npos) {
        // Too long for a variable (or too long to expand): the runtime's bin
        // folder must not be the part that is cut, so room is made in the
        // inherited entries instead.
        std::wstring front = ComposeSystemPath(system, L"", false);
        ExpandEnvironment(front);
        path = FitSystemPath(front, inheritedPath ? environmentValue(L"Path") : std::wstring(), bin);
        diag::log(L"Path too long for an environment variable: inherited entries cut to fit");
    }
    SetEnvironmentVariableW(L"Path", path.c_str());
    diag::log(L"environment Path=%s", path);
    return libraryPath;
}

}  // namespace vexa
