#include "foundation/ShellApi.h"

#include "foundation/SystemLibrary.h"

namespace vexa {
namespace {

template <typename Function>
void bind(Function& function, const Module& module, const char* name) {
    if (module) function = reinterpret_cast<Function>(GetProcAddress(module.get(), name));
}

}  // namespace

ShellApi::ShellApi()
    : ole32_(loadSystemLibrary(L"ole32.dll")),
      shell32_(loadSystemLibrary(L"shell32.dll")),
      // By name: the executable's manifest asks for version 6 of the common
      // controls, which the loader takes from the system's side-by-side
      // store; a full path would give the old version 5.
      comctl32_(LoadLibraryW(L"comctl32.dll")) {
    bind(coInitializeEx, ole32_, "CoInitializeEx");
    bind(coUninitialize, ole32_, "CoUninitialize");
    bind(coTaskMemFree, ole32_, "CoTaskMemFree");
    bind(browseForFolder, shell32_, "SHBrowseForFolderW");
    bind(pathFromIdList, shell32_, "SHGetPathFromIDListW");
    bind(knownFolderPath, shell32_, "SHGetKnownFolderPath");
    bind(shellExecute, shell32_, "ShellExecuteW");
    bind(initCommonControlsEx, comctl32_, "InitCommonControlsEx");
}

}  // namespace vexa
