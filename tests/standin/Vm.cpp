#include "Vm.h"

#include <algorithm>
#include <cstdio>

namespace standin {

Vm& vm() {
    // Never destroyed: threads may still use it while the process ends.
    static Vm* instance = [] {
        auto* v = new Vm;
        v->tls = TlsAlloc();
        return v;
    }();
    return *instance;
}

const char* slotName(int slot) {
    switch (slot) {
#define STANDIN_SLOT_NAME(index, name, result, params) \
    case index:                                        \
        return #name;
        VEXA_JNIENV_SLOTS(STANDIN_SLOT_NAME)
#undef STANDIN_SLOT_NAME
    }
    switch (slot) {
    case -1: return "DestroyJavaVM";
    case -2: return "AttachCurrentThread";
    case -3: return "DetachCurrentThread";
    case -4: return "GetEnv";
    case -5: return "AttachCurrentThreadAsDaemon";
    case -10: return "JVM_FindClassFromBootLoader";
    }
    return "?";
}

// ---- text ----------------------------------------------------------------

Text ascii(std::string_view text) { return Text(text.begin(), text.end()); }

Text widenAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), size);
    return fromWide(out);
}

Text fromWide(std::wstring_view text) { return Text(text.begin(), text.end()); }
std::wstring toWide(const Text& text) { return std::wstring(text.begin(), text.end()); }

namespace {

void put3(std::string& out, unsigned unit) {
    out += static_cast<char>(0xE0 | (unit >> 12));
    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (unit & 0x3F));
}

// UTF-8 decoding shared by both forms: standard sequences and the modified
// form's encoded NUL and separately encoded surrogates all decode; a broken
// sequence gives U+FFFD per byte.
Text decodeUtf8(std::string_view bytes) {
    Text out;
    size_t i = 0;
    auto cont = [&](size_t k) { return i + k < bytes.size() && (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80; };
    while (i < bytes.size()) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            i += 1;
        } else if ((b & 0xE0) == 0xC0 && cont(1)) {
            out += static_cast<char16_t>(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
            i += 2;
        } else if ((b & 0xF0) == 0xE0 && cont(1) && cont(2)) {
            out += static_cast<char16_t>(((b & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F));
            i += 3;
        } else if ((b & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
            unsigned cp = ((b & 0x07) << 18) | ((bytes[i + 1] & 0x3F) << 12) | ((bytes[i + 2] & 0x3F) << 6) |
                          (bytes[i + 3] & 0x3F);
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            i += 4;
        } else {
            out += u'\uFFFD';
            i += 1;
        }
    }
    return out;
}

}  // namespace

std::string modifiedUtf8(const Text& units) {
    std::string out;
    for (char16_t unit : units) {
        unsigned u = unit;
        if (u >= 1 && u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {  // includes U+0000 as C0 80
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            put3(out, u);  // surrogates are encoded one by one
        }
    }
    return out;
}

Text fromModifiedUtf8(std::string_view bytes) { return decodeUtf8(bytes); }

bool isModifiedUtf8(std::string_view bytes) {
    size_t i = 0;
    auto cont = [&](size_t k) { return i + k < bytes.size() && (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80; };
    while (i < bytes.size()) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0) return false;
        if (b < 0x80)
            i += 1;
        else if ((b & 0xE0) == 0xC0 && cont(1))
            i += 2;
        else if ((b & 0xF0) == 0xE0 && cont(1) && cont(2))
            i += 3;
        else
            return false;  // a 4-byte form (modified UTF-8 has two 3-byte surrogates instead) or a broken sequence
    }
    return true;
}
Text fromUtf8(std::string_view bytes) { return decodeUtf8(bytes); }

std::string utf8(const Text& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned u = units[i];
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                   units[i + 1] < 0xE000) {
            unsigned cp = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            out += '?';  // an unpaired surrogate cannot be encoded, as Java's encoder does
        } else {
            put3(out, u);
        }
    }
    return out;
}

