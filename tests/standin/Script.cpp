#include "Script.h"

#include <algorithm>
#include <cwctype>

namespace standin {
namespace {

const char* const kOps[] = {"print", "println", "args",  "property", "env",    "write", "append",
                            "sleep", "wait-file", "throw", "cause",  "exit",  "abort", "return",
                            "background", "thread", "call", "record", "shutdown-hook"};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && (isBlank(s.front()))) s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Splits off the first blank-separated word.
std::string_view firstWord(std::string_view s, std::string_view& rest) {
    size_t end = 0;
    while (end < s.size() && !isBlank(s[end])) ++end;
    std::string_view word = s.substr(0, end);
    rest = s.substr(end);
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    return word;
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    while (!s.empty()) {
        std::string_view rest;
        std::string_view w = firstWord(s, rest);
        if (!w.empty()) out.push_back(w);
        s = rest;
    }
    return out;
}

bool isInteger(std::string_view s) {
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isIdentifier(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || static_cast<unsigned char>(c) >= 0x80))
            return false;
    return !(s.front() >= '0' && s.front() <= '9');
}

std::string slashName(std::string_view name) {
    std::string out(name);
    std::replace(out.begin(), out.end(), '.', '/');
    return out;
}

std::string checkCommand(const std::string& op, std::string_view rest) {
    auto w = words(rest);
    auto stream = [&]() { return !w.empty() && (w[0] == "out" || w[0] == "err"); };
    if (op == "print" || op == "println" || op == "args") {
        if (!stream()) return op + " needs out or err";
    } else if (op == "property" || op == "env") {
        if (!stream() || w.size() < 2) return op + " needs out or err and a name";
    } else if (op == "write" || op == "append") {
        if (w.empty()) return op + " needs a file path";
    } else if (op == "sleep") {
        if (w.size() != 1 || !isInteger(w[0])) return "sleep needs milliseconds";
    } else if (op == "wait-file") {
        if (w.size() < 2 || !isInteger(w.back())) return "wait-file needs a path and milliseconds";
    } else if (op == "throw" || op == "cause") {
        if (w.empty()) return op + " needs an exception class";
    } else if (op == "exit") {
        if (w.size() != 1 || !isInteger(w[0])) return "exit needs a status";
    } else if (op == "return") {
        // A number, or one substitution that gives a number when the method runs.
        if (w.size() > 1 || (w.size() == 1 && !isInteger(w[0]) && w[0].rfind("${", 0) != 0))
            return "return takes at most a number";
    } else if (op == "background") {
        if (w.empty() || !isInteger(w[0])) return "background needs milliseconds";
    } else if (op == "thread") {
        if (w.empty() || w.size() > 2 || (w.size() == 2 && w[1] != "daemon")) return "thread needs a method name";
    } else if (op == "call") {
        if (w.size() != 1) return "call needs a method name";
    }
    return {};
}

}  // namespace

std::optional<std::vector<ScriptClass>> parseScript(std::string_view text, bool requireClassLines, std::string& error) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<ScriptClass> classes;
    ScriptMethod* method = nullptr;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNumber) + ": " + why;
        return std::nullopt;
    };
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') continue;
        std::string_view rest;
        std::string word(firstWord(line, rest));
        if (word == "class") {
            auto w = words(rest);
            if (w.size() != 1 && (w.size() != 3 || w[1] != "extends"))
                return fail("class needs one name, optionally with extends and a superclass");
            classes.push_back(ScriptClass{slashName(w[0]), {}, w.size() == 3 ? slashName(w[2]) : std::string()});
            method = nullptr;
        } else if (word == "method") {
            if (classes.empty()) {
                if (requireClassLines) return fail("method before any class line");
                classes.push_back(ScriptClass{});
            }
            auto w = words(rest);
            if (w.empty() || !isIdentifier(w[0])) return fail("method needs a name");
            ScriptMethod m;
            m.name = std::string(w[0]);
            m.line = lineNumber;
            for (size_t i = 1; i < w.size(); ++i) {
                if (w[i] == "int")
                    m.returnsInt = true;
                else if (w[i] == "void")
                    m.returnsInt = false;
                else if (w[i] == "instance")
                    m.isStatic = false;
                else if (w[i] == "static")
                    m.isStatic = true;
                else
                    return fail("unknown method modifier " + std::string(w[i]));
            }
            auto& methods = classes.back().methods;
            for (const auto& other : methods)
                if (other.name == m.name && other.signature() == m.signature() && other.isStatic == m.isStatic)
                    return fail("method " + m.name + " defined twice");
            methods.push_back(std::move(m));
            method = &methods.back();
        } else {
            if (std::find(std::begin(kOps), std::end(kOps), word) == std::end(kOps))
                return fail("unknown command " + word);
            if (method == nullptr) return fail(word + " outside a method");
            std::string why = checkCommand(word, rest);
            if (!why.empty()) return fail(why);
            method->body.push_back(ScriptCommand{lineNumber, word, fromUtf8(rest)});
        }
    }
    return classes;
}

