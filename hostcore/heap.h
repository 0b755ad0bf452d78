// The host heap behind the program API table's malloc, free and realloc entries, shared
// by the substitute host and the boot host.
//
// Free blocks sit in segregated lists of two levels: the first level by the power of two
// of the block size, the second by 32 equal steps inside that power (16 bytes apart for
// blocks below 512 bytes). A bitmap per level tells which lists hold blocks, so finding
// a fitting block, freeing one and resizing one take the same few steps however many
// blocks the heap holds. Every block carries boundary tags (its own size and the size of
// the block below it): a freed block merges at once with free neighbours, and a growing
// block takes the free block above it in place when that is large enough.
//
// Blocks are 16-byte aligned and lie below 4 GiB, because the library keeps the
// addresses of exception objects in 32-bit words: the part of a region at or above
// 4 GiB is left unused. The heap allocates nothing itself and needs no hosted library.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace lbw::hostcore {

class Heap {
public:
    static constexpr uint32_t kMaxRegions = 8;

    // Forgets every region and every block. A heap starts out in this state.
    void reset();
    // Adds [base, base + size) to the heap: the part below 4 GiB, trimmed to 16-byte
    // boundaries, becomes one free block. False, and nothing is added, when that part
    // cannot hold a block or kMaxRegions regions are in use. Regions must not overlap.
    bool add_region(void *base, uint64_t size);

    // A block of at least `size` bytes; 0 bytes gives a block of its own. Null when no
    // free block is large enough.
    void *allocate(uint64_t size);
    // Gives the block back. False, and nothing changes, for null and for anything that
    // is not a live block of this heap (a foreign, interior or already released pointer).
    bool release(void *pointer);
    // Null: allocate. A live block shrinks in place, grows in place into a free block
    // above it, or else moves with its contents. Null when the memory is not there (the
    // block stays as it was) and for a pointer that is not a live block.
    void *reallocate(void *pointer, uint64_t size);

    // Whether `pointer` is a live block of this heap.
    bool owns(const void *pointer) const { return live_block(pointer) != nullptr; }

    // The bytes that blocks can take in all regions, headers included; every byte of it
    // is either in use or free.
    uint64_t capacity() const { return capacity_; }
    uint64_t bytes_in_use() const { return in_use_; }
    uint64_t free_bytes() const { return capacity_ - in_use_; }
    uint32_t free_blocks() const { return free_blocks_; }

private:
    static constexpr uint32_t kSecondLevels = 32;
    static constexpr uint32_t kFirstLevels = 24; // block sizes below 4 GiB

    struct Block;
    struct Region {
        uintptr_t begin; // the first block
        uintptr_t end;   // the end marker, a block of size 0 that is never free
    };

    Block *live_block(const void *pointer) const;
    Block *find_free(uint32_t size) const;
    void insert_free(Block *block);
    void remove_free(Block *block);
    void make_free(Block *block);
    void split(Block *block, uint32_t size);

    Region regions_[kMaxRegions] = {};
    uint32_t region_count_ = 0;
    uint32_t first_map_ = 0;
    uint32_t second_map_[kFirstLevels] = {};
    Block *lists_[kFirstLevels][kSecondLevels] = {};
    uint64_t capacity_ = 0;
    uint64_t in_use_ = 0;
    uint32_t free_blocks_ = 0;
};

} // namespace lbw::hostcore
