#include <gtest/gtest.h>

#include "resources/resource.h"
#include "ui/Messages.h"

using namespace vexa;

TEST(LoadMessage, ReadsWholeEntriesAndEmptyForMissingIds) {
    EXPECT_EQ(loadMessage(IDS_NO_MAIN_CLASS), L"Main class was not specified in INI file.");
    EXPECT_EQ(loadMessage(IDS_NO_MAIN_METHOD), L"No main method found in specified class.\n");
    // Entries at both ends of a block of sixteen.
    EXPECT_EQ(loadMessage(IDS_MAXIMUM_VERSION), L"maximum version %s");  // 218 = 13 * 16 + 10
    EXPECT_EQ(loadMessage(IDS_JVM_LOAD_FAILED), L"Failed to load Java VM library: %s (errno = %d).\n");
    EXPECT_GT(loadMessage(IDS_JRE_NOT_FOUND_SERVER).size(), 100u);
    EXPECT_EQ(loadMessage(201), L"");
    EXPECT_EQ(loadMessage(9999), L"");
}
