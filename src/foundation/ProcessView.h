// What the process knows of itself: its executable, its command line, its
// working folder, and the user's application-data folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

// The executable's full path, the buffer growing until the whole path fits:
// a path cut at 260 characters would name the wrong settings file. Zero on
// success, else the Windows error code.
std::uint32_t queryExecutablePath(std::wstring& path);

// The folder of a file path, with its "\"; empty when the path has none.
std::wstring folderOf(const std::wstring& path);

// The application's arguments: the process command line without the program
// name. `executable` helps to recognise an unquoted program name with blanks.
std::vector<std::wstring> readArguments(const std::wstring& executable);

// Makes the executable's folder the working folder.
void applyWorkingDirectory(const std::wstring& executable);

// Whether one argument is exactly "-nosplash" or "/nosplash".
bool hasNoSplashSwitch(const std::vector<std::wstring>& arguments);

// Whether two paths name the same file or folder (also through another
// spelling, a short name or a hard link). False when either cannot be opened.
bool isSameFile(const std::wstring& a, const std::wstring& b);

// The user's application-data folder: "APPDATA" when it holds a full path,
// else the shell's roaming application-data folder; empty when neither exists.
std::wstring userDataFolder();

}  // namespace vexa
