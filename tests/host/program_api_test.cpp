// The readiness rule of the program API table, through the allocation entry points:
// they hand their arguments to the host's heap unchanged, or fall back to null (and
// nothing) when the table or the entry is not there.
#include "tests/support/library_test.h"

#include <cstdint>

namespace lbw::test {
namespace {

using ProgramApiTest = LibraryTest;

// Each fault makes every heap entry absent: no call reaches the host (a fake pointer
// handed to the host's free would stop the test).
TEST_F(ProgramApiTest, AllocationReachesTheHostHeapOnlyThroughAReadyTable) {
    auto malloc_ = fn<void *(uint64_t)>("malloc");
    auto realloc_ = fn<void *(void *, uint64_t)>("realloc");
    auto free_ = fn<void(void *)>("free");
    auto &heap = host().heap();
    void *p = malloc_(0), *q = realloc_(nullptr, 40), *r = realloc_(q, 4000);
    ASSERT_TRUE(p && q && r);
    free_(nullptr);
    free_(p);
    free_(r);
    EXPECT_EQ(heap.malloc_sizes, (std::vector<uint64_t>{0}));
    EXPECT_EQ(heap.realloc_sizes, (std::vector<uint64_t>{40, 4000}));
    EXPECT_EQ(heap.freed, (std::vector<void *>{nullptr, p, r}));
    heap.fail = [](uint64_t) { return true; };
    EXPECT_EQ(malloc_(16), nullptr);
    EXPECT_EQ(realloc_(nullptr, 16), nullptr);

    void (*const faults[])(simhost::Host &) = {
        [](simhost::Host &h) { h.api().magic = 0x50414D4D; },
        [](simhost::Host &h) { h.api().ready = 0; },
        [](simhost::Host &h) { h.api().size = 11; },
        [](simhost::Host &h) { h.api().size = 0x4F; }, // malloc's entry would end at 0x50
        [](simhost::Host &h) {
            for (uint32_t entry : {LM_ENTRY_MALLOC, LM_ENTRY_FREE, LM_ENTRY_REALLOC})
                h.set_entry(entry, nullptr);
        },
    };
    for (auto fault : faults) {
        host().reset();
        fault(host());
        EXPECT_EQ(malloc_(8), nullptr);
        EXPECT_EQ(realloc_(nullptr, 8), nullptr);
        free_(reinterpret_cast<void *>(0x1234));
        EXPECT_TRUE(heap.malloc_sizes.empty() && heap.realloc_sizes.empty() && heap.freed.empty());
    }
    // A size of 0x50 covers malloc's entry and not realloc's; the table is read afresh.
    host().reset();
    host().api().size = 0x50;
    EXPECT_NE(malloc_(8), nullptr);
    EXPECT_EQ(realloc_(nullptr, 8), nullptr);
    host().api().ready = 0;
    EXPECT_EQ(malloc_(8), nullptr);
    host().api().ready = 7;
    EXPECT_NE(malloc_(8), nullptr);
}

} // namespace
} // namespace lbw::test
