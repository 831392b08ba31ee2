// How the option builder grows with its input: a class path of "\lib\*.jar"
// over 100 and 10,000 jar files, and "Virtual Machine Parameters" of 10 and
// 1,000 tokens. Linear growth shows as a time ratio near the size ratio
// (100); anything worse than linear shows as a far larger one.
//
// The program lays out a launcher folder per case (itself copied in as
// App.exe beside App.ini and the jars), starts each copy with "--measure",
// and prints the times the copies report.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "TestSupport.h"
#include "jvm/VmParameters.h"
#include "config/SettingsPaths.h"
#include "foundation/ProcessView.h"
#include "jvm/JvmOptions.h"

namespace {

using vexa::bench::median;
using vexa::bench::nowMs;

std::string vmParameters(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (!text.empty()) text += ' ';
        std::string n = std::to_string(i);
        switch (i % 5) {
            case 0: text += "-Dbench.key" + n + "=\"a value with blanks " + n + "\""; break;
            case 1: text += "-Xmx50:256:1024P"; break;
            case 2: text += "-Xss" + n + "k"; break;
            case 3: text += "-Dbench.path" + n + "=%SystemRoot%\\x" + n; break;
            default: text += "-XX:+UseG1GC"; break;
        }
    }
    return text;
}

// --- in the copy ---------------------------------------------------------

struct Figures {
    double buildMs = 0;  // the whole BuildJvmOptions
    double partMs = 0;   // the class-path expansion alone, or the tokens alone
    double baseMs = 0;   // the bare file-system enumeration of the jars
    size_t count = 0;    // class-path entries, or options
};

// What the file system alone costs: the same search, nothing kept.
double enumerateOnly(const std::wstring& pattern) {
    double start = nowMs();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        while (FindNextFileW(search, &found)) {
        }
        FindClose(search);
    }
    return nowMs() - start;
}

// The settings of the launcher in the benchmark's place: the file beside it.
vexa::LauncherSettings benchSettings() {
    vexa::LauncherSettings settings;
    vexa::queryExecutablePath(settings.executable);
    settings.mainFile = vexa::settingsPathBeside(settings.executable);
    return settings;
}

// The class-path option as the launcher hands it over.
std::string classPathOption(const vexa::Result<vexa::JvmLaunchOptions>& built) {
    vexa::JvmOptionList list;
    if (built) list.Add(built.value().options.front());
    return list.size() ? list[0] : std::string();
}

Figures measureClassPath(int repeats) {
    std::vector<double> build, expand, base;
    size_t entries = 0;
    for (int r = 0; r < repeats; ++r) {
        const vexa::LauncherSettings settings = benchSettings();
        const std::wstring folder = vexa::folderOf(settings.executable);
        base.push_back(enumerateOnly(folder + L"lib\\*.jar"));
        double start = nowMs();
        vexa::Result<vexa::JvmLaunchOptions> built = vexa::buildJvmOptions(settings);
        build.push_back(nowMs() - start);
        const std::string option = classPathOption(built);
        // Entries are separated by ";", with none behind the last one.
        entries = static_cast<size_t>(std::count(option.begin(), option.end(), ';')) + 1;

        std::wstring accumulator;
        start = nowMs();
        vexa::ExpandClassPathEntry(L"\\lib\\*.jar", folder, accumulator);
        expand.push_back(nowMs() - start);
    }
    return {median(build), median(expand), median(base), entries};
}

Figures measureParameters(int repeats, const std::string& parameters) {
    std::vector<double> build, tokens;
    size_t options = 0;
    const std::wstring wide(parameters.begin(), parameters.end());
    for (int r = 0; r < repeats; ++r) {
        const vexa::LauncherSettings settings = benchSettings();
        double start = nowMs();
        vexa::Result<vexa::JvmLaunchOptions> built = vexa::buildJvmOptions(settings);
        build.push_back(nowMs() - start);
        options = built ? built.value().options.size() - 1 : 0;

        std::vector<std::wstring> list;
        std::uint64_t stack = 0;
        start = nowMs();
        for (auto& token : vexa::SplitVmParameters(wide)) vexa::ProcessVmParameter(std::move(token), list, stack);
        tokens.push_back(nowMs() - start);
    }
    return {median(build), median(tokens), 0, options};
}

