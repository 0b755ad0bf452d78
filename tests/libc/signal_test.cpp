// signal keeps one handler per Linux signal number and hands back the one before; raise
// delivers nothing, since nothing on the machine could receive it.
#include "tests/support/library_test.h"

#include <csignal>

namespace lbw::test {
namespace {

using Handler = void (*)(int);
using SignalTest = LibraryTest;

int gHandled;
void count(int) { gHandled++; }

TEST_F(SignalTest, SignalHandsBackThePreviousHandlerOfEachNumber) {
    auto signal_ = fn<Handler(int, Handler)>("signal");
    for (int sig = 1; sig <= 64; sig++) {
        if (sig == SIGKILL || sig == SIGSTOP)
            continue;
        EXPECT_EQ(signal_(sig, count), SIG_DFL) << sig;
        EXPECT_EQ(signal_(sig, SIG_ERR), SIG_ERR) << sig;
        EXPECT_EQ(signal_(sig, SIG_IGN), count) << sig << ": a refused handler changes nothing";
        EXPECT_EQ(signal_(sig, SIG_DFL), SIG_IGN) << sig;
    }
    for (int sig : {0, -1, 65, SIGKILL, SIGSTOP, 1 << 30})
        EXPECT_EQ(signal_(sig, count), SIG_ERR) << sig;
}

TEST_F(SignalTest, RaiseRunsNoHandlerAndFails) {
    fn<Handler(int, Handler)>("signal")(SIGINT, count);
    gHandled = 0;
    for (int sig : {SIGINT, SIGTERM, SIGABRT, 0, 100})
        EXPECT_NE(fn<int(int)>("raise")(sig), 0) << sig;
    EXPECT_EQ(gHandled, 0);
}

} // namespace
} // namespace lbw::test