namespace {

bool endsWithIgnoringCase(const std::wstring& text, const std::wstring& suffix) {
    if (text.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (std::towlower(text[text.size() - suffix.size() + i]) != std::towlower(suffix[i])) return false;
    return true;
}

std::optional<std::string> readWhole(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buffer[16384];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) out.append(buffer, read);
    CloseHandle(file);
    return out;
}

bool isFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The names of the components after `root` as the file system spells them.
std::wstring actualSpelling(const std::wstring& root, const std::vector<std::wstring>& parts) {
    std::wstring path = root;
    std::wstring spelled;
    for (size_t i = 0; i < parts.size(); ++i) {
        path += L"\\" + parts[i];
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(path.c_str(), &data);
        std::wstring name = parts[i];
        if (find != INVALID_HANDLE_VALUE) {
            name = data.cFileName;
            FindClose(find);
        }
        if (i > 0) spelled += L"/";
        spelled += name;
    }
    return spelled;
}

}  // namespace

ScriptLookup findScriptClass(const std::string& name, const std::vector<std::wstring>& classPath) {
    ScriptLookup result;
    std::wstring wideName = toWide(fromUtf8(name));
    for (std::wstring entry : classPath) {
        if (entry.empty()) entry = L".";
        while (entry.size() > 1 && (entry.back() == L'\\' || entry.back() == L'/') &&
               !(entry.size() == 3 && entry[1] == L':'))
            entry.pop_back();
        if (endsWithIgnoringCase(entry, L".jar") || endsWithIgnoringCase(entry, L".zip")) {
            if (!isFile(entry)) continue;
            auto text = readWhole(entry);
            if (!text || text->rfind("PK", 0) == 0) continue;  // a real archive holds no scripts
            std::string error;
            auto classes = parseScript(*text, true, error);
            if (!classes) {
                result.error = "format: " + error;
                result.source = entry;
                return result;
            }
            for (auto& cls : *classes) {
                if (cls.name == name) {
                    result.cls = std::make_shared<const ScriptClass>(std::move(cls));
                    result.source = entry;
                    return result;
                }
            }
            continue;
        }
        std::vector<std::wstring> parts;
        size_t start = 0;
        while (true) {
            size_t slash = wideName.find(L'/', start);
            parts.push_back(wideName.substr(start, slash - start));
            if (slash == std::wstring::npos) break;
            start = slash + 1;
        }
        parts.back() += L".class";
        std::wstring path = entry;
        for (const auto& part : parts) path += L"\\" + part;
        if (!isFile(path)) continue;
        auto text = readWhole(path);
        if (!text) continue;
        std::string error;
        auto classes = parseScript(*text, false, error);
        result.source = path;
        if (!classes) {
            result.error = "format: " + error;
            return result;
        }
        if (classes->size() > 1) {
            result.error = "format: a class file holds one class";
            return result;
        }
        ScriptClass cls = classes->empty() ? ScriptClass{} : std::move(classes->front());
        if (cls.name.empty()) {
            std::wstring spelled = actualSpelling(entry, parts);
            cls.name = narrowUtf8(spelled.substr(0, spelled.size() - 6));
        }
        if (cls.name != name) {
            result.error = "wrong-name: " + cls.name;
            return result;
        }
        result.cls = std::make_shared<const ScriptClass>(std::move(cls));
        return result;
    }
    result.error = "not-found";
    return result;
}

