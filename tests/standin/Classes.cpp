// The classes of the stand-in runtime: the few Java library classes the
// launcher calls, the exception classes, and application classes loaded
// from scripts on the class path.
#include <algorithm>
#include <atomic>

#include "Script.h"
#include "Vm.h"

namespace standin {

Method* ClassInfo::declared(const std::string& n, const std::string& s, bool st) const {
    for (const auto& m : methods)
        if (m->name == n && m->sig == s && m->isStatic == st) return m.get();
    return nullptr;
}

Method* ClassInfo::lookup(const std::string& n, const std::string& s, bool st) const {
    if (n == "<init>") return declared(n, s, false);
    for (const ClassInfo* c = this; c != nullptr; c = c->super)
        if (Method* m = c->declared(n, s, st)) return m;
    return nullptr;
}

bool ClassInfo::isSubclassOf(const ClassInfo* other) const {
    for (const ClassInfo* c = this; c != nullptr; c = c->super)
        if (c == other) return true;
    if (component != nullptr && other->component != nullptr) return component->isSubclassOf(other->component);
    return false;
}

std::string ClassInfo::dotted() const {
    std::string out = name;
    std::replace(out.begin(), out.end(), '/', '.');
    return out;
}

namespace {

ClassInfo* defineClass(const std::string& name, const std::string& super) {
    Vm& v = vm();
    auto* info = new ClassInfo;
    info->name = name;
    info->builtin = true;
    if (!super.empty()) info->super = v.classes.at(super);
    info->throwable = info->super != nullptr && info->super->throwable;
    v.classes[name] = info;
    return info;
}

Method* addMethod(ClassInfo* cls, const std::string& name, const std::string& sig, bool isStatic, NativeFn fn) {
    auto m = std::make_unique<Method>();
    m->owner = cls;
    m->name = name;
    m->sig = sig;
    m->isStatic = isStatic;
    m->native = std::move(fn);
    cls->methods.push_back(std::move(m));
    return cls->methods.back().get();
}

template <typename T>
T* as(Obj* obj) {
    return dynamic_cast<T*>(obj);
}

Value objValue(Obj* obj) {
    Value v;
    v.obj = obj;
    return v;
}

Value intValue(jlong n) {
    Value v;
    v.num = n;
    return v;
}

Text stringText(Obj* obj) {
    auto* s = as<StringObj>(obj);
    return s != nullptr ? s->units : u"null";
}

void addThrowableConstructors(ClassInfo* cls) {
    addMethod(cls, "<init>", "()V", false, [](CallContext&) { return Value{}; });
    addMethod(cls, "<init>", "(Ljava/lang/String;)V", false, [](CallContext& c) {
        auto* t = as<ThrowableObj>(c.self);
        if (auto* s = as<StringObj>(c.obj(0))) t->message = s->units;
        return Value{};
    });
    addMethod(cls, "<init>", "(Ljava/lang/String;Ljava/lang/Throwable;)V", false, [](CallContext& c) {
        auto* t = as<ThrowableObj>(c.self);
        if (auto* s = as<StringObj>(c.obj(0))) t->message = s->units;
        t->cause = as<ThrowableObj>(c.obj(1));
        return Value{};
    });
    addMethod(cls, "<init>", "(Ljava/lang/Throwable;)V", false, [](CallContext& c) {
        auto* t = as<ThrowableObj>(c.self);
        t->cause = as<ThrowableObj>(c.obj(0));
        if (t->cause != nullptr) t->message = throwableText(t->cause);
        return Value{};
    });
}

ClassInfo* defineThrowable(const std::string& name, const std::string& super) {
    ClassInfo* cls = defineClass(name, super);
    cls->throwable = true;
    addThrowableConstructors(cls);
    return cls;
}

// The file a FileOutputStream opens, as java.io.FileOutputStream does on
// Windows: shared for reading and writing, truncated or appended to.
Value openFileStream(CallContext& c, bool append) {
    auto* self = as<StreamObj>(c.self);
    auto* name = as<StringObj>(c.obj(0));
    if (name == nullptr) {
        throwNew(c.env, "java/lang/NullPointerException", std::nullopt);
        return {};
    }
    self->kind = StreamObj::File;
    self->path = toWide(name->units);
    self->append = append;
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (!self->path.empty()) {
        file = CreateFileW(self->path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
    }
    RecordLine line("file-open");
    line.wide("path", self->path).flag("append", append);
    if (file == INVALID_HANDLE_VALUE) {
        line.number("error", error).write();
        wchar_t buffer[512] = {};
        DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                      buffer, 512, nullptr);
        std::wstring reason(buffer, length);
        while (!reason.empty() && (reason.back() == L'\r' || reason.back() == L'\n' || reason.back() == L' ' ||
                                   reason.back() == L'.'))
            reason.pop_back();
        if (reason.empty()) reason = L"error " + std::to_wstring(error);
        ThrowableObj* t = newThrowable("java/io/FileNotFoundException", name->units + u" (" + fromWide(reason) + u")");
        t->frames = {u"java.io.FileOutputStream.open0(Native Method)",
                     u"java.io.FileOutputStream.open(FileOutputStream.java:270)",
                     u"java.io.FileOutputStream.<init>(FileOutputStream.java:213)"};
        throwPending(c.env, t);
        self->closed = true;
        return {};
    }
    line.number("error", 0).write();
    self->file = file;
    return {};
}

Value printValue(CallContext& c, const Text& text) {
    auto* self = as<StreamObj>(c.self);
    writeBytes(self, encodeOutput(text));
    return {};
}

Text objectText(Obj* obj) {
    if (obj == nullptr) return u"null";
    if (auto* s = as<StringObj>(obj)) return s->units;
    if (auto* t = as<ThrowableObj>(obj)) return throwableText(t);
    if (auto* k = as<ClassObj>(obj)) return u"class " + ascii(k->info->dotted());
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "@%x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(obj) >> 4));
    return ascii(obj->cls->dotted() + buffer);
}

Value setSystemStream(CallContext& c, bool out) {
    auto* stream = as<StreamObj>(c.obj(0));
    Vm& v = vm();
    {
        std::lock_guard<std::recursive_mutex> guard(v.mu);
        (out ? v.sysOut : v.sysErr) = stream;
    }
    RecordLine line(out ? "set-out" : "set-err");
    const StreamObj* sink = stream;
    while (sink != nullptr && sink->kind == StreamObj::Print) sink = sink->target;
    if (stream == nullptr)
        line.bytes("target", "null");
    else if (sink == nullptr)
        line.bytes("target", "none");
    else if (sink->kind == StreamObj::File)
        line.bytes("target", "file").wide("path", sink->path).flag("append", sink->append);
    else if (sink->kind == StreamObj::Buffer)
        line.bytes("target", "buffer");
    else
        line.bytes("target", sink->kind == StreamObj::StdOut ? "stdout" : "stderr");
    line.write();
    return {};
}

// The application class that the JavaFX helper starts.
std::string& fxApplication() {
    static std::string name;
    return name;
}

// sun.launcher.LauncherHelper.checkAndLoadMain as a runtime does it: load the
// class, check its main method, and end the process with a message when
// either is missing.
Value checkAndLoadMain(CallContext& c) {
    bool toStderr = c.args.size() > 0 && c.args[0].num != 0;
    jint mode = c.i(1);
    Text name = stringText(c.obj(2));
    RecordLine("check-and-load-main").flag("stderr", toStderr).number("mode", mode).units("name", name).write();
    auto knobValue = knob(L"LAUNCHER_HELPER");
    if (knobValue && *knobValue == L"null") {
        RecordLine("check-and-load-main-result").bytes("result", "null").write();
        return {};
    }
    StreamObj* stream = toStderr ? vm().sysErr : vm().sysOut;
    auto fail = [&](const Text& message) -> Value {
        RecordLine("check-and-load-main-result").bytes("result", "abort").units("message", message).write();
        if (stream != nullptr) printText(stream, message + u"\r\n");
        systemExit(1);
    };
    if (mode != 1) return fail(u"Error: Invalid or corrupt jarfile " + name);
    Text slashed = name;
    std::replace(slashed.begin(), slashed.end(), u'.', u'/');
    ClassInfo* cls = nullptr;
    // Class.forName takes binary names: a name with slashes is never found.
    if (!name.empty() && name.find(u'/') == Text::npos) cls = loadClass(c.env, modifiedUtf8(slashed));
    if (cls == nullptr) {
        c.env.pending = nullptr;
        return fail(u"Error: Could not find or load main class " + name);
    }
    // A JavaFX application class goes to the runtime's JavaFX helper, which
    // starts it whether it has a main method or not.
    if (ClassInfo* fx = findLoadedClass("javafx/application/Application"); fx != nullptr && cls->isSubclassOf(fx)) {
        fxApplication() = cls->name;
        RecordLine("check-and-load-main-result").bytes("result", "fx-helper").bytes("class", cls->name).write();
        return objValue(mirrorOf(findLoadedClass("sun/launcher/LauncherHelper$FXHelper")));
    }
    const std::string sig = "([Ljava/lang/String;)V";
    if (cls->lookup("main", sig, true) == nullptr) {
        const Text define = u"   public static void main(String[] args)";
        if (cls->lookup("main", sig, false) != nullptr)
            return fail(u"Error: Main method is not static in class " + name + u", please define the main method as:\r\n" +
                        define);
        if (cls->lookup("main", "([Ljava/lang/String;)I", true) != nullptr)
            return fail(u"Error: Main method must return a value of type void in class " + name +
                        u", please \r\ndefine the main method as:\r\n" + define);
        return fail(u"Error: Main method not found in class " + name + u", please define the main method as:\r\n" +
                    define + u"\r\nor a JavaFX application class must extend javafx.application.Application");
    }
    RecordLine("check-and-load-main-result").bytes("result", "class").bytes("class", cls->name).write();
    return objValue(mirrorOf(cls));
}

}  // namespace

void defineBuiltins() {
    Vm& v = vm();
    if (!v.classes.empty()) return;
    ClassInfo* object = defineClass("java/lang/Object", "");
    addMethod(object, "<init>", "()V", false, [](CallContext&) { return Value{}; });
    addMethod(object, "toString", "()Ljava/lang/String;", false,
              [](CallContext& c) { return objValue(newString(objectText(c.self))); });
    addMethod(object, "hashCode", "()I", false,
              [](CallContext& c) { return intValue(static_cast<jint>(reinterpret_cast<uintptr_t>(c.self) >> 4)); });
    addMethod(object, "equals", "(Ljava/lang/Object;)Z", false,
              [](CallContext& c) { return intValue(c.self == c.obj(0) ? 1 : 0); });
    addMethod(object, "getClass", "()Ljava/lang/Class;", false,
              [](CallContext& c) { return objValue(mirrorOf(c.self->cls)); });

    ClassInfo* klass = defineClass("java/lang/Class", "java/lang/Object");
    addMethod(klass, "getName", "()Ljava/lang/String;", false,
              [](CallContext& c) { return objValue(newString(ascii(as<ClassObj>(c.self)->info->dotted()))); });

    defineClass("[C", "java/lang/Object");

    ClassInfo* string = defineClass("java/lang/String", "java/lang/Object");
    addMethod(string, "<init>", "()V", false, [](CallContext&) { return Value{}; });
    addMethod(string, "<init>", "([C)V", false, [](CallContext& c) {
        auto* chars = as<CharArrayObj>(c.obj(0));
        if (chars == nullptr) {
            throwNew(c.env, "java/lang/NullPointerException", std::nullopt);
            return Value{};
        }
        as<StringObj>(c.self)->units.assign(chars->data.begin(), chars->data.end());
        return Value{};
    });
    addMethod(string, "<init>", "(Ljava/lang/String;)V", false, [](CallContext& c) {
        as<StringObj>(c.self)->units = stringText(c.obj(0));
        return Value{};
    });
    addMethod(string, "length", "()I", false,
              [](CallContext& c) { return intValue(static_cast<jlong>(as<StringObj>(c.self)->units.size())); });
    addMethod(string, "isEmpty", "()Z", false,
              [](CallContext& c) { return intValue(as<StringObj>(c.self)->units.empty() ? 1 : 0); });
    addMethod(string, "toString", "()Ljava/lang/String;", false, [](CallContext& c) { return objValue(c.self); });
    addMethod(string, "equals", "(Ljava/lang/Object;)Z", false, [](CallContext& c) {
        auto* other = as<StringObj>(c.obj(0));
        return intValue(other != nullptr && other->units == as<StringObj>(c.self)->units ? 1 : 0);
    });

    ClassInfo* system = defineClass("java/lang/System", "java/lang/Object");
    addMethod(system, "setOut", "(Ljava/io/PrintStream;)V", true, [](CallContext& c) { return setSystemStream(c, true); });
    addMethod(system, "setErr", "(Ljava/io/PrintStream;)V", true, [](CallContext& c) { return setSystemStream(c, false); });
    addMethod(system, "exit", "(I)V", true, [](CallContext& c) -> Value { systemExit(c.i(0)); });
    addMethod(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;", true, [](CallContext& c) {
        Vm& vv = vm();
        auto it = vv.properties.find(stringText(c.obj(0)));
        return objValue(it == vv.properties.end() ? nullptr : newString(it->second));
    });
    addMethod(system, "getenv", "(Ljava/lang/String;)Ljava/lang/String;", true, [](CallContext& c) {
        std::wstring name = toWide(stringText(c.obj(0)));
        wchar_t buffer[32768];
        SetLastError(0);
        DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return Value{};
        return objValue(newString(fromWide(std::wstring_view(buffer, length))));
    });
    addMethod(system, "lineSeparator", "()Ljava/lang/String;", true,
              [](CallContext&) { return objValue(newString(u"\r\n")); });

