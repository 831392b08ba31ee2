// bench-minimal-host: the least a GUI program must do to run a Java main
// class in-process, as the yardstick of the launch benchmark.
//
//   bench-minimal-host OPTIONS_FILE
//
// OPTIONS_FILE holds, one per line ("\n"), the JVM library's full path
// (UTF-8), the main class in slash form, and then each JVM option's exact
// bytes. A file rather than the command line, since a class path of
// a thousand jars does not fit on a command line.
//
// Starts the thread's window system as vexa.exe does (one DefWindowProcW
// call), loads the JVM library by its full path, creates the JVM with the
// options plus "abort" and "exit" hooks, calls main with an empty String
// array, and destroys the JVM. Exit code 0 when main returned, 1 otherwise.
//
// With VEXA_STEP_LOG set it writes its own steps there, through the same
// recorder as vexa-steps.exe, so that the runtime's share of both can be put
// side by side.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/StepTiming.h"
#include "jvm/Jni.h"

namespace {

void JNICALL onExit(jint) {}
void JNICALL onAbort() {}

std::wstring fromUtf8(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

bool readLines(const wchar_t* path, std::vector<std::string>& lines) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const bool ok = ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr) && read == text.size();
    CloseHandle(file);
    size_t start = 0;
    while (ok && start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return ok && lines.size() >= 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    VEXA_STEP("entry");
    DefWindowProcW(nullptr, 0, 0, 0);
    std::vector<std::string> lines;
    if (argc < 2 || !readLines(argv[1], lines)) return 2;
    VEXA_STEP("window-system start-up, options file");
    HMODULE library = LoadLibraryW(fromUtf8(lines[0]).c_str());
    if (!library) return 1;
    auto create = reinterpret_cast<CreateJavaVmFn>(GetProcAddress(library, "JNI_CreateJavaVM"));
    if (!create) return 1;
    VEXA_STEP("JVM library load");

    std::vector<JavaVMOption> options;
    for (size_t i = 2; i < lines.size(); ++i) options.push_back({lines[i].data(), nullptr});
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&onAbort)});
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&onExit)});
    JavaVMInitArgs initArgs{JNI_VERSION_1_2, static_cast<jint>(options.size()), options.data(), JNI_FALSE};

    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &initArgs) != JNI_OK) return 1;
    VEXA_STEP("JVM creation");
    jclass type = env->FindClass(lines[1].c_str());
    jmethodID main = type ? env->GetStaticMethodID(type, "main", "([Ljava/lang/String;)V") : nullptr;
    jclass stringType = main ? env->FindClass("java/lang/String") : nullptr;
    jobjectArray arguments = stringType ? env->NewObjectArray(0, stringType, nullptr) : nullptr;
    int status = 1;
    if (arguments) {
        env->CallStaticVoidMethod(type, main, arguments);
        status = env->ExceptionOccurred() ? 1 : 0;
    }
    VEXA_STEP("main class and main method");
    vm->DestroyJavaVM();
    VEXA_STEP("JVM destruction");
    VEXA_STEP_REPORT();
    return status;
}
