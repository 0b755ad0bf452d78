// The hosts' shared heap in this process, over two regions below 4 GiB: a random model
// of malloc, free and realloc, filling and emptying, and what it refuses.
#include "hostcore/heap.h"
#include "tests/support/low_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <vector>

namespace lbw::hostcore {
namespace {

constexpr uint64_t k4GiB = uint64_t{1} << 32;
constexpr uint64_t kHeader = 16;

bool filled(const uint8_t *p, uint64_t size, uint8_t byte) {
    return std::all_of(p, p + size, [byte](uint8_t b) { return b == byte; });
}

class HeapTest : public testing::Test {
protected:
    void SetUp() override {
        // Ends that are not 16-byte aligned: the heap trims them.
        ASSERT_TRUE(heap.add_region(large.data() + 3, large.size() - 3));
        large_capacity = heap.capacity();
        ASSERT_TRUE(heap.add_region(small.data(), small.size() - 5));
        small_capacity = heap.capacity() - large_capacity;
    }

    bool inside_a_region(const uint8_t *p, uint64_t size) const {
        auto in = [&](const test::LowMemory &m) { return p >= m.data() && p + size <= m.data() + m.size(); };
        return in(large) || in(small);
    }

    // Every live block is aligned, inside a region, below 4 GiB, apart from the others,
    // owned by the heap and still holds what was written to it.
    void check_live_blocks() const {
        const uint8_t *previous_end = nullptr;
        for (const auto &[p, block] : live) {
            ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
            ASSERT_TRUE(inside_a_region(p, block.size));
            ASSERT_LE(reinterpret_cast<uintptr_t>(p) + block.size, k4GiB);
            ASSERT_TRUE(previous_end == nullptr || p >= previous_end + kHeader) << "blocks overlap";
            ASSERT_TRUE(heap.owns(p));
            ASSERT_TRUE(filled(p, block.size, block.fill));
            previous_end = p + block.size;
        }
    }

    // Every region is one free block again: it gives a block as large as the region.
    void check_everything_coalesced() {
        EXPECT_EQ(heap.bytes_in_use(), 0u);
        EXPECT_EQ(heap.free_blocks(), 2u);
        void *whole_large = heap.allocate(large_capacity - kHeader);
        void *whole_small = heap.allocate(small_capacity - kHeader);
        EXPECT_TRUE(whole_large && whole_small);
        EXPECT_EQ(heap.allocate(0), nullptr);
        heap.release(whole_large);
        heap.release(whole_small);
    }

    uint64_t random_size() {
        uint64_t kind = random() % 100;
        if (kind < 70)
            return random() % 257;
        if (kind < 95)
            return random() % 8193;
        if (kind < 99)
            return random() % (200 << 10);
        return random() % 2 ? random() % (2 << 20) : random() % 2 ? UINT64_MAX : k4GiB; // some never fit
    }

    struct Live {
        uint64_t size;
        uint8_t fill;
    };

