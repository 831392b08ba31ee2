#include "jvm/LibraryPath.h"

#include "foundation/WinText.h"
#include "jvm/ExpandEnvironment.h"
#include "launcher/LauncherApp.h"

namespace vexa {

void LauncherApp::PrepareLibraryPath() {
    SetEnvironmentVariableW(L"VEXA_JVM_PATH", jvmLibraryPath.c_str());
    SetEnvironmentVariableW(L"VEXA_JVM_HOME", JavaHomeOf(jvmLibraryPath).c_str());

    // Without an inherited Path there is nothing to keep: a "%Path%" left
    // unexpanded would only put a bogus folder on both paths.
    const bool inheritedPath = !environmentValue(L"Path").empty();

    if (libraryPath.find_first_not_of(L' ') != std::wstring::npos) {
        std::wstring launcherFolder;
        GetLauncherFolder(launcherFolder);
        libraryPath =
            ComposeLibraryPath(libraryPath, launcherFolder, RuntimeLibFolderOf(jvmLibraryPath), inheritedPath);
        ExpandEnvironment(libraryPath);
        jvmOptions.Add(L"-Djava.library.path=" + libraryPath);
    }

    std::wstring path = ComposeSystemPath(systemPath, RuntimeBinFolderOf(jvmLibraryPath), inheritedPath);
    ExpandEnvironment(path);
    SetEnvironmentVariableW(L"Path", path.c_str());
}

}  // namespace vexa
