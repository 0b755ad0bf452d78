// Ordinary C++ against the library's standard headers: each scenario of the program
// writes what it observed to the console, compared here line by line; and a whole
// ordinary program runs in the simulator and on the bare machine.
#include "tests/support/library_test.h"
#include "tests/support/qemu.h"
#include "tests/support/simulator.h"

#include <cstdio>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using Lines = std::vector<std::string>;

struct ExceptionGlobals {
    void *caughtExceptions;
    unsigned int uncaughtExceptions;
};

class CxxStdTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        program_ = lib().load_program(LBW_PROGRAM_CXXSTD_SCENARIOS);
    }
    int call(const char *scenario) {
        return reinterpret_cast<int (*)()>(simhost::LoadedLibrary::program_symbol(program_, scenario))();
    }
    Lines run(const char *scenario) {
        host().console().lines.clear();
        EXPECT_EQ(call(scenario), 0) << scenario;
        return host().console().lines;
    }
    void *program_ = nullptr;
};

struct Scenario {
    const char *name;
    Lines lines;
};

const Scenario kScenarios[] = {
    // The dynamic type's name and what() caught as std::exception, as itself, as its parent.
    {"standard_classes",
     {"St11logic_error logic logic logic", "St12domain_error domain domain domain",
      "St16invalid_argument invalid invalid invalid", "St12length_error length length length",
      "St12out_of_range range range range", "St13runtime_error runtime runtime runtime",
      "St11range_error result result result", "St14overflow_error over over over",
      "St15underflow_error under under under", "St9exception std::exception std::exception std::exception",
      "St13bad_exception std::bad_exception std::bad_exception std::bad_exception",
      "St8bad_cast std::bad_cast std::bad_cast std::bad_cast",
      "St10bad_typeid std::bad_typeid std::bad_typeid std::bad_typeid",
      "St9bad_alloc std::bad_alloc std::bad_alloc std::bad_alloc",
      "St20bad_array_new_length std::bad_array_new_length std::bad_array_new_length std::bad_array_new_length"}},
    {"messages_outlive_their_origin", {"original original before", "original original", "[]", "by value"}},
    {"exception_pointers",
     {"outside handlers: none", "round 1: kept", "round 2: kept", "again while handled: outer", "made: pointer",
      "dropped, copy holds"}},
    {"uncaught_exceptions",
     {"before: 0 in flight", "inner destructor: 2 in flight", "inner handler: 1 in flight", "destructor: 1 in flight",
      "handler: 0 in flight, handling St13runtime_error, on the stack", "after: 0 in flight, nothing handled"}},
    // A private or protected base gives null; public ones, single, second or virtual, as before.
    {"dynamic_cast_access",
     {"public: object, public second: object, public virtual: object",
      "private: null, protected: null, private second: null, through private: null",
      "reference: std::bad_cast", "typeid: std::bad_typeid"}},
    {"assertion_under_ndebug", {"not checked"}},
};

TEST_F(CxxStdTest, ScenariosSeeOrdinaryBehaviourAndFreeEverything) {
    auto globals = fn<ExceptionGlobals *()>("__cxa_get_globals")();
    for (const Scenario &scenario : kScenarios) {
        uint64_t heap = host().heap().bytes_in_use();
        EXPECT_EQ(run(scenario.name), scenario.lines) << scenario.name;
        EXPECT_EQ(host().heap().bytes_in_use(), heap) << scenario.name << " leaves no object or message behind";
        EXPECT_EQ(globals->caughtExceptions, nullptr) << scenario.name;
        EXPECT_EQ(globals->uncaughtExceptions, 0u) << scenario.name;
    }
}

// What the program writes before the machine stops reaches the console.
TEST_F(CxxStdTest, TerminateHandlerAndFailedAssertionWriteBeforeTheMachineStops) {
    host().console().echo = stderr;
    EXPECT_EXIT(call("terminate_with_handler"), ::testing::KilledBySignal(SIGSEGV),
                "^default handler is abort: 1\nterminate handler: installed\n$");
    EXPECT_EXIT(call("failed_assertion"), ::testing::KilledBySignal(SIGSEGV),
                "^[^\n]*tests/cxxstd/programs/scenarios.cpp:[0-9]+: failed_assertion: "
                "Assertion `strlen\\(\"four\"\\) == 5' failed.\n$");
}

TEST(CxxStdProgramTest, OrdinaryProgramRunsInTheSimulatorAndOnTheBareMachine) {
    SimRun run = simulate(shell_word(LBW_PROGRAM_CXXSTD_ORDINARY));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "caught x\n");
    if (!Qemu::available())
        GTEST_SKIP() << "qemu-system-x86_64 was not found when the build was configured";
    Qemu qemu(LBW_PROGRAM_CXXSTD_ORDINARY);
    EXPECT_EQ(qemu.wait_exit(), qemu_status(0)) << qemu.output();
    EXPECT_EQ(qemu.output(), "caught x\nlorrinboot: main returned 0\n");
}

} // namespace
} // namespace lbw::test
