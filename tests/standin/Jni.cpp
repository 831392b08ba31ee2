// The JNIEnv function table and the invocation interface of the stand-in
// runtime. Every slot holds a function: the implemented ones below, and for
// every other slot a trap that records the slot and ends the process.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "Vm.h"

namespace standin {
namespace {

// ---- traps for the slots without an implementation ---------------------------

#define STANDIN_TRAP(index, name, result, params) \
    result JNICALL trap_##name params { trapSlot(index); }
VEXA_JNIENV_SLOTS(STANDIN_TRAP)
#undef STANDIN_TRAP

// ---- entry checks --------------------------------------------------------------

bool exceptionSafe(int slot) {
    switch (slot) {
    case Slot_ExceptionOccurred:
    case Slot_ExceptionDescribe:
    case Slot_ExceptionClear:
    case Slot_ExceptionCheck:
    case Slot_ReleaseStringChars:
    case Slot_ReleaseStringUTFChars:
    case Slot_ReleaseStringCritical:
    case Slot_ReleaseCharArrayElements:
    case Slot_ReleasePrimitiveArrayCritical:
    case Slot_DeleteLocalRef:
    case Slot_DeleteGlobalRef:
    case Slot_DeleteWeakGlobalRef:
    case Slot_MonitorExit:
    case Slot_PushLocalFrame:
    case Slot_PopLocalFrame:
        return true;
    default:
        return false;
    }
}

// The exception functions: they satisfy a required exception check.
bool checksException(int slot) {
    return slot == Slot_ExceptionOccurred || slot == Slot_ExceptionCheck || slot == Slot_ExceptionClear ||
           slot == Slot_ExceptionDescribe;
}

// Calls after which -Xcheck:jni requires an exception check before any other
// call: the Call families (whatever the method did), array elements and
// string and array regions.
bool requiresCheck(int slot) {
    const std::string_view name = slotName(slot);
    return name.rfind("Call", 0) == 0 || name.find("Region") != std::string_view::npos ||
           slot == Slot_GetObjectArrayElement || slot == Slot_SetObjectArrayElement;
}

// ---- the failure switch ----------------------------------------------------------

// VEXA_STANDIN_FAIL_AT=NewObjectArray:2[,FindClass:1...]: the Nth call of that
// function (counted in the process, the V and A forms with their family)
// fails as a runtime out of memory does: an exception pending and a null or
// zero result.
std::string familyName(int slot) {
    std::string name = slotName(slot);
    for (const char* tail : {"MethodV", "MethodA", "ObjectV", "ObjectA"}) {
        const size_t n = std::strlen(tail);
        if (name.size() > n && name.compare(name.size() - n, n, tail) == 0) {
            name.pop_back();
            break;
        }
    }
    return name;
}

struct FailPoint {
    std::string name;
    long at = 0;
    long seen = 0;
};

std::vector<FailPoint>& failPoints() {
    static std::vector<FailPoint> points = [] {
        std::vector<FailPoint> list;
        const std::string text = narrowUtf8(knob(L"FAIL_AT").value_or(L""));
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(',', start);
            if (end == std::string::npos) end = text.size();
            const std::string item = text.substr(start, end - start);
            const size_t colon = item.find(':');
            FailPoint point;
            point.name = item.substr(0, colon);
            point.at = colon == std::string::npos ? 1 : std::atol(item.c_str() + colon + 1);
            if (!point.name.empty() && point.at > 0) list.push_back(point);
            start = end + 1;
        }
        return list;
    }();
    return points;
}

bool failHere(Env& env, int slot, const char* exception = "java/lang/OutOfMemoryError") {
    auto& points = failPoints();
    if (points.empty()) return false;
    const std::string name = familyName(slot);
    std::lock_guard<std::recursive_mutex> guard(vm().mu);
    for (FailPoint& point : points) {
        if (point.name != name || ++point.seen != point.at) continue;
        RecordLine("fail-at").bytes("name", name).number("call", point.seen).bytes("exception", exception).write();
        throwNew(env, exception, ascii("stand-in: FAIL_AT " + name + ":" + std::to_string(point.seen)));
        return true;
    }
    return false;
}

// Every JNI function starts here: the VM must exist and the environment must
// be the calling thread's own.
Env& enter(JNIEnv* jenv, int slot) {
    Vm& v = vm();
    if (v.state == VmState::None) misuse(slot, "no Java VM exists");
    if (v.state == VmState::Destroyed) misuse(slot, "the Java VM was destroyed");
    Env* current = currentEnv();
    if (current == nullptr) misuse(slot, "called from a thread that is not attached to the Java VM");
    if (static_cast<Env*>(jenv) != current) misuse(slot, "JNIEnv of another thread");
    if (current->pending != nullptr && !exceptionSafe(slot)) {
        RecordLine("pending-call")
            .number("slot", slot)
            .bytes("name", slotName(slot))
            .bytes("exception", current->pending->cls->name)
            .write();
        if (strictMode())
            misuse(slot, "called while " + current->pending->cls->dotted() + " is pending");
    } else if (current->checkRequiredBy != nullptr && !exceptionSafe(slot)) {
        breach("unchecked-call", slot,
               std::string("called after ") + current->checkRequiredBy + " without checking for an exception");
    }
    if (checksException(slot) || !exceptionSafe(slot)) current->checkRequiredBy = nullptr;
    if (requiresCheck(slot)) current->checkRequiredBy = slotName(slot);
    current->slot = slot;
    return *current;
}

template <typename T>
T* objectAs(Env& env, jobject ref, int slot, const char* what) {
    Obj* obj = deref(env, ref, slot);
    if (obj == nullptr) misuse(slot, std::string(what) + " is null");
    auto* typed = dynamic_cast<T*>(obj);
    if (typed == nullptr) misuse(slot, std::string(what) + " has the wrong type (" + obj->cls->name + ")");
    return typed;
}

ClassInfo* classOf(Env& env, jclass ref, int slot) { return objectAs<ClassObj>(env, ref, slot, "class argument")->info; }

Method* checkMethod(int slot, jmethodID id) {
    if (id == nullptr) misuse(slot, "method ID is null");
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto* method = reinterpret_cast<Method*>(id);
    for (const auto& entry : v.classes)
        for (const auto& m : entry.second->methods)
            if (m.get() == method) return method;
    misuse(slot, "not a method ID of this runtime");
}

jmethodID idOf(Method* m) { return reinterpret_cast<jmethodID>(m); }

// ---- argument lists ---------------------------------------------------------------

std::vector<char> parameterCodes(const std::string& sig) {
    std::vector<char> codes;
    size_t i = 1;
    while (i < sig.size() && sig[i] != ')') {
        char c = sig[i];
        if (c == '[') {
            while (i < sig.size() && sig[i] == '[') ++i;
            if (i < sig.size() && sig[i] == 'L') i = sig.find(';', i);
            ++i;
            codes.push_back('L');
        } else if (c == 'L') {
            i = sig.find(';', i) + 1;
            codes.push_back('L');
        } else {
            codes.push_back(c);
            ++i;
        }
    }
    return codes;
}

std::vector<Value> collectV(Env& env, int slot, Method* m, va_list ap) {
    std::vector<Value> args;
    for (char code : parameterCodes(m->sig)) {
        Value v;
        switch (code) {
        case 'L': v.obj = deref(env, va_arg(ap, jobject), slot); break;
        case 'J': v.num = va_arg(ap, jlong); break;
        case 'F':
        case 'D': v.dbl = va_arg(ap, double); break;
        default: v.num = va_arg(ap, int); break;  // Z B C S I are promoted to int
        }
        args.push_back(v);
    }
    return args;
}

std::vector<Value> collectA(Env& env, int slot, Method* m, const jvalue* a) {
    std::vector<Value> args;
    auto codes = parameterCodes(m->sig);
    if (!codes.empty() && a == nullptr) misuse(slot, "argument array is null");
    for (size_t i = 0; i < codes.size(); ++i) {
        Value v;
        switch (codes[i]) {
        case 'L': v.obj = deref(env, a[i].l, slot); break;
        case 'Z': v.num = a[i].z; break;
        case 'B': v.num = a[i].b; break;
        case 'C': v.num = a[i].c; break;
        case 'S': v.num = a[i].s; break;
        case 'I': v.num = a[i].i; break;
        case 'J': v.num = a[i].j; break;
        case 'F': v.dbl = a[i].f; break;
        case 'D': v.dbl = a[i].d; break;
        }
        args.push_back(v);
    }
    return args;
}

// ---- calls ---------------------------------------------------------------------------

// A runtime calls the method whatever the result type of the Call function
// (the result is then meaningless); the mismatch is recorded, and is fatal
// in strict mode.
void checkReturn(int slot, Method* m, char code) {
    char actual = m->returnType();
    if (actual == '[') actual = 'L';
    if (actual == code) return;
    RecordLine("result-mismatch")
        .number("slot", slot)
        .bytes("name", slotName(slot))
        .bytes("class", m->owner->name)
        .bytes("method", m->name)
        .bytes("sig", m->sig)
        .write();
    if (strictMode()) misuse(slot, "method " + m->name + m->sig + " called through a function for another result type");
}

void recordCall(Method* m, const char* kind) {
    RecordLine("call").bytes("class", m->owner->name).bytes("method", m->name).bytes("sig", m->sig).bytes("kind", kind).write();
}

Value doVirtual(Env& env, int slot, char code, jobject obj, Method* m, const std::vector<Value>& args) {
    Obj* self = deref(env, obj, slot);
    if (self == nullptr) misuse(slot, "object is null");
    if (m->isStatic) misuse(slot, "static method called as an instance method");
    if (!self->cls->isSubclassOf(m->owner)) misuse(slot, "method does not belong to the object's class");
    checkReturn(slot, m, code);
    if (failHere(env, slot)) return {};
    Method* target = self->cls->lookup(m->name, m->sig, false);
    if (target == nullptr) target = m;
    recordCall(target, "virtual");
    return invokeMethod(env, target, self, args);
}

Value doNonvirtual(Env& env, int slot, char code, jobject obj, jclass cls, Method* m, const std::vector<Value>& args) {
    Obj* self = deref(env, obj, slot);
    if (self == nullptr) misuse(slot, "object is null");
    classOf(env, cls, slot);
    if (m->isStatic) misuse(slot, "static method called as an instance method");
    checkReturn(slot, m, code);
    if (failHere(env, slot)) return {};
    recordCall(m, "nonvirtual");
    return invokeMethod(env, m, self, args);
}

Value doStatic(Env& env, int slot, char code, jclass cls, Method* m, const std::vector<Value>& args) {
    ClassInfo* info = classOf(env, cls, slot);
    if (!m->isStatic) misuse(slot, "instance method called as a static method");
    if (!info->isSubclassOf(m->owner)) misuse(slot, "method does not belong to the class");
    checkReturn(slot, m, code);
    if (failHere(env, slot)) return {};
    recordCall(m, "static");
    return invokeMethod(env, m, nullptr, args);
}

template <typename T>
T finish(Env& env, const Value& v) {
    if constexpr (std::is_same_v<T, void>) {
        (void)env;
        (void)v;
    } else if constexpr (std::is_same_v<T, jobject>) {
        return env.pending != nullptr ? nullptr : newLocal(env, v.obj);  // null for a void method
    } else if constexpr (std::is_floating_point_v<T>) {
        return static_cast<T>(v.dbl);
    } else {
        return static_cast<T>(v.num);
    }
}

#define STANDIN_CALL_FAMILY(Type, CType, Code)                                                                   \
    CType JNICALL jCall##Type##MethodV(JNIEnv* e, jobject o, jmethodID id, va_list ap) {                         \
        constexpr int slot = Slot_Call##Type##MethodV;                                                           \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        auto args = collectV(env, slot, m, ap);                                                                  \
        return finish<CType>(env, doVirtual(env, slot, Code, o, m, args));                                       \
    }                                                                                                            \
    CType JNICALL jCall##Type##Method(JNIEnv* e, jobject o, jmethodID id, ...) {                                 \
        constexpr int slot = Slot_Call##Type##Method;                                                            \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        va_list ap;                                                                                              \
        va_start(ap, id);                                                                                        \
        auto args = collectV(env, slot, m, ap);                                                                  \
        va_end(ap);                                                                                              \
        return finish<CType>(env, doVirtual(env, slot, Code, o, m, args));                                       \
    }                                                                                                            \
    CType JNICALL jCall##Type##MethodA(JNIEnv* e, jobject o, jmethodID id, const jvalue* a) {                    \
        constexpr int slot = Slot_Call##Type##MethodA;                                                           \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        auto args = collectA(env, slot, m, a);                                                                   \
        return finish<CType>(env, doVirtual(env, slot, Code, o, m, args));                                       \
    }                                                                                                            \
    CType JNICALL jCallNonvirtual##Type##MethodV(JNIEnv* e, jobject o, jclass c, jmethodID id, va_list ap) {     \
        constexpr int slot = Slot_CallNonvirtual##Type##MethodV;                                                 \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        auto args = collectV(env, slot, m, ap);                                                                  \
        return finish<CType>(env, doNonvirtual(env, slot, Code, o, c, m, args));                                 \
    }                                                                                                            \
    CType JNICALL jCallNonvirtual##Type##Method(JNIEnv* e, jobject o, jclass c, jmethodID id, ...) {             \
        constexpr int slot = Slot_CallNonvirtual##Type##Method;                                                  \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        va_list ap;                                                                                              \
        va_start(ap, id);                                                                                        \
        auto args = collectV(env, slot, m, ap);                                                                  \
        va_end(ap);                                                                                              \
        return finish<CType>(env, doNonvirtual(env, slot, Code, o, c, m, args));                                 \
    }                                                                                                            \
    CType JNICALL jCallNonvirtual##Type##MethodA(JNIEnv* e, jobject o, jclass c, jmethodID id, const jvalue* a) { \
        constexpr int slot = Slot_CallNonvirtual##Type##MethodA;                                                 \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        auto args = collectA(env, slot, m, a);                                                                   \
        return finish<CType>(env, doNonvirtual(env, slot, Code, o, c, m, args));                                 \
    }                                                                                                            \
    CType JNICALL jCallStatic##Type##MethodV(JNIEnv* e, jclass c, jmethodID id, va_list ap) {                    \
        constexpr int slot = Slot_CallStatic##Type##MethodV;                                                     \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        auto args = collectV(env, slot, m, ap);                                                                  \
        return finish<CType>(env, doStatic(env, slot, Code, c, m, args));                                        \
    }                                                                                                            \
    CType JNICALL jCallStatic##Type##Method(JNIEnv* e, jclass c, jmethodID id, ...) {                            \
        constexpr int slot = Slot_CallStatic##Type##Method;                                                      \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        va_list ap;                                                                                              \
        va_start(ap, id);                                                                                        \
        auto args = collectV(env, slot, m, ap);                                                                  \
        va_end(ap);                                                                                              \
        return finish<CType>(env, doStatic(env, slot, Code, c, m, args));                                        \
    }                                                                                                            \
    CType JNICALL jCallStatic##Type##MethodA(JNIEnv* e, jclass c, jmethodID id, const jvalue* a) {               \
        constexpr int slot = Slot_CallStatic##Type##MethodA;                                                     \
        Env& env = enter(e, slot);                                                                               \
        Method* m = checkMethod(slot, id);                                                                       \
        auto args = collectA(env, slot, m, a);                                                                   \
        return finish<CType>(env, doStatic(env, slot, Code, c, m, args));                                        \
    }

