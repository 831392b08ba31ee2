// Launch overhead of vexa.exe: a trivial Java application started through a
// renamed vexa.exe, against bench-minimal-host, which loads the same jvm.dll
// by its full path, creates the JVM with the same options and calls main.
// The two alternate, so that both see the same machine state; the program
// prints the median wall time of each (process start to process end), their
// ratio, and each one's peak working set. A third program, which only starts
// the window system as vexa.exe does first, shows how much of the difference
// that start-up alone costs.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
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

constexpr int kRuns = 40;
constexpr int kWarmUp = 3;
constexpr int kMemoryRuns = 10;

struct Sample {
    double ms = 0;
    double peakMiB = 0;
    DWORD exitCode = 0;
};

// Starts `commandLine` and waits for it. With `sampleMemory` the wait polls
// the process's peak working set every millisecond, since the counters can
// no longer be read once it has ended; such runs are not timed.
Sample measure(const std::wstring& commandLine, const std::wstring& directory, bool sampleMemory) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = commandLine;
    Sample sample;
    const double start = nowMs();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                        &info)) {
        sample.exitCode = 0xFFFFFFFE;
        return sample;
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
std::optional<std::vector<std::string>> recordedOptions(const LauncherCopy& app, const std::wstring& dir) {
    standin::RecordFile record(dir);
    auto process = app.start(L"", record.environment());
    const bool ran = process.exitCode(60000) == 0;
    auto creation = record.read().creation();
    DeleteFileW(record.path().c_str());
    if (!ran || !creation || creation->options.size() < 2) return std::nullopt;
    creation->options.resize(creation->options.size() - 2);
    return creation->options;
}

std::vector<double> column(const std::vector<Sample>& samples, double Sample::*field) {
    std::vector<double> out;
    for (const Sample& s : samples) out.push_back(s.*field);
    return out;
}

}  // namespace

int wmain() {
    TempDir dir;
    standin::JavaHome runtime(dir / L"jre\\");
    standin::writeScript(dir.path(), L"lib\\app.jar", "class bench.Trivial\nmethod main\n    return\n");
    LauncherCopy app(dir.path(), L"Trivial.exe",
                     "[Java Runtime Environment]\r\n"
                     "Main Class=bench.Trivial\r\n"
                     "JRE Path=" + narrow(runtime.home()) + "\r\n"
                     "[Class Path]\r\n"
                     "Class Path=\\lib\\app.jar\r\n");

    auto options = recordedOptions(app, dir.path());
    if (!options) {
        std::printf("the trivial application did not run through vexa.exe\n");
        return 1;
    }
    const std::wstring vexaCommand = quoted(app.exePath());
    std::wstring hostCommand =
        quoted(artefact(L"bench-minimal-host.exe")) + L" " + quoted(runtime.jvmPath()) + L" bench/Trivial";
    for (const std::string& option : *options) hostCommand += L" " + quoted(widen(option));
    std::printf("vexa.exe:     %s\n", narrow(vexaCommand).c_str());
    std::printf("minimal host: %s\n", narrow(hostCommand).c_str());

    const std::wstring windowCommand = quoted(artefact(L"bench-window-startup.exe"));

    std::vector<Sample> vexa;
    std::vector<Sample> host;
    std::vector<Sample> window;
    std::vector<Sample> vexaMemory;
    std::vector<Sample> hostMemory;
    std::vector<Sample> windowMemory;
    for (int i = 0; i < kWarmUp + kRuns + kMemoryRuns; ++i) {
        const bool memoryRun = i >= kWarmUp + kRuns;
        Sample a = measure(vexaCommand, dir.path(), memoryRun);
        Sample b = measure(hostCommand, dir.path(), memoryRun);
        Sample c = measure(windowCommand, dir.path(), memoryRun);
        if (a.exitCode != 0 || b.exitCode != 0 || c.exitCode != 0) {
            std::printf("run %d failed: vexa.exe %lu, host %lu, window start-up %lu\n", i, a.exitCode, b.exitCode,
                        c.exitCode);
            return 1;
        }
        if (i < kWarmUp) continue;
        (memoryRun ? vexaMemory : vexa).push_back(a);
        (memoryRun ? hostMemory : host).push_back(b);
        (memoryRun ? windowMemory : window).push_back(c);
    }

    const std::vector<double> vexaTimes = column(vexa, &Sample::ms);
    const std::vector<double> hostTimes = column(host, &Sample::ms);
    const double vexaMs = median(vexaTimes);
    const double hostMs = median(hostTimes);
    std::printf("runs each (alternating, after %d warm-up pairs): %d\n", kWarmUp, kRuns);
    std::printf("median wall time  vexa.exe %.1f ms   minimal host %.1f ms   ratio %.3f\n", vexaMs, hostMs,
                vexaMs / hostMs);
    std::printf("fastest           vexa.exe %.1f ms   minimal host %.1f ms\n",
                *std::min_element(vexaTimes.begin(), vexaTimes.end()),
                *std::min_element(hostTimes.begin(), hostTimes.end()));
    std::printf("peak working set  vexa.exe %.1f MiB  minimal host %.1f MiB (medians of %d more runs each)\n",
                median(column(vexaMemory, &Sample::peakMiB)), median(column(hostMemory, &Sample::peakMiB)),
                kMemoryRuns);
    std::printf("window-system start-up alone: median %.1f ms, peak working set %.1f MiB\n",
                median(column(window, &Sample::ms)), median(column(windowMemory, &Sample::peakMiB)));
    return 0;
}