    ClassInfo* outputStream = defineClass("java/io/OutputStream", "java/lang/Object");
    addMethod(outputStream, "write", "(I)V", false, [](CallContext& c) {
        writeBytes(as<StreamObj>(c.self), std::string(1, static_cast<char>(c.i(0))));
        return Value{};
    });
    addMethod(outputStream, "flush", "()V", false, [](CallContext&) { return Value{}; });
    addMethod(outputStream, "close", "()V", false, [](CallContext& c) {
        auto* s = as<StreamObj>(c.self);
        if (s->kind == StreamObj::File && s->file != INVALID_HANDLE_VALUE) CloseHandle(s->file);
        s->file = INVALID_HANDLE_VALUE;
        s->closed = true;
        return Value{};
    });
    ClassInfo* fileStream = defineClass("java/io/FileOutputStream", "java/io/OutputStream");
    addMethod(fileStream, "<init>", "(Ljava/lang/String;Z)V", false,
              [](CallContext& c) { return openFileStream(c, c.args.size() > 1 && c.args[1].num != 0); });
    addMethod(fileStream, "<init>", "(Ljava/lang/String;)V", false, [](CallContext& c) { return openFileStream(c, false); });
    ClassInfo* bytesStream = defineClass("java/io/ByteArrayOutputStream", "java/io/OutputStream");
    addMethod(bytesStream, "<init>", "()V", false, [](CallContext&) { return Value{}; });
    addMethod(bytesStream, "<init>", "(I)V", false, [](CallContext& c) {
        if (c.i(0) < 0) throwNew(c.env, "java/lang/IllegalArgumentException", u"Negative initial size: " + ascii(std::to_string(c.i(0))));
        return Value{};
    });
    addMethod(bytesStream, "toString", "()Ljava/lang/String;", false,
              [](CallContext& c) { return objValue(newString(decodeOutput(as<StreamObj>(c.self)->buffer))); });
    addMethod(bytesStream, "size", "()I", false,
              [](CallContext& c) { return intValue(static_cast<jlong>(as<StreamObj>(c.self)->buffer.size())); });
    addMethod(bytesStream, "reset", "()V", false, [](CallContext& c) {
        as<StreamObj>(c.self)->buffer.clear();
        return Value{};
    });
    defineClass("java/io/FilterOutputStream", "java/io/OutputStream");
    ClassInfo* printStream = defineClass("java/io/PrintStream", "java/io/FilterOutputStream");
    auto printInit = [](CallContext& c) {
        auto* target = as<StreamObj>(c.obj(0));
        if (target == nullptr) {
            throwNew(c.env, "java/lang/NullPointerException", std::nullopt);
            return Value{};
        }
        auto* self = as<StreamObj>(c.self);
        self->kind = StreamObj::Print;
        self->target = target;
        return Value{};
    };
    addMethod(printStream, "<init>", "(Ljava/io/OutputStream;)V", false, printInit);
    addMethod(printStream, "<init>", "(Ljava/io/OutputStream;Z)V", false, printInit);
    addMethod(printStream, "print", "(Ljava/lang/String;)V", false,
              [](CallContext& c) { return printValue(c, stringText(c.obj(0))); });
    addMethod(printStream, "println", "(Ljava/lang/String;)V", false,
              [](CallContext& c) { return printValue(c, stringText(c.obj(0)) + u"\r\n"); });
    addMethod(printStream, "print", "(Ljava/lang/Object;)V", false,
              [](CallContext& c) { return printValue(c, objectText(c.obj(0))); });
    addMethod(printStream, "println", "(Ljava/lang/Object;)V", false,
              [](CallContext& c) { return printValue(c, objectText(c.obj(0)) + u"\r\n"); });
    addMethod(printStream, "println", "()V", false, [](CallContext& c) { return printValue(c, u"\r\n"); });
    addMethod(printStream, "print", "(I)V", false,
              [](CallContext& c) { return printValue(c, ascii(std::to_string(c.i(0)))); });
    addMethod(printStream, "println", "(I)V", false,
              [](CallContext& c) { return printValue(c, ascii(std::to_string(c.i(0))) + u"\r\n"); });
    addMethod(printStream, "checkError", "()Z", false, [](CallContext&) { return intValue(0); });

