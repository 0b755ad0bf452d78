// Comparing floating-point results bit for bit, so that -0.0 is not +0.0.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace lbw::test {

inline uint64_t bits(double v) { return __builtin_bit_cast(uint64_t, v); }
inline uint32_t bits(float v) { return __builtin_bit_cast(uint32_t, v); }
inline double from_bits(uint64_t b) { return __builtin_bit_cast(double, b); }

// The same bit pattern, or any NaN where a NaN is expected.
template <class F>
::testing::AssertionResult same(F actual, F expected) {
    if (std::isnan(expected) ? std::isnan(actual) : bits(actual) == bits(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hexfloat << actual << " instead of " << expected;
}

} // namespace lbw::test
