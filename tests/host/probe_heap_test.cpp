// The probe heap over the memory the substitute host maps at 0x300000..0x4000000,
// described to the library in the hand-off area's memory maps.
#include "tests/support/library_test.h"

#include <cstdint>
#include <cstring>
#include <ostream>
#include <utility>
#include <vector>

namespace lbw::test {
namespace {

constexpr uint64_t kFloor = 0x300000;
constexpr uint64_t kFallbackSize = 0x4000000 - kFloor - 32; // the whole fallback region
constexpr uint64_t kHeader = 32;

struct Header {
    uint64_t size;
    Header *next;
    uint8_t is_free;
};

using Region = std::pair<uint64_t, uint64_t>; // base, length

struct Block {
    uint64_t address;
    uint64_t size;
    bool is_free = true;
    bool operator==(const Block &) const = default;
};

void PrintTo(const Block &b, std::ostream *os) {
    *os << std::hex << "{0x" << b.address << ", 0x" << b.size << (b.is_free ? ", free}" : ", used}");
}

uint64_t address_of(const void *p) {
    return reinterpret_cast<uintptr_t>(p);
}

// The blocks in list order, read through the headers from `first`.
std::vector<Block> blocks(uint64_t first = kFloor) {
    std::vector<Block> list;
    for (auto *h = reinterpret_cast<Header *>(first); h && list.size() < 1000; h = h->next)
        list.push_back({address_of(h), h->size, h->is_free == 1});
    return list;
}

class ProbeHeapTest : public LibraryTest {
protected:
    void *(*alloc_)(uint64_t) = nullptr;
    uint32_t (*free_bytes_)() = nullptr;
    uint64_t (*free_bytes64_)() = nullptr;
    uint32_t (*total_bytes_)() = nullptr;
    uint64_t (*total_bytes64_)() = nullptr;
    void (*reset_)() = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        alloc_ = fn<void *(uint64_t)>("lm_probe_heap_alloc");
        free_bytes_ = fn<uint32_t()>("lm_probe_heap_free_bytes");
        free_bytes64_ = fn<uint64_t()>("lm_probe_heap_free_bytes64");
        total_bytes_ = fn<uint32_t()>("lm_probe_heap_total_bytes");
        total_bytes64_ = fn<uint64_t()>("lm_probe_heap_total_bytes64");
        reset_ = fn<void()>("lm_probe_heap_reset");
    }

    void legacy_map(const std::vector<Region> &regions, uint32_t count = 0) {
        auto &handoff = host().handoff();
        // Entries past the 16 that are read lie right behind them in the area.
        auto *entries = reinterpret_cast<LmBootLegacyMemoryRegion *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS + 0x90});
        for (size_t i = 0; i < regions.size(); i++)
            entries[i] = {static_cast<uint32_t>(regions[i].first), static_cast<uint32_t>(regions[i].second)};
        handoff.legacy_count = count ? count : static_cast<uint32_t>(regions.size());
    }

    // Entries past the 64 that are read also go to their place (there is room for a few
    // below the program API table).
    void wide_map(const std::vector<Region> &regions, uint32_t magic = LM_BOOT_WIDE_MAP_MAGIC) {
        auto &handoff = host().handoff();
        handoff.wide_magic = magic;
        auto *entries = reinterpret_cast<LmBootWideMemoryRegion *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS + 0x240});
        for (size_t i = 0; i < regions.size(); i++) {
            EXPECT_LE(LM_BOOT_HANDOFF_ADDRESS + 0x240 + (i + 1) * sizeof *entries, LM_PROGRAM_API_ADDRESS);
            entries[i] = {regions[i].first, regions[i].second};
        }
        handoff.wide_count = static_cast<uint32_t>(regions.size());
    }
};