namespace {

// Shutdown hooks, as a runtime runs them on Ctrl+C or when the console
// closes: each records `shutdown-hook` and prints its text on standard
// output, then the process ends with 130. Ctrl+Break records `thread-dump`
// and the application goes on.
std::vector<std::string>& shutdownHooks() {
    static std::vector<std::string> hooks;
    return hooks;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event == CTRL_BREAK_EVENT) {
        RecordLine("thread-dump").write();
        return TRUE;
    }
    if (event != CTRL_C_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (const std::string& hook : shutdownHooks()) {
        RecordLine("shutdown-hook").bytes("text", hook).write();
        const std::string line = hook + "\r\n";
        DWORD written = 0;
        if (out && out != INVALID_HANDLE_VALUE)
            WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    RecordLine("process-exit").number("status", 130).write();
    ExitProcess(130);
}

struct ThreadStart {
    Env* env = nullptr;
    ClassInfo* cls = nullptr;
    const ScriptMethod* method = nullptr;
    ScriptArgs args;
    int sleepMs = 0;
    Text label;
    bool daemon = false;
};

DWORD WINAPI scriptThreadMain(void* parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    Env* env = start->env;
    bindThread(env);
    RecordLine("thread-start")
        .units("thread", env->threadName)
        .flag("daemon", env->daemon)
        .bytes("method", start->method != nullptr ? start->method->name : "")
        .units("label", start->label)
        .write();
    if (start->method != nullptr) {
        env->javaFrames.push_back(u"java.lang.Thread.run(Thread.java:748)");
        runScriptMethod(*env, start->cls, *start->method, start->args);
    } else {
        Sleep(static_cast<DWORD>(start->sleepMs));
        RecordLine("background-end").units("thread", env->threadName).units("label", start->label).write();
    }
    if (vm().state == VmState::Running) detachThread(env);
    RecordLine("thread-end").units("thread", env->threadName).write();
    return 0;
}

bool startThread(std::unique_ptr<ThreadStart> start) {
    Vm& v = vm();
    Text name;
    {
        std::lock_guard<std::recursive_mutex> guard(v.mu);
        name = u"Thread-" + ascii(std::to_string(v.threadCounter++));
    }
    start->env = newThreadEnv(name, start->daemon);
    Env* env = start->env;
    HANDLE thread = CreateThread(nullptr, 0, scriptThreadMain, start.get(), 0, nullptr);
    if (thread == nullptr) {
        detachThread(env);
        return false;
    }
    start.release();
    CloseHandle(thread);
    return true;
}

struct Runner {
    Env& env;
    ClassInfo* cls;
    const ScriptMethod& method;
    const ScriptArgs& args;
    std::optional<std::pair<std::string, std::optional<Text>>> cause;
    int line = 0;

    std::string simpleName() const {
        size_t slash = cls->name.rfind('/');
        return slash == std::string::npos ? cls->name : cls->name.substr(slash + 1);
    }

    Text frame() const {
        return fromUtf8(cls->dotted() + "." + method.name + "(" + simpleName() + ".java:" + std::to_string(line) + ")");
    }

    void raise(ThrowableObj* t, std::vector<Text> nativeFrames = {}) {
        t->frames = std::move(nativeFrames);
        for (auto it = env.javaFrames.rbegin(); it != env.javaFrames.rend(); ++it) t->frames.push_back(*it);
        throwPending(env, t);
    }

    void raise(const std::string& cls, std::optional<Text> message) { raise(newThrowable(cls, std::move(message))); }

    // Escapes and ${...} substitutions of a text argument.
    std::optional<Text> expand(const Text& raw) {
        Text out;
        for (size_t i = 0; i < raw.size(); ++i) {
            char16_t c = raw[i];
            if (c == u'\\' && i + 1 < raw.size()) {
                char16_t n = raw[++i];
                switch (n) {
                case u'n': out += u'\n'; break;
                case u'r': out += u'\r'; break;
                case u't': out += u'\t'; break;
                case u's': out += u' '; break;
                case u'\\': out += u'\\'; break;
                case u'$': out += u'$'; break;
                case u'"': out += u'"'; break;
                case u'u': {
                    unsigned value = 0;
                    size_t k = 0;
                    for (; k < 4 && i + 1 + k < raw.size(); ++k) {
                        char16_t h = raw[i + 1 + k];
                        int digit = h >= u'0' && h <= u'9'   ? h - u'0'
                                    : h >= u'a' && h <= u'f' ? h - u'a' + 10
                                    : h >= u'A' && h <= u'F' ? h - u'A' + 10
                                                             : -1;
                        if (digit < 0) break;
                        value = value * 16 + static_cast<unsigned>(digit);
                    }
                    if (k == 4) {
                        out += static_cast<char16_t>(value);
                        i += 4;
                    } else {
                        out += u"\\u";
                    }
                    break;
                }
                default: out += u'\\'; out += n; break;
                }
            } else if (c == u'$' && i + 1 < raw.size() && raw[i + 1] == u'{') {
                size_t close = raw.find(u'}', i + 2);
                if (close == Text::npos) {
                    out += raw.substr(i);
                    break;
                }
                auto value = substitute(raw.substr(i + 2, close - i - 2));
                if (!value) return std::nullopt;
                out += *value;
                i = close;
            } else {
                out += c;
            }
        }
        return out;
    }

    std::optional<Text> substitute(const Text& key) {
        auto needArgs = [&]() {
            if (!args) raise("java/lang/NullPointerException", std::nullopt);
            return args.has_value();
        };
        if (key == u"args") {
            if (!needArgs()) return std::nullopt;
            Text out;
            for (size_t k = 0; k < args->size(); ++k) {
                if (k > 0) out += u' ';
                out += (*args)[k].value_or(u"null");
            }
            return out;
        }
        if (key == u"argc") {
            if (!needArgs()) return std::nullopt;
            return ascii(std::to_string(args->size()));
        }
        if (key == u"nl") return Text(u"\r\n");
        if (key == u"thread") return env.threadName;
        if (key.rfind(u"arg", 0) == 0 && key.size() > 3 &&
            std::all_of(key.begin() + 3, key.end(), [](char16_t d) { return d >= u'0' && d <= u'9'; })) {
            if (!needArgs()) return std::nullopt;
            size_t index = std::stoul(utf8(key.substr(3)));
            if (index >= args->size()) {
                raise("java/lang/ArrayIndexOutOfBoundsException", ascii(std::to_string(index)));
                return std::nullopt;
            }
            return (*args)[index].value_or(u"null");
        }
        if (key.rfind(u"prop:", 0) == 0) {
            Vm& v = vm();
            std::lock_guard<std::recursive_mutex> guard(v.mu);
            auto it = v.properties.find(key.substr(5));
            return it == v.properties.end() ? Text(u"null") : it->second;
        }
        if (key.rfind(u"env:", 0) == 0) {
            std::wstring name = toWide(key.substr(4));
            wchar_t buffer[32768];
            SetLastError(0);
            DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32768);
            if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return Text(u"null");
            return fromWide(std::wstring_view(buffer, length));
        }
        return u"${" + key + u"}";
    }

    // The first word of `text`, which may be double-quoted; `rest` gets the remainder.
    static Text takeWord(const Text& text, Text& rest) {
        size_t i = 0;
        Text word;
        if (!text.empty() && text[0] == u'"') {
            for (i = 1; i < text.size() && text[i] != u'"'; ++i) {
                if (text[i] == u'\\' && i + 1 < text.size() && (text[i + 1] == u'"' || text[i + 1] == u'\\')) ++i;
                word += text[i];
            }
            if (i < text.size()) ++i;
        } else {
            while (i < text.size() && text[i] != u' ' && text[i] != u'\t') word += text[i++];
        }
        while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
        rest = text.substr(i);
        return word;
    }

    StreamObj* stream(const Text& which) {
        StreamObj* s = which == u"out" ? vm().sysOut : vm().sysErr;
        if (s == nullptr) raise("java/lang/NullPointerException", std::nullopt);
        return s;
    }

    bool println(const Text& which, const Text& text) {
        StreamObj* s = stream(which);
        if (s == nullptr) return false;
        printText(s, text + u"\r\n");
        return true;
    }

    void writeFile(const Text& pathText, const Text& content, bool append) {
        std::wstring path = toWide(pathText);
        HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            raise(newThrowable("java/io/FileNotFoundException",
                               pathText + u" (error " + ascii(std::to_string(GetLastError())) + u")"),
                  {u"java.io.FileOutputStream.open0(Native Method)",
                   u"java.io.FileOutputStream.open(FileOutputStream.java:270)",
                   u"java.io.FileOutputStream.<init>(FileOutputStream.java:213)"});
            return;
        }
        std::string bytes = utf8(content);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        RecordLine(append ? "file-append" : "file-write").wide("path", path).bytes("bytes", bytes).write();
    }

