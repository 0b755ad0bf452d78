// Throw, catch, rethrow, cleanup and termination as compiled C++ code drives them.
#include "tests/exceptions/exceptions_fixture.h"

#include <string>
#include <utility>

namespace lbw::test {
namespace {

using Traced = std::pair<int, std::string>;

class ThrowCatchTest : public ExceptionsTest {
protected:
    // Runs a scenario from an empty trace: its result and what it traced.
    template <class... Args>
    Traced traced(const char *scenario, Args... args) {
        program_fn<void()>("trace_clear")();
        int result = program_fn<int(Args...)>(scenario)(args...);
        return {result, trace()};
    }
    void TearDown() override {
        EXPECT_EQ(host().heap().bytes_in_use(), heap_baseline) << "every exception is freed";
        ExceptionsTest::TearDown();
    }
};

TEST_F(ThrowCatchTest, ClassesAreCaughtByReferenceValueAndPointer) {
    EXPECT_EQ(traced("catch_by_reference"), Traced(7, "caught ~Error "));
    EXPECT_EQ(traced("catch_by_value"), Traced(8, "copy caught ~Error ~Error "));
    EXPECT_EQ(run("catch_by_pointer"), 42); // the handler sees the thrown pointer
    EXPECT_EQ(traced("catch_polymorphic"), Traced(2, "caught ~DiskFailure ~Failure "));
    EXPECT_EQ(traced("catch_all"), Traced(2, "all ~Error "));
}

TEST_F(ThrowCatchTest, ClassesMatchAlongSingleInheritanceOnly) {
    EXPECT_EQ(run("catch_leaf_as_base"), 1);
    EXPECT_EQ(program_fn<int(int)>("first_matching_clause")(0), 12); // a Leaf as a Mid, first of two
    EXPECT_EQ(program_fn<int(int)>("first_matching_clause")(1), 1);  // a Base is not a Mid
    EXPECT_EQ(run("catch_multiple_inheritance"), 6);                 // only as itself
}

TEST_F(ThrowCatchTest, FundamentalTypesAndPointersAreCaughtAsThemselves) {
    EXPECT_EQ(run("catch_fundamental_types"), (1 << 24) - 1);
    EXPECT_EQ(run("catch_distinct_types"), 0xF);
    EXPECT_EQ(run("catch_int_by_const_reference"), 77);
    EXPECT_EQ(run("catch_string_literal"), 1);
    EXPECT_EQ(run("catch_pointer_by_reference"), 5);
}

TEST_F(ThrowCatchTest, CleanupsRunInnermostFirstAndUncoveredFramesArePassed) {
    EXPECT_EQ(traced("cleanups_innermost_first"), Traced(9, "~3 ~2 ~1 caught ~Error "));
    // Only the handler's own frame is still registered inside the catch block.
    EXPECT_EQ(traced("frames_left_in_handler"), Traced(111, "covered ~inner caught ~Error "));
}

TEST_F(ThrowCatchTest, RethrownObjectsAreDestroyedOnce) {
    EXPECT_EQ(traced("rethrow_to_outer"), Traced(12, "inner outer ~Error "));
    EXPECT_EQ(traced("rethrow_across_frames"), Traced(13, "~handler outer ~Error "));
    // catch (...) { try { throw; } catch (...) {} }: the outer catch still owns the object.
    EXPECT_EQ(traced("rethrow_caught_inside_own_handler"), Traced(0, "inner outer ~Error "));
    EXPECT_EQ(traced("nested_rethrows"), Traced(15, "inner outer ~Error "));
}

TEST_F(ThrowCatchTest, ExceptionsInsideCatchBlocks) {
    EXPECT_EQ(traced("nested_handlers"), Traced(1819, "inner ~Error ~Error "));
    EXPECT_EQ(traced("rethrow_after_nested_handler"), Traced(1, "second ~Error outer ~Error "));
    EXPECT_EQ(traced("rethrow_through_levels", 50).first, 70);
}

TEST_F(ThrowCatchTest, DeepRecursionRunsEveryCleanup) {
    std::string tildes(501, '~');
    EXPECT_EQ(traced("deep_recursion", 500, 0), Traced(500, tildes));
    EXPECT_EQ(traced("deep_recursion", 500, 1), Traced(20, tildes + "~Error "));
}

// Members and bases built before a constructor throws are destroyed in reverse order; the
// object's own destructor never runs.
TEST_F(ThrowCatchTest, PartlyConstructedObjectsDestroyTheirBuiltMembers) {
    const Traced expected[] = {{1, "caught ~Error "},
                               {1, "+a -a caught ~Error "},
                               {1, "+a +b -b -a caught ~Error "},
                               {1, "+a +b +c -c -b -a caught ~Error "},
                               {2, "+a +b +c +d body -d -c -b -a caught ~Error "}};
    for (int onHeap : {0, 1})
        for (int failing = 0; failing < 5; ++failing)
            EXPECT_EQ(traced("partly_constructed", failing, onHeap), expected[failing]) << failing << onHeap;
    EXPECT_EQ(traced("partly_constructed_derived"), Traced(1, "+base -base caught ~Error "));
    EXPECT_EQ(traced("function_try_block"), Traced(1, "ctor-handler caught ~Error "));
}

TEST_F(ThrowCatchTest, EachCallSiteOfAFunctionHasItsOwnPad) {
    const Traced pads[] = {{0, "~t3 ~t2 ~t1 "}, {1, "~t1 caught ~Error "}, {2, "~t2 ~t1 caught ~Error "},
                           {3, "~t3 ~t2 ~t1 caught ~Error "}, {4, "~t3 ~t2 ~t1 caught ~Error "},
                           {5, "~t3 ~t2 ~t1 caught ~Error "}};
    for (int which = 0; which < 6; ++which)
        EXPECT_EQ(traced("several_landing_pads", which), pads[which]) << which;
    EXPECT_EQ(traced("nested_try_blocks", 0), Traced(0, ""));
    // A throw inside a catch block ends the first exception before the second is caught.
    EXPECT_EQ(traced("nested_try_blocks", 1), Traced(20, "inner ~Error middle ~Error "));
    EXPECT_EQ(traced("nested_try_blocks", 3), Traced(330, "middle ~Error outer ~Error "));
}

TEST_F(ThrowCatchTest, DestructorsThatThrowOrCatch) {
    // Leaving a catch-all block through a throwing destructor ends the first exception.
    EXPECT_EQ(traced("throw_from_destructor_in_catch_all"), Traced(30, "handling ~throwing ~Error outer ~Error "));
    // A destructor run by the unwinder may throw and catch inside itself.
    EXPECT_EQ(traced("throw_and_catch_inside_destructor_during_unwind"), Traced(2, "~t quiet ~Error caught ~Error "));
}

TEST_F(ThrowCatchTest, ArraysStaticsVirtualBasesAndOtherThrownKinds) {
    host().heap().malloc_sizes.clear();
    EXPECT_EQ(traced("array_cookie", 4), Traced(600, "++++----"));
    EXPECT_EQ(host().heap().malloc_sizes, std::vector<uint64_t>{8 + 4 * 4}) << "count cookie and elements";
    EXPECT_EQ(traced("array_constructor_throws", 4, -1), Traced(0, "++++----"));
    EXPECT_EQ(traced("array_constructor_throws", 4, 0), Traced(50, "caught ~Error "));
    EXPECT_EQ(traced("array_constructor_throws", 4, 2), Traced(50, "++--caught ~Error "));
    EXPECT_EQ(run("static_initialisation_retried"), 1);
    EXPECT_EQ(traced("catch_virtual_base_class"), Traced(7123, "caught ~Diamond ")); // as itself
    EXPECT_EQ(run("other_kinds"), 0x3F); // enum, member pointers, function pointer, aligned class
}

TEST_F(ThrowCatchTest, DynamicCastAndTypeid) {
    EXPECT_EQ(run("dynamic_cast_results"), (1 << run("dynamic_cast_check_count")) - 1);
    EXPECT_EQ(run("dynamic_cast_to_void"), 1);
    EXPECT_EQ(run("typeid_comparisons"), 0x1F);
}

TEST_F(ThrowCatchTest, SetjmpReturnsTheLongjmpValue) {
    auto setjmp_result = program_fn<int(int, int)>("setjmp_result");
    EXPECT_EQ(setjmp_result(7, 0), 7);
    EXPECT_EQ(setjmp_result(0, 0), 1);
    EXPECT_EQ(setjmp_result(-3, 20), -3);
    EXPECT_EQ(run("setjmp_loop"), 43);
    EXPECT_EQ(run("setjmp_direct"), 0);
}

// The trace reaches stderr: what ran before the machine stopped.
TEST_F(ThrowCatchTest, TerminationRunsNoCleanup) {
    trace_to_stderr();
    const std::pair<const char *, const char *> cases[] = {
        {"throw_uncaught", "^throwing $"},
        {"rethrow_uncaught", "^rethrowing $"},
        {"noexcept_violation", "^$"},
        {"throw_from_destructor_during_unwind", "^~throwing $"},
        {"failed_reference_cast", "^$"},
        {"typeid_of_null", "^$"},
    };
    for (auto [scenario, output] : cases)
        EXPECT_EXIT(run(scenario), ::testing::KilledBySignal(SIGSEGV), output) << scenario;
}

} // namespace
} // namespace lbw::test
