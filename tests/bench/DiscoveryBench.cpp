// Cost of one runtime search against the number of registered runtimes.
//
// Registers runtimes spread evenly over the seven registration keys (each
// with its own folder holding a JVM library) in the registry of the running
// prefix, and times JreLocator::locate with nothing registered and with 100
// up to 1,000 runtimes, all in the same run. Every key it adds is removed at
// the end. Run it in the test prefix:
//     build/wine-run build/bin/bench-discovery.exe [repetitions] > out.txt
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "StandIn.h"
#include "TestSupport.h"
#include "jre/JreLocator.h"
#include "jre/JreSelection.h"

using namespace vexa;

namespace {

// Whether any runtime is registered in either view already: the figures
// would include it.
bool anythingRegistered() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        for (const std::wstring& path : test::standin::JavaRegistry::searchedKeys()) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
            DWORD subkeys = 0;
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr);
            RegCloseKey(key);
            if (subkeys) return true;
        }
    }
    return false;
}

// Runtime `index`, under key `index` modulo 7, in a folder of its own. The
// folders hold empty marker files, as the search only looks for the JVM
// library: a thousand copies of a real library would be more than half a
// gigabyte.
void registerRuntime(test::standin::JavaRegistry& registry, const test::TempDir& dir, int index) {
    const auto& keys = jre::runtimeKeys();
    const jre::RuntimeKey& key = keys[static_cast<size_t>(index) % keys.size()];
    const std::wstring home = dir / (L"rt" + std::to_wstring(index));
    // Keys 3 and 6 name a JDK whose runtime is in its "jre\" folder.
    test::writeFile(home + (key.homeInJreFolder ? L"\\jre" : L"") + L"\\bin\\client\\jvm.dll", "");
    registry.add(test::standin::JavaRegistry::searchedKeys()[static_cast<size_t>(index) % keys.size()],
                 L"1." + std::to_wstring(index % 20) + L".0_" + std::to_wstring(index), home);
}

struct Timing {
    double median = 0;
    double best = 0;
    bool found = false;
};

// One discovery as init runs it, with "VM Provider" set to "any" so that
// every key is searched, repeated `repetitions` times.
Timing timeDiscovery(int repetitions, bool paired, bool admitNone = false) {
    std::vector<double> ms;
    bool found = false;
    for (int i = -1; i < repetitions; ++i) {  // the first run warms the caches and is not counted
        JrePolicy policy;
        policy.jdkSource = policy.jreSource = true;
        policy.jrockitAllowed = policy.sunAllowed = policy.ibmAllowed = true;
        policy.sunFavoured = false;
        policy.minVersion = JavaVersion::of(0, 0, 0, 0);
        policy.maxVersion = JavaVersion::of(65535, 65535, 65535, 65535);
        // A minimum above every registered version: only the subkey names are read.
        if (admitNone) policy.minVersion = JavaVersion::of(99, 0, 0, 0);
        RuntimeSearchPlaces places;
        if (paired) places.pairProduct = L"C:\\nowhere\\Paired.exe";
        auto start = std::chrono::steady_clock::now();
        found = JreLocator(policy, places).locate().has_value();
        auto end = std::chrono::steady_clock::now();
        if (i >= 0) ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), found};
}

