#include "OptionsProbe.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vexa::test {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

std::string bytesOf(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(hexValue(hex[i]) * 16 + hexValue(hex[i + 1]));
    return out;
}

std::wstring unitsOf(const std::string& hex) {
    std::wstring out;
    for (size_t i = 0; i + 3 < hex.size(); i += 4) {
        out += static_cast<wchar_t>((hexValue(hex[i]) << 12) | (hexValue(hex[i + 1]) << 8) |
                                    (hexValue(hex[i + 2]) << 4) | hexValue(hex[i + 3]));
    }
    return out;
}

}  // namespace

OptionsProbe::OptionsProbe(const std::wstring& folder, const std::wstring& exeName,
                           const std::optional<std::string>& iniText)
    : folder_(folder), exePath_(folder + exeName) {
    copyFile(artefact(L"optionsprobe.exe"), exePath_);
    if (iniText) {
        std::wstring ini = exePath_.substr(0, exePath_.rfind(L'.')) + L".ini";
        writeFile(ini, *iniText);
    }
}

ProbeResult OptionsProbe::run(const ProbeRun& run) const {
    TempDir out;
    ChildProcess::Options options;
    options.application = exePath_;
    options.commandLine = quoted(exePath_) + (run.arguments.empty() ? L"" : L" " + run.arguments);
    options.environment = run.environment;
    options.environment[L"VEXA_OPTPROBE_OUT"] = out / L"probe.txt";
    options.environment[L"VEXA_OPTPROBE_STEPS"] = run.steps;
    options.environment[L"VEXA_OPTPROBE_JVM"] = run.jvm;
    options.environment[L"VEXA_OPTPROBE_LIBRARY"] = run.libraryPath;
    options.environment[L"VEXA_OPTPROBE_SYSTEM"] = run.systemPath;
    ChildProcess probe(options);
    ProbeResult result;
    EXPECT_TRUE(probe.started()) << probe.startError();
    if (run.answerMessage) {
        WindowSnapshot box = answerMessageBox(probe.pid());
        EXPECT_TRUE(box.found) << "no message box";
        result.message = box.message();
    }
    result.exitCode = probe.exitCode(60000);
    EXPECT_EQ(result.exitCode, 0);

    std::istringstream in(readFile(out / L"probe.txt"));
    std::string line;
    while (std::getline(in, line)) {
        size_t blank = line.find(' ');
        std::string key = line.substr(0, blank);
        std::string value = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (key == "option") {
            result.options.push_back(bytesOf(value));
        } else if (key == "argument") {
            result.arguments.push_back(unitsOf(value));
        } else if (key == "built") {
            result.built = std::stoi(value);
        } else if (key == "stack") {
            result.stack = std::stoull(value);
        } else if (key == "outputAppend" || key == "errorAppend" || key == "totalPhys" || key == "availVirtual") {
            result.numbers[key] = std::stoull(value);
        } else {
            result.texts[key] = unitsOf(value);
        }
    }
    return result;
}

}  // namespace vexa::test
