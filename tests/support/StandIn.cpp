#include "StandIn.h"

#include <algorithm>
#include <stdexcept>

#include "TestSupport.h"

namespace vexa::test::standin {

std::wstring jvmDll(Jvm which) {
    if (launcherIs32Bit()) {
        switch (which) {
        case Jvm::Full: return artefact(L"standin\\x86\\jvm.dll");
        case Jvm::NoCreate: return artefact(L"standin\\x86\\no-create\\jvm.dll");
        case Jvm::NoDefaults: return artefact(L"standin\\x86\\no-defaults\\jvm.dll");
        case Jvm::NoBootLoader: return artefact(L"standin\\x86\\no-bootloader\\jvm.dll");
        case Jvm::X86: return artefact(L"standin\\jvm.dll");
        }
    }
    switch (which) {
    case Jvm::Full: return artefact(L"standin\\jvm.dll");
    case Jvm::NoCreate: return artefact(L"standin\\no-create\\jvm.dll");
    case Jvm::NoDefaults: return artefact(L"standin\\no-defaults\\jvm.dll");
    case Jvm::NoBootLoader: return artefact(L"standin\\no-bootloader\\jvm.dll");
    case Jvm::X86: return artefact(L"standin\\x86\\jvm.dll");
    case Jvm::WithSupport: return artefact(L"standin\\with-support\\jvm.dll");
    }
    return {};
}

std::wstring splashDll(Splash which) {
    return which == Splash::Full ? artefact(L"standin\\splashscreen.dll")
                                 : artefact(L"standin\\no-jarname\\splashscreen.dll");
}

std::wstring hostExe() { return artefact(L"standin-host.exe"); }

std::wstring jvmSupportDll() { return artefact(L"standin\\with-support\\jvmsupport.dll"); }

std::wstring exampleApp(const std::wstring& name) { return artefact(L"standin\\examples\\" + name); }

// ---- record ------------------------------------------------------------------------

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool hexRun(std::string_view s, size_t at, size_t count, unsigned& value) {
    if (at + count > s.size()) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        int d = hexDigit(s[at + i]);
        if (d < 0) return false;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return true;
}

}  // namespace