// Map selection, raising to the floor, merging, skipping, alignment and the fallback
// region: the block list built from each hand-off area, and its counters.
TEST_F(ProbeHeapTest, BlockListBuiltFromTheMaps) {
    struct Case {
        const char *what;
        std::vector<Region> legacy, wide;
        uint32_t wide_magic, memory_top;
        std::vector<Block> expected;
        int wide_count = -1; // when set, the count written instead of the number of entries
    };
    const uint32_t kWide = LM_BOOT_WIDE_MAP_MAGIC;
    const Case cases[] = {
        {"raised to the floor", {{0x100000, 0x400000}}, {}, 0, 0, {{kFloor, 0x200000 - kHeader}}},
        {"touching", {{0x300000, 0x1000}, {0x301000, 0x1000}}, {}, 0, 0, {{kFloor, 0x2000 - kHeader}}},
        {"overlapping", {{0x300000, 0x1000}, {0x300800, 0x1000}}, {}, 0, 0, {{kFloor, 0x1800 - kHeader}}},
        {"inside another, any order",
         {{0x301000, 0x800}, {0x300000, 0x4000}, {0x303F00, 0x200}}, {}, 0, 0, {{kFloor, 0x4100 - kHeader}}},
        {"separate, sorted",
         {{0x320000, 0x1000}, {0x300000, 0x1000}, {0x310000, 0x2000}}, {}, 0, 0,
         {{0x300000, 0x1000 - kHeader}, {0x310000, 0x2000 - kHeader}, {0x320000, 0x1000 - kHeader}}},
        {"zero length and below the floor skipped",
         {{0x300000, 0}, {0x100000, 0x200000}, {0x200000, 0x50000}, {0x310000, 0x1000}}, {}, 0, 0,
         {{0x310000, 0x1000 - kHeader}}},
        {"legacy end above 4 GiB not wrapped", {{0x300000, 0xFFF00000}}, {}, 0, 0, {{kFloor, 0xFFF00000 - kHeader}}},
        {"wide entries that wrap skipped", {},
         {{0xFFFFFFFFFFFFF000ull, 0x2000}, {0x1000000, 0 - 0x800000ull}, {0x100000, UINT64_MAX}, {0x308000, 0x1000}},
         kWide, 0, {{0x308000, 0x1000 - kHeader}}},
        {"wide count 0: legacy", {{0x300000, 0x1000}}, {{0x300000, 0x8000}}, kWide, 0, {{kFloor, 0x1000 - kHeader}}, 0},
        {"wrong wide magic: legacy", {{0x300000, 0x1000}}, {{0x300000, 0x8000}}, kWide + 1, 0,
         {{kFloor, 0x1000 - kHeader}}},
        {"wide map replaces legacy", {{0x300000, 0x1000}}, {{0x300000, 0x8000}}, kWide, 0,
         {{kFloor, 0x8000 - kHeader}}},
        {"unaligned start", {{0x300008, 0x1000}}, {}, 0, 0, {{0x300010, 0xFF0 - kHeader}}},
        {"32 usable bytes dropped, 48 and 63 give 16",
         {{0x300000, 0x20}, {0x300100, 0x30}, {0x300200, 0x3F}, {0x300301, 0x3F}}, {}, 0, 0,
         {{0x300100, 16}, {0x300200, 16}, {0x300310, 16}}},
        {"no map, top 0", {}, {}, 0, 0, {{kFloor, kFallbackSize}}},
        {"top at the floor", {}, {}, 0, 0x300000, {{kFloor, kFallbackSize}}},
        {"top 0x300020", {}, {}, 0, 0x300020, {{kFloor, kFallbackSize}}},
        {"top rounds down to 0x300020", {}, {}, 0, 0x30002F, {{kFloor, kFallbackSize}}},
        {"top 0x300030", {}, {}, 0, 0x300030, {{kFloor, 16}}},
        {"top 0x30003F", {}, {}, 0, 0x30003F, {{kFloor, 16}}},
        {"top 16 MiB", {}, {}, 0, 0x1000000, {{kFloor, 0xD00000 - kHeader}}},
        {"top rounded down", {}, {}, 0, 0x100000F, {{kFloor, 0xD00000 - kHeader}}},
        {"top near 64 MiB", {}, {}, 0, 0x3FFFFF0, {{kFloor, 0x3CFFFF0 - kHeader}}},
        {"legacy map yields nothing", {{0x100000, 0x100000}, {0x300000, 0x20}}, {}, 0, 0x400000,
         {{kFloor, 0x100000 - kHeader}}},
        {"wide map yields nothing", {}, {{0x300000, 0}}, kWide, 0x400000, {{kFloor, 0x100000 - kHeader}}},
    };
    for (const Case &c : cases) {
        host().reset();
        legacy_map(c.legacy);
        wide_map(c.wide, c.wide_magic);
        host().handoff().memory_top = c.memory_top;
        if (c.wide_count >= 0)
            host().handoff().wide_count = static_cast<uint32_t>(c.wide_count);
        reset_();
        EXPECT_EQ(blocks(c.expected[0].address), c.expected) << c.what;
        uint64_t sum = 0;
        for (const Block &b : c.expected)
            sum += b.size;
        EXPECT_EQ(total_bytes64_(), sum) << c.what;
        EXPECT_EQ(free_bytes64_(), sum) << c.what;
        EXPECT_EQ(total_bytes_(), sum) << c.what;
        EXPECT_EQ(free_bytes_(), sum) << c.what;
    }
}

TEST_F(ProbeHeapTest, OnlyTheFirst16LegacyAnd64WideEntriesAreRead) {
    std::vector<Region> regions;
    for (uint64_t i = 0; i < 70; i++)
        regions.push_back({0x300000 + i * 0x1000, 0x100});
    legacy_map(std::vector<Region>(regions.begin(), regions.begin() + 20));
    EXPECT_EQ(total_bytes64_(), 16 * (0x100 - kHeader));
    wide_map(regions);
    reset_();
    EXPECT_EQ(total_bytes64_(), 64 * (0x100 - kHeader));
    EXPECT_EQ(blocks().size(), 64u);
}

