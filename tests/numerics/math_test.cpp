// Double- and single-precision math: glibc wherever the library's result is the standard
// one (exactly, or within the accuracy its loops reach), the short sine and cosine
// polynomials bit for bit, the single-precision forms against the library's own double
// functions, and a table of listed results and of answers that differ from glibc's.
#include "tests/numerics/same_bits.h"
#include "tests/support/library_test.h"

#include <cfloat>
#include <climits>
#include <cstring>
#include <random>
#include <string>

#pragma clang fp contract(off)

namespace lbw::test {
namespace {

constexpr double kInf = INFINITY, kNaN = NAN, kPi = 3.141592653589793, kTwoPi = 6.283185307179586;

// sin (or cos) as its Taylor polynomial through the seventh (sixth) power, in the
// documented order of operations, on the angle moved into [-pi, pi] step by step.
double taylor(double x, bool sine) {
    while (x > kPi)
        x = x + (-kTwoPi);
    while (x < -kPi)
        x = x + kTwoPi;
    double r2 = x * x, r4 = r2 * r2, r6 = r2 * r4;
    return sine ? x * (r2 / -6.0 + 1.0 + r4 / 120.0 - r6 / 5040.0) : -0.5 * r2 + 1.0 + r4 / 24.0 - r6 / 720.0;
}

int64_t ulps(double a, double b) { return std::abs(static_cast<int64_t>(bits(a) - bits(b))); }

class MathTest : public LibraryTest {
protected:
    std::mt19937_64 rng{20261206};
    // Either sign, binary exponent from low to high.
    double any(int low, int high) {
        double mantissa = 1 + static_cast<double>(rng() >> 11) * 0x1p-53;
        return std::ldexp(rng() & 1 ? -mantissa : mantissa, low + static_cast<int>(rng() % (high - low + 1)));
    }
    // Integers, halves and their neighbours, up to 2^most.
    double near_integer(int most) {
        double v = std::ldexp(static_cast<double>(rng() >> (63 - most)), -1) * (rng() & 1 ? -1 : 1);
        return rng() % 2 ? v : std::nextafter(v, rng() % 2 ? kInf : -kInf);
    }
    double (*one(const std::string &name))(double) { return fn<double(double)>(name.c_str()); }
    double (*two(const char *name))(double, double) { return fn<double(double, double)>(name); }
};

TEST_F(MathTest, ListedResultsAndDifferencesFromGlibc) {
    const struct { const char *name; double x, y, expected; } rows[] = { // y only for fmod and pow
        {"fmod", 7.5, 2, 1.5}, {"fmod", -7.5, 2, -1.5}, {"fmod", 7.5, 0, 0.0}, {"fmod", -7.5, -0.0, 0.0},
        {"fmod", kNaN, 0, 0.0}, {"fmod", 5.5, kInf, 5.5}, {"fmod", kInf, 2, kNaN}, {"fmod", 2, kNaN, kNaN},
        {"pow", kNaN, 0, 1}, {"pow", 1, kNaN, kNaN}, {"pow", 0, -1, kInf}, {"pow", 0, 0.5, 0.0}, {"pow", 0, -0.5, kInf},
        {"pow", -8, 1.0 / 3, kNaN}, {"pow", kNaN, kInf, kNaN}, {"pow", -1, -kInf, 1}, {"pow", 0.5, -kInf, kInf},
        {"floor", -0.0, 0, 0.0}, {"ceil", -0.5, 0, 0.0}, {"trunc", -0.5, 0, 0.0}, {"round", -0.4, 0, 0.0},
        {"round", -2.5, 0, -3}, {"sqrt", -1, 0, 0.0}, {"sqrt", -0.0, 0, 0.0}, {"sqrt", -kInf, 0, 0.0},
        {"sqrt", 2, 0, 1.414213562373095}, {"sqrt", 1e10, 0, 100000}, {"sqrt", kInf, 0, kInf}, {"sqrt", kNaN, 0, kNaN},
        {"log", 0, 0, -kInf}, {"log", -0.0, 0, -kInf}, {"log", -1, 0, -kInf}, {"log", 2, 0, 0.6931471805599453},
        {"log", 10, 0, 2.3025850929940455}, {"log", 1e-10, 0, -23.025850929940454}, {"log", kInf, 0, kInf},
        {"log", kNaN, 0, kNaN}, {"sin", kPi / 2, 0, 0.9998431013994987}, {"sin", kPi, 0, -0.07522061590362336},
        {"cos", kPi / 2, 0, -0.0008945229984747317}, {"cos", kPi, 0, -1.2113528429825007},
        {"sin", 10, 0, -0.5314773592715458}, {"sin", kInf, 0, kNaN}, {"cos", -kInf, 0, kNaN}, {"sin", kNaN, 0, kNaN},
        {"fabs", -0.0, 0, -0.0},
    };
    for (auto r : rows) {
        const bool binary = r.name[0] == 'p' || r.name[1] == 'm';
        EXPECT_TRUE(same(binary ? two(r.name)(r.x, r.y) : one(r.name)(r.x), r.expected)) << r.name << "(" << r.x << ", " << r.y << ")";
    }
    // NaN (its sign and payload too) and values of 2^52 and more come back as they are.
    const double negative_nan = __builtin_bit_cast(double, uint64_t{0xFFF8000000000123});
    for (const char *name : {"floor", "ceil", "trunc", "round"})
        for (double x : {negative_nan, 0x1p52 + 1, -0x1p52 - 3, -DBL_MAX, kInf})
            EXPECT_EQ(bits(one(name)(x)), bits(x)) << name << "(" << x << ")";
    EXPECT_EQ(bits(one("fabs")(negative_nan)), bits(negative_nan));
}

// glibc's values, except that a zero result is never negative; lround adds a half away
// from zero first, and that sum rounds.
TEST_F(MathTest, RoundingAsGlibc) {
    using Glibc = std::pair<const char *, double (*)(double)>;
    for (auto [name, glibc] : {Glibc{"floor", std::floor}, {"ceil", std::ceil}, {"trunc", std::trunc}, {"round", std::round}})
        for (int i = 0; i < 20000; i++) {
            double x = i % 2 ? near_integer(i % 4 == 1 ? 30 : 60) : any(-1074, 60), want = glibc(x);
            EXPECT_TRUE(same(one(name)(x), want == 0 ? 0.0 : want)) << name << "(" << x << ")";
        }
    auto lround = fn<long(double)>("lround");
    auto llround = fn<long long(double)>("llround");
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? near_integer(51) : any(-1074, 51);
        EXPECT_EQ(lround(x), std::lround(x)) << x;
        EXPECT_EQ(llround(x), std::llround(x)) << x;
    }
    for (auto [x, expected] : {std::pair{0.49999999999999994, 1LL}, {0x1p52 + 1, (1LL << 52) + 2}, {1e19, LLONG_MIN},
                               {kNaN, LLONG_MIN}, {-kInf, LLONG_MIN}}) {
        EXPECT_EQ(lround(x), expected) << x;
        EXPECT_EQ(llround(x), expected) << x;
    }
}

TEST_F(MathTest, FmodAndPow) {
    auto fmod = two("fmod"), pow = two("pow");
    for (int i = 0; i < 20000; i++) {
        const int low = i % 2 ? -30 : -1074, high = i % 2 ? 60 : 1023;
        double x = any(low, high), y = any(low, high), q = x / y;
        // A quotient below 2^31 is truncated and multiplied back; beyond, the exact remainder.
        double want = std::fabs(q) < 0x1p31 ? x - static_cast<double>(static_cast<int32_t>(q)) * y : std::fmod(x, y);
        EXPECT_TRUE(same(fmod(x, y), want)) << x << ", " << y;
        // Integral exponents by squaring, the others through exp(y log x).
        double n = static_cast<double>(rng() % 601) - 300, b = std::fabs(any(-20, 20)), e = any(-5, 4);
        x = any(-2, 1);
        EXPECT_NEAR(pow(x, n) / std::pow(x, n), 1.0, 1e-13) << x << ", " << n;
        if (std::pow(b, e) > 1e-300 && std::pow(b, e) < 1e300)
            EXPECT_NEAR(pow(b, e) / std::pow(b, e), 1.0, 1e-12) << b << ", " << e;
    }
    EXPECT_NEAR(pow(2, -1030.5) / std::pow(2, -1030.5), 1.0, 1e-9) << "a subnormal result";
    for (double y : {0x1p31, 0x1p53 - 1, 0x1p53, 1e300, -1e300, kInf, -kInf})
        for (double x : {-2.0, -1.0, -0.5, 0.5, 1.0, 2.0})
            EXPECT_TRUE(same(pow(x, y), std::pow(x, y))) << x << ", " << y;
    // Square and multiply on the whole count: x^(2^40 + 3) = x * x^2 * x^(2^40).
    double x = 1.0 + 0x1p-45, b = x;
    for (int i = 0; i < 40; i++)
        b = b * b;
    EXPECT_EQ(bits(pow(x, 0x1p40 + 3)), bits(1.0 * x * (x * x) * b));
    EXPECT_EQ(bits(pow(x, -(0x1p40 + 3))), bits(1.0 / (1.0 * x * (x * x) * b)));
}

TEST_F(MathTest, LdexpAndFrexp) {
    auto ldexp = fn<double(double, int)>("ldexp");
    auto frexp = fn<double(double, int *)>("frexp");
    for (int i = 0; i < 20000; i++) {
        double x = any(-1074, 1023);
        int n = static_cast<int>(rng() % 4401) - 2200, e = 99, want_e = 0;
        if (double want = std::ldexp(x, n); std::fabs(want) >= DBL_MIN) // subnormals round at every halving
            EXPECT_TRUE(same(ldexp(x, n), want)) << x << ", " << n;
        EXPECT_TRUE(same(frexp(x, &e), std::frexp(x, &want_e))) << x;
        EXPECT_EQ(e, want_e) << x;
    }
    for (auto [x, n, expected] : {std::tuple{1.5, INT_MAX, kInf}, {-1.5, INT_MIN, -0.0}, {-0.0, INT_MAX, -0.0},
                                  {kNaN, INT_MIN, kNaN}, {11 * DBL_TRUE_MIN, -3, 2 * DBL_TRUE_MIN}}) // 5.5 → 6, 3, 1.5 → 2
        EXPECT_TRUE(same(ldexp(x, n), expected)) << x << ", " << n;
    for (double x : {-0.0, kNaN, kInf, -kInf}) {
        int e = 99;
        EXPECT_TRUE(same(frexp(x, &e), x == 0 ? 0.0 : x)) << x;
        EXPECT_EQ(e, 0) << x;
    }
    EXPECT_EQ(frexp(5, nullptr), 0.625);
}

// sqrt keeps stepping where 24 steps leave it above the root; huge angles are reduced by
// the exact remainder rather than step by step.
TEST_F(MathTest, SqrtLogSineAndCosine) {
    for (int i = 0; i < 20000; i++) {
        double x = std::fabs(any(-1074, 1023)), angle = i % 4 ? any(-1, 5) : any(-1074, 20);
        EXPECT_LE(ulps(one("sqrt")(x), std::sqrt(x)), 1) << x;
        EXPECT_LE(ulps(one("log")(x), std::log(x)), 4) << x;
        EXPECT_EQ(bits(one("sin")(angle)), bits(taylor(angle, true))) << angle;
        EXPECT_EQ(bits(one("cos")(angle)), bits(taylor(angle, false))) << angle;
    }
    for (double x : {std::nextafter(1048576.0 * kTwoPi, kInf), 1e7, -1e10, 0x1p57, -1e300, DBL_MAX}) {
        EXPECT_EQ(bits(one("sin")(x)), bits(taylor(std::fmod(x, kTwoPi), true))) << x;
        EXPECT_EQ(bits(one("cos")(x)), bits(taylor(std::fmod(x, kTwoPi), false))) << x;
    }
}

TEST_F(MathTest, SinglePrecisionNarrowsTheDoubleResult) {
    const float specials[] = {0.0f, -0.0f, INFINITY, -INFINITY, NAN, 3e9f, -2147483648.5f, 0x1p60f, FLT_MAX};
    for (std::string name : {"ceil", "trunc", "floor", "sqrt", "log", "sin", "cos", "fabs"}) {
        auto single = fn<float(float)>((name + "f").c_str());
        for (int i = 0; i < 3000; i++) {
            float x = i < 9 ? specials[i] : static_cast<float>(any(-149, i % 2 ? 30 : 127));
            EXPECT_TRUE(same(single(x), static_cast<float>(one(name)(x)))) << name << "f(" << x << ")";
        }
    }
    auto powf = fn<float(float, float)>("powf"), fmodf = fn<float(float, float)>("fmodf");
    auto ldexpf = fn<float(float, int)>("ldexpf");
    auto frexpf = fn<float(float, int *)>("frexpf");
    for (int i = 0; i < 5000; i++) {
        float x = static_cast<float>(any(-10, 10)), y = static_cast<float>(any(-10, 10)), f = i < 9 ? specials[i] : x;
        float n = static_cast<float>(rng() % 81) - 40;
        int e = static_cast<int>(rng() % 601) - 300, got_e = 0, want_e = 0;
        EXPECT_TRUE(same(powf(x, n), static_cast<float>(two("pow")(x, n)))) << x << ", " << n;
        EXPECT_TRUE(same(fmodf(x, y), static_cast<float>(two("fmod")(x, y)))) << x << ", " << y;
        EXPECT_TRUE(same(ldexpf(f, e), static_cast<float>(fn<double(double, int)>("ldexp")(f, e)))) << f << ", " << e;
        EXPECT_TRUE(same(frexpf(f, &got_e), static_cast<float>(fn<double(double, int *)>("frexp")(f, &want_e)))) << f;
        EXPECT_EQ(got_e, want_e);
        EXPECT_EQ(fn<int(float)>("lm_math_isfinitef")(f), std::isfinite(f) ? 1 : 0) << f;
    }
}

TEST_F(MathTest, FiniteTests) {
    for (double x : {0.0, -DBL_MAX, -DBL_TRUE_MIN, kInf, -kInf, kNaN, __builtin_bit_cast(double, 0x7FF0000000000001)}) {
        EXPECT_EQ(fn<int(double)>("isfinite")(x), std::isfinite(x) ? 1 : 0) << x;
        EXPECT_EQ(fn<int(double)>("lm_math_isfinite")(x), std::isfinite(x) ? 1 : 0) << x;
    }
    // The 80-bit format read raw: finite and well formed needs the integer bit (bit 63)
    // unless the exponent is 0.
    auto isfinitel = fn<int(long double)>("lm_math_isfinitel");
    const uint64_t one_bit = uint64_t{1} << 63;
    for (auto [significand, exponent, expected] :
         {std::tuple{uint64_t{0}, 0, 1}, {123, 0, 1}, {one_bit | 5, 0, 1}, {one_bit, 1, 1}, {one_bit, 0x7FFE, 1},
          {0x123, 0x3FFF, 0}, {0, 0x7FFE, 0}, {one_bit, 0x7FFF, 0}, {0, 0x7FFF, 0}, {one_bit | 1, 0x7FFF, 0}})
        for (int sign : {0, 0x8000}) {
            unsigned char raw[sizeof(long double)] = {};
            const uint16_t top = static_cast<uint16_t>(exponent | sign);
            std::memcpy(raw, &significand, 8);
            std::memcpy(raw + 8, &top, 2);
            EXPECT_EQ(isfinitel(__builtin_bit_cast(long double, raw)), expected) << std::hex << significand << " " << top;
        }
}

} // namespace
} // namespace lbw::test
