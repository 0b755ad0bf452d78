// The probe heap over the memory the substitute host maps at 0x300000..0x4000000,
// described to the library in the hand-off area's memory maps.
#include "tests/support/library_test.h"

#include <cstdint>
#include <cstring>
#include <ostream>
#include <initializer_list>
#include <utility>
#include <vector>

namespace lbw::test {
namespace {

constexpr uint64_t kFloor = 0x300000;
constexpr uint64_t kFallbackTop = 0x4000000;
constexpr uint64_t kHeader = 32;

// A block header as the heap writes it into the managed memory.
struct Header {
    uint64_t size;
    Header *next;
    uint8_t is_free;
};

Header *header_at(uint64_t address) {
    return reinterpret_cast<Header *>(static_cast<uintptr_t>(address));
}

uint64_t address_of(const void *p) {
    return reinterpret_cast<uintptr_t>(p);
}

using Region = std::pair<uint64_t, uint64_t>; // base, length

// A block of the heap as seen through its header.
struct Block {
    uint64_t address;
    uint64_t size;
    bool is_free;
    bool operator==(const Block &) const = default;
};

void PrintTo(const Block &block, std::ostream *os) {
    *os << std::hex << "{0x" << block.address << ", 0x" << block.size << (block.is_free ? ", free}" : ", used}");
}

// The blocks in list order, starting at the header at `first`.
std::vector<Block> blocks(uint64_t first) {
    std::vector<Block> list;
    for (Header *h = header_at(first); h && list.size() < 1000; h = h->next)
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

    void legacy_map(std::initializer_list<Region> regions) {
        auto &handoff = host().handoff();
        uint32_t i = 0;
        for (const auto &[base, length] : regions) {
            handoff.legacy_map[i].base = static_cast<uint32_t>(base);
            handoff.legacy_map[i].length = static_cast<uint32_t>(length);
            i++;
        }
        handoff.legacy_count = i;
    }

    // Writes every entry at its place in the area, also entries past the 64 that the
    // heap reads (there is room for a few below the program API table).
    void wide_map(const std::vector<Region> &regions) {
        auto &handoff = host().handoff();
        handoff.wide_magic = LM_BOOT_WIDE_MAP_MAGIC;
        auto *entries = reinterpret_cast<LmBootWideMemoryRegion *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS + 0x240});
        uint32_t i = 0;
        for (const auto &[base, length] : regions) {
            EXPECT_LE(LM_BOOT_HANDOFF_ADDRESS + 0x240 + (i + 1) * sizeof *entries, LM_PROGRAM_API_ADDRESS);
            entries[i++] = {base, length};
        }
        handoff.wide_count = i;
    }
};

TEST_F(ProbeHeapTest, LegacyRegionIsRaisedToTheFloor) {
    legacy_map({{0x100000, 0x400000}});
    EXPECT_EQ(total_bytes64_(), 0x200000 - kHeader);
    EXPECT_EQ(total_bytes_(), 0x200000 - kHeader);
    EXPECT_EQ(free_bytes_(), 0x200000 - kHeader);
    Header *h = header_at(kFloor);
    EXPECT_EQ(h->size, 0x200000 - kHeader);
    EXPECT_EQ(h->next, nullptr);
    EXPECT_EQ(h->is_free, 1);
}

TEST_F(ProbeHeapTest, TouchingAndOverlappingRegionsMerge) {
    legacy_map({{0x300000, 0x1000}, {0x301000, 0x1000}});
    EXPECT_EQ(total_bytes64_(), 0x2000 - kHeader);
    EXPECT_EQ(header_at(kFloor)->next, nullptr);

    legacy_map({{0x300000, 0x1000}, {0x300800, 0x1000}});
    reset_();
    EXPECT_EQ(total_bytes64_(), 0x1800 - kHeader);

    // A region inside another keeps the larger end; map order does not matter.
    legacy_map({{0x301000, 0x800}, {0x300000, 0x4000}, {0x303F00, 0x200}});
    reset_();
    EXPECT_EQ(total_bytes64_(), 0x4100 - kHeader);
    EXPECT_EQ(header_at(kFloor)->next, nullptr);
}

TEST_F(ProbeHeapTest, SeparateRegionsBecomeBlocksInAddressOrder) {
    legacy_map({{0x320000, 0x1000}, {0x300000, 0x1000}, {0x310000, 0x2000}});
    EXPECT_EQ(total_bytes64_(), 0x4000 - 3 * kHeader);
    Header *first = header_at(0x300000);
    ASSERT_EQ(first->next, header_at(0x310000));
    ASSERT_EQ(first->next->next, header_at(0x320000));
    EXPECT_EQ(first->next->size, 0x2000 - kHeader);
    EXPECT_EQ(first->next->next->next, nullptr);
}

TEST_F(ProbeHeapTest, EntriesThatGiveNothingAreSkipped) {
    legacy_map({{0x300000, 0}, {0x100000, 0x200000}, {0x200000, 0x50000}, {0x310000, 0x1000}});
    EXPECT_EQ(total_bytes64_(), 0x1000 - kHeader);
    EXPECT_EQ(header_at(0x310000)->next, nullptr);
}

