// lm_probe_heap_alloc against a straightforward first fit that walks the whole list from
// its head on every call, over random memory maps and random sequences of sizes: every
// returned address, every header of the list and the counters must agree.
#include "tests/support/library_test.h"

#include <cstdint>
#include <random>
#include <vector>

namespace lbw::test {
namespace {

constexpr uint64_t kFloor = 0x300000;
constexpr uint64_t kHeader = 32;

struct Header {
    uint64_t size;
    Header *next;
    uint8_t is_free;
};

struct Block {
    uint64_t address;
    uint64_t size;
    bool is_free;
    bool operator==(const Block &) const = default;
};

// The documented first fit over a model of the list.
class ReferenceHeap {
public:
    explicit ReferenceHeap(std::vector<Block> blocks) : blocks_(std::move(blocks)) {}

    uint64_t alloc(uint64_t size) {
        if (size == 0 || size > UINT64_MAX - 15)
            return 0;
        uint64_t need = (size + 15) & ~uint64_t{15};
        for (size_t i = 0; i < blocks_.size(); i++) {
            Block &block = blocks_[i];
            if (!block.is_free || block.size < need)
                continue;
            if (block.size - need >= kHeader + 16) {
                Block rest{block.address + kHeader + need, block.size - need - kHeader, true};
                block.size = need;
                blocks_.insert(blocks_.begin() + static_cast<long>(i) + 1, rest);
            }
            blocks_[i].is_free = false;
            return blocks_[i].address + kHeader;
        }
        return 0;
    }
    const std::vector<Block> &blocks() const { return blocks_; }

private:
    std::vector<Block> blocks_;
};

std::vector<Block> list_from(uint64_t first) {
    std::vector<Block> list;
    for (auto *h = reinterpret_cast<Header *>(static_cast<uintptr_t>(first)); h && list.size() < 100000; h = h->next)
        list.push_back({reinterpret_cast<uintptr_t>(h), h->size, h->is_free == 1});
    return list;
}

class ProbeHeapDifferentialTest : public LibraryTest {};

TEST_F(ProbeHeapDifferentialTest, RandomSequencesMatchTheWholeListFirstFit) {
    auto alloc = fn<void *(uint64_t)>("lm_probe_heap_alloc");
    auto reset = fn<void()>("lm_probe_heap_reset");
    auto free_bytes64 = fn<uint64_t()>("lm_probe_heap_free_bytes64");
    auto total_bytes64 = fn<uint64_t()>("lm_probe_heap_total_bytes64");
    std::mt19937_64 random(99);
    for (int round = 0; round < 60; round++) {
        // A few separate regions (16-byte aligned, apart from each other) of random sizes,
        // some too small for the larger requests, so that first fit passes over free
        // blocks that stay free.
        auto &handoff = host().handoff();
        uint32_t count = 1 + static_cast<uint32_t>(random() % 6);
        uint64_t base = kFloor + (random() % 64) * 16;
        for (uint32_t i = 0; i < count; i++) {
            uint64_t length = 64 + random() % (i % 2 ? 0x400 : 0x8000);
            handoff.legacy_map[i] = {static_cast<uint32_t>(base), static_cast<uint32_t>(length)};
            base += length + 16 + random() % 0x1000;
        }
        handoff.legacy_count = count;
        reset();
        // Initialisation is not what is compared: the reference starts from its result.
        uint64_t first = handoff.legacy_map[0].base;
        ReferenceHeap reference(list_from(first));
        ASSERT_EQ(reference.blocks().size(), count);

        for (int step = 0; step < 400; step++) {
            uint64_t size;
            switch (random() % 5) {
            case 0:
                size = random() % 4;
                break;
            case 1:
                size = 1 + random() % 0x2000;
                break;
            case 2:
                size = UINT64_MAX - random() % 20;
                break;
            default:
                size = 1 + random() % 100;
            }
            uint64_t want = reference.alloc(size);
            ASSERT_EQ(reinterpret_cast<uintptr_t>(alloc(size)), want) << "round " << round << " step " << step;
        }
        ASSERT_EQ(list_from(first), reference.blocks()) << "round " << round;
        uint64_t free_sum = 0, total_sum = 0;
        for (const Block &block : reference.blocks()) {
            total_sum += block.size;
            free_sum += block.is_free ? block.size : 0;
        }
        EXPECT_EQ(free_bytes64(), free_sum);
        EXPECT_EQ(total_bytes64(), total_sum);
    }
}

} // namespace
} // namespace lbw::test
