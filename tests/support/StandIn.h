// Helpers for tests that run the stand-in Java runtime (tests/standin): the
// built artefacts, the parser of its record, runtime folder layouts, and
// scoped registrations of runtimes in the registry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa::test::standin {

// ---- artefacts ---------------------------------------------------------------

enum class Jvm {
    Full,          // standin\jvm.dll
    NoCreate,      // standin\no-create\jvm.dll: no JNI_CreateJavaVM
    NoDefaults,    // standin\no-defaults\jvm.dll: no JNI_GetDefaultJavaVMInitArgs
    NoBootLoader,  // standin\no-bootloader\jvm.dll: no JVM_FindClassFromBootLoader
    X86,           // standin\x86\jvm.dll: 32-bit (machine 0x014C)
    WithSupport,   // standin\with-support\jvm.dll: imports jvmsupport.dll, which a layout puts in "bin\"
};
// Under the 32-bit launcher (launcherIs32Bit()) the tests are mirrored: the
// variants above are the 32-bit builds in standin\x86\, and X86 stands for
// the architecture the launcher cannot load, the 64-bit standin\jvm.dll.
enum class Splash {
    Full,       // standin\splashscreen.dll
    NoJarName,  // standin\no-jarname\splashscreen.dll: no SplashSetFileJarName
};

std::wstring jvmDll(Jvm which = Jvm::Full);
std::wstring splashDll(Splash which = Splash::Full);
std::wstring hostExe();  // standin-host.exe
std::wstring jvmSupportDll();  // standin\with-support\jvmsupport.dll
// An example application of tests/standin/examples, e.g. L"demo-app.jar".
std::wstring exampleApp(const std::wstring& name);

// ---- the record ------------------------------------------------------------------

// Decodes a record value: bytes() for byte values (%XX), text() for UTF-16
// values (%uXXXX).
std::string decodeBytes(std::string_view escaped);
std::wstring decodeText(std::string_view escaped);
// A path as script text, where a backslash starts an escape: backslashes doubled.
std::string scriptPath(const std::wstring& path);

struct Event {
    unsigned long pid = 0;
    unsigned long tid = 0;
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields;  // in line order, values still escaped

    bool has(std::string_view key) const;
    std::string raw(std::string_view key) const;  // first value of the key; empty when missing
    std::string bytes(std::string_view key) const;
    std::wstring text(std::string_view key) const;
    long long number(std::string_view key, long long fallback = 0) const;  // decimal or 0x hex
    bool flag(std::string_view key) const;                                 // "1"
};

struct Creation {
    std::int32_t version = 0;
    int optionCount = 0;
    bool ignoreUnrecognized = false;
    bool exitHook = false;
    bool abortHook = false;
    bool vfprintfHook = false;
    std::vector<std::string> options;  // each option's exact bytes, in order
    long long stackReserve = -1;       // reserved stack of the creating thread
    std::optional<std::int32_t> result;
};

struct Invocation {
    std::string className;  // slash form
    std::string method;
    std::string signature;
    std::wstring thread;
    unsigned long tid = 0;
    // std::nullopt for a null array; a null element is std::nullopt too.
    std::optional<std::vector<std::optional<std::wstring>>> args;
};

class Record {
public:
    Record() = default;
    explicit Record(std::string text);
    static Record load(const std::wstring& path);  // empty when the file is missing

    const std::vector<Event>& events() const { return events_; }
    const std::string& text() const { return text_; }  // for failure messages
    std::vector<std::string> names() const;            // event names in order
    std::vector<Event> named(std::string_view name) const;
    const Event* first(std::string_view name) const;
    const Event* last(std::string_view name) const;
    bool contains(std::string_view name) const { return first(name) != nullptr; }
    // True when events with these names occur in this order (others may lie between).
    bool inOrder(std::initializer_list<std::string_view> names) const;

    std::optional<Creation> creation() const;                          // the last JNI_CreateJavaVM call
    std::optional<std::string> property(std::string_view name) const;  // value of the last "-Dname=" option
    std::vector<Invocation> invocations(std::string_view method = {}) const;
    std::optional<std::vector<std::wstring>> mainArguments() const;  // first main call; null elements as L""
    std::optional<std::int32_t> exitStatus() const;                   // System.exit status
    // Bytes written through System.out ("out") or System.err ("err"),
    // wherever that stream pointed at the time.
    std::string output(std::string_view stream) const;

private:
    std::string text_;
    std::vector<Event> events_;
};

