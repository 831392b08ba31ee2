// A GoogleTest program whose test ends the process in the middle of the run:
// with exit code 0, or by overflowing its stack. wine-test must report
// either as a failure.
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int deeper(volatile int depth) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    return deeper(depth + 1) + frame[0];
}

}  // namespace

TEST(EndsEarly, WithExitCodeZero) { std::_Exit(0); }

TEST(EndsEarly, ByAStackOverflow) { EXPECT_NE(deeper(0), 0); }
