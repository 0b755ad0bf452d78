// The probe heap over the memory the substitute host maps at 0x300000..0x4000000,
// described to the library in the hand-off area's memory maps: the block list each map
// gives, and random allocations checked for first fit, exact splits, alignment,
// containment in the map, disjoint blocks and counters that add up.
#include "tests/support/library_test.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <utility>
#include <vector>

namespace lbw::test {
namespace {

constexpr uint64_t kFloor = 0x300000, kHeader = 32, kFallbackSize = 0x4000000 - kFloor - kHeader;

struct Header { // written by the library in front of each payload
    uint64_t size;
    Header *next;
    uint8_t is_free;
};

struct Block {
    uint64_t address, size;
    bool is_free = true;
    bool operator==(const Block &) const = default;
};

void PrintTo(const Block &b, std::ostream *os) {
    *os << std::hex << "{0x" << b.address << ", 0x" << b.size << (b.is_free ? ", free}" : ", used}");
}

// The blocks in list order, read through the headers from `first`.
std::vector<Block> blocks(uint64_t first = kFloor) {
    std::vector<Block> list;
    for (auto *h = reinterpret_cast<Header *>(first); h && list.size() < 100000; h = h->next)
        list.push_back({reinterpret_cast<uintptr_t>(h), h->size, h->is_free == 1});
    return list;
}

using Region = std::pair<uint64_t, uint64_t>; // base, length

class ProbeHeapTest : public LibraryTest {
protected:
    void *(*alloc_)(uint64_t) = nullptr;
    uint64_t (*free64_)() = nullptr, (*total64_)() = nullptr;
    uint32_t (*free32_)() = nullptr, (*total32_)() = nullptr;
    void (*reset_)() = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        alloc_ = fn<void *(uint64_t)>("lm_probe_heap_alloc");
        free64_ = fn<uint64_t()>("lm_probe_heap_free_bytes64"), total64_ = fn<uint64_t()>("lm_probe_heap_total_bytes64");
        free32_ = fn<uint32_t()>("lm_probe_heap_free_bytes"), total32_ = fn<uint32_t()>("lm_probe_heap_total_bytes");
        reset_ = fn<void()>("lm_probe_heap_reset");
    }
    // Entries past the 16 (or 64) that are read go to their places behind them.
    void legacy_map(const std::vector<Region> &regions) {
        auto *entries = reinterpret_cast<LmBootLegacyMemoryRegion *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS + 0x90});
        for (size_t i = 0; i < regions.size(); i++)
            entries[i] = {static_cast<uint32_t>(regions[i].first), static_cast<uint32_t>(regions[i].second)};
        host().handoff().legacy_count = static_cast<uint32_t>(regions.size());
    }
    void wide_map(const std::vector<Region> &regions, uint32_t magic = LM_BOOT_WIDE_MAP_MAGIC) {
        auto *entries = reinterpret_cast<LmBootWideMemoryRegion *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS + 0x240});
        for (size_t i = 0; i < regions.size(); i++)
            entries[i] = {regions[i].first, regions[i].second};
        host().handoff().wide_magic = magic;
        host().handoff().wide_count = static_cast<uint32_t>(regions.size());
    }
};

