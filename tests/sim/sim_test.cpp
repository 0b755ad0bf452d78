// The simulator as its users see it: console through standard input and output, the
// exit status, the report when the program stops the machine, and its options.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace lbw::test {
namespace {

struct SimRun {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

SimRun simulate(const std::string &arguments, const std::string &input = "") {
    // Tests run in parallel: each simulation gets files of its own.
    static int count = 0;
    std::string dir = ::testing::TempDir() + "/sim_" + std::to_string(getpid()) + "_" + std::to_string(count++);
    std::string in_path = dir + "_in", out_path = dir + "_out", err_path = dir + "_err";
    std::ofstream(in_path) << input;
    std::string command = std::string(LBW_SIMULATOR) + " " + arguments + " <" + in_path + " >" + out_path +
                          " 2>" + err_path;
    int raw = std::system(command.c_str());
    SimRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(out_path);
    run.err = slurp(err_path);
    return run;
}

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
