// Creating the stand-in VM: the JavaVMInitArgs record and its options, the
// JNI 1.1 default arguments, and the boot loader's class lookup.
#include <algorithm>
#include <cwctype>

#include "Vm.h"

namespace standin {
namespace {

std::optional<unsigned long long> parseSize(std::string_view text) {
    if (text.empty()) return std::nullopt;
    unsigned long long value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (~0ULL) / 10) return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (i == 0) return std::nullopt;
    if (i == text.size()) return value;
    if (i + 1 != text.size()) return std::nullopt;
    int shift = 0;
    switch (text[i]) {
    case 'k': case 'K': shift = 10; break;
    case 'm': case 'M': shift = 20; break;
    case 'g': case 'G': shift = 30; break;
    case 't': case 'T': shift = 40; break;
    default: return std::nullopt;
    }
    if (value > ((~0ULL) >> shift)) return std::nullopt;
    return value << shift;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::optional<long long> knobNumber(const wchar_t* name) {
    auto value = knob(name);
    if (!value || value->empty()) return std::nullopt;
    try {
        size_t used = 0;
        long long n = std::stoll(*value, &used, 0);
        if (used != value->size()) return std::nullopt;
        return n;
    } catch (...) {
        return std::nullopt;
    }
}

struct Parsed {
    unsigned long long xmx = 0, xms = 0, xss = 0;
    std::map<Text, Text> properties;
    JvmExitHookFn exitHook = nullptr;
    JvmAbortHookFn abortHook = nullptr;
    jint(JNICALL* vfprintfHook)(void*, const char*, va_list) = nullptr;
};

bool knownFlagOption(std::string_view o) {
    static const char* const exact[] = {
        "-Xint", "-Xmixed", "-Xcomp", "-Xbatch", "-Xrs", "-Xnoclassgc", "-Xincgc", "-Xnoincgc", "-Xfuture",
        "-Xdiag", "-Xcheck:jni", "-Xdebug", "-Xnoagent", "-Xprof", "-Xconcurrentio", "-Xshare:auto",
        "-Xshare:on", "-Xshare:off", "-Xshare:dump", "-Xverify", "-Xverify:none", "-Xverify:remote",
        "-Xverify:all", "-verbose", "-verbose:gc", "-verbose:class", "-verbose:jni", "-verbose:module",
        "-esa", "-dsa", "-enablesystemassertions", "-disablesystemassertions", "-ea", "-da",
        "-enableassertions", "-disableassertions", "-Xsqnopause", "-Xinternalversion", "-Xlog"};
    for (const char* e : exact)
        if (o == e) return true;
    static const char* const prefixes[] = {"-Xloggc:", "-Xlog:", "-Xbootclasspath:", "-Xbootclasspath/a:",
                                           "-Xbootclasspath/p:", "-Xrun", "-Xmaxjitcodesize", "-agentlib:",
                                           "-agentpath:", "-javaagent:", "-ea:", "-da:", "-enableassertions:",
                                           "-disableassertions:"};
    for (const char* p : prefixes)
        if (startsWith(o, p) && o.size() > std::string_view(p).size()) return true;
    if (startsWith(o, "-XX:")) {
        std::string_view body = o.substr(4);
        if (!body.empty() && (body[0] == '+' || body[0] == '-')) body.remove_prefix(1);
        else if (body.find('=') == std::string_view::npos) return false;
        std::string_view name = body.substr(0, body.find('='));
        return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        });
    }
    return false;
}

