// The math algorithms written out plainly in their documented order of operations, for
// comparison bit for bit with the library, plus the comparison and argument helpers of
// the math tests. T is the processor's truncating conversion (-2^31 or -2^63 out of
// range and for NaN).
#pragma once

#include <gtest/gtest.h>

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#pragma clang fp contract(off)

namespace lbw::test {

inline uint64_t bits(double v) { return __builtin_bit_cast(uint64_t, v); }
inline uint32_t bits(float v) { return __builtin_bit_cast(uint32_t, v); }
inline double from_bits(uint64_t b) { return __builtin_bit_cast(double, b); }

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
    double positive(int min_exp, int max_exp) { return std::fabs(any(min_exp, max_exp)); }
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng_); }
    int integer(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    // Halves, integers and their neighbours, where rounding is most fragile.
    double near_integer(int max_exp) {
        double v = std::ldexp(std::floor(uniform(0, 1) * std::ldexp(1.0, max_exp + 1)), -1);
        unsigned pick = rng_() % 4;
        if (pick < 2)
            v = std::nextafter(v, pick ? 1e300 : -1e300);
        return rng_() & 1 ? -v : v;
    }

private:
    std::mt19937_64 rng_;
};

namespace reference {

inline int32_t T(double v) { return _mm_cvttsd_si32(_mm_set_sd(v)); }
inline int64_t T64(double v) { return _mm_cvttsd_si64(_mm_set_sd(v)); }

constexpr double kLn2 = 0.6931471805599453;
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

inline double larger(double a, double b) { return a > b ? a : b; } // maxsd: b on NaN

inline double ldexp(double x, int n) {
    bool negative = n < 0;
    for (; n > 0; n--)
        x = x + x;
    if (negative)
        for (int i = 0; i < -n; i++)
            x = x * 0.5;
    return x;
}

inline double frexp(double x, int *e) {
    *e = 0;
    if (x == 0)
        return 0.0;
    double m = larger(-x, x);
    int k = 0;
    for (; m >= 1.0; k++)
        m = m * 0.5;
    for (; m > 0 && m < 0.5; k--)
        m = m + m;
    *e = k;
    return x < 0 ? -m : m;
}

inline double fmod(double x, double y) { return y == 0 ? 0.0 : x - static_cast<double>(T(x / y)) * y; }

inline double pow(double x, double y) {
    if (static_cast<double>(T(y)) != y)
        return 0.0;
    int32_t n = T(y);
    if (n == 0)
        return 1.0;
    double r = 1.0, b = x;
    for (uint32_t m = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n); m != 0; m >>= 1) {
        if (m & 1)
            r = r * b;
        b = b * b;
    }
    return n > 0 ? r : 1.0 / r;
}

inline double floor(double x) {
    int32_t t = T(x);
    return x < t ? static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(t) - 1u)) : static_cast<double>(t);
}
inline double ceil(double x) { return floor(x) < x ? floor(x) + 1.0 : floor(x); }
inline double trunc(double x) { return x < 0 ? ceil(x) : floor(x); }
inline double round(double x) {
    double f = trunc(x), d = x - f;
    return d >= 0.5 ? f + 1.0 : d <= -0.5 ? f - 1.0 : f;
}
inline int64_t lround(double x) { return T64(x + (x >= 0 ? 0.5 : -0.5)); }

inline double sqrt_steps(double x, int steps) {
    if (x <= 0)
        return 0.0;
    double g = larger(x, 1.0);
    for (int i = 0; i < steps; i++)
        g = (x / g + g) * 0.5;
    return g;
}
inline double sqrt(double x) { return sqrt_steps(x, 24); }

inline double log(double x) {
    if (x <= 0)
        return -std::numeric_limits<double>::infinity();
    int k = 0;
    double m = x;
    for (; m > 1.5; k++)
        m = m * 0.5;
    for (; m < 0.75; k--)
        m = m + m;
    double s = (m + (-1.0)) / (m + 1.0);
    double s2 = s * s, sum = 0, term = s, divisor = 1.0;
    for (int i = 1; i <= 19; i += 2) {
        double next = s2 * term;
        sum = sum + term / divisor;
        divisor = divisor + 2.0;
        term = next;
    }
    return (sum + sum) + k * kLn2;
}

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

inline double fabs(double x) { return larger(-x, x); }

} // namespace reference
} // namespace lbw::test