    test::LowMemory large{1 << 20}, small{256 << 10};
    Heap heap;
    uint64_t large_capacity = 0, small_capacity = 0;
    std::map<uint8_t *, Live> live; // by address, for the overlap check
    std::mt19937_64 random{20240611};
};

TEST_F(HeapTest, RandomCallsKeepEveryBlockApartAlignedAndIntact) {
    for (int step = 1; step <= 20000; step++) {
        auto fill = static_cast<uint8_t>(step);
        uint64_t choice = random() % 100;
        auto victim = live.begin();
        if (!live.empty())
            std::advance(victim, static_cast<long>(random() % live.size()));
        if (live.empty() || choice < 45) {
            uint64_t size = random_size();
            auto *p = static_cast<uint8_t *>(heap.allocate(size));
            if (p) {
                ASSERT_EQ(live.count(p), 0u) << "handed out twice";
                std::memset(p, fill, size);
                live[p] = {size, fill};
            }
        } else if (choice < 75) {
            ASSERT_TRUE(heap.release(victim->first));
            ASSERT_FALSE(heap.release(victim->first)) << "a second release is refused";
            live.erase(victim);
        } else {
            uint64_t size = random_size();
            auto [old, block] = *victim;
            auto *p = static_cast<uint8_t *>(heap.reallocate(old, size));
            if (p) {
                ASSERT_TRUE(filled(p, std::min(size, block.size), block.fill)) << "realloc lost the contents";
                ASSERT_TRUE(size > block.size || p == old) << "shrinks in place";
                live.erase(victim);
                std::memset(p, fill, size);
                live[p] = {size, fill};
            } else {
                ASSERT_TRUE(heap.owns(old)) << "a failed realloc keeps the block";
            }
        }
        if (step % 500 == 0)
            ASSERT_NO_FATAL_FAILURE(check_live_blocks()) << "step " << step;
    }
    for (const auto &entry : live)
        ASSERT_TRUE(heap.release(entry.first));
    live.clear();
    check_everything_coalesced();

    // Filled to the brim, then emptied in any order: each region keeps at most a tail
    // below the size class of the largest request, and is one free block again.
    std::vector<void *> blocks;
    while (void *p = heap.allocate(random() % 3000))
        blocks.push_back(p);
    EXPECT_LT(heap.free_bytes(), 2 * 4096u) << "the heap fills";
    std::shuffle(blocks.begin(), blocks.end(), random);
    for (void *p : blocks)
        ASSERT_TRUE(heap.release(p));
    check_everything_coalesced();
}

TEST_F(HeapTest, RefusesWhatItCannotGiveAndWhatItDidNotHandOut) {
    EXPECT_EQ(heap.allocate(large_capacity), nullptr);
    void *zero = heap.allocate(0), *other_zero = heap.allocate(0);
    EXPECT_TRUE(zero && other_zero && zero != other_zero) << "0 bytes still gets a block of its own";

    auto *a = static_cast<uint8_t *>(heap.allocate(64));
    int local = 0;
    for (void *bad : {static_cast<void *>(&local), static_cast<void *>(a + 16), static_cast<void *>(a + 1),
                      static_cast<void *>(large.data() + 16), static_cast<void *>(small.data() + small.size() - 16)}) {
        EXPECT_FALSE(heap.release(bad)) << bad;
        EXPECT_EQ(heap.reallocate(bad, 8), nullptr) << bad;
    }
    EXPECT_FALSE(heap.release(nullptr));
    EXPECT_TRUE(heap.owns(a));
    EXPECT_TRUE(heap.release(a));
    EXPECT_EQ(heap.reallocate(a, 8), nullptr) << "nor a released one";
    heap.release(zero);
    heap.release(other_zero);
    check_everything_coalesced();
}

TEST(HeapRegionTest, TakesOnlyRegionsBelow4GiBThatHoldABlock) {
    test::LowMemory memory{64 << 10};
    Heap heap;
    EXPECT_FALSE(heap.add_region(memory.data(), 47)) << "a header, two links and the end marker need 48";
    EXPECT_FALSE(heap.add_region(reinterpret_cast<void *>(k4GiB), 1 << 20));
    EXPECT_FALSE(heap.add_region(nullptr, 1 << 20));
    EXPECT_EQ(heap.capacity(), 0u);
    EXPECT_EQ(heap.allocate(0), nullptr);
    for (uint32_t i = 0; i < Heap::kMaxRegions; i++)
        EXPECT_TRUE(heap.add_region(memory.data() + i * 1024, 48));
    EXPECT_FALSE(heap.add_region(memory.data() + (32 << 10), 1024));
    EXPECT_EQ(heap.free_blocks(), Heap::kMaxRegions);
    EXPECT_NE(heap.allocate(16), nullptr);
    EXPECT_EQ(heap.allocate(17), nullptr);
    heap.reset();
    EXPECT_EQ(heap.capacity(), 0u);
}

} // namespace
} // namespace lbw::hostcore
