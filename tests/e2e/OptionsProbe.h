// Runs the options probe (tests/e2e/probes/OptionsProbe.cpp), copied into a
// test folder under a launcher's name beside its settings file, and reads
// back what the library-path and option-building steps left.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace vexa::test {

struct ProbeResult {
    std::int32_t exitCode = 0;
    int built = -1;  // BuildJvmOptions: 1 true, 0 false, -1 not run
    std::vector<std::string> options;  // exact bytes
    std::uint64_t stack = 0;
    std::vector<std::wstring> arguments;
    std::map<std::string, std::wstring> texts;  // outputFile, Path, VEXA_JVM_HOME, ...
    std::map<std::string, std::uint64_t> numbers;  // outputAppend, totalPhys, ...
    std::wstring message;  // the error box shown, if any

    std::wstring text(const std::string& key) const {
        auto it = texts.find(key);
        return it == texts.end() ? std::wstring() : it->second;
    }
};

struct ProbeRun {
    std::wstring steps = L"library,options";
    std::wstring jvm = L"C:\\Java\\jre\\bin\\server\\jvm.dll";
    std::wstring libraryPath;
    std::wstring systemPath;
    std::wstring arguments;  // behind the program name on the command line
    std::map<std::wstring, std::optional<std::wstring>> environment;
    bool answerMessage = false;  // an error box is expected: read it and press OK
};

// The probe as `folder` + `exeName`, with `iniText` beside it (nullopt: no file).
class OptionsProbe {
public:
    OptionsProbe(const std::wstring& folder, const std::wstring& exeName,
                 const std::optional<std::string>& iniText);
    ProbeResult run(const ProbeRun& run = {}) const;
    const std::wstring& exePath() const { return exePath_; }
    const std::wstring& folder() const { return folder_; }

private:
    std::wstring folder_;
    std::wstring exePath_;
};

}  // namespace vexa::test
