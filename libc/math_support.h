// Shared by the math functions: the processor's truncating conversions, which give the
// "integer indefinite" value (the most negative integer) for NaN, infinities and
// anything out of range, instead of leaving that case undefined; bit access; and the
// kernels that several accurate functions build on.
#pragma once

#include "libc/math_double_double.h"

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
inline bool sign_bit(double v) { return bits_of(v) >> 63; }
inline double magnitude(double v) { return double_from_bits(bits_of(v) & ~(uint64_t{1} << 63)); }

// 2^j for -1022 <= j <= 1023.
inline double power_of_two(int j) { return double_from_bits(static_cast<uint64_t>(j + 1023) << 52); }

// The processor's square root instruction: correctly rounded.
inline double rounded_sqrt(double v) { return __builtin_ia32_sqrtsd(Double2{v, 0.0})[0]; }
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

// e^x = 2^k (1 + m) for |x| <= 746, with |m| below 0.42 and m = e^r - 1 accurate to
// about 2^-60 relative (r = x - k ln 2); for |x| below ln 2 / 2, k is 0 and m is e^x - 1.
struct ExpParts {
    int k;
    DoubleDouble m;
};
ExpParts exp_parts(double x);

// x = n pi/2 + r for finite x, with |r| at most a hair above pi/4 and r accurate to well
// beyond double precision whatever the size of x. Returns n modulo 8.
int reduce_by_pi_over_2(double x, DoubleDouble &r);

} // namespace lm::math