#define STANDIN_CALL_TYPES(X)         \
    X(Object, jobject, 'L')           \
    X(Boolean, jboolean, 'Z')         \
    X(Byte, jbyte, 'B')               \
    X(Char, jchar, 'C')               \
    X(Short, jshort, 'S')             \
    X(Int, jint, 'I')                 \
    X(Long, jlong, 'J')               \
    X(Float, jfloat, 'F')             \
    X(Double, jdouble, 'D')           \
    X(Void, void, 'V')

STANDIN_CALL_TYPES(STANDIN_CALL_FAMILY)

// ---- objects -----------------------------------------------------------------------------

Obj* allocate(ClassInfo* cls) {
    Obj* obj = nullptr;
    if (cls->throwable)
        obj = new ThrowableObj;
    else if (cls->name == "java/lang/String")
        obj = new StringObj;
    else if (cls->isSubclassOf(bootClass("java/io/OutputStream")))
        obj = new StreamObj;
    else
        obj = new PlainObj;
    obj->cls = cls;
    return obj;
}

Value construct(Env& env, int slot, jclass c, Method* m, const std::vector<Value>& args) {
    ClassInfo* cls = classOf(env, c, slot);
    if (m->name != "<init>" || m->owner != cls) misuse(slot, "method ID is not a constructor of this class");
    if (failHere(env, slot)) return {};
    RecordLine("new").bytes("class", cls->name).bytes("sig", m->sig).write();
    Obj* obj = allocate(cls);
    invokeMethod(env, m, obj, args);
    Value v;
    v.obj = env.pending != nullptr ? nullptr : obj;
    return v;
}

