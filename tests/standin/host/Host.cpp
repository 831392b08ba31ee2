// standin-host: a small Windows program of the test suite that drives a
// jvm.dll through the calls the launcher makes (load and resolve the
// exports, default arguments, creation with the hooks, stream redirection,
// the main class with the LauncherHelper and FindClass lookups, the
// exception trace, secondaryMain on an attached thread, detach, destroy),
// plus a few deliberate misuses. What it decides is appended to the record
// as "host-..." lines.
//
//   standin-host [--thread-stack BYTES] STEP...
//
// Steps, run in order on the Java main thread (destroy runs afterwards on
// the process's first thread, as the launcher's teardown does):
//   load PATH              LoadLibraryW and resolve the three exports
//   default-args           ask JNI_GetDefaultJavaVMInitArgs for the stack size
//   option TEXT            a JVM option (converted with the ANSI code page)
//   option-hex HEX         a JVM option given as exact bytes
//   version HEX            JavaVMInitArgs version (default 00010002)
//   ignore-unrecognized    ignoreUnrecognized = JNI_TRUE
//   no-hooks               leave out the "abort" and "exit" options
//   create                 JNI_CreateJavaVM
//   out PATH | out-append PATH | err PATH | err-append PATH   redirect System.out/err
//   arg TEXT | arg-hex HEX4...   an argument for main (hex: UTF-16 units)
//   failure-check          after main throws, build the trace text and record it
//   main CLASS             find and call the main class (dotted name)
//   secondary CLASS        call secondaryMain on a new attached thread (args from sarg)
//   sarg TEXT              an argument for secondaryMain
//   detach                 DetachCurrentThread
//   no-detach              main does not detach afterwards
//   exit N                 System.exit(N) through JNI
//   find NAME              FindClass; a pending exception is printed with ExceptionDescribe
//   find-keep NAME         FindClass, leaving an exception pending
//   vfprintf-hook          hand the runtime a "vfprintf" hook (as the first option)
//   getenv                 GetEnv on this thread
//   deleted-ref            use a local reference after deleting it (misuse)
//   foreign-local          use this thread's local reference on another attached thread (misuse)
//   release-twice          release GetStringUTFChars bytes twice (misuse)
//   fatal-error TEXT       FatalError
//   native-thread MS       a native thread attached as "worker" that detaches after MS
//   daemon-thread MS       the same, attached as a daemon
//   frames                 a local frame: PushLocalFrame, a string, PopLocalFrame keeping it
//   mismatch               CallObjectMethod on a void method (printStackTrace)
//   utf-hex HEX            NewStringUTF with these exact bytes
//   locals N               N new local references, kept
//   ensure N               EnsureLocalCapacity(N)
//   unchecked              a Call function, then FindClass without an exception check
//   destroy-twice          as destroy, then DestroyJavaVM once more
//   utf16-hex HEX4...      a Java string from UTF-16 units, then GetStringUTFChars
//   slot N                 call JNIEnv slot N (an unimplemented one traps)
//   unattached-call        FindClass from a thread that never attached
//   splash DLL IMAGE       load a splash library and call it as the launcher does
//   splash-close           call its SplashClose
//   sleep MS
//   destroy                DestroyJavaVM at the end, from the first thread
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Record.h"
#include "jvm/Jni.h"

namespace {

using standin::RecordLine;

struct Host {
    std::vector<std::wstring> steps;
    HMODULE library = nullptr;
    CreateJavaVmFn create = nullptr;
    GetDefaultJavaVmInitArgsFn defaults = nullptr;
    FindClassFromBootLoaderFn bootLoader = nullptr;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    std::vector<std::string> options;
    jint version = JNI_VERSION_1_2;
    bool ignoreUnrecognized = false;
    bool hooks = true;
    bool vfprintfHook = false;
    bool failureCheck = false;
    bool detachAfterMain = true;
    bool destroy = false;
    bool destroyTwice = false;
    std::vector<std::wstring> arguments;
    std::vector<std::wstring> secondaryArguments;
    void(JNICALL* splashClose)() = nullptr;
};

Host host;

void JNICALL exitHook(jint status) { RecordLine("host-exit-hook").number("status", status).write(); }
void JNICALL abortHook() { RecordLine("host-abort-hook").write(); }

jint JNICALL vfprintfHook(void*, const char* format, va_list args) {
    char buffer[4096];
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    RecordLine("host-vfprintf").bytes("text", std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0)).write();
    return length;
}