    ClassInfo* throwable = defineClass("java/lang/Throwable", "java/lang/Object");
    throwable->throwable = true;
    addThrowableConstructors(throwable);
    addMethod(throwable, "getMessage", "()Ljava/lang/String;", false, [](CallContext& c) {
        auto* t = as<ThrowableObj>(c.self);
        return objValue(t->message ? newString(*t->message) : nullptr);
    });
    addMethod(throwable, "getLocalizedMessage", "()Ljava/lang/String;", false, [](CallContext& c) {
        auto* t = as<ThrowableObj>(c.self);
        return objValue(t->message ? newString(*t->message) : nullptr);
    });
    addMethod(throwable, "getCause", "()Ljava/lang/Throwable;", false,
              [](CallContext& c) { return objValue(as<ThrowableObj>(c.self)->cause); });
    addMethod(throwable, "toString", "()Ljava/lang/String;", false,
              [](CallContext& c) { return objValue(newString(throwableText(as<ThrowableObj>(c.self)))); });
    addMethod(throwable, "printStackTrace", "()V", false, [](CallContext& c) {
        if (vm().sysErr != nullptr) printStackTrace(as<ThrowableObj>(c.self), vm().sysErr);
        return Value{};
    });
    addMethod(throwable, "printStackTrace", "(Ljava/io/PrintStream;)V", false, [](CallContext& c) {
        auto* stream = as<StreamObj>(c.obj(0));
        if (stream == nullptr) {
            throwNew(c.env, "java/lang/NullPointerException", std::nullopt);
            return Value{};
        }
        // A trace that fails while it is printed, as one whose cause's
        // toString throws: "throws" after the first line, "throws-at-once"
        // before anything.
        if (auto failing = knob(L"PRINT_STACK_TRACE")) {
            if (*failing == L"throws") printText(stream, throwableText(as<ThrowableObj>(c.self)) + u"\r\n");
            throwNew(c.env, "java/lang/IllegalStateException", u"trace unavailable");
            return Value{};
        }
        printStackTrace(as<ThrowableObj>(c.self), stream);
        return Value{};
    });
    const char* tree[][2] = {
        {"java/lang/Exception", "java/lang/Throwable"},
        {"java/lang/Error", "java/lang/Throwable"},
        {"java/lang/RuntimeException", "java/lang/Exception"},
        {"java/lang/ReflectiveOperationException", "java/lang/Exception"},
        {"java/lang/ClassNotFoundException", "java/lang/ReflectiveOperationException"},
        {"java/lang/InterruptedException", "java/lang/Exception"},
        {"java/io/IOException", "java/lang/Exception"},
        {"java/io/FileNotFoundException", "java/io/IOException"},
        {"java/io/UncheckedIOException", "java/lang/RuntimeException"},
        {"java/lang/IllegalArgumentException", "java/lang/RuntimeException"},
        {"java/lang/NumberFormatException", "java/lang/IllegalArgumentException"},
        {"java/lang/IllegalStateException", "java/lang/RuntimeException"},
        {"java/lang/NullPointerException", "java/lang/RuntimeException"},
        {"java/lang/ArithmeticException", "java/lang/RuntimeException"},
        {"java/lang/ClassCastException", "java/lang/RuntimeException"},
        {"java/lang/UnsupportedOperationException", "java/lang/RuntimeException"},
        {"java/lang/SecurityException", "java/lang/RuntimeException"},
        {"java/lang/IndexOutOfBoundsException", "java/lang/RuntimeException"},
        {"java/lang/ArrayIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
        {"java/lang/StringIndexOutOfBoundsException", "java/lang/IndexOutOfBoundsException"},
        {"java/lang/ArrayStoreException", "java/lang/RuntimeException"},
        {"java/lang/NegativeArraySizeException", "java/lang/RuntimeException"},
        {"java/lang/LinkageError", "java/lang/Error"},
        {"java/lang/NoClassDefFoundError", "java/lang/LinkageError"},
        {"java/lang/ClassFormatError", "java/lang/LinkageError"},
        {"java/lang/UnsatisfiedLinkError", "java/lang/LinkageError"},
        {"java/lang/ExceptionInInitializerError", "java/lang/LinkageError"},
        {"java/lang/IncompatibleClassChangeError", "java/lang/LinkageError"},
        {"java/lang/NoSuchMethodError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/NoSuchFieldError", "java/lang/IncompatibleClassChangeError"},
        {"java/lang/VirtualMachineError", "java/lang/Error"},
        {"java/lang/OutOfMemoryError", "java/lang/VirtualMachineError"},
        {"java/lang/StackOverflowError", "java/lang/VirtualMachineError"},
        {"java/lang/InternalError", "java/lang/VirtualMachineError"},
        {"java/lang/AssertionError", "java/lang/Error"},
        {"java/lang/ThreadDeath", "java/lang/Error"},
    };
    for (const auto& entry : tree) defineThrowable(entry[0], entry[1]);

    ClassInfo* helper = defineClass("sun/launcher/LauncherHelper", "java/lang/Object");
    addMethod(helper, "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;", true, checkAndLoadMain);
    ClassInfo* fxHelper = defineClass("sun/launcher/LauncherHelper$FXHelper", "java/lang/Object");
    addMethod(fxHelper, "main", "([Ljava/lang/String;)V", true, [](CallContext&) {
        RecordLine("fx-main").bytes("class", fxApplication()).write();
        return Value{};
    });
}

ClassInfo* findLoadedClass(const std::string& name) {
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    auto it = v.classes.find(name);
    return it == v.classes.end() ? nullptr : it->second;
}

ClassInfo* bootClass(const std::string& name) {
    ClassInfo* cls = findLoadedClass(name);
    if (cls != nullptr && cls->builtin) {
        if (name == "sun/launcher/LauncherHelper") {
            auto k = knob(L"LAUNCHER_HELPER");
            if (k && *k == L"absent") return nullptr;
        }
        return cls;
    }
    if (name.size() > 1 && name[0] == '[') return findLoadedClass(name);
    return nullptr;
}

namespace {

ClassInfo* arrayClass(Env& env, const std::string& name) {
    // "[Ljava/lang/String;" and deeper: arrays of objects only.
    std::string inner = name.substr(1);
    ClassInfo* component = nullptr;
    if (inner.size() > 2 && inner.front() == 'L' && inner.back() == ';')
        component = loadClass(env, inner.substr(1, inner.size() - 2));
    else if (!inner.empty() && inner.front() == '[')
        component = loadClass(env, inner);
    if (component == nullptr) return nullptr;
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    if (ClassInfo* known = findLoadedClass(name)) return known;
    auto* info = new ClassInfo;
    info->name = name;
    info->builtin = true;
    info->super = v.classes.at("java/lang/Object");
    info->component = component;
    v.classes[name] = info;
    return info;
}

ClassInfo* scriptedClass(const std::string& name, const ScriptLookup& found, ClassInfo* super) {
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    if (ClassInfo* known = findLoadedClass(name)) return known;
    auto* info = new ClassInfo;
    info->name = name;
    info->super = super != nullptr ? super : v.classes.at("java/lang/Object");
    info->source = found.source;
    info->script = found.cls;
    for (const ScriptMethod& sm : found.cls->methods) {
        auto m = std::make_unique<Method>();
        m->owner = info;
        m->name = sm.name;
        m->sig = sm.signature();
        m->isStatic = sm.isStatic;
        m->script = &sm;
        info->methods.push_back(std::move(m));
    }
    v.classes[name] = info;
    RecordLine("class-load").bytes("name", name).wide("source", found.source).write();
    return info;
}

}  // namespace

ClassInfo* loadClass(Env& env, const std::string& name) {
    if (ClassInfo* known = findLoadedClass(name)) return known;
    if (!name.empty() && name[0] == '[') {
        ClassInfo* cls = arrayClass(env, name);
        if (cls == nullptr && env.pending == nullptr) throwNew(env, "java/lang/NoClassDefFoundError", ascii(name));
        return cls;
    }
    if (name.empty() || name.find('.') != std::string::npos || name.find('\\') != std::string::npos) {
        throwNew(env, "java/lang/NoClassDefFoundError", fromModifiedUtf8(name));
        return nullptr;
    }
    ScriptLookup found = findScriptClass(name, vm().classPath);
    if (found.cls) {
        ClassInfo* super = nullptr;
        if (!found.cls->superName.empty() && (super = loadClass(env, found.cls->superName)) == nullptr) return nullptr;
        return scriptedClass(name, found, super);
    }
    Text dotted = fromModifiedUtf8(name);
    std::replace(dotted.begin(), dotted.end(), u'/', u'.');
    if (found.error.rfind("wrong-name: ", 0) == 0) {
        throwNew(env, "java/lang/NoClassDefFoundError",
                 fromModifiedUtf8(name) + u" (wrong name: " + fromUtf8(found.error.substr(12)) + u")");
        return nullptr;
    }
    if (found.error.rfind("format: ", 0) == 0) {
        throwNew(env, "java/lang/ClassFormatError", fromModifiedUtf8(name) + u" (" + fromUtf8(found.error.substr(8)) + u")");
        return nullptr;
    }
    // As the application class loader reports a class it cannot find.
    ThrowableObj* error = newThrowable("java/lang/NoClassDefFoundError", fromModifiedUtf8(name));
    ThrowableObj* cause = newThrowable("java/lang/ClassNotFoundException", dotted);
    cause->frames = {u"java.net.URLClassLoader.findClass(URLClassLoader.java:382)",
                     u"java.lang.ClassLoader.loadClass(ClassLoader.java:424)",
                     u"sun.misc.Launcher$AppClassLoader.loadClass(Launcher.java:349)",
                     u"java.lang.ClassLoader.loadClass(ClassLoader.java:357)"};
    error->cause = cause;
    throwPending(env, error);
    return nullptr;
}

ClassInfo* throwableClass(const std::string& name) {
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    if (ClassInfo* known = findLoadedClass(name)) return known->throwable ? known : nullptr;
    // An application's own exception class, made when the script first throws it.
    bool isError = name.size() >= 5 && name.compare(name.size() - 5, 5, "Error") == 0;
    ClassInfo* cls = defineThrowable(name, isError ? "java/lang/Error" : "java/lang/RuntimeException");
    cls->builtin = false;
    return cls;
}

ClassObj* mirrorOf(ClassInfo* info) {
    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    if (info->mirror == nullptr) {
        info->mirror = new ClassObj;
        info->mirror->cls = v.classes.at("java/lang/Class");
        info->mirror->info = info;
    }
    return info->mirror;
}

StringObj* newString(const Text& units) {
    auto* s = new StringObj;
    s->cls = bootClass("java/lang/String");
    s->units = units;
    return s;
}

ThrowableObj* newThrowable(ClassInfo* cls, std::optional<Text> message) {
    auto* t = new ThrowableObj;
    t->cls = cls;
    t->message = std::move(message);
    return t;
}

ThrowableObj* newThrowable(const std::string& cls, std::optional<Text> message) {
    ClassInfo* info = throwableClass(cls);
    if (info == nullptr) info = vm().classes.at("java/lang/RuntimeException");
    return newThrowable(info, std::move(message));
}

Value invokeMethod(Env& env, Method* method, Obj* self, const std::vector<Value>& args) {
    // Every Java method that runs before the process's first main(String[])
    // is recorded: Java code a launcher runs before main costs start-up time.
    static std::atomic<bool> mainStarted{false};
    if (method->isStatic && method->name == "main" && method->sig == "([Ljava/lang/String;)V")
        mainStarted = true;
    else if (!mainStarted)
        RecordLine("before-main").bytes("class", method->owner->name).bytes("method", method->name).bytes("sig", method->sig).write();
    if (method->script != nullptr) {
        ScriptArgs scriptArgs;
        if (auto* array = dynamic_cast<ObjArrayObj*>(args.empty() ? nullptr : args[0].obj)) {
            scriptArgs.emplace();
            for (Obj* item : array->items) {
                if (auto* s = dynamic_cast<StringObj*>(item))
                    scriptArgs->push_back(s->units);
                else
                    scriptArgs->push_back(std::nullopt);
            }
        }
        return intValue(runScriptMethod(env, method->owner, *method->script, scriptArgs));
    }
    CallContext context{env, self, args};
    ++env.javaDepth;
    Value result = method->native(context);
    --env.javaDepth;
    return result;
}

}  // namespace standin
