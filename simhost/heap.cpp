#include "simhost/heap.h"

#include "simhost/host.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lbw::sim {

namespace {
constexpr uint64_t kArenaReserve = 768ull << 20;
constexpr uint64_t kHeader = 16;
constexpr uint64_t kMinBlock = 32;
constexpr uint64_t kUsed = 1;
} // namespace

// Every block starts with this header; a free block also keeps its free-list links in
// its first payload bytes. `size` counts the header and is a multiple of 16.
struct HostHeap::Block {
    uint64_t size_and_used;
    uint64_t prev_size; // size of the block just below, 0 for the first
    Block *next_free;
    Block *prev_free;

    uint64_t size() const { return size_and_used & ~kUsed; }
    bool used() const { return size_and_used & kUsed; }
    void set(uint64_t size, bool used) { size_and_used = size | (used ? kUsed : 0); }
    void *payload() { return reinterpret_cast<unsigned char *>(this) + kHeader; }
};

HostHeap::HostHeap() {
    void *arena = mmap(nullptr, kArenaReserve, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT | MAP_NORESERVE, -1, 0);
    if (arena == MAP_FAILED) {
        std::perror("substitute host: cannot reserve the heap below 4 GiB");
        std::abort();
    }
    arena_ = static_cast<unsigned char *>(arena);
    arena_size_ = kArenaReserve;
    reset();
}

void HostHeap::reset(uint64_t limit) {
    if (top_ > 0)
        madvise(arena_, top_, MADV_DONTNEED);
    top_ = 0;
    limit_ = limit < arena_size_ ? limit : arena_size_;
    in_use_ = 0;
    free_head_ = nullptr;
    last_ = nullptr;
    recording = true;
    malloc_sizes.clear();
    realloc_sizes.clear();
    freed.clear();
    fail = nullptr;
}

HostHeap::Block *HostHeap::next_of(Block *block) const {
    unsigned char *next = reinterpret_cast<unsigned char *>(block) + block->size();
    return next < arena_ + top_ ? reinterpret_cast<Block *>(next) : nullptr;
}

void HostHeap::insert_free(Block *block) {
    block->prev_free = nullptr;
    block->next_free = free_head_;
    if (free_head_)
        free_head_->prev_free = block;
    free_head_ = block;
}

void HostHeap::unlink_free(Block *block) {
    if (block->prev_free)
        block->prev_free->next_free = block->next_free;
    else
        free_head_ = block->next_free;
    if (block->next_free)
        block->next_free->prev_free = block->prev_free;
}

HostHeap::Block *HostHeap::first_fit(uint64_t need) {
    for (Block *block = free_head_; block; block = block->next_free)
        if (block->size() >= need)
            return block;
    return nullptr;
}

// Cuts the free remainder off a block that is larger than `need`, when it is big enough
// to stand as a block of its own.
void HostHeap::split(Block *block, uint64_t need) {
    uint64_t rest = block->size() - need;
    if (rest < kMinBlock)
        return;
    block->set(need, block->used());
    auto *remainder = reinterpret_cast<Block *>(reinterpret_cast<unsigned char *>(block) + need);
    remainder->set(rest, false);
    remainder->prev_size = need;
    if (Block *after = next_of(remainder))
        after->prev_size = rest;
    else
        last_ = remainder;
    insert_free(remainder);
}

void *HostHeap::allocate(uint64_t size) {
    if (size > limit_)
        return nullptr;
    uint64_t need = (size + kHeader + 15) & ~uint64_t{15};
    if (need < kMinBlock)
        need = kMinBlock;
    Block *block = first_fit(need);
    if (block) {
        unlink_free(block);
        block->set(block->size(), true);
        split(block, need);
    } else {
        if (top_ + need > limit_)
            return nullptr;
        block = reinterpret_cast<Block *>(arena_ + top_);
        block->set(need, true);
        block->prev_size = last_ ? last_->size() : 0;
        top_ += need;
        last_ = block;
    }
    in_use_ += block->size();
    return block->payload();
}

bool HostHeap::owns(const void *pointer) const {
    auto *p = static_cast<const unsigned char *>(pointer);
    if (p < arena_ + kHeader || p >= arena_ + top_)
        return false;
    auto *block = reinterpret_cast<const Block *>(p - kHeader);
    return block->used();
}

void HostHeap::release(void *pointer) {
    if (!pointer)
        return;
    if (!owns(pointer)) {
        std::fprintf(stderr, "substitute host: free of %p, which is no live block of the host heap\n", pointer);
        std::abort();
    }
    auto *block = reinterpret_cast<Block *>(static_cast<unsigned char *>(pointer) - kHeader);
    in_use_ -= block->size();
    block->set(block->size(), false);

    Block *next = next_of(block);
    if (next && !next->used()) {
        unlink_free(next);
        block->set(block->size() + next->size(), false);
        if (last_ == next)
            last_ = block;
    }
    if (block->prev_size) {
        auto *prev = reinterpret_cast<Block *>(reinterpret_cast<unsigned char *>(block) - block->prev_size);
        if (!prev->used()) {
            unlink_free(prev);
            prev->set(prev->size() + block->size(), false);
            if (last_ == block)
                last_ = prev;
            block = prev;
        }
    }
    if (Block *after = next_of(block)) {
        after->prev_size = block->size();
        insert_free(block);
    } else {
        // The highest block goes back to the untouched top of the arena.
        top_ = static_cast<uint64_t>(reinterpret_cast<unsigned char *>(block) - arena_);
        last_ = block->prev_size
                    ? reinterpret_cast<Block *>(reinterpret_cast<unsigned char *>(block) - block->prev_size)
                    : nullptr;
    }
}

void *HostHeap::reallocate(void *pointer, uint64_t size) {
    if (!pointer)
        return allocate(size);
    if (!owns(pointer)) {
        std::fprintf(stderr, "substitute host: realloc of %p, which is no live block of the host heap\n", pointer);
        std::abort();
    }
    auto *block = reinterpret_cast<Block *>(static_cast<unsigned char *>(pointer) - kHeader);
    uint64_t old_payload = block->size() - kHeader;
    if (size <= old_payload)
        return pointer;
    void *fresh = allocate(size);
    if (!fresh)
        return nullptr;
    std::memcpy(fresh, pointer, old_payload);
    release(pointer);
    return fresh;
}

void *HostHeap::host_malloc(uint64_t size) {
    HostHeap &heap = Host::instance().heap();
    if (heap.recording)
        heap.malloc_sizes.push_back(size);
    if (heap.fail && heap.fail(size))
        return nullptr;
    return heap.allocate(size);
}

void HostHeap::host_free(void *pointer) {
    HostHeap &heap = Host::instance().heap();
    if (heap.recording)
        heap.freed.push_back(pointer);
    heap.release(pointer);
}

void *HostHeap::host_realloc(void *pointer, uint64_t size) {
    HostHeap &heap = Host::instance().heap();
    if (heap.recording)
        heap.realloc_sizes.push_back(size);
    if (heap.fail && heap.fail(size))
        return nullptr;
    return heap.reallocate(pointer, size);
}

} // namespace lbw::sim
