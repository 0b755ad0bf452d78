// What the math tests cannot take from glibc: bit-exact comparison, random arguments,
// and the short sine and cosine polynomials (in their documented order of operations)
// whose results are far from the true values toward the ends of [-pi, pi].
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#pragma clang fp contract(off)

namespace lbw::test {

inline uint64_t bits(double v) { return __builtin_bit_cast(uint64_t, v); }
inline uint32_t bits(float v) { return __builtin_bit_cast(uint32_t, v); }

// The same bit pattern (so -0.0 is not +0.0), or any NaN where a NaN is expected.
template <class F>
::testing::AssertionResult same(F actual, F expected) {
    if (std::isnan(expected) ? std::isnan(actual) : bits(actual) == bits(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hexfloat << actual << " instead of " << expected;
}

class Arguments {
public:
    explicit Arguments(uint64_t seed) : rng_(seed) {}
    // Either sign, mantissa in [1, 2), binary exponent in [min_exp, max_exp].
    double any(int min_exp, int max_exp) {
        double v = std::ldexp(1.0 + uniform(0, 1), integer(min_exp, max_exp));
        return rng_() & 1 ? -v : v;
    }
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng_); }
    int integer(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    // Halves, integers and their neighbours, where rounding is most fragile.
    double near_integer(int max_exp) {
        double v = std::ldexp(std::floor(uniform(0, 1) * std::ldexp(1.0, max_exp + 1)), -1);
        if (unsigned pick = rng_() % 4; pick < 2)
            v = std::nextafter(v, pick ? 1e300 : -1e300);
        return rng_() & 1 ? -v : v;
    }

private:
    std::mt19937_64 rng_;
};

namespace reference {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Into [-pi, pi] by whole steps of two pi.
inline double wrap_angle(double x) {
    while (x > kPi)
        x = x + (-kTwoPi);
    while (x < -kPi)
        x = x + kTwoPi;
    return x;
}

inline double sin(double x) {
    double r = wrap_angle(x);
    double r2 = r * r, r4 = r2 * r2, r6 = r2 * r4;
    double p = r2 / (-6.0) + 1.0;
    p = p + r4 / 120.0;
    p = p - r6 / 5040.0;
    return r * p;
}

inline double cos(double x) {
    double r = wrap_angle(x);
    double r2 = r * r, r4 = r2 * r2, r6 = r2 * r4;
    double p = -0.5 * r2 + 1.0;
    p = p + r4 / 24.0;
    p = p - r6 / 720.0;
    return p;
}

} // namespace reference
} // namespace lbw::test
