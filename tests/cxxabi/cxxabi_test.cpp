// The allocation and release operators, static guards, static destructors, the
// pure-virtual trap and the inert entries: called by a program's own code (see
// cxxabi_program.cpp) and directly under their exported names.
#include "tests/support/library_test.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lbw::test {
namespace {

using U64s = std::vector<uint64_t>;
using Pointers = std::vector<void *>;
using NewFn = void *(std::size_t);
using DeleteFn = void(void *);
using SizedDeleteFn = void(void *, std::size_t);
using GuardFn = int(uint64_t *);
using GuardVoidFn = void(uint64_t *);

class CxxAbiTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        program = lib().load_program(LBW_PROGRAM_CXXABI_PROGRAM);
    }
    template <class F>
    F *program_fn(const char *name) {
        return reinterpret_cast<F *>(sim::LoadedLibrary::program_symbol(program, name));
    }
    sim::HostHeap &heap() { return host().heap(); }
    void *program = nullptr;
};

TEST_F(CxxAbiTest, NewExpressionsTakeExactlyTheirSizeFromTheHostHeap) {
    char *chars = program_fn<char *(std::size_t)>("new_chars")(10);
    uint64_t *word = program_fn<uint64_t *(uint64_t)>("new_word")(0x1122334455667788);
    ASSERT_TRUE(heap().owns(chars) && heap().owns(word));
    EXPECT_EQ(*word, 0x1122334455667788u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{10, 8}));
    program_fn<void(char *)>("delete_chars")(chars);
    program_fn<void(uint64_t *)>("delete_word")(word);
    EXPECT_EQ(heap().freed, (Pointers{chars, word}));
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(CxxAbiTest, NewOfZeroBytesAsksForOneAndReturnsWhatMallocReturns) {
    char *chars = program_fn<char *(std::size_t)>("new_chars")(0);
    void *block = program_fn<void *(std::size_t)>("operator_new")(0);
    void *array_block = fn<NewFn>("_Znam")(0);
    EXPECT_EQ(heap().malloc_sizes, (U64s{1, 1, 1}));
    for (void *p : {static_cast<void *>(chars), block, array_block}) {
        EXPECT_TRUE(heap().owns(p)) << "the host's block is returned unchanged";
        heap().release(p);
    }
    EXPECT_NE(chars, block);
    static char fixed[32];
    host().set_entry(LM_ENTRY_MALLOC, +[](uint64_t) -> void * { return fixed; });
    EXPECT_EQ(fn<NewFn>("_Znwm")(32), fixed);
    EXPECT_EQ(fn<NewFn>("_Znam")(1), fixed);
}

TEST_F(CxxAbiTest, NewHaltsWithoutMemory) {
    EXPECT_HALTS(program_fn<char *(std::size_t)>("new_chars")(uint64_t{1} << 40)); // too large
    heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(program_fn<uint64_t *(uint64_t)>("new_word")(1));
    EXPECT_HALTS(program_fn<char *(std::size_t)>("new_chars")(0));
    EXPECT_HALTS(fn<NewFn>("_Znwm")(16));
    EXPECT_HALTS(fn<NewFn>("_Znam")(16));
    heap().fail = nullptr;
    host().set_entry(LM_ENTRY_MALLOC, nullptr); // no heap at all
    EXPECT_HALTS(fn<NewFn>("_Znwm")(16));
}

TEST_F(CxxAbiTest, ReleaseOperatorsPassThePointerToFreeWhateverTheSize) {
    program_fn<void(void *, std::size_t)>("release_all_ways")(nullptr, 24);
    fn<DeleteFn>("_ZdlPv")(nullptr);
    fn<DeleteFn>("_ZdaPv")(nullptr);
    fn<SizedDeleteFn>("_ZdlPvm")(nullptr, 0);
    fn<SizedDeleteFn>("_ZdaPvm")(nullptr, 99);
    EXPECT_EQ(heap().freed, Pointers(8, nullptr)) << "null reaches the host's free";
    heap().freed.clear();

    auto *new_ = fn<NewFn>("_Znwm");
    void *a = new_(8), *b = new_(8), *c = new_(8), *d = new_(8);
    program_fn<void(void *, std::size_t)>("release_sized")(a, 8);
    program_fn<void(void *, std::size_t)>("release_array_sized")(b, 0);
    fn<SizedDeleteFn>("_ZdlPvm")(c, ~std::size_t{0});
    fn<SizedDeleteFn>("_ZdaPvm")(d, 12345);
    EXPECT_EQ(heap().freed, (Pointers{a, b, c, d}));
    EXPECT_EQ(heap().bytes_in_use(), 0u);

    void *block = new_(8);
    host().set_entry(LM_ENTRY_FREE, nullptr); // without a host free the release is dropped
    fn<DeleteFn>("_ZdlPv")(block);
    EXPECT_EQ(heap().freed.size(), 4u);
    EXPECT_TRUE(heap().owns(block));
}

