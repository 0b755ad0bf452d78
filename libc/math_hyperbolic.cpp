// sinh, cosh and tanh from e^|x| (or e^|x| - 1, which keeps its relative precision
// near 0) in double-double, combined in double-double and rounded once:
//   sinh x = (E + E / (E + 1)) / 2 with E = e^|x| - 1,
//   cosh x = (e^|x| + e^-|x|) / 2,
//   tanh x = -E / (E + 2) with E = e^(-2|x|) - 1.
// From |x| = 22 on, e^-|x| no longer shows: sinh and cosh are e^|x| / 2, tanh is +-1.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

constexpr double kLarge = 22.0;
// Beyond this sinh and cosh overflow.
constexpr double kOverflow = 711.0;
constexpr DoubleDouble kOne = {1.0, 0.0};

// e^x - 1 for |x| <= 45.
DoubleDouble exp_minus_one(double x) {
    ExpParts e = exp_parts(x);
    if (e.k == 0)
        return e.m;
    // 2^k (1 + m) - 1 = (2^k - 1) + 2^k m, with 2^k - 1 exact in double-double.
    double scale = power_of_two(e.k);
    DoubleDouble base = two_sum(scale, -1.0);
    DoubleDouble sum = two_sum(base.hi, scale * e.m.hi);
    return fast_two_sum(sum.hi, sum.lo + (base.lo + scale * e.m.lo));
}

// e^ax / 2 for kLarge <= ax <= kOverflow, rounded once (to infinity when it overflows).
double half_exp(double ax) {
    ExpParts e = exp_parts(ax);
    DoubleDouble one_plus = fast_two_sum(1.0, e.m.hi);
    return scale_by_power_of_two(one_plus.hi + (one_plus.lo + e.m.lo), e.k - 1);
}

} // namespace

// sinh of +-0 and tiny arguments is the argument; +-infinity and NaN come back.
LM_EXPORT double sinh(double x) {
    double ax = magnitude(x);
    double result;
    if (ax < 0x1p-28) {
        return x;
    } else if (ax < kLarge) {
        DoubleDouble e = exp_minus_one(ax);
        DoubleDouble sum = add(e, divide(e, add(e, kOne)));
        result = 0.5 * (sum.hi + sum.lo);
    } else if (ax <= kOverflow) {
        result = half_exp(ax);
    } else {
        return x * 0x1p1023; // overflows to +-infinity; NaN stays NaN
    }
    return x < 0 ? -result : result;
}

// cosh of +-0 is 1; +-infinity gives +infinity, NaN gives NaN.
LM_EXPORT double cosh(double x) {
    double ax = magnitude(x);
    if (ax < 0x1p-27)
        return 1.0;
    if (ax < kLarge) {
        ExpParts e = exp_parts(ax);
        double scale = power_of_two(e.k);
        DoubleDouble one_plus = fast_two_sum(1.0, e.m.hi);
        DoubleDouble exp_ax = fast_two_sum(scale * one_plus.hi, scale * (one_plus.lo + e.m.lo));
        DoubleDouble sum = add(exp_ax, divide(kOne, exp_ax));
        return 0.5 * (sum.hi + sum.lo);
    }
    if (ax <= kOverflow)
        return half_exp(ax);
    return ax * 0x1p1023; // overflows to infinity; NaN stays NaN
}

// tanh of +-0 and tiny arguments is the argument, of +-infinity +-1; NaN gives NaN.
LM_EXPORT double tanh(double x) {
    double ax = magnitude(x);
    double result;
    if (ax < 0x1p-28) {
        return x;
    } else if (ax < kLarge) {
        DoubleDouble e = exp_minus_one(-2.0 * ax);
        DoubleDouble q = divide(e, add(e, {2.0, 0.0}));
        result = -(q.hi + q.lo);
    } else if (is_nan(x)) {
        return x + x;
    } else {
        result = 1.0;
    }
    return x < 0 ? -result : result;
}
