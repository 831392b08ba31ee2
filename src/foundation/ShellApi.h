// The shell, COM and common-control functions that only the "JRE Not Found"
// dialog and the per-user folder lookup need. They are bound when such an
// object is made, so that a normal start loads none of their DLLs (shell32
// and ole32 bring a dozen more with them, a large part of a start's cost).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "foundation/Handle.h"

namespace vexa {

class ShellApi {
public:
    // Loads shell32 and ole32 from the system folder and the common controls
    // of the executable's manifest. A function that cannot be bound stays
    // null; every caller checks.
    ShellApi();

    HRESULT(WINAPI* coInitializeEx)(LPVOID, DWORD) = nullptr;
    void(WINAPI* coUninitialize)() = nullptr;
    void(WINAPI* coTaskMemFree)(LPVOID) = nullptr;
    PIDLIST_ABSOLUTE(WINAPI* browseForFolder)(LPBROWSEINFOW) = nullptr;
    BOOL(WINAPI* pathFromIdList)(PCIDLIST_ABSOLUTE, LPWSTR) = nullptr;
    HRESULT(WINAPI* knownFolderPath)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*) = nullptr;
    HINSTANCE(WINAPI* shellExecute)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) = nullptr;
    BOOL(WINAPI* initCommonControlsEx)(const INITCOMMONCONTROLSEX*) = nullptr;

private:
    Module ole32_;
    Module shell32_;
    Module comctl32_;
};

}  // namespace vexa