std::string ansi(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string hexBytes(const std::wstring& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

std::wstring hexUnits(const std::wstring& hex) {
    std::wstring out;
    for (size_t i = 0; i + 3 < hex.size(); i += 4) out += static_cast<wchar_t>(std::stoi(hex.substr(i, 4), nullptr, 16));
    return out;
}

// A Java string holding exactly the UTF-16 units of `text`.
jstring newJavaString(JNIEnv* env, const std::wstring& text) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jmethodID init = env->GetMethodID(stringClass, "<init>", "([C)V");
    if (init == nullptr) return nullptr;
    jcharArray chars = env->NewCharArray(static_cast<jsize>(text.size()));
    if (chars == nullptr) return nullptr;
    env->SetCharArrayRegion(chars, 0, static_cast<jsize>(text.size()), reinterpret_cast<const jchar*>(text.data()));
    jstring result = nullptr;
    if (env->ExceptionOccurred() == nullptr)
        result = static_cast<jstring>(env->NewObject(stringClass, init, chars));
    env->DeleteLocalRef(chars);
    return result;
}

jobjectArray newJavaStringArray(JNIEnv* env, const std::vector<std::wstring>& items) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (stringClass == nullptr) return nullptr;
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(items.size()), stringClass, nullptr);
    if (array == nullptr) return nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        jstring item = newJavaString(env, items[i]);
        if (item == nullptr) return nullptr;
        env->SetObjectArrayElement(array, static_cast<jsize>(i), item);
        env->DeleteLocalRef(item);
        if (env->ExceptionCheck()) return nullptr;
    }
    return array;
}

bool load(const std::wstring& path) {
    host.library = LoadLibraryW(path.c_str());
    if (host.library == nullptr) {
        RecordLine("host-load").wide("path", path).number("error", GetLastError()).write();
        return false;
    }
    host.create = reinterpret_cast<CreateJavaVmFn>(GetProcAddress(host.library, "JNI_CreateJavaVM"));
    host.defaults = reinterpret_cast<GetDefaultJavaVmInitArgsFn>(GetProcAddress(host.library, "JNI_GetDefaultJavaVMInitArgs"));
    host.bootLoader = reinterpret_cast<FindClassFromBootLoaderFn>(GetProcAddress(host.library, "JVM_FindClassFromBootLoader"));
    RecordLine("host-load")
        .wide("path", path)
        .number("error", 0)
        .flag("create", host.create != nullptr)
        .flag("defaults", host.defaults != nullptr)
        .flag("bootloader", host.bootLoader != nullptr)
        .write();
    return host.create != nullptr && host.defaults != nullptr;
}

bool createVm() {
    std::vector<JavaVMOption> options;
    // First, so that it already receives the messages about the options after it.
    if (host.vfprintfHook) options.push_back({const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&vfprintfHook)});
    for (auto& option : host.options) options.push_back({option.data(), nullptr});
    if (host.hooks) {
        options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&abortHook)});
        options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)});
    }
    JavaVMInitArgs args{};
    args.version = host.version;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    args.ignoreUnrecognized = host.ignoreUnrecognized ? JNI_TRUE : JNI_FALSE;
    jint result = host.create(&host.vm, reinterpret_cast<void**>(&host.env), &args);
    RecordLine("host-create").number("result", result).flag("vm", host.vm != nullptr).write();
    return result == JNI_OK;
}

