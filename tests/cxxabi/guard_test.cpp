// Static guards, static destructors, the pure-virtual trap and the inert entries.
#include "tests/cxxabi/cxxabi_program.h"

namespace lbw::test {
namespace {

using GuardFn = int(uint64_t *);
using GuardVoidFn = void(uint64_t *);
using AtexitFn = int(void (*)(void *), void *, void *);

class GuardTest : public CxxProgramTest {
protected:
    GuardFn *acquire = nullptr;
    GuardVoidFn *release = nullptr;
    GuardVoidFn *abort_ = nullptr;

    void SetUp() override {
        CxxProgramTest::SetUp();
        acquire = fn<GuardFn>("__cxa_guard_acquire");
        release = fn<GuardVoidFn>("__cxa_guard_release");
        abort_ = fn<GuardVoidFn>("__cxa_guard_abort");
    }
};

TEST_F(GuardTest, AFunctionLocalStaticIsInitialisedOnce) {
    auto *value = program_fn<int()>("guarded_value");
    auto *runs = program_fn<int()>("guarded_initialiser_runs");
    EXPECT_EQ(runs(), 0);
    EXPECT_EQ(value(), 41);
    EXPECT_EQ(value(), 41);
    EXPECT_EQ(runs(), 1);
}

TEST_F(GuardTest, AcquireAsksForInitialisationUntilRelease) {
    uint64_t guard = 0;
    EXPECT_EQ(acquire(&guard), 1);
    EXPECT_EQ(acquire(&guard), 1) << "acquire does not change the guard";
    EXPECT_EQ(guard, 0u);
    release(&guard);
    EXPECT_EQ(guard, 1u) << "release sets bit 0 of the first byte only";
    EXPECT_EQ(acquire(&guard), 0);
    EXPECT_EQ(acquire(&guard), 0);
}

TEST_F(GuardTest, AbortLeavesTheGuardClearForARetry) {
    uint64_t guard = 0;
    EXPECT_EQ(acquire(&guard), 1);
    abort_(&guard);
    EXPECT_EQ(guard, 0u);
    EXPECT_EQ(acquire(&guard), 1);
    release(&guard);
    abort_(&guard); // on a set guard it does nothing either
    EXPECT_EQ(guard, 1u);
}

TEST_F(GuardTest, OnlyBitZeroOfTheFirstByteCounts) {
    uint64_t guard = 0xFF;
    EXPECT_EQ(acquire(&guard), 0) << "bit 0 set with other bits too";
    guard = 0xFE;
    EXPECT_EQ(acquire(&guard), 1);
    guard = 0xFFFFFFFFFFFFFF00u; // every other byte set
    EXPECT_EQ(acquire(&guard), 1);
    release(&guard);
    EXPECT_EQ(guard, 0xFFFFFFFFFFFFFF01u);
    guard = 0xAA;
    release(&guard);
    EXPECT_EQ(guard, 0xABu) << "the other bits are kept";
}

TEST_F(GuardTest, AtexitReturnsZeroForAnything) {
    auto *atexit_ = fn<AtexitFn>("__cxa_atexit");
    int object = 0;
    EXPECT_EQ(atexit_(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(atexit_([](void *p) { ++*static_cast<int *>(p); }, &object, &object), 0);
    EXPECT_EQ(object, 0) << "the destructor is not run";
}

TEST_F(GuardTest, StaticObjectsWithDestructorsRegisterWithTheLibrary) {
    // The program's static constructor ran at load time, and the registration of its
    // destructor (with the program's own __dso_handle) succeeded.
    EXPECT_EQ(program_fn<int()>("global_was_constructed")(), 1);
    EXPECT_EQ(program_fn<int()>("local_static_with_destructor")(), 1);
    EXPECT_EQ(program_fn<int()>("local_static_with_destructor")(), 1);
    EXPECT_TRUE(heap().malloc_sizes.empty()) << "registration records nothing";
}

TEST_F(GuardTest, APureVirtualCallHalts) {
    EXPECT_HALTS(program_fn<int()>("make_square")());
    EXPECT_HALTS(fn<void()>("__cxa_pure_virtual")());
}

TEST_F(GuardTest, PersonalityRoutinesAndTheThreadLocalBootstrapAnswerZero) {
    EXPECT_EQ(fn<int()>("__gxx_personality_sj0")(), 0);
    EXPECT_EQ(fn<int()>("__gxx_personality_v0")(), 0);
    EXPECT_EQ(fn<uintptr_t()>("_tlv_bootstrap")(), 0u);
    EXPECT_TRUE(heap().malloc_sizes.empty());
    EXPECT_TRUE(heap().freed.empty());
}

} // namespace
} // namespace lbw::test
