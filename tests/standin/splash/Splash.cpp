// The stand-in of a runtime's native splash-screen library: records each
// call with its narrow-string arguments. Built twice: STANDIN_NO_JAR_NAME
// leaves out "SplashSetFileJarName".
#include <windows.h>

#include "Record.h"
#include "jvm/Jni.h"

#ifndef STANDIN_VARIANT
#define STANDIN_VARIANT "full"
#endif

namespace {

HMODULE self = nullptr;

std::wstring modulePath() {
    wchar_t buffer[32768];
    DWORD length = GetModuleFileNameW(self, buffer, 32768);
    return std::wstring(buffer, length);
}

void withText(standin::RecordLine& line, const char* key, const char* text) {
    if (text == nullptr)
        line.flag(std::string(key) + "-null", true);
    else
        line.bytes(key, text);
}

}  // namespace

extern "C" {

__declspec(dllexport) void JNICALL SplashInit() { standin::RecordLine("splash-init").write(); }

__declspec(dllexport) int JNICALL SplashLoadFile(const char* path) {
    standin::RecordLine line("splash-load-file");
    withText(line, "path", path);
    bool found = path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    line.flag("exists", found).write();
    return found ? 1 : 0;
}

#ifndef STANDIN_NO_JAR_NAME
__declspec(dllexport) void JNICALL SplashSetFileJarName(const char* path, const char* jarName) {
    standin::RecordLine line("splash-jar-name");
    withText(line, "path", path);
    withText(line, "jar", jarName);
    line.write();
}
#endif

__declspec(dllexport) void JNICALL SplashClose() { standin::RecordLine("splash-close").write(); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        DisableThreadLibraryCalls(instance);
        standin::RecordLine("splash-load").wide("module", modulePath()).bytes("variant", STANDIN_VARIANT).write();
    }
    return TRUE;
}

}  // extern "C"
