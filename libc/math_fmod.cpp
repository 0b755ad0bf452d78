// fmod: x - T(x / y) * y while the quotient fits the 32-bit conversion; beyond that (or
// when it is not finite) the exact remainder by long division.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace lm::math {

double exact_remainder(double x, double y) {
    double r = double_from_bits(bits_of(x) & ~(uint64_t{1} << 63));
    double d = double_from_bits(bits_of(y) & ~(uint64_t{1} << 63));
    if (r < d)
        return x;
    // Largest d * 2^steps not above r (a doubling that overflows compares false).
    int steps = 0;
    while (d + d <= r) {
        d = d + d;
        steps++;
    }
    // d retraces the same powers of two on the way down, so halving it is exact; r stays
    // below 2d, so r - d is exact.
    for (;; steps--) {
        if (r >= d)
            r = r - d;
        if (steps == 0)
            break;
        d = d * 0.5;
    }
    return x < 0 ? -r : r;
}

} // namespace lm::math

LM_EXPORT double fmod(double x, double y) {
    if (y == 0.0)
        return 0.0;
    if (is_nan(x))
        return x;
    if (is_nan(y))
        return y;
    if (!is_finite(x))
        return x - x;
    if (!is_finite(y))
        return x;
    double q = x / y;
    if (q > -kTwo31 && q < kTwo31)
        return x - static_cast<double>(truncate32(q)) * y;
    return exact_remainder(x, y);
}
