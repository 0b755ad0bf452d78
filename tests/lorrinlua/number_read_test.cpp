// lorrinlua_strtod against the host's strtod: decimal numerals short and long (to 800
// digits), around the ends of the double range, exactly halfway between two doubles and
// just off it, hexadecimal numerals, infinities and NaNs, and malformed prefixes. The
// result's bits and the end position must be identical, except where an exact check shows
// that the host rounded wrongly and we did not (the host's strtod misrounds some
// subnormal results of long numerals).
#include "tests/lorrinlua/numbers_test.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace lbw::test {
namespace {

// An exact unsigned numeral: 0.d1d2d3... * base^exponent, in base 10 or (for hexadecimal
// numerals) base 2, without leading or trailing zeros; no digits for zero.
struct Exact {
    std::string digits;
    long exponent = 0;
};

Exact exact_value(const std::string &numeral) {
    bool hex = numeral.size() > 1 && (numeral[1] | 0x20) == 'x';
    Exact x;
    long point = -1;
    size_t i = hex ? 2 : 0;
    for (; i < numeral.size(); i++) {
        char c = numeral[i];
        if (c == '.') {
            point = static_cast<long>(x.digits.size());
        } else if (std::isdigit(static_cast<unsigned char>(c)) || (hex && std::isxdigit(static_cast<unsigned char>(c)))) {
            if (!hex) {
                x.digits += c;
                continue;
            }
            int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10;
            for (int bit = 3; bit >= 0; bit--)
                x.digits += static_cast<char>('0' + ((v >> bit) & 1));
        } else {
            break;
        }
    }
    x.exponent = point < 0 ? static_cast<long>(x.digits.size()) : point;
    if (i < numeral.size())
        x.exponent += std::strtol(numeral.c_str() + i + 1, nullptr, 10);
    size_t first = x.digits.find_first_not_of('0');
    if (first == std::string::npos)
        return {};
    x.digits = x.digits.substr(first, x.digits.find_last_not_of('0') + 1 - first);
    x.exponent -= static_cast<long>(first);
    return x;
}

int compare(const Exact &a, const Exact &b) {
    if (a.digits.empty() || b.digits.empty())
        return a.digits.empty() ? (b.digits.empty() ? 0 : -1) : 1;
    if (a.exponent != b.exponent)
        return a.exponent < b.exponent ? -1 : 1;
    int order = a.digits.compare(b.digits);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// Whether r is the double nearest to the numeral (ties to even): the numeral lies between
// the points halfway to r's neighbours, which a long double holds and prints exactly.
bool correctly_rounded(const std::string &numeral, double r) {
    bool hex = numeral.size() > 1 && (numeral[1] | 0x20) == 'x';
    auto exact_of = [&](long double v) {
        char text[1400];
        std::snprintf(text, sizeof text, hex ? "%La" : "%.1100Le", v);
        return exact_value(text);
    };
    Exact x = exact_value(numeral);
    long double top = std::ldexp(1.0L, 1024);
    if (std::isinf(r))
        return compare(x, exact_of((std::numeric_limits<double>::max() + top) / 2)) >= 0;
    double next = std::nextafter(r, INFINITY);
    long double above = (r + (std::isinf(next) ? top : static_cast<long double>(next))) / 2;
    uint64_t bits;
    std::memcpy(&bits, &r, sizeof bits);
    bool even = (bits & 1) == 0;
    int high = compare(x, exact_of(above));
    if (high > 0 || (high == 0 && !even))
        return false;
    if (r == 0)
        return true;
    int low = compare(x, exact_of((r + static_cast<long double>(std::nextafter(r, 0.0))) / 2));
    return low > 0 || (low == 0 && even);
}

class NumberReadTest : public NumbersTest {
protected:
    ::testing::AssertionResult same_reading(const std::string &text) {
        char *want_end = nullptr, *got_end = nullptr;
        double want = std::strtod(text.c_str(), &want_end);
        double got = strtod_(text.c_str(), &got_end);
        if (std::memcmp(&want, &got, sizeof want) == 0 && want_end == got_end)
            return ::testing::AssertionSuccess();
        if (want_end == got_end && !std::isnan(want) && !std::isnan(got)) {
            size_t start = text.find_first_not_of(" \t\n\v\f\r+-");
            std::string numeral = text.substr(start, static_cast<size_t>(want_end - text.c_str()) - start);
            if (correctly_rounded(numeral, std::fabs(got)) && !correctly_rounded(numeral, std::fabs(want))) {
                host_misrounded_++;
                return ::testing::AssertionSuccess();
            }
        }
        return ::testing::AssertionFailure() << "\"" << text.substr(0, 120) << (text.size() > 120 ? "...\"" : "\"")
                                             << " (" << text.size() << " bytes): host " << describe(want) << " end "
                                             << want_end - text.c_str() << ", ours " << describe(got) << " end "
                                             << got_end - text.c_str();
    }

    void TearDown() override {
        if (host_misrounded_ > 0)
            std::printf("the host's strtod misrounded %ld of these numerals\n", host_misrounded_);
        NumbersTest::TearDown();
    }

    std::string sign() { return below(4) == 0 ? "-" : below(8) == 0 ? "+" : ""; }

    // A random double that is finite and not negative: normal, subnormal or near the top.
    double finite_magnitude() {
        double v = std::fabs(any_double());
        return std::isfinite(v) ? v : std::numeric_limits<double>::max();
    }

    long host_misrounded_ = 0;
};

// Digits with a point anywhere (or none), landing anywhere from below the smallest
// subnormal to beyond the largest double.
TEST_F(NumberReadTest, DecimalsShortAndLong) {
    long n = count(4000) * 10;
    for (long i = 0; i < n; i++) {
        size_t length = below(4) == 0 ? 20 + below(781) : 1 + below(19);
        std::string mantissa = std::string(below(4) == 0 ? below(5) : 0, '0') + digits(length);
        size_t point = below(mantissa.size() + 1);
        long magnitude = static_cast<long>(below(690)) - 350; // of the value, as a power of ten
        if (below(3) != 0)
            mantissa.insert(point, ".");
        else
            point = mantissa.size();
        std::string text = sign() + mantissa;
        if (below(8) != 0)
            text += (below(2) ? "e" : "E") + std::to_string(magnitude - static_cast<long>(point));
        ASSERT_TRUE(same_reading(text));
    }
}

// Exactly halfway between two neighbouring doubles (all digits of the midpoint, which a
// long double holds exactly; above the largest double lies 2^1024), then cut short or
// followed by a far nonzero digit.
TEST_F(NumberReadTest, HalfwayPointsAndTheirNeighbours) {
    char text[1400];
    long n = count(4000);
    for (long i = 0; i < n; i++) {
        double v = finite_magnitude();
        double next = std::nextafter(v, INFINITY);
        long double above = std::isinf(next) ? std::ldexp(1.0L, 1024) : static_cast<long double>(next);
        long double midpoint = (static_cast<long double>(v) + above) / 2;
        std::snprintf(text, sizeof text, "%.1100Le", midpoint);
        ASSERT_TRUE(same_reading(text));
        char *exponent = std::strchr(text, 'e');
        std::string tail = exponent;
        ASSERT_TRUE(same_reading(std::string(text, exponent) + "000000001" + tail));
        std::snprintf(text, sizeof text, "%.*Le", static_cast<int>(16 + below(40)), midpoint);
        ASSERT_TRUE(same_reading(text));
        std::snprintf(text, sizeof text, "%La", midpoint);
        ASSERT_TRUE(same_reading(text));
    }
}

TEST_F(NumberReadTest, HexadecimalNumerals) {
    static const char hex[] = "0123456789abcdefABCDEF";
    long n = count(4000) * 5;
    for (long i = 0; i < n; i++) {
        std::string text = sign() + (below(2) ? "0x" : "0X") + std::string(below(3), '0');
        for (size_t k = below(25); k > 0; k--)
            text += hex[below(sizeof hex - 1)];
        if (below(2))
            text.insert(text.size() - below(text.size() - text.find_first_of("xX")), ".");
        if (below(4) != 0)
            text += (below(2) ? "p" : "P") + std::to_string(static_cast<int>(below(2300)) - 1150);
        ASSERT_TRUE(same_reading(text));
    }
}

TEST_F(NumberReadTest, SpecialsAndMalformedPrefixes) {
    static const char *const table[] = {"", "  ", "-", "+-1", " +.", ".e5", "-x", "1.", "1e", "1e+", "1e-x", "0x",
        "-0x", "0x.", "0x.p1", "0xp1", "0x1p", "0x1p+", "0x1.", "inf", "infinit", "-INFINITY", "inFinity5", "nan",
        "nan(", "nan(abc", "nan(abc)", "nan()", "nan(0x5)", "nan(0X1f)", "nan(0x1g)", "-nan(12)", "nan(0x)",
        "nan(077)", "nan(99999999999999999999999)", "nan(_1)", "nAn(1_)", "-0", "\v\f\r\n\t 12", "1e-400",
        "1e400", "1e99999999999999999999999", "1e-99999999999999999999999", "0e99999999999999999999",
        "0x0p99999999999999", "2.4703282292062327e-324", "2.4703282292062328e-324", "1.7976931348623158e308",
        "1.7976931348623159e308", "9007199254740993", "0x1.fffffffffffff8p1023", "0x1p-1075", "0x1.8p-1075"};
    for (const char *text : table)
        EXPECT_TRUE(same_reading(text));
    // Random strings over the characters numerals are made of.
    static const char alphabet[] = "0123456789..eEpPxX+-  infatyINFATY()_";
    long n = count(4000) * 10;
    for (long i = 0; i < n; i++) {
        std::string text;
        for (size_t k = below(14); k > 0; k--)
            text += alphabet[below(sizeof alphabet - 1)];
        ASSERT_TRUE(same_reading(text));
    }
}

// Every double printed with 17 significant digits reads back as itself.
TEST_F(NumberReadTest, PrintedDoublesReadBack) {
    char text[64];
    long n = count(4000) * 10;
    for (long i = 0; i < n; i++) {
        double v = any_double();
        snprintf_(text, sizeof text, "%.17g", v);
        ASSERT_TRUE(same_reading(text));
        ASSERT_TRUE(std::isnan(v) || strtod_(text, nullptr) == v) << text;
    }
}

TEST_F(NumberReadTest, NullReadsNothing) {
    char *end = reinterpret_cast<char *>(1);
    EXPECT_EQ(strtod_(nullptr, &end), 0.0);
    EXPECT_EQ(end, nullptr);
}

} // namespace
} // namespace lbw::test
