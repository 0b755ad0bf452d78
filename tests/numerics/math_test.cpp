// Double- and single-precision math: glibc wherever the library's result is the standard
// one (exactly, or within the accuracy its loops reach), the sine and cosine polynomials
// bit for bit, the single-precision forms against the library's own double functions,
// and a table of listed results and of the answers that deliberately differ from glibc.
#include "tests/numerics/math_reference.h"
#include "tests/support/library_test.h"

#include <cfloat>
#include <cstring>
#include <string>

namespace lbw::test {
namespace {

namespace ref = reference;

constexpr double kInf = INFINITY, kNaN = NAN;

int64_t ulps(double a, double b) {
    int64_t d = static_cast<int64_t>(bits(a)) - static_cast<int64_t>(bits(b));
    return d < 0 ? -d : d;
}

class MathTest : public LibraryTest {
protected:
    double call(const char *name, double x, double y = 0) {
        if (std::strcmp(name, "pow") == 0 || std::strcmp(name, "fmod") == 0)
            return fn<double(double, double)>(name)(x, y);
        return fn<double(double)>(name)(x);
    }
    Arguments args{20261206};
};

struct Row {
    const char *name;
    double x, y, expected; // y unused by one-argument functions
};

const Row kTable[] = {
    {"fmod", 7.5, 2, 1.5}, {"fmod", -7.5, 2, -1.5}, {"fmod", 7.5, 0, 0.0}, {"fmod", -7.5, -0.0, 0.0},
    {"fmod", kNaN, 0, 0.0}, {"fmod", 5.5, kInf, 5.5}, {"fmod", kInf, 2, kNaN}, {"fmod", 2, kNaN, kNaN},
    {"pow", kNaN, 0, 1}, {"pow", 1, kNaN, kNaN}, {"pow", 0, -1, kInf}, {"pow", 0, 0.5, 0.0}, {"pow", 0, -0.5, kInf},
    {"pow", -8, 1.0 / 3, kNaN}, {"pow", kNaN, kInf, kNaN}, {"pow", -1, -kInf, 1}, {"pow", 0.5, -kInf, kInf},
    {"floor", -0.0, 0, 0.0}, {"ceil", -0.5, 0, 0.0}, {"trunc", -0.5, 0, 0.0}, {"round", -0.4, 0, 0.0},
    {"round", -2.5, 0, -3}, {"sqrt", -1, 0, 0.0}, {"sqrt", -0.0, 0, 0.0}, {"sqrt", -kInf, 0, 0.0},
    {"sqrt", 2, 0, 1.414213562373095}, {"sqrt", 1e10, 0, 100000}, {"sqrt", kInf, 0, kInf}, {"sqrt", kNaN, 0, kNaN},
    {"log", 0, 0, -kInf}, {"log", -0.0, 0, -kInf}, {"log", -1, 0, -kInf}, {"log", 2, 0, 0.6931471805599453},
    {"log", 10, 0, 2.3025850929940455}, {"log", 1e-10, 0, -23.025850929940454}, {"log", kInf, 0, kInf},
    {"log", kNaN, 0, kNaN}, {"sin", ref::kPi / 2, 0, 0.9998431013994987}, {"sin", ref::kPi, 0, -0.07522061590362336},
    {"cos", ref::kPi / 2, 0, -0.0008945229984747317}, {"cos", ref::kPi, 0, -1.2113528429825007},
    {"sin", 10, 0, -0.5314773592715458}, {"sin", kInf, 0, kNaN}, {"cos", -kInf, 0, kNaN}, {"sin", kNaN, 0, kNaN},
    {"fabs", -0.0, 0, -0.0},
};

TEST_F(MathTest, ListedResultsAndDifferencesFromGlibc) {
    for (const Row &r : kTable)
        EXPECT_TRUE(same(call(r.name, r.x, r.y), r.expected)) << r.name << "(" << r.x << ", " << r.y << ")";
    // NaN (its sign and payload too) and values of 2^52 and more come back unchanged.
    const double negative_nan = __builtin_bit_cast(double, uint64_t{0xFFF8000000000123});
    for (const char *name : {"floor", "ceil", "trunc", "round", "fabs"})
        for (double x : {negative_nan, 0x1p52 + 1, -0x1p52 - 3, -DBL_MAX, kInf})
            EXPECT_EQ(bits(call(name, x)), bits(name[0] == 'f' && name[1] == 'a' && x < 0 ? -x : x)) << name << x;
}

// glibc's values, except that a zero result is never negative.
TEST_F(MathTest, RoundingAsGlibc) {
    const std::pair<const char *, double (*)(double)> functions[] = {
        {"floor", std::floor}, {"ceil", std::ceil}, {"trunc", std::trunc}, {"round", std::round}};
    for (auto [name, glibc] : functions) {
        auto library = fn<double(double)>(name);
        for (int i = 0; i < 20000; i++) {
            double x = i % 2 ? args.near_integer(i % 4 == 1 ? 30 : 60) : args.any(-1074, 60), want = glibc(x);
            EXPECT_TRUE(same(library(x), want == 0 ? 0.0 : want)) << name << "(" << x << ")";
        }
    }
    // lround adds a half away from zero first, and that sum rounds.
    auto lround = fn<long(double)>("lround");
    auto llround = fn<long long(double)>("llround");
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? args.near_integer(51) : args.any(-1074, 51);
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
    auto fmod = fn<double(double, double)>("fmod");
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? args.any(-30, 60) : args.any(-1074, 1023), y = i % 2 ? args.any(-30, 60) : args.any(-1074, 1023);
        // A quotient below 2^31 is truncated and multiplied back; beyond, the exact remainder.
        double q = x / y, want = std::fabs(q) < 0x1p31 ? x - static_cast<double>(static_cast<int32_t>(q)) * y : std::fmod(x, y);
        EXPECT_TRUE(same(fmod(x, y), want)) << x << ", " << y;
    }
    auto pow = fn<double(double, double)>("pow");
    for (int i = 0; i < 20000; i++) {
        double x = args.any(-2, 1), n = args.integer(-300, 300);
        EXPECT_NEAR(pow(x, n) / std::pow(x, n), 1.0, 1e-13) << x << ", " << n;
        x = std::fabs(args.any(-20, 20));
        double y = args.uniform(-30, 30), want = std::pow(x, y);
        if (want > 1e-300 && want < 1e300)
            EXPECT_NEAR(pow(x, y) / want, 1.0, 1e-12) << x << ", " << y;
    }
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
        double x = args.any(-1074, 1023);
        int n = args.integer(-2200, 2200), e = 99, want_e = 0;
        if (double want = std::ldexp(x, n); std::fabs(want) >= DBL_MIN) // subnormals round at every halving
            EXPECT_TRUE(same(ldexp(x, n), want)) << x << ", " << n;
        EXPECT_TRUE(same(frexp(x, &e), std::frexp(x, &want_e))) << x;
        EXPECT_EQ(e, want_e) << x;
    }
    const struct { double x; int n; double expected; } scaled[] = {
        {1.5, INT32_MAX, kInf}, {-1.5, INT32_MIN, -0.0}, {-0.0, INT32_MAX, -0.0}, {kNaN, INT32_MIN, kNaN},
        {11 * DBL_TRUE_MIN, -3, 2 * DBL_TRUE_MIN}}; // 5.5 rounds to 6, 3, then 1.5 to 2
    for (auto c : scaled)
        EXPECT_TRUE(same(ldexp(c.x, c.n), c.expected)) << c.x << ", " << c.n;
    for (double x : {-0.0, kNaN, kInf, -kInf}) {
        int e = 99;
        EXPECT_TRUE(same(frexp(x, &e), x == 0 ? 0.0 : x)) << x;
        EXPECT_EQ(e, 0) << x;
    }
    EXPECT_EQ(frexp(5, nullptr), 0.625);
}

