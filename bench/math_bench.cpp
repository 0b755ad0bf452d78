// exp and atan2 over a fixed spread of typical arguments, next to glibc's; each
// iteration evaluates the whole set once.
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <iterator>

namespace lbw::bench {
namespace {

using UnaryFn = double(double);
using BinaryFn = double(double, double);

const double kExpArguments[] = {-700.25, -30.5, -2.75, -0.5, -1e-9, 0.0,  0.125,
                                0.69,    1.0,   3.3,   12.5, 88.7,  300.1, 709.0};
const double kAtan2Arguments[][2] = {{1.0, 2.0},   {-3.5, 0.25},  {0.0, -1.0},   {1e-5, 7.0},  {-2.0, -2.0},
                                     {5.0, -1e3},  {0.75, 0.8},   {-1e10, 3.0},  {42.0, 42.5}, {-0.3, -7.9},
                                     {6.0, 1e-20}, {-1.2, 1.2e4}, {2.5, -0.125}, {9.9, 1.1}};

void exp_set(benchmark::State &state, bool lib) {
    UnaryFn *f = lib ? fn<UnaryFn>("exp") : static_cast<UnaryFn *>(&::exp);
    benchmark::DoNotOptimize(f);
    for (auto _ : state)
        for (double x : kExpArguments)
            benchmark::DoNotOptimize(f(x));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kExpArguments)));
}

void atan2_set(benchmark::State &state, bool lib) {
    BinaryFn *f = lib ? fn<BinaryFn>("atan2") : static_cast<BinaryFn *>(&::atan2);
    benchmark::DoNotOptimize(f);
    for (auto _ : state)
        for (const auto &point : kAtan2Arguments)
            benchmark::DoNotOptimize(f(point[0], point[1]));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kAtan2Arguments)));
}

BENCHMARK_CAPTURE(exp_set, exp_typical_lib, true);
BENCHMARK_CAPTURE(exp_set, exp_typical_glibc, false);
BENCHMARK_CAPTURE(atan2_set, atan2_typical_lib, true);
BENCHMARK_CAPTURE(atan2_set, atan2_typical_glibc, false);

} // namespace
} // namespace lbw::bench
