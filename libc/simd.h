// Sixteen bytes at a time with SSE2, which every x86-64 processor has: for the scans that
// look for a terminator or a byte value. An aligned 16-byte block never crosses into
// another page, so reading the bytes of a block beyond the terminator is harmless.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace lm::simd {

typedef unsigned char __attribute__((vector_size(16), may_alias)) Block;
typedef unsigned char __attribute__((vector_size(16), may_alias, aligned(1))) UnalignedBlock;
typedef char __attribute__((vector_size(16))) SignedBlock;

inline constexpr size_t kSize = 16;

inline Block load_aligned(const char *p) {
    return *reinterpret_cast<const Block *>(p);
}

inline Block load(const void *p) {
    return *static_cast<const UnalignedBlock *>(p);
}

inline void store(void *p, Block b) {
    *static_cast<UnalignedBlock *>(p) = b;
}

inline Block repeat(char c) {
    return Block{} + static_cast<unsigned char>(c);
}

inline Block minimum(Block a, Block b) {
    return __builtin_elementwise_min(a, b);
}

// One bit per byte: bit i set when byte i of b is zero.
inline uint32_t zero_bits(Block b) {
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<SignedBlock>(b == Block{})));
}

// The 16-byte boundary at or below p.
inline const char *align_down(const char *p) {
    return reinterpret_cast<const char *>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t{kSize - 1});
}

// The first byte at or after s that `zero_where` marks: it maps a block to one that is
// zero exactly in the bytes sought. Four blocks are tested per step (through their
// bytewise minimum) once the scan reaches a 64-byte boundary.
template <class ZeroWhere>
inline const char *find(const char *s, ZeroWhere zero_where) {
    const char *p = align_down(s);
    uint32_t found = zero_bits(zero_where(load_aligned(p))) >> (s - p);
    if (found)
        return s + __builtin_ctz(found);
    for (p += kSize; reinterpret_cast<uintptr_t>(p) & (4 * kSize - 1); p += kSize)
        if ((found = zero_bits(zero_where(load_aligned(p)))))
            return p + __builtin_ctz(found);
    for (;; p += 4 * kSize) {
        Block low = minimum(zero_where(load_aligned(p)), zero_where(load_aligned(p + 16)));
        Block high = minimum(zero_where(load_aligned(p + 32)), zero_where(load_aligned(p + 48)));
        if (zero_bits(minimum(low, high)))
            break;
    }
    for (;; p += kSize)
        if ((found = zero_bits(zero_where(load_aligned(p)))))
            return p + __builtin_ctz(found);
}

} // namespace lm::simd
