// Inner state of the stand-in Java runtime: objects, classes, references,
// thread environments, exceptions and the Java streams. Everything here is
// reached through the JNI table (Jni.cpp) and the exports (Exports.cpp).
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "Record.h"
#include "jvm/Jni.h"

namespace standin {

// Exit codes of the stand-in's own failures.
constexpr UINT kExitUnimplemented = 0x5107;  // an unimplemented JNI slot was called
constexpr UINT kExitMisuse = 0x5108;         // a JNI call broke the rules (wrong thread, dead reference, ...)
constexpr UINT kExitAbort = 1;               // FatalError or the script's abort, after the abort hook

// The local references every frame holds without asking for more.
constexpr size_t kLocalCapacity = 16;

enum Slot {
#define STANDIN_SLOT_ENUM(index, name, result, params) Slot_##name = index,
    VEXA_JNIENV_SLOTS(STANDIN_SLOT_ENUM)
#undef STANDIN_SLOT_ENUM
};
const char* slotName(int slot);

struct ClassInfo;
struct Env;
struct ScriptClass;
struct ScriptMethod;

using Text = std::u16string;

struct Obj {
    virtual ~Obj() = default;
    ClassInfo* cls = nullptr;
};

struct StringObj : Obj {
    Text units;
};

struct CharArrayObj : Obj {
    std::vector<jchar> data;
};

struct ObjArrayObj : Obj {
    ClassInfo* element = nullptr;
    std::vector<Obj*> items;
};

struct ClassObj : Obj {
    ClassInfo* info = nullptr;
};

struct ThrowableObj : Obj {
    std::optional<Text> message;
    ThrowableObj* cause = nullptr;
    std::vector<Text> frames;  // "demo.Hello.main(Hello.java:3)"
};

// Every java.io stream: the byte sinks (standard handles, files, byte
// buffers) and the print streams over them.
struct StreamObj : Obj {
    enum Kind { StdOut, StdErr, File, Buffer, Print };
    Kind kind = Buffer;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring path;
    bool append = false;
    std::string buffer;
    StreamObj* target = nullptr;  // of a print stream
    bool closed = false;
};

struct PlainObj : Obj {};

// A value crossing a Java method call.
struct Value {
    Obj* obj = nullptr;
    jlong num = 0;
    double dbl = 0;
};

struct CallContext {
    Env& env;
    Obj* self;
    const std::vector<Value>& args;
    Obj* obj(size_t i) const { return i < args.size() ? args[i].obj : nullptr; }
    jint i(size_t i) const { return i < args.size() ? static_cast<jint>(args[i].num) : 0; }
};

using NativeFn = std::function<Value(CallContext&)>;

struct Method {
    ClassInfo* owner = nullptr;
    std::string name;
    std::string sig;
    bool isStatic = false;
    NativeFn native;
    const ScriptMethod* script = nullptr;
    char returnType() const { return sig.empty() ? 'V' : sig[sig.find(')') + 1]; }
};

struct ClassInfo {
    std::string name;  // slash form, "java/lang/String"
    ClassInfo* super = nullptr;
    bool builtin = false;
    bool throwable = false;
    std::wstring source;  // class-path file of a scripted class
    std::shared_ptr<const ScriptClass> script;
    ClassInfo* component = nullptr;  // array classes
    std::vector<std::unique_ptr<Method>> methods;
    ClassObj* mirror = nullptr;

