// Loading Windows' own DLLs at run time without giving a planted copy a
// chance: beside the application, in the working folder or on the Path.
#pragma once

#include <string>

#include "foundation/Handle.h"

namespace vexa {

// The Windows system folder (System32), without a trailing backslash; empty
// when it cannot be read.
std::wstring systemFolder();

// Loads the Windows DLL `name` (for example L"dbghelp.dll") from the system
// folder only; the DLLs it needs are looked for there as well. Null when it
// cannot be loaded.
Module loadSystemLibrary(const wchar_t* name);

// Takes the working folder out of the DLL search order of this process, for
// every later load, while the application's folder and the Path stay where
// they were (the Java runtime's own DLLs are found through the Path). Called
// first thing at process entry.
void keepWorkingFolderOutOfDllSearch();

}  // namespace vexa
