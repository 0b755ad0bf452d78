// Throw, catch, rethrow, cleanup and termination as compiled C++ code drives them.
#include "tests/exceptions/exceptions_fixture.h"

#include <string>

namespace lbw::test {
namespace {

// Every scenario runs in the program built optimised and built without optimisation:
// the landing-pad code differs, the protocol must not.
class ThrowCatchTest : public ExceptionsTest, public ::testing::WithParamInterface<const char *> {
protected:
    const char *program_path() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Builds, ThrowCatchTest,
                         ::testing::Values(LBW_PROGRAM_EXCEPTIONS_PROGRAM, LBW_PROGRAM_EXCEPTIONS_PROGRAM_O0),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return info.index == 0 ? "Optimised" : "Unoptimised";
                         });

size_t count_of(const std::string &text, const std::string &token) {
    size_t count = 0;
    for (size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + token.size()))
        ++count;
    return count;
}

TEST_P(ThrowCatchTest, ClassCaughtByReferenceIsDestroyedAndFreedOnce) {
    EXPECT_EQ(run("catch_by_reference"), 7);
    EXPECT_EQ(trace(), "caught ~Error ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, ClassCaughtByValueIsACopy) {
    EXPECT_EQ(run("catch_by_value"), 8);
    EXPECT_EQ(trace(), "copy caught ~Error ~Error ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, PointerHandlersSeeTheThrownPointer) {
    EXPECT_EQ(run("catch_by_pointer"), 42);
    EXPECT_EQ(run("catch_string_literal"), 1);
    EXPECT_EQ(run("catch_pointer_to_int"), 5);
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, DerivedIsCaughtAsEachAncestorOfItsSingleInheritanceChain) {
    EXPECT_EQ(run("catch_leaf_as_base"), 1);
    EXPECT_EQ(program_fn<int(int)>("catch_derived_as")(0), 2);
    EXPECT_EQ(program_fn<int(int)>("catch_derived_as")(1), 12);
    EXPECT_EQ(run("base_is_not_caught_as_leaf"), 2);
}

TEST_P(ThrowCatchTest, PolymorphicClassIsCaughtAsItsBaseAndDestroyedCompletely) {
    EXPECT_EQ(run("catch_polymorphic"), 2);
    EXPECT_EQ(trace(), "caught ~DiskFailure ~Failure ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, MultipleInheritanceClassIsCaughtOnlyAsItself) {
    EXPECT_EQ(run("catch_multiple_inheritance"), 6);
}

TEST_P(ThrowCatchTest, CatchAllAcceptsAnyType) {
    EXPECT_EQ(run("catch_all"), 2);
    EXPECT_EQ(trace(), "all ~Error ");
}

TEST_P(ThrowCatchTest, FirstMatchingClauseWins) {
    EXPECT_EQ(program_fn<int(int)>("first_matching_clause")(0), 1);
    EXPECT_EQ(program_fn<int(int)>("first_matching_clause")(1), 2);
}

TEST_P(ThrowCatchTest, CleanupsRunInnermostFirst) {
    EXPECT_EQ(run("cleanups_innermost_first"), 9);
    EXPECT_EQ(trace(), "~3 ~2 ~1 caught ~Error ");
}

TEST_P(ThrowCatchTest, FramesWithoutACoveringEntryArePassedAndRemoved) {
    // Only the handler's own frame is still registered inside the catch block.
    EXPECT_EQ(run("frames_left_in_handler"), 111);
    EXPECT_EQ(trace(), "covered ~inner caught ~Error ");
}

TEST_P(ThrowCatchTest, RethrowReachesTheOuterHandlerAndDestroysOnce) {
    EXPECT_EQ(run("rethrow_to_outer"), 12);
    EXPECT_EQ(trace(), "inner outer ~Error ");
    program_fn<void()>("trace_clear")();
    EXPECT_EQ(run("rethrow_across_frames"), 13);
    EXPECT_EQ(trace(), "~handler outer ~Error ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

// catch (...) { try { throw; } catch (...) {} }: the inner handler holds the same
// object as the outer one, which still owns it after the inner catch ends.
TEST_P(ThrowCatchTest, RethrowCaughtInsideItsOwnHandlerIsDestroyedOnce) {
    EXPECT_EQ(run("rethrow_caught_inside_own_handler"), 0);
    EXPECT_EQ(trace(), "inner outer ~Error ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
    program_fn<void()>("trace_clear")();
    EXPECT_EQ(run("nested_rethrows"), 15);
    EXPECT_EQ(trace(), "inner outer ~Error ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, ThrowInsideACatchBlockEndsTheFirstException) {
    EXPECT_EQ(run("throw_inside_catch"), 17);
    EXPECT_EQ(trace(), "replacing ~Error other ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, NestedHandlersEndInReverseOrder) {
    EXPECT_EQ(run("nested_handlers"), 1819);
    EXPECT_EQ(trace(), "inner ~Error ~Error ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, DeepRecursionRunsEveryCleanup) {
    EXPECT_EQ(program_fn<int(int, int)>("deep_recursion")(500, 0), 500);
    EXPECT_EQ(count_of(trace(), "~"), 501u);
    program_fn<void()>("trace_clear")();
    EXPECT_EQ(program_fn<int(int, int)>("deep_recursion")(500, 1), 20);
    std::string text = trace();
    EXPECT_EQ(count_of(text, "~"), 502u); // 501 frames, then the Error
    EXPECT_EQ(text.substr(text.size() - 7), "~Error ");
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, FundamentalTypesAreThrownAndCaught) {
    EXPECT_EQ(run("catch_int"), 1234);
    EXPECT_EQ(run("catch_int_by_const_reference"), 77);
    EXPECT_EQ(run("catch_double"), 25);
    EXPECT_EQ(run("catch_char_types"), 5);
    EXPECT_EQ(run("catch_integer_types"), 8);
    EXPECT_EQ(run("catch_other_types"), 5);
    EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline);
}

TEST_P(ThrowCatchTest, DynamicCastFollowsSingleInheritanceChains) {
    int count = run("dynamic_cast_check_count");
    int expected = (1 << count) - 1;
    EXPECT_EQ(run("dynamic_cast_results"), expected);
}

TEST_P(ThrowCatchTest, UncaughtExceptionTerminatesBeforeAnyCleanup) {
    trace_to_stderr();
    EXPECT_EXIT(run("throw_uncaught"), ::testing::KilledBySignal(SIGSEGV), "^throwing $");
}

TEST_P(ThrowCatchTest, UncaughtRethrowTerminatesBeforeAnyCleanup) {
    trace_to_stderr();
    EXPECT_EXIT(run("rethrow_uncaught"), ::testing::KilledBySignal(SIGSEGV), "^rethrowing $");
}

TEST_P(ThrowCatchTest, NoexceptViolationTerminates) {
    trace_to_stderr();
    EXPECT_EXIT(run("noexcept_violation"), ::testing::KilledBySignal(SIGSEGV), "^$");
}

TEST_P(ThrowCatchTest, FailedReferenceCastTerminates) {
    EXPECT_HALTS(run("failed_reference_cast"));
}

TEST_P(ThrowCatchTest, SetjmpReturnsTheLongjmpValue) {
    auto setjmp_result = program_fn<int(int, int)>("setjmp_result");
    EXPECT_EQ(setjmp_result(7, 0), 7);
    EXPECT_EQ(setjmp_result(0, 0), 1);
    EXPECT_EQ(setjmp_result(-3, 20), -3);
    EXPECT_EQ(run("setjmp_loop"), 43);
    EXPECT_EQ(run("setjmp_direct"), 0);
}

} // namespace
} // namespace lbw::test
