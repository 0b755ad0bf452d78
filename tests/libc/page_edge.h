// A page of memory followed by an inaccessible one: a read past end() faults.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

namespace lbw::test {

class PageEdge {
public:
    PageEdge() {
        mprotect(base_ + size_, size_, PROT_NONE);
    }
    ~PageEdge() { munmap(base_, 2 * size_); }
    char *end() const { return base_ + size_; }

private:
    size_t size_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    char *base_ = static_cast<char *>(mmap(nullptr, 2 * size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
};

} // namespace lbw::test
