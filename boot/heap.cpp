#include "boot/heap.h"

#include <string.h>

namespace lbw::boot {

namespace {

constexpr uint64_t kAlignment = 16;
constexpr uint64_t kUsedMark = 0x4445535520504548; // "HEP USED"
constexpr uint64_t kFreeMark = 0x4545524620504548; // "HEP FREE"

uint64_t round_up(uint64_t value) {
    return (value + kAlignment - 1) & ~(kAlignment - 1);
}

} // namespace

// Every block starts with this header; a free block's payload holds the link to the
// next free block (by address).
struct Heap::Block {
    uint64_t size; // whole block, header included
    uint64_t mark;
    Block *next_free;

    uint8_t *payload() { return reinterpret_cast<uint8_t *>(this) + kHeaderSize; }
    Block *following() { return reinterpret_cast<Block *>(reinterpret_cast<uint8_t *>(this) + size); }

    static constexpr uint64_t kHeaderSize = 16;
};

namespace {
// The smallest block: a header and room for the free-list link.
constexpr uint64_t kMinimumBlock = 32;
} // namespace

void Heap::init(void *base, uint64_t size) {
    auto start = reinterpret_cast<uintptr_t>(base);
    uintptr_t aligned = (start + kAlignment - 1) & ~uintptr_t{kAlignment - 1};
    uint64_t usable = size > aligned - start ? (size - (aligned - start)) & ~(kAlignment - 1) : 0;
    begin_ = reinterpret_cast<uint8_t *>(aligned);
    end_ = begin_ + usable;
    free_list_ = nullptr;
    if (usable >= kMinimumBlock) {
        free_list_ = reinterpret_cast<Block *>(begin_);
        free_list_->size = usable;
        free_list_->mark = kFreeMark;
        free_list_->next_free = nullptr;
    }
}

bool Heap::contains(const void *pointer) const {
    auto p = static_cast<const uint8_t *>(pointer);
    return p >= begin_ && p < end_;
}

Heap::Block *Heap::live_block(const void *pointer) const {
    auto p = static_cast<const uint8_t *>(pointer);
    if (!p || p < begin_ + Block::kHeaderSize || p >= end_)
        return nullptr;
    if ((reinterpret_cast<uintptr_t>(p) & (kAlignment - 1)) != 0)
        return nullptr;
    auto *block = reinterpret_cast<Block *>(const_cast<uint8_t *>(p) - Block::kHeaderSize);
    if (block->mark != kUsedMark || block->size < kMinimumBlock ||
        block->size > static_cast<uint64_t>(end_ - reinterpret_cast<uint8_t *>(block)))
        return nullptr;
    return block;
}

// Splits `size` bytes off the front of a free block and unlinks that part.
Heap::Block *Heap::take_free(Block *block, Block *previous, uint64_t size) {
    Block *rest = block->next_free;
    if (block->size - size >= kMinimumBlock) {
        rest = reinterpret_cast<Block *>(reinterpret_cast<uint8_t *>(block) + size);
        rest->size = block->size - size;
        rest->mark = kFreeMark;
        rest->next_free = block->next_free;
        block->size = size;
    }
    if (previous)
        previous->next_free = rest;
    else
        free_list_ = rest;
    block->mark = kUsedMark;
    return block;
}

void *Heap::allocate(uint64_t size) {
    if (size > static_cast<uint64_t>(end_ - begin_))
        return nullptr;
    uint64_t needed = round_up(size) + Block::kHeaderSize;
    if (needed < kMinimumBlock)
        needed = kMinimumBlock;
    Block *previous = nullptr;
    for (Block *block = free_list_; block; previous = block, block = block->next_free) {
        if (block->size >= needed)
            return take_free(block, previous, needed)->payload();
    }
    return nullptr;
}

void Heap::insert_free(Block *block) {
    block->mark = kFreeMark;
    Block *previous = nullptr;
    Block *next = free_list_;
    while (next && next < block) {
        previous = next;
        next = next->next_free;
    }
    block->next_free = next;
    if (next && block->following() == next) {
        block->size += next->size;
        block->next_free = next->next_free;
        next->mark = 0;
    }
    if (previous && previous->following() == block) {
        previous->size += block->size;
        previous->next_free = block->next_free;
        block->mark = 0;
    } else if (previous) {
        previous->next_free = block;
    } else {
        free_list_ = block;
    }
}

void Heap::release(void *pointer) {
    if (Block *block = live_block(pointer))
        insert_free(block);
}

uint64_t Heap::block_size(const void *pointer) const {
    Block *block = live_block(pointer);
    return block ? block->size - Block::kHeaderSize : 0;
}

void *Heap::resize(void *pointer, uint64_t size) {
    if (!pointer)
        return allocate(size);
    Block *block = live_block(pointer);
    if (!block || size > static_cast<uint64_t>(end_ - begin_))
        return nullptr;
    uint64_t needed = round_up(size) + Block::kHeaderSize;
    if (needed < kMinimumBlock)
        needed = kMinimumBlock;
    if (block->size >= needed)
        return pointer;

    // Grow into the free block that directly follows, when there is one big enough.
    Block *previous = nullptr;
    Block *next = free_list_;
    while (next && next < block) {
        previous = next;
        next = next->next_free;
    }
    if (next && block->following() == next && block->size + next->size >= needed) {
        uint64_t extra = needed - block->size;
        if (next->size - extra < kMinimumBlock)
            extra = next->size;
        take_free(next, previous, extra);
        next->mark = 0;
        block->size += extra;
        return pointer;
    }

    void *moved = allocate(size);
    if (!moved)
        return nullptr;
    memcpy(moved, pointer, block->size - Block::kHeaderSize);
    insert_free(block);
    return moved;
}

uint64_t Heap::free_bytes() const {
    uint64_t total = 0;
    for (Block *block = free_list_; block; block = block->next_free)
        total += block->size - Block::kHeaderSize;
    return total;
}

} // namespace lbw::boot
