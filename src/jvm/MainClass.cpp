// Finding and calling the application's main class on the Java main thread,
// and what happens when main ends with an uncaught exception.
#include <string>

#include "foundation/Diagnostics.h"
#include "foundation/MessageIds.h"
#include "foundation/Text.h"
#include "jvm/JvmHost.h"
#include "jvm/ModifiedUtf8.h"

namespace vexa {
namespace {

// The modified UTF-8 bytes of a Java string, released when the holder ends.
class StringUtfChars {
public:
    StringUtfChars(JNIEnv* env, jstring text) : env_(env), text_(text), bytes_(env->GetStringUTFChars(text, nullptr)) {}
    ~StringUtfChars() {
        if (bytes_) env_->ReleaseStringUTFChars(text_, bytes_);
    }
    StringUtfChars(const StringUtfChars&) = delete;
    StringUtfChars& operator=(const StringUtfChars&) = delete;
    const char* get() const { return bytes_; }

private:
    JNIEnv* env_;
    jstring text_;
    const char* bytes_;
};

// The main class through the runtime's own launcher helper, which also
// checks it the way the java command does; null when any step fails. The
// helper ends the process with System.exit(1) when the class or its main
// method is missing, so it is asked only about a class known to be there.
jclass lookUpThroughLauncherHelper(JNIEnv* env, FindClassFromBootLoaderFn findClassFromBootLoader,
                                   const std::wstring& mainClass) {
    jclass helper = findClassFromBootLoader(env, "sun/launcher/LauncherHelper");
    if (!helper) return nullptr;
    jmethodID checkAndLoadMain =
        env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
    if (!checkAndLoadMain) return nullptr;
    jstring name = newJavaString(env, replaceAll(mainClass, L'/', L'.'));
    if (!name) return nullptr;
    auto checked = static_cast<jclass>(
        env->CallStaticObjectMethod(helper, checkAndLoadMain, static_cast<jint>(JNI_TRUE), static_cast<jint>(1), name));
    env->DeleteLocalRef(name);
    env->DeleteLocalRef(helper);
    return checked;
}

// Whether `type` is a JavaFX application class, which the launcher helper
// starts through the runtime's own JavaFX main even without a main method.
bool isJavaFxApplication(JNIEnv* env, jclass type) {
    jclass application = env->FindClass("javafx/application/Application");
    if (!application) {
        if (env->ExceptionCheck()) env->ExceptionClear();
        return false;
    }
    const bool extends = env->IsAssignableFrom(type, application) == JNI_TRUE;
    env->DeleteLocalRef(application);
    return extends;
}

// The class name of a throwable ("java.lang.IllegalStateException"); empty
// when it cannot be had.
std::wstring throwableClassName(JNIEnv* env, jthrowable throwable) {
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    jclass type = env->GetObjectClass(throwable);
    if (!type) return {};
    jclass classClass = env->GetObjectClass(type);
    jmethodID getName = classClass ? env->GetMethodID(classClass, "getName", "()Ljava/lang/String;") : nullptr;
    auto name = getName ? static_cast<jstring>(env->CallObjectMethod(type, getName)) : nullptr;
    if (!name || env->ExceptionCheck()) return {};
    StringUtfChars bytes(env, name);
    return bytes.get() ? decodeModifiedUtf8(bytes.get()) : std::wstring();
}

constexpr const char kMainSignature[] = "([Ljava/lang/String;)V";

// The application's main class and its main method, as checked before the call.
struct MainEntry {
    jclass type = nullptr;
    jmethodID method = nullptr;
};

// The main class with its main method, checked first by the launcher and
// then, when the runtime has one, by its own launcher helper.
Result<MainEntry> findMain(JNIEnv* env, FindClassFromBootLoaderFn findClassFromBootLoader,
                           const std::wstring& mainClass);

// The main class by its slash name, through the class path. The name is
// converted to the JVM's modified UTF-8 here, so no Java code runs for it.
Result<jclass> findMainClass(JNIEnv* env, const std::wstring& mainClass) {
    jclass found = env->FindClass(encodeModifiedUtf8(mainClass).c_str());
    diag::log(found ? L"main class %s: found through FindClass" : L"main class %s: FindClass did not find it on the class path",
              mainClass);
    if (!found) {
        env->ExceptionDescribe();
        return Failure::of(IDS_MAIN_CLASS_NOT_FOUND, {mainClass});
    }
    return found;
}

Result<MainEntry> findMain(JNIEnv* env, FindClassFromBootLoaderFn findClassFromBootLoader_,
                           const std::wstring& mainClass) {
    // The class and its main method are checked here first, with the
    // launcher's own messages, so that the runtime's launcher helper never
    // gets the chance to end the process over them where nobody sees it.
    Result<jclass> found = findMainClass(env, mainClass);
    if (!found) return found.failure();
    MainEntry entry{found.value(), nullptr};
    entry.method = env->GetStaticMethodID(entry.type, "main", kMainSignature);
    if (!entry.method) {
        if (env->ExceptionCheck()) env->ExceptionDescribe();
        const bool javaFx = findClassFromBootLoader_ && isJavaFxApplication(env, entry.type);
        diag::log(L"main class %s: no static void main(String[]); a JavaFX application for the launcher helper: %s",
                  mainClass, javaFx);
        if (!javaFx) return Failure::of(IDS_NO_MAIN_METHOD);
    }
    if (findClassFromBootLoader_) {
        jclass checked = lookUpThroughLauncherHelper(env, findClassFromBootLoader_, mainClass);
        // What the helper reported is the runtime's; what follows starts with
        // no exception pending, as every JNI call requires.
        if (env->ExceptionCheck()) {
            env->ExceptionClear();
            checked = nullptr;
        }
        diag::log(checked ? L"main class %s: accepted by sun.launcher.LauncherHelper, whose class is used"
                          : L"main class %s: sun.launcher.LauncherHelper did not hand it back; FindClass's class is used",
                  mainClass);
        if (checked) {
            entry.type = checked;
            entry.method = env->GetStaticMethodID(entry.type, "main", kMainSignature);
            if (!entry.method && env->ExceptionCheck()) env->ExceptionDescribe();
        }
        if (!entry.method) return Failure::of(IDS_NO_MAIN_METHOD);
    } else {
        diag::log(L"main class %s: no JVM_FindClassFromBootLoader, FindClass's class is used", mainClass);
    }
    return entry;
}

}  // namespace

MainResult JvmSession::callMain(const std::wstring& mainClass, const std::vector<std::wstring>& arguments,
                                void (*beforeMain)(void* context), void* context) {
    JNIEnv* env = jniEnv_;
    Result<MainEntry> entry = findMain(env, findClassFromBootLoader_, mainClass);
    if (!entry) return {entry.failure()};
    jobjectArray javaArguments = newJavaStringArray(env, arguments);
    if (!javaArguments) {
        env->ExceptionDescribe();
        return {Failure::silent()};
    }
    if (beforeMain) beforeMain(context);
    diag::log(L"calling %s.main, argument count %d", mainClass, static_cast<std::int32_t>(arguments.size()));
    env->CallStaticVoidMethod(entry->type, entry->method, javaArguments);
    return {std::nullopt, env->ExceptionOccurred()};
}

jobjectArray newJavaStringArray(JNIEnv* env, const std::vector<std::wstring>& list) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) return nullptr;
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(list.size()), stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    if (!array) return nullptr;
    for (size_t i = 0; i < list.size(); ++i) {
        jstring element = newJavaString(env, list[i]);
        if (!element) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
        env->SetObjectArrayElement(array, static_cast<jsize>(i), element);
        env->DeleteLocalRef(element);
        // A store can fail (out of memory, say): the array is then incomplete.
        if (env->ExceptionCheck()) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
    }
    return array;
}

