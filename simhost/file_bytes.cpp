// Memory for file bytes handed to the library: an append-only arena below 4 GiB.
// Nothing is ever freed, so an address once handed out stays valid (and its bytes
// unchanged) until the process ends.
#include "simhost/file_store.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>

namespace lbw::sim {

namespace {

// Preferred place: below MAP_32BIT's window (which the host heap mostly reserves) and
// below the shadow memory of AddressSanitizer.
constexpr uintptr_t kPreferredBase = 0x10000000;
constexpr size_t kPreferredSize = 0x30000000;
constexpr size_t kFallbackSize = 64u << 20;
constexpr size_t kAlignment = 16;

class FileBytesArena {
public:
    unsigned char *allocate(size_t size) {
        if (!base_ && !reserve())
            return nullptr;
        size_t need = (size + kAlignment - 1) & ~(kAlignment - 1);
        if (need == 0)
            need = kAlignment; // an empty file still gets an address of its own
        if (need > capacity_ - used_) {
            if (!reported_) {
                std::fprintf(stderr, "substitute host: file memory exhausted; further file writes fail\n");
                reported_ = true;
            }
            return nullptr;
        }
        unsigned char *p = base_ + used_;
        used_ += need;
        return p;
    }

private:
    bool reserve() {
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
        base_ = static_cast<unsigned char *>(p);
        capacity_ = size;
        return true;
    }

    unsigned char *base_ = nullptr;
    size_t capacity_ = 0;
    size_t used_ = 0;
    bool reported_ = false;
};

FileBytesArena &arena() {
    static FileBytesArena arena;
    return arena;
}

} // namespace

uint32_t keep_file_bytes(const void *data, uint32_t size) {
    unsigned char *p = arena().allocate(size);
    if (!p)
        return 0;
    if (size)
        std::memcpy(p, data, size);
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

} // namespace lbw::sim