// Reads the options as a runtime does; on a fault prints the runtime's
// message and returns the JNI error.
jint parseOptions(const JavaVMInitArgs& args, Parsed& out) {
    for (jint i = 0; i < args.nOptions; ++i) {
        const JavaVMOption& option = args.options[i];
        if (option.optionString == nullptr) {
            printNative("Unrecognized option: (null)\r\n");
            return JNI_EINVAL;
        }
        std::string_view o = option.optionString;
        if (o == "exit") {
            out.exitHook = reinterpret_cast<JvmExitHookFn>(option.extraInfo);
        } else if (o == "abort") {
            out.abortHook = reinterpret_cast<JvmAbortHookFn>(option.extraInfo);
        } else if (o == "vfprintf") {
            out.vfprintfHook = reinterpret_cast<jint(JNICALL*)(void*, const char*, va_list)>(option.extraInfo);
            vm().vfprintfHook = out.vfprintfHook;  // in effect for the messages about the options after it
        } else if (startsWith(o, "-D")) {
            std::string_view body = o.substr(2);
            size_t equals = body.find('=');
            Text name = widenAnsi(body.substr(0, equals));
            Text value = equals == std::string_view::npos ? Text() : widenAnsi(body.substr(equals + 1));
            out.properties[name] = value;
        } else if (startsWith(o, "-Xmx") || startsWith(o, "-Xms") || startsWith(o, "-Xss") || startsWith(o, "-Xmn")) {
            auto size = parseSize(o.substr(4));
            std::string kind = startsWith(o, "-Xmx")   ? "maximum heap size"
                               : startsWith(o, "-Xms") ? "initial heap size"
                               : startsWith(o, "-Xss") ? "thread stack size"
                                                       : "maximum new generation size";
            if (!size || (startsWith(o, "-Xss") && *size > 0x40000000ULL)) {
                printNative("Invalid " + kind + ": " + std::string(o) + "\r\n");
                return JNI_EINVAL;
            }
            if (startsWith(o, "-Xmx")) out.xmx = *size;
            if (startsWith(o, "-Xms")) out.xms = *size;
            if (startsWith(o, "-Xss")) out.xss = *size;
        } else if (knownFlagOption(o)) {
            // Accepted; nothing in the stand-in depends on it.
        } else if (args.ignoreUnrecognized) {
            RecordLine("option-ignored").number("index", i).bytes("bytes", o).write();
        } else {
            printNative("Unrecognized option: " + std::string(o) + "\r\n");
            return JNI_ERR;
        }
    }
    if (out.xmx != 0 && out.xms > out.xmx) {
        printNative("Error occurred during initialization of VM\r\n"
                    "Initial heap size set to a larger value than the maximum heap size\r\n");
        return JNI_EINVAL;
    }
    if (auto limit = knobNumber(L"HEAP_LIMIT")) {
        if (*limit >= 0 && (out.xmx > static_cast<unsigned long long>(*limit) ||
                            out.xms > static_cast<unsigned long long>(*limit))) {
            printNative("Error occurred during initialization of VM\r\n"
                        "Could not reserve enough space for object heap\r\n");
            return JNI_ENOMEM;
        }
    }
    return JNI_OK;
}

std::wstring runtimeHome() {
    std::wstring path = modulePath();
    for (int i = 0; i < 3; ++i) {
        size_t slash = path.find_last_of(L"\\/");
        if (slash == std::wstring::npos) return {};
        path.resize(slash);
    }
    return path;
}

void setDefault(std::map<Text, Text>& properties, const char* name, const Text& value) {
    properties.emplace(ascii(name), value);
}

std::vector<std::wstring> splitClassPath(const Text& value) {
    std::vector<std::wstring> entries;
    std::wstring text = toWide(value);
    size_t start = 0;
    while (true) {
        size_t semicolon = text.find(L';', start);
        entries.push_back(text.substr(start, semicolon - start));
        if (semicolon == std::wstring::npos) break;
        start = semicolon + 1;
    }
    return entries;
}

bool creationVersion(jint version) {
    return version == JNI_VERSION_1_2 || version == JNI_VERSION_1_4 || version == JNI_VERSION_1_6 ||
           version == JNI_VERSION_1_8 || version == 0x00090000 || version == 0x000A0000;
}