TEST_F(ProbeHeapTest, FirstFitSplitsOnlyWhenABlockHasRoomForAnother) {
    legacy_map({{0x300000, 0x1000}});
    EXPECT_EQ(address_of(alloc_(1)), kFloor + kHeader);
    EXPECT_EQ(blocks(), (std::vector<Block>{{kFloor, 16, false}, {kFloor + 48, 0x1000 - 2 * kHeader - 16}}));
    EXPECT_EQ(free_bytes64_(), 0x1000 - 2 * kHeader - 16);
    EXPECT_EQ(total_bytes64_(), 0x1000 - 2 * kHeader);

    legacy_map({{0x300000, 0x60}, {0x300100, 0x60}}); // two blocks of 64 bytes
    reset_();
    EXPECT_EQ(address_of(alloc_(32)), 0x300020u) << "64 = need + 32: handed out whole";
    EXPECT_EQ(free_bytes_(), 64u);
    EXPECT_EQ(address_of(alloc_(16)), 0x300120u) << "64 = need + 48: split";
    EXPECT_EQ(blocks(), (std::vector<Block>{{0x300000, 64, false}, {0x300100, 16, false}, {0x300130, 16}}));
    EXPECT_EQ(free_bytes_(), 16u);
    EXPECT_EQ(total_bytes_(), 96u);

    legacy_map({{0x300000, 0x60}, {0x310000, 0x1000}});
    reset_();
    EXPECT_EQ(address_of(alloc_(100)), 0x310020u) << "too small blocks are passed over";
    EXPECT_EQ(address_of(alloc_(64)), 0x300020u);
    EXPECT_EQ(address_of(alloc_(5)), 0x310020u + 112 + kHeader);
}

TEST_F(ProbeHeapTest, AllocationsAreAlignedAndDoNotOverlap) {
    legacy_map({{0x300000, 0x10000}});
    std::vector<std::pair<uint64_t, uint64_t>> spans;
    for (uint64_t size : {1, 15, 16, 17, 31, 33, 100, 1000, 3}) {
        void *p = alloc_(size);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(address_of(p) % 16, 0u);
        for (const auto &[start, length] : spans)
            EXPECT_TRUE(address_of(p) >= start + length || address_of(p) + size <= start);
        spans.push_back({address_of(p), size});
        std::memset(p, 0xAB, size);
    }
    EXPECT_EQ(blocks()[0].size, 16u) << "headers survive writes to the payloads";
}

TEST_F(ProbeHeapTest, FailedAllocationsReturnNull) {
    legacy_map({{0x300000, 0x1000}});
    for (uint64_t size : {uint64_t{0x1000}, UINT64_MAX, UINT64_MAX - 14, UINT64_MAX - 15})
        EXPECT_EQ(alloc_(size), nullptr) << size;
    EXPECT_NE(alloc_(0x1000 - kHeader), nullptr) << "the whole block";
    EXPECT_EQ(alloc_(1), nullptr);
    EXPECT_EQ(free_bytes64_(), 0u);
}

TEST_F(ProbeHeapTest, ZeroSizeDoesNotBuildTheHeapAndTheMapIsReadOnceUntilReset) {
    EXPECT_EQ(alloc_(0), nullptr);
    legacy_map({{0x300000, 0x1000}}); // seen only if the list is built after the zero-size call
    void *p = alloc_(64);
    EXPECT_EQ(address_of(p), kFloor + kHeader);
    legacy_map({{0x300000, 0x2000}});
    EXPECT_EQ(total_bytes64_(), 0x1000 - 2 * kHeader);
    EXPECT_EQ(free_bytes64_(), 0x1000 - 2 * kHeader - 64);
    reset_();
    EXPECT_EQ(total_bytes64_(), 0x2000 - kHeader);
    EXPECT_EQ(free_bytes64_(), 0x2000 - kHeader) << "earlier allocations are forgotten";
    EXPECT_EQ(alloc_(64), p);
}

TEST_F(ProbeHeapTest, CountersSaturateIn32Bits) {
    wide_map({{0x300000, 0x200000000ull}});
    EXPECT_EQ(total_bytes64_(), 0x200000000ull - kHeader);
    EXPECT_EQ(total_bytes_(), 0xFFFFFFFFu);
    EXPECT_EQ(free_bytes_(), 0xFFFFFFFFu);
    ASSERT_NE(alloc_(16), nullptr);
    EXPECT_EQ(free_bytes64_(), 0x200000000ull - 2 * kHeader - 16);
    EXPECT_EQ(free_bytes_(), 0xFFFFFFFFu);

    wide_map({{0x300000, 0x100000000ull + kHeader}}); // payload exactly 2^32
    reset_();
    EXPECT_EQ(total_bytes64_(), 0x100000000ull);
    EXPECT_EQ(total_bytes_(), 0xFFFFFFFFu);
    wide_map({{0x300000, 0x100000000ull + kHeader - 16}});
    reset_();
    EXPECT_EQ(total_bytes_(), 0xFFFFFFF0u);
}

} // namespace
} // namespace lbw::test
