/* Fast path: round(m * 2^e * 10^k) to an integer below 2^64, from a 192-bit product of the
 * significand m with 5^k (exact for small k, else to within 2^-126), deciding exactly or
 * giving up when the approximation lies too near a halfway point. Slow path: every digit
 * of the exact expansion (m * 2^e or m * 5^-e in base 10^9), then rounded as text. */
#include "float_digits.h"

#include "big_decimal.h"

#include <string.h>

/* v = m * 2^e with m a positive integer. */
static void decompose(double v, uint64_t *m, int *e) {
    uint64_t bits;
    memcpy(&bits, &v, sizeof bits);
    int biased = (int)(bits >> 52);
    *m = bits & ((UINT64_C(1) << 52) - 1);
    if (biased == 0) {
        *e = -1074;
    } else {
        *m |= UINT64_C(1) << 52;
        *e = biased - 1075;
    }
}

/* floor(log10(v)) or one less: floor(log10(2^floor(log2 v))), exact for these ranges. */
static int decimal_exponent_estimate(uint64_t m, int e) {
    int binary = e + 63 - __builtin_clzll(m);
    return (binary * 78913) >> 18;
}

/* n = round_half_even(m * 2^e * 10^k). Returns 0 when the result does not fit in 64 bits
 * or the approximation cannot decide the rounding. */
static int round_scaled(uint64_t m, int e, int k, uint64_t *n) {
    wide192 product;
    int point; /* the number of fraction bits of the product */
    int exact = k >= 0 && k <= 27;
    if (exact) {
        lorrinlua_u128 p = (lorrinlua_u128)m * lorrinlua_small_power_of_five[k];
        product = (wide192){{(uint64_t)p, (uint64_t)(p >> 64), 0}};
        point = -(e + k);
    } else {
        uint64_t hi, lo;
        int t;
        lorrinlua_power_of_five(k, &hi, &lo, &t);
        product = wide_mul(m, hi, lo);
        point = -(e + k + t);
    }
    if (wide_any_from(&product, point + 64))
        return 0;
    uint64_t integer = wide_bits_at(&product, point);
    uint64_t fraction = wide_bits_at(&product, point - 64);
    const uint64_t half = UINT64_C(1) << 63;
    int up;
    if (exact) {
        int beyond = wide_any_below(&product, point - 64);
        up = fraction > half || (fraction == half && (beyond || (integer & 1)));
    } else {
        /* The product is within 2^-62 of the true value (below 2^64): 4 fraction units. */
        const uint64_t window = 64;
        if (fraction > half - window && fraction < half + window)
            return 0;
        up = fraction > half;
    }
    if (up && integer == UINT64_MAX)
        return 0;
    *n = integer + (uint64_t)up;
    return 1;
}

/* The decimal digits of n, exactly `count` of them (with leading zeros if needed). */
static void put_digits(uint64_t n, int count, char *out) {
    for (int i = count - 1; i >= 0; i--) {
        out[i] = (char)('0' + n % 10);
        n /= 10;
    }
}

static int digit_count(uint64_t n) {
    int count = 1;
    while (count < 20 && n >= lorrinlua_power_of_ten[count])
        count++;
    return count;
}

/* All significant digits of m * 2^e, exactly, trailing zeros dropped. */
static void exact_digits(uint64_t m, int e, float_digits *d) {
    big_decimal b;
    big_decimal_set(&b, m);
    if (e >= 0)
        big_decimal_mul_pow2(&b, e);
    else
        big_decimal_mul_pow5(&b, -e); /* m * 2^e = m * 5^-e / 10^-e */
    d->count = big_decimal_digits(&b, d->digit);
    d->exponent = d->count - 1 + (e < 0 ? e : 0);
    while (d->digit[d->count - 1] == '0')
        d->count--;
}

/* Rounds the exact digits to the first `keep` of them, half to even. */
static void round_digits(float_digits *d, int keep) {
    if (keep >= d->count)
        return;
    if (keep < 0) {
        d->count = 0;
        return;
    }
    /* Trailing zeros were dropped, so anything after digit[keep] is nonzero. */
    char next = d->digit[keep];
    int tie = next == '5' && d->count == keep + 1;
    int up = next > '5' || (next == '5' && !tie) || (tie && keep > 0 && (d->digit[keep - 1] - '0') % 2 == 1);
    d->count = keep;
    if (!up) {
        while (d->count > 0 && d->digit[d->count - 1] == '0')
            d->count--;
        return;
    }
    while (d->count > 0 && d->digit[d->count - 1] == '9')
        d->count--;
    if (d->count == 0) {
        d->digit[0] = '1';
        d->count = 1;
        d->exponent++;
    } else {
        d->digit[d->count - 1]++;
    }
}

void float_digits_significant(double v, int count, float_digits *d) {
    uint64_t m, n;
    int e;
    decompose(v, &m, &e);
    int estimate = decimal_exponent_estimate(m, e);
    if (count <= 18) {
        int k = count - 1 - estimate;
        if (round_scaled(m, e, k, &n)) {
            int ok = 1;
            if (n >= lorrinlua_power_of_ten[count]) {
                /* The estimate was one low, or the rounding carried into a new digit. */
                estimate++;
                ok = round_scaled(m, e, k - 1, &n);
                if (ok && n == lorrinlua_power_of_ten[count]) {
                    n = lorrinlua_power_of_ten[count - 1];
                    estimate++;
                }
            }
            if (ok) {
                put_digits(n, count, d->digit);
                d->count = count;
                d->exponent = estimate;
                return;
            }
        }
    }
    exact_digits(m, e, d);
    round_digits(d, count);
}

void float_digits_fixed(double v, int decimals, float_digits *d) {
    uint64_t m, n;
    int e;
    if (v == 0) {
        d->count = 0;
        d->exponent = 0;
        return;
    }
    decompose(v, &m, &e);
    /* Below 10^19 after scaling: the result fits in 64 bits. */
    if (decimals <= 17 - decimal_exponent_estimate(m, e) && round_scaled(m, e, decimals, &n)) {
        d->count = n == 0 ? 0 : digit_count(n);
        put_digits(n, d->count, d->digit);
        d->exponent = d->count - 1 - decimals;
        return;
    }
    exact_digits(m, e, d);
    long long keep = (long long)d->exponent + 1 + decimals;
    round_digits(d, keep < FLOAT_DIGITS_MAX ? (int)keep : FLOAT_DIGITS_MAX);
}

int float_digits_exponent(double v) {
    uint64_t m;
    int e;
    float_digits d;
    decompose(v, &m, &e);
    exact_digits(m, e, &d);
    return d.exponent;
}
