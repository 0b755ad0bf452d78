// Double-precision math against the documented algorithms, written out in the test
// (tests/numerics/math_reference.h) and compared bit for bit, plus the listed results
// and the sound handling of the regimes where the plain algorithms break down.
#include "tests/numerics/math_reference.h"
#include "tests/numerics/math_test_support.h"
#include "tests/support/library_test.h"

#include <cmath>
#include <limits>

namespace lbw::test {
namespace {

namespace ref = reference;

using Unary = double(double);
using Binary = double(double, double);

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTwo31 = 2147483648.0;
constexpr double kTwo52 = 4503599627370496.0;

class MathTest : public LibraryTest {
protected:
    Unary *unary(const char *name) { return fn<Unary>(name); }
    Binary *binary(const char *name) { return fn<Binary>(name); }
    Arguments args{20261206};
};

// Distance in units in the last place between two finite doubles of the same sign.
int64_t ulps(double a, double b) {
    int64_t d = static_cast<int64_t>(bits(a)) - static_cast<int64_t>(bits(b));
    return d < 0 ? -d : d;
}

TEST_F(MathTest, LdexpListedAndReference) {
    auto ldexp = fn<double(double, int)>("ldexp");
    EXPECT_SAME_BITS(ldexp(1, 10), 1024.0);
    EXPECT_SAME_BITS(ldexp(1, -1), 0.5);
    EXPECT_SAME_BITS(ldexp(3, 0), 3.0);
    for (int i = 0; i < 5000; i++) {
        double x = args.any(-1074, 1023);
        int n = args.integer(-2200, 2200);
        EXPECT_SAME_BITS(ldexp(x, n), ref::ldexp(x, n)) << x << " " << n;
    }
    for (double x : {0.0, -0.0, kInf, -kInf, 5e-324, -kMax})
        for (int n : {-3000, -1, 0, 1, 3000})
            EXPECT_SAME_VALUE(ldexp(x, n), ref::ldexp(x, n));
}

TEST_F(MathTest, LdexpStopsOnceTheValueCannotChange) {
    // Results as the full loop gives them, without 2^31 steps.
    auto ldexp = fn<double(double, int)>("ldexp");
    EXPECT_SAME_BITS(ldexp(1.5, INT32_MAX), kInf);
    EXPECT_SAME_BITS(ldexp(-1.5, INT32_MAX), -kInf);
    EXPECT_SAME_BITS(ldexp(1.5, INT32_MIN), 0.0);
    EXPECT_SAME_BITS(ldexp(-1.5, INT32_MIN), -0.0);
    EXPECT_SAME_BITS(ldexp(-0.0, INT32_MAX), -0.0);
    EXPECT_TRUE(std::isnan(ldexp(kNaN, INT32_MIN)));
}

TEST_F(MathTest, FrexpListedAndReference) {
    auto frexp = fn<double(double, int *)>("frexp");
    int e = 99;
    EXPECT_SAME_BITS(frexp(8, &e), 0.5);
    EXPECT_EQ(e, 4);
    EXPECT_SAME_BITS(frexp(0.1, &e), 0.8);
    EXPECT_EQ(e, -3);
    EXPECT_SAME_BITS(frexp(-3, &e), -0.75);
    EXPECT_EQ(e, 2);
    EXPECT_SAME_BITS(frexp(-0.0, &e), 0.0);
    EXPECT_EQ(e, 0);
    EXPECT_SAME_BITS(frexp(5, nullptr), 0.625);
    e = 99;
    EXPECT_TRUE(std::isnan(frexp(kNaN, &e)));
    EXPECT_EQ(e, 0);
    for (int i = 0; i < 5000; i++) {
        double x = args.any(-1074, 1023);
        int expected_e = 0;
        double expected = ref::frexp(x, &expected_e);
        EXPECT_SAME_BITS(frexp(x, &e), expected) << x;
        EXPECT_EQ(e, expected_e) << x;
    }
}

TEST_F(MathTest, FrexpOfAnInfinityReturnsItWithExponentZero) {
    auto frexp = fn<double(double, int *)>("frexp");
    int e = 99;
    EXPECT_SAME_BITS(frexp(kInf, &e), kInf);
    EXPECT_EQ(e, 0);
    e = 99;
    EXPECT_SAME_BITS(frexp(-kInf, &e), -kInf);
    EXPECT_EQ(e, 0);
}

TEST_F(MathTest, FmodListedAndReference) {
    auto fmod = binary("fmod");
    EXPECT_SAME_BITS(fmod(7.5, 2), 1.5);
    EXPECT_SAME_BITS(fmod(-7.5, 2), -1.5);
    EXPECT_SAME_BITS(fmod(7.5, 0), 0.0);
    EXPECT_SAME_BITS(fmod(-7.5, -0.0), 0.0);
    EXPECT_SAME_BITS(fmod(kNaN, 0), 0.0);
    int compared = 0;
    for (int i = 0; i < 20000; i++) {
        double x = args.any(-30, 60);
        double y = args.any(-30, 60);
        if (!(std::fabs(x / y) < kTwo31))
            continue;
        compared++;
        EXPECT_SAME_BITS(fmod(x, y), ref::fmod(x, y)) << x << " " << y;
    }
    EXPECT_GT(compared, 5000);
}

TEST_F(MathTest, FmodIsExactForLargeQuotients) {
    auto fmod = binary("fmod");
    EXPECT_SAME_BITS(fmod(1e10, 3), 1.0);
    EXPECT_SAME_BITS(fmod(-1e10, 3), -1.0);
    EXPECT_SAME_BITS(fmod(kMax, 5e-324), 0.0);
    EXPECT_SAME_BITS(fmod(1e300, 1e-300), std::fmod(1e300, 1e-300));
    int compared = 0;
    for (int i = 0; i < 20000; i++) {
        double x = args.any(-1074, 1023);
        double y = args.any(-1074, 1023);
        if (std::fabs(x / y) < kTwo31)
            continue;
        compared++;
        EXPECT_SAME_BITS(fmod(x, y), std::fmod(x, y)) << x << " " << y;
    }
    EXPECT_GT(compared, 5000);
}

TEST_F(MathTest, FmodOfInfinitiesAndNaN) {
    auto fmod = binary("fmod");
    EXPECT_SAME_BITS(fmod(5.5, kInf), 5.5);
    EXPECT_SAME_BITS(fmod(-5.5, -kInf), -5.5);
    EXPECT_TRUE(std::isnan(fmod(kInf, 2)));
    EXPECT_TRUE(std::isnan(fmod(-kInf, kInf)));
    EXPECT_TRUE(std::isnan(fmod(kNaN, 2)));
    EXPECT_TRUE(std::isnan(fmod(2, kNaN)));
}

TEST_F(MathTest, PowListedAndReference) {
    auto pow = binary("pow");
    EXPECT_SAME_BITS(pow(2, 10), 1024.0);
    EXPECT_SAME_BITS(pow(2, -2), 0.25);
    EXPECT_SAME_BITS(pow(kNaN, 0), 1.0);
    EXPECT_SAME_BITS(pow(kNaN, -0.0), 1.0);
    EXPECT_SAME_BITS(pow(0, -1), kInf);
    EXPECT_SAME_BITS(pow(-2, 3), -8.0);
    for (int i = 0; i < 20000; i++) {
        double x = args.any(-12, 12);
        double y = args.integer(-300, 300);
        EXPECT_SAME_BITS(pow(x, y), ref::pow(x, y)) << x << " " << y;
    }
    for (int i = 0; i < 3000; i++) {
        double x = 1.0 + args.any(-40, -10);
        double y = args.integer(INT32_MIN, INT32_MAX);
        EXPECT_SAME_BITS(pow(x, y), ref::pow(x, y)) << x << " " << y;
    }
    EXPECT_SAME_BITS(pow(1.0 - 0x1p-40, INT32_MIN), ref::pow(1.0 - 0x1p-40, INT32_MIN));
}

TEST_F(MathTest, PowTakesIntegralExponentsOfAnyMagnitude) {
    auto pow = binary("pow");
    EXPECT_SAME_BITS(pow(3, 2147483648.0), kInf);
    EXPECT_SAME_BITS(pow(-1, 9007199254740991.0), -1.0); // odd
    EXPECT_SAME_BITS(pow(-1, 9007199254740992.0), 1.0);
    EXPECT_SAME_BITS(pow(-1, 1e300), 1.0);
    EXPECT_SAME_BITS(pow(2, 1e300), kInf);
    EXPECT_SAME_BITS(pow(-2, 1e300), kInf);
    EXPECT_SAME_BITS(pow(0.5, 1e300), 0.0);
    EXPECT_SAME_BITS(pow(2, -1e300), 0.0);
    EXPECT_SAME_BITS(pow(1, -1e300), 1.0);
    // Square-and-multiply on the full count: x^(2^40 + 3) = x^(2^40) * x^2 * x.
    double x = 1.0 + 0x1p-45;
    double b = x;
    for (int i = 0; i < 40; i++)
        b = b * b;
    double expected = 1.0 * x * (x * x) * b;
    EXPECT_SAME_BITS(pow(x, 0x1p40 + 3), expected);
    EXPECT_SAME_BITS(pow(x, -(0x1p40 + 3)), 1.0 / expected);
}

TEST_F(MathTest, PowOfNonIntegralAndNaNExponents) {
    auto pow = binary("pow");
    double root2 = pow(2, 0.5);
    EXPECT_LE(ulps(root2, 1.4142135623730951), 4) << root2;
    EXPECT_TRUE(std::isnan(pow(2, kNaN)));
    EXPECT_TRUE(std::isnan(pow(1, kNaN)));
    EXPECT_TRUE(std::isnan(pow(-8, 1.0 / 3)));
    EXPECT_TRUE(std::isnan(pow(-0.5, 2.5)));
    EXPECT_TRUE(std::isnan(pow(kNaN, 0.5)));
    EXPECT_SAME_BITS(pow(0, 0.5), 0.0);
    EXPECT_SAME_BITS(pow(0, -0.5), kInf);
    EXPECT_SAME_BITS(pow(kInf, 0.5), kInf);
    EXPECT_SAME_BITS(pow(kInf, -0.5), 0.0);
    EXPECT_SAME_BITS(pow(1e300, 1.5), kInf);
    EXPECT_SAME_BITS(pow(1e-300, 1.5), 0.0);
    for (int i = 0; i < 5000; i++) {
        double x = args.positive(-20, 20);
        double y = args.uniform(-30, 30);
        if (y == std::trunc(y))
            continue;
        double expected = std::pow(x, y);
        if (!(expected > 1e-300 && expected < 1e300))
            continue;
        EXPECT_NEAR(pow(x, y) / expected, 1.0, 1e-12) << x << " " << y;
    }
}

TEST_F(MathTest, PowOfInfiniteExponentsIsTheLimitOfLargeEvenPowers) {
    auto pow = binary("pow");
    EXPECT_SAME_BITS(pow(2, kInf), kInf);
    EXPECT_SAME_BITS(pow(-2, kInf), kInf);
    EXPECT_SAME_BITS(pow(0.5, kInf), 0.0);
    EXPECT_SAME_BITS(pow(2, -kInf), 0.0);
    EXPECT_SAME_BITS(pow(0.5, -kInf), kInf);
    EXPECT_SAME_BITS(pow(1, kInf), 1.0);
    EXPECT_SAME_BITS(pow(-1, -kInf), 1.0);
    EXPECT_TRUE(std::isnan(pow(kNaN, kInf)));
}

TEST_F(MathTest, RoundingListed) {
    auto floor = unary("floor");
    auto ceil = unary("ceil");
    auto trunc = unary("trunc");
    auto round = unary("round");
    EXPECT_SAME_BITS(floor(-0.5), -1.0);
    EXPECT_SAME_BITS(floor(2.0), 2.0);
    EXPECT_SAME_BITS(floor(-0.0), 0.0);
    EXPECT_SAME_BITS(ceil(-0.5), 0.0);
    EXPECT_SAME_BITS(trunc(-1.5), -1.0);
    EXPECT_SAME_BITS(round(2.5), 3.0);
    EXPECT_SAME_BITS(round(-2.5), -3.0);
    EXPECT_SAME_BITS(round(-0.5), -1.0);
    EXPECT_SAME_BITS(round(-0.4), 0.0);
    EXPECT_SAME_BITS(round(1.49999), 1.0);
}

TEST_F(MathTest, RoundingMatchesTheReferenceBelowTwoToThe31) {
    const char *names[] = {"floor", "ceil", "trunc", "round"};
    double (*refs[])(double) = {ref::floor, ref::ceil, ref::trunc, ref::round};
    for (int f = 0; f < 4; f++) {
        Unary *lib = unary(names[f]);
        for (int i = 0; i < 20000; i++) {
            double x = i % 2 ? args.near_integer(30) : args.any(-1074, 30);
            if (!(std::fabs(x) < kTwo31))
                continue;
            EXPECT_SAME_BITS(lib(x), refs[f](x)) << names[f] << "(" << x << ")";
        }
    }
}

TEST_F(MathTest, RoundingOfLargeValuesNaNAndInfinities) {
    auto floor = unary("floor");
    auto ceil = unary("ceil");
    auto trunc = unary("trunc");
    auto round = unary("round");
    EXPECT_SAME_BITS(floor(3e9), 3e9);
    EXPECT_SAME_BITS(floor(-3e9 - 0.5), -3000000001.0);
    EXPECT_SAME_BITS(ceil(-2147483648.5), -2147483648.0);
    EXPECT_SAME_BITS(floor(-2147483648.5), -2147483649.0);
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? args.near_integer(51) : args.any(31, 51);
        if (std::fabs(x) < kTwo31)
            continue;
        EXPECT_SAME_BITS(floor(x), std::floor(x)) << x;
        EXPECT_SAME_BITS(ceil(x), std::ceil(x)) << x;
        EXPECT_SAME_BITS(trunc(x), std::trunc(x)) << x;
        EXPECT_SAME_BITS(round(x), std::round(x)) << x;
    }
    Unary *all[] = {floor, ceil, trunc, round};
    for (Unary *f : all) {
        for (double x : {kTwo52, -kTwo52, 1e300, -kMax, kInf, -kInf, kTwo52 + 1, -(kTwo52 + 3)})
            EXPECT_SAME_BITS(f(x), x);
        double negative_nan = from_bits(0xFFF8000000000123);
        EXPECT_SAME_BITS(f(negative_nan), negative_nan);
    }
}

TEST_F(MathTest, LroundAndLlround) {
    auto lround = fn<long(double)>("lround");
    auto llround = fn<long long(double)>("llround");
    EXPECT_EQ(lround(2.5), 3);
    EXPECT_EQ(lround(-2.5), -3);
    EXPECT_EQ(lround(1e19), INT64_MIN);
    EXPECT_EQ(lround(0.49999999999999994), 1);
    EXPECT_EQ(lround(kNaN), INT64_MIN);
    EXPECT_EQ(llround(-kInf), INT64_MIN);
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? args.near_integer(64) : args.any(-1074, 66);
        EXPECT_EQ(lround(x), ref::lround(x)) << x;
        EXPECT_EQ(llround(x), ref::lround(x)) << x;
    }
}

