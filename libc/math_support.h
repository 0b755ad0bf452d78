// Shared by the math functions: the processor's truncating conversions, which give the
// "integer indefinite" value (the most negative integer) for NaN, infinities and
// anything out of range, instead of leaving that case undefined.
#pragma once

#include <stdint.h>

namespace lm::math {

using Double2 = double __attribute__((vector_size(16)));

// Truncated toward zero to 32 bits; out of range and NaN give -2^31.
inline int32_t truncate32(double v) { return __builtin_ia32_cvttsd2si(Double2{v, 0.0}); }

// Truncated toward zero to 64 bits; out of range and NaN give -2^63.
inline int64_t truncate64(double v) { return __builtin_ia32_cvttsd2si64(Double2{v, 0.0}); }

inline uint64_t bits_of(double v) { return __builtin_bit_cast(uint64_t, v); }
inline double double_from_bits(uint64_t b) { return __builtin_bit_cast(double, b); }

inline bool is_nan(double v) { return v != v; }
// Neither infinite nor NaN.
inline bool is_finite(double v) { return (bits_of(v) & ~(uint64_t{1} << 63)) < 0x7FF0000000000000; }

constexpr double kLn2 = 0.6931471805599453;
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kTwo31 = 2147483648.0;
constexpr double kTwo52 = 4503599627370496.0;

// |x| mod |y| exactly, with the sign of x, for finite x and finite nonzero y: long
// division by y scaled by powers of two, each subtraction exact (the operands are
// within a factor of two of each other).
double exact_remainder(double x, double y);

// p * 2^k, rounded once.
double scale_by_power_of_two(double p, int k);

} // namespace lm::math