jint finish(jint result, const char* reason) {
    RecordLine line("create-result");
    line.number("result", result);
    if (reason != nullptr) line.bytes("reason", reason);
    line.write();
    return result;
}

}  // namespace

jint createJavaVm(JavaVM** pvm, void** penv, void* raw) {
    if (pvm != nullptr) *pvm = nullptr;
    if (penv != nullptr) *penv = nullptr;
    auto* args = static_cast<JavaVMInitArgs*>(raw);
    if (args == nullptr || pvm == nullptr || penv == nullptr) {
        RecordLine("create").flag("null-argument", true).write();
        return finish(JNI_EINVAL, "null-argument");
    }
    bool hookExit = false, hookAbort = false, hookVfprintf = false;
    if (args->options != nullptr) {
        for (jint i = 0; i < args->nOptions; ++i) {
            const char* s = args->options[i].optionString;
            if (s == nullptr) continue;
            hookExit |= std::string_view(s) == "exit";
            hookAbort |= std::string_view(s) == "abort";
            hookVfprintf |= std::string_view(s) == "vfprintf";
        }
    }
    RecordLine("create")
        .hex("version", static_cast<unsigned long>(args->version))
        .number("options", args->nOptions)
        .flag("ignore", args->ignoreUnrecognized != JNI_FALSE)
        .flag("exit", hookExit)
        .flag("abort", hookAbort)
        .flag("vfprintf", hookVfprintf)
        .write();
    if (args->options != nullptr) {
        for (jint i = 0; i < args->nOptions; ++i) {
            const JavaVMOption& option = args->options[i];
            RecordLine line("option");
            line.number("index", i);
            if (option.optionString == nullptr)
                line.flag("null", true);
            else
                line.bytes("bytes", option.optionString);
            line.flag("extra", option.extraInfo != nullptr).write();
        }
    }
    // The stack reserved for the thread that creates the VM.
    ULONG_PTR stackLow = 0, stackHigh = 0;
    GetCurrentThreadStackLimits(&stackLow, &stackHigh);
    RecordLine("stack").number("reserve", static_cast<long long>(stackHigh - stackLow)).write();

    // Holds the creation until a file exists (at most a minute), so that a
    // test can act while the launcher is still starting the VM.
    if (auto gate = knob(L"CREATE_WAIT"); gate && !gate->empty()) {
        RecordLine("create-wait").units("path", Text(gate->begin(), gate->end())).write();
        for (int waited = 0; waited < 60000 && GetFileAttributesW(gate->c_str()) == INVALID_FILE_ATTRIBUTES; waited += 20)
            Sleep(20);
    }
    if (auto forced = knobNumber(L"CREATE_RESULT"); forced && *forced != 0)
        return finish(static_cast<jint>(*forced), "forced");

    Vm& v = vm();
    std::lock_guard<std::recursive_mutex> guard(v.mu);
    if (v.state != VmState::None) return finish(JNI_EEXIST, "exists");
    if (!creationVersion(args->version)) return finish(JNI_EVERSION, "version");
    if (args->nOptions < 0 || (args->nOptions > 0 && args->options == nullptr))
        return finish(JNI_EINVAL, "options");
    defineBuiltins();
    Parsed parsed;
    if (jint error = parseOptions(*args, parsed); error != JNI_OK) return finish(error, "options");

    auto& p = parsed.properties;
    wchar_t cwd[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, cwd);
#ifdef _WIN64
    const char* arch = "amd64";
    const char* model = "64";
#else
    const char* arch = "x86";
    const char* model = "32";
#endif
    setDefault(p, "java.version", u"1.8.0");
    setDefault(p, "java.vendor", u"Vexa stand-in runtime");
    setDefault(p, "java.vm.name", u"Vexa Stand-in VM");
    setDefault(p, "java.home", fromWide(runtimeHome()));
    setDefault(p, "java.class.path", u".");
    setDefault(p, "file.encoding", u"UTF-8");
    setDefault(p, "line.separator", u"\r\n");
    setDefault(p, "path.separator", u";");
    setDefault(p, "file.separator", u"\\");
    setDefault(p, "os.name", u"Windows 10");
    setDefault(p, "os.arch", ascii(arch));
    setDefault(p, "sun.arch.data.model", ascii(model));
    setDefault(p, "user.dir", fromWide(cwd));
    Text encoding = p[u"file.encoding"];
    std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                   [](char16_t c) { return c < 0x80 ? static_cast<char16_t>(std::towlower(c)) : c; });
    v.utf8Output = encoding == u"utf-8" || encoding == u"utf8";
    v.classPath = splitClassPath(p[u"java.class.path"]);
    v.properties = std::move(p);
    v.exitHook = parsed.exitHook;
    v.abortHook = parsed.abortHook;
    v.vfprintfHook = parsed.vfprintfHook;

    auto sink = [&](StreamObj::Kind kind) {
        auto* s = new StreamObj;
        s->cls = bootClass("java/io/FileOutputStream");
        s->kind = kind;
        return newPrintStream(s);
    };
    v.sysOut = sink(StreamObj::StdOut);
    v.sysErr = sink(StreamObj::StdErr);
    v.javaVm.functions = invokeTable();
    v.state = VmState::Running;
    Env* env = attachThread(u"main", false);
    *pvm = &v.javaVm;
    *penv = static_cast<JNIEnv*>(env);
    // A faulty runtime: success reported, but a pointer left null.
    if (auto missing = knob(L"CREATE_NULL")) {
        if (*missing == L"vm" || *missing == L"both") *pvm = nullptr;
        if (*missing == L"env" || *missing == L"both") *penv = nullptr;
    }
    RecordLine("settings")
        .number("xmx", static_cast<long long>(parsed.xmx))
        .number("xms", static_cast<long long>(parsed.xms))
        .number("xss", static_cast<long long>(parsed.xss))
        .write();
    return finish(JNI_OK, nullptr);
}

