#include "JavaApp.h"

#include <gtest/gtest.h>

namespace vexa::test::standin {

JavaApp::JavaApp(const std::string& script, const AppSettings& settings)
    : runtime_(dir_ / L"jre\\", settings.runtime),
      record_(dir_.path()),
      launcher_(dir_.path(), L"MyApp.exe",
                "[Java Runtime Environment]\r\n"
                "Main Class=" + settings.mainClass + "\r\n" +
                    (settings.jrePath ? "JRE Path=" + narrow(runtime_.home()) + "\r\n" : std::string()) +
                    settings.jreLines +
                    "[Class Path]\r\n"
                    "Class Path=\\lib\\app.jar\r\n"
                    "[Application]\r\n" + settings.applicationLines + settings.moreSections) {
    writeScript(dir_.path(), L"lib\\app.jar", script);
}

ChildProcess JavaApp::start(const std::wstring& arguments, const std::map<std::wstring, std::wstring>& knobs) const {
    return launcher_.start(arguments, record_.environment(knobs));
}

ChildProcess JavaApp::startWithEnvironment(const std::wstring& arguments,
                                           const std::map<std::wstring, std::optional<std::wstring>>& more) const {
    auto environment = record_.environment();
    for (const auto& [name, value] : more) environment[name] = value;
    return launcher_.start(arguments, environment);
}

std::int32_t JavaApp::run(const std::wstring& arguments, const std::map<std::wstring, std::wstring>& knobs) const {
    ChildProcess process = start(arguments, knobs);
    EXPECT_TRUE(process.started());
    return process.exitCode(60000);
}

void JavaApp::storeSettingsAsUtf16() const {
    writeFile(launcher_.iniPath(), utf16Bytes(L"\xFEFF" + widen(readFile(launcher_.iniPath()))));
}

void expectCleanJniUse(const Record& record) {
    for (const char* broken :
         {"pending-call", "unchecked-call", "result-mismatch", "bad-utf8", "local-capacity", "misuse", "trap"})
        EXPECT_FALSE(record.contains(broken)) << broken << "\n" << record.text();
    for (const Event& detach : record.named("detach"))
        EXPECT_LE(detach.number("locals"), kLocalsAtDetach) << detach.text("name") << "\n" << record.text();
}

}  // namespace vexa::test::standin
