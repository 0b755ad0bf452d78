// Double-precision math: the listed results, the documented algorithms (math_reference.h)
// compared bit for bit over many arguments, and the regimes where the plain algorithms
// break down and the library does the sound thing instead.
#include "tests/numerics/math_reference.h"
#include "tests/support/library_test.h"

#include <span>

namespace lbw::test {
namespace {

namespace ref = reference;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTwo31 = 2147483648.0;
constexpr double kTwo52 = 4503599627370496.0;
const double kNegativeNaN = from_bits(0xFFF8000000000123);

class MathTest : public LibraryTest {
protected:
    double call(const char *name, double x, double y = 0) {
        if (std::strcmp(name, "pow") == 0 || std::strcmp(name, "fmod") == 0)
            return fn<double(double, double)>(name)(x, y);
        return fn<double(double)>(name)(x);
    }
    Arguments args{20261206};
};

int64_t ulps(double a, double b) {
    int64_t d = static_cast<int64_t>(bits(a)) - static_cast<int64_t>(bits(b));
    return d < 0 ? -d : d;
}

// One-argument functions ignore y.
struct Result {
    const char *name;
    double x, y, expected;
};

const Result kListed[] = {
    {"fmod", 7.5, 2, 1.5}, {"fmod", -7.5, 2, -1.5}, {"fmod", 7.5, 0, 0.0}, {"fmod", -7.5, -0.0, 0.0},
    {"fmod", kNaN, 0, 0.0},
    {"pow", 2, 10, 1024}, {"pow", 2, -2, 0.25}, {"pow", kNaN, 0, 1}, {"pow", kNaN, -0.0, 1}, {"pow", 0, -1, kInf},
    {"pow", -2, 3, -8},
    {"floor", -0.5, 0, -1}, {"floor", 2, 0, 2}, {"floor", -0.0, 0, 0.0}, {"ceil", -0.5, 0, 0.0}, {"trunc", -1.5, 0, -1},
    {"round", 2.5, 0, 3}, {"round", -2.5, 0, -3}, {"round", -0.5, 0, -1}, {"round", -0.4, 0, 0.0},
    {"round", 1.49999, 0, 1},
    {"sqrt", 4, 0, 2}, {"sqrt", 0.25, 0, 0.5}, {"sqrt", -1, 0, 0.0}, {"sqrt", -0.0, 0, 0.0}, {"sqrt", -kInf, 0, 0.0},
    {"sqrt", 2, 0, 1.414213562373095}, {"sqrt", 1e10, 0, 100000}, {"sqrt", kNaN, 0, kNaN},
    {"log", 1, 0, 0.0}, {"log", 0, 0, -kInf}, {"log", -0.0, 0, -kInf}, {"log", -1, 0, -kInf},
    {"log", 2, 0, 0.6931471805599453}, {"log", 10, 0, 2.3025850929940455}, {"log", 1e-10, 0, -23.025850929940454},
    {"log", kNaN, 0, kNaN},
    {"sin", ref::kPi / 2, 0, 0.9998431013994987}, {"sin", ref::kPi, 0, -0.07522061590362336},
    {"cos", ref::kPi / 2, 0, -0.0008945229984747317}, {"cos", ref::kPi, 0, -1.2113528429825007},
    {"sin", 1, 0, 0.841468253968254}, {"sin", 10, 0, -0.5314773592715458}, {"sin", -0.0, 0, -0.0},
    {"fabs", -0.0, 0, -0.0}, {"fabs", -3, 0, 3}, {"fabs", -kInf, 0, kInf},
};

// Where the literal algorithms fail (loop for ever, saturate at 2^31, give 0 or NaN),
// the library gives the sound result.
const Result kSound[] = {
    {"fmod", 1e10, 3, 1}, {"fmod", -1e10, 3, -1}, {"fmod", kMax, 5e-324, 0.0}, {"fmod", 5.5, kInf, 5.5},
    {"fmod", -5.5, -kInf, -5.5}, {"fmod", kInf, 2, kNaN}, {"fmod", -kInf, kInf, kNaN}, {"fmod", kNaN, 2, kNaN},
    {"fmod", 2, kNaN, kNaN}, {"fmod", 1e300, 1e-300, std::fmod(1e300, 1e-300)},
    // Integral exponents of any magnitude.
    {"pow", 3, 2147483648.0, kInf}, {"pow", -1, 9007199254740991.0, -1}, {"pow", -1, 9007199254740992.0, 1},
    {"pow", -1, 1e300, 1}, {"pow", 2, 1e300, kInf}, {"pow", -2, 1e300, kInf}, {"pow", 0.5, 1e300, 0.0},
    {"pow", 2, -1e300, 0.0}, {"pow", 1, -1e300, 1},
    // NaN and non-integral exponents.
    {"pow", 2, kNaN, kNaN}, {"pow", 1, kNaN, kNaN}, {"pow", -8, 1.0 / 3, kNaN}, {"pow", -0.5, 2.5, kNaN},
    {"pow", kNaN, 0.5, kNaN}, {"pow", 0, 0.5, 0.0}, {"pow", 0, -0.5, kInf}, {"pow", kInf, 0.5, kInf},
    {"pow", kInf, -0.5, 0.0}, {"pow", 1e300, 1.5, kInf}, {"pow", 1e-300, 1.5, 0.0},
    // Infinite exponents, as the limit of ever larger even integers.
    {"pow", 2, kInf, kInf}, {"pow", -2, kInf, kInf}, {"pow", 0.5, kInf, 0.0}, {"pow", 2, -kInf, 0.0},
    {"pow", 0.5, -kInf, kInf}, {"pow", 1, kInf, 1}, {"pow", -1, -kInf, 1}, {"pow", kNaN, kInf, kNaN},
    // Rounding beyond 2^31 through the 64-bit conversion.
    {"floor", 3e9, 0, 3e9}, {"floor", -3e9 - 0.5, 0, -3000000001.0}, {"ceil", -2147483648.5, 0, -2147483648.0},
    {"floor", -2147483648.5, 0, -2147483649.0},
    {"sqrt", 1e20, 0, 1e10}, {"sqrt", kInf, 0, kInf}, {"log", kInf, 0, kInf},
    {"sin", kInf, 0, kNaN}, {"sin", -kInf, 0, kNaN}, {"sin", kNaN, 0, kNaN},
    {"cos", kInf, 0, kNaN}, {"cos", -kInf, 0, kNaN}, {"cos", kNaN, 0, kNaN},
};

TEST_F(MathTest, ListedAndSoundResults) {
    for (std::span<const Result> table : {std::span<const Result>(kListed), std::span<const Result>(kSound)})
        for (const Result &r : table)
            EXPECT_TRUE(same(call(r.name, r.x, r.y), r.expected)) << r.name << "(" << r.x << ", " << r.y << ")";
    // 2^52 and above is integral already; NaN (its sign and payload too) and the
    // infinities come back unchanged.
    for (const char *name : {"floor", "ceil", "trunc", "round"})
        for (double x : {kTwo52, -kTwo52, 1e300, -kMax, kInf, -kInf, kTwo52 + 1, -(kTwo52 + 3), kNegativeNaN})
            EXPECT_EQ(bits(call(name, x)), bits(x)) << name << "(" << x << ")";
    EXPECT_EQ(bits(call("fabs", kNegativeNaN)), bits(kNegativeNaN));
}

TEST_F(MathTest, LdexpAndFrexp) {
    auto ldexp = fn<double(double, int)>("ldexp");
    auto frexp = fn<double(double, int *)>("frexp");
    // Listed, then the ends of the int range: the full loop's results without 2^31 steps.
    const struct { double x; int n; double expected; } scaled[] = {
        {1, 10, 1024}, {1, -1, 0.5}, {3, 0, 3}, {1.5, INT32_MAX, kInf}, {-1.5, INT32_MAX, -kInf},
        {1.5, INT32_MIN, 0.0}, {-1.5, INT32_MIN, -0.0}, {-0.0, INT32_MAX, -0.0}, {kNaN, INT32_MIN, kNaN}};
    for (auto c : scaled)
        EXPECT_TRUE(same(ldexp(c.x, c.n), c.expected)) << c.x << ", " << c.n;
    // An infinity comes back with exponent 0, as NaN does.
    const struct { double x, mantissa; int e; } split[] = {
        {8, 0.5, 4}, {0.1, 0.8, -3}, {-3, -0.75, 2}, {-0.0, 0.0, 0}, {kNaN, kNaN, 0}, {kInf, kInf, 0}, {-kInf, -kInf, 0}};
    for (auto c : split) {
        int e = 99;
        EXPECT_TRUE(same(frexp(c.x, &e), c.mantissa)) << c.x;
        EXPECT_EQ(e, c.e) << c.x;
    }
    EXPECT_EQ(frexp(5, nullptr), 0.625);

    for (int i = 0; i < 5000; i++) {
        double x = args.any(-1074, 1023);
        int n = args.integer(-2200, 2200);
        EXPECT_EQ(bits(ldexp(x, n)), bits(ref::ldexp(x, n))) << x << ", " << n;
        int e = 0, expected_e = 0;
        EXPECT_EQ(bits(frexp(x, &e)), bits(ref::frexp(x, &expected_e))) << x;
        EXPECT_EQ(e, expected_e) << x;
    }
    for (double x : {0.0, -0.0, kInf, -kInf, 5e-324, -kMax})
        for (int n : {-3000, -1, 0, 1, 3000})
            EXPECT_EQ(bits(ldexp(x, n)), bits(ref::ldexp(x, n))) << x << ", " << n;
}

TEST_F(MathTest, OneArgumentFunctionsMatchTheReferenceBitForBit) {
    enum Kind { kNearInteger, kAngle, kPositive, kAny };
    const struct {
        const char *name;
        double (*reference)(double);
        Kind kind;
    } cases[] = {{"floor", ref::floor, kNearInteger}, {"ceil", ref::ceil, kNearInteger},
                 {"trunc", ref::trunc, kNearInteger}, {"round", ref::round, kNearInteger},
                 {"log", ref::log, kPositive},        {"sin", ref::sin, kAngle},
                 {"cos", ref::cos, kAngle},           {"fabs", ref::fabs, kAny}};
    for (const auto &c : cases) {
        auto lib = fn<double(double)>(c.name);
        for (int i = 0; i < 20000; i++) {
            double x = c.kind == kPositive ? args.positive(-1074, 1023)
                       : c.kind == kAny    ? args.any(-1074, 1023)
                       : c.kind == kAngle  ? (i % 4 ? args.uniform(-50, 50) : args.any(-1074, 13))
                                           : (i % 2 ? args.near_integer(30) : args.any(-1074, 30));
            EXPECT_EQ(bits(lib(x)), bits(c.reference(x))) << c.name << "(" << x << ")";
        }
    }
    // 10 is reduced to 10 - 2 (two pi); step by step up to 2^20 two pi.
    EXPECT_EQ(bits(call("sin", 10)), bits(ref::sin(10 - 2 * ref::kTwoPi)));
    EXPECT_EQ(bits(call("cos", 10)), bits(ref::cos(10 - 2 * ref::kTwoPi)));
    for (double x : {1e6, -6e6, 1048576.0 * ref::kTwoPi, -1048576.0 * ref::kTwoPi}) {
        EXPECT_EQ(bits(call("sin", x)), bits(ref::sin(x))) << x;
        EXPECT_EQ(bits(call("cos", x)), bits(ref::cos(x))) << x;
    }
    for (double x : {kMax, 5e-324}) // the ends of log's range
        EXPECT_EQ(bits(call("log", x)), bits(ref::log(x))) << x;
}

TEST_F(MathTest, FmodAndPowMatchTheReferenceBitForBit) {
    auto fmod = fn<double(double, double)>("fmod");
    auto pow = fn<double(double, double)>("pow");
    int compared = 0;
    for (int i = 0; i < 20000; i++) {
        double x = args.any(-30, 60), y = args.any(-30, 60);
        if (std::fabs(x / y) < kTwo31 && ++compared)
            EXPECT_EQ(bits(fmod(x, y)), bits(ref::fmod(x, y))) << x << ", " << y;
    }
    EXPECT_GT(compared, 5000);
    for (int i = 0; i < 20000; i++) {
        double x = args.any(-12, 12), y = args.integer(-300, 300);
        EXPECT_EQ(bits(pow(x, y)), bits(ref::pow(x, y))) << x << ", " << y;
    }
    // Close to 1, so that the whole 32-bit exponent range stays finite.
    for (int i = 0; i < 3000; i++) {
        double x = 1.0 + args.any(-40, -10), y = args.integer(INT32_MIN, INT32_MAX);
        EXPECT_EQ(bits(pow(x, y)), bits(ref::pow(x, y))) << x << ", " << y;
    }
    EXPECT_EQ(bits(pow(1.0 - 0x1p-40, INT32_MIN)), bits(ref::pow(1.0 - 0x1p-40, INT32_MIN)));
}

TEST_F(MathTest, FmodIsExactForLargeQuotients) {
    auto fmod = fn<double(double, double)>("fmod");
    int compared = 0;
    for (int i = 0; i < 20000; i++) {
        double x = args.any(-1074, 1023), y = args.any(-1074, 1023);
        if (std::fabs(x / y) >= kTwo31 && ++compared)
            EXPECT_EQ(bits(fmod(x, y)), bits(std::fmod(x, y))) << x << ", " << y;
    }
    EXPECT_GT(compared, 5000);
}

TEST_F(MathTest, PowBeyondThe32BitExponents) {
    auto pow = fn<double(double, double)>("pow");
    // Square-and-multiply on the full count: x^(2^40 + 3) = x * x^2 * x^(2^40).
    double x = 1.0 + 0x1p-45, b = x;
    for (int i = 0; i < 40; i++)
        b = b * b;
    double expected = 1.0 * x * (x * x) * b;
    EXPECT_EQ(bits(pow(x, 0x1p40 + 3)), bits(expected));
    EXPECT_EQ(bits(pow(x, -(0x1p40 + 3))), bits(1.0 / expected));
    // Non-integral exponents through exp(y log x).
    EXPECT_LE(ulps(pow(2, 0.5), 1.4142135623730951), 4);
    for (int i = 0; i < 5000; i++) {
        double x = args.positive(-20, 20), y = args.uniform(-30, 30);
        double expected = std::pow(x, y);
        if (y != std::trunc(y) && expected > 1e-300 && expected < 1e300)
            EXPECT_NEAR(pow(x, y) / expected, 1.0, 1e-12) << x << ", " << y;
    }
}

TEST_F(MathTest, RoundingBeyondTwoToThe31IsExact) {
    const struct {
        const char *name;
        double (*exact)(double);
    } cases[] = {{"floor", std::floor}, {"ceil", std::ceil}, {"trunc", std::trunc}, {"round", std::round}};
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? args.near_integer(51) : args.any(31, 51);
        if (std::fabs(x) >= kTwo31)
            for (const auto &c : cases)
                EXPECT_EQ(bits(call(c.name, x)), bits(c.exact(x))) << c.name << "(" << x << ")";
    }
}

TEST_F(MathTest, LroundAndLlround) {
    auto lround = fn<long(double)>("lround");
    auto llround = fn<long long(double)>("llround");
    const struct { double x; int64_t expected; } listed[] = {
        {2.5, 3}, {-2.5, -3}, {1e19, INT64_MIN}, {0.49999999999999994, 1}, {kNaN, INT64_MIN}, {-kInf, INT64_MIN}};
    for (auto c : listed) {
        EXPECT_EQ(lround(c.x), c.expected) << c.x;
        EXPECT_EQ(llround(c.x), c.expected) << c.x;
    }
    for (int i = 0; i < 20000; i++) {
        double x = i % 2 ? args.near_integer(64) : args.any(-1074, 66);
        EXPECT_EQ(lround(x), ref::lround(x)) << x;
        EXPECT_EQ(llround(x), ref::lround(x)) << x;
    }
}

TEST_F(MathTest, SqrtTakesTheListedStepsThenConverges) {
    auto sqrt = fn<double(double)>("sqrt");
    // Wherever 24 steps have converged (a 25th would not lower the estimate), the result
    // is exactly theirs.
    int compared = 0;
    for (int i = 0; i < 20000; i++) {
        double x = args.positive(-40, 40), g24 = ref::sqrt_steps(x, 24);
        if (ref::sqrt_steps(x, 25) >= g24 && ++compared)
            EXPECT_EQ(bits(sqrt(x)), bits(g24)) << x;
    }
    EXPECT_GT(compared, 10000);
    // Elsewhere it keeps stepping to the root.
    EXPECT_LE(ulps(sqrt(1e15), 31622776.601683792), 1);
    EXPECT_LE(ulps(sqrt(1e-300), 1e-150), 1);
    for (int i = 0; i < 5000; i++) {
        double x = args.positive(-1074, 1023);
        EXPECT_LE(ulps(sqrt(x), std::sqrt(x)), 1) << x;
    }
}

TEST_F(MathTest, SinCosOfHugeAnglesReduceExactly) {
    for (double x : {std::nextafter(1048576.0 * ref::kTwoPi, kInf), 1e7, -1e10, 1e17, 0x1p57, -1e300, kMax}) {
        double r = ref::wrap_angle(std::fmod(x, ref::kTwoPi));
        EXPECT_EQ(bits(call("sin", x)), bits(ref::sin(r))) << x;
        EXPECT_EQ(bits(call("cos", x)), bits(ref::cos(r))) << x;
    }
}

TEST_F(MathTest, FiniteTests) {
    auto isfinite = fn<int(double)>("isfinite");
    auto lm_isfinite = fn<int(double)>("lm_math_isfinite");
    for (double x : {0.0, -0.0, 1.0, kMax, -kMax, 5e-324, -2.2250738585072014e-308, kInf, -kInf, kNaN, -kNaN,
                     from_bits(0x7FF0000000000001), from_bits(0xFFFFFFFFFFFFFFFF)}) {
        EXPECT_EQ(isfinite(x), std::isfinite(x) ? 1 : 0) << x;
        EXPECT_EQ(lm_isfinite(x), std::isfinite(x) ? 1 : 0) << x;
    }
}

long double extended(uint64_t significand, uint16_t sign_exponent) {
    unsigned char raw[sizeof(long double)] = {};
    std::memcpy(raw, &significand, 8);
    std::memcpy(raw + 8, &sign_exponent, 2);
    return __builtin_bit_cast(long double, raw);
}

TEST_F(MathTest, ExtendedFiniteTestReadsTheRawFormat) {
    auto isfinitel = fn<int(long double)>("lm_math_isfinitel");
    using L = std::numeric_limits<long double>;
    for (long double x : {1.0L, -2.5e4000L, L::max()})
        EXPECT_EQ(isfinitel(x), 1) << x;
    for (long double x : {L::infinity(), -L::infinity(), L::quiet_NaN()})
        EXPECT_EQ(isfinitel(x), 0) << x;
    const uint64_t integer_bit = uint64_t{1} << 63;
    const struct { uint64_t significand; uint16_t exponent; int expected; } raw[] = {
        {0, 0, 1},                    // zero
        {123, 0, 1},                  // denormal
        {integer_bit | 5, 0, 1},      // pseudo-denormal
        {integer_bit, 1, 1},          // smallest normal
        {integer_bit, 0x7FFE, 1},     // largest exponent
        {0x123, 0x3FFF, 0},           // unnormal
        {0, 0x7FFE, 0},               // unnormal
        {integer_bit, 0x7FFF, 0},     // infinity
        {0, 0x7FFF, 0},               // pseudo-infinity
        {integer_bit | 1, 0x7FFF, 0}, // NaN
    };
    for (auto c : raw)
        for (uint16_t sign : {0, 0x8000})
            EXPECT_EQ(isfinitel(extended(c.significand, c.exponent | sign)), c.expected)
                << std::hex << c.significand << " " << c.exponent << " " << sign;
}

} // namespace
} // namespace lbw::test
