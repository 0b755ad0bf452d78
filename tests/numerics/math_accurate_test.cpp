// The accurate math functions against glibc: random arguments over the whole domain
// (uniform in the bit pattern) and dense around the delicate points, each result within
// 1 ulp of glibc's, or, where glibc is further off, within 1 ulp of the exact value (a
// long double reference); special values (zeros, infinities, NaN, subnormals) exactly.
// LBW_MATH_ARGUMENTS sets the arguments per function (default 100000); each function
// prints its largest error against the reference.
#include "tests/numerics/same_bits.h"
#include "tests/support/library_test.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kMinSubnormal = 4.9406564584124654e-324;
constexpr double kMaxSubnormal = 2.2250738585072009e-308;
constexpr double kHalfPi = 1.5707963267948966;
// Where atan changes its reduction.
constexpr double kAtanBreaks[] = {0.4375, 0.6875, 1.1875, 2.4375};

class Arguments {
public:
    explicit Arguments(uint64_t seed) : rng_(seed) {}
    // Either sign, mantissa in [1, 2), binary exponent in [min_exp, max_exp].
    double any(int min_exp, int max_exp) {
        double v = std::ldexp(1.0 + uniform(0, 1), integer(min_exp, max_exp));
        return rng_() & 1 ? -v : v;
    }
    double positive(int min_exp, int max_exp) { return std::fabs(any(min_exp, max_exp)); }
    double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng_); }
    int integer(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

private:
    std::mt19937_64 rng_;
};

// Random arguments of one kind; pattern() is uniform over the finite bit patterns.
struct Sampler {
    Arguments args{20240611};
    std::mt19937_64 rng{4711};
    double pattern() {
        for (;;)
            if (double v = from_bits(rng()); std::isfinite(v))
                return v;
    }
    double pattern_within(double bound) { // uniform bits, |v| <= bound
        for (;;)
            if (double v = pattern(); std::fabs(v) <= bound)
                return v;
    }
    double near(double point, int min_exp, int max_exp) { return point + args.any(min_exp, max_exp); }
    double uniform(double low, double high) { return args.uniform(low, high); }
    double around(double v) { // v or one of its neighbours
        int step = args.integer(-1, 1);
        return step ? std::nextafter(v, step * kInf) : v;
    }
};

using Region = std::function<double(Sampler &)>;

struct Function {
    const char *name;
    double (*glibc)(double);
    long double (*precise)(long double);
    std::vector<Region> regions;
};

// The doubles nearest to multiples of pi/2 and their neighbours, for small and huge
// multiples: where tan is largest and the reduction cancels most.
double near_multiple_of_half_pi(Sampler &s) {
    long double k = s.args.integer(0, 3) ? s.args.integer(-100000, 100000) : std::ldexp(s.uniform(-1, 1), 60);
    return s.around(static_cast<double>(k * 1.5707963267948966192313216916397514L));
}

