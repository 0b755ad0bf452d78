// The readiness rule of the program API table and the host fallbacks of the allocation
// entry points, against the built library.
#include "tests/support/library_test.h"

#include <cstdint>

namespace lbw::test {
namespace {

using MallocFn = void *(uint64_t);
using FreeFn = void(void *);
using ReallocFn = void *(void *, uint64_t);

class ProgramApiTest : public LibraryTest {
protected:
    MallocFn *malloc_ = nullptr;
    FreeFn *free_ = nullptr;
    ReallocFn *realloc_ = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        malloc_ = fn<MallocFn>("malloc");
        free_ = fn<FreeFn>("free");
        realloc_ = fn<ReallocFn>("realloc");
    }
};

TEST_F(ProgramApiTest, AllocationReachesTheHostHeapUnchanged) {
    void *p = malloc_(0);
    ASSERT_NE(p, nullptr);
    void *q = realloc_(nullptr, 40);
    ASSERT_NE(q, nullptr);
    void *r = realloc_(q, 4000);
    ASSERT_NE(r, nullptr);
    free_(nullptr);
    free_(p);
    free_(r);
    auto &heap = host().heap();
    EXPECT_EQ(heap.malloc_sizes, (std::vector<uint64_t>{0}));
    EXPECT_EQ(heap.realloc_sizes, (std::vector<uint64_t>{40, 4000}));
    EXPECT_EQ(heap.freed, (std::vector<void *>{nullptr, p, r}));
    EXPECT_EQ(heap.bytes_in_use(), 0u);
}

TEST_F(ProgramApiTest, HostResultsAreReturnedAsTheyAre) {
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_EQ(malloc_(16), nullptr);
    EXPECT_EQ(realloc_(nullptr, 16), nullptr);
}

TEST_F(ProgramApiTest, SizeMustCoverTheWholeEntry) {
    // 0x4C + 4 = 0x50: a table of 0x50 bytes holds the malloc entry, one of 0x4F does not.
    host().api().size = 0x4F;
    EXPECT_EQ(malloc_(8), nullptr);
    host().api().size = 0x50;
    EXPECT_NE(malloc_(8), nullptr);
    EXPECT_EQ(realloc_(nullptr, 8), nullptr) << "realloc at 0x54 lies outside a 0x50-byte table";
    EXPECT_EQ(host().heap().malloc_sizes.size(), 1u);
    EXPECT_TRUE(host().heap().realloc_sizes.empty());
}

TEST_F(ProgramApiTest, EveryHeaderFaultMakesEveryServiceAbsent) {
    struct Fault {
        const char *what;
        void (*apply)(LmBaremetalProgramApi &);
    };
    const Fault faults[] = {
        {"wrong magic", [](LmBaremetalProgramApi &api) { api.magic = 0x50414D4D; }},
        {"zero ready word", [](LmBaremetalProgramApi &api) { api.ready = 0; }},
        {"size below 12", [](LmBaremetalProgramApi &api) { api.size = 11; }},
        {"size 0", [](LmBaremetalProgramApi &api) { api.size = 0; }},
    };
    for (const Fault &fault : faults) {
        host().reset();
        fault.apply(host().api());
        EXPECT_EQ(malloc_(8), nullptr) << fault.what;
        EXPECT_EQ(realloc_(nullptr, 8), nullptr) << fault.what;
        free_(reinterpret_cast<void *>(0x1234)); // would abort in the host heap if it got there
        EXPECT_TRUE(host().heap().malloc_sizes.empty()) << fault.what;
        EXPECT_TRUE(host().heap().freed.empty()) << fault.what;
    }
}

TEST_F(ProgramApiTest, ZeroEntryIsAbsentEvenInAFullTable) {
    host().set_entry(LM_ENTRY_MALLOC, nullptr);
    host().set_entry(LM_ENTRY_FREE, nullptr);
    EXPECT_EQ(malloc_(8), nullptr);
    free_(reinterpret_cast<void *>(0x1234));
    EXPECT_TRUE(host().heap().freed.empty());
}

TEST_F(ProgramApiTest, TableIsReadAfreshOnEveryCall) {
    host().api().ready = 0;
    EXPECT_EQ(malloc_(8), nullptr);
    host().api().ready = 7;
    EXPECT_NE(malloc_(8), nullptr);
}

TEST_F(ProgramApiTest, LibraryCanBeLoadedManyTimes) {
    // Each test loads a fresh copy; the namespaces must be given back on unload.
    for (int i = 0; i < 40; i++) {
        sim::LoadedLibrary again(LBW_LIBRARY_PATH);
        EXPECT_NE(again.find("malloc"), nullptr);
    }
}

} // namespace
} // namespace lbw::test