TEST_F(ProbeHeapTest, OnlyTheFirst16LegacyEntriesAreRead) {
    auto &handoff = host().handoff();
    handoff.legacy_count = 20;
    for (uint32_t i = 0; i < 16; i++)
        handoff.legacy_map[i] = {static_cast<uint32_t>(0x300000 + i * 0x1000), 0x100};
    // Entries 16..19 of an unlimited map would lie right behind the 16 that are read.
    auto *beyond = reinterpret_cast<LmBootLegacyMemoryRegion *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS + 0x90 + 16 * 8});
    for (int i = 0; i < 4; i++)
        beyond[i] = {static_cast<uint32_t>(0x400000 + i * 0x1000), 0x100};
    EXPECT_EQ(total_bytes64_(), 16 * (0x100 - kHeader));
}

TEST_F(ProbeHeapTest, OnlyTheFirst64WideEntriesAreRead) {
    std::vector<Region> regions;
    for (uint64_t i = 0; i < 70; i++)
        regions.push_back({0x300000 + i * 0x1000, 0x100});
    wide_map(regions);
    EXPECT_EQ(host().handoff().wide_count, 70u);
    EXPECT_EQ(total_bytes64_(), 64 * (0x100 - kHeader));
    EXPECT_EQ(blocks(kFloor).size(), 64u);
}

TEST_F(ProbeHeapTest, WideMapIsUsedOnlyWithItsMagicAndACount) {
    legacy_map({{0x300000, 0x1000}});
    host().handoff().wide_magic = LM_BOOT_WIDE_MAP_MAGIC;
    host().handoff().wide_count = 0;
    host().handoff().wide_map[0] = {0x300000, 0x8000};
    EXPECT_EQ(total_bytes64_(), 0x1000 - kHeader) << "count 0: legacy map";

    host().handoff().wide_count = 1;
    host().handoff().wide_magic = LM_BOOT_WIDE_MAP_MAGIC + 1;
    reset_();
    EXPECT_EQ(total_bytes64_(), 0x1000 - kHeader) << "wrong magic: legacy map";

    host().handoff().wide_magic = LM_BOOT_WIDE_MAP_MAGIC;
    reset_();
    EXPECT_EQ(total_bytes64_(), 0x8000 - kHeader) << "wide map replaces the legacy map";
}

TEST_F(ProbeHeapTest, WideEntriesThatWrapAreSkipped) {
    wide_map({{0xFFFFFFFFFFFFF000ull, 0x2000}, {0x1000000, 0 - 0x800000ull}, {0x100000, UINT64_MAX}, {0x308000, 0x1000}});
    EXPECT_EQ(total_bytes64_(), 0x1000 - kHeader);
    EXPECT_EQ(blocks(0x308000), (std::vector<Block>{{0x308000, 0x1000 - kHeader, true}}));
}

TEST_F(ProbeHeapTest, LegacyEntryEndingAbove4GiBIsNotWrapped) {
    // 0x300000 + 0xFFF00000 passes 4 GiB; in 32 bits it would wrap below the floor.
    legacy_map({{0x300000, 0xFFF00000}});
    EXPECT_EQ(total_bytes64_(), 0xFFF00000 - kHeader);
    EXPECT_EQ(header_at(kFloor)->size, 0xFFF00000 - kHeader);
    void *p = alloc_(100);
    EXPECT_EQ(address_of(p), kFloor + kHeader);
}

TEST_F(ProbeHeapTest, AlignmentPaddingAndTheSmallestBlock) {
    // Unaligned start: the header moves to the next 16-byte boundary, the end is cut down.
    legacy_map({{0x300008, 0x1000}});
    EXPECT_EQ(total_bytes64_(), 0xFF0 - kHeader);
    EXPECT_EQ(blocks(0x300010), (std::vector<Block>{{0x300010, 0xFF0 - kHeader, true}}));

    // 32 usable bytes are dropped; 48 give a 16-byte payload; 63 still give 16.
    legacy_map({{0x300000, 0x20}, {0x300100, 0x30}, {0x300200, 0x3F}, {0x300301, 0x3F}});
    reset_();
    EXPECT_EQ(blocks(0x300100), (std::vector<Block>{{0x300100, 16, true}, {0x300200, 16, true}, {0x300310, 16, true}}));
    EXPECT_EQ(total_bytes64_(), 48u);
}

TEST_F(ProbeHeapTest, FirstAllocationSplitsTheFirstBlock) {
    legacy_map({{0x300000, 0x1000}});
    void *p = alloc_(1);
    EXPECT_EQ(address_of(p), kFloor + kHeader);
    EXPECT_EQ(blocks(kFloor), (std::vector<Block>{{kFloor, 16, false}, {kFloor + 48, 0x1000 - kHeader - 16 - kHeader, true}}));
    EXPECT_EQ(free_bytes64_(), 0x1000 - 2 * kHeader - 16);
    EXPECT_EQ(total_bytes64_(), 0x1000 - 2 * kHeader);
}