TEST_F(MathTest, SqrtListedAndReference) {
    auto sqrt = unary("sqrt");
    EXPECT_SAME_BITS(sqrt(4), 2.0);
    EXPECT_SAME_BITS(sqrt(0.25), 0.5);
    EXPECT_SAME_BITS(sqrt(-1), 0.0);
    EXPECT_SAME_BITS(sqrt(-0.0), 0.0);
    EXPECT_SAME_BITS(sqrt(-kInf), 0.0);
    EXPECT_SAME_BITS(sqrt(2), 1.414213562373095);
    EXPECT_SAME_BITS(sqrt(1e10), 100000.0);
    EXPECT_TRUE(std::isnan(sqrt(kNaN)));
    // Wherever 24 steps have converged (a 25th would not lower the estimate), the
    // result is exactly theirs.
    int compared = 0;
    for (int i = 0; i < 20000; i++) {
        double x = args.positive(-40, 40);
        double g24 = ref::sqrt_steps(x, 24);
        if (ref::sqrt_steps(x, 25) < g24)
            continue;
        compared++;
        EXPECT_SAME_BITS(sqrt(x), g24) << x;
    }
    EXPECT_GT(compared, 10000);
}

TEST_F(MathTest, SqrtConvergesFarFromOne) {
    auto sqrt = unary("sqrt");
    EXPECT_SAME_BITS(sqrt(1e20), 1e10);
    EXPECT_LE(ulps(sqrt(1e15), 31622776.601683792), 1);
    EXPECT_LE(ulps(sqrt(1e-300), 1e-150), 1);
    EXPECT_SAME_BITS(sqrt(kInf), kInf);
    for (int i = 0; i < 5000; i++) {
        double x = args.positive(-1074, 1023);
        EXPECT_LE(ulps(sqrt(x), std::sqrt(x)), 1) << x;
    }
}