jobject JNICALL jNewObjectV(JNIEnv* e, jclass c, jmethodID id, va_list ap) {
    constexpr int slot = Slot_NewObjectV;
    Env& env = enter(e, slot);
    Method* m = checkMethod(slot, id);
    auto args = collectV(env, slot, m, ap);
    return finish<jobject>(env, construct(env, slot, c, m, args));
}

jobject JNICALL jNewObject(JNIEnv* e, jclass c, jmethodID id, ...) {
    constexpr int slot = Slot_NewObject;
    Env& env = enter(e, slot);
    Method* m = checkMethod(slot, id);
    va_list ap;
    va_start(ap, id);
    auto args = collectV(env, slot, m, ap);
    va_end(ap);
    return finish<jobject>(env, construct(env, slot, c, m, args));
}

jobject JNICALL jNewObjectA(JNIEnv* e, jclass c, jmethodID id, const jvalue* a) {
    constexpr int slot = Slot_NewObjectA;
    Env& env = enter(e, slot);
    Method* m = checkMethod(slot, id);
    auto args = collectA(env, slot, m, a);
    return finish<jobject>(env, construct(env, slot, c, m, args));
}

jobject JNICALL jAllocObject(JNIEnv* e, jclass c) {
    Env& env = enter(e, Slot_AllocObject);
    return newLocal(env, allocate(classOf(env, c, Slot_AllocObject)));
}

jint JNICALL jGetVersion(JNIEnv* e) {
    enter(e, Slot_GetVersion);
    return JNI_VERSION_1_8;
}

jclass JNICALL jFindClass(JNIEnv* e, const char* name) {
    Env& env = enter(e, Slot_FindClass);
    if (name == nullptr) misuse(Slot_FindClass, "class name is null");
    if (!isModifiedUtf8(name)) breach("bad-utf8", Slot_FindClass, "class name is not modified UTF-8");
    if (failHere(env, Slot_FindClass)) return nullptr;
    ClassInfo* cls = loadClass(env, name);
    RecordLine line("find-class");
    line.bytes("name", name).flag("found", cls != nullptr);
    if (cls != nullptr) line.wide("source", cls->builtin ? L"" : cls->source);
    line.write();
    return cls == nullptr ? nullptr : reinterpret_cast<jclass>(newLocal(env, mirrorOf(cls)));
}

