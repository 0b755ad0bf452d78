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

inline Block load_aligned(const void *p) {
    return *static_cast<const Block *>(p);
}

inline Block load(const void *p) {
    return *static_cast<const UnalignedBlock *>(p);
}

inline void store(void *p, Block b) {
    *static_cast<UnalignedBlock *>(p) = b;
}

inline void store_aligned(void *p, Block b) {
    *static_cast<Block *>(p) = b;
}

inline Block repeat(char c) {
    return Block{} + static_cast<unsigned char>(c);
}

inline Block minimum(Block a, Block b) {
    return __builtin_elementwise_min(a, b);
}

// Long scans ask for the cache lines this many bytes ahead of the one they read: the
// processor's own prefetching alone leaves them waiting for the next level of cache.
inline constexpr size_t kPrefetchAhead = 1024;

// Asks for the cache line kPrefetchAhead bytes past p. A prefetch is a hint that never
// faults wherever it points, so the address may lie past the bytes being read (it is
// computed as a number, not as a pointer into them).
inline void prefetch_ahead(const void *p) {
    __builtin_prefetch(reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(p) + kPrefetchAhead), 0, 3);
}

// One bit per byte: bit i set when byte i of b is zero.
inline uint32_t zero_bits(Block b) {
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<SignedBlock>(b == Block{})));
}

// One bit per byte: bit i is the top bit of byte i.
inline uint32_t high_bits(Block b) {
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<SignedBlock>(b)));
}

// One bit per byte: bit i set when byte i of a and of b differ.
inline uint32_t difference_bits(Block a, Block b) {
    return static_cast<uint32_t>(__builtin_ia32_pmovmskb128(reinterpret_cast<SignedBlock>(a == b))) ^ 0xFFFF;
}

// The 16-byte boundary at or below p.
template <class T>
inline T *align_down(T *p) {
    return reinterpret_cast<T *>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t{kSize - 1});
}

// Whether any byte of the k blocks at p (k a power of two) is zero after `zero_where`:
// their bytewise minimum m, taken as a tree so that the minimums run side by side, has a
// zero byte exactly then, which sets the top bit of (m - 1) & ~m.
template <int k, class ZeroWhere>
inline bool any_marked(const char *p, ZeroWhere zero_where) {
    Block m[k];
    for (int i = 0; i < k; i++)
        m[i] = zero_where(load_aligned(p + kSize * i));
    for (int width = k / 2; width > 0; width /= 2)
        for (int i = 0; i < width; i++)
            m[i] = minimum(m[i], m[i + width]);
    return high_bits((m[0] - 1) & ~m[0]) != 0;
}

// The first marked byte of the 64 at p, which hold one. The blocks are read again: keeping
// the caller's in registers for this costs the loops more.
template <class ZeroWhere>
inline const char *first_marked(const char *p, ZeroWhere zero_where) {
    asm volatile("" ::: "memory");
    uint32_t found;
    while (!(found = zero_bits(zero_where(load_aligned(p)))))
        p += kSize;
    return p + __builtin_ctz(found);
}

// The first byte at or after s that `zero_where` marks: it maps a block to one that is
// zero exactly in the bytes sought. Reads aligned blocks only: single ones up to a
// 64-byte boundary, 64 bytes at a time for at least the next 256 and up to a 128-byte
// boundary, then 128 at a time; each group starts at a multiple of its size, so it never
// crosses into another page either. The 64 bytes holding the first mark are then searched
// again block by block.
template <class ZeroWhere>
inline const char *find(const char *s, ZeroWhere zero_where) {
    const char *p = align_down(s);
    uint32_t found = zero_bits(zero_where(load_aligned(p))) >> (s - p);
    if (found)
        return s + __builtin_ctz(found);
    for (p += kSize; reinterpret_cast<uintptr_t>(p) & 63; p += kSize)
        if ((found = zero_bits(zero_where(load_aligned(p)))))
            return p + __builtin_ctz(found);
    for (int i = 0; i < 4 || (reinterpret_cast<uintptr_t>(p) & 64); i++, p += 64)
        if (any_marked<4>(p, zero_where))
            return first_marked(p, zero_where);
    for (;; p += 128) {
        prefetch_ahead(p);
        prefetch_ahead(p + 64);
        if (any_marked<8>(p, zero_where))
            break;
    }
    return first_marked(any_marked<4>(p, zero_where) ? p : p + 64, zero_where);
}

} // namespace lm::simd
