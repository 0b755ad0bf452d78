// The memory map the boot host hands to the program, on Linux.
#include "boot/memory_map.h"

#include "libc/include/lorrinboot/host.h"

#include <gtest/gtest.h>

#include <vector>

namespace lbw::boot {

bool operator==(const MemoryRange &a, const MemoryRange &b) {
    return a.base == b.base && a.length == b.length;
}

namespace {

constexpr uint64_t MiB = 1ull << 20;
constexpr uint64_t GiB = 1ull << 30;

std::vector<MemoryRange> compute(std::vector<MemoryRange> usable, std::vector<MemoryRange> reserved,
                                 uint32_t capacity = 64) {
    std::vector<MemoryRange> out(capacity);
    uint32_t n = program_memory(usable.data(), static_cast<uint32_t>(usable.size()), reserved.data(),
                                static_cast<uint32_t>(reserved.size()), out.data(), capacity);
    out.resize(n);
    return out;
}

TEST(MemoryMapTest, TheHostsOwnMemoryAndLowMemoryAreLeftOut) {
    // QEMU with 256 MiB: low memory, then RAM from 1 MiB; the host keeps up to 40 MiB.
    auto ranges = compute({{0, 0x9FC00}, {MiB, 255 * MiB - 128 * 1024}}, {{0, 40 * MiB}});
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0], (MemoryRange{40 * MiB, 216 * MiB - 128 * 1024}));
}

TEST(MemoryMapTest, RangesAreClippedToThreeMiBAndFourGiB) {
    auto ranges = compute({{2 * MiB, 2 * MiB}, {3 * GiB, 2 * GiB}, {5 * GiB, GiB}}, {});
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0], (MemoryRange{3 * MiB, MiB}));
    EXPECT_EQ(ranges[1], (MemoryRange{3 * GiB, GiB}));
}

TEST(MemoryMapTest, ReservedHolesSplitAndOverlapsJoin) {
    auto ranges = compute({{16 * MiB, 64 * MiB}, {48 * MiB, 64 * MiB}},
                          {{20 * MiB, 4 * MiB}, {30 * MiB, MiB}, {100 * MiB, 20 * MiB}});
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0], (MemoryRange{16 * MiB, 4 * MiB}));
    EXPECT_EQ(ranges[1], (MemoryRange{24 * MiB, 6 * MiB}));
    EXPECT_EQ(ranges[2], (MemoryRange{31 * MiB, 69 * MiB}));
}

TEST(MemoryMapTest, OutOfOrderAndTouchingRangesComeOutSortedAndJoined) {
    auto ranges = compute({{80 * MiB, 10 * MiB}, {10 * MiB, 10 * MiB}, {20 * MiB, 5 * MiB}, {50 * MiB, MiB}}, {});
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0], (MemoryRange{10 * MiB, 15 * MiB}));
    EXPECT_EQ(ranges[1], (MemoryRange{50 * MiB, MiB}));
    EXPECT_EQ(ranges[2], (MemoryRange{80 * MiB, 10 * MiB}));
    // A range that bridges two others joins all three.
    ranges = compute({{10 * MiB, MiB}, {20 * MiB, MiB}, {10 * MiB, 11 * MiB}}, {});
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0], (MemoryRange{10 * MiB, 11 * MiB}));
}

TEST(MemoryMapTest, ACapacityLimitDropsTheRest) {
    std::vector<MemoryRange> usable;
    for (uint64_t i = 0; i < 10; i++)
        usable.push_back({(10 + 2 * i) * MiB, MiB});
    EXPECT_EQ(compute(usable, {}, 4).size(), 4u);
    EXPECT_EQ(compute({{UINT64_MAX - MiB, 2 * MiB}}, {}).size(), 0u) << "a wrapping range is clipped, not trusted";
}

TEST(MemoryMapTest, TheHandoffAreaGetsBothFormsAndTheTop) {
    std::vector<MemoryRange> ranges;
    for (uint64_t i = 0; i < 20; i++)
        ranges.push_back({(10 + 2 * i) * MiB, MiB});
    LmBootHandoff handoff{};
    handoff.memory_top = 1;
    fill_handoff(handoff, ranges.data(), static_cast<uint32_t>(ranges.size()));
    EXPECT_EQ(handoff.wide_magic, LM_BOOT_WIDE_MAP_MAGIC);
    EXPECT_EQ(handoff.wide_count, 20u);
    EXPECT_EQ(handoff.legacy_count, 16u);
    EXPECT_EQ(handoff.wide_map[19].base, 48 * MiB);
    EXPECT_EQ(handoff.legacy_map[15].base, 40 * MiB);
    EXPECT_EQ(handoff.legacy_map[15].length, MiB);
    EXPECT_EQ(handoff.memory_top, 49 * MiB);

    LmBootHandoff empty{};
    fill_handoff(empty, nullptr, 0);
    EXPECT_EQ(empty.wide_count, 0u);
    EXPECT_EQ(empty.legacy_count, 0u);
    EXPECT_EQ(empty.memory_top, 0u);
}

} // namespace
} // namespace lbw::boot