jclass JNICALL jGetSuperclass(JNIEnv* e, jclass c) {
    Env& env = enter(e, Slot_GetSuperclass);
    ClassInfo* cls = classOf(env, c, Slot_GetSuperclass);
    return cls->super == nullptr ? nullptr : reinterpret_cast<jclass>(newLocal(env, mirrorOf(cls->super)));
}

jboolean JNICALL jIsAssignableFrom(JNIEnv* e, jclass sub, jclass sup) {
    Env& env = enter(e, Slot_IsAssignableFrom);
    return classOf(env, sub, Slot_IsAssignableFrom)->isSubclassOf(classOf(env, sup, Slot_IsAssignableFrom)) ? JNI_TRUE
                                                                                                         : JNI_FALSE;
}

jclass JNICALL jGetObjectClass(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_GetObjectClass);
    Obj* obj = deref(env, o, Slot_GetObjectClass);
    if (obj == nullptr) misuse(Slot_GetObjectClass, "object is null");
    return reinterpret_cast<jclass>(newLocal(env, mirrorOf(obj->cls)));
}

jboolean JNICALL jIsInstanceOf(JNIEnv* e, jobject o, jclass c) {
    Env& env = enter(e, Slot_IsInstanceOf);
    Obj* obj = deref(env, o, Slot_IsInstanceOf);
    ClassInfo* cls = classOf(env, c, Slot_IsInstanceOf);
    return obj == nullptr || obj->cls->isSubclassOf(cls) ? JNI_TRUE : JNI_FALSE;
}

jmethodID methodId(JNIEnv* e, jclass c, const char* name, const char* sig, bool isStatic, int slot) {
    Env& env = enter(e, slot);
    ClassInfo* cls = classOf(env, c, slot);
    if (name == nullptr || sig == nullptr) misuse(slot, "method name or signature is null");
    if (failHere(env, slot)) return nullptr;
    Method* m = cls->lookup(name, sig, isStatic);
    RecordLine("method-id")
        .bytes("class", cls->name)
        .bytes("name", name)
        .bytes("sig", sig)
        .flag("static", isStatic)
        .flag("found", m != nullptr)
        .write();
    if (m == nullptr) {
        throwNew(env, "java/lang/NoSuchMethodError", fromModifiedUtf8(name));
        return nullptr;
    }
    return idOf(m);
}

jmethodID JNICALL jGetMethodID(JNIEnv* e, jclass c, const char* name, const char* sig) {
    return methodId(e, c, name, sig, false, Slot_GetMethodID);
}

jmethodID JNICALL jGetStaticMethodID(JNIEnv* e, jclass c, const char* name, const char* sig) {
    return methodId(e, c, name, sig, true, Slot_GetStaticMethodID);
}

// ---- exceptions --------------------------------------------------------------------------

jint JNICALL jThrow(JNIEnv* e, jthrowable t) {
    Env& env = enter(e, Slot_Throw);
    throwPending(env, objectAs<ThrowableObj>(env, t, Slot_Throw, "throwable"));
    return JNI_OK;
}

jint JNICALL jThrowNew(JNIEnv* e, jclass c, const char* message) {
    Env& env = enter(e, Slot_ThrowNew);
    ClassInfo* cls = classOf(env, c, Slot_ThrowNew);
    if (!cls->throwable) misuse(Slot_ThrowNew, cls->name + " is not a Throwable");
    std::optional<Text> text;
    if (message != nullptr) text = fromModifiedUtf8(message);
    throwPending(env, newThrowable(cls, text));
    return JNI_OK;
}

jthrowable JNICALL jExceptionOccurred(JNIEnv* e) {
    Env& env = enter(e, Slot_ExceptionOccurred);
    return reinterpret_cast<jthrowable>(newLocal(env, env.pending));
}

// As a runtime does: "Exception in thread ..." on the runtime's own error
// output, the trace through Throwable.printStackTrace on System.err.
void JNICALL jExceptionDescribe(JNIEnv* e) {
    Env& env = enter(e, Slot_ExceptionDescribe);
    ThrowableObj* t = env.pending;
    if (t == nullptr) return;
    env.pending = nullptr;
    RecordLine("describe")
        .units("thread", env.threadName)
        .bytes("class", t->cls->name)
        .units("message", t->message.value_or(u""))
        .flag("null-message", !t->message)
        .write();
    if (t->cls->name == "java/lang/ThreadDeath") return;
    printNative("Exception in thread \"" + utf8(env.threadName) + "\" ");
    if (vm().sysErr != nullptr) printStackTrace(t, vm().sysErr);
}

void JNICALL jExceptionClear(JNIEnv* e) {
    Env& env = enter(e, Slot_ExceptionClear);
    if (env.pending != nullptr) RecordLine("exception-clear").bytes("class", env.pending->cls->name).write();
    env.pending = nullptr;
}

jboolean JNICALL jExceptionCheck(JNIEnv* e) {
    Env& env = enter(e, Slot_ExceptionCheck);
    return env.pending != nullptr ? JNI_TRUE : JNI_FALSE;
}

void JNICALL jFatalError(JNIEnv* e, const char* message) {
    enter(e, Slot_FatalError);
    abortVm(std::string("FATAL ERROR in native method: ") + (message != nullptr ? message : "") + "\r\n");
}

// ---- references ------------------------------------------------------------------------------

jint JNICALL jPushLocalFrame(JNIEnv* e, jint capacity) {
    Env& env = enter(e, Slot_PushLocalFrame);
    if (capacity < 0) return JNI_ERR;
    std::lock_guard<std::recursive_mutex> guard(vm().mu);
    env.frames.emplace_back();
    env.capacity.push_back(static_cast<size_t>(capacity));
    return JNI_OK;
}

jobject JNICALL jPopLocalFrame(JNIEnv* e, jobject result) {
    Env& env = enter(e, Slot_PopLocalFrame);
    Obj* kept = deref(env, result, Slot_PopLocalFrame);
    {
        std::lock_guard<std::recursive_mutex> guard(vm().mu);
        if (env.frames.size() < 2) misuse(Slot_PopLocalFrame, "no local frame was pushed");
        for (Ref* ref : env.frames.back()) ref->live = false;
        env.frames.pop_back();
        env.capacity.pop_back();
    }
    return newLocal(env, kept);
}

