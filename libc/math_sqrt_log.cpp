// sqrt by Newton steps and log by range reduction and a ten-term series.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

constexpr double kInfinity = __builtin_inf();

} // namespace

// 24 Newton steps from max(x, 1), then more while the estimate still falls strictly, so
// that arguments far from 1 also reach the root. Zero and negative arguments give +0.0.
LM_EXPORT double sqrt(double x) {
    if (x <= 0)
        return 0.0;
    if (x == kInfinity)
        return x;
    double g = x > 1.0 ? x : 1.0; // NaN starts from 1.0 and stays NaN
    for (int i = 0; i < 24; i++)
        g = (x / g + g) * 0.5;
    for (;;) {
        double next = (x / g + g) * 0.5;
        if (!(next < g))
            return g;
        g = next;
    }
}

// x = m * 2^k with 0.75 <= m <= 1.5; log m = 2 atanh s with s = (m - 1) / (m + 1), by
// the first ten odd terms. Zero and negative arguments give negative infinity.
LM_EXPORT double log(double x) {
    if (x <= 0)
        return -kInfinity;
    if (x == kInfinity)
        return x;
    int k = 0;
    double m = x;
    while (m > 1.5) {
        m = m * 0.5;
        k++;
    }
    while (m < 0.75) {
        m = m + m;
        k--;
    }
    double s = (m + (-1.0)) / (m + 1.0);
    double s2 = s * s;
    double sum = 0.0;
    double term = s;
    double divisor = 1.0;
    for (int i = 0; i < 10; i++) {
        double next = s2 * term;
        sum = sum + term / divisor;
        divisor = divisor + 2.0;
        term = next;
    }
    return (sum + sum) + k * kLn2;
}
