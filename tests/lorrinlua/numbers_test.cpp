// The shell's number conversions against the host's C library, which they match byte for
// byte: lorrinlua_vsnprintf on random directives of every conversion (flags, widths,
// precisions, length modifiers, doubles of every kind) at every cut of the destination;
// lorrinlua_strtod on numerals of every kind (decimal up to 800 digits, halfway between two
// doubles and just off it, hexadecimal, special, malformed), bits and end position alike.
// LORRINLUA_NUMBERS_COUNT scales how many values each test tries. (glibc 2.36 misrounds
// about one long hexadecimal numeral with a subnormal result in 150000.)
#include "tests/numerics/same_bits.h"
#include "tests/support/library_test.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using SnprintfFn = int(char *, size_t, const char *, ...);
using VsnprintfFn = int(char *, size_t, const char *, va_list);
using Limits = std::numeric_limits<double>;

// Integer-class arguments and reals travel in separate registers and stack slots, so a
// format may take them in any order while both formatters get the same argument list.
struct Arguments {
    uint64_t integers[6] = {};
    double reals[4] = {};
    int used_integers = 0, used_reals = 0;
};

// The host's vsnprintf itself: under AddressSanitizer, std::vsnprintf is a checking
// wrapper that stops the process at the malformed formats compared here.
VsnprintfFn *const kHostVsnprintf = reinterpret_cast<VsnprintfFn *>(dlsym(RTLD_NEXT, "vsnprintf"));

int call(VsnprintfFn *format, char *dst, size_t n, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int count = format(dst, n, fmt, ap);
    va_end(ap);
    return count;
}

int format_with(VsnprintfFn *format, char *dst, size_t n, const std::string &fmt, const Arguments &a) {
    const uint64_t *i = a.integers;
    const double *r = a.reals;
    return call(format, dst, n, fmt.c_str(), i[0], i[1], i[2], i[3], i[4], i[5], r[0], r[1], r[2], r[3]);
}

std::string hex(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", v);
    return text;
}

class NumbersTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        load_program(LBW_PROGRAM_LORRINLUA_NUMBERS_PROGRAM);
        snprintf_ = program_fn<SnprintfFn>("lorrinlua_snprintf");
        vsnprintf_ = program_fn<VsnprintfFn>("lorrinlua_vsnprintf");
        strtod_ = program_fn<double(const char *, char **)>("lorrinlua_strtod");
    }

    // `times` thousand values, or `times` times LORRINLUA_NUMBERS_COUNT.
    static long count(long times) {
        const char *text = std::getenv("LORRINLUA_NUMBERS_COUNT");
        return times * (text ? std::atol(text) : 1000);
    }
    uint64_t below(uint64_t n) { return random() % n; }
    std::string digits(size_t n) {
        std::string s;
        for (size_t i = 0; i < n; i++)
            s.push_back(static_cast<char>('0' + below(10)));
        return s;
    }

    // A double of a random kind: any bit pattern, a short decimal, a power of ten or just
    // below one (where rounding carries into a new digit), a dyadic value with few bits
    // (ties in fixed notation), an integer, a subnormal, an extreme.
    double any_double() {
        const double sign = below(2) ? -1 : 1;
        switch (below(9)) {
        case 0: {
            char text[64];
            const int whole = int(below(100000)), fraction = int(below(1000)), exponent = int(below(40)) - 20;
            std::snprintf(text, sizeof text, "%d.%de%d", whole, fraction, exponent);
            return sign * std::strtod(text, nullptr);
        }
        case 1: return sign * std::pow(10.0, static_cast<int>(below(630)) - 323);
        case 2: return sign * std::ldexp(static_cast<double>(below(4096)), static_cast<int>(below(40)) - 20);
        case 3: return sign * from_bits(random() & ((uint64_t{1} << 52) - 1));
        case 4: {
            const double extreme[] = {0.0, Limits::max(), Limits::min(), Limits::denorm_min(),
                Limits::infinity(), Limits::quiet_NaN(), std::nextafter(1.0, 2.0), std::nextafter(1.0, 0.0),
                9007199254740993.0, 0.5, 2.5, 1e15, 1e16, 1e17, 1e23, 9.999999999999999e22};
            return sign * extreme[below(std::size(extreme))];
        }
        case 5: return sign * std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(below(80)));
        case 6:
            return sign * std::pow(10.0, static_cast<int>(below(40)) - 20) *
                   (1 - 5 * std::pow(10.0, -static_cast<int>(below(17)) - 1));
        default: return from_bits(random());
        }
    }

    // Formats into sentinel-filled buffers of `n` bytes with both formatters.
    ::testing::AssertionResult same_output(const std::string &fmt, const Arguments &a, size_t n) {
        std::vector<char> want(n + 16, 'Z'), got(n + 16, 'Z');
        int want_count = format_with(kHostVsnprintf, want.data() + 8, n, fmt, a);
        int got_count = format_with(vsnprintf_, got.data() + 8, n, fmt, a);
        if (want_count == got_count && want == got)
            return ::testing::AssertionSuccess();
        auto shown = [&](const std::vector<char> &v) { return std::string(&v[8], std::min<size_t>(n, 200)); };
        return ::testing::AssertionFailure()
               << "format \"" << fmt << "\", size " << n << ", first real " << hex(a.reals[0]) << ": host "
               << want_count << " \"" << shown(want) << "\", ours " << got_count << " \"" << shown(got) << "\"";
    }

    // One random directive, its arguments added to `a`.
    std::string directive(Arguments &a) {
        const char conversion = "diuoxXcspeEfFgGaA%"[below(18)];
        std::string d = "%";
        for (size_t k = below(4); k > 0; k--)
            d += "-+ #0"[below(5)];
        auto star = [&](int low, int high) {
            a.integers[a.used_integers++] = static_cast<uint64_t>(low + int64_t(below(high - low + 1)));
            return "*";
        };
        const uint64_t width = below(4), precision = below(6);
        d += width == 1 ? std::to_string(below(25)) : width == 2 ? star(-20, 20) : "";
        d += precision == 2 ? "." : precision == 3 ? "." + std::to_string(below(30)) : "";
        d += precision == 4 ? std::string(".") + star(-10, 40) : "";
        d += precision == 5 ? "." + std::to_string(below(1200)) : ""; // long fixed and exponent forms
        uint64_t &arg = a.integers[a.used_integers];
        if (std::strchr("diuoxX", conversion)) {
            static const char *const lengths[] = {"", "hh", "h", "l", "ll", "j", "z", "t"};
            d += lengths[below(8)];
            const uint64_t kinds[] = {below(10), 0 - below(100000), uint64_t{1} << below(64), 0x80000000,
                                      0x7FFFFFFFFFFFFFFF + below(2), random()};
            arg = kinds[below(std::size(kinds))];
        } else if (conversion == 'c') {
            arg = below(256);
        } else if (conversion == 's') {
            static const std::string strings[] = {"", "a", "hello", "a longer text", std::string(300, 'q')};
            arg = below(8) ? reinterpret_cast<uint64_t>(strings[below(std::size(strings))].c_str()) : 0;
        } else if (conversion == 'p') {
            arg = below(6) ? random() >> below(64) : 0;
        } else if (conversion != '%') {
            a.reals[a.used_reals++] = any_double();
        }
        a.used_integers += std::strchr("diuoxXcsp", conversion) != nullptr;
        return d + conversion;
    }

    // Literal text and up to as many directives as the arguments allow.
    std::string random_format(Arguments &a) {
        std::string fmt;
        for (size_t pieces = 1 + below(4); pieces > 0; pieces--) {
            if (below(3) == 0)
                fmt += "<lit " + std::to_string(below(1000)) + ">";
            else if (a.used_integers <= 3 && a.used_reals < 4)
                fmt += directive(a);
        }
        return fmt;
    }

    ::testing::AssertionResult same_reading(const std::string &text) {
        char *want_end = nullptr, *got_end = nullptr;
        const double want = std::strtod(text.c_str(), &want_end), got = strtod_(text.c_str(), &got_end);
        if (bits(want) == bits(got) && want_end == got_end)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "\"" << text.substr(0, 120) << (text.size() > 120 ? "...\"" : "\"") << " (" << text.size()
               << " bytes): host " << hex(want) << " end " << want_end - text.c_str() << ", ours " << hex(got)
               << " end " << got_end - text.c_str();
    }

    std::string sign() { return below(4) == 0 ? "-" : below(8) == 0 ? "+" : ""; }

    std::mt19937_64 random{20260420};
    SnprintfFn *snprintf_ = nullptr;
    VsnprintfFn *vsnprintf_ = nullptr;
    double (*strtod_)(const char *, char **) = nullptr;
};

