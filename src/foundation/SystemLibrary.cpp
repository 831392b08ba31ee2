#include "foundation/SystemLibrary.h"

namespace vexa {

std::wstring systemFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
        if (length == 0) return {};
        if (length < folder.size()) {
            folder.resize(length);
            if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
            return folder;
        }
        folder.resize(length + 1);
    }
}

Module loadSystemLibrary(const wchar_t* name) {
    const std::wstring folder = systemFolder();
    if (folder.empty()) return Module();
    const std::wstring path = folder + L"\\" + name;
    // The full path decides where the DLL itself comes from; the flag keeps
    // its own dependencies to the system folder too.
    Module module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        // A system without the search flags: the DLL's dependencies are then
        // looked for in its own folder first.
        module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    return module;
}

void keepWorkingFolderOutOfDllSearch() {
    // Naming a DLL folder takes the working folder out of the search order;
    // the system folder is one that is searched anyway, so nothing else
    // changes. (The empty name, which means the same on Windows, is not
    // honoured by every implementation of the API.)
    const std::wstring folder = systemFolder();
    SetDllDirectoryW(folder.empty() ? L"" : folder.c_str());
}

}  // namespace vexa