jobject JNICALL jNewGlobalRef(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_NewGlobalRef);
    return newGlobal(deref(env, o, Slot_NewGlobalRef), RefKind::Global);
}

void JNICALL jDeleteGlobalRef(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_DeleteGlobalRef);
    deleteRef(env, o, RefKind::Global, Slot_DeleteGlobalRef);
}

void JNICALL jDeleteLocalRef(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_DeleteLocalRef);
    deleteRef(env, o, RefKind::Local, Slot_DeleteLocalRef);
}

jobject JNICALL jNewWeakGlobalRef(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_NewWeakGlobalRef);
    return newGlobal(deref(env, o, Slot_NewWeakGlobalRef), RefKind::Weak);
}

void JNICALL jDeleteWeakGlobalRef(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_DeleteWeakGlobalRef);
    deleteRef(env, o, RefKind::Weak, Slot_DeleteWeakGlobalRef);
}

jboolean JNICALL jIsSameObject(JNIEnv* e, jobject a, jobject b) {
    Env& env = enter(e, Slot_IsSameObject);
    return deref(env, a, Slot_IsSameObject) == deref(env, b, Slot_IsSameObject) ? JNI_TRUE : JNI_FALSE;
}

jobject JNICALL jNewLocalRef(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_NewLocalRef);
    return newLocal(env, deref(env, o, Slot_NewLocalRef));
}

jint JNICALL jEnsureLocalCapacity(JNIEnv* e, jint capacity) {
    Env& env = enter(e, Slot_EnsureLocalCapacity);
    if (capacity < 0) return JNI_ERR;
    std::lock_guard<std::recursive_mutex> guard(vm().mu);
    env.capacity.back() = std::max(env.capacity.back(), env.frames.back().size() + static_cast<size_t>(capacity));
    return JNI_OK;
}

jobjectRefType JNICALL jGetObjectRefType(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_GetObjectRefType);
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto* ref = reinterpret_cast<const Ref*>(o);
    if (o == nullptr || v.refs.count(ref) == 0 || !ref->live) return JNIInvalidRefType;
    switch (ref->kind) {
    case RefKind::Local: return ref->owner == &env ? JNILocalRefType : JNIInvalidRefType;
    case RefKind::Global: return JNIGlobalRefType;
    case RefKind::Weak: return JNIWeakGlobalRefType;
    }
    return JNIInvalidRefType;
}

jint JNICALL jMonitorEnter(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_MonitorEnter);
    if (deref(env, o, Slot_MonitorEnter) == nullptr) misuse(Slot_MonitorEnter, "object is null");
    return JNI_OK;
}

jint JNICALL jMonitorExit(JNIEnv* e, jobject o) {
    Env& env = enter(e, Slot_MonitorExit);
    if (deref(env, o, Slot_MonitorExit) == nullptr) misuse(Slot_MonitorExit, "object is null");
    return JNI_OK;
}

jint JNICALL jGetJavaVM(JNIEnv* e, JavaVM** out) {
    enter(e, Slot_GetJavaVM);
    if (out == nullptr) misuse(Slot_GetJavaVM, "result pointer is null");
    *out = &vm().javaVm;
    return JNI_OK;
}

// ---- strings ---------------------------------------------------------------------------------

StringObj* stringArg(Env& env, jstring s, int slot) { return objectAs<StringObj>(env, s, slot, "string"); }

void* keepBuffer(void* buffer) {
    std::lock_guard<std::recursive_mutex> guard(vm().mu);
    vm().buffers.insert(buffer);
    return buffer;
}

void releaseBuffer(const void* buffer, int slot) {
    {
        std::lock_guard<std::recursive_mutex> guard(vm().mu);
        if (vm().buffers.erase(buffer) == 0) misuse(slot, "buffer was not handed out by this runtime or is released twice");
    }
    std::free(const_cast<void*>(buffer));
}

jstring JNICALL jNewString(JNIEnv* e, const jchar* units, jsize length) {
    Env& env = enter(e, Slot_NewString);
    if (length < 0 || (length > 0 && units == nullptr)) misuse(Slot_NewString, "bad characters or length");
    if (failHere(env, Slot_NewString)) return nullptr;
    return reinterpret_cast<jstring>(newLocal(env, newString(Text(reinterpret_cast<const char16_t*>(units), length))));
}

jsize JNICALL jGetStringLength(JNIEnv* e, jstring s) {
    Env& env = enter(e, Slot_GetStringLength);
    return static_cast<jsize>(stringArg(env, s, Slot_GetStringLength)->units.size());
}

const jchar* copyUnits(const Text& units) {
    auto* buffer = static_cast<jchar*>(std::malloc((units.size() + 1) * sizeof(jchar)));
    std::copy(units.begin(), units.end(), buffer);
    buffer[units.size()] = 0;
    return static_cast<const jchar*>(keepBuffer(buffer));
}

const jchar* JNICALL jGetStringChars(JNIEnv* e, jstring s, jboolean* isCopy) {
    Env& env = enter(e, Slot_GetStringChars);
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return copyUnits(stringArg(env, s, Slot_GetStringChars)->units);
}

void JNICALL jReleaseStringChars(JNIEnv* e, jstring s, const jchar* chars) {
    Env& env = enter(e, Slot_ReleaseStringChars);
    stringArg(env, s, Slot_ReleaseStringChars);
    releaseBuffer(chars, Slot_ReleaseStringChars);
}

const jchar* JNICALL jGetStringCritical(JNIEnv* e, jstring s, jboolean* isCopy) {
    Env& env = enter(e, Slot_GetStringCritical);
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return copyUnits(stringArg(env, s, Slot_GetStringCritical)->units);
}

void JNICALL jReleaseStringCritical(JNIEnv* e, jstring s, const jchar* chars) {
    Env& env = enter(e, Slot_ReleaseStringCritical);
    stringArg(env, s, Slot_ReleaseStringCritical);
    releaseBuffer(chars, Slot_ReleaseStringCritical);
}

jstring JNICALL jNewStringUTF(JNIEnv* e, const char* bytes) {
    Env& env = enter(e, Slot_NewStringUTF);
    if (bytes == nullptr) return nullptr;
    if (!isModifiedUtf8(bytes)) breach("bad-utf8", Slot_NewStringUTF, "text is not modified UTF-8");
    if (failHere(env, Slot_NewStringUTF)) return nullptr;
    return reinterpret_cast<jstring>(newLocal(env, newString(fromModifiedUtf8(bytes))));
}