    const ScriptMethod* sibling(const std::string& name) const {
        for (const auto& m : cls->script->methods)
            if (m.name == name && m.isStatic) return &m;
        return nullptr;
    }

    // Runs one command; false ends the method (return, or an exception).
    bool step(const ScriptCommand& command, jint& result) {
        line = command.line;
        env.javaFrames.back() = frame();
        const std::string& op = command.op;
        Text rest;
        if (op == "print" || op == "println") {
            Text which = takeWord(command.rest, rest);
            auto text = expand(rest);
            if (!text) return false;
            StreamObj* s = stream(which);
            if (s == nullptr) return false;
            printText(s, op == "println" ? *text + u"\r\n" : *text);
        } else if (op == "args") {
            Text which = takeWord(command.rest, rest);
            if (!args) {
                raise("java/lang/NullPointerException", std::nullopt);
                return false;
            }
            for (const auto& arg : *args)
                if (!println(which, arg.value_or(u"null"))) return false;
        } else if (op == "property" || op == "env") {
            Text which = takeWord(command.rest, rest);
            Text name = takeWord(rest, rest);
            auto value = substitute((op == "property" ? u"prop:" : u"env:") + name);
            if (!value) return false;
            return println(which, name + u"=" + *value);
        } else if (op == "write" || op == "append") {
            auto path = expand(takeWord(command.rest, rest));
            if (!path) return false;
            auto text = expand(rest);
            if (!text) return false;
            writeFile(*path, *text, op == "append");
            return env.pending == nullptr;
        } else if (op == "sleep") {
            Sleep(static_cast<DWORD>(std::stoul(utf8(command.rest))));
        } else if (op == "wait-file") {
            auto path = expand(takeWord(command.rest, rest));
            if (!path) return false;
            DWORD limit = static_cast<DWORD>(std::stoul(utf8(rest)));
            DWORD started = GetTickCount();
            std::wstring wide = toWide(*path);
            while (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) {
                if (GetTickCount() - started >= limit) {
                    raise("java/lang/IllegalStateException", u"timed out waiting for " + *path);
                    return false;
                }
                Sleep(20);
            }
        } else if (op == "cause") {
            std::string name = slashName(utf8(takeWord(command.rest, rest)));
            std::optional<Text> message;
            if (!rest.empty()) {
                message = expand(rest);
                if (!message) return false;
            }
            cause.emplace(name, message);
        } else if (op == "throw") {
            std::string name = slashName(utf8(takeWord(command.rest, rest)));
            std::optional<Text> message;
            if (!rest.empty()) {
                message = expand(rest);
                if (!message) return false;
            }
            ClassInfo* type = throwableClass(name);
            if (type == nullptr) {
                raise("java/lang/IncompatibleClassChangeError", fromUtf8(name) + u" is not a Throwable");
                return false;
            }
            ThrowableObj* t = newThrowable(type, message);
            raise(t);
            if (cause) {
                ClassInfo* causeType = throwableClass(cause->first);
                if (causeType != nullptr) {
                    t->cause = newThrowable(causeType, cause->second);
                    t->cause->frames = t->frames;
                }
            }
            return false;
        } else if (op == "exit") {
            systemExit(std::stoi(utf8(command.rest)));
        } else if (op == "abort") {
            auto message = expand(command.rest);
            abortVm(message ? utf8(*message) : std::string());
        } else if (op == "return") {
            if (!command.rest.empty()) {
                auto value = expand(command.rest);
                if (!value) return false;
                const std::string number = utf8(*value);
                if (!isInteger(number)) {
                    raise("java/lang/NumberFormatException", u"For input string: \"" + *value + u"\"");
                    return false;
                }
                result = std::stoi(number);
            }
            return false;
        } else if (op == "background" || op == "thread") {
            auto start = std::make_unique<ThreadStart>();
            Text first = takeWord(command.rest, rest);
            start->cls = cls;
            start->args = args;
            if (op == "background") {
                start->sleepMs = std::stoi(utf8(first));
                start->label = rest;
            } else {
                start->method = sibling(utf8(first));
                if (start->method == nullptr) {
                    raise("java/lang/NoSuchMethodError", first);
                    return false;
                }
                start->daemon = rest == u"daemon";
            }
            if (!startThread(std::move(start))) {
                raise("java/lang/OutOfMemoryError", Text(u"unable to create new native thread"));
                return false;
            }
        } else if (op == "call") {
            const ScriptMethod* target = sibling(utf8(command.rest));
            if (target == nullptr) {
                raise("java/lang/NoSuchMethodError", command.rest);
                return false;
            }
            runScriptMethod(env, cls, *target, args);
            return env.pending == nullptr;
        } else if (op == "shutdown-hook") {
            auto text = expand(command.rest);
            if (!text) return false;
            if (shutdownHooks().empty()) SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
            shutdownHooks().push_back(utf8(*text));
        } else if (op == "record") {
            auto text = expand(command.rest);
            if (!text) return false;
            RecordLine("mark").units("text", *text).write();
        }
        return env.pending == nullptr;
    }
};

}  // namespace