bool redirect(const std::wstring& path, bool append, bool out) {
    JNIEnv* env = host.env;
    bool ok = [&] {
        jstring javaPath = newJavaString(env, path);
        if (javaPath == nullptr) return false;
        jclass fileClass = env->FindClass("java/io/FileOutputStream");
        if (fileClass == nullptr) return false;
        jmethodID fileInit = env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;Z)V");
        if (fileInit == nullptr) return false;
        jobject file = env->NewObject(fileClass, fileInit, javaPath, append ? JNI_TRUE : JNI_FALSE);
        if (file == nullptr) return false;
        jclass printClass = env->FindClass("java/io/PrintStream");
        if (printClass == nullptr) return false;
        jmethodID printInit = env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V");
        if (printInit == nullptr) return false;
        jobject print = env->NewObject(printClass, printInit, file);
        if (print == nullptr) return false;
        jclass system = env->FindClass("java/lang/System");
        if (system == nullptr) return false;
        jmethodID set = env->GetStaticMethodID(system, out ? "setOut" : "setErr", "(Ljava/io/PrintStream;)V");
        if (set == nullptr) return false;
        env->CallStaticVoidMethod(system, set, print);
        return env->ExceptionOccurred() == nullptr;
    }();
    if (!ok && env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
    RecordLine("host-redirect").bytes("stream", out ? "out" : "err").flag("ok", ok).write();
    return ok;
}

std::wstring stackTraceText(JNIEnv* env, jthrowable throwable) {
    jclass bytesClass = env->FindClass("java/io/ByteArrayOutputStream");
    if (bytesClass == nullptr) return {};
    jmethodID bytesInit = env->GetMethodID(bytesClass, "<init>", "()V");
    if (bytesInit == nullptr) return {};
    jobject bytes = env->NewObject(bytesClass, bytesInit);
    if (bytes == nullptr) return {};
    jclass printClass = env->FindClass("java/io/PrintStream");
    if (printClass == nullptr) return {};
    jmethodID printInit = env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V");
    if (printInit == nullptr) return {};
    jobject print = env->NewObject(printClass, printInit, bytes);
    if (print == nullptr) return {};
    jclass throwableClass = env->GetObjectClass(throwable);
    jmethodID printTrace = env->GetMethodID(throwableClass, "printStackTrace", "(Ljava/io/PrintStream;)V");
    if (printTrace == nullptr) return {};
    env->CallVoidMethod(throwable, printTrace, print);
    if (env->ExceptionOccurred() != nullptr) env->ExceptionDescribe();
    jmethodID toString = env->GetMethodID(env->GetObjectClass(bytes), "toString", "()Ljava/lang/String;");
    if (toString == nullptr) return {};
    auto text = static_cast<jstring>(env->CallObjectMethod(bytes, toString));
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    if (text == nullptr) return {};
    const jchar* units = env->GetStringChars(text, nullptr);
    std::wstring out(reinterpret_cast<const wchar_t*>(units), static_cast<size_t>(env->GetStringLength(text)));
    env->ReleaseStringChars(text, units);
    return out;
}

