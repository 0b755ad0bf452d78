// The exception runtime: the scenarios of a program compiled like any application
// (throw, catch, rethrow, cleanup, termination as compiled C++ code drives them), and
// the entry points called directly. Every test leaves the frame list and the
// caught-exception stack empty.
#include "cxxabi/sjlj_abi.h"
#include "tests/support/library_test.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

LorrinExceptionHeader *header_of(void *object) {
    return static_cast<LorrinExceptionHeader *>(object) - 1;
}
// What landing pads receive and hand back to the runtime.
void *exception_of(void *object) {
    return static_cast<char *>(object) - kExceptionPointerToObject;
}

class ExceptionsTest : public LibraryTest {
protected:
    void TearDown() override {
        LorrinSjLjContext probe{};
        fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Register")(&probe);
        EXPECT_EQ(probe.prev, nullptr) << "frame records left registered";
        fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Unregister")(&probe);
        LorrinExceptionGlobals *globals = fn<LorrinExceptionGlobals *()>("__cxa_get_globals")();
        EXPECT_EQ(globals->caughtExceptions, nullptr) << "exceptions left on the caught stack";
        EXPECT_EQ(globals->uncaughtExceptions, 0u) << "exceptions left in flight";
        LibraryTest::TearDown();
    }
    void *allocate(size_t size) { return fn<void *(size_t)>("__cxa_allocate_exception")(size); }
};

struct Scenario {
    const char *name;
    std::string trace;
};

const Scenario kScenarios[] = {
    {"catch_by_reference_value_and_pointer",
     "ref 7 ~Error copy value 8 ~Error ~Error pointer 42 all ~Error "},
    {"classes_match_along_single_inheritance", "Mid Base grandparent 1 Both Diamond 7 ~Diamond "},
    {"fundamental_types_are_caught_as_themselves", "ffffff int 1234 double char int* 5"},
    {"pointers_references_and_other_kinds_of_values",
     "77 text 5 method 9 aligned 0 42"},
    {"cleanups_run_innermost_first",
     "~3 ~2 ~1 caught 9 ~Error covered ~uncovered passed ~Error 501 cleanups ~Error "},
    {"rethrown_objects_are_destroyed_once",
     "inner outer 12 ~Error ~handler outer 13 ~Error inner outer ~Error chain 16 ~Error "},
    {"exceptions_inside_catch_blocks", "18 19 ~Error ~Error second ~Error outer 1 ~Error "},
    {"partly_constructed_objects_destroy_their_built_members",
     "caught 1| ~Error +a +b -b -a caught 1| ~Error +a +b +c body -c -b -a caught 3| ~Error "
     "+a +b +c body -c -b -a on the heap| ~Error +base -base derived| ~Error ctor-handler guarded~Error "},
    {"each_call_site_has_its_own_pad",
     "~t3 ~t2 ~t1 =0| ~t1 ~Error =1| ~t2 ~t1 ~Error =2| ~t3 ~t2 ~t1 ~Error =3| ~t3 ~t2 ~t1 ~Error =4| "
     "~t3 ~t2 ~t1 ~Error =5| "},
    {"a_destructor_that_throws_from_a_handler", "handling ~throwing ~Error outer 30| ~Error "},
    {"statics_initialised_again_after_a_throw", "first failed ~Error 2 2 2"},
    {"dynamic_cast_and_typeid", "111111111111111111 std::bad_cast std::bad_typeid"},
    {"setjmp_returns_the_longjmp_value", "7 1 -3 43"},
    // The dynamic type's name and what() caught as std::exception, as itself, as its parent.
    {"standard_classes_with_messages",
     "St11logic_error logic logic logic| St12domain_error domain domain domain| "
     "St16invalid_argument invalid invalid invalid| St12length_error length length length| "
     "St12out_of_range range range range| St13runtime_error runtime runtime runtime| "
     "St11range_error result result result| St14overflow_error over over over| "
     "St15underflow_error under under under| "},
    {"standard_classes_with_fixed_texts",
     "St9exception std::exception std::exception std::exception| "
     "St13bad_exception std::bad_exception std::bad_exception std::bad_exception| "
     "St8bad_cast std::bad_cast std::bad_cast std::bad_cast| "
     "St10bad_typeid std::bad_typeid std::bad_typeid std::bad_typeid| "
     "St9bad_alloc std::bad_alloc std::bad_alloc std::bad_alloc| St20bad_array_new_length "
     "std::bad_array_new_length std::bad_array_new_length std::bad_array_new_length| "},
    {"messages_outlive_their_origin", "original original before| original original| [] by value"},
    {"exception_pointers", "outside handlers: none| round 1: kept| round 2: kept| again while handled: outer| "
                           "made: pointer| dropped, copy holds"},
    {"uncaught_exceptions", "before 0| inner destructor 2| inner handler 1| destructor 1| "
                            "handler 0, handling St13runtime_error, on the stack| after 0, nothing handled"},
    {"assertion_under_ndebug", "not checked"},
};

