// Folders derived from the JVM library path and the texts of the
// "-Djava.library.path=" option and the "Path" variable. Free of the platform
// API; the library-path step puts them into the environment.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/PathText.h"

namespace vexa {

// For C:\Java\jre\bin\server\jvm.dll: C:\Java\jre, C:\Java\jre\bin, C:\Java\jre\lib.
std::wstring JavaHomeOf(std::wstring_view jvmLibraryPath);
std::wstring RuntimeBinFolderOf(std::wstring_view jvmLibraryPath);
std::wstring RuntimeLibFolderOf(std::wstring_view jvmLibraryPath);

// The library path before environment expansion: the configured folders, the
// launcher folder (with its "\"), ".", the inherited Path (as the reference
// "%Path%", left out when `withInheritedPath` is false) and the runtime's lib
// folder, separated by ";". Blanks around the configured value are dropped.
std::wstring ComposeLibraryPath(std::wstring_view libraryPath, std::wstring_view launcherFolder,
                                std::wstring_view runtimeLibFolder, bool withInheritedPath);

// The new "Path" before environment expansion: the configured system path,
// the inherited Path (as "%Path%", left out when `withInheritedPath` is false)
// and the runtime's bin folder.
std::wstring ComposeSystemPath(std::wstring_view systemPath, std::wstring_view runtimeBinFolder,
                               bool withInheritedPath);

// The longest value an environment variable takes (32,767 characters with
// its terminating NUL; some systems cut one earlier).
constexpr std::size_t kLongestVariableValue = 32766;

// A "Path" that fits in `limit` characters: `front` (the configured system
// path, expanded, with its ";"), then the inherited entries from the first
// on as far as they fit whole, then the runtime's bin folder. Entries of the
// inherited value that would push the bin folder out are dropped.
std::wstring FitSystemPath(std::wstring_view front, std::wstring_view inherited, std::wstring_view runtimeBinFolder,
                           std::size_t limit = kLongestVariableValue);

// Sets VEXA_JVM_PATH, VEXA_JVM_HOME and "Path" for the runtime at
// `jvmLibraryPath`, and works out "Library Path" (`configured`): the value of
// "-Djava.library.path=", or none when the setting is blank.
std::optional<std::wstring> prepareLibraryPath(const std::wstring& jvmLibraryPath, const std::wstring& configured,
                                               const std::wstring& systemPath, const std::wstring& launcherFolder);

}  // namespace vexa
