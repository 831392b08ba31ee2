// bench-minimal-host: the least a program must do to run a Java main class
// in-process, as the yardstick of the launch benchmark.
//
//   bench-minimal-host JVM_DLL MAIN_CLASS [OPTION...]
//
// Loads the JVM library by its full path, creates the JVM with the options
// (ANSI code page) plus "abort" and "exit" hooks, calls MAIN_CLASS.main (slash
// form) with an empty String array, and destroys the JVM. Exit code 0 when
// main returned, 1 otherwise.
#include <windows.h>

#include <string>
#include <vector>

#include "jvm/Jni.h"

namespace {

void JNICALL onExit(jint) {}
void JNICALL onAbort() {}

std::string ansi(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    HMODULE library = LoadLibraryW(argv[1]);
    if (!library) return 1;
    auto create = reinterpret_cast<CreateJavaVmFn>(GetProcAddress(library, "JNI_CreateJavaVM"));
    if (!create) return 1;

    std::vector<std::string> texts;
    for (int i = 3; i < argc; ++i) texts.push_back(ansi(argv[i]));
    std::vector<JavaVMOption> options;
    for (std::string& text : texts) options.push_back({text.data(), nullptr});
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&onAbort)});
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&onExit)});
    JavaVMInitArgs initArgs{JNI_VERSION_1_2, static_cast<jint>(options.size()), options.data(), JNI_FALSE};

    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &initArgs) != JNI_OK) return 1;
    const std::string mainClass = ansi(argv[2]);
    jclass type = env->FindClass(mainClass.c_str());
    jmethodID main = type ? env->GetStaticMethodID(type, "main", "([Ljava/lang/String;)V") : nullptr;
    jclass stringType = main ? env->FindClass("java/lang/String") : nullptr;
    jobjectArray arguments = stringType ? env->NewObjectArray(0, stringType, nullptr) : nullptr;
    int status = 1;
    if (arguments) {
        env->CallStaticVoidMethod(type, main, arguments);
        status = env->ExceptionOccurred() ? 1 : 0;
    }
    vm->DestroyJavaVM();
    return status;
}