jint runScriptMethod(Env& env, ClassInfo* cls, const ScriptMethod& method, const ScriptArgs& args) {
    RecordLine invoke("invoke");
    invoke.bytes("class", cls->name).bytes("method", method.name).bytes("sig", method.signature());
    invoke.units("thread", env.threadName);
    if (!args) {
        invoke.number("argc", -1);
    } else {
        invoke.number("argc", static_cast<long long>(args->size()));
        for (const auto& arg : *args) {
            if (arg)
                invoke.units("arg", *arg);
            else
                invoke.bytes("arg-null", "");
        }
    }
    invoke.write();

    Runner runner{env, cls, method, args, std::nullopt, method.line};
    jint result = 0;
    ++env.javaDepth;
    env.javaFrames.push_back(runner.frame());
    for (const ScriptCommand& command : method.body) {
        if (vm().state != VmState::Running) break;
        if (!runner.step(command, result)) break;
    }
    env.javaFrames.pop_back();
    --env.javaDepth;
    if (env.pending != nullptr) result = 0;

    RecordLine returned("returned");
    returned.bytes("class", cls->name).bytes("method", method.name).units("thread", env.threadName);
    if (method.returnsInt) returned.number("result", result);
    returned.bytes("exception", env.pending != nullptr ? env.pending->cls->name : "");
    returned.write();
    return result;
}

}  // namespace standin