TEST_F(MathTest, LogListedAndReference) {
    auto log = unary("log");
    EXPECT_SAME_BITS(log(1), 0.0);
    EXPECT_SAME_BITS(log(0), -kInf);
    EXPECT_SAME_BITS(log(-0.0), -kInf);
    EXPECT_SAME_BITS(log(-1), -kInf);
    EXPECT_SAME_BITS(log(2), 0.6931471805599453);
    EXPECT_SAME_BITS(log(10), 2.3025850929940455);
    EXPECT_SAME_BITS(log(1e-10), -23.025850929940454);
    EXPECT_TRUE(std::isnan(log(kNaN)));
    for (int i = 0; i < 20000; i++) {
        double x = args.positive(-1074, 1023);
        EXPECT_SAME_BITS(log(x), ref::log(x)) << x;
    }
    EXPECT_SAME_BITS(log(kMax), ref::log(kMax));
    EXPECT_SAME_BITS(log(5e-324), ref::log(5e-324));
}

TEST_F(MathTest, LogOfInfinityIsInfinity) { EXPECT_SAME_BITS(unary("log")(kInf), kInf); }

TEST_F(MathTest, SinCosListedAndReference) {
    auto sin = unary("sin");
    auto cos = unary("cos");
    const double pi = 3.141592653589793;
    EXPECT_SAME_BITS(sin(pi / 2), 0.9998431013994987);
    EXPECT_SAME_BITS(sin(pi), -0.07522061590362336);
    EXPECT_SAME_BITS(cos(pi / 2), -0.0008945229984747317);
    EXPECT_SAME_BITS(cos(pi), -1.2113528429825007);
    EXPECT_SAME_BITS(sin(1), 0.841468253968254);
    EXPECT_SAME_BITS(sin(10), -0.5314773592715458);
    EXPECT_SAME_BITS(sin(10), ref::sin(10 - 2 * 6.283185307179586));
    EXPECT_SAME_BITS(sin(-0.0), -0.0);
    for (int i = 0; i < 20000; i++) {
        double x = i % 4 ? args.uniform(-50, 50) : args.any(-1074, 13);
        EXPECT_SAME_BITS(sin(x), ref::sin(x)) << x;
        EXPECT_SAME_BITS(cos(x), ref::cos(x)) << x;
    }
    // Up to the step-by-step limit (2^20 two pi), still step by step.
    for (double x : {1e6, -6e6, 1048576.0 * 6.283185307179586, -1048576.0 * 6.283185307179586}) {
        EXPECT_SAME_BITS(sin(x), ref::sin(x)) << x;
        EXPECT_SAME_BITS(cos(x), ref::cos(x)) << x;
    }
}

