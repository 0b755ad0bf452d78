// Thirty-two bytes at a time with AVX2: the blocks of libc/simd.h, twice as wide, for the
// long moves, fills, comparisons and scans. The processor may lack AVX2, and the host
// decides whether the 32-byte registers are enabled at all, so nothing here runs before
// the first call has asked (see gAnswer). Every function here carries the instruction
// set it needs; the rest of the library is built for SSE2 alone.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define LM_AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace lm::wide {

// Whether the 32-byte paths may run. Nothing is asked before the first call that could
// use them (the library has no start-up code); that call asks, once.
enum Answer : int8_t { kNotAsked, kNo, kYes };
extern int8_t gAnswer __attribute__((visibility("hidden")));
void ask(); // libc/cpu.cpp

template <auto wide_version, auto narrow_version, class... Args>
[[gnu::noinline]] auto ask_then_call(Args... args);

// Calls wide_version or narrow_version, which do the same. Both calls, and the rare one
// that asks first, are jumps, so that a caller needs no stack frame for the choice.
template <auto wide_version, auto narrow_version, class... Args>
[[gnu::always_inline]] inline auto call_widest(Args... args) {
    if (__builtin_expect(gAnswer == kYes, 1))
        return wide_version(args...);
    if (gAnswer == kNo)
        return narrow_version(args...);
    return ask_then_call<wide_version, narrow_version>(args...);
}

template <auto wide_version, auto narrow_version, class... Args>
[[gnu::noinline]] auto ask_then_call(Args... args) {
    ask();
    return call_widest<wide_version, narrow_version>(args...);
}

template <auto exported, class... Args>
[[gnu::noinline]] auto ask_then(Args... args) {
    ask();
    return exported(args...);
}

// For functions that take their 32-byte path themselves and call this otherwise: the
// SSE2 version, or, on the first call, the question and then `exported` again (by a
// jump, so that this needs no stack frame). Out of line, so that the SSE2 version is
// compiled as usual whatever the caller's settings.
template <auto exported, auto narrow_version, class... Args>
[[gnu::noinline]] auto narrow_or_ask(Args... args) {
    if (__builtin_expect(gAnswer == kNotAsked, 0))
        return ask_then<exported>(args...);
    return narrow_version(args...);
}

typedef unsigned char __attribute__((vector_size(32), may_alias)) Block;
typedef unsigned char __attribute__((vector_size(32), may_alias, aligned(1))) UnalignedBlock;
typedef char __attribute__((vector_size(32))) SignedBlock;

inline constexpr size_t kSize = 32;

LM_AVX2 inline Block load_aligned(const void *p) {
    return *static_cast<const Block *>(p);
}

LM_AVX2 inline Block load(const void *p) {
    return *static_cast<const UnalignedBlock *>(p);
}

LM_AVX2 inline void store(void *p, Block b) {
    *static_cast<UnalignedBlock *>(p) = b;
}

LM_AVX2 inline void store_aligned(void *p, Block b) {
    *static_cast<Block *>(p) = b;
}

LM_AVX2 inline Block repeat(unsigned char c) {
    return Block{} + c;
}

LM_AVX2 inline Block minimum(Block a, Block b) {
    return __builtin_elementwise_min(a, b);
}

// One bit per byte: bit i set when byte i of b is zero.
LM_AVX2 inline uint32_t zero_bits(Block b) {
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb256(reinterpret_cast<SignedBlock>(b == Block{})));
}

// One bit per byte: bit i set when byte i of a and of b differ.
LM_AVX2 inline uint32_t difference_bits(Block a, Block b) {
    return ~static_cast<uint32_t>(__builtin_ia32_pmovmskb256(reinterpret_cast<SignedBlock>(a == b)));
}

// The 32-byte boundary at or below p.
template <class T>
inline T *align_down(T *p) {
    return reinterpret_cast<T *>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t{kSize - 1});
}

// The first block of a scan, for strlen and strchr themselves: bit i is set when byte
// s + i of the aligned 32-byte block holding s is zero (or, for the second, is c or
// zero). Only where the answer is kYes. The exported functions are compiled for SSE2
// alone, so these few instructions are written out: a jump to a 32-byte function
// instead would cost a short string about a fifth of its time.
inline uint32_t zero_marks_from(const char *s) {
    const char *block = align_down(s);
    uint32_t marks;
    asm("vpxor %%xmm0, %%xmm0, %%xmm0\n\t"
        "vpcmpeqb (%[block]), %%ymm0, %%ymm0\n\t"
        "vpmovmskb %%ymm0, %[marks]\n\t"
        "vzeroupper\n\t"
        "shrx %k[s], %[marks], %[marks]"
        : [marks] "=r"(marks)
        : [block] "r"(block), [s] "r"(s), "m"(*reinterpret_cast<const char(*)[kSize]>(block))
        : "xmm0");
    return marks;
}

inline uint32_t value_or_zero_marks_from(const char *s, char c) {
    const char *block = align_down(s);
    uint32_t marks;
    asm("vmovd %k[c], %%xmm1\n\t"
        "vpbroadcastb %%xmm1, %%ymm1\n\t"
        "vmovdqa (%[block]), %%ymm0\n\t"
        "vpxor %%ymm0, %%ymm1, %%ymm1\n\t"
        "vpminub %%ymm0, %%ymm1, %%ymm0\n\t"
        "vpxor %%xmm1, %%xmm1, %%xmm1\n\t"
        "vpcmpeqb %%ymm1, %%ymm0, %%ymm0\n\t"
        "vpmovmskb %%ymm0, %[marks]\n\t"
        "vzeroupper\n\t"
        "shrx %k[s], %[marks], %[marks]"
        : [marks] "=r"(marks)
        : [block] "r"(block), [s] "r"(s), [c] "r"(static_cast<uint32_t>(static_cast<unsigned char>(c))),
          "m"(*reinterpret_cast<const char(*)[kSize]>(block))
        : "xmm0", "xmm1");
    return marks;
}

// The long paths of libc/string.cpp, each with exactly its result and its namesake's
// signature, so that the callers reach them by a jump (libc/string_wide.cpp).
void *move_medium(void *d, const void *s, size_t n); // 64 < n <= 256, any overlap
void *move_up(void *d, const void *s, size_t n);     // n > 256, d below s or apart from it
void *move_down(void *d, const void *s, size_t n);   // n > 256, d above s
void *fill(void *d, int value, size_t n);            // 64 < n
int compare(const void *x, const void *y, size_t n); // 64 < n
size_t length_past_first(const char *s);      // no zero in the block holding s
char *find_byte_past_first(const char *s, int c); // nor c

} // namespace lm::wide
