// Single-precision math: the double algorithms on the widened argument, narrowed once.
#include "tests/numerics/math_reference.h"
#include "tests/support/library_test.h"

namespace lbw::test {
namespace {

namespace ref = reference;

constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();
constexpr float kMaxF = std::numeric_limits<float>::max();

float narrow(double v) { return static_cast<float>(v); }

class MathSingleTest : public LibraryTest {
protected:
    float call(const char *name, float x, float y = 0) {
        if (std::strcmp(name, "powf") == 0 || std::strcmp(name, "fmodf") == 0)
            return fn<float(float, float)>(name)(x, y);
        return fn<float(float)>(name)(x);
    }
    float any(int min_exp, int max_exp) { return static_cast<float>(args.any(min_exp, max_exp)); }
    Arguments args{777};
};

TEST_F(MathSingleTest, ListedAndSoundResults) {
    const float pi = 3.14159265358979f;
    const struct {
        const char *name;
        float x, y, expected;
    } cases[] = {
        {"sqrtf", 2, 0, narrow(1.414213562373095)}, {"sqrtf", 2, 0, 1.4142135f}, {"sqrtf", -1, 0, 0.0f},
        {"powf", 2, 10, 1024}, {"floorf", -0.5f, 0, -1}, {"ceilf", -0.5f, 0, 0.0f}, {"fabsf", -0.0f, 0, -0.0f},
        {"fabsf", -2.5f, 0, 2.5f}, {"fmodf", 7.5f, 2, 1.5f}, {"fmodf", 7.5f, 0, 0.0f},
        // sinf of the float nearest pi is sin of that value, not of the double pi.
        {"sinf", pi, 0, narrow(ref::sin(pi))},
        // The sound handling of the double functions carries over.
        {"floorf", 3e9f, 0, 3e9f}, {"ceilf", -3e9f, 0, -3e9f}, {"truncf", kInfF, 0, kInfF}, {"floorf", kNaNF, 0, kNaNF},
        {"floorf", -2147483648.5f, 0, -2147483648.0f}, {"fmodf", 1e10f, 3, narrow(std::fmod(double{1e10f}, 3.0))},
        {"fmodf", 3e38f, 1e-38f, std::fmod(3e38f, 1e-38f)}, {"fmodf", 5.5f, kInfF, 5.5f}, {"fmodf", kInfF, 2, kNaNF},
        {"powf", 3, 2147483648.0f, kInfF}, {"sqrtf", 1e30f, 0, narrow(1e15)}, {"sqrtf", kInfF, 0, kInfF},
        {"logf", kInfF, 0, kInfF}, {"sinf", kInfF, 0, kNaNF}, {"cosf", -kInfF, 0, kNaNF},
    };
    for (auto c : cases)
        EXPECT_TRUE(same(call(c.name, c.x, c.y), c.expected)) << c.name << "(" << c.x << ", " << c.y << ")";
    EXPECT_NE(bits(call("sinf", pi)), bits(narrow(ref::sin(ref::kPi))));
    EXPECT_LE(std::fabs(call("powf", 2, 0.5f) - 1.4142135f), 2e-7f);
    auto isfinitef = fn<int(float)>("lm_math_isfinitef");
    for (float x : {kMaxF, -kMaxF, 1e-45f, kInfF, -kInfF, kNaNF})
        EXPECT_EQ(isfinitef(x), std::isfinite(x) ? 1 : 0) << x;
    int e = 99;
    EXPECT_EQ(bits(fn<float(float, int *)>("frexpf")(kInfF, &e)), bits(kInfF));
    EXPECT_EQ(e, 0);
    // Every float at or above 2^23 is integral; the floor of each is itself.
    for (int i = 0; i < 2000; i++) {
        float x = any(23, 127);
        EXPECT_EQ(bits(call("floorf", x)), bits(x)) << x;
    }
}

TEST_F(MathSingleTest, OneArgumentFormsNarrowTheDoubleResult) {
    const struct {
        const char *name;
        double (*reference)(double);
        int min_exp, max_exp;
    } cases[] = {
        {"ceilf", ref::ceil, -149, 30}, {"truncf", ref::trunc, -149, 30}, {"floorf", ref::floor, -149, 30},
        {"sqrtf", ref::sqrt, -8, 8},    {"logf", ref::log, -149, 127},    {"sinf", ref::sin, -149, 6},
        {"cosf", ref::cos, -149, 6},    {"fabsf", ref::fabs, -149, 127},
    };
    for (const auto &c : cases)
        for (int i = 0; i < 5000; i++) {
            float x = any(c.min_exp, c.max_exp);
            // sqrt only where 24 steps converge; beyond, it keeps stepping (see math_test).
            if (c.reference != ref::sqrt || ref::sqrt_steps(x, 25) >= ref::sqrt_steps(x, 24))
                EXPECT_EQ(bits(call(c.name, x)), bits(narrow(c.reference(x)))) << c.name << "(" << x << ")";
        }
}

TEST_F(MathSingleTest, TwoArgumentFormsNarrowTheDoubleResult) {
    auto ldexpf = fn<float(float, int)>("ldexpf");
    auto frexpf = fn<float(float, int *)>("frexpf");
    for (int i = 0; i < 5000; i++) {
        float x = any(-10, 10), y = any(-10, 10), n = static_cast<float>(args.integer(-40, 40));
        EXPECT_EQ(bits(call("powf", x, n)), bits(narrow(ref::pow(x, n)))) << x << ", " << n;
        if (std::fabs(double{x} / y) < 2147483648.0)
            EXPECT_EQ(bits(call("fmodf", x, y)), bits(narrow(ref::fmod(x, y)))) << x << ", " << y;
        int e = args.integer(-300, 300);
        EXPECT_EQ(bits(ldexpf(x, e)), bits(narrow(ref::ldexp(x, e)))) << x << ", " << e;
        int got_e = 0, expected_e = 0;
        EXPECT_EQ(bits(frexpf(x, &got_e)), bits(narrow(ref::frexp(x, &expected_e)))) << x;
        EXPECT_EQ(got_e, expected_e);
    }
    // Rounded once, from the double result.
    EXPECT_EQ(bits(ldexpf(kMaxF, 1)), bits(kInfF));
    EXPECT_EQ(bits(ldexpf(1.5f, -150)), bits(narrow(std::ldexp(1.5, -150))));
    EXPECT_EQ(bits(ldexpf(1.0f, INT32_MIN)), bits(0.0f));
}

} // namespace
} // namespace lbw::test
