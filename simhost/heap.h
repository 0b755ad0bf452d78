// The host's heap: malloc, free and realloc over an arena below 4 GiB (the library
// carries exception-object addresses in 32-bit words). First fit over an address-ordered
// free list, with neighbours merged on free, so that memory is reused for hours of running.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lbw::sim {

class HostHeap {
public:
    static constexpr uint64_t kDefaultLimit = 256ull << 20;

    HostHeap();
    // Forgets every block; `limit` caps the bytes the heap may hand out with headers.
    void reset(uint64_t limit = kDefaultLimit);

    void *allocate(uint64_t size);
    void release(void *pointer);
    void *reallocate(void *pointer, uint64_t size);

    // Whether `pointer` is a live block of this heap.
    bool owns(const void *pointer) const;
    uint64_t bytes_in_use() const { return in_use_; }
    uint64_t limit() const { return limit_; }

    // Recording for tests: sizes asked of malloc and realloc, pointers given to free.
    bool recording = true;
    std::vector<uint64_t> malloc_sizes;
    std::vector<uint64_t> realloc_sizes;
    std::vector<void *> freed;
    // When set and returning true for a request size, malloc/realloc answer null.
    std::function<bool(uint64_t)> fail;

    // The entries as the library calls them.
    static void *host_malloc(uint64_t size);
    static void host_free(void *pointer);
    static void *host_realloc(void *pointer, uint64_t size);

private:
    struct Block;
    Block *first_fit(uint64_t need);
    void split(Block *block, uint64_t need);
    void insert_free(Block *block);
    void unlink_free(Block *block);
    Block *next_of(Block *block) const;

    unsigned char *arena_ = nullptr;
    uint64_t arena_size_ = 0;
    uint64_t top_ = 0;       // bytes of the arena carved into blocks so far
    uint64_t limit_ = 0;
    uint64_t in_use_ = 0;
    Block *free_head_ = nullptr;
    Block *last_ = nullptr;  // highest block, for merging at the top
};

} // namespace lbw::sim
