// floor, ceil, trunc, round, lround, llround: integral values through the processor's
// truncating conversions. Values of magnitude 2^52 and more are integral already and,
// with NaN and the infinities, come back unchanged; magnitudes from 2^31 up go through
// the 64-bit conversion, since the 32-bit one cannot hold them.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

LM_EXPORT double floor(double x) {
    if (!(x > -kTwo52 && x < kTwo52))
        return x;
    if (x > -kTwo31 && x < kTwo31) {
        int32_t t = truncate32(x);
        // The subtraction never wraps in this range; -0.0 and 0 both give +0.0.
        return x < t ? static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(t) - 1u))
                     : static_cast<double>(t);
    }
    int64_t t = truncate64(x);
    return x < t ? static_cast<double>(t - 1) : static_cast<double>(t);
}

// The sign of a zero result is not kept: ceil(-0.5) is +0.0.
LM_EXPORT double ceil(double x) {
    double f = floor(x);
    return f < x ? f + 1.0 : f;
}

LM_EXPORT double trunc(double x) { return x < 0 ? ceil(x) : floor(x); }

// Halfway cases go away from zero.
LM_EXPORT double round(double x) {
    double f = trunc(x);
    double d = x - f;
    if (d >= 0.5)
        return f + 1.0;
    if (d <= -0.5)
        return f - 1.0;
    return f;
}

namespace {

// Indexed by whether the argument is at least 0; NaN takes -0.5.
const double kRoundingOffsets[2] = {-0.5, 0.5};

} // namespace

// The offset is added first, so 0.49999999999999994 rounds to 1 (the sum rounds up to
// 1.0). Out of range and NaN give -2^63.
LM_EXPORT long lround(double x) { return truncate64(x + kRoundingOffsets[x >= 0]); }

LM_EXPORT long long llround(double x) { return truncate64(x + kRoundingOffsets[x >= 0]); }