// A record file and the environment a child needs to write it.
class RecordFile {
public:
    explicit RecordFile(const std::wstring& folder);  // folder ends in "\"
    const std::wstring& path() const { return path_; }
    Record read() const { return Record::load(path_); }
    // VEXA_STANDIN_RECORD plus the given knobs (names without the VEXA_STANDIN_ prefix).
    std::map<std::wstring, std::optional<std::wstring>> environment(
        const std::map<std::wstring, std::wstring>& knobs = {}) const;

private:
    std::wstring path_;
};

// ---- runtime layouts -------------------------------------------------------------

struct RuntimeOptions {
    std::wstring jvmPath = L"bin\\server\\jvm.dll";  // relative to the runtime folder
    Jvm jvm = Jvm::Full;
    bool javaDll = true;   // "bin\java.dll"
    bool splash = false;   // splashscreen.dll two levels above the JVM library
    Splash splashVariant = Splash::Full;
    bool oldJdk = false;   // the runtime lies in "jre\" below the home
};

// A runtime laid out in `folder` (created when missing) with copies of the
// stand-in DLLs.
class JavaHome {
public:
    explicit JavaHome(const std::wstring& folder, const RuntimeOptions& options = {});
    const std::wstring& home() const { return home_; }                // ends in "\"; the JDK folder for oldJdk
    const std::wstring& runtimeHome() const { return runtimeHome_; }  // home, or home + "jre\"
    const std::wstring& jvmPath() const { return jvmPath_; }          // full path of the JVM library
    std::wstring splashPath() const;                                  // two levels above jvmPath()
    // Another JVM library under the runtime folder, for example L"bin\\client\\jvm.dll".
    std::wstring addJvm(const std::wstring& relative, Jvm which = Jvm::Full) const;

private:
    std::wstring home_;
    std::wstring runtimeHome_;
    std::wstring jvmPath_;
};

// ---- registry ---------------------------------------------------------------------

// Native is the launcher's own view, Wow32 the other one: the 64-bit and the
// 32-bit view, swapped under the 32-bit launcher.
enum class RegistryView { Native, Wow32 };

// Runtime registrations under HKEY_LOCAL_MACHINE for one test. Holding one
// serialises every test process that touches these keys (a named mutex), so
// a test also creates one, even without adding anything, when it depends on
// what is registered. Everything added is removed when the object ends
// (also when the test fails), in reverse order: created keys are deleted,
// values that existed before get their old data back.
class JavaRegistry {
public:
    JavaRegistry();
    ~JavaRegistry();
    JavaRegistry(const JavaRegistry&) = delete;
    JavaRegistry& operator=(const JavaRegistry&) = delete;

    // `key` + "\" + `version` with the value "JavaHome" (REG_SZ), for example
    // add(L"Software\\JavaSoft\\JRE", L"1.8", home). Without `javaHome` only
    // the key is created.
    void add(const std::wstring& key, const std::wstring& version, const std::optional<std::wstring>& javaHome,
             RegistryView view = RegistryView::Native);
    // Any value under key\version, created like add() does.
    void setValue(const std::wstring& key, const std::wstring& version, const std::wstring& name, DWORD type,
                  const std::string& data, RegistryView view = RegistryView::Native);

    // The seven keys a launcher searches.
    static const std::vector<std::wstring>& searchedKeys();

private:
    struct Undo {
        std::wstring path;
        RegistryView view;
        bool createdKey = false;
        std::wstring valueName;  // set for a value
        bool valueExisted = false;
        DWORD oldType = 0;
        std::string oldData;
    };
    HANDLE lock_ = nullptr;
    std::vector<Undo> undo_;
    std::wstring createPath(const std::wstring& path, RegistryView view);
};

// ---- the test host -------------------------------------------------------------

// Runs standin-host.exe with `steps` (see tests/standin/host/Host.cpp) in
// `dir`, with a record file there and the given knobs, and waits for it.
struct HostRun {
    Record record;
    std::int32_t exitCode = 0;
};
HostRun runHost(const std::wstring& dir, const std::wstring& steps, const std::map<std::wstring, std::wstring>& knobs = {});

// Bytes as hex digits, for the host's "option-hex" step.
std::wstring hex(std::string_view bytes);

// Writes a scripted class file (UTF-8) at `relative` below `dir`.
void writeScript(const std::wstring& dir, const std::wstring& relative, std::string_view script);

}  // namespace vexa::test::standin
