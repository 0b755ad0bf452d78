// Bit-exact comparison and argument generators for the math tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace lbw::test {

inline uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline uint32_t bits(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

inline double from_bits(uint64_t b) {
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

// Same bit pattern (so -0.0 differs from +0.0 and NaNs must match exactly).
#define EXPECT_SAME_BITS(actual, expected) \
    EXPECT_EQ(::lbw::test::bits(actual), ::lbw::test::bits(expected)) << (actual) << " vs " << (expected)

// Either both NaN or the same bit pattern.
#define EXPECT_SAME_VALUE(actual, expected)                                                     \
    do {                                                                                        \
        auto a_ = (actual);                                                                     \
        auto e_ = (expected);                                                                   \
        if (std::isnan(e_))                                                                     \
            EXPECT_TRUE(std::isnan(a_)) << a_ << " is not NaN";                                  \
        else                                                                                    \
            EXPECT_EQ(::lbw::test::bits(a_), ::lbw::test::bits(e_)) << a_ << " vs " << e_;      \
    } while (0)

class Arguments {
public:
    explicit Arguments(uint64_t seed) : rng_(seed) {}

    // Sign, mantissa in [1, 2), binary exponent in [min_exp, max_exp].
    double any(int min_exp, int max_exp) {
        double m = 1.0 + std::uniform_real_distribution<double>(0.0, 1.0)(rng_);
        int e = std::uniform_int_distribution<int>(min_exp, max_exp)(rng_);
        double v = std::ldexp(m, e);
        return rng_() & 1 ? -v : v;
    }
    double positive(int min_exp, int max_exp) { return std::fabs(any(min_exp, max_exp)); }
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng_); }
    int integer(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    // Halves, integers and their neighbours, where rounding functions are most fragile.
    double near_integer(int max_exp) {
        double v = std::ldexp(std::floor(uniform(0, 1) * std::ldexp(1.0, max_exp + 1)), -1) ;
        switch (rng_() % 4) {
        case 0: v = std::nextafter(v, 1e300); break;
        case 1: v = std::nextafter(v, -1e300); break;
        default: break;
        }
        return rng_() & 1 ? -v : v;
    }

private:
    std::mt19937_64 rng_;
};

} // namespace lbw::test
