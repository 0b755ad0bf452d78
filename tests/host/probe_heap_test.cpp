// The probe heap over the memory the substitute host maps at 0x300000..0x4000000,
// described to the library in the hand-off area's memory maps: the blocks each map
// gives, first fit, and random allocations checked for alignment, containment in the
// map, disjoint blocks, contents kept and counters that add up.
#include "tests/support/library_test.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace lbw::test {
namespace {

constexpr uint64_t kFloor = 0x300000, kHeader = 32, kFallbackSize = 0x4000000 - kFloor - kHeader;

using Region = std::pair<uint64_t, uint64_t>; // base, length; or a block's address and size

class ProbeHeapTest : public LibraryTest {
protected:
    uintptr_t alloc(uint64_t size) {
        return reinterpret_cast<uintptr_t>(fn<void *(uint64_t)>("lm_probe_heap_alloc")(size));
    }
    uint64_t free64() { return fn<uint64_t()>("lm_probe_heap_free_bytes64")(); }
    uint64_t total64() { return fn<uint64_t()>("lm_probe_heap_total_bytes64")(); }
    uint32_t free32() { return fn<uint32_t()>("lm_probe_heap_free_bytes")(); }
    uint32_t total32() { return fn<uint32_t()>("lm_probe_heap_total_bytes")(); }
    void reset() { fn<void()>("lm_probe_heap_reset")(); }
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
// region. Asking for each block's whole size in turn must give exactly these blocks,
// and then nothing more.
TEST_F(ProbeHeapTest, BlocksBuiltFromTheMaps) {
    const uint32_t kWide = LM_BOOT_WIDE_MAP_MAGIC;
    const struct {
        const char *what;
        std::vector<Region> legacy, wide;
        uint32_t wide_magic, memory_top;
        std::vector<Region> blocks;
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
        reset();
        uint64_t sum = 0;
        for (const auto &[address, size] : c.blocks)
            sum += size;
        EXPECT_EQ(total64(), sum) << c.what;
        EXPECT_EQ(free64(), sum) << c.what;
        for (const auto &[address, size] : c.blocks)
            EXPECT_EQ(alloc(size), address + kHeader) << c.what;
        EXPECT_EQ(alloc(16), 0u) << c.what;
    }
}

// The first block with room, wherever the last one came from; a block with room for
// another behind the payload (48 bytes or more) is split.
TEST_F(ProbeHeapTest, FirstFit) {
    legacy_map({{0x310000, 0x1000}, {0x300000, 0x100}});
    reset();
    EXPECT_EQ(alloc(0x200), 0x310020u);
    EXPECT_EQ(alloc(0x60), 0x300020u);
    EXPECT_EQ(alloc(0x11), 0x3000A0u);
    EXPECT_EQ(alloc(16), 0x3000E0u);
    EXPECT_EQ(alloc(16), 0x310240u);
    EXPECT_EQ(total64(), 0x1000 - 3 * kHeader + 0x100 - 3 * kHeader);
}

TEST_F(ProbeHeapTest, RandomAllocationsStayInTheMapApartAndIntact) {
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
        reset();
        std::vector<Region> handed; // payload, size asked
        for (int step = 0; step < 400; step++) {
            const uint64_t size = random() % 5 == 0 ? UINT64_MAX - random() % 20
                                  : random() % 3    ? random() % 100
                                                    : random() % 0x2000;
            const uint64_t need = (size + 15) & ~uint64_t{15}, free = free64(), total = total64();
            const uint64_t p = alloc(size);
            SCOPED_TRACE(::testing::Message() << "round " << round << " size " << size);
            if (p == 0) {
                ASSERT_EQ(free64(), free);
                continue;
            }
            // The block takes its size, a split one header more; one left whole had no
            // room for another behind the payload.
            const uint64_t split = total - total64(), taken = free - free64() - split;
            ASSERT_TRUE(split == kHeader ? taken == need
                                         : split == 0 && taken >= need && taken < need + kHeader + 16);
            ASSERT_EQ(p % 16, 0u);
            ASSERT_TRUE(std::any_of(regions.begin(), regions.end(), [&](const Region &r) {
                return p - kHeader >= r.first && p + size <= r.first + r.second;
            })) << "outside the map";
            for (const auto &[q, asked] : handed)
                ASSERT_TRUE(p + size <= q - kHeader || q + asked <= p - kHeader) << "overlaps earlier blocks";
            handed.push_back({p, size});
            std::memset(reinterpret_cast<void *>(p), static_cast<int>(handed.size()), size);
        }
        for (size_t i = 0; i < handed.size(); i++) {
            const auto *bytes = reinterpret_cast<const uint8_t *>(handed[i].first);
            const auto fill = static_cast<uint8_t>(i + 1);
            ASSERT_EQ(std::count(bytes, bytes + handed[i].second, fill), handed[i].second) << "contents lost";
        }
    }
}

TEST_F(ProbeHeapTest, MapReadOnceUntilResetAndCountersSaturate) {
    EXPECT_EQ(alloc(0), 0u);
    legacy_map({{0x300000, 0x1000}}); // seen only if the zero-size call built nothing
    EXPECT_EQ(alloc(64), kFloor + kHeader);
    legacy_map({{0x300000, 0x2000}});
    EXPECT_EQ(total64(), 0x1000 - 2 * kHeader);
    reset();
    EXPECT_EQ(free64(), 0x2000 - kHeader) << "earlier allocations are forgotten";
    EXPECT_EQ(alloc(64), kFloor + kHeader);

    std::vector<Region> regions;
    for (uint64_t i = 0; i < 70; i++)
        regions.push_back({0x300000 + i * 0x1000, 0x100});
    legacy_map(std::vector<Region>(regions.begin(), regions.begin() + 20));
    reset();
    EXPECT_EQ(total64(), 16 * (0x100 - kHeader)) << "16 legacy entries are read";
    wide_map(regions);
    reset();
    EXPECT_EQ(total64(), 64 * (0x100 - kHeader)) << "64 wide entries are read";

    wide_map({{0x300000, 0x100000000ull + kHeader}}); // a payload of exactly 2^32
    reset();
    EXPECT_EQ(total32(), 0xFFFFFFFFu);
    EXPECT_EQ(free32(), 0xFFFFFFFFu);
    ASSERT_NE(alloc(16), 0u);
    EXPECT_EQ(free64(), 0x100000000ull - kHeader - 16);
    EXPECT_EQ(free32(), 0xFFFFFFD0u);
    EXPECT_EQ(total32(), 0xFFFFFFE0u);
    wide_map({{0x300000, 0x100000000ull + kHeader - 16}});
    reset();
    EXPECT_EQ(total32(), 0xFFFFFFF0u);
    EXPECT_EQ(free32(), 0xFFFFFFF0u);
}

} // namespace
} // namespace lbw::test
