// The file layer next to glibc's streams over memory (fmemopen): 1 MiB written in 16-byte
// pieces and flushed once, and 1 MiB read back a byte at a time.
#include "bench/bench_library.h"

#include "simhost/files.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lbw::bench {
namespace {

struct lmfs_file;
using OpenFn = lmfs_file *(const char *, const char *);
using WriteFn = uint64_t(const void *, uint64_t, uint64_t, lmfs_file *);
using FileFn = int(lmfs_file *);
using SeekFn = int(lmfs_file *, int64_t, int);

constexpr size_t kFileSize = 1 << 20;
constexpr size_t kPiece = 16;

void write_pieces_lib(benchmark::State &state) {
    auto open = fn<OpenFn>("lmfs_fopen");
    auto write = fn<WriteFn>("lmfs_fwrite");
    auto flush = fn<FileFn>("lmfs_fflush");
    auto close = fn<FileFn>("lmfs_fclose");
    // The substitute host keeps the flushed content in a std::string: keep glibc from
    // handing it fresh pages (and page faults) on every flush, which no real host pays.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    const char piece[kPiece + 1] = "0123456789abcdef";
    for (auto _ : state) {
        state.PauseTiming();
        lmfs_file *file = open("bench-write.bin", "w");
        state.ResumeTiming();
        for (size_t i = 0; i < kFileSize / kPiece; i++)
            write(piece, 1, kPiece, file);
        flush(file);
        state.PauseTiming();
        close(file);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void write_pieces_glibc(benchmark::State &state) {
    std::vector<char> memory(kFileSize + 1);
    const char piece[kPiece + 1] = "0123456789abcdef";
    for (auto _ : state) {
        state.PauseTiming();
        FILE *file = fmemopen(memory.data(), memory.size(), "w");
        state.ResumeTiming();
        for (size_t i = 0; i < kFileSize / kPiece; i++)
            std::fwrite(piece, 1, kPiece, file);
        std::fflush(file);
        state.PauseTiming();
        std::fclose(file);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void getc_lib(benchmark::State &state) {
    auto open = fn<OpenFn>("lmfs_fopen");
    auto getc = fn<FileFn>("lmfs_getc");
    auto seek = fn<SeekFn>("lmfs_fseek");
    simhost::Host::instance().files().memory().put("bench-read.bin", std::string(kFileSize, 'r'));
    lmfs_file *file = open("bench-read.bin", "r");
    for (auto _ : state) {
        seek(file, 0, 0);
        int sum = 0;
        for (size_t i = 0; i < kFileSize; i++)
            sum += getc(file);
        benchmark::DoNotOptimize(sum);
    }
    fn<FileFn>("lmfs_fclose")(file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void getc_glibc(benchmark::State &state) {
    std::string memory(kFileSize, 'r');
    FILE *file = fmemopen(memory.data(), memory.size(), "r");
    for (auto _ : state) {
        std::fseek(file, 0, SEEK_SET);
        int sum = 0;
        for (size_t i = 0; i < kFileSize; i++)
            sum += std::getc(file);
        benchmark::DoNotOptimize(sum);
    }
    std::fclose(file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

BENCHMARK(write_pieces_lib)->Name("fwrite_1MiB_in_16_byte_pieces_lib");
BENCHMARK(write_pieces_glibc)->Name("fwrite_1MiB_in_16_byte_pieces_glibc");
BENCHMARK(getc_lib)->Name("getc_1MiB_lib");
BENCHMARK(getc_glibc)->Name("getc_1MiB_glibc");

} // namespace
} // namespace lbw::bench
