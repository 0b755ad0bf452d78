// exp, and the kernel it shares with the hyperbolic functions: e^x = 2^k e^r with
// r = x - k ln 2 in [-ln 2 / 2, ln 2 / 2], and e^r - 1 by its Taylor series with the
// leading terms carried in double-double, so that the result is rounded once.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

// ln 2 = kLn2High + kLn2Low. kLn2High has 32 significant bits, so k * kLn2High is exact
// for every k this file meets, and so is x - k * kLn2High (the two are within a factor
// of two of each other).
constexpr double kLn2High = 0x1.62e42feep-1;
constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
constexpr double kInvLn2 = 0x1.71547652b82fep+0;

// 1/3!, ..., 1/14! (n! is exact in double, so each quotient is rounded once). For
// |r| <= ln 2 / 2 the terms beyond r^14 sum to less than 2^-61 |r|.
constexpr double kSeries[] = {1.0 / 6,
                              1.0 / 24,
                              1.0 / 120,
                              1.0 / 720,
                              1.0 / 5040,
                              1.0 / 40320,
                              1.0 / 362880,
                              1.0 / 3628800,
                              1.0 / 39916800,
                              1.0 / 479001600,
                              1.0 / 6227020800,
                              1.0 / 87178291200};

// Beyond these e^x overflows, or rounds to zero.
constexpr double kOverflow = 709.79;
constexpr double kUnderflow = -745.2;

} // namespace

namespace lm::math {

ExpParts exp_parts(double x) {
    int k = truncate32(x * kInvLn2 + (x < 0 ? -0.5 : 0.5));
    double high = x - k * kLn2High;
    DoubleDouble r = two_sum(high, -(k * kLn2Low));
    // e^r - 1 = r + r^2/2 + r^3 (1/3! + r/4! + ...); r.lo adds r.lo e^r. The series
    // in pairs of terms and powers r^2, r^4, r^8 (Estrin's scheme), for a short chain of
    // dependent operations.
    DoubleDouble square = two_product(r.hi, r.hi);
    double r2 = square.hi, r4 = r2 * r2;
    double pairs[6];
    for (int i = 0; i < 6; i++)
        pairs[i] = kSeries[2 * i] + kSeries[2 * i + 1] * r.hi;
    double quads[3];
    for (int i = 0; i < 3; i++)
        quads[i] = pairs[2 * i] + pairs[2 * i + 1] * r2;
    double series = quads[0] + r4 * (quads[1] + r4 * quads[2]);
    DoubleDouble lead = fast_two_sum(r.hi, 0.5 * square.hi);
    double tail = lead.lo + 0.5 * square.lo + square.hi * r.hi * series + r.lo * (1.0 + r.hi);
    return {k, fast_two_sum(lead.hi, tail)};
}

} // namespace lm::math

LM_EXPORT double exp(double x) {
    if (is_nan(x))
        return x + x;
    if (x > kOverflow)
        return __builtin_inf();
    if (x < kUnderflow)
        return 0.0;
    ExpParts e = exp_parts(x);
    DoubleDouble one_plus = fast_two_sum(1.0, e.m.hi);
    return scale_by_power_of_two(one_plus.hi + (one_plus.lo + e.m.lo), e.k);
}