TEST_F(CxxAbiTest, PlacementNewAndTheNothrowTagComeFromTheHeaders) {
    char buffer[16];
    EXPECT_EQ(program_fn<const char *(void *, const char *)>("place_text")(buffer, "placed"), buffer);
    EXPECT_STREQ(buffer, "placed");
    EXPECT_TRUE(heap().malloc_sizes.empty());
    // std::nothrow is the library's object: eight zero bytes.
    const void *tag = program_fn<const void *()>("nothrow_tag")();
    EXPECT_EQ(tag, lib().symbol("_ZSt7nothrow"));
    uint64_t bytes;
    std::memcpy(&bytes, tag, sizeof bytes);
    EXPECT_EQ(bytes, 0u);
}

TEST_F(CxxAbiTest, GuardsUseBitZeroOfTheFirstByteOnly) {
    auto *acquire = fn<GuardFn>("__cxa_guard_acquire");
    auto *release = fn<GuardVoidFn>("__cxa_guard_release");
    auto *abort_ = fn<GuardVoidFn>("__cxa_guard_abort");
    uint64_t guard = 0;
    EXPECT_EQ(acquire(&guard), 1);
    EXPECT_EQ(acquire(&guard), 1) << "acquire does not change the guard";
    abort_(&guard);
    EXPECT_EQ(guard, 0u) << "abort leaves the guard clear for a retry";
    EXPECT_EQ(acquire(&guard), 1);
    release(&guard);
    EXPECT_EQ(guard, 1u);
    EXPECT_EQ(acquire(&guard), 0);
    abort_(&guard);
    EXPECT_EQ(acquire(&guard), 0);

    const std::pair<uint64_t, int> acquired[] = {{0xFF, 0}, {0xFE, 1}, {0xFFFFFFFFFFFFFF00u, 1}};
    for (auto [value, expected] : acquired) {
        guard = value;
        EXPECT_EQ(acquire(&guard), expected) << std::hex << value;
    }
    release(&guard);
    EXPECT_EQ(guard, 0xFFFFFFFFFFFFFF01u);
    guard = 0xAA;
    release(&guard);
    EXPECT_EQ(guard, 0xABu) << "the other bits are kept";

    // The compiler's own use: a function-local static initialised once.
    auto *value = program_fn<int()>("guarded_value");
    EXPECT_EQ(program_fn<int()>("guarded_initialiser_runs")(), 0);
    EXPECT_EQ(value(), 41);
    EXPECT_EQ(value(), 41);
    EXPECT_EQ(program_fn<int()>("guarded_initialiser_runs")(), 1);
}

TEST_F(CxxAbiTest, StaticDestructorsAreNeverRecordedNorRun) {
    auto *atexit_ = fn<int(void (*)(void *), void *, void *)>("__cxa_atexit");
    int object = 0;
    EXPECT_EQ(atexit_(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(atexit_([](void *p) { ++*static_cast<int *>(p); }, &object, &object), 0);
    EXPECT_EQ(object, 0) << "the destructor is not run";
    // The program's static constructor ran at load time, and the registration of its
    // destructor (with the program's own __dso_handle) succeeded.
    EXPECT_EQ(program_fn<int()>("global_was_constructed")(), 1);
    EXPECT_EQ(program_fn<int()>("local_static_with_destructor")(), 1);
    EXPECT_EQ(program_fn<int()>("local_static_with_destructor")(), 1);
    EXPECT_TRUE(heap().malloc_sizes.empty()) << "registration records nothing";
}

TEST_F(CxxAbiTest, APureVirtualCallHaltsAndTheInertEntriesAnswerZero) {
    EXPECT_HALTS(program_fn<int()>("make_square")());
    EXPECT_HALTS(fn<void()>("__cxa_pure_virtual")());
    EXPECT_EQ(fn<int()>("__gxx_personality_sj0")(), 0);
    EXPECT_EQ(fn<int()>("__gxx_personality_v0")(), 0);
    EXPECT_EQ(fn<uintptr_t()>("_tlv_bootstrap")(), 0u);
    EXPECT_TRUE(heap().malloc_sizes.empty());
    EXPECT_TRUE(heap().freed.empty());
}

} // namespace
} // namespace lbw::test
