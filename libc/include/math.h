#ifndef _MATH_H
#define _MATH_H

#include <_lbw_cdefs.h>

_LBW_BEGIN_C

/* Positive infinity as a double and as a float, and a quiet NaN (float). */
#define HUGE_VAL (__builtin_huge_val())
#define HUGE_VALF (__builtin_huge_valf())
#define INFINITY (__builtin_inff())
#define NAN (__builtin_nanf(""))

/* Built from double arithmetic with short series and simple loops: approximations with
 * fixed results. Nothing sets an error variable.
 * floor, ceil, trunc and round are exact below 2^52 and return larger values, NaN and
 * infinities unchanged; lround and llround give -2^63 out of range. sqrt and log of
 * zero or negative arguments give +0.0 and -infinity; fmod by zero gives +0.0. pow
 * takes integral exponents by repeated squaring, others as exp(y log x). */
double ldexp(double x, int n);
double frexp(double x, int *e);
double fmod(double x, double y);
double pow(double x, double y);
double floor(double x);
double ceil(double x);
double trunc(double x);
double round(double x);
long lround(double x);
long long llround(double x);
double sqrt(double x);
double log(double x);
double sin(double x);
double cos(double x);
double fabs(double x);
/* 1 when x is neither infinite nor NaN, else 0. */
int isfinite(double x);
int lm_math_isfinite(double x);
int lm_math_isfinitef(float x);
/* 1 when the extended value is finite and well formed (no unnormals), else 0. */
int lm_math_isfinitel(long double x);

/* Accurate: within 1 ulp of the exact result over the whole domain (measured at most
 * 0.5 to 0.8 ulp), with the usual special values. Zeros keep their sign where the
 * function is odd (exp and cosh of +-0 are 1); NaN arguments give NaN.
 * exp: overflows to +infinity above 709.78, gradual underflow to subnormals and +0;
 * exp(-infinity) = +0.
 * log2, log10: -infinity for +-0, NaN below zero, +infinity for +infinity; exact at
 * powers of two (log2) and at the powers of ten a double holds (log10).
 * tan: exact argument reduction by pi/2 at every magnitude; NaN for infinities.
 * asin, acos: NaN outside [-1, 1]; acos(1) = +0.
 * atan: +-pi/2 at +-infinity.
 * atan2(y, x): the angle of the point (x, y) in [-pi, pi] with the sign of y (also
 * for y = -0.0); for y = +-0 it is +-0 when x is +0.0 or positive and +-pi when x is
 * -0.0 or negative; infinite coordinates give the multiples of pi/4.
 * sinh, cosh: overflow to +-infinity beyond |x| = 710.48; tanh: +-1 from |x| = 22 on. */
double exp(double x);
double log2(double x);
double log10(double x);
double tan(double x);
double asin(double x);
double acos(double x);
double atan(double x);
double atan2(double y, double x);
double sinh(double x);
double cosh(double x);
double tanh(double x);

/* Single precision: the double function on the widened argument, narrowed once. */
float frexpf(float x, int *e);
float ldexpf(float x, int n);
float powf(float x, float y);
float floorf(float x);
float ceilf(float x);
float truncf(float x);
float sqrtf(float x);
float logf(float x);
float sinf(float x);
float cosf(float x);
float fmodf(float x, float y);
float fabsf(float x);

_LBW_END_C

#endif