    Method* declared(const std::string& name, const std::string& sig, bool isStatic) const;
    Method* lookup(const std::string& name, const std::string& sig, bool isStatic) const;
    bool isSubclassOf(const ClassInfo* other) const;
    std::string dotted() const;
};

enum class RefKind { Local, Global, Weak };

struct Ref {
    Obj* obj = nullptr;
    RefKind kind = RefKind::Local;
    Env* owner = nullptr;
    bool live = true;
};

// One attached thread. The JNIEnv handed out is this object's base.
struct Env : JNIEnv_ {
    DWORD tid = 0;
    Text threadName;
    bool daemon = false;
    bool attached = true;
    int javaDepth = 0;  // Java methods running on this thread
    ThrowableObj* pending = nullptr;
    std::vector<std::vector<Ref*>> frames{1};  // local reference frames
    std::vector<size_t> capacity{kLocalCapacity};  // of each frame: 16, or what EnsureLocalCapacity/PushLocalFrame asked
    // Set by a call that may leave an exception pending (the Call families,
    // array and string regions, array elements): the next call must be one
    // of the exception functions, as -Xcheck:jni requires.
    const char* checkRequiredBy = nullptr;
    int slot = 0;  // the JNI function running on this thread, for what it breaks
    std::vector<Text> javaFrames;              // script methods running, for stack traces
};

enum class VmState { None, Running, Destroyed };

struct Vm {
    std::recursive_mutex mu;
    std::condition_variable_any changed;
    VmState state = VmState::None;
    JavaVM_ javaVm{};
    std::map<std::string, ClassInfo*> classes;
    std::map<Text, Text> properties;
    std::vector<std::wstring> classPath;
    JvmExitHookFn exitHook = nullptr;
    JvmAbortHookFn abortHook = nullptr;
    jint(JNICALL* vfprintfHook)(void*, const char*, va_list) = nullptr;
    StreamObj* sysOut = nullptr;  // current System.out / System.err print streams
    StreamObj* sysErr = nullptr;
    std::vector<Env*> envs;
    std::unordered_set<const Ref*> refs;
    std::set<const void*> buffers;  // outstanding string and array buffers
    int threadCounter = 0;
    bool utf8Output = true;
    DWORD tls = TLS_OUT_OF_INDEXES;
};

Vm& vm();

// The module's own path and build facts (Exports.cpp).
std::wstring modulePath();
const char* variantName();

// Failures of the caller: recorded, printed, and the process ends.
[[noreturn]] void misuse(int slot, const std::string& reason);
[[noreturn]] void trapSlot(int slot);

// Strict (the default; VEXA_STANDIN_STRICT=0 turns it off): what -Xcheck:jni
// only warns about is fatal misuse; else it is recorded and the call goes on.
bool strictMode();
// A rule broken that a lenient runtime forgives: recorded as `event` with
// the slot, then fatal misuse in strict mode.
void breach(const char* event, int slot, const std::string& reason);

// Environments.
Env* currentEnv();
Env* attachThread(const Text& name, bool daemon);  // the calling thread; records "attach" events itself
void detachThread(Env* env);
Env* newThreadEnv(const Text& name, bool daemon);  // for a thread about to be started
void bindThread(Env* env);                          // called on that new thread
int liveNonDaemonThreads(const Env* except);

// References.
jobject newLocal(Env& env, Obj* obj);
jobject newGlobal(Obj* obj, RefKind kind);
Obj* deref(Env& env, jobject ref, int slot);
void deleteRef(Env& env, jobject ref, RefKind expected, int slot);

// Classes and objects.
void defineBuiltins();
ClassInfo* findLoadedClass(const std::string& name);
ClassInfo* bootClass(const std::string& name);  // builtin classes only
ClassInfo* loadClass(Env& env, const std::string& name);  // sets a pending error when not found
ClassInfo* throwableClass(const std::string& name);       // a builtin or a new application exception class
ClassObj* mirrorOf(ClassInfo* info);
StringObj* newString(const Text& units);
ThrowableObj* newThrowable(ClassInfo* cls, std::optional<Text> message);
ThrowableObj* newThrowable(const std::string& cls, std::optional<Text> message);
Value invokeMethod(Env& env, Method* method, Obj* self, const std::vector<Value>& args);

// Exceptions.
void throwPending(Env& env, ThrowableObj* throwable);
void throwNew(Env& env, const std::string& cls, std::optional<Text> message);
Text throwableText(const ThrowableObj* t);  // "java.lang.X: message"
void printStackTrace(const ThrowableObj* t, StreamObj* printStream);
void dispatchUncaught(Env& env);  // "Exception in thread ..." on System.err, clears the exception

// Streams and output.
StreamObj* newPrintStream(StreamObj* target);
bool writeBytes(StreamObj* stream, const std::string& bytes);  // false when the stream cannot write
void printText(StreamObj* printStream, const Text& text);
void printNative(const std::string& text);  // the runtime's own messages: the vfprintf hook or the error handle
std::string encodeOutput(const Text& text);  // the default charset
Text decodeOutput(const std::string& bytes);

// Exit paths.
[[noreturn]] void systemExit(jint status);
[[noreturn]] void abortVm(const std::string& message);

// Text helpers.
Text widenAnsi(std::string_view bytes);
Text fromWide(std::wstring_view text);
std::wstring toWide(const Text& text);
std::string modifiedUtf8(const Text& units);
bool isModifiedUtf8(std::string_view bytes);  // no 4-byte forms, no malformed sequences
Text fromModifiedUtf8(std::string_view bytes);
std::string utf8(const Text& units);
Text fromUtf8(std::string_view bytes);
std::string narrowUtf8(std::wstring_view text);
Text ascii(std::string_view text);

// Environment knobs: VEXA_STANDIN_<name>.
std::optional<std::wstring> knob(const wchar_t* name);

// The invocation interface table.
const JNIInvokeInterface* invokeTable();
const JNINativeInterface* nativeTable();

// Creation (Create.cpp).
jint createJavaVm(JavaVM** pvm, void** penv, void* args);
jint defaultInitArgs(void* args);
jclass findClassFromBootLoader(JNIEnv* env, const char* name);

}  // namespace standin
