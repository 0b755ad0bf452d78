// asin, acos, atan and atan2.
// asin and acos: a rational minimax approximation of asin on [-1/2, 1/2], and beyond
// it the half-angle identity asin x = pi/2 - 2 asin(sqrt((1 - x) / 2)), with the leading
// parts subtracted exactly.
// atan: the argument folded onto [0, 7/16] around atan(1/2), atan(1), atan(3/2) or
// pi/2, with the folded argument and the anchor in double-double; atan2 divides in
// double-double too, and adds its quadrant's pi before the one rounding.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

constexpr DoubleDouble kPiOver2Precise = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
constexpr DoubleDouble kPiPrecise = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};

// asin x = x + x P(x^2) / Q(x^2) on |x| <= 1/2, within 2^-59.9.
constexpr double kP0 = 1.66666666666666657415e-01;
constexpr double kP1 = -3.25565818622400915405e-01;
constexpr double kP2 = 2.01212532134862925881e-01;
constexpr double kP3 = -4.00555345006794114027e-02;
constexpr double kP4 = 7.91534994289814532176e-04;
constexpr double kP5 = 3.47933107596021167570e-05;
constexpr double kQ1 = -2.40339491173441421878e+00;
constexpr double kQ2 = 2.02094576023350569471e+00;
constexpr double kQ3 = -6.88283971605453293030e-01;
constexpr double kQ4 = 7.70381505559019352791e-02;

// P(t) / Q(t), so that asin x = x + x R(x^2).
double asin_ratio(double t) {
    double p = t * (kP0 + t * (kP1 + t * (kP2 + t * (kP3 + t * (kP4 + t * kP5)))));
    double q = 1.0 + t * (kQ1 + t * (kQ2 + t * (kQ3 + t * kQ4)));
    return p / q;
}

double clear_low_word(double v) { return double_from_bits(bits_of(v) & 0xFFFFFFFF00000000); }

// asin sqrt(t) = high + rest for 0 <= t <= 1/4: s = sqrt(t) rounded, high its upper 21
// bits (so that 2 high is exact next to pi or pi/2), sqrt(t) - high = (t - high^2) /
// (sqrt(t) + high) with an exact numerator, then asin s = s + s R(t).
struct HalfAngle {
    double high;
    double rest;
};

HalfAngle half_angle_asin(double t) {
    if (t == 0.0)
        return {0.0, 0.0};
    double s = rounded_sqrt(t);
    double high = clear_low_word(s);
    double correction = (t - high * high) / (s + high);
    return {high, correction + s * asin_ratio(t)};
}

// atan x = x - x (A0 x^2 + A1 x^4 + ... + A10 x^22) on |x| <= 7/16, within 2^-57.6.
constexpr double kA[] = {
    3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
    -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
    6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
    -3.65315727442169155270e-02, 1.62858201153657823623e-02,
};

// x (A0 x^2 + ... + A10 x^22), as odd and even halves in x^4.
double atan_series(double x) {
    double z = x * x;
    double w = z * z;
    double odd = z * (kA[0] + w * (kA[2] + w * (kA[4] + w * (kA[6] + w * (kA[8] + w * kA[10])))));
    double even = w * (kA[1] + w * (kA[3] + w * (kA[5] + w * (kA[7] + w * kA[9]))));
    return x * (odd + even);
}

// atan of 1/2, 1, 3/2 and infinity.
constexpr DoubleDouble kAtanAnchors[] = {
    {0x1.dac670561bb4fp-2, 0x1.a2b7f222f65e2p-56},
    {0x1.921fb54442d18p-1, 0x1.1a62633145c07p-55},
    {0x1.f730bd281f69bp-1, 0x1.007887af0cbbdp-56},
    {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54},
};

// atan(t + tail) for finite t >= 0 and |tail| at most an ulp of t, unrounded.
DoubleDouble atan_parts(double t, double tail) {
    if (t >= 0x1p66)
        return kPiOver2Precise;
    double tail_term = tail == 0.0 ? 0.0 : tail / (1.0 + t * t);
    if (t < 0.4375)
        return fast_two_sum(t, tail_term - atan_series(t));
    // atan t = atan(anchor) + atan(u) with u = (t - anchor) / (1 + anchor t); the
    // numerator is exact, the denominator and the quotient are double-double.
    int anchor;
    double numerator;
    DoubleDouble denominator;
    if (t < 0.6875) {
        anchor = 0;
        numerator = 2.0 * t - 1.0;
        denominator = two_sum(2.0, t);
    } else if (t < 1.1875) {
        anchor = 1;
        numerator = t - 1.0;
        denominator = two_sum(t, 1.0);
    } else if (t < 2.4375) {
        anchor = 2;
        numerator = t - 1.5;
        DoubleDouble product = two_product(1.5, t);
        denominator = add({1.0, 0.0}, product);
    } else {
        anchor = 3;
        numerator = -1.0;
        denominator = {t, 0.0};
    }
    DoubleDouble u = divide({numerator, 0.0}, denominator);
    // atan(u.hi + u.lo) = atan(u.hi) + u.lo / (1 + u.hi^2), the last within 2^-60.
    DoubleDouble sum = fast_two_sum(kAtanAnchors[anchor].hi, u.hi);
    double low = kAtanAnchors[anchor].lo + u.lo * (1.0 - u.hi * u.hi) + tail_term - atan_series(u.hi);
    return fast_two_sum(sum.hi, sum.lo + low);
}

