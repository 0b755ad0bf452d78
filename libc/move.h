// Moves of up to 64 bytes that read every byte before writing any, so that they give the
// result of a move whatever the overlap: memcpy's and memmove's short cases, and the
// file layer's short writes, which copy without a call.
#pragma once

#include "libc/simd.h"
#include "libc/word.h"

#include <stddef.h>
#include <stdint.h>

namespace lm {

using u8 = unsigned char;
typedef uint32_t __attribute__((may_alias, aligned(1))) unaligned_u32;
typedef uint16_t __attribute__((may_alias, aligned(1))) unaligned_u16;

// Whether copying n bytes forward, one at a time, from s to d gives the result of a move:
// unless d starts inside the source, above its first byte.
inline bool copy_is_move(const void *d, const void *s, size_t n) {
    return reinterpret_cast<uintptr_t>(d) - reinterpret_cast<uintptr_t>(s) - 1 >= n;
}

// Moves k blocks from the start and k blocks ending at byte n, all read before any is
// written, so that they give the result of a move whatever the overlap; for 16 k <= n
// <= 32 k they cover every byte, the middle ones twice.
template <int k>
[[gnu::always_inline]] inline void move_blocks(u8 *d, const u8 *s, size_t n) {
    simd::Block head[k], tail[k];
    for (int i = 0; i < k; i++) {
        head[i] = simd::load(s + 16 * i);
        tail[i] = simd::load(s + n - 16 * (k - i));
    }
    for (int i = 0; i < k; i++)
        simd::store(d + 16 * i, head[i]);
    for (int i = 0; i < k; i++)
        simd::store(d + n - 16 * (k - i), tail[i]);
}

// Moves of at most 64 bytes, whatever the overlap: two pieces that may overlap.
[[gnu::always_inline]] inline void move_small(u8 *d, const u8 *s, size_t n) {
    if (n >= 32) {
        move_blocks<2>(d, s, n);
    } else if (n >= 16) {
        move_blocks<1>(d, s, n);
    } else if (n >= 8) {
        uint64_t a = word::load(s), b = word::load(s + n - 8);
        word::store(d, a);
        word::store(d + n - 8, b);
    } else if (n >= 4) {
        uint32_t a = *reinterpret_cast<const unaligned_u32 *>(s);
        uint32_t b = *reinterpret_cast<const unaligned_u32 *>(s + n - 4);
        *reinterpret_cast<unaligned_u32 *>(d) = a;
        *reinterpret_cast<unaligned_u32 *>(d + n - 4) = b;
    } else if (n >= 2) {
        uint16_t a = *reinterpret_cast<const unaligned_u16 *>(s);
        uint16_t b = *reinterpret_cast<const unaligned_u16 *>(s + n - 2);
        *reinterpret_cast<unaligned_u16 *>(d) = a;
        *reinterpret_cast<unaligned_u16 *>(d + n - 2) = b;
    } else if (n) {
        *d = *s;
    }
}

} // namespace lm
