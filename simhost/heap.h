// The substitute host's heap: the hosts' shared heap over an arena below 4 GiB (the
// library carries exception-object addresses in 32-bit words), with what the tests need
// around it: a record of the calls when asked for, and a hook that makes requests fail.
#pragma once

#include "hostcore/heap.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lbw::simhost {

class HostHeap {
public:
    static constexpr uint64_t kDefaultLimit = 256ull << 20;

    HostHeap();
    // Forgets every block; `limit` caps the bytes the heap may hand out with headers.
    // Also clears the records and the failure hook, and stops recording.
    void reset(uint64_t limit = kDefaultLimit);

    void *allocate(uint64_t size) { return heap_.allocate(size); }
    // Stops the process with a message for anything but null or a live block: a caller
    // that frees or resizes what it does not own has a bug that must not go unseen.
    void release(void *pointer);
    void *reallocate(void *pointer, uint64_t size);

    // Whether `pointer` is a live block of this heap.
    bool owns(const void *pointer) const { return heap_.owns(pointer); }
    uint64_t bytes_in_use() const { return heap_.bytes_in_use(); }
    uint64_t limit() const { return limit_; }

    // Recording for tests, off unless switched on (a program may run for hours): sizes
    // asked of malloc and realloc, pointers given to free.
    bool recording = false;
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
    unsigned char *arena_ = nullptr;
    uint64_t arena_size_ = 0;
    uint64_t limit_ = 0;
    hostcore::Heap heap_;
};

} // namespace lbw::simhost
