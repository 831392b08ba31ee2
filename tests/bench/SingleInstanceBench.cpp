// Single-instance forwarding under load: 50 second instances start at once
// against a running first instance whose int secondaryMain returns the number
// each one passes as its first argument. Every exit code is checked, and the
// first instance's record must show exactly 50 calls per round with exactly
// the arguments sent. Printed: each second instance's time from its start to
// its exit (median and maximum, from the process times), next to the same for
// 50 bare processes started at once, and one by one for both; one by one also
// beside a program that only starts the window system, as vexa.exe does first.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "StandIn.h"
#include "TestSupport.h"

using namespace vexa::test;
using vexa::bench::median;
using vexa::bench::nowMs;

namespace {

constexpr int kConcurrent = 50;
constexpr int kRounds = 3;
constexpr int kSequential = 20;

struct Started {
    HANDLE process = nullptr;
    int expected = 0;
};

HANDLE startProcess(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = commandLine;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

// Start to exit of an ended process, in milliseconds, from its process times.
double lifetimeMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(exited) - ticks(created)) / 10000.0;
}

void waitAll(const std::vector<HANDLE>& handles) {
    for (HANDLE h : handles) WaitForSingleObject(h, 120000);
}

std::vector<std::wstring> argumentsFor(int value, int index) {
    return {std::to_wstring(value), L"C:\\Users\\me\\Documents\\file " + std::to_wstring(index) + L".txt", L""};
}

void print(const char* what, const std::vector<double>& ms) {
    std::printf("%-44s median %7.1f ms   max %7.1f ms   (%zu runs)\n", what, median(ms),
                ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()), ms.size());
}

}  // namespace

int wmain() {
    TempDir dir;
    standin::JavaHome java(dir / L"jre\\");
    const std::wstring release = dir / L"release";
    std::string releasePath;
    for (char c : narrow(release)) {
        if (c == '\\') releasePath += '\\';
        releasePath += c;
    }
    standin::writeScript(dir / L"app\\", L"lib\\app.jar",
                         "class demo.App\nmethod main\n    wait-file " + releasePath +
                             " 600000\nmethod secondaryMain int\n    return ${arg0}\n");
    LauncherCopy app(dir / L"app\\", L"MyApp.exe",
                     "[Java Runtime Environment]\r\nMain Class=demo.App\r\nJRE Path=" + narrow(java.home()) +
                         "\r\n[Class Path]\r\nClass Path=\\lib\\app.jar\r\n[Application]\r\nSingle Instance=yes\r\n");
    standin::RecordFile record(dir.path());
    SetEnvironmentVariableW(L"VEXA_STANDIN_RECORD", record.path().c_str());

    HANDLE first = startProcess(quoted(app.exePath()) + L" first");
    for (int waited = 0; waited < 30000 && !record.read().contains("invoke"); waited += 20) Sleep(20);
    if (!record.read().contains("invoke")) {
        std::printf("the first instance did not start\n");
        return 1;
    }

    std::vector<double> forwarded, bare, window, forwardedAlone, bareAlone, windowAlone;
    const std::wstring windowStartup = quoted(artefact(L"bench-window-startup.exe"));
    std::vector<std::vector<std::wstring>> sent;
    int wrongExitCodes = 0;
    int value = 1000;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<Started> seconds;
        for (int i = 0; i < kConcurrent; ++i, ++value) {
            auto args = argumentsFor(value, i);
            sent.push_back(args);
            std::wstring line = quoted(app.exePath());
            for (const auto& arg : args) line += L" " + quoted(arg);
            seconds.push_back({startProcess(line), value});
        }
        std::vector<HANDLE> handles;
        for (const auto& s : seconds) handles.push_back(s.process);
        waitAll(handles);
        for (const auto& s : seconds) {
            DWORD code = 0;
            GetExitCodeProcess(s.process, &code);
            if (static_cast<int>(code) != s.expected) ++wrongExitCodes;
            forwarded.push_back(lifetimeMs(s.process));
            CloseHandle(s.process);
        }

        for (auto [program, times] : {std::pair{quoted(artefact(L"bench-bare-process.exe")), &bare},
                                      std::pair{windowStartup, &window}}) {
            std::vector<HANDLE> others;
            for (int i = 0; i < kConcurrent; ++i) others.push_back(startProcess(program));
            waitAll(others);
            for (HANDLE h : others) {
                times->push_back(lifetimeMs(h));
                CloseHandle(h);
            }
        }
    }
    for (int i = 0; i < kSequential; ++i, ++value) {
        auto args = argumentsFor(value, i);
        sent.push_back(args);
        std::wstring line = quoted(app.exePath());
        for (const auto& arg : args) line += L" " + quoted(arg);
        double start = nowMs();
        HANDLE h = startProcess(line);
        WaitForSingleObject(h, 60000);
        forwardedAlone.push_back(nowMs() - start);
        DWORD code = 0;
        GetExitCodeProcess(h, &code);
        if (static_cast<int>(code) != value) ++wrongExitCodes;
        CloseHandle(h);

        start = nowMs();
        h = startProcess(quoted(artefact(L"bench-bare-process.exe")));
        WaitForSingleObject(h, 60000);
        bareAlone.push_back(nowMs() - start);
        CloseHandle(h);

        start = nowMs();
        h = startProcess(windowStartup);
        WaitForSingleObject(h, 60000);
        windowAlone.push_back(nowMs() - start);
        CloseHandle(h);
    }

    writeFile(release, "");
    WaitForSingleObject(first, 60000);
    CloseHandle(first);

    std::vector<std::vector<std::wstring>> received;
    for (const auto& call : record.read().invocations("secondaryMain")) {
        std::vector<std::wstring> args;
        if (call.args)
            for (const auto& arg : *call.args) args.push_back(arg.value_or(L"<null>"));
        received.push_back(args);
    }
    std::sort(sent.begin(), sent.end());
    std::sort(received.begin(), received.end());
    size_t matched = 0;
    for (size_t i = 0, j = 0; i < sent.size() && j < received.size();) {
        if (sent[i] == received[j]) ++matched, ++i, ++j;
        else if (sent[i] < received[j]) ++i;
        else ++j;
    }

    std::printf("%d rounds of %d second instances at once, then %d one by one\n", kRounds, kConcurrent, kSequential);
    print("second instance, 50 at once, start to exit", forwarded);
    print("bare process, 50 at once, start to exit", bare);
    print("window-system start-up, 50 at once", window);
    print("second instance alone, start to exit", forwardedAlone);
    print("bare process alone, start to exit", bareAlone);
    print("window-system start-up alone, start to exit", windowAlone);
    std::printf("forwarding cost over a bare start: %.1f ms at once (medians), %.1f ms alone\n",
                median(forwarded) - median(bare), median(forwardedAlone) - median(bareAlone));
    std::printf("forwarding cost over the window-system start-up: %.1f ms at once (medians), %.1f ms alone\n",
                median(forwarded) - median(window), median(forwardedAlone) - median(windowAlone));
    std::printf("exit codes wrong: %d; calls sent %zu, received %zu, matching exactly %zu\n", wrongExitCodes,
                sent.size(), received.size(), matched);
    return wrongExitCodes == 0 && matched == sent.size() && received.size() == sent.size() ? 0 : 1;
}