// The program's main runs every scenario and prints its name and trace, one a line.
TEST_F(ExceptionsTest, ScenariosTraceWhatRan) {
    load_program(LBW_PROGRAM_EXCEPTIONS_PROGRAM);
    uint64_t heap = host().heap().bytes_in_use();
    ASSERT_EQ(program_fn<int()>("main")(), 0);
    EXPECT_EQ(host().heap().bytes_in_use(), heap) << "every exception and message is freed";
    const std::vector<std::string> &lines = host().console().lines;
    EXPECT_EQ(lines.size(), std::size(kScenarios));
    for (const Scenario &scenario : kScenarios) {
        std::string name = scenario.name + std::string(": ");
        auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string &l) { return l.rfind(name, 0) == 0; });
        EXPECT_EQ(line == lines.end() ? "<not run>" : line->substr(name.size()), scenario.trace) << scenario.name;
    }
}

// What ran before the machine stopped, as the trace and the console reach stderr: no
// cleanup; a terminate handler and a failed assertion write first.
TEST_F(ExceptionsTest, TerminationRunsNoCleanup) {
    load_program(LBW_PROGRAM_EXCEPTIONS_PROGRAM);
    host().console().echo = stderr;
    program_fn<void(void (*)(const char *))>("trace_set_sink")([](const char *token) {
        std::fputs(token, stderr);
        std::fflush(stderr);
    });
    const std::pair<const char *, const char *> cases[] = {
        {"throw_uncaught", "^throwing $"}, {"rethrow_uncaught", "^rethrowing $"},
        {"noexcept_violation", "^$"},      {"throw_from_destructor_during_unwind", "^~throwing $"},
        {"terminate_with_handler", "^default is abort: 1 handler installed $"}, {"pure_virtual_call", "^$"},
        {"failed_assertion", "^[^\n]*tests/exceptions/programs/standard.cpp:[0-9]+: failed_assertion: "
                             "Assertion `strlen\\(\"four\"\\) == 5. failed.\n$"},
    };
    for (auto [scenario, output] : cases)
        EXPECT_EXIT(program_fn<void()>(scenario)(), ::testing::KilledBySignal(SIGSEGV), output) << scenario;
}

using RuntimeTest = ExceptionsTest;

