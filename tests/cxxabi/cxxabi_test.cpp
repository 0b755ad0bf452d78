// The allocation and release operators, static guards, static destructors, the
// pure-virtual trap and the inert entries: called by a program's own code (see
// cxxabi_program.cpp) and directly under their exported names.
#include "tests/support/library_test.h"


namespace lbw::test {
namespace {

using U64s = std::vector<uint64_t>;
using Pointers = std::vector<void *>;

class CxxAbiTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        program = lib().load_program(LBW_PROGRAM_CXXABI_PROGRAM);
    }
    template <class F>
    F *call(const char *name) {
        return reinterpret_cast<F *>(simhost::LoadedLibrary::program_symbol(program, name));
    }
    simhost::HostHeap &heap() { return host().heap(); }
    void *program = nullptr;
};

TEST_F(CxxAbiTest, NewTakesExactlyItsSizeFromTheHostHeapAndOneByteForNothing) {
    char *chars = call<char *(std::size_t)>("new_chars")(10);
    uint64_t *word = call<uint64_t *(uint64_t)>("new_word")(0x1122334455667788);
    char *empty = call<char *(std::size_t)>("new_chars")(0);
    void *block = call<void *(std::size_t)>("operator_new")(0);
    EXPECT_EQ(*word, 0x1122334455667788u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{10, 8, 1, 1}));
    for (void *p : {static_cast<void *>(chars), static_cast<void *>(word), static_cast<void *>(empty), block})
        EXPECT_TRUE(heap().owns(p)) << "the host's block is returned unchanged";
    EXPECT_NE(empty, block);
    call<void(char *)>("delete_chars")(chars);
    call<void(uint64_t *)>("delete_word")(word);
    EXPECT_EQ(heap().freed, (Pointers{chars, word}));

    static char fixed[32];
    host().set_entry(LM_ENTRY_MALLOC, +[](uint64_t) -> void * { return fixed; });
    EXPECT_EQ(fn<void *(std::size_t)>("_Znwm")(32), fixed);
    EXPECT_EQ(fn<void *(std::size_t)>("_Znam")(1), fixed);
}

TEST_F(CxxAbiTest, NewHaltsWithoutMemory) {
    EXPECT_HALTS(call<char *(std::size_t)>("new_chars")(uint64_t{1} << 40)); // too large
    heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(call<uint64_t *(uint64_t)>("new_word")(1));
    EXPECT_HALTS(call<char *(std::size_t)>("new_chars")(0));
    heap().fail = nullptr;
    host().set_entry(LM_ENTRY_MALLOC, nullptr); // no heap at all
    EXPECT_HALTS(call<void *(std::size_t)>("operator_new")(16));
}

TEST_F(CxxAbiTest, ReleaseOperatorsPassThePointerToFreeWhateverTheSize) {
    auto *release = call<void(void *, std::size_t, int)>("release");
    const std::size_t sizes[] = {8, 0, ~std::size_t{0}, 12345};
    Pointers blocks;
    for (int how = 0; how < 4; how++) {
        release(nullptr, sizes[how], how);
        blocks.push_back(call<void *(std::size_t)>("operator_new")(8));
    }
    EXPECT_EQ(heap().freed, Pointers(4, nullptr)) << "null reaches the host's free";
    heap().freed.clear();
    for (int how = 0; how < 4; how++)
        release(blocks[how], sizes[how], how);
    EXPECT_EQ(heap().freed, blocks);
    EXPECT_EQ(heap().bytes_in_use(), 0u);

    void *block = call<void *(std::size_t)>("operator_new")(8);
    host().set_entry(LM_ENTRY_FREE, nullptr); // without a host free the release is dropped
    release(block, 8, 0);
    EXPECT_TRUE(heap().owns(block));
}

TEST_F(CxxAbiTest, GuardsUseBitZeroOfTheFirstByteOnly) {
    auto *acquire = fn<int(uint64_t *)>("__cxa_guard_acquire");
    auto *release = fn<void(uint64_t *)>("__cxa_guard_release");
    auto *abort_ = fn<void(uint64_t *)>("__cxa_guard_abort");
    uint64_t guard = 0;
    EXPECT_EQ(acquire(&guard) + acquire(&guard), 2) << "acquire does not change the guard";
    abort_(&guard);
    EXPECT_EQ(guard, 0u) << "abort leaves the guard clear for a retry";
    release(&guard);
    EXPECT_EQ(guard, 1u);
    abort_(&guard);
    EXPECT_EQ(acquire(&guard), 0);
    for (auto [value, expected] : {std::pair<uint64_t, int>{0xFF, 0}, {0xFE, 1}, {0xFFFFFFFFFFFFFF00u, 1}}) {
        guard = value;
        EXPECT_EQ(acquire(&guard), expected) << std::hex << value;
        release(&guard);
        EXPECT_EQ(guard, value | 1) << "the other bits are kept";
    }
    // The compiler's own use: a function-local static initialised once.
    EXPECT_EQ(call<int()>("guarded_initialiser_runs")(), 0);
    EXPECT_EQ(call<int()>("guarded_value")() + call<int()>("guarded_value")(), 82);
    EXPECT_EQ(call<int()>("guarded_initialiser_runs")(), 1);
}

// Placement new, the nothrow tag (the library's object: eight zero bytes), static
// destructors (never recorded, never run) and the inert entries allocate nothing.
TEST_F(CxxAbiTest, PlacementNewNothrowStaticDestructorsAndInertEntries) {
    char buffer[16];
    EXPECT_EQ(call<const char *(void *, const char *)>("place_text")(buffer, "placed"), buffer);
    EXPECT_STREQ(buffer, "placed");
    const void *tag = call<const void *()>("nothrow_tag")();
    EXPECT_EQ(tag, lib().symbol("_ZSt7nothrow"));
    EXPECT_EQ(*static_cast<const uint64_t *>(tag), 0u);
    auto *atexit_ = fn<int(void (*)(void *), void *, void *)>("__cxa_atexit");
    int object = 0;
    EXPECT_EQ(atexit_(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(atexit_([](void *p) { ++*static_cast<int *>(p); }, &object, &object), 0);
    EXPECT_EQ(object, 0) << "the destructor is not run";
    // The program's statics were constructed and the registration of their destructors
    // succeeded, at load time and on first use.
    EXPECT_EQ(call<int()>("statics_constructed")() + call<int()>("statics_constructed")(), 4);
    EXPECT_EQ(fn<int()>("__gxx_personality_sj0")() + fn<int()>("__gxx_personality_v0")(), 0);
    EXPECT_EQ(fn<uintptr_t()>("_tlv_bootstrap")(), 0u);
    EXPECT_TRUE(heap().malloc_sizes.empty() && heap().freed.empty());
}

TEST_F(CxxAbiTest, APureVirtualCallHalts) {
    EXPECT_HALTS(call<int()>("make_square")());
    EXPECT_HALTS(fn<void()>("__cxa_pure_virtual")());
}

} // namespace
} // namespace lbw::test
