// Launch overhead of vexa.exe: a trivial Java application started through a
// renamed vexa.exe, against bench-minimal-host, a GUI program that starts the
// window system as vexa.exe does, loads the same jvm.dll by its full path,
// creates the JVM with the same options and calls main.
//
// Two set-ups: the plain one (main class, runtime folder, one jar), and one
// with every setting given and a class path of 1,000 jars in one folder.
// For each, vexa.exe, the host and the launcher's step-timing build
// (vexa-steps.exe, the same sources with every step's end recorded) run in
// turn, so that all three see the same machine state. Printed: the median
// wall time of each (process start to process end), their difference and
// ratio, each one's peak working set, and the median time of every step of
// the launcher's init and normal launch.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;

namespace {

using vexa::bench::median;
using vexa::bench::nowMs;

constexpr int kRuns = 30;
constexpr int kWarmUp = 3;
constexpr int kMemoryRuns = 8;
constexpr int kJars = 1000;

// Steps that are the runtime's work, not the launcher's: the stand-in's
// library load, JVM creation, the launcher helper class it is asked for, the
// application's main and the JVM's end.
const wchar_t* const kRuntimeSteps[] = {L"JVM library load", L"JVM creation", L"launcher helper lookup",
                                        L"main method", L"JVM destruction"};

struct Sample {
    double ms = 0;
    double peakMiB = 0;
    DWORD exitCode = 0;
    DWORD startError = 0;  // why CreateProcessW failed, when it did
};

// Starts `commandLine` and waits for it. With `sampleMemory` the wait polls
// the process's peak working set every millisecond, since the counters can
// no longer be read once it has ended; such runs are not timed.
Sample measure(const std::wstring& commandLine, const std::wstring& directory, bool sampleMemory) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    Sample sample;
    double start = 0;
    // Wine now and then fails a start with ERROR_INTERNAL_ERROR: the new
    // process ended inside Wine's own start-up, before any of its code ran.
    // That is no sample, so the start is made again.
    for (int attempt = 0;; ++attempt) {
        std::wstring command = commandLine;
        start = nowMs();
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                           &info))
            break;
        sample.startError = GetLastError();
        if (sample.startError != ERROR_INTERNAL_ERROR || attempt == 2) {
            sample.exitCode = 0xFFFFFFFE;
            return sample;
        }
    }
    if (sampleMemory) {
        SIZE_T peak = 0;
        do {
            PROCESS_MEMORY_COUNTERS memory{};
            memory.cb = sizeof(memory);
            if (GetProcessMemoryInfo(info.hProcess, &memory, sizeof(memory)))
                peak = std::max(peak, memory.PeakWorkingSetSize);
        } while (WaitForSingleObject(info.hProcess, 1) == WAIT_TIMEOUT);
        sample.peakMiB = static_cast<double>(peak) / (1024.0 * 1024.0);
    } else {
        WaitForSingleObject(info.hProcess, 60000);
        sample.ms = nowMs() - start;
    }
    GetExitCodeProcess(info.hProcess, &sample.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return sample;
}

// The JVM options vexa.exe hands to the runtime, from one recorded run;
// without the two hook options, which the host adds itself. Empty on failure.
std::optional<std::vector<std::string>> recordedOptions(const LauncherCopy& app, const std::wstring& dir,
                                                        const std::wstring& arguments) {
    standin::RecordFile record(dir);
    auto process = app.start(arguments, record.environment());
    const std::int32_t code = process.exitCode(60000);
    auto creation = record.read().creation();
    DeleteFileW(record.path().c_str());
    if (code != 0 || !creation || creation->options.size() < 2) {
        std::printf("recorded run: exit code %d, %s\n", code, creation ? "JVM created" : "no JVM created");
        return std::nullopt;
    }
    creation->options.resize(creation->options.size() - 2);
    return creation->options;
}

std::vector<double> column(const std::vector<Sample>& samples, double Sample::*field) {
    std::vector<double> out;
    for (const Sample& s : samples) out.push_back(s.*field);
    return out;
}

// One step log of vexa-steps.exe: "name<TAB>milliseconds" lines.
std::vector<std::pair<std::wstring, double>> readSteps(const std::wstring& path) {
    std::vector<std::pair<std::wstring, double>> steps;
    const std::string text = readFile(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) steps.emplace_back(widen(line.substr(0, tab)), std::atof(line.c_str() + tab + 1));
        start = end + 1;
    }
    return steps;
}

