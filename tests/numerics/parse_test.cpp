// Number parsing. Integers: random inputs in every base against glibc, which takes the
// same white space, signs, prefixes and digits; a table for what the library does
// otherwise (wrapping instead of clamping, a "0x" without a digit, other bases).
// Decimals: end positions from glibc, values from the digit-by-digit arithmetic; tables
// for the extremes, mantissas too long for that arithmetic, and the forms glibc reads and
// the library does not.
#include "tests/numerics/same_bits.h"
#include "tests/support/library_test.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cstdlib>
#include <random>
#include <string>

namespace lbw::test {
namespace {

using Scanner = unsigned long long(const char *, char **, int); // all four, as bits

class ParseTest : public LibraryTest {
protected:
    std::mt19937_64 random{31337};
    double strtod(const char *s, char **end) { return fn<double(const char *, char **)>("strtod")(s, end); }
};

TEST_F(ParseTest, IntegersAsGlibcInBasesZeroAndTwoToThirtySix) {
    Scanner *const scanners[] = {fn<Scanner>("strtol"), fn<Scanner>("strtoul"), fn<Scanner>("strtoll"),
                                 fn<Scanner>("strtoull")};
    const std::string pieces[] = {" ", "\t", "\n\v\f\r", "+", "-", "0", "0x", "0X", "x", "9", "7", "1", "f", "F",
                                  "z", "Z", "g", "G", "9999999999", "18446744073709551616", "zzzzzzzzzzzzzzz",
                                  "\xff", "\x80", "\xa0", "\x1c", "/", ":", "@", "[", "`", "{", ".", "e"};
    for (int i = 0; i < 100000; i++) {
        std::string text;
        for (size_t n = random() % 8; n > 0; n--)
            text += pieces[random() % std::size(pieces)];
        const char *s = text.c_str();
        const int base = static_cast<int>(random() % 43) - 2;
        const bool taken = base == 0 || (base >= 2 && base <= 36);
        char *glibc_end = const_cast<char *>(s);
        errno = 0;
        uint64_t want = taken ? std::strtoull(s, &glibc_end, base) : 0;
        const bool wrapped = errno == ERANGE;
        // A "0x" prefix without a digit behind it is no number (glibc reads the 0).
        if ((base == 0 || base == 16) && glibc_end > s && glibc_end[-1] == '0' && (glibc_end[0] | 0x20) == 'x' &&
            (glibc_end - 1 == s || !std::isalnum(static_cast<unsigned char>(glibc_end[-2]))))
            want = 0, glibc_end = const_cast<char *>(s);
        for (int k = 0; k < (taken ? 4 : 2); k++) { // strtoll and strtoull take every base: see below
            char *end = nullptr;
            const uint64_t got = scanners[k](s, &end, base);
            ASSERT_EQ(end, glibc_end) << "function " << k << " \"" << text << "\" base " << base;
            ASSERT_TRUE(wrapped || got == want) << "function " << k << " \"" << text << "\" base " << base;
        }
        char *end_ll = nullptr, *end_ull = nullptr;
        ASSERT_EQ(scanners[2](s, &end_ll, base), scanners[3](s, &end_ull, base)) << "strtoll is strtoull";
        ASSERT_EQ(end_ll, end_ull);
    }
}

TEST_F(ParseTest, IntegersWrapAndStrtoullTakesAnyBase) {
    const struct { const char *name, *text; int base; uint64_t value; int end; } rows[] = {
        {"strtoul", "18446744073709551616", 10, 0, 20}, {"strtol", "18446744073709551617", 10, 1, 20},
        {"strtoull", "-9223372036854775809", 10, uint64_t{INT64_MAX}, 20},
        {"strtoll", "1000000000000000000000000", 16, 0, 25}, {"strtol", "9223372036854775808", 10, 1ull << 63, 19},
        {"strtol", "10", 1, 0, 0}, {"strtoul", " z", 37, 0, 0}, {"strtol", "0x10", -16, 0, 0},
        {"strtoull", "z", 37, 35, 1}, {"strtoull", "0001", 1, 0, 3}, {"strtoll", "1", 1, 0, 0},
        {"strtoull", "-zz!", 100, static_cast<uint64_t>(-3535), 3}, {"strtoull", " 123", -5, 0, 0},
    };
    for (auto r : rows) {
        char *end = nullptr;
        EXPECT_EQ(fn<Scanner>(r.name)(r.text, &end, r.base), r.value) << r.name << "(\"" << r.text << "\", " << r.base << ")";
        EXPECT_EQ(end - r.text, r.end) << r.name << "(\"" << r.text << "\", " << r.base << ")";
    }
    for (const char *name : {"strtol", "strtoul", "strtoll", "strtoull"}) {
        char *end = reinterpret_cast<char *>(1);
        EXPECT_EQ(fn<Scanner>(name)(nullptr, &end, 10), 0u) << name;
        EXPECT_EQ(end, nullptr) << name << " of NULL";
    }
    char *end = reinterpret_cast<char *>(1);
    EXPECT_TRUE(same(strtod(nullptr, &end), 0.0));
    EXPECT_EQ(end, nullptr) << "strtod of NULL";
}

// value * 10 + digit over the integer digits, the fraction and its scale likewise, value +
// fraction / scale, then the power of ten (exact up to 10^22) multiplied or divided.
double digit_by_digit(const std::string &integer, const std::string &fraction, int exponent) {
    double value = 0, part = 0, scale = 1;
    for (char d : integer)
        value = value * 10 + (d - '0');
    for (char d : fraction)
        part = part * 10 + (d - '0'), scale = scale * 10;
    value = value + part / scale;
    return exponent >= 0 ? value * std::pow(10.0, exponent) : value / std::pow(10.0, -exponent);
}

TEST_F(ParseTest, DecimalsAreBuiltDigitByDigit) {
    auto digits = [&](size_t most) {
        std::string d;
        for (size_t n = random() % (most + 1); n > 0; n--)
            d += static_cast<char>('0' + random() % 10);
        return d;
    };
    for (int round = 0; round < 20000; round++) {
        const std::string integer = digits(19), fraction = random() % 2 ? digits(24) : "";
        const bool negative = random() % 3 == 0;
        std::string text = std::string(" \t\n\v\f\r").substr(0, random() % 3) + (negative ? "-" : random() % 2 ? "+" : "");
        text += integer + (fraction.empty() && random() % 2 ? "" : "." + fraction);
        int exponent = 0;
        if (random() % 2) {
            exponent = static_cast<int>(random() % 23) * (random() % 2 ? -1 : 1);
            text += std::string(random() % 2 ? "e" : "E") + (exponent < 0 ? "-" : random() % 2 ? "+" : "");
            if (random() % 5)
                text += std::to_string(std::abs(exponent));
            else
                exponent = 0; // no exponent digits: the "e" is not part of the number
        }
        text += std::string("x.e-")[random() % 4];
        const bool any = !integer.empty() || !fraction.empty();
        const double value = any ? digit_by_digit(integer, fraction, exponent) : 0.0;
        char *end = nullptr, *glibc_end = nullptr;
        std::strtod(text.c_str(), &glibc_end);
        EXPECT_TRUE(same(strtod(text.c_str(), &end), any && negative ? -value : value)) << '"' << text << '"';
        EXPECT_EQ(end, glibc_end) << '"' << text << '"';
    }
}

// The extremes and the forms only glibc reads, each with its value (within `relative`,
// where given) and its end (-1: the whole text). Fraction digits past the scale's limit are
// consumed and change nothing. More than 308 integer digits, or a fraction's first nonzero
// digit after the 308th, are beyond the digit-by-digit arithmetic; with an exponent that
// brings the value back into range, it comes from the leading 19 digits. Without one it
// overflows or vanishes.
TEST_F(ParseTest, DecimalExtremesAndFormsOnlyGlibcReads) {
    const std::string zeros(400, '0');
    const struct { std::string text; double value; long end = -1; double relative = 0; } rows[] = {
        {"inf", 0, 0}, {"-nan", 0, 0}, {"0x1p3", 0, 1}, {"\xa0" "3", 0, 0}, {"-", 0, 0}, {"-.", 0, 0},
        {"1e309", INFINITY}, {"1e-400", 0}, {"-1e-400", -0.0}, {"1e4294967297", INFINITY},
        {"1e2147483658", INFINITY}, {"1e-4294967297", 0}, {"0e999999999", 0}, {"0.000e400", 0},
        {"-0e99999", -0.0}, {std::string(400, '9'), INFINITY}, {"2e" + std::string(5000, '9'), INFINITY},
        {"1e-320", 1e-320, -1, 1e-3}, {"0.001e310", 1e307, -1, 1e-14},
        {"123456e-310", 1.23456e-305, -1, 1e-9}, {"0." + std::string(400, '9'), 1.0, -1, 1e-15},
        {"0." + std::string(1000, '3') + "e1", 10.0 / 3.0, -1, 1e-15},
        {"1" + zeros.substr(0, 309) + "e-300", 1e9}, {"0." + zeros + "1e400", 0.1},
        {"-0." + zeros + "25e401", -2.5}, {"12345" + zeros + ".5e-400", 12345.0},
        {std::string(400, '9') + "e-395", 1e5}, {"+0." + zeros.substr(0, 320) + "7e3", 7e-318},
        {"1" + zeros.substr(0, 309), INFINITY}, {"0." + zeros + "1", 0.0}, {"0." + zeros + "1e-5", 0.0},
        {"0." + zeros + "e999", 0.0},
    };
    for (const auto &r : rows) {
        char *end = nullptr;
        const double value = strtod(r.text.c_str(), &end);
        if (r.relative)
            EXPECT_NEAR(value / r.value, 1.0, r.relative) << r.text;
        else
            EXPECT_TRUE(same(value, r.value)) << r.text;
        EXPECT_EQ(end - r.text.c_str(), r.end < 0 ? static_cast<long>(r.text.size()) : r.end) << r.text;
    }
    auto strtof = fn<float(const char *, char **)>("strtof");
    for (const char *t : {"0.1", "3.4028235e38", "1e39", "1e-46", "-2.5", "16777217", "-0", "x"}) {
        char *end_f = nullptr, *end_d = nullptr;
        EXPECT_TRUE(same(strtof(t, &end_f), static_cast<float>(strtod(t, &end_d)))) << t;
        EXPECT_EQ(end_f, end_d) << t;
    }
}

} // namespace
} // namespace lbw::test
