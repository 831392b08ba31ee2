#include <gtest/gtest.h>

#include <set>

#include "launcher/InstanceName.h"

using namespace vexa;

TEST(InstanceName, OneNamePerFileAndAReadablePrefix) {
    // Paths that the old "\" to "_" naming ran together stay apart.
    const std::wstring paths[] = {L"C:\\APPS\\A_B\\X.EXE", L"C:\\APPS\\A\\B_X.EXE", L"C:_APPS_A_B_X.EXE",
                                  L"\\\\SERVER\\SHARE\\X.EXE", L"C:\\APPS\\" + std::wstring(300, L'\x00C9') + L".EXE"};
    std::set<std::wstring> names;
    for (const std::wstring& path : paths) {
        const std::wstring name = instanceNameOf(path);
        names.insert(name);
        EXPECT_EQ(name.find(L'\\'), std::wstring::npos);
        EXPECT_LE(name.size(), kMaxInstanceNameLength);
    }
    EXPECT_EQ(names.size(), std::size(paths));
    EXPECT_EQ(instanceNameOf(L"C:\\APPS\\A_B\\X.EXE").substr(0, 11), L"Vexa.X.EXE.");
}

TEST(InstanceName, TheVerbatimPrefixOfAFinalPathIsDropped) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"\\\\?\\C:\\APPS\\X.EXE", L"C:\\APPS\\X.EXE"},
        {L"\\\\?\\UNC\\SERVER\\SHARE\\X.EXE", L"\\\\SERVER\\SHARE\\X.EXE"},
        {L"C:\\APPS\\X.EXE", L"C:\\APPS\\X.EXE"},
        {L"\\\\SERVER\\SHARE\\X.EXE", L"\\\\SERVER\\SHARE\\X.EXE"},
    };
    for (const auto& [final, usual] : cases) {
        EXPECT_EQ(withoutVerbatimPrefix(final), usual);
        EXPECT_EQ(instanceNameOf(withoutVerbatimPrefix(final)), instanceNameOf(usual));
    }
}
