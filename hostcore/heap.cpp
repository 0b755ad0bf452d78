#include "hostcore/heap.h"

#include <string.h>

namespace lbw::hostcore {

namespace {

constexpr uint32_t kAlignmentLog2 = 4;
constexpr uint64_t kAlignment = uint64_t{1} << kAlignmentLog2;
constexpr uint32_t kHeader = 16;
constexpr uint32_t kMinimumBlock = 32; // a header and the two free-list links
constexpr uint32_t kSecondLevelsLog2 = 5;
// Blocks below this size share the first level, in steps of the alignment.
constexpr uint64_t kSmallBlocks = uint64_t{1} << (kSecondLevelsLog2 + kAlignmentLog2);
constexpr uint64_t kAddressLimit = uint64_t{1} << 32;
// The largest request: its block (with header, rounded up) still has a 32-bit size.
constexpr uint64_t kMaximumRequest = kAddressLimit - 2 * kAlignment;
constexpr uint32_t kFreeBit = 1;
constexpr uint64_t kLiveSeal = 0x4556494C50414548; // "HEAPLIVE"

uint32_t highest_bit(uint64_t value) {
    return 63 - static_cast<uint32_t>(__builtin_clzll(value));
}

uint32_t lowest_bit(uint32_t value) {
    return static_cast<uint32_t>(__builtin_ctz(value));
}

// The list a block of `size` bytes belongs to.
void list_of(uint64_t size, uint32_t &first, uint32_t &second) {
    if (size < kSmallBlocks) {
        first = 0;
        second = static_cast<uint32_t>(size >> kAlignmentLog2);
        return;
    }
    uint32_t top = highest_bit(size);
    first = top - (kSecondLevelsLog2 + kAlignmentLog2 - 1);
    second = static_cast<uint32_t>(size >> (top - kSecondLevelsLog2)) - (1u << kSecondLevelsLog2);
}

// The size of the block that holds `request` bytes; false when there can be none.
bool block_size_for(uint64_t request, uint32_t &size) {
    if (request > kMaximumRequest)
        return false;
    uint64_t need = (request + kHeader + kAlignment - 1) & ~(kAlignment - 1);
    size = static_cast<uint32_t>(need < kMinimumBlock ? kMinimumBlock : need);
    return true;
}

} // namespace

// A block: this header, then the payload. A free block keeps its list links at the
// start of its payload. `prev_size` is 0 for the first block of a region; the region
// ends with a block of size 0 that is never free, so every block has one above it.
struct Heap::Block {
    uint32_t prev_size;
    uint32_t size_bits; // the whole block, a multiple of 16, with kFreeBit
    uint64_t seal;      // kLiveSeal mixed with the address while live; 0 otherwise
    Block *next_free;
    Block *prev_free;