jsize JNICALL jGetStringUTFLength(JNIEnv* e, jstring s) {
    Env& env = enter(e, Slot_GetStringUTFLength);
    return static_cast<jsize>(modifiedUtf8(stringArg(env, s, Slot_GetStringUTFLength)->units).size());
}

const char* JNICALL jGetStringUTFChars(JNIEnv* e, jstring s, jboolean* isCopy) {
    Env& env = enter(e, Slot_GetStringUTFChars);
    if (failHere(env, Slot_GetStringUTFChars)) return nullptr;
    std::string bytes = modifiedUtf8(stringArg(env, s, Slot_GetStringUTFChars)->units);
    auto* buffer = static_cast<char*>(std::malloc(bytes.size() + 1));
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return static_cast<const char*>(keepBuffer(buffer));
}

void JNICALL jReleaseStringUTFChars(JNIEnv* e, jstring s, const char* chars) {
    Env& env = enter(e, Slot_ReleaseStringUTFChars);
    stringArg(env, s, Slot_ReleaseStringUTFChars);
    releaseBuffer(chars, Slot_ReleaseStringUTFChars);
}

bool regionOk(size_t size, jsize start, jsize length) {
    return start >= 0 && length >= 0 && static_cast<size_t>(start) + static_cast<size_t>(length) <= size;
}

void JNICALL jGetStringRegion(JNIEnv* e, jstring s, jsize start, jsize length, jchar* out) {
    Env& env = enter(e, Slot_GetStringRegion);
    const Text& units = stringArg(env, s, Slot_GetStringRegion)->units;
    if (!regionOk(units.size(), start, length)) {
        throwNew(env, "java/lang/StringIndexOutOfBoundsException", std::nullopt);
        return;
    }
    std::copy_n(units.begin() + start, length, out);
}

void JNICALL jGetStringUTFRegion(JNIEnv* e, jstring s, jsize start, jsize length, char* out) {
    Env& env = enter(e, Slot_GetStringUTFRegion);
    const Text& units = stringArg(env, s, Slot_GetStringUTFRegion)->units;
    if (!regionOk(units.size(), start, length)) {
        throwNew(env, "java/lang/StringIndexOutOfBoundsException", std::nullopt);
        return;
    }
    std::string bytes = modifiedUtf8(units.substr(static_cast<size_t>(start), static_cast<size_t>(length)));
    std::memcpy(out, bytes.c_str(), bytes.size() + 1);
}

// ---- arrays ------------------------------------------------------------------------------------

jsize JNICALL jGetArrayLength(JNIEnv* e, jarray a) {
    Env& env = enter(e, Slot_GetArrayLength);
    Obj* obj = deref(env, a, Slot_GetArrayLength);
    if (auto* chars = dynamic_cast<CharArrayObj*>(obj)) return static_cast<jsize>(chars->data.size());
    if (auto* objects = dynamic_cast<ObjArrayObj*>(obj)) return static_cast<jsize>(objects->items.size());
    misuse(Slot_GetArrayLength, "argument is not an array");
}

std::optional<Text> number(jlong n) { return ascii(std::to_string(n)); }

jobjectArray JNICALL jNewObjectArray(JNIEnv* e, jsize length, jclass c, jobject init) {
    Env& env = enter(e, Slot_NewObjectArray);
    ClassInfo* element = classOf(env, c, Slot_NewObjectArray);
    Obj* initial = deref(env, init, Slot_NewObjectArray);
    if (failHere(env, Slot_NewObjectArray)) return nullptr;
    if (length < 0) {
        throwNew(env, "java/lang/NegativeArraySizeException", number(length));
        return nullptr;
    }
    std::string arrayName = element->name[0] == '[' ? "[" + element->name : "[L" + element->name + ";";
    ClassInfo* arrayCls = loadClass(env, arrayName);
    if (arrayCls == nullptr) return nullptr;
    auto* array = new ObjArrayObj;
    array->cls = arrayCls;
    array->element = element;
    array->items.assign(static_cast<size_t>(length), initial);
    return reinterpret_cast<jobjectArray>(newLocal(env, array));
}

jobject JNICALL jGetObjectArrayElement(JNIEnv* e, jobjectArray a, jsize index) {
    Env& env = enter(e, Slot_GetObjectArrayElement);
    auto* array = objectAs<ObjArrayObj>(env, a, Slot_GetObjectArrayElement, "array");
    if (index < 0 || static_cast<size_t>(index) >= array->items.size()) {
        throwNew(env, "java/lang/ArrayIndexOutOfBoundsException", number(index));
        return nullptr;
    }
    return newLocal(env, array->items[static_cast<size_t>(index)]);
}

void JNICALL jSetObjectArrayElement(JNIEnv* e, jobjectArray a, jsize index, jobject value) {
    Env& env = enter(e, Slot_SetObjectArrayElement);
    auto* array = objectAs<ObjArrayObj>(env, a, Slot_SetObjectArrayElement, "array");
    Obj* obj = deref(env, value, Slot_SetObjectArrayElement);
    if (failHere(env, Slot_SetObjectArrayElement, "java/lang/ArrayStoreException")) return;
    if (index < 0 || static_cast<size_t>(index) >= array->items.size()) {
        throwNew(env, "java/lang/ArrayIndexOutOfBoundsException", number(index));
        return;
    }
    if (obj != nullptr && !obj->cls->isSubclassOf(array->element)) {
        throwNew(env, "java/lang/ArrayStoreException", ascii(obj->cls->dotted()));
        return;
    }
    array->items[static_cast<size_t>(index)] = obj;
}

jcharArray JNICALL jNewCharArray(JNIEnv* e, jsize length) {
    Env& env = enter(e, Slot_NewCharArray);
    if (failHere(env, Slot_NewCharArray)) return nullptr;
    if (length < 0) {
        throwNew(env, "java/lang/NegativeArraySizeException", number(length));
        return nullptr;
    }
    auto* array = new CharArrayObj;
    array->cls = loadClass(env, "[C");
    array->data.assign(static_cast<size_t>(length), 0);
    return reinterpret_cast<jcharArray>(newLocal(env, array));
}