int measure(const std::wstring& kind, int repeats, int size, const std::wstring& resultPath) {
    Figures figures = kind == L"classpath" ? measureClassPath(repeats) : measureParameters(repeats, vmParameters(size));
    char line[200];
    std::snprintf(line, sizeof line, "%.4f %.4f %.4f %zu\n", figures.buildMs, figures.partMs, figures.baseMs,
                  figures.count);
    vexa::test::writeFile(resultPath, line);
    return 0;
}

// --- in the starting program ----------------------------------------------

struct Case {
    const wchar_t* kind;
    int size;
    int repeats;
};

bool runCase(const std::wstring& root, const std::wstring& self, const Case& c, Figures& figures) {
    const std::wstring folder = root + L"\\" + c.kind + std::to_wstring(c.size);
    CreateDirectoryW(folder.c_str(), nullptr);
    if (!CopyFileW(self.c_str(), (folder + L"\\App.exe").c_str(), FALSE)) return false;
    std::string ini;
    if (std::wstring(c.kind) == L"classpath") {
        CreateDirectoryW((folder + L"\\lib").c_str(), nullptr);
        for (int i = 0; i < c.size; ++i) vexa::test::writeFile(folder + L"\\lib\\library-" + std::to_wstring(i) + L".jar", "PK");
        ini = "[Class Path]\r\nClass Path=\\lib\\*.jar\r\n";
    } else {
        ini = "[Class Path]\r\nClass Path=C:\\app.jar\r\n[Java Runtime Environment]\r\nVirtual Machine Parameters=" +
              vmParameters(c.size) + "\r\n";
    }
    vexa::test::writeFile(folder + L"\\App.ini", ini);

    const std::wstring result = folder + L"\\result.txt";
    std::wstring commandLine = L"\"" + folder + L"\\App.exe\" --measure " + c.kind + L" " +
                               std::to_wstring(c.repeats) + L" " + std::to_wstring(c.size) + L" \"" + result + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    FILE* in = _wfopen(result.c_str(), L"rb");
    if (!in) return false;
    bool ok = std::fscanf(in, "%lf %lf %lf %zu", &figures.buildMs, &figures.partMs, &figures.baseMs,
                          &figures.count) == 4;
    std::fclose(in);
    return ok;
}

double ratio(double large, double small) { return small > 0 ? large / small : 0.0; }

void report(const char* title, const char* unit, const char* part, const Case& small, const Figures& a,
            const Case& large, const Figures& b) {
    std::printf("%s\n", title);
    for (const auto& [c, f] : {std::pair{small, a}, std::pair{large, b}}) {
        std::printf("  %6d %-6s  BuildJvmOptions %9.3f ms   %s %9.3f ms", c.size, unit, f.buildMs, part, f.partMs);
        if (f.baseMs > 0) std::printf("   file system alone %9.3f ms", f.baseMs);
        std::printf("   (%zu found)\n", f.count);
    }
    std::printf("  time ratio for %dx the input: BuildJvmOptions %.1f, %s %.1f", large.size / small.size,
                ratio(b.buildMs, a.buildMs), part, ratio(b.partMs, a.partMs));
    if (a.baseMs > 0) std::printf(", file system alone %.1f", ratio(b.baseMs, a.baseMs));
    std::printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 6 && std::wstring(argv[1]) == L"--measure")
        return measure(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), argv[5]);

    wchar_t self[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"vexa-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(root.c_str(), nullptr);

    const Case cases[] = {
        {L"classpath", 100, 51}, {L"classpath", 10000, 7}, {L"parameters", 10, 201}, {L"parameters", 1000, 21}};
    Figures figures[4];
    bool ok = true;
    for (int i = 0; i < 4 && ok; ++i) ok = runCase(root, self, cases[i], figures[i]);
    if (ok) {
        std::printf("Option builder, median per run\n");
        report("Class Path = \\lib\\*.jar", "jars", "expansion alone", cases[0], figures[0], cases[1], figures[1]);
        report("Virtual Machine Parameters", "tokens", "tokens and size rules", cases[2], figures[2], cases[3],
               figures[3]);
    } else {
        std::printf("a benchmark run failed\n");
    }
    vexa::test::removeTree(root);
    return ok ? 0 : 1;
}