std::string decodeBytes(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned value = 0;
        if (s[i] == '%' && hexRun(s, i + 1, 2, value)) {
            out += static_cast<char>(value);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::wstring decodeText(std::string_view s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned value = 0;
        if (s[i] == '%' && i + 1 < s.size() && s[i + 1] == 'u' && hexRun(s, i + 2, 4, value)) {
            out += static_cast<wchar_t>(value);
            i += 5;
        } else if (s[i] == '%' && hexRun(s, i + 1, 2, value)) {
            out += static_cast<wchar_t>(value);
            i += 2;
        } else {
            out += static_cast<wchar_t>(static_cast<unsigned char>(s[i]));
        }
    }
    return out;
}

bool Event::has(std::string_view key) const {
    return std::any_of(fields.begin(), fields.end(), [&](const auto& f) { return f.first == key; });
}

std::string Event::raw(std::string_view key) const {
    for (const auto& f : fields)
        if (f.first == key) return f.second;
    return {};
}

std::string Event::bytes(std::string_view key) const { return decodeBytes(raw(key)); }
std::wstring Event::text(std::string_view key) const { return decodeText(raw(key)); }

long long Event::number(std::string_view key, long long fallback) const {
    std::string value = raw(key);
    if (value.empty()) return fallback;
    try {
        return std::stoll(value, nullptr, 0);
    } catch (...) {
        return fallback;
    }
}

bool Event::flag(std::string_view key) const { return raw(key) == "1"; }

Record::Record(std::string text) : text_(std::move(text)) {
    size_t start = 0;
    while (start < text_.size()) {
        size_t end = text_.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        std::string_view line(text_.data() + start, end - start);
        start = end + 1;
        std::vector<std::string_view> parts;
        size_t p = 0;
        while (p <= line.size()) {
            size_t blank = line.find(' ', p);
            if (blank == std::string_view::npos) blank = line.size();
            parts.push_back(line.substr(p, blank - p));
            p = blank + 1;
        }
        if (parts.size() < 3) continue;
        Event event;
        try {
            event.pid = std::stoul(std::string(parts[0]));
            event.tid = std::stoul(std::string(parts[1]));
        } catch (...) {
            continue;
        }
        event.name = std::string(parts[2]);
        for (size_t i = 3; i < parts.size(); ++i) {
            size_t equals = parts[i].find('=');
            if (equals == std::string_view::npos) continue;
            event.fields.emplace_back(std::string(parts[i].substr(0, equals)), std::string(parts[i].substr(equals + 1)));
        }
        events_.push_back(std::move(event));
    }
}

Record Record::load(const std::wstring& path) { return Record(readFile(path)); }

std::vector<std::string> Record::names() const {
    std::vector<std::string> out;
    for (const auto& e : events_) out.push_back(e.name);
    return out;
}

std::vector<Event> Record::named(std::string_view name) const {
    std::vector<Event> out;
    for (const auto& e : events_)
        if (e.name == name) out.push_back(e);
    return out;
}

const Event* Record::first(std::string_view name) const {
    for (const auto& e : events_)
        if (e.name == name) return &e;
    return nullptr;
}

const Event* Record::last(std::string_view name) const {
    for (auto it = events_.rbegin(); it != events_.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}

bool Record::inOrder(std::initializer_list<std::string_view> wanted) const {
    auto next = wanted.begin();
    for (const auto& e : events_) {
        if (next == wanted.end()) break;
        if (e.name == *next) ++next;
    }
    return next == wanted.end();
}

std::optional<Creation> Record::creation() const {
    size_t at = events_.size();
    for (size_t i = 0; i < events_.size(); ++i)
        if (events_[i].name == "create") at = i;
    if (at == events_.size()) return std::nullopt;
    const Event& e = events_[at];
    Creation c;
    c.version = static_cast<std::int32_t>(e.number("version"));
    c.optionCount = static_cast<int>(e.number("options"));
    c.ignoreUnrecognized = e.flag("ignore");
    c.exitHook = e.flag("exit");
    c.abortHook = e.flag("abort");
    c.vfprintfHook = e.flag("vfprintf");
    for (size_t i = at + 1; i < events_.size(); ++i) {
        const Event& f = events_[i];
        if (f.pid != e.pid || f.tid != e.tid) continue;
        if (f.name == "option") c.options.push_back(f.bytes("bytes"));
        if (f.name == "stack") c.stackReserve = f.number("reserve", -1);
        if (f.name == "create-result") {
            c.result = static_cast<std::int32_t>(f.number("result"));
            break;
        }
    }
    return c;
}

std::optional<std::string> Record::property(std::string_view name) const {
    auto c = creation();
    if (!c) return std::nullopt;
    std::optional<std::string> value;
    std::string prefix = "-D" + std::string(name);
    for (const auto& option : c->options) {
        if (option == prefix)
            value = std::string();
        else if (option.rfind(prefix + "=", 0) == 0)
            value = option.substr(prefix.size() + 1);
    }
    return value;
}

std::vector<Invocation> Record::invocations(std::string_view method) const {
    std::vector<Invocation> out;
    for (const auto& e : events_) {
        if (e.name != "invoke" || (!method.empty() && e.raw("method") != method)) continue;
        Invocation inv;
        inv.className = e.bytes("class");
        inv.method = e.bytes("method");
        inv.signature = e.bytes("sig");
        inv.thread = e.text("thread");
        inv.tid = e.tid;
        if (e.number("argc", -1) >= 0) {
            inv.args.emplace();
            for (const auto& f : e.fields) {
                if (f.first == "arg") inv.args->push_back(decodeText(f.second));
                if (f.first == "arg-null") inv.args->push_back(std::nullopt);
            }
        }
        out.push_back(std::move(inv));
    }
    return out;
}

std::optional<std::vector<std::wstring>> Record::mainArguments() const {
    auto calls = invocations("main");
    if (calls.empty() || !calls.front().args) return std::nullopt;
    std::vector<std::wstring> out;
    for (const auto& arg : *calls.front().args) out.push_back(arg.value_or(L""));
    return out;
}

std::optional<std::int32_t> Record::exitStatus() const {
    const Event* e = first("system-exit");
    if (e == nullptr) return std::nullopt;
    return static_cast<std::int32_t>(e->number("status"));
}

std::string Record::output(std::string_view stream) const {
    std::string out;
    for (const auto& e : events_)
        if (e.name == "output" && e.raw("sys") == stream) out += e.bytes("bytes");
    return out;
}

RecordFile::RecordFile(const std::wstring& folder) : path_(folder + L"standin-record.txt") {}

std::map<std::wstring, std::optional<std::wstring>> RecordFile::environment(
    const std::map<std::wstring, std::wstring>& knobs) const {
    std::map<std::wstring, std::optional<std::wstring>> env;
    env[L"VEXA_STANDIN_RECORD"] = path_;
    for (const auto& [name, value] : knobs) env[L"VEXA_STANDIN_" + name] = value;
    return env;
}

// ---- layouts -------------------------------------------------------------------------

namespace {

std::wstring withSlash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

std::wstring parentOf(const std::wstring& path, int levels) {
    std::wstring out = path;
    for (int i = 0; i < levels; ++i) {
        size_t slash = out.find_last_of(L'\\');
        if (slash == std::wstring::npos) return {};
        out.resize(slash);
    }
    return out;
}

}  // namespace

JavaHome::JavaHome(const std::wstring& folder, const RuntimeOptions& options) {
    home_ = withSlash(folder);
    runtimeHome_ = options.oldJdk ? home_ + L"jre\\" : home_;
    makeDirs(runtimeHome_);
    if (options.javaDll) writeFile(runtimeHome_ + L"bin\\java.dll", "stand-in java.dll: the runtime marker file\r\n");
    jvmPath_ = addJvm(options.jvmPath, options.jvm);
    if (options.splash) copyFile(splashDll(options.splashVariant), splashPath());
}

std::wstring JavaHome::splashPath() const { return parentOf(jvmPath_, 2) + L"\\splashscreen.dll"; }

std::wstring JavaHome::addJvm(const std::wstring& relative, Jvm which) const {
    std::wstring path = runtimeHome_ + relative;
    copyFile(jvmDll(which), path);
    if (which == Jvm::WithSupport) copyFile(jvmSupportDll(), runtimeHome_ + L"bin\\jvmsupport.dll");
    return path;
}

// ---- registry --------------------------------------------------------------------------

namespace {

REGSAM viewFlag(RegistryView view) {
    return (view == RegistryView::Wow32) != launcherIs32Bit() ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

const wchar_t kOwnerValue[] = L"VexaStandInOwner";

bool processAlive(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return false;
    DWORD code = 0;
    bool alive = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return alive;
}

// Registrations left behind by a test process that was killed.
void removeStale(RegistryView view) {
    for (const auto& key : JavaRegistry::searchedKeys()) {
        HKEY parent = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | viewFlag(view), &parent) != ERROR_SUCCESS)
            continue;
        std::vector<std::wstring> stale;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            DWORD pid = 0, size = sizeof pid;
            if (RegGetValueW(parent, name, kOwnerValue, RRF_RT_REG_DWORD, nullptr, &pid, &size) == ERROR_SUCCESS &&
                !processAlive(pid))
                stale.emplace_back(name);
        }
        RegCloseKey(parent);
        for (const auto& s : stale) {
            std::wstring full = key + L"\\" + s;
            HKEY k = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, full.c_str(), 0, KEY_ALL_ACCESS | viewFlag(view), &k) == ERROR_SUCCESS) {
                RegDeleteTreeW(k, nullptr);
                RegCloseKey(k);
            }
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, full.c_str(), viewFlag(view), 0);
        }
    }
}

}  // namespace

