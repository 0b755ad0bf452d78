// strtod of typical decimal numbers and strtol of typical integers, next to glibc's; each
// iteration parses the whole set once.
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace lbw::bench {
namespace {

using StrtodFn = double(const char *, char **);
using StrtolFn = long(const char *, char **, int);

const char *const kDecimals[] = {"3.14159", "-273.15", "0.001", "42", "6.02214076e23", "1e-9", "12345.678",
                                 "  -0.5", "299792458", "2.718281828459045", "1.5e3", "100.25"};
const char *const kIntegers[] = {"0", "42", "-17", "65535", "123456789", "-2147483648", "  9000", "+7",
                                 "4096", "1000000007", "0x1F", "0755"};

void parse_decimals(benchmark::State &state, bool lib) {
    StrtodFn *f = lib ? fn<StrtodFn>("strtod") : static_cast<StrtodFn *>(&std::strtod);
    benchmark::DoNotOptimize(f);
    char *end;
    for (auto _ : state)
        for (const char *text : kDecimals) {
            benchmark::DoNotOptimize(f(text, &end));
            benchmark::DoNotOptimize(end);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kDecimals)));
}

void parse_integers(benchmark::State &state, bool lib) {
    StrtolFn *f = lib ? fn<StrtolFn>("strtol") : static_cast<StrtolFn *>(&std::strtol);
    benchmark::DoNotOptimize(f);
    char *end;
    for (auto _ : state)
        for (const char *text : kIntegers) {
            benchmark::DoNotOptimize(f(text, &end, 0));
            benchmark::DoNotOptimize(end);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kIntegers)));
}

BENCHMARK_CAPTURE(parse_decimals, strtod_typical_lib, true);
BENCHMARK_CAPTURE(parse_decimals, strtod_typical_glibc, false);
BENCHMARK_CAPTURE(parse_integers, strtol_typical_lib, true);
BENCHMARK_CAPTURE(parse_integers, strtol_typical_glibc, false);

} // namespace
} // namespace lbw::bench
