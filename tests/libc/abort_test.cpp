// abort stops the machine: nothing after it runs and nothing pending is flushed.
#include "tests/support/library_test.h"

#include <cstdio>

namespace lbw::test {
namespace {

using AbortTest = LibraryTest;

TEST_F(AbortTest, HaltsTheMachine) {
    EXPECT_HALTS(fn<void()>("abort")());
}

TEST_F(AbortTest, FlushesNothingAndRunsNothingAfterwards) {
    auto write = fn<void(const void *, uint64_t)>("lm_lua_write");
    auto writeline = fn<void()>("lm_lua_writeline");
    auto abort_ = fn<void()>("abort");
    // Console lines go to standard error in the child; only the marker may appear there.
    EXPECT_EXIT(
        {
            host().console().echo = stderr;
            write("pending text", 12);
            std::fputs("before abort\n", stderr);
            abort_();
            write("after\n", 6);
            writeline();
        },
        ::testing::KilledBySignal(SIGSEGV), "^before abort\n$");
}

} // namespace
} // namespace lbw::test
