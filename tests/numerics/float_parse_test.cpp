// strtod and strtof: digit-by-digit double arithmetic, end positions, signs, and the
// sound handling of huge exponents, long fractions and NULL.
#include "tests/numerics/math_reference.h"
#include "tests/support/library_test.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace lbw::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

class FloatParseTest : public LibraryTest {
protected:
    double strtod(const char *s, char **end) { return fn<double(const char *, char **)>("strtod")(s, end); }
    float strtof(const char *s, char **end) { return fn<float(const char *, char **)>("strtof")(s, end); }

    void expect_parse(const std::string &s, double value, size_t end) {
        char *e = nullptr;
        EXPECT_TRUE(same(strtod(s.c_str(), &e), value)) << '"' << s << '"';
        EXPECT_EQ(static_cast<size_t>(e - s.c_str()), end) << '"' << s << '"';
    }
};

TEST_F(FloatParseTest, ValuesAndEndPositions) {
    const struct { const char *text; double value; size_t end; } cases[] = {
        {"1.5e3", 1500, 5}, {"2e-1", 0.2, 4}, {".5", 0.5, 2}, {"5.", 5, 2}, {"1e", 1, 1}, {"1e+", 1, 1},
        {"1E-x", 1, 1}, {"0x1p3", 0.0, 1}, {"  +2.25xyz", 2.25, 7}, {"1.5E+2", 150, 6}, {"7e0", 7, 3},
        {"\t\n\v\f\r 3", 3, 7}, {"-0", -0.0, 2}, {"-0.0e5", -0.0, 6},
        // Not a number: +0.0 and the end at the start.
        {"-", 0.0, 0}, {"+", 0.0, 0}, {".", 0.0, 0}, {"-.", 0.0, 0}, {"  -.e5", 0.0, 0}, {"e5", 0.0, 0},
        {"inf", 0.0, 0}, {"nan", 0.0, 0}, {"-infinity", 0.0, 0}, {"", 0.0, 0}, {"\xa0" "3", 0.0, 0}, {"--3", 0.0, 0},
        // Overflow and underflow through the arithmetic.
        {"1e309", kInf, 5}, {"1e-400", 0.0, 6}, {"-1e-400", -0.0, 7}, {"1e308", 1e308, 5},
        // The exponent saturates instead of wrapping (4294967297 would wrap to 1,
        // 2147483658 to a negative value); a zero mantissa stays zero.
        {"1e4294967297", kInf, 12}, {"1e2147483658", kInf, 12}, {"1e-4294967297", 0.0, 13},
        {"0e999999999", 0.0, 11}, {"0.000e400", 0.0, 9}, {"-0e99999", -0.0, 8}, {"0e-999999", 0.0, 9},
        {"1e-5000000", 0.0, 10},
    };
    for (auto c : cases)
        expect_parse(c.text, c.value, c.end);
    expect_parse(std::string(400, '9'), kInf, 400);
    expect_parse("2e" + std::string(5000, '9'), kInf, 5002);
    EXPECT_EQ(strtod("12.5", nullptr), 12.5);
    char *end = reinterpret_cast<char *>(1);
    EXPECT_EQ(bits(strtod(nullptr, &end)), bits(0.0));
    EXPECT_EQ(end, nullptr);
    end = reinterpret_cast<char *>(1);
    EXPECT_EQ(bits(strtof(nullptr, &end)), bits(0.0f));
    EXPECT_EQ(end, nullptr);
    EXPECT_EQ(strtod(nullptr, nullptr), 0.0);
}

// value = value * 10 + digit, the fraction and its scale likewise, value + fraction /
// scale, then the power of ten (exact up to 10^22) multiplied or divided in one step.
double digit_by_digit(const std::string &s, size_t *end) {
    const char *p = s.c_str();
    bool negative = *p == '-';
    p += *p == '-' || *p == '+';
    bool any = false;
    double value = 0, fraction = 0, scale = 1;
    for (; std::isdigit(*p); p++, any = true)
        value = value * 10 + (*p - '0');
    if (*p == '.')
        for (p++; std::isdigit(*p); p++, any = true) {
            fraction = fraction * 10 + (*p - '0');
            scale = scale * 10;
        }
    if (!any) {
        *end = 0;
        return 0.0;
    }
    value = value + fraction / scale;
    if (*p == 'e' || *p == 'E') {
        const char *q = p + 1;
        bool negative_exponent = *q == '-';
        q += *q == '-' || *q == '+';
        if (std::isdigit(*q)) {
            double power = 1;
            for (int exponent = std::atoi(q); exponent > 0; exponent--)
                power *= 10;
            value = negative_exponent ? value / power : value * power;
            for (p = q; std::isdigit(*p);)
                p++;
        }
    }
    *end = static_cast<size_t>(p - s.c_str());
    return negative ? -value : value;
}

