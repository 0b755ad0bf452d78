// The host heap behind the program API table's malloc, free and realloc entries, and
// the home of the host's own buffers (written files, decoded images). A first-fit
// allocator over one region of RAM below 4 GiB with an address-ordered free list that
// coalesces on release. Blocks are 16-byte aligned. Pointers that the heap did not
// hand out, and blocks already released, are ignored rather than trusted.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace lbw::boot {

class Heap {
public:
    // Takes [base, base + size) as the heap's region; any earlier state is forgotten.
    void init(void *base, uint64_t size);

    // Null when no free block is large enough. A size of 0 yields a minimal block.
    void *allocate(uint64_t size);
    // Null is ignored, as is anything that is not a live block of this heap.
    void release(void *pointer);
    // Null pointer: allocate. Grows in place when the next block is free, otherwise
    // moves; on failure returns null and leaves the old block as it was.
    void *resize(void *pointer, uint64_t size);

    // The usable bytes of a live block, 0 for anything else.
    uint64_t block_size(const void *pointer) const;
    uint64_t free_bytes() const;
    // Whether the pointer lies in the heap's region at all.
    bool contains(const void *pointer) const;

private:
    struct Block;
    Block *live_block(const void *pointer) const;
    void insert_free(Block *block);
    Block *take_free(Block *block, Block *previous, uint64_t size);

    uint8_t *begin_ = nullptr;
    uint8_t *end_ = nullptr;
    Block *free_list_ = nullptr;
};

} // namespace lbw::boot
