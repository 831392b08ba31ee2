// Cost of one diagnostics event (diag::log) with the log off, the launcher's
// normal state, and with it on, writing to a file in the temporary folder.
// Prints the best and the median time per call over many short rounds: on a
// busy machine the best round is the one least disturbed by other work.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "foundation/Diagnostics.h"
#include "foundation/DiagnosticsLog.h"

using namespace vexa;

namespace {

// Nanoseconds per call of `calls` events, over `rounds` rounds.
void perCall(const char* what, int rounds, int calls, const std::wstring& home, const JavaVersion& version) {
    std::vector<double> samples;
    for (int r = 0; r < rounds; ++r) {
        const double start = bench::nowMs();
        for (int i = 0; i < calls; ++i)
            diag::log(L"registry %s, version %s: qualifies, #%d", home, version, i);
        samples.push_back((bench::nowMs() - start) * 1e6 / calls);
    }
    std::printf("diag::log, %s: best %.1f ns, median %.1f ns per call\n", what,
                *std::min_element(samples.begin(), samples.end()), bench::median(samples));
}

}  // namespace

int wmain() {
    SetEnvironmentVariableW(diag::kVariable, nullptr);
    DiagnosticsLog log;
    const std::wstring home = L"C:\\Program Files\\Eclipse Adoptium\\jdk-17.0.2.8-hotspot\\";
    const JavaVersion version = JavaVersion::of(17, 0, 2, 8);
    perCall("log off", 201, 10000, home, version);

    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"vexa-bench-diagnostics.log";
    DeleteFileW(path.c_str());
    if (!log.open(path)) {
        std::printf("diag::log, log on: cannot open the log file\n");
        return 1;
    }
    diag::installSink(&log);
    // 45 rounds of 100 lines of about 130 bytes stay below the 1 MiB limit.
    perCall("log on", 45, 100, home, version);
    diag::installSink(nullptr);
    return 0;
}
