// strtod and strtof: digit-by-digit double arithmetic, end positions, signs, and the
// sound handling of huge exponents, long fractions and NULL.
#include "tests/support/library_test.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace lbw::test {
namespace {

using StrtodFn = double(const char *, char **);
using StrtofFn = float(const char *, char **);

uint64_t bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

class FloatParseTest : public LibraryTest {
protected:
    StrtodFn *strtod_ = nullptr;
    StrtofFn *strtof_ = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        strtod_ = fn<StrtodFn>("strtod");
        strtof_ = fn<StrtofFn>("strtof");
    }

    void expect_parse(const char *s, double value, ptrdiff_t end) {
        char *e = nullptr;
        double got = strtod_(s, &e);
        EXPECT_EQ(bits(got), bits(value)) << '"' << s << "\" gave " << got << ", expected " << value;
        EXPECT_EQ(e - s, end) << '"' << s << '"';
    }
};

TEST_F(FloatParseTest, ListedValuesAndEndPositions) {
    expect_parse("1.5e3", 1500.0, 5);
    expect_parse("2e-1", 0.2, 4);
    expect_parse(".5", 0.5, 2);
    expect_parse("5.", 5.0, 2);
    expect_parse("1e", 1.0, 1);
    expect_parse("1e+", 1.0, 1);
    expect_parse("1E-x", 1.0, 1);
    expect_parse("0x1p3", 0.0, 1);
    expect_parse("  +2.25xyz", 2.25, 7);
    expect_parse("1.5E+2", 150.0, 6);
    expect_parse("7e0", 7.0, 3);
}

TEST_F(FloatParseTest, SignsAndNonNumbers) {
    expect_parse("-0", -0.0, 2);
    expect_parse("-0.0e5", -0.0, 6);
    expect_parse("-", 0.0, 0);
    expect_parse("+", 0.0, 0);
    expect_parse(".", 0.0, 0);
    expect_parse("-.", 0.0, 0);
    expect_parse("  -.e5", 0.0, 0);
    expect_parse("e5", 0.0, 0);
    expect_parse("inf", 0.0, 0);
    expect_parse("nan", 0.0, 0);
    expect_parse("-infinity", 0.0, 0);
    expect_parse("", 0.0, 0);
    expect_parse("\t\n\v\f\r 3", 3.0, 7);
    expect_parse("\xa0" "3", 0.0, 0);
    expect_parse("--3", 0.0, 0);
    EXPECT_EQ(strtod_("12.5", nullptr), 12.5);
}

TEST_F(FloatParseTest, OverflowAndUnderflowThroughTheArithmetic) {
    std::string huge(400, '9');
    expect_parse(huge.c_str(), std::numeric_limits<double>::infinity(), 400);
    expect_parse("1e309", std::numeric_limits<double>::infinity(), 5);
    expect_parse("1e-400", 0.0, 6);
    expect_parse("-1e-400", -0.0, 7);
    expect_parse("1e308", 1e308, 5);
}

// The value as the digits build it: value = value * 10 + digit, the fraction and its
// scale likewise, value + fraction / scale, then the exact power of ten (exponents up
// to 22) multiplied or divided in one step.
double reference_strtod(const std::string &s, size_t *end) {
    size_t p = 0;
    bool negative = s[p] == '-';
    if (s[p] == '-' || s[p] == '+')
        p++;
    double value = 0, fraction = 0, scale = 1;
    bool any = false;
    for (; p < s.size() && isdigit(static_cast<unsigned char>(s[p])); p++, any = true)
        value = value * 10 + (s[p] - '0');
    if (p < s.size() && s[p] == '.')
        for (p++; p < s.size() && isdigit(static_cast<unsigned char>(s[p])); p++, any = true) {
            fraction = fraction * 10 + (s[p] - '0');
            scale = scale * 10;
        }
    if (!any) {
        *end = 0;
        return 0.0;
    }
    value = value + fraction / scale;
    if (p < s.size() && (s[p] == 'e' || s[p] == 'E')) {
        size_t q = p + 1;
        bool negative_exponent = q < s.size() && s[q] == '-';
        if (q < s.size() && (s[q] == '-' || s[q] == '+'))
            q++;
        if (q < s.size() && isdigit(static_cast<unsigned char>(s[q]))) {
            int exponent = 0;
            for (; q < s.size() && isdigit(static_cast<unsigned char>(s[q])); q++)
                exponent = exponent * 10 + (s[q] - '0');
            double power = 1;
            for (int i = 0; i < exponent; i++)
                power *= 10; // exact up to 10^22
            value = negative_exponent ? value / power : value * power;
            p = q;
        }
    }
    *end = p;
    return negative ? -value : value;
}

