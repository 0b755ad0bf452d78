// The math algorithms written out plainly in their documented order of operations, for
// comparison bit for bit with the library over the arguments where they apply. T is the
// processor's truncating conversion (-2^31 or -2^63 out of range and for NaN).
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>
#include <limits>

#pragma clang fp contract(off)

namespace lbw::test::reference {

inline int32_t T(double v) { return _mm_cvttsd_si32(_mm_set_sd(v)); }
inline int64_t T64(double v) { return _mm_cvttsd_si64(_mm_set_sd(v)); }

constexpr double kLn2 = 0.6931471805599453;
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

inline double larger(double a, double b) { return a > b ? a : b; } // maxsd: b on NaN

inline double ldexp(double x, int n) {
    bool negative = n < 0;
    while (n > 0) {
        x = x + x;
        n--;
    }
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
    while (m >= 1.0) {
        m = m * 0.5;
        k++;
    }
    while (m > 0 && m < 0.5) {
        m = m + m;
        k--;
    }
    *e = k;
    return x < 0 ? -m : m;
}

inline double fmod(double x, double y) {
    if (y == 0)
        return 0.0;
    return x - static_cast<double>(T(x / y)) * y;
}

inline double pow(double x, double y) {
    if (static_cast<double>(T(y)) != y)
        return 0.0;
    int32_t n = T(y);
    if (n == 0)
        return 1.0;
    uint32_t m = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
    double r = 1.0, b = x;
    while (m != 0) {
        if (m & 1)
            r = r * b;
        b = b * b;
        m >>= 1;
    }
    return n > 0 ? r : 1.0 / r;
}

inline double floor(double x) {
    int32_t t = T(x);
    return x < t ? static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(t) - 1u)) : static_cast<double>(t);
}

inline double ceil(double x) {
    double f = floor(x);
    return f < x ? f + 1.0 : f;
}

inline double trunc(double x) { return x < 0 ? ceil(x) : floor(x); }

inline double round(double x) {
    double f = trunc(x);
    double d = x - f;
    if (d >= 0.5)
        return f + 1.0;
    if (d <= -0.5)
        return f - 1.0;
    return f;
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
    double sum = 0, term = s, divisor = 1.0;
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

} // namespace lbw::test::reference
