// bench-minimal-host: the least a GUI program must do to run a Java main
// class in-process, as the yardstick of the launch benchmark.
//
//   bench-minimal-host [--java-thread] [--listener-thread] OPTIONS_FILE
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
// With --java-thread the JVM is created, main called and the JVM destroyed
// on a new thread that the entry thread waits for, as the java command and
// vexa.exe run main: the yardstick for memory, since a thread has a cost of
// its own. --listener-thread adds a thread that waits, with a message queue,
// from before the JVM starts until it is destroyed, as the single-instance
// listener of vexa.exe does.
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

// Creates the JVM, calls main and destroys the JVM: the exit code.
int runJava(const std::vector<std::string>& lines, CreateJavaVmFn create) {
    std::vector<std::string> bytes(lines.begin() + 2, lines.end());
    std::vector<JavaVMOption> options;
    for (std::string& option : bytes) options.push_back({option.data(), nullptr});
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
    return status;
}

struct JavaThread {
    const std::vector<std::string>* lines;
    CreateJavaVmFn create;
    int status;
};

DWORD WINAPI listenerThread(void* context) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's message queue
    MsgWaitForMultipleObjectsEx(1, static_cast<HANDLE*>(context), INFINITE, QS_POSTMESSAGE, 0);
    return 0;
}

DWORD WINAPI javaThread(void* context) {
    auto* run = static_cast<JavaThread*>(context);
    run->status = runJava(*run->lines, run->create);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    VEXA_STEP("entry");
    DefWindowProcW(nullptr, 0, 0, 0);
    const bool ownThread = argc > 1 && std::wstring(argv[1]) == L"--java-thread";
    if (ownThread) --argc, ++argv;
    const bool listener = argc > 1 && std::wstring(argv[1]) == L"--listener-thread";
    if (listener) --argc, ++argv;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE listening = listener ? CreateThread(nullptr, 0, &listenerThread, &stop, 0, nullptr) : nullptr;
    std::vector<std::string> lines;
    if (argc < 2 || !readLines(argv[1], lines)) return 2;
    VEXA_STEP("window-system start-up, options file");
    HMODULE library = LoadLibraryW(fromUtf8(lines[0]).c_str());
    if (!library) return 1;
    auto create = reinterpret_cast<CreateJavaVmFn>(GetProcAddress(library, "JNI_CreateJavaVM"));
    if (!create) return 1;
    VEXA_STEP("JVM library load");

    int status = 1;
    if (ownThread) {
        JavaThread run{&lines, create, 1};
        HANDLE thread = CreateThread(nullptr, 0, &javaThread, &run, 0, nullptr);
        if (!thread) return 1;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        status = run.status;
    } else {
        status = runJava(lines, create);
    }
    if (listening) {
        SetEvent(stop);
        WaitForSingleObject(listening, INFINITE);
        CloseHandle(listening);
    }
    CloseHandle(stop);
    VEXA_STEP_REPORT();
    return status;
}
