// Double- and single-precision math against a reference per function, over random
// arguments (uniform in the bit pattern, and dense around each function's delicate
// points) and at special values (zeros, subnormals, infinities, NaN), which must match
// exactly. The accurate functions (and atan2) stay within 1 ulp of the exact value (a long
// double reference) and are glibc's at the special values; the rounding functions are glibc's
// but for the sign of a zero result; sqrt and log come within 1 and 6 ulps of glibc,
// with their documented answers below zero; sin and cos are their short Taylor
// polynomials bit for bit; fmod truncates quotients below 2^31; the single-precision
// forms are the double function narrowed once.
#include "tests/numerics/same_bits.h"
#include "tests/support/library_test.h"

#include <cfloat>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#pragma clang fp contract(off)

namespace lbw::test {
namespace {

constexpr double kInf = INFINITY, kNaN = NAN, kPi = 3.141592653589793, kTwoPi = 6.283185307179586;
constexpr double kSpecials[] = {0.0, DBL_TRUE_MIN, DBL_MIN - DBL_TRUE_MIN, kInf, kNaN};
constexpr int kArguments = 100000; // random arguments per function
constexpr double kAtanBreaks[] = {0.4375, 0.6875, 1.1875, 2.4375}; // where atan changes its reduction

// sin (or cos) as its Taylor polynomial through the seventh (sixth) power, in the
// documented order of operations, on the angle moved into [-pi, pi] step by step (huge
// angles first by the exact remainder).
double taylor(double x, bool sine) {
    if (std::fabs(x) > 1048576 * kTwoPi)
        x = std::fmod(x, kTwoPi);
    while (x > kPi)
        x = x + (-kTwoPi);
    while (x < -kPi)
        x = x + kTwoPi;
    double r2 = x * x, r4 = r2 * r2, r6 = r2 * r4;
    return sine ? x * (r2 / -6.0 + 1.0 + r4 / 120.0 - r6 / 5040.0) : -0.5 * r2 + 1.0 + r4 / 24.0 - r6 / 720.0;
}

// Distance in representable doubles (+0.0 and -0.0 are neighbours); any NaN matches NaN.
bool within(double actual, double expected, uint64_t ulps) {
    auto ordered = [](double v) {
        uint64_t magnitude = bits(v) & ~(uint64_t{1} << 63);
        return std::signbit(v) ? (uint64_t{1} << 63) - 1 - magnitude : (uint64_t{1} << 63) + magnitude;
    };
    if (std::isnan(expected) || std::isnan(actual))
        return std::isnan(expected) && std::isnan(actual);
    uint64_t a = ordered(actual), b = ordered(expected);
    return (a > b ? a - b : b - a) <= ulps;
}

// Error of a double against an exact value, in ulps of the double at that value.
double ulp_error(double actual, long double exact) {
    if (std::isinf(actual) || std::isnan(actual))
        return actual == static_cast<double>(exact) || std::isnan(exact) ? 0 : kInf;
    int e = 0;
    std::frexp(static_cast<double>(std::fabs(exact)), &e);
    long double ulp = std::ldexp(1.0L, std::max(e - 53, -1074));
    return static_cast<double>(std::fabs(static_cast<long double>(actual) - exact) / ulp);
}


struct Sampler {
    std::mt19937_64 rng{20240611};
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng); }
    int integer(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    // Either sign, mantissa in [1, 2), binary exponent in [low, high].
    double any(int low, int high) {
        double v = std::ldexp(uniform(1, 2), integer(low, high));
        return rng() & 1 ? -v : v;
    }
    double positive(int low, int high) { return std::fabs(any(low, high)); }
    double pattern() { // uniform over the finite bit patterns
        for (;;)
            if (double v = from_bits(rng()); std::isfinite(v))
                return v;
    }
    double within(double bound) {
        for (;;)
            if (double v = pattern(); std::fabs(v) <= bound)
                return v;
    }
    double near(double point, int low, int high) { return point + any(low, high); }
    double around(double v) { // v or one of its neighbours
        int step = integer(-1, 1);
        return step ? std::nextafter(v, step * kInf) : v;
    }
    // Integers, halves and their neighbours, up to 2^most.
    double near_integer(int most) {
        return around(std::ldexp(static_cast<double>(rng() >> (63 - most)), -1) * (rng() & 1 ? -1 : 1));
    }
    // The doubles nearest to multiples of pi/2, small and huge: where tan is largest and
    // the reduction cancels most.
    double near_multiple_of_half_pi() {
        long double k = integer(0, 3) ? integer(-100000, 100000) : std::ldexp(uniform(-1, 1), 60);
        return around(static_cast<double>(k * 1.5707963267948966192313216916397514L));
    }
};

using Region = double (*)(Sampler &);

struct Function {
    const char *name;
    double (*reference)(double);
    uint64_t ulps;                     // allowed distance from the reference, without
    long double (*exact)(long double); // an exact value to be within 1 ulp of
    Region delicate;                   // where the function is hardest
    bool single = false;               // has a single-precision form
};

// Every function meets any bit pattern, moderate values and subnormals of either sign,
// values just off +-1, and then its own delicate region.
double argument(Sampler &s, int i, Region delicate) {
    switch (i % 5) {
    case 0: return s.pattern();
    case 1: return s.integer(0, 1) ? s.any(-60, 10) : s.uniform(-10, 10);
    case 2: return s.any(-1074, -1022);
    case 3: return s.near(s.integer(0, 1) ? 1 : -1, -60, -1);
    default: return delicate(s);
    }
}

double rounding_region(Sampler &s) { return s.near_integer(s.integer(0, 1) ? 60 : 30); }
double any_positive(Sampler &s) { return s.positive(-1074, 1023); }
double any_angle(Sampler &s) { return s.any(-1, 5); }
double sign(Sampler &s) { return s.integer(0, 1) ? 1 : -1; }
double near_half(Sampler &s) { return s.integer(0, 1) ? s.uniform(-1, 1) : s.near(sign(s) * 0.5, -60, -1); }
double exp_edges(Sampler &s) { return sign(s) > 0 ? s.uniform(700, 709.8) : s.uniform(-745.2, -700); }

const Function kFunctions[] = {
    {"floor", [](double x) { return 0.0 + std::floor(x); }, 0, nullptr, rounding_region, true},
    {"ceil", [](double x) { return 0.0 + std::ceil(x); }, 0, nullptr, rounding_region, true},
    {"trunc", [](double x) { return 0.0 + std::trunc(x); }, 0, nullptr, rounding_region, true},
    {"round", [](double x) { return 0.0 + std::round(x); }, 0, nullptr, rounding_region},
    {"fabs", [](double x) { return x == 0 ? x : std::fabs(x); }, 0, nullptr, any_positive, true}, // -0.0 stays
    {"sqrt", [](double x) { return x <= 0 ? 0.0 : std::sqrt(x); }, 1, nullptr, any_positive, true},
    {"log", [](double x) { return x <= 0 ? -kInf : std::log(x); }, 6, nullptr, any_positive, true},
    {"sin", [](double x) { return taylor(x, true); }, 0, nullptr, any_angle, true},
    {"cos", [](double x) { return taylor(x, false); }, 0, nullptr, any_angle, true},
    {"exp", ::exp, 0, ::expl, exp_edges},
    {"log2", ::log2, 0, ::log2l, [](Sampler &s) { return s.around(std::ldexp(1.0, s.integer(-1074, 1023))); }},
    {"log10", ::log10, 0, ::log10l, [](Sampler &s) { return s.around(std::pow(10.0, s.integer(-300, 300))); }},
    {"tan", ::tan, 0, ::tanl, [](Sampler &s) { return s.near_multiple_of_half_pi(); }},
    {"asin", ::asin, 0, ::asinl, near_half},
    {"acos", ::acos, 0, ::acosl, near_half},
    {"atan", ::atan, 0, ::atanl, [](Sampler &s) { return s.near(kAtanBreaks[s.integer(0, 3)], -50, -4); }},
    {"sinh", ::sinh, 0, ::sinhl, [](Sampler &s) { return sign(s) * s.uniform(700, 710.5); }},
    {"cosh", ::cosh, 0, ::coshl, [](Sampler &s) { return sign(s) * s.uniform(700, 710.5); }},
    {"tanh", ::tanh, 0, ::tanhl, [](Sampler &s) { return sign(s) * s.uniform(15, 23); }},
};

class MathTest : public LibraryTest {
protected:
    Sampler s;
    // The library's result within `ulps` of the reference, or below 1 ulp from the exact value
    // (NaN: none), and that value itself where a double holds it.
    template <class Result>
    ::testing::AssertionResult agrees(const char *name, Result result, double reference, uint64_t ulps,
                                      long double exact, double x, double y = 0) {
        const bool exactly = static_cast<long double>(static_cast<double>(exact)) == exact;
        if (within(result, reference, ulps) || (!std::isnan(exact) && ulp_error(result, exact) < 1 &&
                                                (!exactly || result == static_cast<double>(exact))))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << std::hexfloat << name << "(" << x << ", " << y << ") = " << result
                                             << ", expected " << reference << ", exact " << double(exact);
    }
};

void PrintTo(const Function &f, std::ostream *out) { *out << f.name; }

class FunctionTest : public MathTest, public ::testing::WithParamInterface<Function> {};

TEST_P(FunctionTest, AgreesWithItsReference) {
    const Function &f = GetParam();
    auto lib = fn<double(double)>(f.name);
    for (double x : kSpecials)
        for (double v : {x, -x})
            EXPECT_TRUE(same(lib(v), f.reference(v))) << f.name << "(" << v << ")";
    for (int i = 0; i < kArguments; i++) {
        const double x = argument(s, i, f.delicate);
        const double result = lib(x);
        ASSERT_TRUE(f.exact ? agrees(f.name, result, kNaN, 0, f.exact(x), x)
                            : agrees(f.name, result, f.reference(x), f.ulps, kNaN, x));
    }
    if (!f.single)
        return;
    auto single = fn<float(float)>((std::string(f.name) + "f").c_str());
    const float specials[] = {0.0f, -0.0f, INFINITY, -INFINITY, NAN, 3e9f, -2147483648.5f, 0x1p60f, FLT_MAX};
    for (int i = 0; i < 3000; i++) {
        float x = i < 9 ? specials[i] : static_cast<float>(s.any(-149, i % 2 ? 30 : 127));
        EXPECT_TRUE(same(single(x), static_cast<float>(lib(x)))) << f.name << "f(" << x << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Functions, FunctionTest, ::testing::ValuesIn(kFunctions),
                         [](const auto &info) { return std::string(info.param.name); });

// The rounding functions give NaN (its sign and payload too) and values of 2^52 and more
// back as they are; lround adds a half away from zero first, and that sum rounds. sin and
// cos reduce huge angles by the exact remainder.
TEST_F(MathTest, ExactResults) {
    const double negative_nan = from_bits(0xFFF8000000000123);
    for (const char *name : {"floor", "ceil", "trunc", "round"})
        for (double x : {negative_nan, 0x1p52 + 1, -0x1p52 - 3, -DBL_MAX, kInf})
            EXPECT_EQ(bits(fn<double(double)>(name)(x)), bits(x)) << name << "(" << x << ")";
    EXPECT_EQ(bits(fn<double(double)>("fabs")(negative_nan)), bits(negative_nan));
    auto lround = fn<long(double)>("lround");
    auto llround = fn<long long(double)>("llround");
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? s.near_integer(51) : s.any(-1074, 51);
        ASSERT_EQ(lround(x), std::lround(x)) << x;
        ASSERT_EQ(llround(x), std::llround(x)) << x;
    }
    for (auto [x, expected] : {std::pair{0.49999999999999994, 1LL}, {0x1p52 + 1, (1LL << 52) + 2},
                               {1e19, LLONG_MIN}, {kNaN, LLONG_MIN}, {-kInf, LLONG_MIN}}) {
        EXPECT_EQ(lround(x), expected) << x;
        EXPECT_EQ(llround(x), expected) << x;
    }
    auto lib = [&](const char *name, double x) { return fn<double(double)>(name)(x); };
    EXPECT_EQ(lib("asin", -1), -kPi / 2);
    EXPECT_EQ(lib("acos", -1), kPi);
    for (double x : {std::nextafter(1048576 * kTwoPi, kInf), 1048576 * kTwoPi, 1e7, -1e10, 0x1p57, -1e300}) {
        EXPECT_EQ(bits(lib("sin", x)), bits(taylor(x, true))) << x;
        EXPECT_EQ(bits(lib("cos", x)), bits(taylor(x, false))) << x;
    }
}

TEST_F(MathTest, FmodPowAndAtan2) {
    auto fmod = fn<double(double, double)>("fmod"), pow = fn<double(double, double)>("pow");
    auto atan2 = fn<double(double, double)>("atan2");
    auto fmodf = fn<float(float, float)>("fmodf"), powf = fn<float(float, float)>("powf");
    // A quotient below 2^31 is truncated and multiplied back; beyond, the exact remainder.
    auto fmod_model = [](double x, double y) {
        double q = x / y;
        if (y == 0)
            return 0.0;
        return std::fabs(q) < 0x1p31 && !std::isinf(y) ? x - double(int32_t(q)) * y : std::fmod(x, y);
    };
    const double values[] = {0.0, -0.0, DBL_TRUE_MIN, -DBL_TRUE_MIN, 0.5, -0.5, 1.0, -1.0, 2, -8, 1.0 / 3, DBL_MAX,
                             -DBL_MAX, kInf, -kInf, kNaN};
    for (double x : values)
        for (double y : values) {
            EXPECT_TRUE(same(fmod(x, y), fmod_model(x, y))) << "fmod(" << x << ", " << y << ")";
            // pow's special cases as glibc's, but 1^NaN is NaN.
            const double want = std::pow(x, y);
            if ((want == 0 || std::isinf(want) || std::isnan(want) || std::fabs(want) == 1) &&
                !(x == -kInf && y != std::trunc(y)))
                EXPECT_TRUE(same(pow(x, y), x == 1 && std::isnan(y) ? kNaN : want)) << "pow(" << x << ", " << y;
            EXPECT_TRUE(same(atan2(x, y), std::atan2(x, y))) << "atan2(" << x << ", " << y << ")";
        }
    for (int i = 0; i < kArguments; i++) {
        const int low = i % 2 ? -30 : -1074, high = i % 2 ? 60 : 1023;
        double x = s.any(low, high), y = s.any(low, high);
        ASSERT_TRUE(same(fmod(x, y), fmod_model(x, y))) << x << ", " << y;
        // Integral exponents by squaring, the others through exp(y log x).
        double n = static_cast<double>(s.integer(-300, 300)), b = s.positive(-20, 20), e = s.any(-5, 4);
        x = s.any(-2, 1);
        ASSERT_NEAR(pow(x, n) / std::pow(x, n), 1.0, 1e-13) << x << ", " << n;
        if (std::pow(b, e) > 1e-300 && std::pow(b, e) < 1e300)
            ASSERT_NEAR(pow(b, e) / std::pow(b, e), 1.0, 1e-12) << b << ", " << e;
        float fx = static_cast<float>(s.any(-10, 10)), fy = static_cast<float>(s.any(-10, 10));
        const float m = static_cast<float>(std::trunc(n / 8));
        ASSERT_TRUE(same(powf(fx, m), static_cast<float>(pow(fx, m)))) << fx << ", " << m;
        ASSERT_TRUE(same(fmodf(fx, fy), static_cast<float>(fmod(fx, fy)))) << fx << ", " << fy;
        // atan2: anywhere; quotients around 2^+-60, where the angle leaves pi/2 or 0;
        // around the diagonals and the axes.
        switch (i % 4) {
        case 0: y = s.pattern(), x = s.pattern(); break;
        case 1: y = s.uniform(-4, 4), x = s.uniform(-4, 4); break;
        case 2: x = s.within(1e300), y = std::ldexp(x, s.integer(-64, 64)) * s.uniform(-1.5, 1.5); break;
        default: x = s.any(-1000, 1000), y = x * (s.integer(0, 1) ? s.near(1, -60, -2) : s.any(-60, 0)); break;
        }
        ASSERT_TRUE(agrees("atan2", atan2(y, x), kNaN, 0, atan2l(y, x), y, x));
    }
    EXPECT_NEAR(pow(2, -1030.5) / std::pow(2, -1030.5), 1.0, 1e-9) << "a subnormal result";
    for (double y : {0x1p31, 0x1p53 - 1, 0x1p53, 1e300, -1e300})
        for (double x : {-2.0, -1.0, -0.5, 0.5, 2.0})
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
    auto ldexpf = fn<float(float, int)>("ldexpf");
    auto frexpf = fn<float(float, int *)>("frexpf");
    for (int i = 0; i < 20000; i++) {
        double x = s.any(-1074, 1023);
        int n = s.integer(-2200, 2200), e = 99, want_e = 0;
        if (double want = std::ldexp(x, n); std::fabs(want) >= DBL_MIN) // subnormals round at every halving
            ASSERT_TRUE(same(ldexp(x, n), want)) << x << ", " << n;
        ASSERT_TRUE(same(frexp(x, &e), std::frexp(x, &want_e))) << x;
        ASSERT_EQ(e, want_e) << x;
        float f = static_cast<float>(i % 2 ? x : s.any(-10, 10));
        ASSERT_TRUE(same(ldexpf(f, n / 8), static_cast<float>(ldexp(f, n / 8)))) << f << ", " << n / 8;
        ASSERT_TRUE(same(frexpf(f, &e), static_cast<float>(frexp(f, &want_e)))) << f;
        ASSERT_EQ(e, want_e);
    }
    // The last row rounds at every halving: 5.5 → 6, 3, 1.5 → 2.
    for (auto [x, n, expected] : {std::tuple{1.5, INT_MAX, kInf}, {-1.5, INT_MIN, -0.0}, {-0.0, INT_MAX, -0.0},
                                  {kNaN, INT_MIN, kNaN}, {11 * DBL_TRUE_MIN, -3, 2 * DBL_TRUE_MIN}})
        EXPECT_TRUE(same(ldexp(x, n), expected)) << x << ", " << n;
    for (double x : {-0.0, kNaN, kInf, -kInf}) {
        int e = 99;
        EXPECT_TRUE(same(frexp(x, &e), x == 0 ? 0.0 : x)) << x;
        EXPECT_EQ(e, 0) << x;
    }
    EXPECT_EQ(frexp(5, nullptr), 0.625);
}

TEST_F(MathTest, FiniteTests) {
    for (double x : {0.0, -DBL_MAX, -DBL_TRUE_MIN, kInf, -kInf, kNaN, from_bits(0x7FF0000000000001)}) {
        EXPECT_EQ(fn<int(double)>("isfinite")(x), std::isfinite(x) ? 1 : 0) << x;
        EXPECT_EQ(fn<int(double)>("lm_math_isfinite")(x), std::isfinite(x) ? 1 : 0) << x;
        EXPECT_EQ(fn<int(float)>("lm_math_isfinitef")(float(x)), std::isfinite(float(x)) ? 1 : 0) << x;
    }
    // The 80-bit format read raw: finite and well formed needs the integer bit (bit 63)
    // unless the exponent is 0.
    auto isfinitel = fn<int(long double)>("lm_math_isfinitel");
    const uint64_t one_bit = uint64_t{1} << 63;
    for (auto [significand, exponent, expected] :
         {std::tuple{uint64_t{0}, 0, 1}, {123, 0, 1}, {one_bit | 5, 0, 1}, {one_bit, 1, 1},
          {one_bit, 0x7FFE, 1}, {0x123, 0x3FFF, 0}, {0, 0x7FFE, 0}, {one_bit, 0x7FFF, 0}, {0, 0x7FFF, 0},
          {one_bit | 1, 0x7FFF, 0}})
        for (int sign : {0, 0x8000}) {
            unsigned char raw[sizeof(long double)] = {};
            const uint16_t top = static_cast<uint16_t>(exponent | sign);
            std::memcpy(raw, &significand, 8);
            std::memcpy(raw + 8, &top, 2);
            EXPECT_EQ(isfinitel(__builtin_bit_cast(long double, raw)), expected) << std::hex << significand << top;
        }
}

} // namespace
} // namespace lbw::test
