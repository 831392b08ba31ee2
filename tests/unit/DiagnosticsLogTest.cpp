// The diagnostics log file on real files in a temporary folder.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "foundation/DiagnosticsLog.h"

using namespace vexa;
using vexa::test::readFile;
using vexa::test::TempDir;

TEST(DiagnosticsLog, OneLaunchWritesAtMostOneMebibyteAndSaysWhereItStopped) {
    TempDir dir;
    const std::wstring path = dir / L"vexa.log";
    test::writeFile(path, "earlier launch\r\n");
    {
        DiagnosticsLog log;
        ASSERT_TRUE(log.open(path));
        const std::wstring event(200, L'x');
        for (int i = 0; i < 6000 && log.isOpen(); ++i) log.write(event);
        EXPECT_FALSE(log.isOpen());
        log.write(L"after the limit");
    }
    const std::string text = readFile(path);
    EXPECT_EQ(text.rfind("earlier launch\r\n", 0), 0u);  // appended, never replaced
    EXPECT_LE(text.size() - 16, DiagnosticsLog::kLimit);
    EXPECT_GT(text.size() - 16, DiagnosticsLog::kLimit - 1024);
    EXPECT_NE(text.find("limit of 1 MiB reached"), std::string::npos);
    EXPECT_EQ(text.find("after the limit"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(DiagnosticsLog, LineBreaksInAnEventStayOnItsLine) {
    TempDir dir;
    DiagnosticsLog log;
    ASSERT_TRUE(log.open(dir / L"vexa.log"));
    log.write(L"one\r\ntwo\nthree");
    const std::string text = readFile(dir / L"vexa.log");
    EXPECT_EQ(text.substr(text.find("] ") + 2), "one  two three\r\n");
}