void JNICALL jGetCharArrayRegion(JNIEnv* e, jcharArray a, jsize start, jsize length, jchar* out) {
    Env& env = enter(e, Slot_GetCharArrayRegion);
    auto* array = objectAs<CharArrayObj>(env, a, Slot_GetCharArrayRegion, "char array");
    if (!regionOk(array->data.size(), start, length)) {
        throwNew(env, "java/lang/ArrayIndexOutOfBoundsException", std::nullopt);
        return;
    }
    if (length > 0) std::copy_n(array->data.begin() + start, length, out);
}

void JNICALL jSetCharArrayRegion(JNIEnv* e, jcharArray a, jsize start, jsize length, const jchar* in) {
    Env& env = enter(e, Slot_SetCharArrayRegion);
    auto* array = objectAs<CharArrayObj>(env, a, Slot_SetCharArrayRegion, "char array");
    if (!regionOk(array->data.size(), start, length)) {
        throwNew(env, "java/lang/ArrayIndexOutOfBoundsException", std::nullopt);
        return;
    }
    if (length > 0 && in == nullptr) misuse(Slot_SetCharArrayRegion, "source buffer is null");
    if (length > 0) std::copy_n(in, length, array->data.begin() + start);
}

jchar* JNICALL jGetCharArrayElements(JNIEnv* e, jcharArray a, jboolean* isCopy) {
    Env& env = enter(e, Slot_GetCharArrayElements);
    auto* array = objectAs<CharArrayObj>(env, a, Slot_GetCharArrayElements, "char array");
    auto* buffer = static_cast<jchar*>(std::malloc((array->data.size() + 1) * sizeof(jchar)));
    std::copy(array->data.begin(), array->data.end(), buffer);
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return static_cast<jchar*>(keepBuffer(buffer));
}

void JNICALL jReleaseCharArrayElements(JNIEnv* e, jcharArray a, jchar* buffer, jint mode) {
    Env& env = enter(e, Slot_ReleaseCharArrayElements);
    auto* array = objectAs<CharArrayObj>(env, a, Slot_ReleaseCharArrayElements, "char array");
    if (mode != JNI_ABORT) std::copy_n(buffer, array->data.size(), array->data.begin());
    if (mode != JNI_COMMIT) releaseBuffer(buffer, Slot_ReleaseCharArrayElements);
}

void* JNICALL jGetPrimitiveArrayCritical(JNIEnv* e, jarray a, jboolean* isCopy) {
    Env& env = enter(e, Slot_GetPrimitiveArrayCritical);
    auto* array = objectAs<CharArrayObj>(env, a, Slot_GetPrimitiveArrayCritical, "char array");
    auto* buffer = static_cast<jchar*>(std::malloc((array->data.size() + 1) * sizeof(jchar)));
    std::copy(array->data.begin(), array->data.end(), buffer);
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    return keepBuffer(buffer);
}

void JNICALL jReleasePrimitiveArrayCritical(JNIEnv* e, jarray a, void* buffer, jint mode) {
    Env& env = enter(e, Slot_ReleasePrimitiveArrayCritical);
    auto* array = objectAs<CharArrayObj>(env, a, Slot_ReleasePrimitiveArrayCritical, "char array");
    if (mode != JNI_ABORT) std::copy_n(static_cast<jchar*>(buffer), array->data.size(), array->data.begin());
    if (mode != JNI_COMMIT) releaseBuffer(buffer, Slot_ReleasePrimitiveArrayCritical);
}

JNINativeInterface buildTable() {
    JNINativeInterface t{};
#define STANDIN_SET_TRAP(index, name, result, params) t.name = &trap_##name;
    VEXA_JNIENV_SLOTS(STANDIN_SET_TRAP)
#undef STANDIN_SET_TRAP
#define STANDIN_SET_CALLS(Type, CType, Code)                       \
    t.Call##Type##Method = &jCall##Type##Method;                   \
    t.Call##Type##MethodV = &jCall##Type##MethodV;                 \
    t.Call##Type##MethodA = &jCall##Type##MethodA;                 \
    t.CallNonvirtual##Type##Method = &jCallNonvirtual##Type##Method;   \
    t.CallNonvirtual##Type##MethodV = &jCallNonvirtual##Type##MethodV; \
    t.CallNonvirtual##Type##MethodA = &jCallNonvirtual##Type##MethodA; \
    t.CallStatic##Type##Method = &jCallStatic##Type##Method;       \
    t.CallStatic##Type##MethodV = &jCallStatic##Type##MethodV;     \
    t.CallStatic##Type##MethodA = &jCallStatic##Type##MethodA;
    STANDIN_CALL_TYPES(STANDIN_SET_CALLS)
#undef STANDIN_SET_CALLS
    t.GetVersion = &jGetVersion;
    t.FindClass = &jFindClass;
    t.GetSuperclass = &jGetSuperclass;
    t.IsAssignableFrom = &jIsAssignableFrom;
    t.Throw = &jThrow;
    t.ThrowNew = &jThrowNew;
    t.ExceptionOccurred = &jExceptionOccurred;
    t.ExceptionDescribe = &jExceptionDescribe;
    t.ExceptionClear = &jExceptionClear;
    t.FatalError = &jFatalError;
    t.PushLocalFrame = &jPushLocalFrame;
    t.PopLocalFrame = &jPopLocalFrame;
    t.NewGlobalRef = &jNewGlobalRef;
    t.DeleteGlobalRef = &jDeleteGlobalRef;
    t.DeleteLocalRef = &jDeleteLocalRef;
    t.IsSameObject = &jIsSameObject;
    t.NewLocalRef = &jNewLocalRef;
    t.EnsureLocalCapacity = &jEnsureLocalCapacity;
    t.AllocObject = &jAllocObject;
    t.NewObject = &jNewObject;
    t.NewObjectV = &jNewObjectV;
    t.NewObjectA = &jNewObjectA;
    t.GetObjectClass = &jGetObjectClass;
    t.IsInstanceOf = &jIsInstanceOf;
    t.GetMethodID = &jGetMethodID;
    t.GetStaticMethodID = &jGetStaticMethodID;
    t.NewString = &jNewString;
    t.GetStringLength = &jGetStringLength;
    t.GetStringChars = &jGetStringChars;
    t.ReleaseStringChars = &jReleaseStringChars;
    t.NewStringUTF = &jNewStringUTF;
    t.GetStringUTFLength = &jGetStringUTFLength;
    t.GetStringUTFChars = &jGetStringUTFChars;
    t.ReleaseStringUTFChars = &jReleaseStringUTFChars;
    t.GetArrayLength = &jGetArrayLength;
    t.NewObjectArray = &jNewObjectArray;
    t.GetObjectArrayElement = &jGetObjectArrayElement;
    t.SetObjectArrayElement = &jSetObjectArrayElement;
    t.NewCharArray = &jNewCharArray;
    t.GetCharArrayElements = &jGetCharArrayElements;
    t.ReleaseCharArrayElements = &jReleaseCharArrayElements;
    t.GetCharArrayRegion = &jGetCharArrayRegion;
    t.SetCharArrayRegion = &jSetCharArrayRegion;
    t.MonitorEnter = &jMonitorEnter;
    t.MonitorExit = &jMonitorExit;
    t.GetJavaVM = &jGetJavaVM;
    t.GetStringRegion = &jGetStringRegion;
    t.GetStringUTFRegion = &jGetStringUTFRegion;
    t.GetPrimitiveArrayCritical = &jGetPrimitiveArrayCritical;
    t.ReleasePrimitiveArrayCritical = &jReleasePrimitiveArrayCritical;
    t.GetStringCritical = &jGetStringCritical;
    t.ReleaseStringCritical = &jReleaseStringCritical;
    t.NewWeakGlobalRef = &jNewWeakGlobalRef;
    t.DeleteWeakGlobalRef = &jDeleteWeakGlobalRef;
    t.ExceptionCheck = &jExceptionCheck;
    t.GetObjectRefType = &jGetObjectRefType;
    return t;
}

