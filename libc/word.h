// Word-at-a-time helpers for the memory and string functions: 8 bytes per step where
// that gives exactly the result of the byte-by-byte definition.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace lm::word {

using u8 = unsigned char;
typedef uint64_t __attribute__((may_alias, aligned(1))) unaligned_u64;
typedef uint64_t __attribute__((may_alias)) aligned_u64;

inline constexpr size_t kSize = 8;
inline constexpr uint64_t kOnes = 0x0101010101010101ull;
inline constexpr uint64_t kHighs = 0x8080808080808080ull;

inline uint64_t load(const void *p) {
    return *static_cast<const unaligned_u64 *>(p);
}

inline void store(void *p, uint64_t w) {
    *static_cast<unaligned_u64 *>(p) = w;
}

inline uint64_t load_aligned(const void *p) {
    return *static_cast<const aligned_u64 *>(p);
}

inline uint64_t repeat(u8 byte) {
    return kOnes * byte;
}

// Nonzero when some byte of w is 0 (exact as a yes/no answer; use bytes to find which).
inline uint64_t zero_byte_mask(uint64_t w) {
    return (w - kOnes) & ~w & kHighs;
}

// Index of the lowest byte in which a and b differ; a != b (little-endian).
inline size_t first_difference(uint64_t a, uint64_t b) {
    return static_cast<size_t>(__builtin_ctzll(a ^ b)) / 8;
}

// Whether p lies on a word boundary.
inline bool aligned(const void *p) {
    return (reinterpret_cast<uintptr_t>(p) & (kSize - 1)) == 0;
}

} // namespace lm::word
