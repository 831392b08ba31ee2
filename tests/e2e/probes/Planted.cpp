// planted.dll: what an attacker would put beside a program under the name of
// a Windows DLL (copied as Dbghelp.dll, gdiplus.dll, bcrypt.dll, ...). When
// it is loaded it leaves a mark, a file named like itself plus ".loaded", and
// it serves the calls that the launcher and vexa-embed make of the real ones
// badly: no image headers, and a nonce of zeros.
#include <windows.h>

#include <string>

extern "C" {

__declspec(dllexport) void* WINAPI ImageNtHeader(void*) { return nullptr; }

__declspec(dllexport) LONG WINAPI BCryptGenRandom(void*, UCHAR* buffer, ULONG size, ULONG) {
    for (ULONG i = 0; i < size; ++i) buffer[i] = 0;
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[32768];
        DWORD length = GetModuleFileNameW(instance, path, 32768);
        const std::wstring mark = std::wstring(path, length) + L".loaded";
        HANDLE file = CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}

}  // extern "C"
