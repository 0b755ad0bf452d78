// snprintf and vsnprintf: the conversion table, truncation and the produced count,
// against the built library.
#include "tests/support/library_test.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace lbw::test {
namespace {

using SnprintfFn = int(char *, size_t, const char *, ...);
using VsnprintfFn = int(char *, size_t, const char *, va_list);

class FormatTest : public LibraryTest {
protected:
    SnprintfFn *snprintf_ = nullptr;
    static inline VsnprintfFn *vsnprintf_ = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        snprintf_ = fn<SnprintfFn>("snprintf");
        vsnprintf_ = fn<VsnprintfFn>("vsnprintf");
    }

    // The formatted text, checked to end in a NUL right where the count says.
    template <class... A>
    std::string format(const char *fmt, A... args) {
        char buf[1024];
        std::memset(buf, 0x5A, sizeof buf);
        int n = snprintf_(buf, sizeof buf, fmt, args...);
        EXPECT_GE(n, 0);
        EXPECT_LT(n, static_cast<int>(sizeof buf));
        if (n < 0 || n >= static_cast<int>(sizeof buf))
            return "<bad count>";
        EXPECT_EQ(buf[n], 0) << "terminator where the count ends";
        return std::string(buf, static_cast<size_t>(n));
    }

    static int call_vsnprintf(char *dst, size_t n, const char *fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        int count = vsnprintf_(dst, n, fmt, ap);
        va_end(ap);
        return count;
    }
};

// Every conversion, with the length modifiers: h and hh read 32 bits, l ll j z t read 64.
TEST_F(FormatTest, ConversionTable) {
    const int64_t big = (int64_t{1} << 32) + 5;
    const std::pair<std::string, std::string> rows[] = {
        {format("hello"), "hello"},
        {format(""), ""},
        {format("100%%"), "100%"},
        {format("%%d", 5), "%d"},
        {format("%d|%d|%d", 0, -42, INT_MIN), "0|-42|-2147483648"},
        {format("%d|%i|%I", INT_MAX, 7, -7), "2147483647|7|-7"},
        {format("%u|%u|%u", 4294967295u, -1, 0u), "4294967295|4294967295|0"},
        {format("%x|%X|%x|%x", 255, 255, 0, -1), "ff|FF|0|ffffffff"},
        {format("%x|%X", 0xDEADBEEFu, 0xDEADBEEFu), "deadbeef|DEADBEEF"},
        {format("%5d|%05d|%12.8x", 42, 42, 255), "42|42|ff"},
        {format("%hd|%hhd|%hu|%hd", 42, 42, 42, 70000), "42|42|42|70000"},
        {format("%d|%hd|%hhu|%x", big, big, big, 0x1FFFFFFFFull), "5|5|5|ffffffff"},
        {format("%d %d", int64_t{0xFFFFFFFF}, 9), "-1 9"},
        {format("%ld|%lld|%ld", 42L, 42LL, big), "42|42|4294967301"},
        {format("%lld|%lld", -(int64_t{1} << 40), INT64_MIN), "-1099511627776|-9223372036854775808"},
        {format("%lli|%lu", INT64_MAX, UINT64_MAX), "9223372036854775807|18446744073709551615"},
        {format("%llx|%lX", 0x123456789ABCDEFull, 0xFEDCBA9876543210ull), "123456789abcdef|FEDCBA9876543210"},
        {format("%zu|%jd", SIZE_MAX, INT64_MIN), "18446744073709551615|-9223372036854775808"},
        {format("%td|%zd", static_cast<ptrdiff_t>(-big), static_cast<ptrdiff_t>(-1)), "-4294967301|-1"},
        {format("%hld", big), "4294967301"}, // any wide modifier wins
        {format("%p|%p", reinterpret_cast<void *>(4096), nullptr), "0x1000|0x0"},
        {format("%p", reinterpret_cast<void *>(0x123456789ABCull)), "0x123456789abc"},
        {format("%p", reinterpret_cast<void *>(UINTPTR_MAX)), "0xffffffffffffffff"},
        {format("%c%c", 65, 0x141), "AA"},
        {format("a%cb", 0), std::string("a\0b", 3)}, // a zero byte is stored and counted
        {format("[%s]|%s|%s", "abc", static_cast<const char *>(nullptr), ""), "[abc]|(null)|"},
        {format("%.2s|%10s|", "abc", "abc"), "abc|abc|"},
        {format("%e %d", 7), "? 7"},
        {format("%g|%G|%E|%a|%o|%n|%q|%L|%d", 7), "?|?|?|?|?|?|?|?|7"},
        {format("%+d %d", 5), "?d 5"},
        {format("%-5d", 5), "?5d"},
        {format("% d|%#x|%*d", 5), "?d|?x|?d"},
        {format("%5%"), "?"},
        {format("%Lf", 1.0), "?f"},
    };
    for (const auto &[got, expected] : rows)
        EXPECT_EQ(got, expected);
}