std::string narrowUtf8(std::wstring_view text) { return utf8(fromWide(text)); }

std::string encodeOutput(const Text& text) {
    if (vm().utf8Output) return utf8(text);
    std::wstring wide = toWide(text);
    if (wide.empty()) return {};
    int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, "?", nullptr);
    return out;
}

Text decodeOutput(const std::string& bytes) { return vm().utf8Output ? fromUtf8(bytes) : widenAnsi(bytes); }

std::optional<std::wstring> knob(const wchar_t* name) {
    std::wstring full = std::wstring(L"VEXA_STANDIN_") + name;
    wchar_t buffer[4096];
    SetLastError(0);
    DWORD length = GetEnvironmentVariableW(full.c_str(), buffer, 4096);
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    if (length >= 4096) return std::nullopt;
    return std::wstring(buffer, length);
}

// ---- failures of the caller ------------------------------------------------

namespace {

void writeStdErr(const std::string& text) {
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void misuse(int slot, const std::string& reason) {
    RecordLine("misuse").number("slot", slot).bytes("name", slotName(slot)).bytes("reason", reason).write();
    writeStdErr(std::string("stand-in runtime: JNI misuse in ") + slotName(slot) + ": " + reason + "\r\n");
    RecordLine("process-exit").number("status", kExitMisuse).write();
    ExitProcess(kExitMisuse);
}

bool strictMode() {
    static const bool strict = [] {
        auto k = knob(L"STRICT");
        return !k || *k != L"0";
    }();
    return strict;
}

void breach(const char* event, int slot, const std::string& reason) {
    RecordLine(event).number("slot", slot).bytes("name", slotName(slot)).bytes("reason", reason).write();
    if (strictMode()) misuse(slot, reason);
}

void trapSlot(int slot) {
    RecordLine("trap").number("slot", slot).bytes("name", slotName(slot)).write();
    writeStdErr(std::string("stand-in runtime: JNI function ") + slotName(slot) + " (slot " + std::to_string(slot) +
                ") is not implemented\r\n");
    RecordLine("process-exit").number("status", kExitUnimplemented).write();
    ExitProcess(kExitUnimplemented);
}

// ---- environments -----------------------------------------------------------

Env* currentEnv() { return static_cast<Env*>(TlsGetValue(vm().tls)); }

Env* newThreadEnv(const Text& name, bool daemon) {
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto* env = new Env;
    env->functions = nativeTable();
    env->threadName = name;
    env->daemon = daemon;
    v.envs.push_back(env);
    return env;
}

void bindThread(Env* env) {
    env->tid = GetCurrentThreadId();
    TlsSetValue(vm().tls, env);
}

Env* attachThread(const Text& name, bool daemon) {
    Env* env = newThreadEnv(name, daemon);
    bindThread(env);
    return env;
}

void detachThread(Env* env) {
    Vm& v = vm();
    if (env->pending != nullptr) dispatchUncaught(*env);
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    for (auto& frame : env->frames)
        for (Ref* ref : frame) ref->live = false;
    env->frames.assign(1, {});
    env->capacity.assign(1, kLocalCapacity);
    env->checkRequiredBy = nullptr;
    env->attached = false;
    if (currentEnv() == env) TlsSetValue(v.tls, nullptr);
    v.changed.notify_all();
}

int liveNonDaemonThreads(const Env* except) {
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    return static_cast<int>(std::count_if(v.envs.begin(), v.envs.end(),
                                          [&](Env* e) { return e != except && e->attached && !e->daemon; }));
}

// ---- references -------------------------------------------------------------

jobject newLocal(Env& env, Obj* obj) {
    if (obj == nullptr) return nullptr;
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto* ref = new Ref{obj, RefKind::Local, &env, true};
    v.refs.insert(ref);
    env.frames.back().push_back(ref);
    // As -Xcheck:jni: more live references in a frame than it was given. A
    // runtime warns once and moves the limit on; strict mode ends here.
    if (env.frames.back().size() > env.capacity.back()) {
        breach("local-capacity", env.slot,
               std::to_string(env.frames.back().size()) + " live local references exceed the frame's capacity of " +
                   std::to_string(env.capacity.back()));
        env.capacity.back() = env.frames.back().size() + kLocalCapacity;
    }
    return reinterpret_cast<jobject>(ref);
}

jobject newGlobal(Obj* obj, RefKind kind) {
    if (obj == nullptr) return nullptr;
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto* ref = new Ref{obj, kind, nullptr, true};
    v.refs.insert(ref);
    return reinterpret_cast<jobject>(ref);
}

Obj* deref(Env& env, jobject handle, int slot) {
    if (handle == nullptr) return nullptr;
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto* ref = reinterpret_cast<const Ref*>(handle);
    if (v.refs.count(ref) == 0) misuse(slot, "argument is not a reference of this runtime");
    if (!ref->live) misuse(slot, "reference used after it was deleted or its thread left the VM");
    if (ref->kind == RefKind::Local && ref->owner != &env) misuse(slot, "local reference of another thread");
    return ref->obj;
}

void deleteRef(Env& env, jobject handle, RefKind expected, int slot) {
    if (handle == nullptr) return;
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto* ref = reinterpret_cast<Ref*>(handle);
    if (v.refs.count(ref) == 0) misuse(slot, "argument is not a reference of this runtime");
    if (!ref->live) misuse(slot, "reference deleted twice");
    if (ref->kind != expected) misuse(slot, "reference of another kind");
    if (ref->kind == RefKind::Local && ref->owner != &env) misuse(slot, "local reference of another thread");
    ref->live = false;
    if (ref->kind == RefKind::Local) {
        for (auto& frame : env.frames) {
            auto it = std::find(frame.begin(), frame.end(), ref);
            if (it != frame.end()) {
                frame.erase(it);
                break;
            }
        }
    }
}

// ---- exceptions ---------------------------------------------------------------

void throwPending(Env& env, ThrowableObj* throwable) {
    env.pending = throwable;
    RecordLine line("throw");
    line.bytes("class", throwable->cls->name);
    if (throwable->message)
        line.units("message", *throwable->message);
    else
        line.flag("null-message", true);
    line.write();
}

void throwNew(Env& env, const std::string& cls, std::optional<Text> message) {
    throwPending(env, newThrowable(cls, std::move(message)));
}

Text throwableText(const ThrowableObj* t) {
    Text out = ascii(t->cls->dotted());
    if (t->message) out += u": " + *t->message;
    return out;
}

void printStackTrace(const ThrowableObj* t, StreamObj* printStream) {
    const Text nl = u"\r\n";
    Text out = throwableText(t) + nl;
    for (const Text& frame : t->frames) out += u"\tat " + frame + nl;
    const std::vector<Text>* enclosing = &t->frames;
    for (const ThrowableObj* cause = t->cause; cause != nullptr; cause = cause->cause) {
        // Frames shared with the enclosing trace are folded into "... n more".
        size_t common = 0;
        while (common < cause->frames.size() && common < enclosing->size() &&
               cause->frames[cause->frames.size() - 1 - common] == (*enclosing)[enclosing->size() - 1 - common])
            ++common;
        out += u"Caused by: " + throwableText(cause) + nl;
        for (size_t i = 0; i + common < cause->frames.size(); ++i) out += u"\tat " + cause->frames[i] + nl;
        if (common > 0) out += u"\t... " + ascii(std::to_string(common)) + u" more" + nl;
        enclosing = &cause->frames;
    }
    printText(printStream, out);
}

void dispatchUncaught(Env& env) {
    ThrowableObj* t = env.pending;
    if (t == nullptr) return;
    env.pending = nullptr;
    RecordLine("uncaught")
        .units("thread", env.threadName)
        .bytes("class", t->cls->name)
        .units("message", t->message.value_or(u""))
        .write();
    if (t->cls->name == "java/lang/ThreadDeath") return;
    StreamObj* err = vm().sysErr;
    if (err == nullptr) return;
    printText(err, u"Exception in thread \"" + env.threadName + u"\" ");
    printStackTrace(t, err);
}

// ---- streams -------------------------------------------------------------------

StreamObj* newPrintStream(StreamObj* target) {
    auto* s = new StreamObj;
    s->cls = bootClass("java/io/PrintStream");
    s->kind = StreamObj::Print;
    s->target = target;
    return s;
}

namespace {

void recordOutput(const StreamObj* sink, const char* sys, const std::string& bytes) {
    RecordLine line("output");
    switch (sink->kind) {
    case StreamObj::StdOut: line.bytes("target", "stdout"); break;
    case StreamObj::StdErr: line.bytes("target", "stderr"); break;
    case StreamObj::File: line.bytes("target", "file").wide("path", sink->path); break;
    default: line.bytes("target", "buffer"); break;
    }
    line.bytes("sys", sys).bytes("bytes", bytes).write();
}

bool writeSink(StreamObj* sink, const std::string& bytes, const char* sys) {
    if (sink->closed) return false;
    recordOutput(sink, sys, bytes);
    HANDLE handle = INVALID_HANDLE_VALUE;
    switch (sink->kind) {
    case StreamObj::Buffer: sink->buffer += bytes; return true;
    case StreamObj::StdOut: handle = GetStdHandle(STD_OUTPUT_HANDLE); break;
    case StreamObj::StdErr: handle = GetStdHandle(STD_ERROR_HANDLE); break;
    case StreamObj::File: handle = sink->file; break;
    case StreamObj::Print: return false;
    }
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return true;  // no console: the bytes go nowhere
    DWORD written = 0;
    return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
}

}  // namespace

bool writeBytes(StreamObj* stream, const std::string& bytes) {
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    const char* sys = stream == v.sysOut ? "out" : stream == v.sysErr ? "err" : "-";
    StreamObj* sink = stream;
    while (sink != nullptr && sink->kind == StreamObj::Print) {
        if (sink->closed) return false;
        sink = sink->target;
    }
    if (sink == nullptr) return false;
    return writeSink(sink, bytes, sys);
}

void printText(StreamObj* printStream, const Text& text) { writeBytes(printStream, encodeOutput(text)); }

namespace {

jint callVfprintf(jint(JNICALL* hook)(void*, const char*, va_list), void* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    jint result = hook(stream, format, args);
    va_end(args);
    return result;
}

}  // namespace

void printNative(const std::string& text) {
    Vm& v = vm();
    if (v.vfprintfHook != nullptr) {
        RecordLine("output").bytes("target", "vfprintf").bytes("sys", "-").bytes("bytes", text).write();
        callVfprintf(v.vfprintfHook, stderr, "%s", text.c_str());
        return;
    }
    RecordLine("output").bytes("target", "stderr").bytes("sys", "-").bytes("bytes", text).write();
    writeStdErr(text);
}

// ---- exit paths -------------------------------------------------------------------

void systemExit(jint status) {
    Vm& v = vm();
    RecordLine("system-exit").number("status", status).write();
    if (v.exitHook != nullptr) {
        RecordLine("exit-hook").number("status", status).write();
        v.exitHook(status);
        RecordLine("exit-hook-returned").number("status", status).write();
    }
    RecordLine("process-exit").number("status", status).write();
    ExitProcess(static_cast<UINT>(status));
}

void abortVm(const std::string& message) {
    Vm& v = vm();
    RecordLine("abort").bytes("message", message).write();
    if (!message.empty()) printNative(message);
    if (v.abortHook != nullptr) {
        RecordLine("abort-hook").write();
        v.abortHook();
        RecordLine("abort-hook-returned").write();
    }
    RecordLine("process-exit").number("status", kExitAbort).write();
    ExitProcess(kExitAbort);
}

}  // namespace standin
