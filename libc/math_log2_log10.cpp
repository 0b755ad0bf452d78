// log2 and log10: x = 2^k (1 + f) with 1 + f in [sqrt(2)/2, sqrt(2)), log(1 + f) in
// double-double from a minimax series in s = f / (2 + f), then scaled by 1/ln 2 or
// 1/ln 10 and added to k or k log10(2) in double-double, so that the result is rounded
// once. Exact powers of two (and of ten, for log10) give exact results.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

constexpr DoubleDouble kInvLn2 = {0x1.71547652b82fep+0, 0x1.777d0ffda0d24p-56};
constexpr DoubleDouble kInvLn10 = {0x1.bcb7b1526e50ep-2, 0x1.95355baaafad3p-57};
constexpr DoubleDouble kLog10Of2 = {0x1.34413509f79ffp-2, -0x1.9dc1da994fd21p-59};

// log(1 + f) = 2s + s R(s^2); these approximate R(z) / z on [0, 0.0295] (s at most
// 0.1716) to within 2^-58.4.
constexpr double kLg1 = 6.666666666666735130e-01;
constexpr double kLg2 = 3.999999999940941908e-01;
constexpr double kLg3 = 2.857142874366239149e-01;
constexpr double kLg4 = 2.222219843214978396e-01;
constexpr double kLg5 = 1.818357216161805012e-01;
constexpr double kLg6 = 1.531383769920937332e-01;
constexpr double kLg7 = 1.479819860511658591e-01;

// The fraction bits of sqrt(2): mantissas from here on are halved.
constexpr uint64_t kSqrt2Fraction = 0x6a09e667f3bcd;
constexpr uint64_t kFractionMask = (uint64_t{1} << 52) - 1;

// log x = k ln 2 + log1p.
struct LogParts {
    int k;
    DoubleDouble log1p;
};

// For finite x > 0.
LogParts log_parts(double x) {
    int k = 0;
    if (x < 0x1p-1022) { // subnormal: scale into the normal range
        x = x * 0x1p54;
        k = -54;
    }
    uint64_t b = bits_of(x);
    uint64_t fraction = b & kFractionMask;
    k += static_cast<int>(b >> 52) - 1023;
    uint64_t exponent = uint64_t{1023};
    if (fraction >= kSqrt2Fraction) {
        exponent = 1022;
        k++;
    }
    double f = double_from_bits(fraction | exponent << 52) - 1.0; // exact
    // log(1 + f) = f - f^2/2 + s (f^2/2 + R): f - f^2/2 exactly, the small rest rounded.
    double s = f / (2.0 + f);
    double z = s * s;
    double w = z * z;
    double r = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7))) + w * (kLg2 + w * (kLg4 + w * kLg6));
    DoubleDouble square = two_product(f, f);
    double half_square = 0.5 * square.hi;
    DoubleDouble lead = fast_two_sum(f, -half_square);
    double tail = lead.lo - 0.5 * square.lo + s * (half_square + r);
    return {k, fast_two_sum(lead.hi, tail)};
}

// The results at the ends of the domain: NaN for NaN and for arguments below zero,
// -infinity for either zero, +infinity for +infinity.
bool is_outside_domain(double x, double &result) {
    if (is_nan(x)) {
        result = x + x;
        return true;
    }
    if (x == 0.0) {
        result = -__builtin_inf();
        return true;
    }
    if (x < 0.0) {
        result = __builtin_nan("");
        return true;
    }
    if (!is_finite(x)) {
        result = x;
        return true;
    }
    return false;
}

} // namespace

LM_EXPORT double log2(double x) {
    double special;
    if (is_outside_domain(x, special))
        return special;
    LogParts p = log_parts(x);
    DoubleDouble scaled = multiply(p.log1p, kInvLn2);
    // |k| >= 1 outweighs |scaled| <= 1/2, and k = 0 adds nothing.
    DoubleDouble sum = fast_two_sum(p.k, scaled.hi);
    return sum.hi + (sum.lo + scaled.lo);
}

LM_EXPORT double log10(double x) {
    double special;
    if (is_outside_domain(x, special))
        return special;
    LogParts p = log_parts(x);
    DoubleDouble sum = add(multiply({static_cast<double>(p.k), 0.0}, kLog10Of2), multiply(p.log1p, kInvLn10));
    return sum.hi + sum.lo;
}
