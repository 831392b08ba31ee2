// Recorder of the benchmark build's step marks; empty in the shipped launcher.
#ifdef VEXA_STEP_TIMING

#include "foundation/StepTiming.h"

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>

namespace vexa::steps {
namespace {

struct Mark {
    const char* name;
    LONGLONG counter;
};

// Bench-only recorder: fixed room, no allocation, so that recording does
// not disturb what it measures.
constexpr int kRoom = 64;
Mark g_marks[kRoom];
std::atomic<int> g_count{0};
FILETIME g_firstMarkTime{};

LONGLONG counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

void mark(const char* name) {
    const LONGLONG now = counterNow();
    const int index = g_count.fetch_add(1);
    if (index == 0) GetSystemTimePreciseAsFileTime(&g_firstMarkTime);
    if (index < kRoom) g_marks[index] = {name, now};
}

void report() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VEXA_STEP_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    FILE* out = _wfopen(path, L"w");
    if (!out) return;
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    std::fprintf(out, "process start to entry\t%.3f\n",
                 static_cast<double>(ticks(g_firstMarkTime) - ticks(created)) / 10000.0);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const int count = g_count.load() < kRoom ? g_count.load() : kRoom;
    for (int i = 1; i < count; ++i) {
        std::fprintf(out, "%s\t%.3f\n", g_marks[i].name,
                     static_cast<double>(g_marks[i].counter - g_marks[i - 1].counter) * 1000.0 /
                         static_cast<double>(frequency.QuadPart));
    }
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)))
        std::fprintf(out, "#peak working set %.2f MiB\n", static_cast<double>(memory.PeakWorkingSetSize) / 1048576.0);
    // The modules loaded by now, for comparing with what a plain launch needs.
    HMODULE modules[256];
    DWORD needed = 0;
    if (K32EnumProcessModules(GetCurrentProcess(), modules, sizeof(modules), &needed)) {
        for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 256; ++i) {
            wchar_t name[MAX_PATH];
            if (GetModuleBaseNameW(GetCurrentProcess(), modules[i], name, MAX_PATH))
                std::fprintf(out, "#module %ls\n", name);
        }
    }
    std::fclose(out);
}

}  // namespace vexa::steps

#endif
