#include <gtest/gtest.h>

#include <windows.h>

#include "resources/resource.h"
#include "ui/Messages.h"

using namespace vexa;

TEST(LoadMessage, ReadsWholeEntriesAndEmptyForMissingIds) {
    // Every entry of the table as the system's own loader reads it: the long
    // ones whole, those at both ends of a block of sixteen, a final line feed kept.
    for (unsigned id = IDS_WINDOWS_EXCEPTION; id <= IDS_JNI_REASON_INVALID; ++id) {
        const wchar_t* entry = nullptr;
        const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&entry), 0);
        EXPECT_EQ(loadMessage(id), length > 0 ? std::wstring(entry, static_cast<size_t>(length)) : L"") << id;
    }
    EXPECT_GT(loadMessage(IDS_JRE_NOT_FOUND_SERVER).size(), 100u);
    EXPECT_EQ(loadMessage(IDS_NO_MAIN_METHOD).back(), L'\n');
    EXPECT_EQ(loadMessage(201), L"");
    EXPECT_EQ(loadMessage(9999), L"");
}
