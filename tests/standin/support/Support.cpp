// jvmsupport.dll: a DLL that the "with-support" jvm.dll imports, as a real
// runtime's JVM library imports the C runtime DLLs beside it in "bin\". It
// records which copy of it was loaded.
#include <windows.h>

#include <string>

#include "Record.h"

namespace {
HMODULE self = nullptr;
}

extern "C" {

__declspec(dllexport) int standinSupportLoaded() { return self != nullptr; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        DisableThreadLibraryCalls(instance);
        wchar_t buffer[32768];
        DWORD length = GetModuleFileNameW(instance, buffer, 32768);
        standin::RecordLine("support-load").wide("module", std::wstring(buffer, length)).write();
    }
    return TRUE;
}

}  // extern "C"
