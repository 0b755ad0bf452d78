// The simulator as its users see it: console through standard input and output, the
// exit status, the report when the program stops the machine, and its options.
#include "tests/sim/sim_run.h"

#include <gtest/gtest.h>

namespace lbw::test {
namespace {

TEST(Simulator, ConsoleRunsThroughStandardStreamsAndMainsValueIsTheStatus) {
    SimRun run = simulate(LBW_PROGRAM_SIM_STATUS, "one\r\ntwo\nthree");
    EXPECT_EQ(run.status, 7);
    EXPECT_EQ(run.out, "got one\ngot two\ngot three\nend of input\n");
}

TEST(Simulator, HaltIsReportedWithTheLastConsoleLine) {
    SimRun run = simulate(LBW_PROGRAM_SIM_HALT);
    EXPECT_EQ(run.status, 250);
    EXPECT_EQ(run.out, "about to stop\n");
    EXPECT_NE(run.err.find("program stopped the machine"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("last console line: about to stop"), std::string::npos) << run.err;
}

TEST(Simulator, ExitEndsTheRunWithItsStatusOnceEverythingIsWritten) {
    std::string root = fresh_folder("exit");
    SimRun run = simulate("--root " + shell_quoted(root) + " " LBW_PROGRAM_EXIT_STATUS, "4\n");
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_EQ(run.out, "status? \nbye\n");
    EXPECT_EQ(slurp(root + "/left-open.txt"), "written, never closed\n");
}

TEST(Simulator, MistakesOnTheCommandLineAreExplained) {
    EXPECT_EQ(simulate("").status, 2);
    SimRun bad_memory = simulate("--memory 12X " LBW_PROGRAM_SIM_STATUS);
    EXPECT_EQ(bad_memory.status, 2);
    EXPECT_NE(bad_memory.err.find("--memory"), std::string::npos);
    SimRun missing = simulate("/nonexistent/program.so");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot load the program"), std::string::npos);
}

} // namespace
} // namespace lbw::test
