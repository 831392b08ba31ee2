// Finding and calling the application's main class on the Java main thread,
// and what happens when main ends with an uncaught exception.
#include <string>

#include "foundation/StepTiming.h"
#include "foundation/Text.h"
#include "jvm/JvmHost.h"
#include "jvm/ModifiedUtf8.h"
#include "launcher/LauncherApp.h"
#include "resources/resource.h"
#include "ui/JavaExceptionDialog.h"
#include "ui/Messages.h"

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
// checks it the way the java command does; null when any step fails.
jclass lookUpThroughLauncherHelper(JNIEnv* env, FindClassFromBootLoaderFn findClassFromBootLoader,
                                   const std::wstring& mainClass) {
    jclass helper = findClassFromBootLoader(env, "sun/launcher/LauncherHelper");
    if (!helper) return nullptr;
    jmethodID checkAndLoadMain =
        env->GetStaticMethodID(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;");
    if (!checkAndLoadMain) return nullptr;
    jstring name = newJavaString(env, replaceAll(mainClass, L'/', L'.'));
    if (!name) return nullptr;
    return static_cast<jclass>(
        env->CallStaticObjectMethod(helper, checkAndLoadMain, static_cast<jint>(JNI_TRUE), static_cast<jint>(1), name));
}

}  // namespace

bool LauncherApp::callMainClass() {
    JNIEnv* env = jniEnv;
    jclass mainType = nullptr;
    if (findClassFromBootLoader) {
        mainType = lookUpThroughLauncherHelper(env, findClassFromBootLoader, mainClass);
        // What the helper reported is the runtime's; the lookup below starts
        // with no exception pending, as every JNI call requires.
        if (!mainType && env->ExceptionOccurred()) env->ExceptionClear();
    }
    VEXA_STEP("launcher helper lookup");
    if (!mainType) {
        jstring name = newJavaString(env, mainClass);
        if (!name) {
            showFormattedError(messageOwner, loadMessage(IDS_MAIN_CLASS_LOAD_FAILED), mainClass);
            return false;
        }
        StringUtfChars bytes(env, name);
        if (!bytes.get()) {
            env->ExceptionDescribe();
            return false;
        }
        mainType = env->FindClass(bytes.get());
        if (!mainType) {
            env->ExceptionDescribe();
            showFormattedError(messageOwner, loadMessage(IDS_MAIN_CLASS_NOT_FOUND), decodeModifiedUtf8(bytes.get()));
            return false;
        }
    }

    jmethodID mainMethod = env->GetStaticMethodID(mainType, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        if (env->ExceptionOccurred()) env->ExceptionDescribe();
        else showErrorBox(messageOwner, loadMessage(IDS_NO_MAIN_METHOD));
        return false;
    }
    jobjectArray javaArguments = newJavaStringArray(env, arguments);
    if (!javaArguments) {
        env->ExceptionDescribe();
        return false;
    }
    // The single-instance workers wait for this before they call the class.
    signalInstanceReady();

    env->CallStaticVoidMethod(mainType, mainMethod, javaArguments);

    if (jthrowable thrown = env->ExceptionOccurred()) {
        closeSplashWindow();
        if (failureCheck && showJavaException(thrown, env)) callSystemExit(env);
    }
    // Under the IBM policy the JVM alone decides when the process ends.
    if (ibmAllowed || ibmFavoured) Sleep(INFINITE);
    return javaVm->DetachCurrentThread() == JNI_OK;
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
    }
    return array;
}

bool LauncherApp::showJavaException(jthrowable throwable, JNIEnv* env) {
    std::wstring trace = stackTraceText(throwable, env);
    if (trace.empty()) return false;  // nothing to show: go on as after Ignore
    JavaExceptionDialog dialog(std::move(trace));
    // A dialog that cannot be made counts as Stop.
    return dialog.run(GetActiveWindow()) != IDOK;
}

std::wstring stackTraceText(jthrowable throwable, JNIEnv* env) {
    // The exception is printed on the Java error stream as it stands, which
    // also clears it: no other JNI call may be made while it is pending.
    if (env->ExceptionOccurred()) env->ExceptionDescribe();

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
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        return {};
    }

    jclass bufferType = env->GetObjectClass(buffer);
    if (!bufferType) return {};
    jmethodID toString = env->GetMethodID(bufferType, "toString", "()Ljava/lang/String;");
    if (!toString) return {};
    auto text = static_cast<jstring>(env->CallObjectMethod(buffer, toString));
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        return {};
    }
    if (!text) return {};
    StringUtfChars bytes(env, text);
    if (!bytes.get()) {
        if (env->ExceptionOccurred()) env->ExceptionDescribe();
        return {};
    }
    return decodeModifiedUtf8(bytes.get());
}

bool callSystemExit(JNIEnv* env) {
    jclass systemClass = env->FindClass("java/lang/System");
    if (!systemClass) return false;
    jmethodID exitMethod = env->GetStaticMethodID(systemClass, "exit", "(I)V");
    if (!exitMethod) return false;
    env->CallStaticVoidMethod(systemClass, exitMethod, static_cast<jint>(-1));
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        return false;
    }
    return true;
}

}  // namespace vexa
