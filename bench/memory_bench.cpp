// Memory and string functions of the library next to glibc's at 16, 64, 256 and 4000
// bytes and 1 MiB, and moves within one buffer at distances 1, 8, 32 and 64 either way.
//
// Both sides are called through a function pointer the compiler cannot see through, and
// every result and destination stays observable, so the compiler removes no call whatever
// the build type.
#include "bench/bench_library.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace lbw::bench {
namespace {

using CopyFn = void *(void *, const void *, size_t);
using SetFn = void *(void *, int, size_t);
using CompareFn = int(const void *, const void *, size_t);
using LengthFn = size_t(const char *);
using FindFn = char *(const char *, int);

// n bytes at a 64-byte boundary, so that neither side's vectors depend on where malloc
// put the memory.
class AlignedBytes {
public:
    explicit AlignedBytes(size_t n, unsigned char fill) : memory_(n + 192, fill) {}
    unsigned char *data() {
        auto address = reinterpret_cast<uintptr_t>(memory_.data());
        return memory_.data() + (-address & 127);
    }

private:
    std::vector<unsigned char> memory_;
};

// Two equal blocks of n bytes followed by a zero.
struct Buffers {
    AlignedBytes a, b;
    explicit Buffers(size_t n) : a(n, 'x'), b(n, 'x') {
        a.data()[n] = 0;
        b.data()[n] = 0;
    }
};

template <class F>
F *pick(bool library_side, const char *name, F *glibc) {
    F *f = library_side ? fn<F>(name) : glibc;
    benchmark::DoNotOptimize(f);
    return f;
}

size_t size_of(benchmark::State &state) {
    return static_cast<size_t>(state.range(0));
}

void count_bytes(benchmark::State &state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size_of(state)));
}

void copy(benchmark::State &state, bool lib) {
    size_t n = size_of(state);
    Buffers buf(n);
    CopyFn *f = pick(lib, "memcpy", static_cast<CopyFn *>(&std::memcpy));
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(buf.a.data(), buf.b.data(), n));
        benchmark::ClobberMemory();
    }
    count_bytes(state);
}

// memmove within one buffer, the destination range(1) bytes above (up) or below (down)
// the source.
void move(benchmark::State &state, bool lib, bool up) {
    size_t n = size_of(state), distance = static_cast<size_t>(state.range(1));
    AlignedBytes buf(n + distance, 'x');
    CopyFn *f = pick(lib, "memmove", static_cast<CopyFn *>(&std::memmove));
    unsigned char *src = buf.data() + (up ? 0 : distance);
    unsigned char *dst = buf.data() + (up ? distance : 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(dst, src, n));
        benchmark::ClobberMemory();
    }
    count_bytes(state);
}

void set(benchmark::State &state, bool lib) {
    size_t n = size_of(state);
    Buffers buf(n);
    SetFn *f = pick(lib, "memset", static_cast<SetFn *>(&std::memset));
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(buf.a.data(), 0x5A, n));
        benchmark::ClobberMemory();
    }
    count_bytes(state);
}

void compare(benchmark::State &state, bool lib) {
    size_t n = size_of(state);
    Buffers buf(n);
    CompareFn *f = pick(lib, "memcmp", static_cast<CompareFn *>(&std::memcmp));
    for (auto _ : state)
        benchmark::DoNotOptimize(f(buf.a.data(), buf.b.data(), n));
    count_bytes(state);
}

void length(benchmark::State &state, bool lib) {
    size_t n = size_of(state);
    Buffers buf(n);
    LengthFn *f = pick(lib, "strlen", static_cast<LengthFn *>(&std::strlen));
    for (auto _ : state)
        benchmark::DoNotOptimize(f(reinterpret_cast<const char *>(buf.a.data())));
    count_bytes(state);
}

char *glibc_strchr(const char *s, int c) {
    return const_cast<char *>(std::strchr(s, c));
}

// The value sought is the string's last byte.
void find(benchmark::State &state, bool lib) {
    size_t n = size_of(state);
    Buffers buf(n);
    buf.a.data()[n - 1] = 'y';
    FindFn *f = pick(lib, "strchr", &glibc_strchr);
    for (auto _ : state)
        benchmark::DoNotOptimize(f(reinterpret_cast<const char *>(buf.a.data()), 'y'));
    count_bytes(state);
}

void sizes(benchmark::internal::Benchmark *b) {
    for (int64_t n : {16, 64, 256, 4000, 1 << 20})
        b->Arg(n);
}

// Distance 32 at every size; 1, 8 and 64 where a loop runs.
void moves(benchmark::internal::Benchmark *b) {
    for (int64_t n : {16, 64, 256, 4000, 1 << 20})
        for (int64_t distance : {1, 8, 32, 64})
            if (distance == 32 || n >= 256)
                b->Args({n, distance});
}

BENCHMARK_CAPTURE(copy, memcpy_lib, true)->Apply(sizes);
BENCHMARK_CAPTURE(copy, memcpy_glibc, false)->Apply(sizes);
BENCHMARK_CAPTURE(move, memmove_up_lib, true, true)->Apply(moves);
BENCHMARK_CAPTURE(move, memmove_up_glibc, false, true)->Apply(moves);
BENCHMARK_CAPTURE(move, memmove_down_lib, true, false)->Apply(moves);
BENCHMARK_CAPTURE(move, memmove_down_glibc, false, false)->Apply(moves);
BENCHMARK_CAPTURE(set, memset_lib, true)->Apply(sizes);
BENCHMARK_CAPTURE(set, memset_glibc, false)->Apply(sizes);
BENCHMARK_CAPTURE(compare, memcmp_lib, true)->Apply(sizes);
BENCHMARK_CAPTURE(compare, memcmp_glibc, false)->Apply(sizes);
BENCHMARK_CAPTURE(length, strlen_lib, true)->Apply(sizes);
BENCHMARK_CAPTURE(length, strlen_glibc, false)->Apply(sizes);
BENCHMARK_CAPTURE(find, strchr_lib, true)->Apply(sizes);
BENCHMARK_CAPTURE(find, strchr_glibc, false)->Apply(sizes);

} // namespace
} // namespace lbw::bench