// Map selection, raising to the floor, merging, skipping, alignment and the fallback
// region; the counters over the fresh list.
TEST_F(ProbeHeapTest, BlockListBuiltFromTheMaps) {
    const uint32_t kWide = LM_BOOT_WIDE_MAP_MAGIC;
    const struct {
        const char *what;
        std::vector<Region> legacy, wide;
        uint32_t wide_magic, memory_top;
        std::vector<Block> expected;
    } cases[] = {
        {"raised to the floor", {{0x100000, 0x400000}}, {}, 0, 0, {{kFloor, 0x200000 - kHeader}}},
        {"touching", {{0x300000, 0x1000}, {0x301000, 0x1000}}, {}, 0, 0, {{kFloor, 0x2000 - kHeader}}},
        {"overlapping, inside another, any order", {{0x301000, 0x800}, {0x300000, 0x1000}, {0x300800, 0x1000},
         {0x301700, 0x200}}, {}, 0, 0, {{kFloor, 0x1900 - kHeader}}},
        {"separate, sorted", {{0x320000, 0x1000}, {0x300000, 0x1000}, {0x310000, 0x2000}}, {}, 0, 0,
         {{0x300000, 0x1000 - kHeader}, {0x310000, 0x2000 - kHeader}, {0x320000, 0x1000 - kHeader}}},
        {"zero length and below the floor skipped", {{0x300000, 0}, {0x100000, 0x200000}, {0x310000, 0x1000}}, {},
         0, 0, {{0x310000, 0x1000 - kHeader}}},
        {"legacy end above 4 GiB not wrapped", {{0x300000, 0xFFF00000}}, {}, 0, 0, {{kFloor, 0xFFF00000 - kHeader}}},
        {"wide entries that wrap skipped", {},
         {{0xFFFFFFFFFFFFF000ull, 0x2000}, {0x1000000, 0 - 0x800000ull}, {0x100000, UINT64_MAX}, {0x308000, 0x1000}},
         kWide, 0, {{0x308000, 0x1000 - kHeader}}},
        {"wrong wide magic: legacy", {{0x300000, 0x1000}}, {{0x300000, 0x8000}}, kWide + 1, 0,
         {{kFloor, 0x1000 - kHeader}}},
        {"wide map replaces legacy", {{0x300000, 0x1000}}, {{0x300000, 0x8000}}, kWide, 0, {{kFloor, 0x8000 - kHeader}}},
        {"wide count 0: legacy", {{0x300000, 0x1000}}, {}, kWide, 0, {{kFloor, 0x1000 - kHeader}}},
        {"aligned up, 32 usable bytes dropped, 48 and 63 give 16", {{0x300008, 0x1000}, {0x302000, 0x20},
         {0x302100, 0x30}, {0x302200, 0x3F}, {0x302301, 0x3F}}, {}, 0, 0,
         {{0x300010, 0xFF0 - kHeader}, {0x302100, 16}, {0x302200, 16}, {0x302310, 16}}},
        {"no map, top 0", {}, {}, 0, 0, {{kFloor, kFallbackSize}}},
        {"top at the floor", {}, {}, 0, 0x300000, {{kFloor, kFallbackSize}}},
        {"top rounds down to 0x300020", {}, {}, 0, 0x30002F, {{kFloor, kFallbackSize}}},
        {"top 0x300030", {}, {}, 0, 0x300030, {{kFloor, 16}}},
        {"top rounded down", {}, {}, 0, 0x100000F, {{kFloor, 0xD00000 - kHeader}}},
        {"legacy map yields nothing", {{0x100000, 0x100000}, {0x300000, 0x20}}, {}, 0, 0x400000,
         {{kFloor, 0x100000 - kHeader}}},
    };
    for (const auto &c : cases) {
        host().reset();
        legacy_map(c.legacy);
        wide_map(c.wide, c.wide_magic);
        host().handoff().memory_top = c.memory_top;
        reset_();
        EXPECT_EQ(blocks(c.expected[0].address), c.expected) << c.what;
        uint64_t sum = 0;
        for (const Block &b : c.expected)
            sum += b.size;
        EXPECT_EQ(total64_(), sum) << c.what;
        EXPECT_EQ(free64_(), sum) << c.what;
    }
}