TEST_F(MathTest, SinCosOfHugeAnglesReduceExactly) {
    auto sin = unary("sin");
    auto cos = unary("cos");
    const double two_pi = 6.283185307179586;
    for (double x : {std::nextafter(1048576.0 * two_pi, kInf), 1e7, -1e10, 1e17, 0x1p57, -1e300, kMax}) {
        double r = ref::wrap_angle(std::fmod(x, two_pi));
        double expected_sin = ref::sin(r);
        double expected_cos = ref::cos(r);
        EXPECT_SAME_BITS(sin(x), expected_sin) << x;
        EXPECT_SAME_BITS(cos(x), expected_cos) << x;
    }
    for (double x : {kInf, -kInf, kNaN}) {
        EXPECT_TRUE(std::isnan(sin(x))) << x;
        EXPECT_TRUE(std::isnan(cos(x))) << x;
    }
}

TEST_F(MathTest, FabsKeepsNegativeZeroAndNaN) {
    auto fabs = unary("fabs");
    EXPECT_SAME_BITS(fabs(-0.0), -0.0);
    EXPECT_SAME_BITS(fabs(-3), 3.0);
    EXPECT_SAME_BITS(fabs(-kInf), kInf);
    double negative_nan = from_bits(0xFFF8000000000042);
    EXPECT_SAME_BITS(fabs(negative_nan), negative_nan);
    for (int i = 0; i < 5000; i++) {
        double x = args.any(-1074, 1023);
        EXPECT_SAME_BITS(fabs(x), ref::fabs(x));
    }
}

