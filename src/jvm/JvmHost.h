// Helpers of the JVM host beside its LauncherApp operations: the exit and
// abort hooks handed to the runtime, Java strings and string arrays built from
// wide text, and the output file name helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "jvm/Jni.h"

namespace vexa {

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

// The printed stack trace of `throwable`; empty on any failure.
std::wstring stackTraceText(jthrowable throwable, JNIEnv* env);

// Calls System.exit(-1); false when that could not be done.
bool callSystemExit(JNIEnv* env);

}  // namespace vexa
