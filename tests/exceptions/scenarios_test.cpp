// Throw, catch, rethrow, cleanup and termination as compiled C++ code drives them: each
// scenario of the exceptions program and what it traced.
#include "tests/exceptions/exceptions.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace lbw::test {
namespace {

struct Scenario {
    const char *name;
    std::string trace;
};

const Scenario kScenarios[] = {
    {"catch_by_reference_value_and_pointer",
     "ref 7 ~Error copy value 8 ~Error ~Error pointer 42 virtual 2 ~DiskFailure ~Failure all ~Error "},
    {"classes_match_along_single_inheritance", "Mid Base grandparent 1 Both Diamond 7 ~Diamond "},
    {"fundamental_types_are_caught_as_themselves", "ffffff int 1234 double char int* 5"},
    {"pointers_references_and_other_kinds_of_values",
     "77 text 5 enum 4 member 9 method 9 function 11 aligned 0 42"},
    {"cleanups_run_innermost_first",
     "~3 ~2 ~1 caught 9 ~Error covered ~uncovered frames 1 ~Error 501 cleanups ~Error "},
    {"rethrown_objects_are_destroyed_once",
     "inner outer 12 ~Error ~handler outer 13 ~Error inner outer ~Error chain 16 ~Error "},
    {"exceptions_inside_catch_blocks", "18 19 ~Error ~Error second ~Error outer 1 ~Error "},
    {"partly_constructed_objects_destroy_their_built_members",
     "caught 1| ~Error +a +b -b -a caught 1| ~Error +a +b +c body -c -b -a caught 3| ~Error "
     "+a +b +c body -c -b -a on the heap| ~Error +base -base derived| ~Error ctor-handler guarded~Error "},
    {"each_call_site_has_its_own_pad",
     "~t3 ~t2 ~t1 =0| ~t1 ~Error =1| ~t2 ~t1 ~Error =2| ~t3 ~t2 ~t1 ~Error =3| ~t3 ~t2 ~t1 ~Error =4| "
     "~t3 ~t2 ~t1 ~Error =5| "},
    {"destructors_that_throw_or_catch", "handling ~throwing ~Error outer 30| ~Error ~t quiet ~Error caught 2~Error "},
    {"statics_initialised_again_after_a_throw", "first failed ~Error 2 2 2"},
    {"dynamic_cast_and_typeid", "1111111111111"},
    {"setjmp_returns_the_longjmp_value", "7 1 -3 43"},
};

// The program's main runs every scenario and prints its name and trace, one a line.
TEST_F(ExceptionsTest, ScenariosTraceWhatRan) {
    load_program(LBW_PROGRAM_EXCEPTIONS_PROGRAM);
    uint64_t heap = host().heap().bytes_in_use();
    ASSERT_EQ(program_fn<int()>("main")(), 0);
    EXPECT_EQ(host().heap().bytes_in_use(), heap) << "every exception is freed";
    const std::vector<std::string> &lines = host().console().lines;
    EXPECT_EQ(lines.size(), std::size(kScenarios));
    for (const Scenario &scenario : kScenarios) {
        std::string name = scenario.name + std::string(": ");
        auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string &l) { return l.rfind(name, 0) == 0; });
        EXPECT_EQ(line == lines.end() ? "<not run>" : line->substr(name.size()), scenario.trace) << scenario.name;
    }
}

// What ran before the machine stopped, as the trace reaches stderr: no cleanup.
TEST_F(ExceptionsTest, TerminationRunsNoCleanup) {
    load_program(LBW_PROGRAM_EXCEPTIONS_PROGRAM);
    program_fn<void(void (*)(const char *))>("trace_set_sink")([](const char *token) {
        std::fputs(token, stderr);
        std::fflush(stderr);
    });
    const std::pair<const char *, const char *> cases[] = {
        {"throw_uncaught", "^throwing $"}, {"rethrow_uncaught", "^rethrowing $"},
        {"noexcept_violation", "^$"},      {"throw_from_destructor_during_unwind", "^~throwing $"},
        {"failed_reference_cast", "^$"},   {"typeid_of_null", "^$"},
    };
    for (auto [scenario, output] : cases)
        EXPECT_EXIT(program_fn<void()>(scenario)(), ::testing::KilledBySignal(SIGSEGV), output) << scenario;
}

} // namespace
} // namespace lbw::test
