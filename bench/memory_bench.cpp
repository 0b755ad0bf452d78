// Memory and string functions of the library next to glibc's, on 1 MiB and 16 bytes.
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace lbw::bench {
namespace {

using CopyFn = void *(void *, const void *, size_t);
using SetFn = void *(void *, int, size_t);
using CompareFn = int(const void *, const void *, size_t);
using LengthFn = size_t(const char *);
using FindFn = char *(const char *, int);

struct Buffers {
    std::vector<unsigned char> a, b;
    explicit Buffers(size_t n) : a(n + 64, 'x'), b(n + 64, 'x') {
        a[n] = 0;
        b[n] = 0;
    }
};

template <class F>
F *pick(bool library_side, const char *name, F *glibc) {
    return library_side ? fn<F>(name) : glibc;
}

void copy(benchmark::State &state, bool lib, const char *name, CopyFn *glibc) {
    size_t n = static_cast<size_t>(state.range(0));
    Buffers buf(n);
    CopyFn *f = pick(lib, name, glibc);
    for (auto _ : state) {
        f(buf.a.data(), buf.b.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

// memmove within one buffer, the destination above (upward) or below (downward) the source.
void move_overlapping(benchmark::State &state, bool lib, bool dst_above) {
    size_t n = static_cast<size_t>(state.range(0));
    std::vector<unsigned char> buf(n + 64, 'x');
    CopyFn *f = pick(lib, "memmove", static_cast<CopyFn *>(&std::memmove));
    unsigned char *src = buf.data() + (dst_above ? 0 : 32);
    unsigned char *dst = buf.data() + (dst_above ? 32 : 0);
    for (auto _ : state) {
        f(dst, src, n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void set(benchmark::State &state, bool lib) {
    size_t n = static_cast<size_t>(state.range(0));
    Buffers buf(n);
    SetFn *f = pick(lib, "memset", static_cast<SetFn *>(&std::memset));
    for (auto _ : state) {
        f(buf.a.data(), 0x5A, n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void compare(benchmark::State &state, bool lib) {
    size_t n = static_cast<size_t>(state.range(0));
    Buffers buf(n);
    CompareFn *f = pick(lib, "memcmp", static_cast<CompareFn *>(&std::memcmp));
    for (auto _ : state)
        benchmark::DoNotOptimize(f(buf.a.data(), buf.b.data(), n));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void length(benchmark::State &state, bool lib) {
    size_t n = static_cast<size_t>(state.range(0));
    Buffers buf(n);
    LengthFn *f = pick(lib, "strlen", static_cast<LengthFn *>(&std::strlen));
    for (auto _ : state)
        benchmark::DoNotOptimize(f(reinterpret_cast<const char *>(buf.a.data())));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

char *glibc_strchr(const char *s, int c) {
    return const_cast<char *>(std::strchr(s, c));
}

void find(benchmark::State &state, bool lib) {
    size_t n = static_cast<size_t>(state.range(0));
    Buffers buf(n);
    buf.a[n - 1] = 'y';
    FindFn *f = pick(lib, "strchr", &glibc_strchr);
    for (auto _ : state)
        benchmark::DoNotOptimize(f(reinterpret_cast<const char *>(buf.a.data()), 'y'));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

#define SIZES ->Arg(16)->Arg(4000)->Arg(1 << 20)
BENCHMARK_CAPTURE(copy, memcpy_lib, true, "memcpy", static_cast<CopyFn *>(&std::memcpy)) SIZES;
BENCHMARK_CAPTURE(copy, memcpy_glibc, false, "memcpy", static_cast<CopyFn *>(&std::memcpy)) SIZES;
BENCHMARK_CAPTURE(move_overlapping, memmove_up_lib, true, true) SIZES;
BENCHMARK_CAPTURE(move_overlapping, memmove_up_glibc, false, true) SIZES;
BENCHMARK_CAPTURE(move_overlapping, memmove_down_lib, true, false) SIZES;
BENCHMARK_CAPTURE(move_overlapping, memmove_down_glibc, false, false) SIZES;
BENCHMARK_CAPTURE(set, memset_lib, true) SIZES;
BENCHMARK_CAPTURE(set, memset_glibc, false) SIZES;
BENCHMARK_CAPTURE(compare, memcmp_lib, true) SIZES;
BENCHMARK_CAPTURE(compare, memcmp_glibc, false) SIZES;
BENCHMARK_CAPTURE(length, strlen_lib, true) SIZES;
BENCHMARK_CAPTURE(length, strlen_glibc, false) SIZES;
BENCHMARK_CAPTURE(find, strchr_lib, true) SIZES;
BENCHMARK_CAPTURE(find, strchr_glibc, false) SIZES;

} // namespace
} // namespace lbw::bench