TEST_F(FormatTest, FixedPointTruncatesToSixDecimalsAndPrintsLargeValuesExactly) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, const char *> rows[] = {
        {2.675, "2.674999"},
        {1.0 / 3, "0.333333"},
        {2.0 / 3, "0.666666"},
        {0.1, "0.100000"},
        {0.0, "0.000000"},
        {-0.0, "0.000000"},
        {-0.0000001, "-0.000000"},
        {-1.5, "-1.500000"},
        {2147483647.5, "2147483647.500000"},
        {123.0f, "123.000000"},
        {2147483648.0, "2147483648.000000"},
        {2147483648.5, "2147483648.500000"},
        {1e10, "10000000000.000000"},
        {-3e9, "-3000000000.000000"},
        {4294967296.25, "4294967296.250000"},
        {9007199254740991.0, "9007199254740991.000000"},
        {18446744073709549568.0, "18446744073709549568.000000"}, // just below 2^64
        {18446744073709551616.0, "18446744073709551616.000000"}, // 2^64
        {1e23, "99999999999999991611392.000000"},
        {-0x1p100, "-1267650600228229401496703205376.000000"},
        {inf, "inf"},
        {-inf, "-inf"},
        {nan, "nan"},
        {-nan, "nan"},
    };
    for (const auto &[value, text] : rows)
        EXPECT_EQ(format("%f", value), text) << value;
    EXPECT_EQ(format("%.2f", 1.5), "1.500000");
    EXPECT_EQ(format("%f|%d", inf, 3), "inf|3");
}

TEST_F(FormatTest, FixedPointMatchesExactDigitsAcrossTheWholeRange) {
    // The host's C library prints integral doubles exactly; compare every power of two
    // up to the largest double, the largest double itself, and random large values.
    auto exact = [](double v) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.0f.000000", v);
        return std::string(buf);
    };
    for (int e = 53; e <= 1023; e++) {
        double v = std::ldexp(1.0, e);
        ASSERT_EQ(format("%f", v), exact(v)) << "2^" << e;
        double w = std::nextafter(v, 0.0);
        ASSERT_EQ(format("%f", w), exact(w)) << "just below 2^" << e;
    }
    EXPECT_EQ(format("%f", DBL_MAX), exact(DBL_MAX));
    EXPECT_EQ(format("%f", -DBL_MAX), "-" + exact(DBL_MAX));
    std::mt19937_64 random(12345);
    for (int i = 0; i < 2000; i++) {
        double v = std::ldexp(static_cast<double>(random() >> 11), 11 + static_cast<int>(random() % 960));
        ASSERT_EQ(format("%f", v), exact(v)) << v;
    }
}

TEST_F(FormatTest, DanglingSpecifierPrintsAQuestionMarkAndStops) {
    // Bytes after the terminator must never be read.
    const char formats[][16] = {"ab%\0XYZ", "ab%5\0XYZ", "ab%5.\0XYZ", "ab%.3\0XYZ", "ab%ll\0XYZ", "ab%05.2hz\0XY"};
    for (const char *fmt : formats) {
        char buf[16];
        EXPECT_EQ(snprintf_(buf, sizeof buf, fmt), 3) << fmt;
        EXPECT_STREQ(buf, "ab?") << fmt;
    }
    EXPECT_EQ(format("%"), "?");
}

TEST_F(FormatTest, TruncationKeepsTheFullCount) {
    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 5, "hello"), 5);
    EXPECT_EQ(std::string(buf, 6), std::string("hell\0Z", 6));

    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 6, "hello"), 5);
    EXPECT_STREQ(buf, "hello");

    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 1, "hello"), 5);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], 'Z');

    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 0, "hello"), 5);
    EXPECT_EQ(buf[0], 'Z') << "n = 0 stores nothing";
    EXPECT_EQ(snprintf_(nullptr, 0, "hello %s %d", "x", -12), 11);
    EXPECT_EQ(snprintf_(buf, 1, ""), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST_F(FormatTest, CountIncludesEverythingThatDidNotFit) {
    char buf[4];
    EXPECT_EQ(snprintf_(buf, sizeof buf, "%s|%d|%f", static_cast<const char *>(nullptr), -5, 1.5), 6 + 1 + 2 + 1 + 8);
    EXPECT_STREQ(buf, "(nu");
    EXPECT_EQ(snprintf_(buf, 1, "%f", -1.0), 9);
    EXPECT_EQ(snprintf_(buf, 1, "%p%c", reinterpret_cast<void *>(0xABC), 'x'), 6);
    EXPECT_EQ(snprintf_(nullptr, 0, "%f", 1e23), 30);
    EXPECT_EQ(snprintf_(nullptr, 0, "%f", -std::numeric_limits<double>::infinity()), 4);
}

TEST_F(FormatTest, VsnprintfTakesAnArgumentList) {
    char buf[32];
    EXPECT_EQ(call_vsnprintf(buf, sizeof buf, "%s=%d %lx %f", "k", -3, 0x100000000ull, 0.5), 23);
    EXPECT_STREQ(buf, "k=-3 100000000 0.500000");
    EXPECT_EQ(call_vsnprintf(buf, 4, "%d", 123456), 6);
    EXPECT_STREQ(buf, "123");
}

TEST_F(FormatTest, NullFormatIsEmpty) {
    char buf[4] = "abc";
    EXPECT_EQ(snprintf_(buf, sizeof buf, nullptr), 0);
    EXPECT_STREQ(buf, "");
}

} // namespace
} // namespace lbw::test
