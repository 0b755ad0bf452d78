/* The decimal digits of a double, correctly rounded (half to even on the exact binary
 * value), for the formatter's %e, %f and %g. */
#ifndef LORRINLUA_FLOAT_DIGITS_H
#define LORRINLUA_FLOAT_DIGITS_H

#include "wide.h"

/* A double has at most 767 significant decimal digits. */
#define FLOAT_DIGITS_MAX 800

typedef struct {
    char digit[FLOAT_DIGITS_MAX]; /* '0' to '9', most significant first */
    int count;                    /* digits held, those beyond are zeros; 0: the value is zero */
    int exponent;                 /* the power of ten of digit[0] */
} float_digits;

/* The first `count` (>= 1) significant digits of v (finite, > 0). */
LORRINLUA_INTERNAL void float_digits_significant(double v, int count, float_digits *d);
/* v (finite, >= 0) rounded to a multiple of 10^-decimals (decimals >= 0). */
LORRINLUA_INTERNAL void float_digits_fixed(double v, int decimals, float_digits *d);
/* floor(log10(v)) for v finite and > 0, exactly (slowly: from the whole expansion). */
LORRINLUA_INTERNAL int float_digits_exponent(double v);

#endif
