// ldexp and frexp by repeated doubling and halving, plus the exact power-of-two scaling
// the other math functions use.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

bool is_fixed_point_of_scaling(double x) { return x == 0.0 || !is_finite(x); }

} // namespace

// Each step rounds, so halving into the subnormal range rounds at every step. Once x
// is 0, infinite or NaN no further step changes it, and the loop stops.
LM_EXPORT double ldexp(double x, int n) {
    for (; n > 0; n--) {
        x = x + x;
        if (is_fixed_point_of_scaling(x))
            return x;
    }
    for (; n < 0; n++) {
        x = x * 0.5;
        if (is_fixed_point_of_scaling(x))
            return x;
    }
    return x;
}

// Mantissa in [0.5, 1) with the sign of x. Zeros give +0.0, NaN and the infinities come
// back unchanged; all three with exponent 0.
LM_EXPORT double frexp(double x, int *e) {
    if (e)
        *e = 0;
    if (x == 0.0)
        return 0.0;
    double m = -x > x ? -x : x;
    if (m == __builtin_inf())
        return x; // halving would never bring it below 1
    int k = 0;
    while (m >= 1.0) {
        m = m * 0.5;
        k++;
    }
    while (m > 0 && m < 0.5) {
        m = m + m;
        k--;
    }
    if (e)
        *e = k;
    return x < 0 ? -m : m;
}

namespace lm::math {

double scale_by_power_of_two(double p, int k) {
    if (k > 1023) {
        p = p * power_of_two(1023);
        k -= 1023;
        if (k > 1023)
            k = 1023;
    }
    if (k < -1022) {
        // Scale into the normal range first (exact), then round once on the last step.
        if (k < -1100)
            k = -1100;
        return p * power_of_two(k + 1074) * double_from_bits(1);
    }
    return p * power_of_two(k);
}

} // namespace lm::math
