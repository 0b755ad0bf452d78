#ifndef _MATH_H
#define _MATH_H

#include <_lbw_cdefs.h>

_LBW_BEGIN_C

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
