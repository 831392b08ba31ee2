// Loading the runtime's JVM library, creating the JVM with the launcher's
// options and hooks, and pointing System.out and System.err at files.
#include "jvm/JvmHost.h"

#include <iterator>
#include <optional>

#include "config/LauncherSettings.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "jvm/DatePicture.h"
#include "launcher/Diagnostics.h"
#include "launcher/LauncherApp.h"
#include "resources/resource.h"
#include "ui/Messages.h"

namespace vexa {
namespace {

// Reason texts for the results of JNI_CreateJavaVM, from JNI_ERR down.
constexpr unsigned kCreateFailureReasons[] = {
    IDS_JNI_REASON_UNKNOWN,   IDS_JNI_REASON_DETACHED, IDS_JNI_REASON_VERSION,
    IDS_JNI_REASON_NO_MEMORY, IDS_JNI_REASON_EXISTS,   IDS_JNI_REASON_INVALID,
};

// A time picture (GetTimeFormatW) or date picture (GetDateFormatW) formatted
// for `time`; none when the call fails.
std::optional<std::wstring> formatTimePart(const std::wstring& picture, const SYSTEMTIME& time, bool date) {
    auto format = [&](wchar_t* buffer, int size) {
        return date ? GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, picture.c_str(), buffer, size)
                    : GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, picture.c_str(), buffer, size);
    };
    const int size = format(nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    const int written = format(out.data(), size);
    if (written <= 0) return std::nullopt;
    out.resize(static_cast<std::size_t>(written - 1));  // without the NUL
    return out;
}

std::wstring createFailureReason(jint result) {
    // The range is checked before negating: -INT_MIN does not exist.
    constexpr jint kLowest = -static_cast<jint>(std::size(kCreateFailureReasons));
    if (result > -1 || result < kLowest) return {};
    return loadMessage(kCreateFailureReasons[-result - 1]);
}

}  // namespace

bool LauncherApp::loadJvmLibrary(const std::wstring& path) {
    // The library is never freed: a JVM cannot be unloaded from a process,
    // so it stays until the process ends, also when an export is missing.
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library) {
        const DWORD error = GetLastError();
        showFormattedError(messageOwner, loadMessage(IDS_JVM_LOAD_FAILED), path, static_cast<std::int32_t>(error));
        return false;
    }
    createJavaVm = reinterpret_cast<CreateJavaVmFn>(GetProcAddress(library, "JNI_CreateJavaVM"));
    if (!createJavaVm) {
        showWindowsError(messageOwner, IDS_NO_CREATE_JAVA_VM, GetLastError());
        return false;
    }
    getDefaultInitArgs =
        reinterpret_cast<GetDefaultJavaVmInitArgsFn>(GetProcAddress(library, "JNI_GetDefaultJavaVMInitArgs"));
    if (!getDefaultInitArgs) {
        showWindowsError(messageOwner, IDS_NO_CREATE_JAVA_VM, GetLastError());
        return false;
    }
    // Optional: without it the main class is looked up with FindClass alone.
    findClassFromBootLoader =
        reinterpret_cast<FindClassFromBootLoaderFn>(GetProcAddress(library, "JVM_FindClassFromBootLoader"));
    diag::log(L"JVM library %s loaded; JVM_FindClassFromBootLoader: %s", path, findClassFromBootLoader != nullptr);
    return true;
}