// Lists `folder` the way the class-path expansion does; milliseconds.
double listingMs(const std::wstring& folder) {
    const double start = nowMs();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        while (FindNextFileW(search, &found)) {
        }
        FindClose(search);
    }
    return nowMs() - start;
}

struct Scenario {
    std::wstring title;
    std::string ini;
    std::wstring arguments;    // for the launcher copies
    std::wstring listFolder;   // the jar folder whose listing is the expected extra, or empty
};

bool runScenario(const TempDir& dir, const standin::JavaHome& runtime, const Scenario& scenario, int index) {
    const std::wstring name = L"Trivial" + std::to_wstring(index);
    LauncherCopy app(dir.path(), name + L".exe", scenario.ini);
    const std::wstring stepsExe = dir / (name + L"Steps.exe");
    copyFile(artefact(L"vexa-steps.exe"), stepsExe);
    writeFile(dir / (name + L"Steps.ini"), scenario.ini);

    auto options = recordedOptions(app, dir.path(), scenario.arguments);
    if (!options) {
        std::printf("%ls: the trivial application did not run through vexa.exe\n", scenario.title.c_str());
        return false;
    }
    std::string hostLines = narrow(runtime.jvmPath()) + "\nbench/Trivial";
    for (const std::string& option : *options) hostLines += "\n" + option;
    const std::wstring hostFile = dir / (name + L"-host.txt");
    writeFile(hostFile, hostLines);

    const std::wstring suffix = scenario.arguments.empty() ? L"" : L" " + scenario.arguments;
    const std::wstring vexaCommand = quoted(app.exePath()) + suffix;
    const std::wstring stepsCommand = quoted(stepsExe) + suffix;
    const std::wstring hostCommand = quoted(artefact(L"bench-minimal-host.exe")) + L" " + quoted(hostFile);
    // The same host with main on a thread of its own, as vexa.exe runs it,
    // and a waiting thread beside it where single instance has its listener.
    const bool singleInstance = scenario.ini.find("Single Instance=yes") != std::string::npos;
    const std::wstring threadHostCommand = quoted(artefact(L"bench-minimal-host.exe")) + L" --java-thread " +
                                           (singleInstance ? L"--listener-thread " : L"") + quoted(hostFile);
    const std::wstring stepLog = dir / (name + L"-steps.txt");
    const std::wstring hostLog = dir / (name + L"-host-steps.txt");
    // The host and vexa-steps.exe share the step recorder: each is told its
    // own log in runs of their own, so that writing it never counts in the
    // compared times. vexa.exe records nothing.
    auto measureWithLog = [&](const std::wstring& command, const std::wstring& log, bool memoryRun) {
        SetEnvironmentVariableW(L"VEXA_STEP_LOG", log.empty() ? nullptr : log.c_str());
        return measure(command, dir.path(), memoryRun);
    };

    std::vector<Sample> vexa, host, stepsRuns, vexaMemory, hostMemory, threadHostMemory;
    std::vector<std::wstring> stepOrder, hostStepOrder;
    std::map<std::wstring, std::vector<double>> stepTimes, hostStepTimes;
    std::vector<double> listings;
    for (int i = 0; i < kWarmUp + kRuns + kMemoryRuns; ++i) {
        const bool memoryRun = i >= kWarmUp + kRuns;
        // Alternate who goes first, so that neither always runs right after
        // the other's process has ended.
        Sample a, b;
        if (i % 2) {
            a = measure(vexaCommand, dir.path(), memoryRun);
            b = measureWithLog(hostCommand, L"", memoryRun);
        } else {
            b = measureWithLog(hostCommand, L"", memoryRun);
            a = measure(vexaCommand, dir.path(), memoryRun);
        }
        Sample c, d;
        if (memoryRun) c = measureWithLog(threadHostCommand, L"", true);
        if (!memoryRun) {
            DeleteFileW(stepLog.c_str());
            c = measureWithLog(stepsCommand, stepLog, false);
            DeleteFileW(hostLog.c_str());
            d = measureWithLog(hostCommand, hostLog, false);
        }
        if (a.exitCode != 0 || b.exitCode != 0 || c.exitCode != 0 || d.exitCode != 0) {
            std::printf("%ls, run %d failed: vexa.exe %lu, host %lu, vexa-steps.exe %lu, host with steps %lu"
                        " (start errors %lu, %lu, %lu, %lu)\n",
                        scenario.title.c_str(), i, a.exitCode, b.exitCode, c.exitCode, d.exitCode, a.startError,
                        b.startError, c.startError, d.startError);
            return false;
        }
        if (!scenario.listFolder.empty() && !memoryRun) listings.push_back(listingMs(scenario.listFolder));
        if (i < kWarmUp) continue;
        if (memoryRun) {
            vexaMemory.push_back(a);
            hostMemory.push_back(b);
            threadHostMemory.push_back(c);
            continue;
        }
        vexa.push_back(a);
        host.push_back(b);
        stepsRuns.push_back(c);
        for (const auto& [step, ms] : readSteps(stepLog)) {
            if (!stepTimes.count(step)) stepOrder.push_back(step);
            stepTimes[step].push_back(ms);
        }
        for (const auto& [step, ms] : readSteps(hostLog)) {
            if (!hostStepTimes.count(step)) hostStepOrder.push_back(step);
            hostStepTimes[step].push_back(ms);
        }
    }

    const std::vector<double> vexaTimes = column(vexa, &Sample::ms);
    const std::vector<double> hostTimes = column(host, &Sample::ms);
    const double vexaMs = median(vexaTimes);
    const double hostMs = median(hostTimes);
    const double vexaPeak = median(column(vexaMemory, &Sample::peakMiB));
    const double hostPeak = median(column(hostMemory, &Sample::peakMiB));
    std::printf("\n== %ls\n", scenario.title.c_str());
    std::printf("runs each (alternating, after %d warm-up rounds): %d\n", kWarmUp, kRuns);
    std::printf("median wall time  vexa.exe %.1f ms   minimal host %.1f ms   difference %+.1f ms   ratio %.3f\n",
                vexaMs, hostMs, vexaMs - hostMs, vexaMs / hostMs);
    std::printf("fastest           vexa.exe %.1f ms   minimal host %.1f ms\n",
                *std::min_element(vexaTimes.begin(), vexaTimes.end()),
                *std::min_element(hostTimes.begin(), hostTimes.end()));
    std::printf("peak working set  vexa.exe %.2f MiB  minimal host %.2f MiB  difference %+.2f MiB (medians of %d runs)\n",
                vexaPeak, hostPeak, vexaPeak - hostPeak, kMemoryRuns);
    const double threadHostPeak = median(column(threadHostMemory, &Sample::peakMiB));
    std::printf("peak working set  vexa.exe %.2f MiB  host with the same threads%s %.2f MiB  difference %+.2f MiB\n",
                vexaPeak, singleInstance ? " (Java main, listener)" : " (Java main)", threadHostPeak,
                vexaPeak - threadHostPeak);
    std::printf("vexa-steps.exe median wall time %.1f ms\n", median(column(stepsRuns, &Sample::ms)));
    if (!listings.empty())
        std::printf("listing the jar folder (%d jars) in this process: median %.2f ms\n", kJars, median(listings));

    std::printf("%-36s %9s %9s\n", "step (vexa-steps.exe, in-process)", "median ms", "max ms");
    double launcherSum = 0;
    double runtimeSum = 0;
    for (const std::wstring& step : stepOrder) {
        const std::vector<double>& times = stepTimes[step];
        const double m = median(times);
        const bool runtimeStep =
            std::find(std::begin(kRuntimeSteps), std::end(kRuntimeSteps), step) != std::end(kRuntimeSteps);
        // The time before the entry point is Wine's process start, which the
        // host pays as well (its own table below).
        if (step != L"process start to entry") (runtimeStep ? runtimeSum : launcherSum) += m;
        std::printf("%-36s %9.3f %9.3f%s\n", narrow(step).c_str(), m, *std::max_element(times.begin(), times.end()),
                    runtimeStep ? "  (runtime)" : "");
    }
    std::printf("sum of medians from the entry point on: launcher's own steps %.2f ms, the runtime's steps %.2f ms\n",
                launcherSum, runtimeSum);
    // The last step log also names the modules loaded by the end.
    std::string modules;
    const std::string log = readFile(stepLog);
    for (size_t at = log.find("#module "); at != std::string::npos; at = log.find("#module ", at + 1)) {
        const size_t end = log.find('\n', at);
        modules += " " + log.substr(at + 8, end == std::string::npos ? std::string::npos : end - at - 8);
    }
    std::printf("modules loaded in vexa-steps.exe at its end:%s\n", modules.c_str());
    std::printf("%-36s %9s %9s\n", "step (minimal host, in-process)", "median ms", "max ms");
    for (const std::wstring& step : hostStepOrder) {
        const std::vector<double>& times = hostStepTimes[step];
        std::printf("%-36s %9.3f %9.3f\n", narrow(step).c_str(), median(times),
                    *std::max_element(times.begin(), times.end()));
    }
    return true;
}

}  // namespace

