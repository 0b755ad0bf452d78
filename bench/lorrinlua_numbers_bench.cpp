// The shell's number conversions next to glibc's, for what string.format, tostring and
// tonumber do most: %.14g, %d and %5.2f of typical values, strtod of typical numerals.
// Each iteration formats or reads the whole set once.
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace lbw::bench {
namespace {

using SnprintfFn = int(char *, size_t, const char *, ...);
using StrtodFn = double(const char *, char **);

struct Numbers {
    SnprintfFn *snprintf;
    StrtodFn *strtod;
};

const Numbers &numbers() {
    static Numbers n = [] {
        void *program = library().load_program(LBW_BENCH_LORRINLUA_NUMBERS);
        return Numbers{
            reinterpret_cast<SnprintfFn *>(simhost::LoadedLibrary::program_symbol(program, "lorrinlua_snprintf")),
            reinterpret_cast<StrtodFn *>(simhost::LoadedLibrary::program_symbol(program, "lorrinlua_strtod"))};
    }();
    return n;
}

const double kReals[] = {3.14159, -273.15, 0.001, 42.0, 6.02214076e23, 1e-9, 12345.678, -0.5, 299792458.0,
                         2.718281828459045, 1500.0, 100.25};
const long long kIntegers[] = {0, 42, -17, 65535, 123456789, -2147483648LL, 9000, 7, 4096, 1000000007,
                               9007199254740993LL, -1};
const char *const kNumerals[] = {"3.14159", "-273.15", "0.001", "42", "6.02214076e23", "1e-9", "12345.678",
                                 "  -0.5", "299792458", "2.718281828459045", "1.5e3", "100.25"};

void format_reals(benchmark::State &state, const char *format, bool lib) {
    SnprintfFn *f = lib ? numbers().snprintf : static_cast<SnprintfFn *>(&std::snprintf);
    benchmark::DoNotOptimize(f);
    char buffer[64];
    for (auto _ : state)
        for (double v : kReals) {
            benchmark::DoNotOptimize(f(buffer, sizeof buffer, format, v));
            benchmark::ClobberMemory();
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kReals)));
}

void format_integers(benchmark::State &state, bool lib) {
    SnprintfFn *f = lib ? numbers().snprintf : static_cast<SnprintfFn *>(&std::snprintf);
    benchmark::DoNotOptimize(f);
    char buffer[64];
    for (auto _ : state)
        for (long long v : kIntegers) {
            benchmark::DoNotOptimize(f(buffer, sizeof buffer, "%lld", v));
            benchmark::ClobberMemory();
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kIntegers)));
}

void read_numerals(benchmark::State &state, bool lib) {
    StrtodFn *f = lib ? numbers().strtod : static_cast<StrtodFn *>(&std::strtod);
    benchmark::DoNotOptimize(f);
    char *end;
    for (auto _ : state)
        for (const char *text : kNumerals) {
            benchmark::DoNotOptimize(f(text, &end));
            benchmark::DoNotOptimize(end);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kNumerals)));
}

BENCHMARK_CAPTURE(format_reals, lorrinlua_format_g14_lib, "%.14g", true);
BENCHMARK_CAPTURE(format_reals, lorrinlua_format_g14_glibc, "%.14g", false);
BENCHMARK_CAPTURE(format_reals, lorrinlua_format_5_2f_lib, "%5.2f", true);
BENCHMARK_CAPTURE(format_reals, lorrinlua_format_5_2f_glibc, "%5.2f", false);
BENCHMARK_CAPTURE(format_integers, lorrinlua_format_lld_lib, true);
BENCHMARK_CAPTURE(format_integers, lorrinlua_format_lld_glibc, false);
BENCHMARK_CAPTURE(read_numerals, lorrinlua_strtod_typical_lib, true);
BENCHMARK_CAPTURE(read_numerals, lorrinlua_strtod_typical_glibc, false);

} // namespace
} // namespace lbw::bench