TEST_F(ProbeHeapTest, BlockWithoutRoomForAnotherIsHandedOutWhole) {
    legacy_map({{0x300000, 0x60}, {0x300100, 0x60}}); // two blocks of 64 bytes
    EXPECT_EQ(free_bytes_(), 128u);
    void *whole = alloc_(32); // 64 = need + 32: no split
    EXPECT_EQ(address_of(whole), 0x300020u);
    EXPECT_EQ(free_bytes_(), 64u);
    EXPECT_EQ(blocks(kFloor), (std::vector<Block>{{0x300000, 64, false}, {0x300100, 64, true}}));

    void *split = alloc_(16); // 64 = need + 48: split
    EXPECT_EQ(address_of(split), 0x300120u);
    EXPECT_EQ(blocks(kFloor), (std::vector<Block>{{0x300000, 64, false}, {0x300100, 16, false}, {0x300130, 16, true}}));
    EXPECT_EQ(free_bytes_(), 16u);
    EXPECT_EQ(total_bytes_(), 96u);
}

TEST_F(ProbeHeapTest, FirstFitSkipsBlocksThatAreTooSmall) {
    legacy_map({{0x300000, 0x60}, {0x310000, 0x1000}});
    void *big = alloc_(100);
    EXPECT_EQ(address_of(big), 0x310020u);
    void *small = alloc_(64);
    EXPECT_EQ(address_of(small), 0x300020u);
    void *next = alloc_(5);
    EXPECT_EQ(address_of(next), 0x310020u + 112 + kHeader) << "behind the first allocation";
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
    EXPECT_EQ(header_at(kFloor)->size, 16u) << "headers survive writes to the payloads";
}

TEST_F(ProbeHeapTest, FailedAllocationsReturnNull) {
    legacy_map({{0x300000, 0x1000}});
    EXPECT_EQ(alloc_(0x1000), nullptr);
    EXPECT_EQ(alloc_(UINT64_MAX), nullptr);
    EXPECT_EQ(alloc_(UINT64_MAX - 14), nullptr) << "rounding up would overflow";
    EXPECT_EQ(alloc_(UINT64_MAX - 15), nullptr);
    EXPECT_NE(alloc_(0x1000 - kHeader), nullptr) << "the whole block";
    EXPECT_EQ(alloc_(1), nullptr);
    EXPECT_EQ(free_bytes64_(), 0u);
}

TEST_F(ProbeHeapTest, ZeroSizeReturnsNullWithoutBuildingTheHeap) {
    EXPECT_EQ(alloc_(0), nullptr);
    legacy_map({{0x300000, 0x1000}}); // seen only if the list is built after this point
    EXPECT_EQ(total_bytes64_(), 0x1000 - kHeader);
}

TEST_F(ProbeHeapTest, TheMapIsReadOnceUntilReset) {
    legacy_map({{0x300000, 0x1000}});
    void *p = alloc_(64);
    ASSERT_NE(p, nullptr);
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
    wide_map({{0x300000, 0xFFFFFFFFull + kHeader + 1 - 16}}); // payload 2^32 - 16
    reset_();
    EXPECT_EQ(total_bytes_(), 0xFFFFFFF0u);
}

TEST_F(ProbeHeapTest, WithoutAMapTheFallbackRegionReaches64MiB) {
    EXPECT_EQ(total_bytes64_(), kFallbackTop - kFloor - kHeader);
    EXPECT_EQ(free_bytes_(), kFallbackTop - kFloor - kHeader);
    EXPECT_EQ(header_at(kFloor)->next, nullptr);
}

TEST_F(ProbeHeapTest, FallbackRegionEndsAtTheMemoryTop) {
    struct Case {
        uint32_t memory_top;
        uint64_t expected_size;
    };
    const Case cases[] = {
        {0, kFallbackTop - kFloor - kHeader},
        {0x300000, kFallbackTop - kFloor - kHeader},
        {0x300020, kFallbackTop - kFloor - kHeader},
        {0x30002F, kFallbackTop - kFloor - kHeader}, // rounds down to 0x300020
        {0x300030, 16},
        {0x30003F, 16},
        {0x1000000, 0xD00000 - kHeader},
        {0x100000F, 0xD00000 - kHeader},
        {0x3FFFFF0, 0x3CFFFF0 - kHeader},
    };
    for (const Case &c : cases) {
        host().handoff().memory_top = c.memory_top;
        reset_();
        EXPECT_EQ(total_bytes64_(), c.expected_size) << std::hex << c.memory_top;
    }
}

TEST_F(ProbeHeapTest, MapThatYieldsNothingFallsBack) {
    host().handoff().memory_top = 0x400000;
    legacy_map({{0x100000, 0x100000}, {0x300000, 0x20}});
    EXPECT_EQ(total_bytes64_(), 0x100000 - kHeader);
    wide_map({{0x300000, 0}});
    reset_();
    EXPECT_EQ(total_bytes64_(), 0x100000 - kHeader);
}

} // namespace
} // namespace lbw::test
