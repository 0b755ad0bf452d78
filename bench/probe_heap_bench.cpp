// lm_probe_heap_alloc of 10,000 small blocks on a fresh heap; for scale, glibc's malloc
// of the same blocks (their release is not timed).
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace lbw::bench {
namespace {

constexpr int kBlocks = 10000;

uint64_t block_size(int i) {
    return 8 + static_cast<uint64_t>(i % 5) * 12; // 8 to 56 bytes
}

void probe_heap(benchmark::State &state) {
    auto alloc = fn<void *(uint64_t)>("lm_probe_heap_alloc");
    auto reset = fn<void()>("lm_probe_heap_reset");
    for (auto _ : state) {
        state.PauseTiming();
        reset();
        state.ResumeTiming();
        for (int i = 0; i < kBlocks; i++)
            benchmark::DoNotOptimize(alloc(block_size(i)));
    }
    state.SetItemsProcessed(state.iterations() * kBlocks);
}

void glibc_malloc(benchmark::State &state) {
    std::vector<void *> blocks(kBlocks);
    for (auto _ : state) {
        for (int i = 0; i < kBlocks; i++)
            benchmark::DoNotOptimize(blocks[static_cast<size_t>(i)] = std::malloc(block_size(i)));
        state.PauseTiming();
        for (void *block : blocks)
            std::free(block);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kBlocks);
}

BENCHMARK(probe_heap)->Name("probe_heap_alloc_10000_lib");
BENCHMARK(glibc_malloc)->Name("probe_heap_alloc_10000_glibc");

} // namespace
} // namespace lbw::bench
