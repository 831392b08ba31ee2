// Loading the runtime's JVM library, creating the JVM with the launcher's
// options and hooks, and pointing System.out and System.err at files.
#include "jvm/JvmHost.h"

#include <iterator>
#include <optional>

#include "config/LauncherSettings.h"
#include "foundation/Diagnostics.h"
#include "foundation/Handle.h"
#include "foundation/MessageIds.h"
#include "foundation/Text.h"
#include "foundation/WinText.h"
#include "jvm/DatePicture.h"

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

// The message that says why creation failed; 0 when the result names none.
unsigned createFailureReason(jint result) {
    // The range is checked before negating: -INT_MIN does not exist.
    constexpr jint kLowest = -static_cast<jint>(std::size(kCreateFailureReasons));
    if (result > -1 || result < kLowest) return 0;
    return kCreateFailureReasons[-result - 1];
}

}  // namespace

std::optional<Failure> JvmSession::load(const std::wstring& path) {
    // The library is never freed: a JVM cannot be unloaded from a process,
    // so it stays until the process ends, also when an export is missing.
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library) {
        const DWORD error = GetLastError();
        return Failure::of(IDS_JVM_LOAD_FAILED, {path, static_cast<std::int32_t>(error)});
    }
    createJavaVm_ = reinterpret_cast<CreateJavaVmFn>(GetProcAddress(library, "JNI_CreateJavaVM"));
    if (!createJavaVm_) return Failure::windowsError(IDS_NO_CREATE_JAVA_VM, GetLastError());
    getDefaultInitArgs_ =
        reinterpret_cast<GetDefaultJavaVmInitArgsFn>(GetProcAddress(library, "JNI_GetDefaultJavaVMInitArgs"));
    if (!getDefaultInitArgs_) return Failure::windowsError(IDS_NO_CREATE_JAVA_VM, GetLastError());
    // Optional: without it the main class is looked up with FindClass alone.
    findClassFromBootLoader_ =
        reinterpret_cast<FindClassFromBootLoaderFn>(GetProcAddress(library, "JVM_FindClassFromBootLoader"));
    diag::log(L"JVM library %s loaded; JVM_FindClassFromBootLoader: %s", path, findClassFromBootLoader_ != nullptr);
    return std::nullopt;
}

std::uint64_t JvmSession::defaultStackSize() const {
    JDK1_1InitArgs defaults{};
    defaults.version = JNI_VERSION_1_1;
    getDefaultInitArgs_(&defaults);
    return defaults.javaStackSize > 0 ? static_cast<std::uint64_t>(defaults.javaStackSize) : 0;
}

std::optional<Failure> JvmSession::create(JvmHooks hooks) {
    std::vector<JavaVMOption> options;
    options.reserve(options_.size() + 2);
    for (const std::string& option : options_.entries())
        options.push_back({const_cast<char*>(option.c_str()), nullptr});
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(hooks.abort)});
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(hooks.exit)});

    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(options.size());
    initArgs.options = options.data();
    initArgs.ignoreUnrecognized = JNI_FALSE;

    if (diag::on()) {
        for (std::size_t i = 0; i < options_.size(); ++i)
            diag::log(L"JVM option %d: %s", static_cast<std::int32_t>(i + 1), fromThreadAnsi(options_[i]));
        diag::log(L"JVM options: %d in all, with the \"abort\" and \"exit\" hooks; JNI_CreateJavaVM called",
                  static_cast<std::int32_t>(options.size()));
    }
    jint result = createJavaVm_(&javaVm_, reinterpret_cast<void**>(&jniEnv_), &initArgs);
    // A runtime that reports success without handing out both the JVM and
    // this thread's environment has not created anything usable.
    if (result == JNI_OK && (!javaVm_ || !jniEnv_)) result = JNI_ERR;
    if (result != JNI_OK) {
        diag::log(L"JNI_CreateJavaVM failed: result %d", static_cast<std::int32_t>(result));
        // Whatever the runtime left in them, there is no JVM to use or destroy.
        javaVm_ = nullptr;
        jniEnv_ = nullptr;
        return Failure{IDS_JNI_EXCEPTION_REASON, {IDS_CREATE_VM_FAILED, createFailureReason(result)}, {}};
    }
    diag::log(L"JNI_CreateJavaVM: JVM created");
    return std::nullopt;
}

bool JvmSession::detach() { return javaVm_ && javaVm_->DetachCurrentThread() == JNI_OK; }

void JvmSession::destroy() {
    if (!javaVm_) return;
    diag::log(L"DestroyJavaVM: waiting for the application's other non-daemon threads");
    // Returns once the application's other non-daemon threads have ended.
    javaVm_->DestroyJavaVM();
    javaVm_ = nullptr;
    diag::log(L"DestroyJavaVM returned: the process ends");
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

jstring newJavaString(JNIEnv* env, const std::wstring& text) {
    // NewString makes the string from its UTF-16 units without running any
    // Java code, unlike a call of a String constructor.
    static_assert(sizeof(wchar_t) == sizeof(jchar), "wide strings are UTF-16");
    return env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
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