TEST_F(FloatParseTest, MatchesTheDigitByDigitArithmeticBitForBit) {
    uint64_t seed = 99;
    auto next = [&seed] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>(seed >> 33);
    };
    for (int round = 0; round < 20000; round++) {
        std::string s;
        if (next() % 3 == 0)
            s += next() % 2 ? '-' : '+';
        for (unsigned i = next() % 20; i > 0; i--)
            s += static_cast<char>('0' + next() % 10);
        if (next() % 2) {
            s += '.';
            for (unsigned i = next() % 25; i > 0; i--)
                s += static_cast<char>('0' + next() % 10);
        }
        if (next() % 2) {
            s += next() % 2 ? 'e' : 'E';
            unsigned sign = next() % 3;
            if (sign)
                s += sign == 1 ? '-' : '+';
            s += std::to_string(next() % 23);
        }
        if (next() % 4 == 0)
            s += "x";
        size_t expected_end;
        double expected = reference_strtod(s, &expected_end);
        expect_parse(s.c_str(), expected, static_cast<ptrdiff_t>(expected_end));
    }
}

TEST_F(FloatParseTest, ExponentSaturatesInsteadOfWrapping) {
    // 4294967297 wraps to 1 in 32 bits; 2147483658 wraps to a negative value.
    expect_parse("1e4294967297", std::numeric_limits<double>::infinity(), 12);
    expect_parse("1e2147483658", std::numeric_limits<double>::infinity(), 12);
    expect_parse("1e-4294967297", 0.0, 13);
    std::string long_exponent = "2e" + std::string(5000, '9');
    expect_parse(long_exponent.c_str(), std::numeric_limits<double>::infinity(), 5002);
}

TEST_F(FloatParseTest, ZeroMantissaWithAHugeExponentIsZero) {
    expect_parse("0e999999999", 0.0, 11);
    expect_parse("0.000e400", 0.0, 9);
    expect_parse("-0e99999", -0.0, 8);
    expect_parse("0e-999999", 0.0, 9);
}

TEST_F(FloatParseTest, ExtremeExponentsStillReachRepresentableValues) {
    char *end = nullptr;
    EXPECT_NEAR(strtod_("1e-320", &end) / 1e-320, 1.0, 1e-3);
    EXPECT_NEAR(strtod_("0.001e310", &end) / 1e307, 1.0, 1e-14);
    EXPECT_NEAR(strtod_("123456e-310", &end) / 1.23456e-305, 1.0, 1e-9);
    EXPECT_NEAR(strtod_("1e-5000000", &end), 0.0, 0.0);
}

TEST_F(FloatParseTest, LongFractionsNeverGiveNaN) {
    std::string nines = "0." + std::string(400, '9');
    char *end = nullptr;
    double v = strtod_(nines.c_str(), &end);
    EXPECT_EQ(end, nines.c_str() + nines.size()) << "every fraction digit is consumed";
    EXPECT_NEAR(v, 1.0, 1e-15);
    std::string third = "0." + std::string(1000, '3') + "e1";
    v = strtod_(third.c_str(), &end);
    EXPECT_EQ(end, third.c_str() + third.size());
    EXPECT_NEAR(v, 10.0 / 3.0, 1e-15);
    // Digits past the scale's limit change nothing.
    std::string a = "1." + std::string(307, '0') + "1";
    std::string b = a + std::string(50, '7');
    EXPECT_EQ(bits(strtod_(a.c_str(), nullptr)), bits(strtod_(b.c_str(), nullptr)));
}

TEST_F(FloatParseTest, NullStringReadsNothing) {
    char *end = reinterpret_cast<char *>(1);
    EXPECT_EQ(bits(strtod_(nullptr, &end)), bits(0.0));
    EXPECT_EQ(end, nullptr);
    end = reinterpret_cast<char *>(1);
    EXPECT_EQ(strtof_(nullptr, &end), 0.0f);
    EXPECT_EQ(end, nullptr);
    EXPECT_EQ(strtod_(nullptr, nullptr), 0.0);
}

TEST_F(FloatParseTest, StrtofNarrowsTheDoubleResult) {
    char *end = nullptr;
    const char *s = "0.1";
    EXPECT_EQ(strtof_(s, &end), static_cast<float>(0.1));
    EXPECT_EQ(end, s + 3);
    const char *inputs[] = {"3.4028235e38", "1e39", "1e-46", "-2.5", "16777217", "0.333333333333", "-0", "x"};
    for (const char *t : inputs) {
        char *end_d = nullptr;
        float f = strtof_(t, &end);
        float narrowed = static_cast<float>(strtod_(t, &end_d));
        uint32_t fb, nb;
        std::memcpy(&fb, &f, 4);
        std::memcpy(&nb, &narrowed, 4);
        EXPECT_EQ(fb, nb) << t;
        EXPECT_EQ(end, end_d) << t;
    }
    EXPECT_EQ(strtof_("1e39", nullptr), std::numeric_limits<float>::infinity());
}

} // namespace
} // namespace lbw::test
