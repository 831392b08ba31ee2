#include <gtest/gtest.h>

#include <set>

#include "launcher/InstanceName.h"

using namespace vexa;

TEST(InstanceName, OneNamePerFileWhateverTheFinalPathsPrefixAndAReadableStart) {
    // Paths that the old "\" to "_" naming ran together stay apart; a final
    // path's \\?\ prefix changes nothing.
    const std::pair<std::wstring, std::wstring> paths[] = {
        {L"\\\\?\\C:\\APPS\\A_B\\X.EXE", L"C:\\APPS\\A_B\\X.EXE"},
        {L"C:\\APPS\\A\\B_X.EXE", L"C:\\APPS\\A\\B_X.EXE"},
        {L"C:_APPS_A_B_X.EXE", L"C:_APPS_A_B_X.EXE"},
        {L"\\\\?\\UNC\\SERVER\\SHARE\\X.EXE", L"\\\\SERVER\\SHARE\\X.EXE"},
        {L"C:\\APPS\\" + std::wstring(300, L'\x00C9') + L".EXE", L"C:\\APPS\\" + std::wstring(300, L'\x00C9') + L".EXE"},
    };
    std::set<std::wstring> names;
    for (const auto& [final, usual] : paths) {
        const std::wstring name = instanceNameOf(withoutVerbatimPrefix(final));
        EXPECT_EQ(name, instanceNameOf(usual));
        EXPECT_EQ(name.find(L'\\'), std::wstring::npos);
        EXPECT_LE(name.size(), kMaxInstanceNameLength);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), std::size(paths));
    EXPECT_EQ(instanceNameOf(L"C:\\APPS\\A_B\\X.EXE").substr(0, 11), L"Vexa.X.EXE.");
}
