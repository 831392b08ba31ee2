// Cost of reading settings: one group of reads as the settings reader does it
// (twenty layered keys), one very long value read by buffer doubling, and
// opening and parsing embedded settings blocks of growing size.
//     build/wine-run build/bin/bench-settings.exe [repetitions] > out.txt
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "config/SettingsBlock.h"
#include "config/SettingsStore.h"

using namespace vexa;

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double medianMicroseconds(int repetitions, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        auto start = Clock::now();
        f();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void writeAnsi(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int repetitions = argc > 1 ? std::max(1, _wtoi(argv[1])) : 50;
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring path = std::wstring(temp) + L"vexa-bench-settings-" + std::to_wstring(GetCurrentProcessId()) + L".ini";

    const wchar_t* keys[][2] = {
        {L"Java Runtime Environment", L"Minimum Version"}, {L"Java Runtime Environment", L"Maximum Version"},
        {L"Application", L"Application Type"},             {L"Java Runtime Environment", L"Preferred versions"},
        {L"Java Runtime Environment", L"JRE Path"},        {L"Java Runtime Environment", L"JVM Type"},
        {L"Java Runtime Environment", L"JVM Source"},      {L"Java Runtime Environment", L"VM Provider"},
        {L"Java Runtime Environment", L"Main Class"},      {L"Application", L"Failure Check"},
        {L"Application", L"Override WorkingDir"},          {L"Java Runtime Environment", L"System Path"},
        {L"Java Runtime Environment", L"Library Path"},    {L"Application", L"Pair Product"},
        {L"Application", L"Pair Return Code"},             {L"Application", L"Single Instance"},
        {L"Class Path", L"Class Path"},                    {L"Java Runtime Environment", L"Virtual Machine Parameters"},
        {L"Application", L"Output File"},                  {L"Application", L"Cmd"},
    };
    writeAnsi(path,
              "[Java Runtime Environment]\r\nMinimum Version=1.8\r\nMaximum Version=any\r\nMain Class=com.example.Main\r\n"
              "JVM Type=favor_server\r\nVirtual Machine Parameters=-Xmx512m -Dapp.home=C:\\app\r\n"
              "[Java Runtime Environment+]\r\nLibrary Path=lib\\native\r\n"
              "[Application]\r\nFailure Check=Yes\r\nSingle Instance=yes\r\n"
              "[Class Path]\r\nClass Path=\\lib\\*.jar;\\plugins\\*.jar\r\n");
    EmbeddedSettings embedded;
    embedded.parse(L"[Java Runtime Environment]\r\nSystem Path=C:\\tools\r\n");
    double group = medianMicroseconds(repetitions, [&] {
        LayeredSettingsFile layered(path, embedded);
        for (const auto& key : keys) layered.readValue(key[0], key[1]);
    });
    std::printf("settings group of 20 layered reads: %.0f us (median of %d)\n", group, repetitions);

    std::string longValue(100000, 'x');
    writeAnsi(path, "[S]\r\nlong=" + longValue + "\r\n");
    double longRead = medianMicroseconds(repetitions, [&] { SettingsFile(path).readValue(L"S", L"long"); });
    std::printf("one value of 100,000 characters: %.0f us\n", longRead);
    DeleteFileW(path.c_str());

    for (size_t lines : {50u, 2000u, 40000u}) {
        std::wstring text = L"[Java Runtime Environment]\r\n";
        for (size_t i = 0; text.size() < lines * 24; ++i) text += L"Key " + std::to_wstring(i) + L"=value number\r\n";
        std::array<std::uint8_t, 12> nonce{};
        const std::vector<std::uint8_t> block = sealSettingsBlock(text, nonce);
        std::wstring opened;
        double open = medianMicroseconds(repetitions, [&] { openSettingsBlock(block.data(), block.size(), opened); });
        EmbeddedSettings parsed;
        double parse = medianMicroseconds(repetitions, [&] { parsed.parse(opened); });
        std::printf("embedded block of %zu bytes: open %.0f us, parse %.0f us\n", block.size(), open, parse);
    }
    return 0;
}