    uint32_t size() const { return size_bits & ~kFreeBit; }
    bool free() const { return size_bits & kFreeBit; }
    uint64_t live_seal() const { return kLiveSeal ^ reinterpret_cast<uintptr_t>(this); }
    void *payload() { return reinterpret_cast<uint8_t *>(this) + kHeader; }
    Block *above() { return reinterpret_cast<Block *>(reinterpret_cast<uint8_t *>(this) + size()); }
    Block *below() {
        return prev_size ? reinterpret_cast<Block *>(reinterpret_cast<uint8_t *>(this) - prev_size) : nullptr;
    }
    // Sets the size of a block that is in no list, and the tag of the block above.
    void resize(uint32_t size) {
        size_bits = size;
        above()->prev_size = size;
    }
};

void Heap::reset() {
    *this = Heap{};
}

bool Heap::add_region(void *base, uint64_t size) {
    auto start = reinterpret_cast<uintptr_t>(base);
    if (!base || start >= kAddressLimit || region_count_ == kMaxRegions)
        return false;
    uint64_t end = size < kAddressLimit - start ? start + size : kAddressLimit;
    uint64_t first = (start + kAlignment - 1) & ~(kAlignment - 1);
    uint64_t last = end & ~(kAlignment - 1);
    if (last < first + kMinimumBlock + kHeader)
        return false;

    auto *block = reinterpret_cast<Block *>(first);
    auto *marker = reinterpret_cast<Block *>(last - kHeader);
    uint32_t span = static_cast<uint32_t>(last - kHeader - first);
    block->prev_size = 0;
    block->size_bits = span;
    marker->prev_size = span;
    marker->size_bits = 0;
    marker->seal = 0;
    insert_free(block);
    regions_[region_count_++] = {first, reinterpret_cast<uintptr_t>(marker)};
    capacity_ += span;
    return true;
}

Heap::Block *Heap::live_block(const void *pointer) const {
    auto address = reinterpret_cast<uintptr_t>(pointer);
    if (!pointer || address % kAlignment != 0)
        return nullptr;
    uintptr_t header = address - kHeader;
    for (uint32_t i = 0; i < region_count_; i++) {
        const Region &region = regions_[i];
        if (header < region.begin || header >= region.end)
            continue;
        auto *block = reinterpret_cast<Block *>(header);
        if (block->seal != block->live_seal() || block->free() || block->size() < kMinimumBlock ||
            block->size() > region.end - header)
            return nullptr;
        return block;
    }
    return nullptr;
}

void Heap::insert_free(Block *block) {
    uint32_t first, second;
    list_of(block->size(), first, second);
    Block *head = lists_[first][second];
    block->next_free = head;
    block->prev_free = nullptr;
    if (head)
        head->prev_free = block;
    lists_[first][second] = block;
    first_map_ |= 1u << first;
    second_map_[first] |= 1u << second;
    block->size_bits |= kFreeBit;
    block->seal = 0;
    free_blocks_++;
}

void Heap::remove_free(Block *block) {
    uint32_t first, second;
    list_of(block->size(), first, second);
    if (block->next_free)
        block->next_free->prev_free = block->prev_free;
    if (block->prev_free) {
        block->prev_free->next_free = block->next_free;
    } else {
        lists_[first][second] = block->next_free;
        if (!block->next_free) {
            second_map_[first] &= ~(1u << second);
            if (!second_map_[first])
                first_map_ &= ~(1u << first);
        }
    }
    block->size_bits &= ~kFreeBit;
    free_blocks_--;
}

// A free block of at least `size` bytes, still in its list. The search starts at the
// list above the one `size` falls in, whose blocks all fit, so it never walks a list.
Heap::Block *Heap::find_free(uint32_t size) const {
    uint64_t target = size;
    if (target >= kSmallBlocks)
        target += (uint64_t{1} << (highest_bit(target) - kSecondLevelsLog2)) - 1;
    uint32_t first, second;
    list_of(target, first, second);
    if (first < kFirstLevels) {
        uint32_t seconds = second_map_[first] & (~0u << second);
        if (!seconds) {
            uint32_t firsts = first + 1 < kFirstLevels ? first_map_ & (~0u << (first + 1)) : 0;
            if (firsts) {
                first = lowest_bit(firsts);
                seconds = second_map_[first];
            }
        }
        if (seconds)
            return lists_[first][lowest_bit(seconds)];
    }
    // Nothing larger is free: the head of the request's own list may still fit (the
    // whole heap as one free block, near exhaustion).
    list_of(size, first, second);
    Block *head = lists_[first][second];
    return head && head->size() >= size ? head : nullptr;
}

// Frees what lies beyond `size` bytes of a block that is in no list, when it is large
// enough to be a block.
void Heap::split(Block *block, uint32_t size) {
    uint32_t rest = block->size() - size;
    if (rest < kMinimumBlock)
        return;
    block->resize(size);
    Block *tail = block->above();
    tail->resize(rest);
    make_free(tail);
}

// Merges a block that is in no list with its free neighbours and lists the result.
void Heap::make_free(Block *block) {
    Block *above = block->above();
    if (above->free()) {
        remove_free(above);
        block->resize(block->size() + above->size());
    }
    Block *below = block->below();
    if (below && below->free()) {
        remove_free(below);
        below->resize(below->size() + block->size());
        block->seal = 0;
        block = below;
    }
    insert_free(block);
}

void *Heap::allocate(uint64_t request) {
    uint32_t size;
    if (!block_size_for(request, size))
        return nullptr;
    Block *block = find_free(size);
    if (!block)
        return nullptr;
    remove_free(block);
    split(block, size);
    block->seal = block->live_seal();
    in_use_ += block->size();
    return block->payload();
}

bool Heap::release(void *pointer) {
    Block *block = live_block(pointer);
    if (!block)
        return false;
    in_use_ -= block->size();
    make_free(block);
    return true;
}

void *Heap::reallocate(void *pointer, uint64_t request) {
    if (!pointer)
        return allocate(request);
    Block *block = live_block(pointer);
    uint32_t size;
    if (!block || !block_size_for(request, size))
        return nullptr;
    uint32_t old_size = block->size();
    if (old_size < size) {
        Block *above = block->above();
        if (!above->free() || uint64_t{old_size} + above->size() < size) {
            void *moved = allocate(request);
            if (moved) {
                memcpy(moved, pointer, old_size - kHeader);
                release(pointer);
            }
            return moved;
        }
        remove_free(above);
        block->resize(old_size + above->size());
    }
    split(block, size);
    in_use_ = in_use_ - old_size + block->size();
    return pointer;
}

} // namespace lbw::hostcore
