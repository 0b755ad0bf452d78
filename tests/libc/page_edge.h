// Readable pages between two inaccessible ones: a read before begin() or past end() faults.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

namespace lbw::test {

class PageEdge {
public:
    explicit PageEdge(size_t pages = 1) : size_(pages * page_) {
        mprotect(base_, page_, PROT_NONE);
        mprotect(begin() + size_, page_, PROT_NONE);
    }
    ~PageEdge() { munmap(base_, size_ + 2 * page_); }
    char *begin() const { return base_ + page_; }
    char *end() const { return begin() + size_; }

private:
    size_t page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t size_;
    char *base_ = static_cast<char *>(
        mmap(nullptr, size_ + 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
};

} // namespace lbw::test
