// The settings as the launcher read them at start: the embedded block, the
// main settings file (read once, its content kept for the later steps) and
// the per-user "JRE Path", and every value of the init phase.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/SettingsStore.h"
#include "foundation/Failure.h"
#include "foundation/JrePolicy.h"

namespace vexa {

struct LauncherSettings {
    std::wstring executable;  // the launcher's own full path
    std::wstring mainFile;    // the settings file beside it
    EmbeddedSettings embedded;
    // The main file as read: the later steps read their keys from it instead
    // of reading the file again.
    std::shared_ptr<const ProfileText> content;

    std::wstring productName;
    std::wstring productCode;
    bool isService = false;
    // Everything that steers the runtime search.
    JrePolicy runtime;
    std::wstring jrePath;  // a full path, or empty
    // "JRE Path" came from the per-user file: the user's remembered choice.
    bool jrePathRemembered = false;
    // The main file's "JRE Path" as a full path when the remembered one
    // stands in for it, for the search to fall back on; else empty.
    std::wstring mainJrePath;
    std::wstring mainClass;  // with "/" between its package names
    bool failureCheck = false;
    bool overrideWorkingDir = false;
    std::wstring systemPath;
    std::wstring libraryPath;
    std::wstring pairProduct;  // a full path, or empty
    // "Download URL": the address the "JRE Not Found" dialog links to, or
    // empty for the built-in one.
    std::wstring downloadUrl;
    bool pairReturnCode = false;

    // Reads every key of the init phase for the launcher at `executable`.
    // Fails when the embedded block is damaged, the file is there but cannot
    // be read, or "Main Class" is empty.
    static Result<LauncherSettings> read(const std::wstring& executable);

    // The main file layered over the embedded block, and the main file alone,
    // both over the content read at start.
    LayeredSettingsFile layered() const { return LayeredSettingsFile(mainFile, embedded, content); }
    SettingsFile plain() const { return SettingsFile(mainFile, content); }

    // The per-user settings file of the launcher at `executablePath` (this
    // one or the paired one), under the user's application-data folder, the
    // product folder and the product code; creates the folders when asked.
    // Empty when there is no application-data folder.
    std::wstring perUserPath(const std::wstring& executablePath, bool createFolders) const;

    // Remembers the runtime folder the user chose as "JRE Path": in the
    // per-user files, or for a service in the files beside the executables.
    void storeJrePath(const std::wstring& folder);

    // Whether `address` may stand as the dialog's link: an http: or https:
    // address with something after the scheme, without blanks or control
    // characters.
    static bool isDownloadAddress(std::wstring_view address);

    // Cuts `text` at every `separator`; empty pieces between separators stay,
    // a separator at the very end adds none.
    static std::vector<std::wstring> splitList(const std::wstring& text, const std::wstring& separator);
};

}  // namespace vexa
