// The boot host's heap, on Linux: first fit, coalescing, growth in place, and refusal
// of pointers it did not hand out.
#include "boot/heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace lbw::boot {
namespace {

class HeapTest : public testing::Test {
protected:
    void SetUp() override {
        arena.resize(64 * 1024);
        heap.init(arena.data(), arena.size());
        initial_free = heap.free_bytes();
    }

    std::vector<uint8_t> arena;
    Heap heap;
    uint64_t initial_free = 0;
};

TEST_F(HeapTest, BlocksAreAlignedDisjointAndInsideTheRegion) {
    std::vector<uint8_t *> blocks;
    for (uint64_t size : {1u, 15u, 16u, 17u, 100u, 1000u, 0u}) {
        auto *p = static_cast<uint8_t *>(heap.allocate(size));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
        EXPECT_TRUE(heap.contains(p));
        EXPECT_GE(heap.block_size(p), size);
        std::memset(p, static_cast<int>(blocks.size() + 1), size ? size : 1);
        blocks.push_back(p);
    }
    for (size_t i = 0; i < blocks.size(); i++)
        EXPECT_EQ(blocks[i][0], i + 1) << "block " << i << " was overwritten";
    EXPECT_NE(blocks[5], blocks[6]) << "a zero-byte request still gets its own block";
}

TEST_F(HeapTest, ReleasedBlocksCoalesceBackIntoOne) {
    void *a = heap.allocate(1000), *b = heap.allocate(1000), *c = heap.allocate(1000);
    ASSERT_TRUE(a && b && c);
    heap.release(a);
    heap.release(c);
    heap.release(b); // joins both neighbours
    EXPECT_EQ(heap.free_bytes(), initial_free);
    EXPECT_NE(heap.allocate(initial_free), nullptr) << "the whole region is one block again";
}

TEST_F(HeapTest, ExhaustionAndHugeRequestsFailWithoutHarm) {
    EXPECT_EQ(heap.allocate(UINT64_MAX), nullptr);
    EXPECT_EQ(heap.allocate(arena.size()), nullptr);
    std::vector<void *> blocks;
    while (void *p = heap.allocate(4000))
        blocks.push_back(p);
    EXPECT_GT(blocks.size(), 10u);
    for (void *p : blocks)
        heap.release(p);
    EXPECT_EQ(heap.free_bytes(), initial_free);
}

TEST_F(HeapTest, ForeignInteriorAndDoubleReleasesAreIgnored) {
    void *a = heap.allocate(64);
    void *b = heap.allocate(64);
    uint64_t before = heap.free_bytes();
    int local = 0;
    heap.release(nullptr);
    heap.release(&local);
    heap.release(static_cast<uint8_t *>(a) + 16);
    heap.release(static_cast<uint8_t *>(a) + 1);
    EXPECT_EQ(heap.free_bytes(), before);
    heap.release(a);
    uint64_t after_one = heap.free_bytes();
    heap.release(a);
    EXPECT_EQ(heap.free_bytes(), after_one);
    EXPECT_EQ(heap.block_size(a), 0u);
    EXPECT_EQ(heap.resize(a, 10), nullptr) << "a released block cannot be resized";
    heap.release(b);
    EXPECT_EQ(heap.free_bytes(), initial_free);
}

TEST_F(HeapTest, ResizeGrowsInPlaceMovesOrFailsKeepingTheContents) {
    auto *a = static_cast<uint8_t *>(heap.resize(nullptr, 100));
    ASSERT_NE(a, nullptr);
    std::memset(a, 0x5A, 100);
    EXPECT_EQ(heap.resize(a, 50), a) << "shrinking keeps the block";
    EXPECT_EQ(heap.resize(a, 400), a) << "the free space after it is taken in place";
    EXPECT_EQ(a[99], 0x5A);

    void *fence = heap.allocate(16); // the block can no longer grow in place
    auto *moved = static_cast<uint8_t *>(heap.resize(a, 2000));
    ASSERT_NE(moved, nullptr);
    EXPECT_NE(moved, a);
    EXPECT_EQ(moved[0], 0x5A);
    EXPECT_EQ(moved[99], 0x5A);
    EXPECT_EQ(heap.block_size(a), 0u) << "the old block was released";

    EXPECT_EQ(heap.resize(moved, arena.size()), nullptr);
    EXPECT_EQ(moved[99], 0x5A) << "a failed resize leaves the block alone";
    EXPECT_GE(heap.block_size(moved), 2000u);
    heap.release(moved);
    heap.release(fence);
    EXPECT_EQ(heap.free_bytes(), initial_free);
}

TEST(HeapRegionTest, ARegionTooSmallForOneBlockGrantsNothing) {
    alignas(16) uint8_t tiny[24];
    Heap heap;
    heap.init(tiny, sizeof tiny);
    EXPECT_EQ(heap.allocate(1), nullptr);
    EXPECT_EQ(heap.free_bytes(), 0u);
}

} // namespace
} // namespace lbw::boot