TEST_F(ProbeHeapTest, RandomAllocationsAreFirstFitAndStayApart) {
    std::mt19937_64 random(99);
    for (int round = 0; round < 60; round++) {
        // A few separate regions, some too small for the larger requests.
        std::vector<Region> regions;
        uint64_t base = kFloor + random() % 64 * 16;
        for (uint64_t i = 1 + random() % 6; i > 0; i--) {
            uint64_t length = 64 + random() % (i % 2 ? 0x400 : 0x8000);
            regions.push_back({base, length});
            base += length + 16 + random() % 0x1000;
        }
        legacy_map(regions);
        reset_();
        const uint64_t first = blocks(regions[0].first)[0].address, total = total64_();
        const size_t initial_blocks = blocks(first).size();
        std::vector<Region> handed; // payload, size asked
        for (int step = 0; step < 400; step++) {
            const uint64_t size = random() % 5 == 0 ? UINT64_MAX - random() % 20
                                  : random() % 3    ? random() % 100
                                                    : random() % 0x2000;
            const uint64_t need = (size + 15) & ~uint64_t{15};
            const std::vector<Block> before = blocks(first);
            auto fit = std::find_if(before.begin(), before.end(), [&](const Block &b) {
                return b.is_free && size != 0 && size <= UINT64_MAX - 15 && b.size >= need;
            });
            const uint64_t p = reinterpret_cast<uintptr_t>(alloc_(size));
            ASSERT_EQ(p, fit == before.end() ? 0 : fit->address + kHeader) << "round " << round << " size " << size;
            if (p == 0)
                continue;
            // Split to exactly the need, unless the rest could not hold a block of its own.
            const std::vector<Block> after = blocks(first);
            const Block &block = after[static_cast<size_t>(fit - before.begin())];
            const bool split = after.size() == before.size() + 1;
            ASSERT_FALSE(block.is_free);
            ASSERT_EQ(block.size, split ? need : fit->size) << "round " << round << " size " << size;
            ASSERT_TRUE(split || fit->size < need + kHeader + 16) << "a block with room for another is split";
            for (const auto &[q, asked] : handed)
                ASSERT_TRUE(p + size <= q || q + asked <= p) << "overlaps an earlier allocation";
            handed.push_back({p, size});
            std::memset(reinterpret_cast<void *>(p), 0xAB, size); // must not touch any header
        }
        // Aligned, inside the map, in ascending order and apart; payloads counted once.
        uint64_t sum = 0, free_sum = 0, end = 0;
        for (const Block &b : blocks(first)) {
            EXPECT_EQ(b.address % 16, 0u);
            EXPECT_GE(b.address, end);
            end = b.address + kHeader + b.size;
            EXPECT_TRUE(std::any_of(regions.begin(), regions.end(), [&](const Region &r) {
                return b.address >= r.first && end <= r.first + r.second;
            })) << "block outside the map";
            sum += b.size, free_sum += b.is_free ? b.size : 0;
        }
        EXPECT_EQ(total64_(), sum);
        EXPECT_EQ(free64_(), free_sum);
        EXPECT_EQ(total, sum + kHeader * (blocks(first).size() - initial_blocks)) << "a split costs one header";
    }
}

TEST_F(ProbeHeapTest, MapReadOnceUntilResetAndCountersSaturate) {
    EXPECT_EQ(alloc_(0), nullptr);
    legacy_map({{0x300000, 0x1000}}); // seen only if the zero-size call built nothing
    void *p = alloc_(64);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p), kFloor + kHeader);
    legacy_map({{0x300000, 0x2000}});
    EXPECT_EQ(total64_(), 0x1000 - 2 * kHeader);
    reset_();
    EXPECT_EQ(free64_(), 0x2000 - kHeader) << "earlier allocations are forgotten";
    EXPECT_EQ(alloc_(64), p);

    std::vector<Region> regions;
    for (uint64_t i = 0; i < 70; i++)
        regions.push_back({0x300000 + i * 0x1000, 0x100});
    legacy_map(std::vector<Region>(regions.begin(), regions.begin() + 20));
    reset_();
    EXPECT_EQ(total64_(), 16 * (0x100 - kHeader)) << "16 legacy entries are read";
    wide_map(regions);
    reset_();
    EXPECT_EQ(total64_(), 64 * (0x100 - kHeader)) << "64 wide entries are read";

    wide_map({{0x300000, 0x100000000ull + kHeader}}); // a payload of exactly 2^32
    reset_();
    EXPECT_EQ(total32_(), 0xFFFFFFFFu);
    EXPECT_EQ(free32_(), 0xFFFFFFFFu);
    ASSERT_NE(alloc_(16), nullptr);
    EXPECT_EQ(free64_(), 0x100000000ull - kHeader - 16);
    EXPECT_EQ(free32_(), 0xFFFFFFD0u);
    EXPECT_EQ(total32_(), 0xFFFFFFE0u);
    wide_map({{0x300000, 0x100000000ull + kHeader - 16}});
    reset_();
    EXPECT_EQ(total32_(), 0xFFFFFFF0u);
    EXPECT_EQ(free32_(), 0xFFFFFFF0u);
}

} // namespace
} // namespace lbw::test
