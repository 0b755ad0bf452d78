// snprintf of the library next to glibc's: a mixed format and one long string.
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace lbw::bench {
namespace {

using SnprintfFn = int(char *, size_t, const char *, ...);

SnprintfFn *snprintf_of(bool lib) {
    return lib ? fn<SnprintfFn>("snprintf") : static_cast<SnprintfFn *>(&std::snprintf);
}

void mixed(benchmark::State &state, bool lib) {
    SnprintfFn *f = snprintf_of(lib);
    char buf[128];
    int value = 1234567;
    double real = 3.1415926;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(real);
        benchmark::DoNotOptimize(f(buf, sizeof buf, "%d %s %x %f", value, "frame", 0xBEEFu, real));
        benchmark::ClobberMemory();
    }
}

void long_string(benchmark::State &state, bool lib) {
    SnprintfFn *f = snprintf_of(lib);
    std::string text(4000, 'q');
    char buf[4096];
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(buf, sizeof buf, "%s", text.c_str()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK_CAPTURE(mixed, snprintf_mixed_lib, true);
BENCHMARK_CAPTURE(mixed, snprintf_mixed_glibc, false);
BENCHMARK_CAPTURE(long_string, snprintf_long_string_lib, true);
BENCHMARK_CAPTURE(long_string, snprintf_long_string_glibc, false);

} // namespace
} // namespace lbw::bench
