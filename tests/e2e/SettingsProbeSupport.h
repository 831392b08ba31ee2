// Running the settings probe (probes/SettingsProbe.cpp) and reading the
// fields it wrote.
#pragma once

#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "TestSupport.h"

namespace vexa::test {

using ProbeFields = std::map<std::string, std::wstring>;

inline ProbeFields parseProbeFields(const std::string& text) {
    ProbeFields fields;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string value;
        for (size_t i = eq + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                char c = line[++i];
                value += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
            } else {
                value += line[i];
            }
        }
        fields[line.substr(0, eq)] = widen(value);
    }
    return fields;
}

// Runs the probe copy `exe` with APPDATA set to `appData` (unset when
// nullopt) and returns its fields.
inline ProbeFields runSettingsProbe(const std::wstring& exe, const std::optional<std::wstring>& appData,
                                    const std::wstring& arguments = L"", std::int32_t* exitCode = nullptr) {
    TempDir scratch;
    const std::wstring out = scratch / L"fields.txt";
    ChildProcess::Options options;
    options.application = exe;
    options.commandLine = vexa::test::quoted(exe) + (arguments.empty() ? L"" : L" " + arguments);
    options.environment = {{L"VEXA_SETTINGSPROBE_OUT", out}, {L"APPDATA", appData}};
    ChildProcess process(options);
    EXPECT_TRUE(process.started()) << narrow(exe) << " error " << process.startError();
    std::int32_t code = process.exitCode();
    if (exitCode) *exitCode = code;
    EXPECT_NE(code, 0x7FFFFFFF) << "the probe did not end";
    return parseProbeFields(readFile(out));
}

}  // namespace vexa::test
