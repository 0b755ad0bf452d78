// Throwing and catching in a program built for the library (SjLj frames) next to the same
// program compiled by g++ for the host (table-driven unwinding).
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace lbw::bench {
namespace {

using ThrowFn = int(int);
using CallFn = int(int);

struct Program {
    ThrowFn *throw_caught;
    CallFn *call_without_throw;
};

Program library_program() {
    static void *handle = library().load_program(LBW_BENCH_EXCEPTIONS_PROGRAM);
    return {reinterpret_cast<ThrowFn *>(simhost::LoadedLibrary::program_symbol(handle, "bench_throw_caught")),
            reinterpret_cast<CallFn *>(simhost::LoadedLibrary::program_symbol(handle, "bench_call_without_throw"))};
}

Program gxx_program() {
    static void *handle = [] {
        void *h = dlopen(LBW_BENCH_EXCEPTIONS_GXX, RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            std::fprintf(stderr, "%s\n", dlerror());
            std::abort();
        }
        return h;
    }();
    return {reinterpret_cast<ThrowFn *>(dlsym(handle, "bench_throw_caught")),
            reinterpret_cast<CallFn *>(dlsym(handle, "bench_call_without_throw"))};
}

Program program(bool lib) {
    return lib ? library_program() : gxx_program();
}

void throw_caught(benchmark::State &state, bool lib, int frames) {
    Program p = program(lib);
    for (auto _ : state)
        benchmark::DoNotOptimize(p.throw_caught(frames));
}

void call_without_throw(benchmark::State &state, bool lib) {
    Program p = program(lib);
    int value = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(p.call_without_throw(value));
    }
}

BENCHMARK_CAPTURE(throw_caught, throw_1_frame_lib, true, 1);
BENCHMARK_CAPTURE(throw_caught, throw_1_frame_gxx, false, 1);
BENCHMARK_CAPTURE(throw_caught, throw_10_frames_lib, true, 10);
BENCHMARK_CAPTURE(throw_caught, throw_10_frames_gxx, false, 10);
BENCHMARK_CAPTURE(call_without_throw, call_with_landing_pad_lib, true);
BENCHMARK_CAPTURE(call_without_throw, call_with_landing_pad_gxx, false);

} // namespace
} // namespace lbw::bench
