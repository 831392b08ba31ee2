// Names of the settings files, derived from executable paths and product
// settings. Free of the platform API.
#pragma once

#include <string>

namespace vexa {

// The settings file beside an executable: its path with the extension of the
// file name replaced by "ini" (C:\apps\Tool.2024.exe gives
// C:\apps\Tool.2024.ini); a file name without extension gets ".ini" added.
std::wstring settingsPathBeside(const std::wstring& executablePath);

// The file name of a per-user settings file: the executable's file name cut
// before its last "." (when it has one), followed by ".ini".
std::wstring settingsFileName(const std::wstring& executablePath);

// "Product Name" or "Product Code" as one folder name below the user's
// application-data folder: without the characters that cannot stand in a
// folder name (\ ? " | > < : / *) and without dots and blanks at its end, so
// that "..", "." or ". " never lead out of it; every other character stays.
std::wstring productFolderName(const std::wstring& productName);

// appData\product folder\product code\file name; every "\" is added even
// when a part is empty. When both the product folder and the code are empty,
// appData\base name\file name instead. Empty when `appData` is empty: there
// is no per-user file then.
std::wstring perUserSettingsPath(const std::wstring& appData, const std::wstring& productName,
                                 const std::wstring& productCode, const std::wstring& executablePath);

}  // namespace vexa
