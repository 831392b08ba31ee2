// The exports of the stand-in jvm.dll. Built once per variant: the
// STANDIN_NO_* definitions leave out one export each.
#include "Vm.h"

#ifndef STANDIN_VARIANT
#define STANDIN_VARIANT "full"
#endif

namespace {
HMODULE self = nullptr;
}

namespace standin {

std::wstring modulePath() {
    wchar_t buffer[32768];
    DWORD length = GetModuleFileNameW(self, buffer, 32768);
    return std::wstring(buffer, length);
}

const char* variantName() { return STANDIN_VARIANT; }

}  // namespace standin

extern "C" {

#ifdef STANDIN_WITH_SUPPORT
__declspec(dllimport) int standinSupportLoaded();
#endif

#ifndef STANDIN_NO_CREATE
__declspec(dllexport) jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    return standin::createJavaVm(vm, env, args);
}
#endif

#ifndef STANDIN_NO_DEFAULTS
__declspec(dllexport) jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) { return standin::defaultInitArgs(args); }
#endif

#ifndef STANDIN_NO_BOOTLOADER
__declspec(dllexport) jclass JNICALL JVM_FindClassFromBootLoader(JNIEnv* env, const char* name) {
    return standin::findClassFromBootLoader(env, name);
}
#endif

__declspec(dllexport) jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize size, jsize* count) {
    bool running = standin::vm().state == standin::VmState::Running;
    if (count != nullptr) *count = running ? 1 : 0;
    if (running && vms != nullptr && size > 0) vms[0] = &standin::vm().javaVm;
    return JNI_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        DisableThreadLibraryCalls(instance);
#ifdef STANDIN_WITH_SUPPORT
        standinSupportLoaded();  // the import that ties this library to jvmsupport.dll
#endif
#ifdef _WIN64
        const char* arch = "x64";
#else
        const char* arch = "x86";
#endif
        standin::RecordLine("load")
            .wide("module", standin::modulePath())
            .bytes("variant", STANDIN_VARIANT)
            .bytes("arch", arch)
            .write();
    }
    return TRUE;
}

}  // extern "C"
