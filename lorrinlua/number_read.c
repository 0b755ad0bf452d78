/* Decimal numerals: up to 19 significant digits w and an exponent q, value ~ w * 10^q.
 * Exact w and small q: one correctly rounded double operation. Otherwise w * 5^q to 128
 * bits (within 2^-126), rounded unless that lies too close to a halfway point between two
 * doubles; then the exact numeral (its first 800 significant digits, plus whether any
 * nonzero digit follows) is compared with that halfway point in big integers. 800 digits
 * decide: a halfway point has at most 768 significant digits. */
#include "number_read.h"

#include "big_decimal.h"
#include "wide.h"

#include <string.h>

#define HEAD_DIGITS 19
#define EXACT_DIGITS 800
/* Exponents stop growing here: far beyond any double, and far beyond the digit count of
 * any string, so that the sum of both is still right. */
#define EXPONENT_LIMIT 100000000000000000LL

static const double exact_power_of_ten[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

static const uint64_t INFINITY_BITS = UINT64_C(0x7FF0000000000000);

static int is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

static int is_digit(char c) {
    return c >= '0' && c <= '9';
}

static int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c |= 0x20;
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

/* The length of `word` (lower case) if s starts with it in any case, else 0. */
static size_t match_word(const char *s, const char *word) {
    size_t i = 0;
    for (; word[i]; i++)
        if ((s[i] | 0x20) != word[i])
            return 0;
    return i;
}

static double from_bits(uint64_t bits) {
    double v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

/* An optional exponent: marker, sign, at least one digit; the sum stops growing at the
 * limit. *p moves past it only when it is complete. */
static long long read_exponent(const char **p, char marker) {
    const char *q = *p;
    if ((*q | 0x20) != marker)
        return 0;
    q++;
    int negative = *q == '-';
    if (*q == '+' || *q == '-')
        q++;
    if (!is_digit(*q))
        return 0;
    long long value = 0;
    for (; is_digit(*q); q++)
        if (value < EXPONENT_LIMIT)
            value = value * 10 + (*q - '0');
    *p = q;
    return negative ? -value : value;
}

/* Rounds w * 2^exp2 (w nonzero) to a double, ties to even, when w is exact (window 0) or
 * known to within `window` units of 2^-64 of the last place. Returns 0 when w lies that
 * close to a halfway point; *last and *ulp then give the double below it, *last * 2^*ulp. */
static int round_binary(const wide192 *w, int exp2, uint64_t window, uint64_t *bits, uint64_t *last, int *ulp) {
    int top = wide_top_bit(w) + exp2; /* floor(log2(w * 2^exp2)) */
    if (top > 1023) {
        *bits = INFINITY_BITS;
        return 1;
    }
    int ulp_exponent = top - 52 > -1074 ? top - 52 : -1074;
    int point = ulp_exponent - exp2; /* the bits of w below the last place */
    uint64_t significand = wide_bits_at(w, point);
    uint64_t fraction = wide_bits_at(w, point - 64);
    const uint64_t half = UINT64_C(1) << 63;
    if (window != 0 && fraction > half - window && fraction < half + window) {
        *last = significand;
        *ulp = ulp_exponent;
        return 0;
    }
    int beyond = wide_any_below(w, point - 64);
    significand += fraction > half || (fraction == half && (beyond || (significand & 1)));
    /* Normal values carry their leading 1 into the exponent field; a carry out of the
     * significand moves to the next binade or to infinity. */
    *bits = ((uint64_t)(ulp_exponent + 1074) << 52) + significand;
    if (*bits > INFINITY_BITS)
        *bits = INFINITY_BITS;
    return 1;
}

/* ---- Decimal ---- */

typedef struct {
    const char *start, *end; /* the digits and point */
    uint64_t head;           /* the first HEAD_DIGITS significant digits */
    int head_count;
    long long count;    /* significant digits */
    long long exponent; /* value = (all significant digits) * 10^exponent */
    int truncated;      /* a nonzero digit beyond the head */
} decimal;

/* Scans digits with at most one point; returns 0 when there is no digit. */
static int scan_decimal(const char *p, decimal *d) {
    int seen_point = 0, seen_digit = 0;
    d->start = p;
    d->head = 0;
    d->head_count = 0;
    d->count = 0;
    d->exponent = 0;
    d->truncated = 0;
    for (;; p++) {
        if (*p == '.' && !seen_point) {
            seen_point = 1;
            continue;
        }
        if (!is_digit(*p))
            break;
        seen_digit = 1;
        int digit = *p - '0';
        if (seen_point)
            d->exponent--;
        if (d->count == 0 && digit == 0)
            continue;
        d->count++;
        if (d->head_count < HEAD_DIGITS) {
            d->head = d->head * 10 + (uint64_t)digit;
            d->head_count++;
        } else if (digit != 0) {
            d->truncated = 1;
        }
    }
    d->end = p;
    return seen_digit;
}

/* Whether the exact value is above (1), at (0) or below (-1) the halfway point
 * (2 * last + 1) * 2^(ulp - 1). */
static int compare_with_halfway(const decimal *d, uint64_t last, int ulp) {
    char text[EXACT_DIGITS];
    int n = 0, more = 0;
    for (const char *p = d->start; p < d->end; p++) {
        if (*p == '.' || (n == 0 && *p == '0'))
            continue;
        if (n < EXACT_DIGITS)
            text[n++] = *p;
        else if (*p != '0')
            more = 1;
    }
    long long q = d->exponent + (d->count - n); /* value ~ text * 10^q */
    big_decimal value, halfway;
    big_decimal_set_digits(&value, text, n);
    big_decimal_set(&halfway, 2 * last + 1);
    /* text * 5^q * 2^q against halfway * 2^(ulp - 1): move the fives and the twos. */
    if (q >= 0)
        big_decimal_mul_pow5(&value, (int)q);
    else
        big_decimal_mul_pow5(&halfway, (int)-q);
    long long twos = (long long)ulp - 1 - q;
    if (twos >= 0)
        big_decimal_mul_pow2(&halfway, (int)twos);
    else
        big_decimal_mul_pow2(&value, (int)-twos);
    int order = big_decimal_compare(&value, &halfway);
    return order == 0 && more ? 1 : order;
}

static uint64_t decimal_bits(const decimal *d) {
    if (d->count == 0)
        return 0;
    long long magnitude = d->count + d->exponent; /* 10^(magnitude-1) <= value < 10^magnitude */
    if (magnitude > 309)
        return INFINITY_BITS;
    if (magnitude <= -324)
        return 0; /* below 10^-324, less than half the smallest subnormal */
    int q = (int)(d->exponent + (d->count - d->head_count));
    if (!d->truncated && d->head <= (UINT64_C(1) << 53) && q >= -22 && q <= 22) {
        /* Both operands exact: the one rounding is the correct one. */
        double v = (double)d->head;
        v = q >= 0 ? v * exact_power_of_ten[q] : v / exact_power_of_ten[-q];
        uint64_t bits;
        memcpy(&bits, &v, sizeof bits);
        return bits;
    }
    uint64_t hi, lo, bits, last;
    int t, ulp;
    lorrinlua_power_of_five(q, &hi, &lo, &t);
    wide192 w = wide_mul(d->head, hi, lo); /* value ~ w * 2^(q + t) */
    /* Exact head: w is within 2^-126 of the value, under 2^-9 units of the window. A cut
     * head (>= 10^18) may be low by 10^-18 of it, under 2^57.3 units. */
    uint64_t window = d->truncated ? UINT64_C(1) << 58 : 16;
    if (round_binary(&w, q + t, window, &bits, &last, &ulp))
        return bits;
    int order = compare_with_halfway(d, last, ulp);
    last += order > 0 || (order == 0 && (last & 1));
    bits = ((uint64_t)(ulp + 1074) << 52) + last;
    return bits > INFINITY_BITS ? INFINITY_BITS : bits;
}

/* ---- Hexadecimal ---- */

/* Reads the digits after 0x; returns 0 when there is no hexadecimal digit. */
static int read_hexadecimal(const char *p, const char **stop, uint64_t *bits) {
    uint64_t significand = 0;
    int digits = 0, seen_point = 0, seen_digit = 0, sticky = 0;
    long long exp2 = 0;
    for (;; p++) {
        if (*p == '.' && !seen_point) {
            seen_point = 1;
            continue;
        }
        int value = hex_value(*p);
        if (value < 0)
            break;
        seen_digit = 1;
        if (digits < 16 && (digits > 0 || value != 0)) {
            significand = significand << 4 | (uint64_t)value;
            digits++;
            exp2 -= seen_point ? 4 : 0;
        } else if (digits < 16) {
            exp2 -= seen_point ? 4 : 0; /* a leading zero */
        } else {
            sticky |= value != 0;
            exp2 += seen_point ? 0 : 4;
        }
    }
    if (!seen_digit)
        return 0;
    exp2 += read_exponent(&p, 'p');
    *stop = p;
    if (significand == 0) {
        *bits = 0;
        return 1;
    }
    /* A sticky bit below the significand's last place keeps a cut-off tail from looking
     * like an exact halfway point. */
    wide192 w = {{sticky ? 1u : 0u, significand, 0}};
    uint64_t last;
    int ulp;
    if (exp2 > 2000)
        *bits = INFINITY_BITS;
    else if (exp2 < -2000)
        *bits = 0;
    else
        round_binary(&w, (int)exp2 - 64, 0, bits, &last, &ulp);
    return 1;
}

/* ---- Infinity and NaN ---- */

/* The NaN payload: the chars of nan(chars) read as strtoull reads them in base 0, used
 * only when that reading takes all of them. */
static uint64_t nan_payload(const char *p, const char *end) {
    unsigned base = 10;
    if (p[0] == '0' && (p[1] | 0x20) == 'x' && p + 2 < end && hex_value(p[2]) >= 0) {
        base = 16;
        p += 2;
    } else if (p[0] == '0') {
        base = 8;
    }
    uint64_t value = 0;
    int overflow = 0;
    for (; p < end; p++) {
        int digit = hex_value(*p);
        if (digit < 0 || (unsigned)digit >= base)
            return 0;
        if (value > (UINT64_MAX - (unsigned)digit) / base)
            overflow = 1;
        value = value * base + (unsigned)digit;
    }
    return overflow ? UINT64_MAX : value;
}

static uint64_t read_special(const char *p, const char **stop) {
    size_t n = match_word(p, "inf");
    if (n != 0) {
        size_t rest = match_word(p + 3, "inity");
        *stop = p + 3 + rest;
        return INFINITY_BITS;
    }
    n = match_word(p, "nan");
    if (n == 0)
        return 0;
    const uint64_t quiet_nan = UINT64_C(0x7FF8000000000000);
    *stop = p + 3;
    if (p[3] != '(')
        return quiet_nan;
    const char *q = p + 4;
    while (is_digit(*q) || ((*q | 0x20) >= 'a' && (*q | 0x20) <= 'z') || *q == '_')
        q++;
    if (*q != ')')
        return quiet_nan;
    *stop = q + 1;
    return quiet_nan | (nan_payload(p + 4, q) & ((UINT64_C(1) << 51) - 1));
}

double lorrinlua_strtod(const char *s, char **end) {
    if (!s) {
        if (end)
            *end = NULL;
        return 0.0;
    }
    const char *p = s;
    while (is_space(*p))
        p++;
    int negative = *p == '-';
    if (*p == '+' || *p == '-')
        p++;
    const char *stop = s;
    uint64_t bits = 0;
    decimal d;
    if (p[0] == '0' && (p[1] | 0x20) == 'x') {
        if (!read_hexadecimal(p + 2, &stop, &bits))
            stop = p + 1; /* just the 0 */
    } else if (scan_decimal(p, &d)) {
        const char *q = d.end;
        d.exponent += read_exponent(&q, 'e');
        stop = q;
        bits = decimal_bits(&d);
    } else {
        bits = read_special(p, &stop);
    }
    if (end)
        *end = (char *)stop;
    if (stop == s)
        return 0.0;
    return from_bits(bits | (uint64_t)negative << 63);
}
