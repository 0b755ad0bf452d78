/* Exact big integers in base 10^9 for the conversions' slow paths: products of a double's
 * significand with powers of two and five, compared with each other or written out in
 * decimal. */
#ifndef LORRINLUA_BIG_DECIMAL_H
#define LORRINLUA_BIG_DECIMAL_H

#include "wide.h"

/* Room for 1152 decimal digits: the largest numbers the conversions build have about
 * 820 (an 800-digit decimal input scaled by a power of two, or 2^53 * 5^1074). */
#define BIG_DECIMAL_WORDS 128

typedef struct {
    uint32_t word[BIG_DECIMAL_WORDS]; /* base 10^9, least significant first */
    int size;                         /* words in use; 0 for zero */
} big_decimal;

LORRINLUA_INTERNAL void big_decimal_set(big_decimal *b, uint64_t value);
/* b = the decimal digits text[0..count) ("0" to "9", most significant first). */
LORRINLUA_INTERNAL void big_decimal_set_digits(big_decimal *b, const char *text, int count);
LORRINLUA_INTERNAL void big_decimal_mul_pow2(big_decimal *b, int n);
LORRINLUA_INTERNAL void big_decimal_mul_pow5(big_decimal *b, int n);
/* -1, 0 or 1 as a is less than, equal to or greater than b. */
LORRINLUA_INTERNAL int big_decimal_compare(const big_decimal *a, const big_decimal *b);
/* Writes the digits of b (nonzero) without leading zeros to out; returns their count. */
LORRINLUA_INTERNAL int big_decimal_digits(const big_decimal *b, char *out);

#endif
