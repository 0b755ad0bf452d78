/* Fixed-width arithmetic shared by the number conversions: 192-bit products of a
 * 64-bit and a 128-bit number, and bit extraction from them, all without division. */
#ifndef LORRINLUA_WIDE_H
#define LORRINLUA_WIDE_H

#include <stdint.h>

#define LORRINLUA_INTERNAL __attribute__((visibility("hidden")))

typedef unsigned __int128 lorrinlua_u128;

/* A 192-bit unsigned number, least significant word first. */
typedef struct {
    uint64_t word[3];
} wide192;

/* a times the 128-bit number hi:lo, exactly. */
static inline wide192 wide_mul(uint64_t a, uint64_t hi, uint64_t lo) {
    lorrinlua_u128 low = (lorrinlua_u128)a * lo;
    lorrinlua_u128 high = (lorrinlua_u128)a * hi + (uint64_t)(low >> 64);
    wide192 r = {{(uint64_t)low, (uint64_t)high, (uint64_t)(high >> 64)}};
    return r;
}

/* The 64 bits of x from bit `pos` up (bits outside x read as zero); pos may be any int. */
static inline uint64_t wide_bits_at(const wide192 *x, int pos) {
    if (pos <= -64 || pos >= 192)
        return 0;
    if (pos < 0)
        return x->word[0] << -pos;
    int index = pos / 64, shift = pos % 64;
    uint64_t bits = x->word[index] >> shift;
    if (shift != 0 && index < 2)
        bits |= x->word[index + 1] << (64 - shift);
    return bits;
}

/* Whether any bit of x below bit `pos` is set. */
static inline int wide_any_below(const wide192 *x, int pos) {
    for (int i = 0; i < 3; i++) {
        int start = 64 * i;
        if (pos <= start)
            return 0;
        uint64_t word = x->word[i];
        if (pos < start + 64)
            word &= (UINT64_C(1) << (pos - start)) - 1;
        if (word != 0)
            return 1;
    }
    return 0;
}

/* Whether any bit of x at `pos` or above is set. */
static inline int wide_any_from(const wide192 *x, int pos) {
    if (pos < 0)
        pos = 0;
    for (int i = 2; i >= 0; i--) {
        int start = 64 * i;
        if (pos >= start + 64)
            return 0;
        uint64_t word = x->word[i];
        if (pos > start)
            word >>= pos - start;
        if (word != 0)
            return 1;
    }
    return 0;
}

/* Index of the highest set bit of x, -1 for zero. */
static inline int wide_top_bit(const wide192 *x) {
    for (int i = 2; i >= 0; i--)
        if (x->word[i] != 0)
            return 64 * i + 63 - __builtin_clzll(x->word[i]);
    return -1;
}

/* 5^k as c * 2^t with c = hi:lo in [2^127, 2^128), to within 2^-126 of its value,
 * for -351 <= k <= 404. */
LORRINLUA_INTERNAL void lorrinlua_power_of_five(int k, uint64_t *hi, uint64_t *lo, int *t);

/* 5^0 to 5^27, exactly. */
LORRINLUA_INTERNAL extern const uint64_t lorrinlua_small_power_of_five[28];

/* 10^0 to 10^19, exactly. */
LORRINLUA_INTERNAL extern const uint64_t lorrinlua_power_of_ten[20];

#endif