// ---- invocation interface ----------------------------------------------------------------

bool supportedVersion(jint version) {
    switch (version) {
    case JNI_VERSION_1_1:
    case JNI_VERSION_1_2:
    case JNI_VERSION_1_4:
    case JNI_VERSION_1_6:
    case JNI_VERSION_1_8:
    case 0x00090000:
    case 0x000A0000:
        return true;
    default:
        return false;
    }
}

int localCount(const Env* env) {
    size_t n = 0;
    for (const auto& frame : env->frames) n += frame.size();
    return static_cast<int>(n);
}

jint JNICALL jDestroyJavaVM(JavaVM*) {
    Vm& v = vm();
    if (v.state != VmState::Running) {
        RecordLine("destroy-begin").number("result", JNI_ERR).write();
        return JNI_ERR;
    }
    Env* env = currentEnv();
    if (env == nullptr) env = attachThread(u"DestroyJavaVM", false);
    {
        std::unique_lock<std::recursive_mutex> lock(v.mu);
        RecordLine begin("destroy-begin");
        begin.number("waiting", liveNonDaemonThreads(env));
        for (Env* other : v.envs)
            if (other != env && other->attached && !other->daemon) begin.units("thread", other->threadName);
        begin.write();
        // As a runtime waits for the application's non-daemon threads.
        v.changed.wait(lock, [&] { return liveNonDaemonThreads(env) == 0; });
    }
    detachThread(env);
    {
        std::lock_guard<std::recursive_mutex> guard(v.mu);
        v.state = VmState::Destroyed;
    }
    RecordLine("destroy-end").number("result", JNI_OK).write();
    return JNI_OK;
}

jint attach(JavaVM*, void** penv, void* rawArgs, bool daemon, int slot) {
    Vm& v = vm();
    const char* event = daemon ? "attach-daemon" : "attach";
    if (penv == nullptr) misuse(slot, "result pointer is null");
    if (v.state != VmState::Running) {
        *penv = nullptr;
        RecordLine(event).number("result", JNI_ERR).write();
        return JNI_ERR;
    }
    auto* args = static_cast<JavaVMAttachArgs*>(rawArgs);
    if (args != nullptr && !supportedVersion(args->version)) {
        RecordLine(event).hex("version", static_cast<unsigned long>(args->version)).number("result", JNI_EVERSION).write();
        return JNI_EVERSION;
    }
    if (Env* existing = currentEnv()) {
        *penv = static_cast<JNIEnv*>(existing);
        RecordLine(event).units("name", existing->threadName).flag("already", true).number("result", JNI_OK).write();
        return JNI_OK;
    }
    Text name;
    if (args != nullptr && args->name != nullptr) {
        name = fromModifiedUtf8(args->name);
    } else {
        std::lock_guard<std::recursive_mutex> guard(v.mu);
        name = u"Thread-" + ascii(std::to_string(v.threadCounter++));
    }
    Env* env = attachThread(name, daemon);
    *penv = static_cast<JNIEnv*>(env);
    RecordLine(event).units("name", name).flag("already", false).number("result", JNI_OK).write();
    return JNI_OK;
}

jint JNICALL jAttachCurrentThread(JavaVM* jvm, void** penv, void* args) { return attach(jvm, penv, args, false, -2); }

jint JNICALL jAttachCurrentThreadAsDaemon(JavaVM* jvm, void** penv, void* args) {
    return attach(jvm, penv, args, true, -5);
}

jint JNICALL jDetachCurrentThread(JavaVM*) {
    Env* env = currentEnv();
    if (env == nullptr) {
        RecordLine("detach").flag("attached", false).number("result", JNI_OK).write();
        return JNI_OK;
    }
    if (env->javaDepth > 0) {
        RecordLine("detach").flag("attached", true).flag("in-java", true).number("result", JNI_ERR).write();
        return JNI_ERR;
    }
    RecordLine("detach")
        .flag("attached", true)
        .units("name", env->threadName)
        .number("locals", localCount(env))
        .bytes("pending", env->pending != nullptr ? env->pending->cls->name : "")
        .number("result", JNI_OK)
        .write();
    detachThread(env);
    return JNI_OK;
}

jint JNICALL jGetEnv(JavaVM*, void** penv, jint version) {
    if (penv == nullptr) misuse(-4, "result pointer is null");
    *penv = nullptr;
    if (vm().state != VmState::Running) return JNI_EDETACHED;
    if (!supportedVersion(version) || version == JNI_VERSION_1_1) return JNI_EVERSION;
    Env* env = currentEnv();
    if (env == nullptr) return JNI_EDETACHED;
    *penv = static_cast<JNIEnv*>(env);
    return JNI_OK;
}

}  // namespace

const JNINativeInterface* nativeTable() {
    static const JNINativeInterface* table = new JNINativeInterface(buildTable());
    return table;
}

const JNIInvokeInterface* invokeTable() {
    static const JNIInvokeInterface table = {nullptr,           nullptr,     nullptr,
                                             &jDestroyJavaVM,   &jAttachCurrentThread,
                                             &jDetachCurrentThread, &jGetEnv, &jAttachCurrentThreadAsDaemon};
    return &table;
}

}  // namespace standin