TEST_F(RuntimeTest, AllocationZeroesHeaderAndObject) {
    void *dirty = fn<void *(size_t)>("malloc")(200);
    std::memset(dirty, 0xAA, 200);
    fn<void(void *)>("free")(dirty);
    for (size_t size : {100, 0}) {
        auto *object = static_cast<unsigned char *>(allocate(size));
        size_t block = sizeof(LorrinExceptionHeader) + (size ? size : 1); // an empty object gets one byte
        EXPECT_EQ(host().heap().malloc_sizes.back(), block);
        auto *bytes = reinterpret_cast<unsigned char *>(header_of(object));
        EXPECT_EQ(std::count(bytes, bytes + block, 0), static_cast<long>(block));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 16, 0u);
        fn<void(void *)>("__cxa_free_exception")(object);
        EXPECT_EQ(host().heap().freed.back(), header_of(object));
    }
    fn<void(void *)>("__cxa_free_exception")(nullptr);
    EXPECT_EQ(host().heap().freed.size(), 3u);
}

// The allocation operators take exactly the size from the host's heap (one byte for
// nothing) and halt without memory; the release operators hand any pointer to free.
TEST_F(RuntimeTest, AllocationOperatorsUseTheHostHeap) {
    std::vector<void *> blocks = {fn<void *(size_t)>("_Znwm")(10), fn<void *(size_t)>("_Znam")(0),
                                  fn<void *(size_t)>("_Znwm")(0)};
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{10, 1, 1}));
    for (void *block : blocks)
        EXPECT_TRUE(host().heap().owns(block)) << "the host's block is returned unchanged";
    fn<void(void *)>("_ZdlPv")(blocks[0]);
    fn<void(void *)>("_ZdaPv")(blocks[1]);
    fn<void(void *, size_t)>("_ZdlPvm")(blocks[2], ~size_t{0});
    fn<void(void *, size_t)>("_ZdaPvm")(nullptr, 8);
    blocks.push_back(nullptr);
    EXPECT_EQ(host().heap().freed, blocks);
    EXPECT_EQ(var<uint64_t>("_ZSt7nothrow"), 0u) << "the nothrow tag: eight zero bytes";
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(fn<void *(size_t)>("_Znam")(8));
    host().heap().fail = nullptr;
}

// Bit 0 of a guard's first byte alone says "initialised"; abort leaves the guard clear.
// Static destructors are dropped. (The programs' statics use both as compiled code does.)
TEST_F(RuntimeTest, GuardsAndStaticDestructors) {
    auto acquire = fn<int(uint64_t *)>("__cxa_guard_acquire");
    for (auto [value, first] : {std::pair<uint64_t, int>{0, 1}, {0xFF, 0}, {0xFE, 1}, {~uint64_t{0xFF}, 1}}) {
        uint64_t guard = value;
        EXPECT_EQ(acquire(&guard) + acquire(&guard), 2 * first) << std::hex << value;
        fn<void(uint64_t *)>("__cxa_guard_abort")(&guard);
        EXPECT_EQ(guard, value);
        fn<void(uint64_t *)>("__cxa_guard_release")(&guard);
        EXPECT_EQ(guard, value | 1);
        EXPECT_EQ(acquire(&guard), 0);
    }
    int object = 0;
    auto destroy = [](void *p) { ++*static_cast<int *>(p); };
    EXPECT_EQ(fn<int(void (*)(void *), void *, void *)>("__cxa_atexit")(destroy, &object, &object), 0);
    EXPECT_EQ(object, 0) << "the destructor is not run";
    EXPECT_EQ(fn<int()>("__gxx_personality_sj0")() + fn<int()>("__gxx_personality_v0")(), 0);
    EXPECT_EQ(fn<uintptr_t()>("_tlv_bootstrap")(), 0u);
}

uintptr_t gNextBlock;

// No memory, a size that overflows with the header, or a block not wholly below 4 GiB
// (which a landing pad could not receive) end in terminate; the block goes back.
TEST_F(RuntimeTest, AllocationFailuresTerminate) {
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(allocate(16));
    host().heap().fail = nullptr;
    EXPECT_HALTS(allocate(SIZE_MAX - sizeof(LorrinExceptionHeader) + 1));
    host().set_entry(LM_ENTRY_MALLOC, +[](uint64_t) { return reinterpret_cast<void *>(gNextBlock); });
    host().set_entry(LM_ENTRY_FREE, +[](void *block) { std::fprintf(stderr, "freed %p", block); });
    for (auto [address, report] : {std::pair{0x100000000ul, "^freed 0x100000000$"}, {0xFFFFFFF0ul, "^freed 0xfffffff0$"}}) {
        gNextBlock = address; // above, and across 4 GiB
        EXPECT_EXIT(allocate(8), ::testing::KilledBySignal(SIGSEGV), report);
    }
    host().reset();
}

