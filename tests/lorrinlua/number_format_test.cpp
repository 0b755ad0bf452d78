// lorrinlua_snprintf and lorrinlua_vsnprintf against the host's C library: doubles of every
// kind through a table of floating-point formats, random directives of every conversion
// with flags, widths, precisions and length modifiers, and every cut of the destination.
// Output bytes (and the bytes around them) and results must be identical.
#include "tests/lorrinlua/numbers_test.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace lbw::test {
namespace {

// Integer-class arguments and reals travel in separate registers and stack slots, so a
// format may take them in any order while both formatters get the same argument list.
constexpr int kIntegers = 6;
constexpr int kReals = 4;

struct Arguments {
    uint64_t integers[kIntegers] = {};
    double reals[kReals] = {};
    int used_integers = 0, used_reals = 0;
};

// The host's vsnprintf itself: under AddressSanitizer, std::vsnprintf is a checking
// wrapper that stops the process at the malformed formats compared here.
VsnprintfFn *host_vsnprintf() {
    static auto *host = reinterpret_cast<VsnprintfFn *>(dlsym(RTLD_NEXT, "vsnprintf"));
    return host;
}

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

class NumberFormatTest : public NumbersTest {
protected:
    // Formats into sentinel-filled buffers of `n` bytes with both formatters.
    ::testing::AssertionResult same_output(const std::string &fmt, const Arguments &a, size_t n) {
        want_.assign(n + 16, '\x5A');
        got_.assign(n + 16, '\x5A');
        int want = format_with(host_vsnprintf(), want_.data() + 8, n, fmt, a);
        int got = format_with(vsnprintf_, got_.data() + 8, n, fmt, a);
        if (want == got && want_ == got_)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "format \"" << fmt << "\", size " << n << ", first real "
                                             << describe(a.reals[0]) << ": host " << want << " \""
                                             << std::string(want_.data() + 8, want_.data() + 8 + std::min<size_t>(n, 200))
                                             << "\", ours " << got << " \""
                                             << std::string(got_.data() + 8, got_.data() + 8 + std::min<size_t>(n, 200))
                                             << "\"";
    }

    uint64_t integer() {
        switch (below(5)) {
        case 0:
            return below(10);
        case 1:
            return static_cast<uint64_t>(-static_cast<int64_t>(below(100000)));
        case 2:
            return uint64_t{1} << below(64);
        case 3:
            return below(2) ? uint64_t{0x80000000} : uint64_t{0x7FFFFFFFFFFFFFFF} + below(2);
        default:
            return random();
        }
    }

    // One random directive, its arguments added to `a`.
    std::string directive(Arguments &a) {
        static const char conversions[] = "diuoxXcspeEfFgGaA%";
        char conversion = conversions[below(sizeof conversions - 1)];
        std::string d = "%";
        for (size_t k = below(4); k > 0; k--)
            d += "-+ #0"[below(5)];
        switch (below(4)) {
        case 1:
            d += std::to_string(below(25));
            break;
        case 2:
            d += '*';
            a.integers[a.used_integers++] = static_cast<uint64_t>(static_cast<int64_t>(below(41)) - 20);
            break;
        }
        switch (below(5)) {
        case 2:
            d += '.';
            break;
        case 3:
            d += '.' + std::to_string(below(30));
            break;
        case 4:
            d += ".*";
            a.integers[a.used_integers++] = static_cast<uint64_t>(static_cast<int64_t>(below(51)) - 10);
            break;
        }
        if (std::strchr("diuoxX", conversion)) {
            static const char *const lengths[] = {"", "hh", "h", "l", "ll", "j", "z", "t"};
            d += lengths[below(8)];
            a.integers[a.used_integers++] = integer();
        } else if (conversion == 'c') {
            a.integers[a.used_integers++] = below(256);
        } else if (conversion == 's') {
            const char *s = below(8) == 0 ? nullptr : strings_[below(strings_.size())].c_str();
            a.integers[a.used_integers++] = reinterpret_cast<uint64_t>(s);
        } else if (conversion == 'p') {
            a.integers[a.used_integers++] = below(6) == 0 ? 0 : random() >> below(64);
        } else if (conversion != '%') {
            a.reals[a.used_reals++] = any_double();
        }
        return d + conversion;
    }