const Function kFunctions[] = {
    {"exp", ::exp, ::expl,
     {[](Sampler &s) { return s.pattern_within(746); }, [](Sampler &s) { return s.uniform(-746, 710); },
      [](Sampler &s) { return s.args.any(-60, 0); }, [](Sampler &s) { return s.uniform(700, 709.8); },
      [](Sampler &s) { return s.uniform(-745.2, -700); }}},
    {"log2", ::log2, ::log2l,
     {[](Sampler &s) { return std::fabs(s.pattern()); }, [](Sampler &s) { return s.near(1, -60, -1); },
      [](Sampler &s) { return s.args.positive(-1074, -1022); },
      [](Sampler &s) { return s.around(std::ldexp(1.0, s.args.integer(-1074, 1023))); }}},
    {"log10", ::log10, ::log10l,
     {[](Sampler &s) { return std::fabs(s.pattern()); }, [](Sampler &s) { return s.near(1, -60, -1); },
      [](Sampler &s) { return s.args.positive(-1074, -1022); },
      [](Sampler &s) { return s.around(std::pow(10.0, s.args.integer(-300, 300))); }}},
    {"tan", ::tan, ::tanl,
     {[](Sampler &s) { return s.pattern(); }, [](Sampler &s) { return s.uniform(-10, 10); },
      [](Sampler &s) { return s.args.any(-40, 0); }, near_multiple_of_half_pi,
      [](Sampler &s) { return s.args.any(18, 1023); }}},
    {"asin", ::asin, ::asinl,
     {[](Sampler &s) { return s.pattern_within(1); }, [](Sampler &s) { return s.uniform(-1, 1); },
      [](Sampler &s) { return (s.args.integer(0, 1) ? 1 : -1) * (1 - s.args.positive(-60, -1)); },
      [](Sampler &s) { return s.near(0.5, -60, -1); }}},
    {"acos", ::acos, ::acosl,
     {[](Sampler &s) { return s.pattern_within(1); }, [](Sampler &s) { return s.uniform(-1, 1); },
      [](Sampler &s) { return (s.args.integer(0, 1) ? 1 : -1) * (1 - s.args.positive(-60, -1)); },
      [](Sampler &s) { return s.near(s.args.integer(0, 1) ? 0.5 : -0.5, -60, -1); }}},
    {"atan", ::atan, ::atanl,
     {[](Sampler &s) { return s.pattern(); }, [](Sampler &s) { return s.uniform(-4, 4); },
      [](Sampler &s) { return s.args.any(-30, 70); },
      [](Sampler &s) { return s.near(kAtanBreaks[s.args.integer(0, 3)], -50, -4); }}},
    {"sinh", ::sinh, ::sinhl,
     {[](Sampler &s) { return s.pattern_within(711); }, [](Sampler &s) { return s.uniform(-25, 25); },
      [](Sampler &s) { return s.args.any(-30, 0); }, [](Sampler &s) { return s.uniform(700, 710.5); }}},
    {"cosh", ::cosh, ::coshl,
     {[](Sampler &s) { return s.pattern_within(711); }, [](Sampler &s) { return s.uniform(-25, 25); },
      [](Sampler &s) { return s.args.any(-30, 0); }, [](Sampler &s) { return s.uniform(-710.5, -700); }}},
    {"tanh", ::tanh, ::tanhl,
     {[](Sampler &s) { return s.pattern_within(30); }, [](Sampler &s) { return s.uniform(-3, 3); },
      [](Sampler &s) { return s.args.any(-30, 0); }, [](Sampler &s) { return s.uniform(15, 23); }}},
};