bool LauncherApp::createJvm() {
    std::vector<JavaVMOption> options;
    options.reserve(jvmOptions.size() + 2);
    for (const std::string& option : jvmOptions.entries())
        options.push_back({const_cast<char*>(option.c_str()), nullptr});
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&jvmAbortHook)});
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&jvmExitHook)});

    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(options.size());
    initArgs.options = options.data();
    initArgs.ignoreUnrecognized = JNI_FALSE;

    if (diag::on()) {
        for (std::size_t i = 0; i < jvmOptions.size(); ++i)
            diag::log(L"JVM option %d: %s", static_cast<std::int32_t>(i + 1), fromThreadAnsi(jvmOptions[i]));
        diag::log(L"JVM options: %d in all, with the \"abort\" and \"exit\" hooks; JNI_CreateJavaVM called",
                  static_cast<std::int32_t>(options.size()));
    }
    jint result = createJavaVm(&javaVm, reinterpret_cast<void**>(&jniEnv), &initArgs);
    // A runtime that reports success without handing out both the JVM and
    // this thread's environment has not created anything usable.
    if (result == JNI_OK && (!javaVm || !jniEnv)) result = JNI_ERR;
    if (result != JNI_OK) {
        diag::log(L"JNI_CreateJavaVM failed: result %d", static_cast<std::int32_t>(result));
        // Whatever the runtime left in them, there is no JVM to use or destroy.
        javaVm = nullptr;
        jniEnv = nullptr;
        showErrorBox(messageOwner, formatMessage(loadMessage(IDS_JNI_EXCEPTION_REASON),
                                                 {loadMessage(IDS_CREATE_VM_FAILED), createFailureReason(result)}));
        return false;
    }

    diag::log(L"JNI_CreateJavaVM: JVM created");
    redirectOutputFiles(*this);
    return true;
}

bool LauncherApp::redirectStream(const std::wstring& path, bool append, JavaStream target) {
    createParentFolders(path);  // when that fails, opening the file fails below
    jobject printStream = openPrintStream(jniEnv, path, append);
    return printStream && setJavaStream(jniEnv, printStream, target);
}

namespace {

jobject openPrintStreamInFrame(JNIEnv* env, const std::wstring& path, bool append) {
    jstring javaPath = newJavaString(env, path);
    if (!javaPath) return nullptr;

    jclass fileClass = env->FindClass("java/io/FileOutputStream");
    if (!fileClass) return nullptr;
    jmethodID fileInit = env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;Z)V");
    if (!fileInit) return nullptr;
    jobject file = env->NewObject(fileClass, fileInit, javaPath, static_cast<jint>(append ? JNI_TRUE : JNI_FALSE));
    if (!file) return nullptr;

    jclass printClass = env->FindClass("java/io/PrintStream");
    if (!printClass) return nullptr;
    jmethodID printInit = env->GetMethodID(printClass, "<init>", "(Ljava/io/OutputStream;)V");
    if (!printInit) return nullptr;
    return env->NewObject(printClass, printInit, file);
}

}  // namespace

jobject openPrintStream(JNIEnv* env, const std::wstring& path, bool append) {
    // The path, the classes and the file stream live in a frame of their
    // own: only the print stream comes back.
    if (env->PushLocalFrame(16) != JNI_OK) return nullptr;
    return env->PopLocalFrame(openPrintStreamInFrame(env, path, append));
}

bool setJavaStream(JNIEnv* env, jobject printStream, JavaStream target) {
    jclass systemClass = env->FindClass("java/lang/System");
    if (!systemClass) return false;
    jmethodID setter = env->GetStaticMethodID(systemClass, target == JavaStream::Out ? "setOut" : "setErr",
                                              "(Ljava/io/PrintStream;)V");
    if (!setter) {
        env->DeleteLocalRef(systemClass);
        return false;
    }
    env->CallStaticVoidMethod(systemClass, setter, printStream);
    env->DeleteLocalRef(systemClass);
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        return false;
    }
    return true;
}

void JNICALL jvmExitHook(jint status) {
    diag::log(L"System.exit(%d) reached the \"exit\" hook: the JVM ends the process with exit code %d",
              static_cast<std::int32_t>(status), static_cast<std::int32_t>(status));
    LauncherApp* app = LauncherApp::current();
    if (app && app->hookTarget) app->hookTarget->onExit(status);
}

void JNICALL jvmAbortHook() {
    diag::log(L"the JVM aborted through the \"abort\" hook: it ends the process");
    LauncherApp* app = LauncherApp::current();
    if (app && app->hookTarget) app->hookTarget->onAbort();
}

