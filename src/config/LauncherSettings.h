// The settings reader: fills the launcher's configuration fields from the
// settings files.
#pragma once

#include <string>
#include <vector>

namespace vexa {

class LauncherApp;

class LauncherSettings {
public:
    // Reads every key of the init phase into `app`. False when the settings
    // file path cannot be derived or "Main Class" is empty (reported).
    static bool read(LauncherApp& app);

    // Cuts `text` at every `separator`; empty pieces between separators stay,
    // a separator at the very end adds none.
    static std::vector<std::wstring> splitList(const std::wstring& text, const std::wstring& separator);

    // Remembers the runtime folder the user chose as "JRE Path".
    static void storeJrePath(LauncherApp& app, const std::wstring& folder);
};

}  // namespace vexa