const std::vector<std::wstring>& JavaRegistry::searchedKeys() {
    static const std::vector<std::wstring> keys = {
        L"Software\\JavaSoft\\JDK",
        L"Software\\JavaSoft\\JRE",
        L"Software\\JavaSoft\\Java Development Kit",
        L"Software\\JavaSoft\\Java Runtime Environment",
        L"Software\\JRockit\\Java Runtime Environment",
        L"Software\\JRockit\\Java Development Kit",
        L"Software\\IBM\\Java2 Runtime Environment",
    };
    return keys;
}

JavaRegistry::JavaRegistry() {
    lock_ = CreateMutexW(nullptr, FALSE, L"VexaStandInJavaRegistry");
    if (lock_ == nullptr) throw std::runtime_error("cannot create the registry lock");
    DWORD wait = WaitForSingleObject(lock_, 120000);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        CloseHandle(lock_);
        throw std::runtime_error("timed out waiting for the registry lock");
    }
    removeStale(RegistryView::Native);
    removeStale(RegistryView::Wow32);
}

JavaRegistry::~JavaRegistry() {
    for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
        REGSAM flag = viewFlag(it->view);
        if (!it->valueName.empty()) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, it->path.c_str(), 0, KEY_SET_VALUE | flag, &key) != ERROR_SUCCESS)
                continue;
            if (it->valueExisted)
                RegSetValueExW(key, it->valueName.c_str(), 0, it->oldType,
                               reinterpret_cast<const BYTE*>(it->oldData.data()), static_cast<DWORD>(it->oldData.size()));
            else
                RegDeleteValueW(key, it->valueName.c_str());
            RegCloseKey(key);
        } else if (it->createdKey) {
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, it->path.c_str(), flag, 0);
        }
    }
    ReleaseMutex(lock_);
    CloseHandle(lock_);
}