std::wstring javaExceptionText(jthrowable throwable, JNIEnv* env) {
    std::wstring trace = stackTraceText(throwable, env);
    // When not even the first line of the trace could be printed, the
    // exception's class still tells the user what happened.
    if (trace.empty()) trace = throwableClassName(env, throwable);
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    return trace;
}

namespace {

std::wstring stackTraceTextInFrame(jthrowable throwable, JNIEnv* env) {
    jclass bufferClass = env->FindClass("java/io/ByteArrayOutputStream");
    if (!bufferClass) return {};
    jmethodID bufferInit = env->GetMethodID(bufferClass, "<init>", "()V");
    if (!bufferInit) return {};
    jobject buffer = env->NewObject(bufferClass, bufferInit);
    if (!buffer) return {};

    jclass printClass = env->FindClass("java/io/PrintStream");
    if (!printClass) return {};
    jmethodID printInit = env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V");
    if (!printInit) return {};
    jobject printStream = env->NewObject(printClass, printInit, buffer);
    if (!printStream) return {};

    jclass thrownClass = env->GetObjectClass(throwable);
    if (!thrownClass) return {};
    jmethodID printStackTrace = env->GetMethodID(thrownClass, "printStackTrace", "(Ljava/io/PrintStream;)V");
    if (!printStackTrace) return {};
    env->CallVoidMethod(throwable, printStackTrace, printStream);
    // A trace that fails half-way (a cause whose text throws, say) is still
    // worth showing: what was printed up to there is read below.
    if (env->ExceptionCheck()) env->ExceptionDescribe();

    jclass bufferType = env->GetObjectClass(buffer);
    if (!bufferType) return {};
    jmethodID toString = env->GetMethodID(bufferType, "toString", "()Ljava/lang/String;");
    if (!toString) return {};
    auto text = static_cast<jstring>(env->CallObjectMethod(buffer, toString));
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return {};
    }
    if (!text) return {};
    StringUtfChars bytes(env, text);
    if (!bytes.get()) {
        if (env->ExceptionCheck()) env->ExceptionDescribe();
        return {};
    }
    return decodeModifiedUtf8(bytes.get());
}

}  // namespace

std::wstring stackTraceText(jthrowable throwable, JNIEnv* env) {
    // The exception is printed on the Java error stream as it stands, which
    // also clears it: no other JNI call may be made while it is pending.
    if (env->ExceptionCheck()) env->ExceptionDescribe();
    // The streams and classes of the trace live in a frame of their own.
    if (env->PushLocalFrame(16) != JNI_OK) {
        env->ExceptionDescribe();
        return {};
    }
    std::wstring text = stackTraceTextInFrame(throwable, env);
    env->PopLocalFrame(nullptr);
    return text;
}

bool callSystemExit(JNIEnv* env) {
    jclass systemClass = env->FindClass("java/lang/System");
    if (!systemClass) return false;
    jmethodID exitMethod = env->GetStaticMethodID(systemClass, "exit", "(I)V");
    if (!exitMethod) return false;
    env->CallStaticVoidMethod(systemClass, exitMethod, static_cast<jint>(-1));
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return false;
    }
    return true;
}

}  // namespace vexa
