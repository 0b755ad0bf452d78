// Memory for file bytes handed to the library: one heap over a reservation below 4 GiB,
// apart from the program's heap, so that files never use up the memory a program gets
// and a program's bugs never reach the files' bytes.
#include "simhost/file_store.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>

namespace lbw::simhost {

namespace {

// Preferred place: below MAP_32BIT's window (which the host heap mostly reserves) and
// below the shadow memory of AddressSanitizer.
constexpr uintptr_t kPreferredBase = 0x10000000;
constexpr size_t kPreferredSize = 0x30000000;
constexpr size_t kFallbackSize = 64u << 20;

bool reserve(hostcore::Heap &heap) {
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
    void *p = mmap(reinterpret_cast<void *>(kPreferredBase), kPreferredSize, PROT_READ | PROT_WRITE,
                   flags | MAP_FIXED_NOREPLACE, -1, 0);
    size_t size = kPreferredSize;
    if (p == MAP_FAILED) {
        p = mmap(nullptr, kFallbackSize, PROT_READ | PROT_WRITE, flags | MAP_32BIT, -1, 0);
        size = kFallbackSize;
    }
    if (p == MAP_FAILED || reinterpret_cast<uintptr_t>(p) + size > 0x100000000ull) {
        std::perror("substitute host: cannot reserve file memory below 4 GiB");
        return false;
    }
    return heap.add_region(p, size);
}

} // namespace

hostcore::Heap &file_memory() {
    static hostcore::Heap heap;
    static bool reserved = reserve(heap);
    (void)reserved;
    return heap;
}

uint32_t keep_file_bytes(const void *data, uint32_t size) {
    void *p = file_memory().allocate(size);
    if (!p) {
        static bool reported = false;
        if (!reported)
            std::fprintf(stderr, "substitute host: file memory exhausted; further file writes fail\n");
        reported = true;
        return 0;
    }
    if (size)
        std::memcpy(p, data, size);
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

} // namespace lbw::simhost
