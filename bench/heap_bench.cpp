// malloc and free through the library with 10, 1,000 and 100,000 blocks live in the
// host heap, each followed by a small free hole: each iteration frees a random live
// block and allocates one of 16 to 256 bytes in its place, so the heap stays as full and
// as cut up as it started. For scale, glibc's malloc and free doing the same.
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace lbw::bench {
namespace {

using Malloc = void *(uint64_t);
using Free = void(void *);

constexpr size_t kSteps = 4096; // precomputed choices, reused in a cycle

template <class Alloc, class Release>
void churn(benchmark::State &state, Alloc alloc, Release release) {
    auto live = static_cast<size_t>(state.range(0));
    std::mt19937_64 random(42);
    std::vector<size_t> victims(kSteps);
    std::vector<uint64_t> sizes(kSteps);
    for (size_t i = 0; i < kSteps; i++) {
        victims[i] = random() % live;
        sizes[i] = 16 + random() % 241;
    }
    // Between every two live blocks a hole too small for any request: a heap that
    // searches its free blocks one by one would pass them all.
    std::vector<void *> blocks(live), spacers(live);
    for (size_t i = 0; i < live; i++) {
        blocks[i] = alloc(sizes[i % kSteps]);
        spacers[i] = alloc(1);
    }
    for (void *spacer : spacers)
        release(spacer);

    size_t step = 0;
    for (auto _ : state) {
        void *&slot = blocks[victims[step]];
        release(slot);
        slot = alloc(sizes[step]);
        benchmark::DoNotOptimize(slot);
        step = (step + 1) % kSteps;
    }
    for (void *block : blocks)
        release(block);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void malloc_free_lib(benchmark::State &state) {
    churn(state, fn<Malloc>("malloc"), fn<Free>("free"));
}

void malloc_free_glibc(benchmark::State &state) {
    churn(state, [](uint64_t size) { return std::malloc(size); }, [](void *p) { std::free(p); });
}

BENCHMARK(malloc_free_lib)->Name("malloc_free_live_blocks_lib")->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(malloc_free_glibc)->Name("malloc_free_live_blocks_glibc")->Arg(10)->Arg(1000)->Arg(100000);

} // namespace
} // namespace lbw::bench