int wmain() {
    TempDir dir;
    standin::JavaHome runtime(dir / L"jre\\");
    standin::writeScript(dir.path(), L"lib\\app.jar", "class bench.Trivial\nmethod main\n    return\n");
    const std::string jrePath = narrow(runtime.home());
    const std::string folder = narrow(dir.path());

    Scenario plain{L"plain settings: main class, runtime folder, one jar",
                   "[Java Runtime Environment]\r\n"
                   "Main Class=bench.Trivial\r\n"
                   "JRE Path=" + jrePath + "\r\n"
                   "[Class Path]\r\n"
                   "Class Path=\\lib\\app.jar\r\n",
                   L"", L""};

    // Every key of the settings file given; the splash image is named but
    // not shown ("-nosplash"), since a window that was shown makes a process
    // under Xvfb end seconds later. "VM Provider" is the one value that does
    // not allow the IBM family: under that policy the Java main thread never
    // returns and a trivial application would not end by itself.
    for (int i = 0; i < kJars; ++i) {
        wchar_t jar[32];
        swprintf(jar, 32, L"lib\\deps\\library-%04d.jar", i);
        writeFile(dir / jar, "");
    }
    writeFile(dir / L"splash.bmp", "");
    Scenario full{L"every setting given, class path of 1,000 jars",
                  "[Product Information]\r\n"
                  "Product Code=bench-code\r\n"
                  "Product Name=Vexa Bench\r\n"
                  "[Java Runtime Environment]\r\n"
                  "Minimum Version=1.1\r\n"
                  "Maximum Version=any\r\n"
                  "Preferred versions=1.8;11;17\r\n"
                  "JRE Path=" + jrePath + "\r\n"
                  "JVM Type=favor_server\r\n"
                  "JVM Source=favor_JRE\r\n"
                  "VM Provider=jrockit\r\n"
                  "Main Class=bench.Trivial\r\n"
                  "System Path=" + folder + "bin\r\n"
                  "Library Path=" + folder + "native\r\n"
                  "Virtual Machine Parameters=-Xmx25p -Xss512k -Dbench.user=\"%USERNAME%\" -Dbench.flag=true\r\n"
                  "[Application]\r\n"
                  "Application Type=gui\r\n"
                  "Failure Check=Yes\r\n"
                  "Override WorkingDir=Yes\r\n"
                  "Pair Product=" + folder + "Pair.exe\r\n"
                  "Pair Return Code=Yes\r\n"
                  "Single Instance=yes\r\n"
                  "Embedded Jar=Yes\r\n"
                  "Output File=" + folder + "out.log\r\n"
                  "Output Append=yes\r\n"
                  "Error File=" + folder + "err.log\r\n"
                  "Error Append=yes\r\n"
                  "Cmd=alpha beta\r\n"
                  "[Display]\r\n"
                  "Splash Screen=" + folder + "splash.bmp\r\n"
                  "Splash Screen Shadow=true\r\n"
                  "Preffer Native Splash Screen=No\r\n"
                  "[Class Path]\r\n"
                  "Class Path=\\lib\\app.jar;\\lib\\deps\\*.jar\r\n",
                  L"-nosplash", dir / L"lib\\deps\\"};

    if (!runScenario(dir, runtime, plain, 1)) return 1;
    if (!runScenario(dir, runtime, full, 2)) return 1;

    // What one more thread costs under this Wine, whatever the program: the
    // design has the Java main thread in every launch and the listener with
    // single instance; the minimal host has neither.
    const std::wstring threadCost = quoted(artefact(L"bench-thread-cost.exe"));
    std::vector<Sample> without, with;
    for (int i = 0; i < kMemoryRuns; ++i) {
        without.push_back(measure(threadCost, dir.path(), true));
        with.push_back(measure(threadCost + L" thread", dir.path(), true));
    }
    const double withoutPeak = median(column(without, &Sample::peakMiB));
    const double withPeak = median(column(with, &Sample::peakMiB));
    std::printf("\n== one thread started and ended\npeak working set  without %.2f MiB  with %.2f MiB  difference "
                "%+.2f MiB (medians of %d runs)\n",
                withoutPeak, withPeak, withPeak - withoutPeak, kMemoryRuns);
    return 0;
}