jint defaultInitArgs(void* raw) {
    auto* args = static_cast<JDK1_1InitArgs*>(raw);
    if (args == nullptr) {
        RecordLine("default-args").flag("null-argument", true).number("result", JNI_ERR).write();
        return JNI_ERR;
    }
    jint version = args->version;
    jint result = creationVersion(version) ? JNI_OK : JNI_ERR;
    jint stack = static_cast<jint>(knobNumber(L"DEFAULT_STACK_SIZE").value_or(1024 * 1024));
    // As current runtimes do: the 1.1 record is no longer supported (the
    // result is an error), yet it still reports the default stack size and
    // is updated to version 1.2.
    if (version == JNI_VERSION_1_1) {
        args->version = JNI_VERSION_1_2;
        args->javaStackSize = stack;
    }
    RecordLine("default-args")
        .hex("version", static_cast<unsigned long>(version))
        .number("stack", version == JNI_VERSION_1_1 ? stack : 0)
        .number("result", result)
        .write();
    return result;
}

jclass findClassFromBootLoader(JNIEnv* jenv, const char* name) {
    constexpr int slot = -10;
    Vm& v = vm();
    if (v.state != VmState::Running) misuse(slot, "no Java VM exists");
    Env* env = currentEnv();
    if (env == nullptr) misuse(slot, "called from a thread that is not attached to the Java VM");
    if (static_cast<Env*>(jenv) != env) misuse(slot, "JNIEnv of another thread");
    ClassInfo* cls = name != nullptr ? bootClass(name) : nullptr;
    RecordLine("boot-find-class").bytes("name", name != nullptr ? name : "").flag("found", cls != nullptr).write();
    return cls == nullptr ? nullptr : reinterpret_cast<jclass>(newLocal(*env, mirrorOf(cls)));
}

}  // namespace standin