jstring newJavaString(JNIEnv* env, const std::wstring& text) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) return nullptr;
    jmethodID init = env->GetMethodID(stringClass, "<init>", "([C)V");
    if (!init) {
        env->DeleteLocalRef(stringClass);
        return nullptr;
    }
    const auto length = static_cast<jsize>(text.size());
    jcharArray chars = env->NewCharArray(length);
    if (!chars) {
        env->DeleteLocalRef(stringClass);
        return nullptr;
    }
    static_assert(sizeof(wchar_t) == sizeof(jchar), "wide strings are UTF-16");
    env->SetCharArrayRegion(chars, 0, length, reinterpret_cast<const jchar*>(text.data()));
    jstring result = nullptr;
    if (!env->ExceptionCheck()) result = static_cast<jstring>(env->NewObject(stringClass, init, chars));
    env->DeleteLocalRef(chars);
    env->DeleteLocalRef(stringClass);
    return result;
}

void expandDateTimePattern(std::wstring& name, const SYSTEMTIME& time) {
    std::optional<DatePicture> parts = splitDatePicture(name);
    if (!parts) return;
    std::wstring picture = parts->picture;
    if (picture.find(L'L') != std::wstring::npos) picture = insertMilliseconds(picture, time.wMilliseconds);

    // Time pictures first, then date pictures over the result. Each result is
    // sized by a first call; a picture beyond the cap is not handed to the
    // system at all (some systems fault on long pictures) and formats as a
    // failed call does.
    std::optional<std::wstring> formatted;
    if (picture.size() <= kLongestDatePicture) formatted = formatTimePart(picture, time, false);
    picture = formatted.value_or(std::wstring());
    if (picture.size() <= kLongestDatePicture) formatted = formatTimePart(picture, time, true);
    if (formatted) picture = std::move(*formatted);

    name = parts->before + picture + parts->after;
}

DWORD createParentFolders(const std::wstring& path) {
    const bool absolute = path.size() > 1 && (startsWith(path, L"\\\\") || path[1] == L':');
    if (absolute) {
        WIN32_FIND_DATAW data;
        FindHandle found(FindFirstFileW(path.c_str(), &data));
        if (found || GetLastError() == 0) return 0;
    }
    const bool network = startsWith(path, L"\\\\") && path.size() > 2 && path[2] != L'?';

    std::wstring prefix;
    std::wstring rest = path;
    if (startsWith(rest, L"\\\\?\\")) {
        prefix = L"\\\\?\\";
        rest.erase(0, 4);
    }
    const size_t firstEnd = rest.find(L'\\', network ? 2 : 0);
    if (firstEnd == std::wstring::npos) return 0;  // a bare file name: no folder to make
    std::wstring folder = prefix + rest.substr(0, firstEnd);
    const std::vector<std::wstring> components = LauncherSettings::splitList(rest.substr(firstEnd + 1), L"\\");

    DWORD lastError = 0;
    bool folderCreatedHere = false;
    // A drive or server is a root; the first folder of a relative path is an
    // ordinary folder and is made like the others.
    if (!absolute && !folder.empty() && !components.empty()) {
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            folderCreatedHere = true;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return GetLastError();
        }
    }
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        const std::wstring candidate = folder + L"\\" + components[i];
        bool created = false;
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            created = true;
        } else {
            const DWORD error = GetLastError();
            lastError = error == ERROR_ALREADY_EXISTS ? 0 : error;
            if (error != ERROR_ALREADY_EXISTS && !network) {
                // Take back the folder made just before (never a root).
                if (folderCreatedHere) {
                    std::wstring remove = folder;
                    if (remove.size() >= MAX_PATH && !startsWith(remove, L"\\\\?\\")) remove = L"\\\\?\\" + remove;
                    RemoveDirectoryW(remove.c_str());
                }
                break;
            }
        }
        folder = candidate;
        folderCreatedHere = created;
    }
    return lastError;
}

}  // namespace vexa
