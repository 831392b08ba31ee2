// A launcher copy with a scripted application and a stand-in runtime, for
// the tests that start Java applications; and what a launch must never do
// to the runtime.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "StandIn.h"
#include "TestSupport.h"

namespace vexa::test::standin {

struct AppSettings {
    std::string mainClass = "demo.Hello";
    std::string jreLines;          // more lines of [Java Runtime Environment]
    std::string applicationLines;  // lines of [Application]
    std::string moreSections;      // whole sections after those
    RuntimeOptions runtime;
    bool jrePath = true;  // "JRE Path" names the runtime; else it must be found elsewhere
};

// A launcher copy beside its settings, a class path with one scripted jar
// (lib\app.jar holding `script`), and a stand-in runtime in jre\ named by
// "JRE Path".
class JavaApp {
public:
    explicit JavaApp(const std::string& script, const AppSettings& settings = {});

    ChildProcess start(const std::wstring& arguments = L"", const std::map<std::wstring, std::wstring>& knobs = {}) const;
    // With more variables of the launcher's environment (APPDATA, ...).
    ChildProcess startWithEnvironment(const std::wstring& arguments,
                                      const std::map<std::wstring, std::optional<std::wstring>>& more) const;
    // Runs to the end; the exit code.
    std::int32_t run(const std::wstring& arguments = L"", const std::map<std::wstring, std::wstring>& knobs = {}) const;
    Record record() const { return record_.read(); }
    const std::wstring& dir() const { return dir_.path(); }
    std::wstring operator/(const std::wstring& relative) const { return dir_ / relative; }
    const JavaHome& runtime() const { return runtime_; }
    // Rewrites the settings file in UTF-16 (with its byte-order mark), so
    // that text beyond the ANSI code page reaches the launcher.
    void storeSettingsAsUtf16() const;

private:
    TempDir dir_;
    JavaHome runtime_;
    RecordFile record_;
    LauncherCopy launcher_;
};

// The local references a thread may still hold when it leaves the JVM: what
// one pass through the launcher's own calls keeps (main class, arguments,
// a redirected stream or two). A leak in a path that runs again and again
// passes it soon.
constexpr long long kLocalsAtDetach = 8;

// Every rule a runtime with -Xcheck:jni enforces: no call with an exception
// pending or an exception check left out, no call through the wrong result
// type, no text that is not modified UTF-8, no frame over its capacity, no
// misuse or unimplemented slot, and few local references left at detach.
void expectCleanJniUse(const Record& record);

}  // namespace vexa::test::standin