// L reads a long double and prints it at double precision.
TEST_F(NumbersTest, LongDoublesPrintAtDoublePrecision) {
    static const char *const formats[][2] = {{"%.20Le", "%.20e"}, {"%Lg", "%g"}, {"%La", "%a"}};
    for (long i = 0; i < count(4); i++) {
        const double v = any_double();
        for (const auto &[ours, hosts] : formats) {
            char want[128], got[128];
            const int length = std::snprintf(want, sizeof want, hosts, v);
            ASSERT_EQ(snprintf_(got, sizeof got, ours, static_cast<long double>(v)), length) << ours;
            ASSERT_STREQ(got, want) << ours << " " << hex(v);
        }
    }
}

TEST_F(NumbersTest, RandomDirectivesAtEveryCutOfTheDestination) {
    for (long i = 0; i < count(60); i++) {
        Arguments a;
        const std::string fmt = random_format(a);
        const bool every_cut = i % 200 == 0;
        const int length = every_cut ? format_with(kHostVsnprintf, nullptr, 0, fmt, a) : 2047;
        for (size_t size = every_cut ? 0 : 2048; size <= size_t(length) + 1; size++)
            ASSERT_TRUE(same_output(fmt, a, size));
    }
}

// Formats the host also reads in its own way: ends inside a directive (-1), unknown
// conversions (copied out), %% with flags, widths out of range; results beyond INT_MAX.
TEST_F(NumbersTest, OddFormatsAsTheHostPrintsThem) {
    static const char *const formats[] = {"", "plain", "abc%", "%5", "%.3l", "%-8.3ll", "%y", "%-5y|", "%5%|", "%%",
        "%.0d|%.d|%#.0o|%#.0x", "%2147483648d", "%.2147483648d", "%-0+ #8.3d", "%hhd %hd %ld"};
    Arguments a;
    a.integers[0] = 300, a.integers[1] = 70000, a.integers[2] = 5;
    for (const char *fmt : formats)
        for (size_t size : {size_t{0}, size_t{3}, size_t{64}})
            EXPECT_TRUE(same_output(fmt, a, size));
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(snprintf_(buffer, sizeof buffer, "%2147483647d%d", 1, 2), -1);
    EXPECT_STREQ(buffer, "       ");
    EXPECT_EQ(snprintf_(buffer, sizeof buffer, nullptr), -1);
    EXPECT_STREQ(buffer, "");
    char *end = buffer;
    EXPECT_EQ(strtod_(nullptr, &end), 0.0);
    EXPECT_EQ(end, nullptr);
}