bool callMain(const std::wstring& dottedName) {
    JNIEnv* env = host.env;
    std::wstring slashName = dottedName;
    for (auto& c : slashName)
        if (c == L'.') c = L'/';
    jclass mainClass = nullptr;
    if (host.bootLoader != nullptr) {
        jclass helper = host.bootLoader(env, "sun/launcher/LauncherHelper");
        if (helper != nullptr) {
            jmethodID check = env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
            if (check != nullptr) {
                jstring name = newJavaString(env, dottedName);
                if (name != nullptr)
                    mainClass = static_cast<jclass>(env->CallStaticObjectMethod(helper, check, JNI_TRUE, 1, name));
            }
        }
        if (env->ExceptionCheck()) {
            env->ExceptionClear();
            mainClass = nullptr;
        }
    }
    RecordLine("host-helper").flag("found", mainClass != nullptr).write();
    if (mainClass == nullptr) {
        jstring name = newJavaString(env, slashName);
        if (name == nullptr) return false;
        const char* bytes = env->GetStringUTFChars(name, nullptr);
        if (bytes == nullptr) {
            env->ExceptionDescribe();
            return false;
        }
        mainClass = env->FindClass(bytes);
        env->ReleaseStringUTFChars(name, bytes);
        if (mainClass == nullptr) {
            env->ExceptionDescribe();
            RecordLine("host-main").bytes("result", "class-not-found").write();
            return false;
        }
    }
    jmethodID main = env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
    if (main == nullptr) {
        bool pending = env->ExceptionOccurred() != nullptr;
        if (pending) env->ExceptionDescribe();
        RecordLine("host-main").bytes("result", pending ? "no-main-exception" : "no-main").write();
        return false;
    }
    jobjectArray args = newJavaStringArray(env, host.arguments);
    if (args == nullptr) {
        env->ExceptionDescribe();
        return false;
    }
    env->CallStaticVoidMethod(mainClass, main, args);
    jthrowable thrown = env->ExceptionOccurred();
    RecordLine("host-main").bytes("result", thrown != nullptr ? "threw" : "returned").write();
    if (thrown != nullptr && host.failureCheck) {
        env->ExceptionClear();
        RecordLine("host-trace").wide("text", stackTraceText(env, thrown)).write();
    }
    if (host.detachAfterMain) {
        jint result = host.vm->DetachCurrentThread();
        RecordLine("host-detach").number("result", result).write();
        host.env = nullptr;
        return result == JNI_OK;
    }
    return true;
}

DWORD WINAPI serveSecondary(void* parameter) {
    auto* className = static_cast<std::wstring*>(parameter);
    JNIEnv* env = nullptr;
    if (host.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return 1;
    std::string name = ansi(*className);
    for (auto& c : name)
        if (c == '.') c = '/';
    DWORD status = 1;
    jclass cls = env->FindClass(name.c_str());
    if (cls != nullptr) {
        bool isInt = false;
        jmethodID method = env->GetStaticMethodID(cls, "secondaryMain", "([Ljava/lang/String;)V");
        if (env->ExceptionOccurred() != nullptr) env->ExceptionClear();
        if (method == nullptr) {
            method = env->GetStaticMethodID(cls, "secondaryMain", "([Ljava/lang/String;)I");
            isInt = true;
        }
        if (method == nullptr) {
            env->ExceptionDescribe();
        } else if (jobjectArray args = newJavaStringArray(env, host.secondaryArguments)) {
            jint result = 0;
            if (isInt)
                result = env->CallStaticIntMethod(cls, method, args);
            else
                env->CallStaticVoidMethod(cls, method, args);
            RecordLine("host-secondary").flag("int", isInt).number("result", result).write();
            if (env->ExceptionOccurred() != nullptr)
                env->ExceptionDescribe();
            else
                status = 0;
        }
    }
    host.vm->DetachCurrentThread();
    return status;
}

DWORD WINAPI foreignLocal(void* parameter) {
    JNIEnv* env = nullptr;
    host.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
    env->GetStringLength(static_cast<jstring>(parameter));  // a local reference of the first thread
    host.vm->DetachCurrentThread();
    return 0;
}

struct NativeThread {
    DWORD ms;
    bool daemon;
    HANDLE attached;  // set once the thread is attached; the step waits for it
};

DWORD WINAPI nativeThread(void* parameter) {
    std::unique_ptr<NativeThread> job(static_cast<NativeThread*>(parameter));
    JNIEnv* env = nullptr;
    JavaVMAttachArgs args{JNI_VERSION_1_2, const_cast<char*>("worker"), nullptr};
    jint result = job->daemon ? host.vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &args)
                              : host.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), &args);
    RecordLine("host-native-thread").flag("daemon", job->daemon).number("attach", result).write();
    SetEvent(job->attached);
    Sleep(job->ms);
    RecordLine("host-native-thread-end").flag("daemon", job->daemon).write();
    host.vm->DetachCurrentThread();
    return 0;
}

