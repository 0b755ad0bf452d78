// sin and cos: short Taylor polynomials on the angle moved into [-pi, pi].
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

// Above this the angle is reduced by an exact remainder rather than step by step.
constexpr double kStepwiseLimit = 1048576.0 * kTwoPi;

// Moves x into [-pi, pi] by whole steps of two pi. Infinities and NaN give NaN.
double wrap_angle(double x) {
    if (!is_finite(x))
        return x - x;
    if (x > kStepwiseLimit || x < -kStepwiseLimit)
        x = exact_remainder(x, kTwoPi);
    while (x > kPi)
        x = x + (-kTwoPi);
    while (x < -kPi)
        x = x + kTwoPi;
    return x;
}

} // namespace

// Through the seventh power, evaluated in this order.
LM_EXPORT double sin(double x) {
    double r = wrap_angle(x);
    double r2 = r * r;
    double r4 = r2 * r2;
    double r6 = r2 * r4;
    double p = r2 / (-6.0) + 1.0;
    p = p + r4 / 120.0;
    p = p - r6 / 5040.0;
    return r * p;
}

// Through the sixth power, evaluated in this order.
LM_EXPORT double cos(double x) {
    double r = wrap_angle(x);
    double r2 = r * r;
    double r4 = r2 * r2;
    double r6 = r2 * r4;
    double p = -0.5 * r2 + 1.0;
    p = p + r4 / 24.0;
    p = p - r6 / 720.0;
    return p;
}