std::wstring JavaRegistry::createPath(const std::wstring& path, RegistryView view) {
    std::wstring sofar;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find(L'\\', start);
        if (slash == std::wstring::npos) slash = path.size();
        sofar += (sofar.empty() ? L"" : L"\\") + path.substr(start, slash - start);
        start = slash + 1;
        HKEY key = nullptr;
        DWORD disposition = 0;
        LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, sofar.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | viewFlag(view),
                                      nullptr, &key, &disposition);
        if (status != ERROR_SUCCESS)
            throw std::runtime_error("cannot create registry key " + narrow(sofar) + " (error " + std::to_string(status) + ")");
        RegCloseKey(key);
        if (disposition == REG_CREATED_NEW_KEY) undo_.push_back(Undo{sofar, view, true, L"", false, 0, {}});
    }
    return sofar;
}

void JavaRegistry::setValue(const std::wstring& keyPath, const std::wstring& version, const std::wstring& name,
                            DWORD type, const std::string& data, RegistryView view) {
    size_t before = undo_.size();
    std::wstring path = createPath(keyPath + L"\\" + version, view);
    bool createdLeaf = undo_.size() > before && undo_.back().path == path;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | viewFlag(view), &key) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open registry key " + narrow(path));
    auto remember = [&](const std::wstring& valueName) {
        Undo undo{path, view, false, valueName, false, 0, {}};
        DWORD size = 0;
        if (RegQueryValueExW(key, valueName.c_str(), nullptr, &undo.oldType, nullptr, &size) == ERROR_SUCCESS) {
            undo.valueExisted = true;
            undo.oldData.resize(size);
            RegQueryValueExW(key, valueName.c_str(), nullptr, &undo.oldType,
                             reinterpret_cast<BYTE*>(undo.oldData.data()), &size);
        }
        undo_.push_back(std::move(undo));
    };
    if (createdLeaf) {
        // Marks the key as this process's, so that a later test removes it
        // should this process die before its cleanup.
        remember(kOwnerValue);
        DWORD pid = GetCurrentProcessId();
        RegSetValueExW(key, kOwnerValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pid), sizeof pid);
    }
    if (!name.empty() || type != REG_NONE) {
        remember(name);
        RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
}

void JavaRegistry::add(const std::wstring& keyPath, const std::wstring& version,
                       const std::optional<std::wstring>& javaHome, RegistryView view) {
    if (!javaHome) {
        setValue(keyPath, version, L"", REG_NONE, {}, view);
        return;
    }
    std::string data(reinterpret_cast<const char*>(javaHome->c_str()), (javaHome->size() + 1) * sizeof(wchar_t));
    setValue(keyPath, version, L"JavaHome", REG_SZ, data, view);
}

// ---- host ------------------------------------------------------------------------------

HostRun runHost(const std::wstring& dir, const std::wstring& steps, const std::map<std::wstring, std::wstring>& knobs) {
    RecordFile record(dir);
    ChildProcess::Options options;
    options.commandLine = quoted(hostExe()) + L" " + steps;
    options.environment = record.environment(knobs);
    options.workingDirectory = dir;
    HostRun run;
    {
        ChildProcess child(options);
        run.exitCode = child.exitCode(60000);
    }
    run.record = record.read();
    return run;
}

std::wstring hex(std::string_view bytes) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out;
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void writeScript(const std::wstring& dir, const std::wstring& relative, std::string_view script) {
    writeFile(withSlash(dir) + relative, script);
}

std::string scriptPath(const std::wstring& path) {
    std::string text;
    for (char c : narrow(path)) {
        if (c == '\\') text += '\\';
        text += c;
    }
    return text;
}

}  // namespace vexa::test::standin