    // A format of literal text and up to as many directives as the arguments allow.
    std::string random_format(Arguments &a) {
        std::string fmt;
        for (size_t pieces = 1 + below(4); pieces > 0; pieces--) {
            if (below(3) == 0)
                fmt += "<lit " + std::to_string(below(1000)) + ">";
            else if (a.used_integers <= kIntegers - 3 && a.used_reals < kReals)
                fmt += directive(a);
        }
        return fmt;
    }

    std::vector<std::string> strings_{"", "a", "hello", "a longer string of text", std::string(300, 'q')};
    std::vector<char> want_, got_;
};

TEST_F(NumberFormatTest, EveryKindOfDoubleInEveryFloatFormat) {
    static const char *const formats[] = {"%.14g", "%.17g", "%g", "%G", "%e", "%E", "%.0e", "%.3f", "%f", "%F",
        "%.30f", "%a", "%.3a", "%A", "%.0a", "%.12a", "%.20a", "%10.4G", "%-+#12.5e", "%08.3f", "% .0f", "%#.0f",
        "%#g", "%#.3G", "%.0g", "%.18g", "%.25e", "%.60g", "%-30.20a", "%#.0a", "%012.4A", "%+.1100f", "%.800e"};
    long n = count(4000);
    for (long i = 0; i < n; i++) {
        Arguments a;
        a.reals[0] = any_double();
        for (const char *fmt : formats)
            ASSERT_TRUE(same_output(fmt, a, 2048));
    }
}

TEST_F(NumberFormatTest, RandomDirectivesOfEveryConversion) {
    long n = count(4000) * 10;
    for (long i = 0; i < n; i++) {
        Arguments a;
        std::string fmt = random_format(a);
        ASSERT_TRUE(same_output(fmt, a, 2048));
    }
}

TEST_F(NumberFormatTest, EveryCutOfTheDestination) {
    long n = count(4000) / 20;
    for (long i = 0; i < n; i++) {
        Arguments a;
        std::string fmt = random_format(a);
        int length = format_with(host_vsnprintf(), nullptr, 0, fmt, a);
        for (size_t size = 0; size <= static_cast<size_t>(length) + 1; size++)
            ASSERT_TRUE(same_output(fmt, a, size));
    }
}

// Formats the host also reads in its own way: ends inside a directive (-1), unknown
// conversions (copied out), %% with flags, widths out of range.
TEST_F(NumberFormatTest, OddFormatsAsTheHostPrintsThem) {
    static const char *const formats[] = {"", "plain", "abc%", "%5", "%.3l", "%-8.3ll", "%y", "%-5y|", "%5%|", "%%",
        "%.0d|%.d|%#.0o|%#.0x", "%2147483648d", "%.2147483648d", "%-0+ #8.3d", "%hhd %hd %ld"};
    Arguments a;
    a.integers[0] = 300;
    a.integers[1] = 70000;
    a.integers[2] = 5;
    for (const char *fmt : formats)
        for (size_t size : {size_t{0}, size_t{3}, size_t{64}})
            EXPECT_TRUE(same_output(fmt, a, size));
}

TEST_F(NumberFormatTest, LongDoublesPrintAtDoublePrecision) {
    static const char *const formats[][2] = {{"%.20Le", "%.20e"}, {"%Lg", "%g"}, {"%La", "%a"}, {"%.3Lf", "%.3f"}};
    char want[128], got[128];
    long n = count(4000);
    for (long i = 0; i < n; i++) {
        double v = any_double();
        for (const auto &pair : formats) {
            int length = std::snprintf(want, sizeof want, pair[1], v);
            ASSERT_EQ(snprintf_(got, sizeof got, pair[0], static_cast<long double>(v)), length) << pair[0];
            ASSERT_STREQ(got, want) << pair[0] << " " << describe(v);
        }
    }
}

TEST_F(NumberFormatTest, ResultBeyondIntMaxOrWithoutFormatIsMinusOne) {
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(snprintf_(buffer, sizeof buffer, "%2147483647d%d", 1, 2), -1);
    EXPECT_STREQ(buffer, "       ");
    EXPECT_EQ(snprintf_(buffer, sizeof buffer, nullptr), -1);
    EXPECT_STREQ(buffer, "");
}

} // namespace
} // namespace lbw::test