TEST_F(NumbersTest, NumeralsOfEveryKindReadAsTheHostReadsThem) {
    static const char *const specials[] = {"", "  ", "-", "+-1", " +.", ".e5", "-x", "1.", "1e", "1e+", "1e-x", "0x",
        "-0x", "0x.", "0x.p1", "0xp1", "0x1p", "0x1p+", "0x1.", "inf", "infinit", "-INFINITY", "inFinity5", "nan",
        "nan(", "nan(abc", "nan(abc)", "nan()", "nan(0x5)", "nan(0X1f)", "nan(0x1g)", "-nan(12)", "nan(0x)",
        "nan(077)", "nan(99999999999999999999999)", "nan(_1)", "nAn(1_)", "-0", "\v\f\r\n\t 12", "1e-400",
        "1e400", "1e99999999999999999999999", "1e-99999999999999999999999", "0e99999999999999999999",
        "0x0p99999999999999", "2.4703282292062327e-324", "2.4703282292062328e-324", "1.7976931348623158e308",
        "1.7976931348623159e308", "9007199254740993", "0x1.fffffffffffff8p1023", "0x1p-1075", "0x1.8p-1075"};
    for (const char *text : specials)
        EXPECT_TRUE(same_reading(text));
    for (long i = 0; i < count(40); i++) {
        // Digits with a point anywhere (or none), from below the smallest subnormal to
        // beyond the largest double.
        std::string mantissa = std::string(below(4) == 0 ? below(5) : 0, '0') +
                               digits(below(4) == 0 ? 20 + below(781) : 1 + below(19));
        size_t point = below(mantissa.size() + 1);
        if (below(3))
            mantissa.insert(point, ".");
        else
            point = mantissa.size();
        const long magnitude = static_cast<long>(below(690)) - 350; // of the value, as a power of ten
        const std::string exponent = (below(2) ? "e" : "E") + std::to_string(magnitude - long(point));
        ASSERT_TRUE(same_reading(sign() + mantissa + (below(8) ? exponent : "")));

        // Hexadecimal digits with a point anywhere (or none) and a binary exponent.
        std::string hex_numeral = sign() + (below(2) ? "0x" : "0X") + std::string(below(3), '0');
        for (size_t k = below(25); k > 0; k--)
            hex_numeral += "0123456789abcdefABCDEF"[below(22)];
        if (below(2))
            hex_numeral.insert(hex_numeral.size() - below(hex_numeral.size() - hex_numeral.find_first_of("xX")),
                               ".");
        if (below(4))
            hex_numeral += (below(2) ? "p" : "P") + std::to_string(static_cast<int>(below(2300)) - 1150);
        ASSERT_TRUE(same_reading(hex_numeral));

        // Random strings over the characters numerals are made of.
        std::string text;
        for (size_t k = below(14); k > 0; k--)
            text += "0123456789..eEpPxX+-  infatyINFATY()_"[below(37)];
        ASSERT_TRUE(same_reading(text));

        // Every double printed with 17 significant digits reads back as itself.
        char printed[64];
        const double v = any_double();
        snprintf_(printed, sizeof printed, "%.17g", v);
        ASSERT_TRUE(same_reading(printed));
        ASSERT_TRUE(std::isnan(v) || strtod_(printed, nullptr) == v) << printed;
        if (i % 10)
            continue;
        // Exactly halfway between two neighbouring doubles (all digits of the midpoint, which
        // a long double holds exactly; above the largest double lies 2^1024), then cut short,
        // in hexadecimal, or followed by a far nonzero digit.
        const double low = std::isfinite(v) ? std::fabs(v) : Limits::max();
        const double next = std::nextafter(low, INFINITY);
        const long double midpoint = (low + (std::isinf(next) ? std::ldexp(1.0L, 1024) : next)) / 2;
        char text_of_midpoint[1400];
        std::snprintf(text_of_midpoint, sizeof text_of_midpoint, "%.1100Le", midpoint);
        ASSERT_TRUE(same_reading(text_of_midpoint));
        char *marker = std::strchr(text_of_midpoint, 'e');
        ASSERT_TRUE(same_reading(std::string(text_of_midpoint, marker) + "000000001" + marker));
        std::snprintf(text_of_midpoint, sizeof text_of_midpoint, "%.*Le", int(16 + below(40)), midpoint);
        ASSERT_TRUE(same_reading(text_of_midpoint));
        std::snprintf(text_of_midpoint, sizeof text_of_midpoint, "%La", midpoint);
        ASSERT_TRUE(same_reading(text_of_midpoint));
    }
}

} // namespace
} // namespace lbw::test