// The scenarios cover nesting and rethrows; these are the calls no compiled code makes.
TEST_F(RuntimeTest, CatchingNothingAndEndingNothingChangeNothing) {
    auto begin_catch = fn<void *(void *)>("__cxa_begin_catch");
    auto end_catch = fn<void()>("__cxa_end_catch");
    EXPECT_EQ(begin_catch(nullptr), nullptr);
    end_catch();
    static std::vector<void *> destroyed;
    void *object = allocate(4);
    header_of(object)->exceptionDestructor = [](void *o) { destroyed.push_back(o); };
    EXPECT_EQ(begin_catch(exception_of(object)), object);
    end_catch();
    end_catch();
    EXPECT_EQ(destroyed, std::vector<void *>{object});
    EXPECT_EQ(host().heap().freed, std::vector<void *>{header_of(object)});
}

TEST_F(RuntimeTest, FramesUnregisterInAnyOrder) {
    auto push = fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Register");
    auto pop = fn<void(LorrinSjLjContext *)>("_Unwind_SjLj_Unregister");
    LorrinSjLjContext a{}, b{}, stranger{}, probe{};
    a.callSite = 3;
    push(&a);
    push(&b);
    EXPECT_EQ(b.prev, &a);
    EXPECT_EQ(a.callSite, 3) << "registering touches only the link";
    stranger.prev = &a;
    pop(&stranger); // never registered: nothing changes
    pop(&a);        // unlinked from behind b
    EXPECT_EQ(b.prev, nullptr);
    push(&probe);
    EXPECT_EQ(probe.prev, &b);
    pop(&probe);
    pop(&b);
}

TEST_F(RuntimeTest, NullsAndTerminationPaths) {
    auto dynamic_cast_fn = fn<void *(const void *, const void *, const void *, ptrdiff_t)>("__dynamic_cast");
    int object = 0;
    EXPECT_EQ(dynamic_cast_fn(nullptr, nullptr, lib().symbol("_ZTIi"), 0), nullptr);
    EXPECT_EQ(dynamic_cast_fn(&object, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(fn<void *(void *)>("__cxa_get_exception_ptr")(nullptr), nullptr);

    // Nothing handled, forced unwinding, the table-driven model; and the empty frame list.
    for (const char *name : {"_ZSt9terminatev", "__cxa_bad_cast", "__cxa_bad_typeid", "__cxa_deleted_virtual",
                             "__cxa_throw_bad_array_new_length", "__cxa_rethrow", "__cxa_pure_virtual",
                             "_Unwind_SjLj_ForcedUnwind", "_Unwind_Resume"})
        EXPECT_HALTS(fn<void()>(name)()) << name;
    void *thrown = allocate(sizeof(int));
    EXPECT_HALTS(fn<void(void *, const void *, void *)>("__cxa_throw")(thrown, lib().symbol("_ZTIi"), nullptr));
    for (const char *name : {"_Unwind_SjLj_RaiseException", "_Unwind_SjLj_Resume", "_Unwind_SjLj_Resume_or_Rethrow",
                             "__clang_call_terminate"})
        EXPECT_HALTS(fn<void(void *)>(name)(exception_of(thrown))) << name;
    EXPECT_HALTS(fn<void(void *)>("_Unwind_SjLj_Resume")(nullptr));
    fn<void(void *)>("__cxa_free_exception")(thrown);
}

} // namespace
} // namespace lbw::test