// sqrt keeps stepping where 24 steps leave it above the root; log is within a few units
// of the last place.
TEST_F(MathTest, SqrtAndLogNearGlibc) {
    auto sqrt = fn<double(double)>("sqrt");
    auto log = fn<double(double)>("log");
    for (int i = 0; i < 20000; i++) {
        double x = std::fabs(args.any(-1074, 1023));
        EXPECT_LE(ulps(sqrt(x), std::sqrt(x)), 1) << x;
        EXPECT_LE(ulps(log(x), std::log(x)), 4) << x;
    }
}

TEST_F(MathTest, SineAndCosinePolynomials) {
    auto sin = fn<double(double)>("sin");
    auto cos = fn<double(double)>("cos");
    for (int i = 0; i < 20000; i++) {
        double x = i % 4 ? args.uniform(-50, 50) : args.any(-1074, 20);
        EXPECT_EQ(bits(sin(x)), bits(ref::sin(x))) << x;
        EXPECT_EQ(bits(cos(x)), bits(ref::cos(x))) << x;
    }
    // Huge angles are reduced by the exact remainder instead of step by step.
    for (double x : {std::nextafter(1048576.0 * ref::kTwoPi, kInf), 1e7, -1e10, 0x1p57, -1e300, DBL_MAX}) {
        EXPECT_EQ(bits(sin(x)), bits(ref::sin(std::fmod(x, ref::kTwoPi)))) << x;
        EXPECT_EQ(bits(cos(x)), bits(ref::cos(std::fmod(x, ref::kTwoPi)))) << x;
    }
}

