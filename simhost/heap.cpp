#include "simhost/heap.h"

#include "simhost/host.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>

namespace lbw::simhost {

namespace {

constexpr uint64_t kArenaReserve = 768ull << 20;

[[noreturn]] void stop(const char *call, const void *pointer) {
    std::fprintf(stderr, "substitute host: %s of %p, which is no live block of the host heap\n", call, pointer);
    std::abort();
}

} // namespace

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
    // The pages the last run touched go back to the system (and read as zero again).
    if (limit_ > 0)
        madvise(arena_, limit_, MADV_DONTNEED);
    limit_ = limit < arena_size_ ? limit : arena_size_;
    heap_.reset();
    heap_.add_region(arena_, limit_);
    recording = false;
    malloc_sizes.clear();
    realloc_sizes.clear();
    freed.clear();
    fail = nullptr;
}

void HostHeap::release(void *pointer) {
    if (pointer && !heap_.release(pointer))
        stop("free", pointer);
}

void *HostHeap::reallocate(void *pointer, uint64_t size) {
    if (pointer && !heap_.owns(pointer))
        stop("realloc", pointer);
    return heap_.reallocate(pointer, size);
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

} // namespace lbw::simhost
