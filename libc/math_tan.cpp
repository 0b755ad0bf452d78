// tan: the argument reduced by pi/2 to r in [-pi/4, pi/4], then tan r, or -1/tan r for
// odd multiples, from an odd minimax polynomial of degree 27. From |r| = 0.6744 on, the
// polynomial runs on pi/4 - |r| instead and tan(pi/4 - u) = (1 - tan u) / (1 + tan u)
// gives the result, which keeps the polynomial's argument below 0.6744.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

namespace {

// tan x = x + x^3 (T0 + T1 x^2 + ... + T12 x^24) on |x| <= 0.6744, within 2^-59.2.
constexpr double kT[] = {
    3.33333333333334091986e-01,  1.33333333333201242699e-01, 5.39682539762260521377e-02,
    2.18694882948595424599e-02,  8.86323982359930005737e-03, 3.59207910759131235356e-03,
    1.45620945432529025516e-03,  5.88041240820264096874e-04, 2.46463134818469906812e-04,
    7.81794442939557092300e-05,  7.14072491382608190305e-05, -1.85586374855275456654e-05,
    2.59073051863633712884e-05,
};
constexpr double kPiOver4 = 0x1.921fb54442d18p-1;
constexpr double kPiOver4Low = 0x1.1a62633145c07p-55;
// From here on the polynomial runs on pi/4 - |x|.
constexpr double kNearPiOver4 = 0x1.59428p-1;

double clear_low_word(double v) { return double_from_bits(bits_of(v) & 0xFFFFFFFF00000000); }

// tan(x + y), or -1/tan(x + y) when cotangent is set; |x + y| <= pi/4 (a hair more)
// and |y| at most half an ulp of x.
double tan_reduced(double x, double y, bool cotangent) {
    bool near_pi_over_4 = magnitude(x) >= kNearPiOver4;
    bool negative = x < 0;
    if (near_pi_over_4) {
        if (negative) {
            x = -x;
            y = -y;
        }
        x = (kPiOver4 - x) + (kPiOver4Low - y);
        y = 0.0;
    }
    double z = x * x;
    double w = z * z;
    // x^5 (T1 + T2 x^2 + ...) as the odd-indexed and even-indexed halves in w = x^4.
    double r = kT[1] + w * (kT[3] + w * (kT[5] + w * (kT[7] + w * (kT[9] + w * kT[11]))));
    double v = z * (kT[2] + w * (kT[4] + w * (kT[6] + w * (kT[8] + w * (kT[10] + w * kT[12])))));
    double s = z * x;
    // T0 x^3, the largest term after x, from x^3 in double-double.
    DoubleDouble square = two_product(x, x);
    DoubleDouble cube = two_product(square.hi, x);
    DoubleDouble lead = two_product(kT[0], cube.hi);
    double rest = y + z * (s * (r + v) + y);
    r = lead.hi + ((lead.lo + kT[0] * (cube.lo + square.lo * x)) + rest);
    w = x + r; // tan of the polynomial's argument is x + r
    if (near_pi_over_4) {
        // With T = x + r = tan u: (1 - T) / (1 + T) = 1 - 2 (x - (T^2 / (T + 1) - r)),
        // and -(1 + T) / (1 - T) the same with -1 in place of 1.
        double one = cotangent ? -1.0 : 1.0;
        double result = one - 2.0 * (x - (w * w / (w + one) - r));
        return negative ? -result : result;
    }
    if (!cotangent)
        return w;
    // -1/(x + r) to full precision: a = -1/w rounded, t its upper half, then one
    // correction step with w split as z + v exactly.
    z = clear_low_word(w);
    v = r - (z - x);
    double a = -1.0 / w;
    double t = clear_low_word(a);
    s = 1.0 + t * z;
    return t + a * (s + t * v);
}

} // namespace

// tan of +-0 and of tiny arguments is the argument; NaN and infinities give NaN.
LM_EXPORT double tan(double x) {
    if (magnitude(x) < 0x1p-27)
        return x;
    if (!is_finite(x))
        return x - x;
    DoubleDouble r;
    int n = reduce_by_pi_over_2(x, r);
    return tan_reduced(r.hi, r.lo, n & 1);
}
