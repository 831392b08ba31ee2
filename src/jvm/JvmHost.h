// The JVM session: the runtime's JVM library with its entry points, the
// created JVM and its option list, and the helpers that make Java strings,
// redirect the Java output streams and print a Java exception.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Failure.h"
#include "jvm/Jni.h"
#include "jvm/JvmOptionList.h"

namespace vexa {

// Which Java stream a redirection replaces.
enum class JavaStream { Out, Err };

// The "Output File" and "Error File" settings.
struct OutputRedirection {
    std::wstring outputFile;
    std::wstring errorFile;
    bool outputAppend = false;
    bool errorAppend = false;
};

// The functions the JVM calls through its "exit" and "abort" options.
struct JvmHooks {
    void(JNICALL* exit)(jint status) = nullptr;
    void(JNICALL* abort)() = nullptr;
};

// How calling main went: a failure to tell (main was not called), or the
// exception main left pending, or neither when main returned.
struct MainResult {
    std::optional<Failure> failure;
    jthrowable thrown = nullptr;
};

// One JVM in this process. The library is never freed: a JVM cannot be
// unloaded from a process. The JVM is destroyed by `destroy`, at the point
// of the teardown that the launcher chooses; a session that ends with the
// JVM still there leaves it to the process's end.
class JvmSession {
public:
    JvmSession() = default;
    // A session over a JVM made elsewhere, attached to the calling thread.
    JvmSession(JavaVM* vm, JNIEnv* env) : javaVm_(vm), jniEnv_(env) {}

    // Loads the JVM library and resolves its entry points.
    std::optional<Failure> load(const std::wstring& path);
    // The Java stack size the library reports as its default; 0 when none.
    std::uint64_t defaultStackSize() const;
    // Creates the JVM on the calling thread with the option list and hooks.
    std::optional<Failure> create(JvmHooks hooks);

    // Finds the main class by its slash name (checked first by the launcher,
    // then, when the runtime has one, by its own launcher helper) and calls
    // its main with `arguments`; `beforeMain(context)`, when given, runs just
    // before the call. An exception main leaves is left pending for the caller.
    MainResult callMain(const std::wstring& mainClass, const std::vector<std::wstring>& arguments,
                        void (*beforeMain)(void* context) = nullptr, void* context = nullptr);
    // Detaches the calling thread; false when the JVM refused.
    bool detach();
    // Destroys the JVM, which waits for the application's other non-daemon
    // threads; nothing when there is none.
    void destroy();

    JvmOptionList& options() { return options_; }
    JavaVM* vm() const { return javaVm_; }
    JNIEnv* env() const { return jniEnv_; }
    bool hasBootLoaderLookup() const { return findClassFromBootLoader_ != nullptr; }

private:
    JvmOptionList options_;
    CreateJavaVmFn createJavaVm_ = nullptr;
    GetDefaultJavaVmInitArgsFn getDefaultInitArgs_ = nullptr;
    FindClassFromBootLoaderFn findClassFromBootLoader_ = nullptr;
    JavaVM* javaVm_ = nullptr;
    JNIEnv* jniEnv_ = nullptr;
};

// A java.lang.String holding exactly the UTF-16 code units of `text`; null
// (possibly with a Java exception pending) when it cannot be made.
jstring newJavaString(JNIEnv* env, const std::wstring& text);

// A String[] with one element per entry, in order; null on any failure.
jobjectArray newJavaStringArray(JNIEnv* env, const std::vector<std::wstring>& list);

// Replaces the text from the first to the last percent sign of `name` by the
// date and time picture between them, formatted for `time`.
void expandDateTimePattern(std::wstring& name, const SYSTEMTIME& time);

// Creates the missing folders of the file `path`; the Windows error met, 0
// when nothing failed.
DWORD createParentFolders(const std::wstring& path);

// A java.io.PrintStream over a new FileOutputStream on `path`, replacing or
// appending to the file; null (possibly with a Java exception pending) when
// it cannot be made.
jobject openPrintStream(JNIEnv* env, const std::wstring& path, bool append);

// System.setOut or System.setErr with `printStream`; false, with a pending
// exception printed, when that fails.
bool setJavaStream(JNIEnv* env, jobject printStream, JavaStream target);

// Points System.out and System.err at "Output File" and "Error File" once the
// JVM exists: the date pictures are formatted (into `output`), the names
// written plainly, the files in `refused` (the launcher's own) refused, and
// one file named twice gets one stream. A stream that cannot be redirected
// keeps its target. The refusals to tell the user, in order.
std::vector<Failure> redirectOutputFiles(JNIEnv* env, OutputRedirection& output,
                                         const std::vector<std::wstring>& refused);

// The printed stack trace of `throwable`; empty on any failure.
std::wstring stackTraceText(jthrowable throwable, JNIEnv* env);

// What the Java Exception dialog shows for `throwable`: its printed stack
// trace or, when not even that could be printed, its class name; empty when
// neither can be had.
std::wstring javaExceptionText(jthrowable throwable, JNIEnv* env);

// Calls System.exit(-1); false when that could not be done.
bool callSystemExit(JNIEnv* env);

}  // namespace vexa
