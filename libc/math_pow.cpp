// pow: square-and-multiply for integral exponents; exp(y * log x) for the others.
#include "host/program_api.h"
#include "libc/math_support.h"

using namespace lm::math;

LM_EXPORT double log(double x);

namespace {

constexpr double kInfinity = __builtin_inf();
constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo64 = 18446744073709551616.0;
// ln 2 split so that k * kLn2High is exact for every k exp can meet.
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
// Beyond these exp overflows, or rounds to zero.
constexpr double kExpOverflow = 709.782712893384;
constexpr double kExpUnderflow = -746.0;

// e^t: t = k ln2 + r with |r| <= ln2 / 2, then e^r by its Taylor series through r^13
// (Horner form), scaled by 2^k.
double exponential(double t) {
    if (is_nan(t))
        return t;
    if (t > kExpOverflow)
        return kInfinity;
    if (t < kExpUnderflow)
        return 0.0;
    int64_t k = truncate64(t / kLn2 + (t >= 0 ? 0.5 : -0.5));
    double r = (t - static_cast<double>(k) * kLn2High) - static_cast<double>(k) * kLn2Low;
    double p = 1.0;
    for (int n = 13; n >= 1; n--)
        p = 1.0 + r * p / n;
    return scale_by_power_of_two(p, static_cast<int>(k));
}

bool is_integral(double y) {
    double magnitude = y < 0 ? -y : y;
    return magnitude >= kTwo52 || static_cast<double>(truncate64(y)) == y;
}

// x^|y| for integral y, one squaring per bit of the count. Counts of 2^64 and more are
// even: their low zero bits are squarings of the base alone.
double integral_power(double x, double count) {
    double base = x;
    while (count >= kTwo64) {
        base = base * base;
        count = count * 0.5;
    }
    uint64_t m = count >= kTwo63 ? static_cast<uint64_t>(truncate64(count - kTwo63)) + (uint64_t{1} << 63)
                                 : static_cast<uint64_t>(truncate64(count));
    double result = 1.0;
    while (m != 0) {
        if (m & 1)
            result = result * base;
        base = base * base;
        m >>= 1;
    }
    return result;
}

// An infinite exponent as the limit of ever larger even integers.
double infinite_power(double x, double y) {
    double magnitude = x < 0 ? -x : x;
    if (is_nan(x))
        return x;
    if (magnitude == 1.0)
        return 1.0;
    return (magnitude > 1.0) == (y > 0) ? kInfinity : 0.0;
}

} // namespace

LM_EXPORT double pow(double x, double y) {
    if (is_nan(y))
        return y;
    if (!is_finite(y))
        return infinite_power(x, y);
    if (is_integral(y)) {
        if (y == 0.0)
            return 1.0;
        double r = integral_power(x, y < 0 ? -y : y);
        return y > 0 ? r : 1.0 / r;
    }
    if (x > 0)
        return exponential(y * log(x));
    if (x == 0)
        return y > 0 ? 0.0 : kInfinity;
    return __builtin_nan(""); // a negative base (or NaN) has no real result
}