int exponent_of(double v) { // floor(log2 |v|) for finite nonzero v
    uint64_t b = bits_of(v) & ~(uint64_t{1} << 63);
    if (b >= uint64_t{1} << 52)
        return static_cast<int>(b >> 52) - 1023;
    return 63 - __builtin_clzll(b) - 1074;
}

// atan(ay / ax) in [0, pi/2] for ax, ay >= 0 and not NaN, unrounded.
DoubleDouble first_quadrant_angle(double ay, double ax) {
    if (ay == 0.0)
        return {0.0, 0.0};
    if (!is_finite(ax) && is_finite(ay))
        return {0.0, 0.0};
    if (!is_finite(ax)) // both infinite
        return {0.5 * kPiOver2Precise.hi, 0.5 * kPiOver2Precise.lo};
    if (ax == 0.0 || !is_finite(ay))
        return kPiOver2Precise;
    int gap = exponent_of(ay) - exponent_of(ax);
    if (gap > 60)
        return kPiOver2Precise; // short by less than 2^-60
    if (gap < -60)
        return {ay / ax, 0.0}; // atan q = q within 2^-120
    // Scaled by the same power of two, exactly, so that ax lies in [1, 2): the quotient
    // and its remainder then neither overflow nor underflow.
    // (In two steps: 2^shift alone may not be a double.)
    int shift = -exponent_of(ax);
    double half_scale = power_of_two(shift / 2), other_scale = power_of_two(shift - shift / 2);
    ax = ax * half_scale * other_scale;
    ay = ay * half_scale * other_scale;
    double q = ay / ax;
    DoubleDouble product = two_product(q, ax);
    double tail = ((ay - product.hi) - product.lo) / ax;
    return atan_parts(q, tail);
}

} // namespace

// asin of +-0 and tiny arguments is the argument; NaN and |x| > 1 give NaN.
LM_EXPORT double asin(double x) {
    double ax = magnitude(x);
    if (!(ax <= 1.0))
        return is_nan(x) ? x + x : __builtin_nan("");
    if (ax < 0x1p-26)
        return x;
    if (ax < 0.5)
        return x + x * asin_ratio(x * x);
    // asin |x| = pi/2 - 2 asin sqrt((1 - |x|) / 2); pi/2 - 2f is exact.
    HalfAngle a = half_angle_asin((1.0 - ax) * 0.5);
    double result = (kPiOver2Precise.hi - 2.0 * a.high) - (2.0 * a.rest - kPiOver2Precise.lo);
    return x < 0 ? -result : result;
}

// acos of 1 is +0, of -1 pi; NaN and |x| > 1 give NaN.
LM_EXPORT double acos(double x) {
    double ax = magnitude(x);
    if (!(ax <= 1.0))
        return is_nan(x) ? x + x : __builtin_nan("");
    if (ax < 0.5) {
        // pi/2 - x - x R(x^2), the first difference in double-double
        DoubleDouble d = two_sum(kPiOver2Precise.hi, -x);
        return d.hi + (d.lo + (kPiOver2Precise.lo - x * asin_ratio(x * x)));
    }
    if (x < 0) {
        // pi - 2 asin sqrt((1 + x) / 2); pi - 2f is exact.
        HalfAngle a = half_angle_asin((1.0 + x) * 0.5);
        return (kPiPrecise.hi - 2.0 * a.high) - (2.0 * a.rest - kPiPrecise.lo);
    }
    // 2 asin sqrt((1 - x) / 2)
    HalfAngle a = half_angle_asin((1.0 - x) * 0.5);
    return 2.0 * (a.high + a.rest);
}

// atan of +-0 is +-0, of +-infinity +-pi/2; NaN gives NaN.
LM_EXPORT double atan(double x) {
    if (is_nan(x))
        return x + x;
    DoubleDouble a = atan_parts(magnitude(x), 0.0);
    double result = a.hi + a.lo;
    return sign_bit(x) ? -result : result;
}

// The angle of the point (x, y) in [-pi, pi], its sign that of y (-0.0 included). With
// x = -0.0 or any x < 0 and y = +-0 the angle is +-pi; with x = +0.0 or any x > 0 it is
// +-0. Infinite coordinates give multiples of pi/4. NaN in either gives NaN.
LM_EXPORT double atan2(double y, double x) {
    if (is_nan(x) || is_nan(y))
        return x + y;
    DoubleDouble a = first_quadrant_angle(magnitude(y), magnitude(x));
    double result;
    if (sign_bit(x)) {
        DoubleDouble d = two_sum(kPiPrecise.hi, -a.hi);
        result = d.hi + (d.lo + (kPiPrecise.lo - a.lo));
    } else {
        result = a.hi + a.lo;
    }
    return sign_bit(y) ? -result : result;
}
