// Single-precision forms: the argument widened to double (exactly), the double
// algorithm, the result narrowed once with round-to-nearest.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

LM_EXPORT double frexp(double x, int *e);
LM_EXPORT double ldexp(double x, int n);
LM_EXPORT double pow(double x, double y);
LM_EXPORT double ceil(double x);
LM_EXPORT double trunc(double x);
LM_EXPORT double sqrt(double x);
LM_EXPORT double log(double x);
LM_EXPORT double sin(double x);
LM_EXPORT double cos(double x);
LM_EXPORT double fmod(double x, double y);

LM_EXPORT float frexpf(float x, int *e) { return static_cast<float>(frexp(x, e)); }
LM_EXPORT float ldexpf(float x, int n) { return static_cast<float>(ldexp(x, n)); }
LM_EXPORT float powf(float x, float y) { return static_cast<float>(pow(x, y)); }
LM_EXPORT float ceilf(float x) { return static_cast<float>(ceil(x)); }
LM_EXPORT float truncf(float x) { return static_cast<float>(trunc(x)); }
LM_EXPORT float sqrtf(float x) { return static_cast<float>(sqrt(x)); }
LM_EXPORT float logf(float x) { return static_cast<float>(log(x)); }
LM_EXPORT float sinf(float x) { return static_cast<float>(sin(x)); }
LM_EXPORT float cosf(float x) { return static_cast<float>(cos(x)); }

// The remainder of two floats is exact in double and representable as a float, so the
// double algorithm narrowed gives the single-precision result.
LM_EXPORT float fmodf(float x, float y) { return static_cast<float>(fmod(x, y)); }

// floor on the widened value: 32-bit truncation where it fits, 64-bit beyond, values of
// 2^52 and more (and NaN, infinities) unchanged.
LM_EXPORT float floorf(float x) {
    double w = x;
    if (!(w > -kTwo52 && w < kTwo52))
        return x;
    if (w > -kTwo31 && w < kTwo31) {
        int32_t t = truncate32(w);
        return static_cast<float>(w < t ? static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(t) - 1u))
                                        : static_cast<double>(t));
    }
    int64_t t = truncate64(w);
    return static_cast<float>(w < t ? static_cast<double>(t - 1) : static_cast<double>(t));
}

LM_EXPORT float fabsf(float x) { return -x > x ? -x : x; }

LM_EXPORT int lm_math_isfinitef(float x) { return (__builtin_bit_cast(uint32_t, x) & 0x7FFFFFFFu) < 0x7F800000u; }
