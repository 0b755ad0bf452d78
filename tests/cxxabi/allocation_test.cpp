// The allocation and release operators, called by a program's new- and delete-expressions
// and directly under their mangled names.
#include "tests/cxxabi/cxxabi_program.h"

#include <cstring>

namespace lbw::test {
namespace {

using U64s = std::vector<uint64_t>;
using Pointers = std::vector<void *>;
using NewFn = void *(std::size_t);
using DeleteFn = void(void *);
using SizedDeleteFn = void(void *, std::size_t);

class AllocationTest : public CxxProgramTest {};

TEST_F(AllocationTest, NewExpressionsTakeExactlyTheirSizeFromTheHostHeap) {
    char *chars = program_fn<char *(std::size_t)>("new_chars")(10);
    uint64_t *word = program_fn<uint64_t *(uint64_t)>("new_word")(0x1122334455667788);
    EXPECT_TRUE(heap().owns(chars));
    ASSERT_TRUE(heap().owns(word));
    EXPECT_EQ(*word, 0x1122334455667788u);
    EXPECT_EQ(heap().malloc_sizes, (U64s{10, 8}));
    program_fn<void(char *)>("delete_chars")(chars);
    program_fn<void(uint64_t *)>("delete_word")(word);
    EXPECT_EQ(heap().freed, (Pointers{chars, word}));
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(AllocationTest, NewOfZeroBytesAsksTheHostForOneByte) {
    char *chars = program_fn<char *(std::size_t)>("new_chars")(0);
    void *block = program_fn<void *(std::size_t)>("operator_new")(0);
    void *array_block = fn<NewFn>("_Znam")(0);
    EXPECT_EQ(heap().malloc_sizes, (U64s{1, 1, 1}));
    for (void *p : {static_cast<void *>(chars), block, array_block}) {
        EXPECT_TRUE(heap().owns(p)) << "the host's block is returned unchanged";
        heap().release(p);
    }
    EXPECT_NE(chars, block);
}

TEST_F(AllocationTest, NewReturnsWhatMallocReturns) {
    // Whatever the host hands out, new passes on: here a block of the host's own making.
    static char fixed[32];
    host().set_entry(LM_ENTRY_MALLOC, +[](uint64_t) -> void * { return fixed; });
    EXPECT_EQ(fn<NewFn>("_Znwm")(32), fixed);
    EXPECT_EQ(fn<NewFn>("_Znam")(1), fixed);
}

TEST_F(AllocationTest, NewHaltsWhenTheHostHeapIsExhausted) {
    heap().fail = [](uint64_t) { return true; };
    EXPECT_HALTS(program_fn<uint64_t *(uint64_t)>("new_word")(1));
    EXPECT_HALTS(program_fn<char *(std::size_t)>("new_chars")(0));
    EXPECT_HALTS(fn<NewFn>("_Znwm")(16));
    EXPECT_HALTS(fn<NewFn>("_Znam")(16));
}

TEST_F(AllocationTest, NewHaltsWhenTheHostHasNoHeap) {
    host().set_entry(LM_ENTRY_MALLOC, nullptr);
    EXPECT_HALTS(fn<NewFn>("_Znwm")(16));
}

TEST_F(AllocationTest, NewHaltsOnARequestTooLargeForTheHeap) {
    EXPECT_HALTS(program_fn<char *(std::size_t)>("new_chars")(uint64_t{1} << 40));
}

TEST_F(AllocationTest, DeleteOfNullReachesTheHostFreeAsNull) {
    program_fn<void(void *, std::size_t)>("release_all_ways")(nullptr, 24);
    fn<DeleteFn>("_ZdlPv")(nullptr);
    fn<DeleteFn>("_ZdaPv")(nullptr);
    fn<SizedDeleteFn>("_ZdlPvm")(nullptr, 0);
    fn<SizedDeleteFn>("_ZdaPvm")(nullptr, 99);
    EXPECT_EQ(heap().freed, Pointers(8, nullptr));
}

TEST_F(AllocationTest, SizedReleaseIgnoresTheSize) {
    auto *new_ = fn<NewFn>("_Znwm");
    void *a = new_(8), *b = new_(8), *c = new_(8), *d = new_(8);
    program_fn<void(void *, std::size_t)>("release_sized")(a, 8);
    program_fn<void(void *, std::size_t)>("release_array_sized")(b, 0);
    fn<SizedDeleteFn>("_ZdlPvm")(c, ~std::size_t{0});
    fn<SizedDeleteFn>("_ZdaPvm")(d, 12345);
    EXPECT_EQ(heap().freed, (Pointers{a, b, c, d}));
    EXPECT_EQ(heap().bytes_in_use(), 0u);
}

TEST_F(AllocationTest, ReleaseWithoutAHostFreeIsDropped) {
    void *block = fn<NewFn>("_Znwm")(8);
    host().set_entry(LM_ENTRY_FREE, nullptr);
    fn<DeleteFn>("_ZdlPv")(block);
    EXPECT_TRUE(heap().freed.empty());
    EXPECT_TRUE(heap().owns(block));
}

TEST_F(AllocationTest, PlacementNewAndTheNothrowTagComeFromTheHeaders) {
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

} // namespace
} // namespace lbw::test