DWORD WINAPI unattachedCall(void*) {
    host.env->FindClass("java/lang/String");  // the first thread's environment, on a thread that never attached
    return 0;
}

int runSteps() {
    auto& s = host.steps;
    for (size_t i = 0; i < s.size(); ++i) {
        const std::wstring& step = s[i];
        auto next = [&]() -> std::wstring { return i + 1 < s.size() ? s[++i] : std::wstring(); };
        if (step == L"load") {
            if (!load(next())) return 2;
        } else if (step == L"default-args") {
            JDK1_1InitArgs args{};
            args.version = JNI_VERSION_1_1;
            jint result = host.defaults(&args);
            RecordLine("host-default-args").number("result", result).number("stack", args.javaStackSize)
                .hex("version", static_cast<unsigned long>(args.version)).write();
        } else if (step == L"option") {
            host.options.push_back(ansi(next()));
        } else if (step == L"option-hex") {
            host.options.push_back(hexBytes(next()));
        } else if (step == L"version") {
            host.version = static_cast<jint>(std::stoul(next(), nullptr, 16));
        } else if (step == L"ignore-unrecognized") {
            host.ignoreUnrecognized = true;
        } else if (step == L"no-hooks") {
            host.hooks = false;
        } else if (step == L"create") {
            if (!createVm()) return 1;
        } else if (step == L"out" || step == L"out-append" || step == L"err" || step == L"err-append") {
            redirect(next(), step.find(L"append") != std::wstring::npos, step[0] == L'o');
        } else if (step == L"arg") {
            host.arguments.push_back(next());
        } else if (step == L"arg-hex") {
            host.arguments.push_back(hexUnits(next()));
        } else if (step == L"sarg") {
            host.secondaryArguments.push_back(next());
        } else if (step == L"failure-check") {
            host.failureCheck = true;
        } else if (step == L"no-detach") {
            host.detachAfterMain = false;
        } else if (step == L"main") {
            if (!callMain(next())) return 1;
        } else if (step == L"secondary") {
            std::wstring name = next();
            HANDLE thread = CreateThread(nullptr, 0, serveSecondary, &name, 0, nullptr);
            WaitForSingleObject(thread, INFINITE);
            DWORD code = 1;
            GetExitCodeThread(thread, &code);
            CloseHandle(thread);
            RecordLine("host-secondary-thread").number("status", code).write();
        } else if (step == L"detach") {
            RecordLine("host-detach").number("result", host.vm->DetachCurrentThread()).write();
        } else if (step == L"exit") {
            jint status = std::stoi(next());
            jclass system = host.env->FindClass("java/lang/System");
            jmethodID exitMethod = host.env->GetStaticMethodID(system, "exit", "(I)V");
            host.env->CallStaticVoidMethod(system, exitMethod, status);
            RecordLine("host-exit-returned").write();
            return 1;
        } else if (step == L"find") {
            std::string name = ansi(next());
            jclass cls = host.env->FindClass(name.c_str());
            RecordLine("host-find").flag("found", cls != nullptr).write();
            if (host.env->ExceptionOccurred() != nullptr) host.env->ExceptionDescribe();
        } else if (step == L"find-keep") {
            std::string name = ansi(next());
            RecordLine("host-find").flag("found", host.env->FindClass(name.c_str()) != nullptr).write();
        } else if (step == L"vfprintf-hook") {
            host.vfprintfHook = true;
        } else if (step == L"getenv") {
            JNIEnv* env = nullptr;
            jint result = host.vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2);
            RecordLine("host-getenv").number("result", result).flag("same", env != nullptr && env == host.env).write();
        } else if (step == L"deleted-ref") {
            jstring text = host.env->NewStringUTF("x");
            host.env->DeleteLocalRef(text);
            host.env->GetStringLength(text);
            RecordLine("host-misuse-returned").write();
        } else if (step == L"foreign-local") {
            jstring text = host.env->NewStringUTF("x");
            HANDLE thread = CreateThread(nullptr, 0, foreignLocal, text, 0, nullptr);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            RecordLine("host-misuse-returned").write();
        } else if (step == L"release-twice") {
            jstring text = host.env->NewStringUTF("x");
            const char* bytes = host.env->GetStringUTFChars(text, nullptr);
            host.env->ReleaseStringUTFChars(text, bytes);
            host.env->ReleaseStringUTFChars(text, bytes);
            RecordLine("host-misuse-returned").write();
        } else if (step == L"native-thread" || step == L"daemon-thread") {
            HANDLE attached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            auto* job = new NativeThread{static_cast<DWORD>(std::stoul(next())), step == L"daemon-thread", attached};
            HANDLE thread = CreateThread(nullptr, 0, nativeThread, job, 0, nullptr);
            HANDLE either[] = {attached, thread};
            WaitForMultipleObjects(2, either, FALSE, INFINITE);  // attached (or failed) before the next step
            CloseHandle(thread);
            CloseHandle(attached);
        } else if (step == L"frames") {
            JNIEnv* env = host.env;
            jint pushed = env->PushLocalFrame(4);
            jstring inner = env->NewStringUTF("inner");
            jstring kept = env->NewStringUTF("kept");
            auto result = static_cast<jstring>(env->PopLocalFrame(kept));
            RecordLine("host-frames")
                .number("push", pushed)
                .number("inner", env->GetObjectRefType(inner))
                .number("kept", env->GetObjectRefType(kept))
                .number("result", env->GetObjectRefType(result))
                .number("length", env->GetStringLength(result))
                .write();
        } else if (step == L"mismatch") {
            JNIEnv* env = host.env;
            jclass type = env->FindClass("java/lang/IllegalStateException");
            jthrowable error = static_cast<jthrowable>(env->NewObject(type, env->GetMethodID(type, "<init>", "()V")));
            jclass bytesClass = env->FindClass("java/io/ByteArrayOutputStream");
            jobject bytes = env->NewObject(bytesClass, env->GetMethodID(bytesClass, "<init>", "()V"));
            jclass printClass = env->FindClass("java/io/PrintStream");
            jobject print = env->NewObject(printClass, env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V"), bytes);
            jmethodID trace = env->GetMethodID(type, "printStackTrace", "(Ljava/io/PrintStream;)V");
            jobject result = env->CallObjectMethod(error, trace, print);
            jmethodID size = env->GetMethodID(bytesClass, "size", "()I");
            RecordLine("host-mismatch").flag("null", result == nullptr).number("size", env->CallIntMethod(bytes, size)).write();
        } else if (step == L"utf-hex") {
            jstring text = host.env->NewStringUTF(hexBytes(next()).c_str());
            RecordLine("host-utf-string").flag("null", text == nullptr).write();
        } else if (step == L"locals") {
            const int count = std::stoi(next());
            for (int i = 0; i < count; ++i) host.env->NewStringUTF("x");
            RecordLine("host-locals").number("count", count).write();
        } else if (step == L"ensure") {
            RecordLine("host-ensure").number("result", host.env->EnsureLocalCapacity(std::stoi(next()))).write();
        } else if (step == L"unchecked") {
            JNIEnv* env = host.env;
            jclass bytesClass = env->FindClass("java/io/ByteArrayOutputStream");
            jobject bytes = env->NewObject(bytesClass, env->GetMethodID(bytesClass, "<init>", "()V"));
            jmethodID size = env->GetMethodID(bytesClass, "size", "()I");
            env->CallIntMethod(bytes, size);
            env->FindClass("java/lang/String");
            RecordLine("host-unchecked-returned").write();
        } else if (step == L"destroy-twice") {
            host.destroy = true;
            host.destroyTwice = true;
        } else if (step == L"fatal-error") {
            host.env->FatalError(ansi(next()).c_str());
            RecordLine("host-fatal-returned").write();
        } else if (step == L"utf16-hex") {
            jstring text = newJavaString(host.env, hexUnits(next()));
            const char* bytes = host.env->GetStringUTFChars(text, nullptr);
            RecordLine("host-utf")
                .bytes("bytes", bytes)
                .number("length", host.env->GetStringUTFLength(text))
                .write();
            host.env->ReleaseStringUTFChars(text, bytes);
        } else if (step == L"slot") {
            int slot = std::stoi(next());
            auto table = reinterpret_cast<void* const*>(host.env->functions);
            auto function = reinterpret_cast<void(JNICALL*)(JNIEnv*)>(table[slot]);
            function(host.env);
            RecordLine("host-slot-returned").number("slot", slot).write();
        } else if (step == L"unattached-call") {
            HANDLE thread = CreateThread(nullptr, 0, unattachedCall, nullptr, 0, nullptr);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            RecordLine("host-unattached-returned").write();
        } else if (step == L"splash") {
            std::wstring dll = next();
            std::string image = ansi(next());
            HMODULE splash = LoadLibraryW(dll.c_str());
            if (splash == nullptr) {
                RecordLine("host-splash").number("error", GetLastError()).write();
                continue;
            }
            auto init = reinterpret_cast<void(JNICALL*)()>(GetProcAddress(splash, "SplashInit"));
            auto loadFile = reinterpret_cast<int(JNICALL*)(const char*)>(GetProcAddress(splash, "SplashLoadFile"));
            auto jarName = reinterpret_cast<void(JNICALL*)(const char*, const char*)>(
                GetProcAddress(splash, "SplashSetFileJarName"));
            host.splashClose = reinterpret_cast<void(JNICALL*)()>(GetProcAddress(splash, "SplashClose"));
            RecordLine("host-splash")
                .number("error", 0)
                .flag("init", init != nullptr)
                .flag("load-file", loadFile != nullptr)
                .flag("jar-name", jarName != nullptr)
                .flag("close", host.splashClose != nullptr)
                .write();
            if (init != nullptr && loadFile != nullptr && jarName != nullptr) {
                init();
                loadFile(image.c_str());
                jarName(image.c_str(), "");
            }
        } else if (step == L"splash-close") {
            if (host.splashClose != nullptr) host.splashClose();
        } else if (step == L"sleep") {
            Sleep(static_cast<DWORD>(std::stoul(next())));
        } else if (step == L"destroy") {
            host.destroy = true;
        } else {
            RecordLine("host-bad-step").wide("step", step).write();
            return 3;
        }
    }
    return 0;
}

DWORD WINAPI javaThread(void*) { return static_cast<DWORD>(runSteps()); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SIZE_T stack = 0;
    int first = 1;
    if (argc > 2 && std::wcscmp(argv[1], L"--thread-stack") == 0) {
        stack = static_cast<SIZE_T>(std::stoull(argv[2]));
        first = 3;
    }
    for (int i = first; i < argc; ++i) host.steps.emplace_back(argv[i]);
    HANDLE thread = CreateThread(nullptr, stack, javaThread, nullptr, stack != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0,
                                 nullptr);
    DWORD status = 1;
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        GetExitCodeThread(thread, &status);
        CloseHandle(thread);
    }
    if (host.destroy && host.vm != nullptr) {
        DWORD started = GetTickCount();
        jint result = host.vm->DestroyJavaVM();
        RecordLine("host-destroy").number("result", result).number("ms", GetTickCount() - started).write();
        if (host.destroyTwice) RecordLine("host-destroy").number("result", host.vm->DestroyJavaVM()).write();
    }
    RecordLine("host-end").number("status", static_cast<long long>(status)).write();
    return static_cast<int>(status);
}
