// Single-precision math: the double algorithms on the widened argument, narrowed once.
#include "tests/numerics/math_reference.h"
#include "tests/numerics/math_test_support.h"
#include "tests/support/library_test.h"

#include <cmath>
#include <limits>

namespace lbw::test {
namespace {

namespace ref = reference;

using UnaryF = float(float);
using BinaryF = float(float, float);

constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();
constexpr float kMaxF = std::numeric_limits<float>::max();

class MathSingleTest : public LibraryTest {
protected:
    UnaryF *unary(const char *name) { return fn<UnaryF>(name); }
    BinaryF *binary(const char *name) { return fn<BinaryF>(name); }
    Arguments args{777};

    float any(int min_exp, int max_exp) { return static_cast<float>(args.any(min_exp, max_exp)); }
};

float narrow(double v) { return static_cast<float>(v); }

TEST_F(MathSingleTest, Listed) {
    EXPECT_SAME_BITS(unary("sqrtf")(2), narrow(1.414213562373095));
    EXPECT_SAME_BITS(unary("sqrtf")(2), 1.4142135f);
    EXPECT_SAME_BITS(unary("sqrtf")(-1), 0.0f);
    EXPECT_SAME_BITS(binary("powf")(2, 10), 1024.0f);
    EXPECT_SAME_BITS(unary("floorf")(-0.5f), -1.0f);
    EXPECT_SAME_BITS(unary("ceilf")(-0.5f), 0.0f);
    EXPECT_SAME_BITS(unary("fabsf")(-0.0f), -0.0f);
    EXPECT_SAME_BITS(unary("fabsf")(-2.5f), 2.5f);
    EXPECT_SAME_BITS(binary("fmodf")(7.5f, 2), 1.5f);
    EXPECT_SAME_BITS(binary("fmodf")(7.5f, 0), 0.0f);
    auto isfinitef = fn<int(float)>("lm_math_isfinitef");
    EXPECT_EQ(isfinitef(kMaxF), 1);
    EXPECT_EQ(isfinitef(-kMaxF), 1);
    EXPECT_EQ(isfinitef(1e-45f), 1);
    EXPECT_EQ(isfinitef(kInfF), 0);
    EXPECT_EQ(isfinitef(-kInfF), 0);
    EXPECT_EQ(isfinitef(kNaNF), 0);
    float pi = 3.14159265358979f;
    EXPECT_SAME_BITS(unary("sinf")(pi), narrow(ref::sin(static_cast<double>(pi))));
    EXPECT_NE(bits(unary("sinf")(pi)), bits(narrow(ref::sin(3.141592653589793))));
}

TEST_F(MathSingleTest, WrappersNarrowTheDoubleResult) {
    struct Case {
        const char *name;
        double (*reference)(double);
        int min_exp, max_exp;
    };
    const Case cases[] = {
        {"ceilf", ref::ceil, -149, 30},  {"truncf", ref::trunc, -149, 30}, {"floorf", ref::floor, -149, 30},
        {"sqrtf", ref::sqrt, -8, 8},     {"logf", ref::log, -149, 127},    {"sinf", ref::sin, -149, 6},
        {"cosf", ref::cos, -149, 6},     {"fabsf", ref::fabs, -149, 127},
    };
    for (const Case &c : cases) {
        UnaryF *f = unary(c.name);
        for (int i = 0; i < 5000; i++) {
            float x = any(c.min_exp, c.max_exp);
            if (c.reference == ref::sqrt && ref::sqrt_steps(x, 25) < ref::sqrt_steps(x, 24))
                continue;
            EXPECT_SAME_BITS(f(x), narrow(c.reference(x))) << c.name << "(" << x << ")";
        }
    }
}

TEST_F(MathSingleTest, TwoArgumentFormsNarrowTheDoubleResult) {
    auto powf = binary("powf");
    auto fmodf = binary("fmodf");
    auto ldexpf = fn<float(float, int)>("ldexpf");
    auto frexpf = fn<float(float, int *)>("frexpf");
    for (int i = 0; i < 5000; i++) {
        float x = any(-10, 10);
        float n = static_cast<float>(args.integer(-40, 40));
        EXPECT_SAME_BITS(powf(x, n), narrow(ref::pow(x, n))) << x << " " << n;
        float y = any(-10, 10);
        if (std::fabs(static_cast<double>(x) / y) < 2147483648.0)
            EXPECT_SAME_BITS(fmodf(x, y), narrow(ref::fmod(x, y))) << x << " " << y;
        int e = args.integer(-300, 300);
        EXPECT_SAME_BITS(ldexpf(x, e), narrow(ref::ldexp(x, e))) << x << " " << e;
        int got_e = 0, expected_e = 0;
        EXPECT_SAME_BITS(frexpf(x, &got_e), narrow(ref::frexp(x, &expected_e))) << x;
        EXPECT_EQ(got_e, expected_e);
    }
    // Rounded once, from the double result.
    EXPECT_SAME_BITS(ldexpf(kMaxF, 1), kInfF);
    EXPECT_SAME_BITS(ldexpf(1.5f, -150), narrow(std::ldexp(1.5, -150)));
    EXPECT_SAME_BITS(ldexpf(1.0f, INT32_MIN), 0.0f);
}

TEST_F(MathSingleTest, SoundHandlingCarriesOver) {
    EXPECT_SAME_BITS(unary("floorf")(3e9f), 3e9f);
    EXPECT_SAME_BITS(unary("ceilf")(-3e9f), -3e9f);
    EXPECT_SAME_BITS(unary("truncf")(kInfF), kInfF);
    EXPECT_TRUE(std::isnan(unary("floorf")(kNaNF)));
    EXPECT_SAME_BITS(unary("floorf")(-2147483648.5f), -2147483648.0f);
    EXPECT_SAME_BITS(binary("fmodf")(1e10f, 3), narrow(std::fmod(static_cast<double>(1e10f), 3.0)));
    EXPECT_SAME_BITS(binary("fmodf")(3e38f, 1e-38f), std::fmod(3e38f, 1e-38f));
    EXPECT_SAME_BITS(binary("fmodf")(5.5f, kInfF), 5.5f);
    EXPECT_TRUE(std::isnan(binary("fmodf")(kInfF, 2)));
    EXPECT_LE(std::fabs(binary("powf")(2, 0.5f) - 1.4142135f), 2e-7f);
    EXPECT_SAME_BITS(binary("powf")(3, 2147483648.0f), kInfF);
    EXPECT_SAME_BITS(unary("sqrtf")(1e30f), narrow(1e15));
    EXPECT_SAME_BITS(unary("sqrtf")(kInfF), kInfF);
    EXPECT_SAME_BITS(unary("logf")(kInfF), kInfF);
    EXPECT_TRUE(std::isnan(unary("sinf")(kInfF)));
    EXPECT_TRUE(std::isnan(unary("cosf")(-kInfF)));
    int e = 99;
    EXPECT_SAME_BITS(fn<float(float, int *)>("frexpf")(kInfF, &e), kInfF);
    EXPECT_EQ(e, 0);
    // Every float at or above 2^23 is integral; the floor of each is itself.
    auto floorf = unary("floorf");
    for (int i = 0; i < 2000; i++) {
        float x = any(23, 127);
        EXPECT_SAME_BITS(floorf(x), x);
    }
}

} // namespace
} // namespace lbw::test