TEST_F(MathTest, FiniteTests) {
    auto isfinite = fn<int(double)>("isfinite");
    auto lm_isfinite = fn<int(double)>("lm_math_isfinite");
    for (double x : {0.0, -0.0, 1.0, kMax, -kMax, 5e-324, -2.2250738585072014e-308}) {
        EXPECT_EQ(isfinite(x), 1) << x;
        EXPECT_EQ(lm_isfinite(x), 1) << x;
    }
    for (double x : {kInf, -kInf, kNaN, -kNaN, from_bits(0x7FF0000000000001), from_bits(0xFFFFFFFFFFFFFFFF)}) {
        EXPECT_EQ(isfinite(x), 0) << x;
        EXPECT_EQ(lm_isfinite(x), 0) << x;
    }
}

long double extended(uint64_t significand, uint16_t sign_exponent) {
    unsigned char raw[sizeof(long double)] = {};
    std::memcpy(raw, &significand, 8);
    std::memcpy(raw + 8, &sign_exponent, 2);
    long double v;
    std::memcpy(&v, raw, sizeof v);
    return v;
}

TEST_F(MathTest, ExtendedFiniteTestReadsTheRawFormat) {
    auto isfinitel = fn<int(long double)>("lm_math_isfinitel");
    const uint64_t integer_bit = uint64_t{1} << 63;
    EXPECT_EQ(isfinitel(1.0L), 1);
    EXPECT_EQ(isfinitel(-2.5e4000L), 1);
    EXPECT_EQ(isfinitel(std::numeric_limits<long double>::max()), 1);
    EXPECT_EQ(isfinitel(std::numeric_limits<long double>::infinity()), 0);
    EXPECT_EQ(isfinitel(-std::numeric_limits<long double>::infinity()), 0);
    EXPECT_EQ(isfinitel(std::numeric_limits<long double>::quiet_NaN()), 0);
    for (uint16_t sign : {uint16_t{0}, uint16_t{0x8000}}) {
        EXPECT_EQ(isfinitel(extended(0, sign)), 1);                              // zero
        EXPECT_EQ(isfinitel(extended(123, sign)), 1);                            // denormal
        EXPECT_EQ(isfinitel(extended(integer_bit | 5, sign)), 1);                // pseudo-denormal
        EXPECT_EQ(isfinitel(extended(integer_bit, sign | 1)), 1);                // smallest normal
        EXPECT_EQ(isfinitel(extended(integer_bit, sign | 0x7FFE)), 1);           // largest exponent
        EXPECT_EQ(isfinitel(extended(0x123, sign | 0x3FFF)), 0);                 // unnormal
        EXPECT_EQ(isfinitel(extended(0, sign | 0x7FFE)), 0);                     // unnormal
        EXPECT_EQ(isfinitel(extended(integer_bit, sign | 0x7FFF)), 0);           // infinity
        EXPECT_EQ(isfinitel(extended(0, sign | 0x7FFF)), 0);                     // pseudo-infinity
        EXPECT_EQ(isfinitel(extended(integer_bit | 1, sign | 0x7FFF)), 0);       // NaN
    }
}

} // namespace
} // namespace lbw::test