TEST_F(MathTest, SinglePrecisionNarrowsTheDoubleResult) {
    const float specials[] = {0.0f, -0.0f, INFINITY, -INFINITY, NAN, 3e9f, -2147483648.5f, 0x1p60f, FLT_MAX};
    for (std::string name : {"ceil", "trunc", "floor", "sqrt", "log", "sin", "cos", "fabs"}) {
        auto single = fn<float(float)>((name + "f").c_str());
        auto widened = fn<double(double)>(name.c_str());
        for (int i = 0; i < 3000; i++) {
            float x = i < 9 ? specials[i] : static_cast<float>(args.any(-149, i % 2 ? 30 : 127));
            EXPECT_TRUE(same(single(x), static_cast<float>(widened(x)))) << name << "f(" << x << ")";
        }
    }
    auto powf = fn<float(float, float)>("powf"), fmodf = fn<float(float, float)>("fmodf");
    auto ldexpf = fn<float(float, int)>("ldexpf");
    auto frexpf = fn<float(float, int *)>("frexpf");
    auto isfinitef = fn<int(float)>("lm_math_isfinitef");
    for (int i = 0; i < 5000; i++) {
        float x = static_cast<float>(args.any(-10, 10)), y = static_cast<float>(args.any(-10, 10));
        float n = static_cast<float>(args.integer(-40, 40)), f = i < 9 ? specials[i] : x;
        EXPECT_TRUE(same(powf(x, n), static_cast<float>(call("pow", x, n)))) << x << ", " << n;
        EXPECT_TRUE(same(fmodf(x, y), static_cast<float>(call("fmod", x, y)))) << x << ", " << y;
        int e = args.integer(-300, 300), got_e = 0, want_e = 0;
        EXPECT_TRUE(same(ldexpf(f, e), static_cast<float>(fn<double(double, int)>("ldexp")(f, e)))) << f << ", " << e;
        EXPECT_TRUE(same(frexpf(f, &got_e), static_cast<float>(fn<double(double, int *)>("frexp")(f, &want_e)))) << f;
        EXPECT_EQ(got_e, want_e);
        EXPECT_EQ(isfinitef(f), std::isfinite(f) ? 1 : 0) << f;
    }
}

long double extended(uint64_t significand, uint16_t sign_exponent) {
    unsigned char raw[sizeof(long double)] = {};
    std::memcpy(raw, &significand, 8);
    std::memcpy(raw + 8, &sign_exponent, 2);
    return __builtin_bit_cast(long double, raw);
}

TEST_F(MathTest, FiniteTests) {
    auto isfinite = fn<int(double)>("isfinite"), lm_isfinite = fn<int(double)>("lm_math_isfinite");
    for (double x : {0.0, -0.0, DBL_MAX, -DBL_TRUE_MIN, kInf, -kInf, kNaN, -kNaN,
                     __builtin_bit_cast(double, uint64_t{0x7FF0000000000001})}) {
        EXPECT_EQ(isfinite(x), std::isfinite(x) ? 1 : 0) << x;
        EXPECT_EQ(lm_isfinite(x), std::isfinite(x) ? 1 : 0) << x;
    }
    // The 80-bit format read raw: unnormals (no integer bit) are not finite.
    auto isfinitel = fn<int(long double)>("lm_math_isfinitel");
    const uint64_t integer_bit = uint64_t{1} << 63;
    const struct { uint64_t significand; uint16_t exponent; int expected; } raw[] = {
        {0, 0, 1}, {123, 0, 1}, {integer_bit | 5, 0, 1}, {integer_bit, 1, 1}, {integer_bit, 0x7FFE, 1},
        {0x123, 0x3FFF, 0}, {0, 0x7FFE, 0}, {integer_bit, 0x7FFF, 0}, {0, 0x7FFF, 0}, {integer_bit | 1, 0x7FFF, 0}};
    for (auto c : raw)
        for (uint16_t sign : {0, 0x8000})
            EXPECT_EQ(isfinitel(extended(c.significand, c.exponent | sign)), c.expected)
                << std::hex << c.significand << " " << c.exponent << " " << sign;
}

} // namespace
} // namespace lbw::test