TEST_F(FloatParseTest, MatchesTheDigitByDigitArithmeticBitForBit) {
    const char *const kSigns[] = {"", "-", "+"};
    Arguments args(99);
    auto digits = [&](int most) {
        std::string d;
        for (int i = args.integer(0, most); i > 0; i--)
            d += static_cast<char>('0' + args.integer(0, 9));
        return d;
    };
    for (int round = 0; round < 20000; round++) {
        std::string s = std::string(args.integer(0, 2) ? "" : args.integer(0, 1) ? "-" : "+") + digits(19);
        if (args.integer(0, 1))
            s += "." + digits(24);
        if (args.integer(0, 1))
            s += std::string(args.integer(0, 1) ? "e" : "E") + kSigns[args.integer(0, 2)] + std::to_string(args.integer(0, 22));
        if (args.integer(0, 3) == 0)
            s += "x";
        size_t end;
        double value = digit_by_digit(s, &end);
        expect_parse(s, value, end);
    }
}

TEST_F(FloatParseTest, ExtremeExponentsAndLongFractions) {
    EXPECT_NEAR(strtod("1e-320", nullptr) / 1e-320, 1.0, 1e-3);
    EXPECT_NEAR(strtod("0.001e310", nullptr) / 1e307, 1.0, 1e-14);
    EXPECT_NEAR(strtod("123456e-310", nullptr) / 1.23456e-305, 1.0, 1e-9);
    // Every fraction digit is consumed; those past the scale's limit change nothing,
    // so a long fraction never gives NaN.
    for (auto [text, value] : {std::pair{"0." + std::string(400, '9'), 1.0},
                               std::pair{"0." + std::string(1000, '3') + "e1", 10.0 / 3.0}}) {
        char *end = nullptr;
        EXPECT_NEAR(strtod(text.c_str(), &end), value, 1e-15);
        EXPECT_EQ(end, text.c_str() + text.size());
    }
    std::string a = "1." + std::string(307, '0') + "1";
    EXPECT_EQ(bits(strtod(a.c_str(), nullptr)), bits(strtod((a + std::string(50, '7')).c_str(), nullptr)));
}

// More than 308 integer digits, or a fraction's first nonzero digit after the 308th, are
// beyond the digit-by-digit arithmetic; with an exponent that brings the value back into
// range, it comes from the leading 19 digits.
TEST_F(FloatParseTest, MantissasBeyondTheArithmeticMeetTheirExponent) {
    const std::string zeros(400, '0');
    const struct { std::string text; double value; } cases[] = {
        {"1" + zeros.substr(0, 309) + "e-300", 1e9},
        {"0." + zeros + "1e400", 0.1},
        {"-0." + zeros + "25e401", -2.5},
        {"12345" + zeros + ".5e-400", 12345},
        {std::string(400, '9') + "e-395", 1e5},
        {"+0." + zeros.substr(0, 320) + "7e3", 7e-318},
        // Without such an exponent the value still overflows or vanishes.
        {"1" + zeros.substr(0, 309), kInf},
        {"0." + zeros + "1", 0.0},
        {"0." + zeros + "1e-5", 0.0},
        {"0." + zeros + "e999", 0.0},
    };
    for (const auto &c : cases)
        expect_parse(c.text, c.value, c.text.size());
}

TEST_F(FloatParseTest, StrtofNarrowsTheDoubleResult) {
    EXPECT_EQ(strtof("0.1", nullptr), static_cast<float>(0.1));
    EXPECT_EQ(strtof("1e39", nullptr), std::numeric_limits<float>::infinity());
    for (const char *t : {"0.1", "3.4028235e38", "1e39", "1e-46", "-2.5", "16777217", "0.333333333333", "-0", "x"}) {
        char *end_f = nullptr, *end_d = nullptr;
        EXPECT_EQ(bits(strtof(t, &end_f)), bits(static_cast<float>(strtod(t, &end_d)))) << t;
        EXPECT_EQ(end_f, end_d) << t;
    }
}

} // namespace
} // namespace lbw::test