// The search of today's runtimes among `count` install folders under one
// vendor's folder in %ProgramFiles% ("BellSoft\"), each with a "release" file
// and a JVM library marker; the median of `repetitions` runs.
void timeVendorFolders(const std::vector<int>& counts, int repetitions) {
    wchar_t programs[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"ProgramFiles", programs, MAX_PATH)) return;
    const std::wstring vendor = std::wstring(programs) + L"\\BellSoft\\";
    if (GetFileAttributesW(vendor.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::printf("%ls exists already; the install-folder figures are left out.\n", vendor.c_str());
        return;
    }
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
    std::printf("\nToday's runtimes (JreLocator::searchCommonRuntimes), install folders under one vendor, median and best\n");
    std::printf("%6s  %10s  %10s  %14s  %5s  %s\n", "count", "median ms", "best ms", "us per folder", "found",
                "listing the folder alone, median ms");
    int made = 0;
    for (int count : counts) {
        for (; made < count; ++made) {
            const std::wstring home = vendor + L"jdk-" + std::to_wstring(8 + made % 20) + L".0." + std::to_wstring(made);
            test::writeFile(home + L"\\bin\\server\\jvm.dll", "");
            test::writeFile(home + L"\\release", "JAVA_VERSION=\"" + std::to_string(8 + made % 20) + ".0." +
                                                      std::to_string(made) + "\"\n");
        }
        std::vector<double> ms;
        bool found = false;
        for (int i = -1; i < repetitions; ++i) {
            JrePolicy policy;
            policy.jdkSource = policy.jreSource = true;
            policy.jrockitAllowed = policy.sunAllowed = policy.ibmAllowed = true;
            policy.minVersion = JavaVersion::of(0, 0, 0, 0);
            policy.maxVersion = JavaVersion::of(65535, 65535, 65535, 65535);
            JreLocator locator(policy, RuntimeSearchPlaces());
            auto start = std::chrono::steady_clock::now();
            found = locator.searchCommonRuntimes();
            auto end = std::chrono::steady_clock::now();
            if (i >= 0) ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(ms.begin(), ms.end());
        // The floor: the vendor folder's names, as the search lists them.
        std::vector<double> listing;
        for (int i = 0; i < repetitions; ++i) {
            auto start = std::chrono::steady_clock::now();
            WIN32_FIND_DATAW entry;
            HANDLE find = FindFirstFileExW((vendor + L"*").c_str(), FindExInfoBasic, &entry,
                                           FindExSearchLimitToDirectories, nullptr, FIND_FIRST_EX_LARGE_FETCH);
            while (find != INVALID_HANDLE_VALUE && FindNextFileW(find, &entry)) {
            }
            if (find != INVALID_HANDLE_VALUE) FindClose(find);
            listing.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::sort(listing.begin(), listing.end());
        std::printf("%6d  %10.3f  %10.3f  %14.2f  %5s  %.3f\n", count, ms[ms.size() / 2], ms.front(),
                    ms[ms.size() / 2] * 1000.0 / count, found ? "yes" : "no", listing[listing.size() / 2]);
        std::fflush(stdout);
    }
    test::removeTree(vendor);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int repetitions = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
    test::standin::JavaRegistry registry;  // removes every registration at the end
    if (anythingRegistered()) {
        std::printf("Java runtimes are registered in this prefix already; run in a prefix without them.\n");
        return 1;
    }
    test::TempDir dir;

    std::printf("Runtime search (JreLocator::locate), median and best of %d runs, all seven keys searched\n",
                repetitions);
    Timing none = timeDiscovery(repetitions, false);
    Timing nonePaired = timeDiscovery(repetitions, true);
    std::printf("%6s  %10s  %10s  %14s  %s\n", "count", "median ms", "best ms", "us per runtime", "found");
    std::printf("%6d  %10.3f  %10.3f  %14s  %s\n", 0, none.median, none.best, "-", none.found ? "yes" : "no");
    std::printf("%6s  %10.3f  %10.3f  %14s  %s   (both views, \"Pair Product\" set)\n", "0", nonePaired.median,
                nonePaired.best, "-", nonePaired.found ? "yes" : "no");

    int registered = 0;
    for (int count : {100, 200, 300, 500, 700, 1000}) {
        while (registered < count) registerRuntime(registry, dir, registered++);
        Timing t = timeDiscovery(repetitions, false);
        std::printf("%6d  %10.3f  %10.3f  %14.2f  %s\n", count, t.median, t.best,
                    (t.median - none.median) * 1000.0 / count, t.found ? "yes" : "no");
        std::fflush(stdout);
    }
    Timing namesOnly = timeDiscovery(repetitions, false, true);
    std::printf("%6d  %10.3f  %10.3f  %14.2f  %s   (\"Minimum Version\" above all: subkey names only)\n", registered,
                namesOnly.median, namesOnly.best, (namesOnly.median - none.median) * 1000.0 / registered,
                namesOnly.found ? "yes" : "no");
    timeVendorFolders({100, 1000, 5000}, std::max(1, repetitions / 3));
    return 0;
}
