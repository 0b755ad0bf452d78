// Memory below 4 GiB for tests that hand a region to the hosts' heap, whose blocks lie
// below 4 GiB only. Pages are committed when first touched.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace lbw::test {

class LowMemory {
public:
    explicit LowMemory(size_t size) : size_(size) {
        void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT | MAP_NORESERVE,
                       -1, 0);
        if (p == MAP_FAILED)
            std::abort();
        data_ = static_cast<uint8_t *>(p);
    }
    ~LowMemory() { munmap(data_, size_); }
    LowMemory(const LowMemory &) = delete;
    LowMemory &operator=(const LowMemory &) = delete;

    uint8_t *data() const { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t *data_;
    size_t size_;
};

} // namespace lbw::test
