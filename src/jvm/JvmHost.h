// Helpers of the JVM host beside its LauncherApp operations: the exit and
// abort hooks handed to the runtime, Java strings and string arrays built from
// wide text, and the output file name helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "jvm/Jni.h"

namespace vexa {

class LauncherApp;
enum class JavaStream;

// The "exit" and "abort" options: forwarded to LauncherApp's hook target
// when there is one, otherwise they return at once and the JVM goes on.
void JNICALL jvmExitHook(jint status);
void JNICALL jvmAbortHook();

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
// JVM exists: the date pictures are formatted, the names written plainly,
// the launcher's own files refused (with a message), and one file named
// twice gets one stream. A stream that cannot be redirected keeps its target.
void redirectOutputFiles(LauncherApp& app);

// The printed stack trace of `throwable`; empty on any failure.
std::wstring stackTraceText(jthrowable throwable, JNIEnv* env);

// Calls System.exit(-1); false when that could not be done.
bool callSystemExit(JNIEnv* env);

}  // namespace vexa