std::string hex(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

int arguments_per_function() {
    const char *text = std::getenv("LBW_MATH_ARGUMENTS");
    return text ? std::atoi(text) : 100000;
}

// Distance in representable doubles (+0.0 and -0.0 count as one point).
int64_t ulp_distance(double a, double b) {
    auto ordered = [](double v) {
        int64_t i = static_cast<int64_t>(bits(v) & ~(uint64_t{1} << 63));
        return std::signbit(v) ? -i : i;
    };
    int64_t d = ordered(a) - ordered(b);
    return d < 0 ? -d : d;
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

class AccurateMathTest : public LibraryTest, public ::testing::WithParamInterface<Function> {
protected:
    // Fails the argument unless within 1 ulp of glibc or of the exact value; returns the
    // error against the exact value.
    template <class Call>
    double check(Call call, const char *name, double x, double y, double glibc_result, long double exact) {
        double result = call();
        double error = ulp_error(result, exact);
        if (ulp_distance(result, glibc_result) > 1 && !(error < 1.0))
            ADD_FAILURE() << name << "(" << std::hexfloat << x << ", " << y << ") = " << result << ", glibc "
                          << glibc_result << ", exact " << static_cast<double>(exact) << " (" << std::defaultfloat
                          << error << " ulp)";
        return error;
    }
    void report(const char *name, double worst, const std::string &where, int count) {
        std::printf("%s: largest error %.3f ulp at %s over %d arguments\n", name, worst, where.c_str(), count);
    }
};

TEST_P(AccurateMathTest, WithinOneUlpOverTheWholeDomain) {
    const Function &f = GetParam();
    auto lib = fn<double(double)>(f.name);
    Sampler sampler;
    int count = arguments_per_function();
    double worst = 0;
    std::string where = "-";
    for (int i = 0; i < count; i++) {
        double x = f.regions[i % f.regions.size()](sampler);
        double error = check([&] { return lib(x); }, f.name, x, 0, f.glibc(x), f.precise(x));
        if (error > worst)
            worst = error, where = hex(x);
    }
    report(f.name, worst, where, count);
}

TEST_P(AccurateMathTest, SpecialValuesAsGlibc) {
    const Function &f = GetParam();
    auto lib = fn<double(double)>(f.name);
    for (double x : {0.0, kMinSubnormal, kMaxSubnormal, kInf, kNaN}) {
        EXPECT_TRUE(same(lib(x), f.glibc(x))) << f.name << "(" << x << ")";
        EXPECT_TRUE(same(lib(-x), f.glibc(-x))) << f.name << "(" << -x << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Functions, AccurateMathTest, ::testing::ValuesIn(kFunctions),
                         [](const auto &info) { return std::string(info.param.name); });

class Atan2Test : public AccurateMathTest {};

TEST_F(Atan2Test, WithinOneUlpOverTheWholeDomain) {
    auto atan2 = fn<double(double, double)>("atan2");
    Sampler s;
    int count = arguments_per_function();
    double worst = 0;
    std::string where = "-";
    for (int i = 0; i < count; i++) {
        double y, x;
        switch (i % 4) {
        case 0: y = s.pattern(), x = s.pattern(); break;
        case 1: y = s.uniform(-4, 4), x = s.uniform(-4, 4); break;
        case 2: // quotients around 2^+-60, where the angle leaves pi/2 or 0
            x = s.pattern_within(1e300), y = std::ldexp(x, s.args.integer(-64, 64)) * s.uniform(-1.5, 1.5);
            break;
        default: // around the diagonals and the axes
            x = s.args.any(-1000, 1000), y = x * (s.args.integer(0, 1) ? s.near(1, -60, -2) : s.args.any(-60, 0));
            break;
        }
        double error = check([&] { return atan2(y, x); }, "atan2", y, x, ::atan2(y, x), ::atan2l(y, x));
        if (error > worst)
            worst = error, where = hex(y) + ", " + hex(x);
    }
    report("atan2", worst, where, count);
}

TEST_F(Atan2Test, SpecialValuesAsGlibc) {
    auto atan2 = fn<double(double, double)>("atan2");
    const double values[] = {0.0, -0.0, kMinSubnormal, -kMinSubnormal, 1.0, -1.0, kMax, -kMax, kInf, -kInf, kNaN};
    for (double y : values)
        for (double x : values)
            EXPECT_TRUE(same(atan2(y, x), ::atan2(y, x))) << "atan2(" << y << ", " << x << ")";
}

// The results a caller relies on being exact.
TEST_F(AccurateMathTest, ExactResults) {
    auto lib = [&](const char *name, double x) { return fn<double(double)>(name)(x); };
    for (int k = -1074; k <= 1023; k++)
        EXPECT_EQ(lib("log2", std::ldexp(1.0, k)), k);
    double power = 1;
    for (int k = 0; k <= 22; k++, power *= 10)
        EXPECT_EQ(lib("log10", power), k);
    EXPECT_EQ(lib("exp", 709.8), kInf);
    EXPECT_EQ(lib("exp", -745.2), 0.0);
    EXPECT_EQ(lib("exp", -745.1), kMinSubnormal);
    EXPECT_EQ(lib("atan", kInf), kHalfPi);
    EXPECT_EQ(lib("asin", -1), -kHalfPi);
    EXPECT_EQ(lib("acos", -1), 3.141592653589793);
    EXPECT_TRUE(std::isnan(lib("asin", std::nextafter(1.0, 2.0))));
    EXPECT_TRUE(std::isnan(lib("log10", -kMinSubnormal)));
}

} // namespace
} // namespace lbw::test
