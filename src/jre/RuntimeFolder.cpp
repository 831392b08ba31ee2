// A runtime folder named by the user: "JRE Path", remembered or not, and the
// folder chosen in the "JRE Not Found" dialog.
#include "foundation/Diagnostics.h"
#include "jre/CommonRuntimes.h"
#include "jre/JreLocator.h"

namespace vexa {

JreLocator::RuntimeFolder JreLocator::inspectFolder(const std::wstring& home, const JrePolicy& policy) {
    RuntimeFolder folder;
    bool isServer = false;
    const std::wstring root = jre::withTrailingBackslash(home);
    folder.library = probeJvmLibrary(root, policy.jvmType, isServer);
    if (folder.library.empty()) return folder;
    constexpr std::uint32_t kReleaseFileLimit = 64 * 1024;  // a real one is under 2 KiB
    folder.version = jre::releaseFileVersion(jre::readFileStart(root + L"release", kReleaseFileLimit));
    // Only a known version is held against the bounds: a runtime without a
    // "release" file is taken on trust, as it always was.
    if (folder.version) folder.outsideBounds = jre::versionRejection(*folder.version, true, policy);
    return folder;
}

bool JreLocator::takeJrePath(const std::wstring& jrePath, bool remembered) {
    const RuntimeFolder folder = inspectFolder(jrePath, policy_);
    const wchar_t* const what = remembered ? L"remembered \"JRE Path\"" : L"\"JRE Path\"";
    if (folder.library.empty()) {
        diag::log(remembered
                      ? L"%s %s: passed over, it is gone or holds no JVM library for its \"JVM Type\"; the search goes on"
                      : L"%s %s: rejected, no JVM library for its \"JVM Type\"",
                  what, jrePath);
        return false;
    }
    const std::wstring version = folder.version ? folder.version->toText() : std::wstring(L"unknown (no \"release\" file)");
    if (folder.outsideBounds && remembered) {
        diag::log(L"%s %s: version %s, passed over, %s; the search goes on", what, jrePath, version, *folder.outsideBounds);
        return false;
    }
    if (folder.outsideBounds)
        diag::log(L"\"JRE Path\" %s: warning, version %s is %s; used all the same, as the application's own runtime",
                  jrePath, version, *folder.outsideBounds);
    diag::log(L"%s %s: chosen, version %s, %s", what, jrePath, version, folder.library);
    choice_.runPairProduct = needsPairedLauncher(folder.library, places_.pairProduct);
    choice_.jvmLibraryPath = folder.library;
    return true;
}

}  // namespace vexa
