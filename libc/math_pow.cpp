// pow: square-and-multiply for integral exponents; exp(y * log x) for the others.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

LM_EXPORT double log(double x);
LM_EXPORT double exp(double x);

namespace {

constexpr double kInfinity = __builtin_inf();
constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo64 = 18446744073709551616.0;

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
        return exp(y * log(x));
    if (x == 0)
        return y > 0 ? 0.0 : kInfinity;
    return __builtin_nan(""); // a negative base (or NaN) has no real result
}
